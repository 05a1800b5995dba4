#include "dekvanto/platform/write_rules.h"

#include <string>

namespace dekvanto::platform {
namespace {

constexpr uid_t kRoot = 0;

class WriteRefusalCategoryImpl final : public std::error_category {
  public:
    const char *name() const noexcept override { return "write place"; }
    std::string message(int value) const override {
        switch (static_cast<WriteRefusal>(value)) {
            case WriteRefusal::kNone:
                return "allowed";
            case WriteRefusal::kFolderOfAnotherUser:
                return "its folder belongs to another user, and a process running as root "
                       "writes only into root's own folders";
            case WriteRefusal::kLinkAsAdministrator:
                return "it is a symbolic link, which a process running as root does not write "
                       "through";
            case WriteRefusal::kLinkInFolderOfAnotherUser:
                return "it is a symbolic link in a folder of another user";
            case WriteRefusal::kLinkOfAnotherUserOnTheWay:
                return "the way to its folder passes a symbolic link made by another user";
            case WriteRefusal::kNotAFile:
                return "it is not a regular file";
        }
        return "refused";
    }
};

}  // namespace

WriteRefusal RefusalOf(const WritePlace &place) {
    const bool own_folder = place.folder_owner == place.writer;
    if (place.writer == kRoot && !own_folder) {
        return WriteRefusal::kFolderOfAnotherUser;
    }
    switch (place.entry) {
        case EntryKind::kMissing:
        case EntryKind::kRegularFile:
            return WriteRefusal::kNone;
        case EntryKind::kSymbolicLink:
            if (place.writer == kRoot) {
                return WriteRefusal::kLinkAsAdministrator;
            }
            return own_folder ? WriteRefusal::kNone : WriteRefusal::kLinkInFolderOfAnotherUser;
        case EntryKind::kOther:
            break;
    }
    return WriteRefusal::kNotAFile;
}

WriteRefusal RefusalOfLinkOnTheWay(uid_t writer, uid_t link_owner) {
    return link_owner == kRoot || link_owner == writer ? WriteRefusal::kNone
                                                       : WriteRefusal::kLinkOfAnotherUserOnTheWay;
}

const std::error_category &WriteRefusalCategory() {
    static const WriteRefusalCategoryImpl category;
    return category;
}

std::error_code make_error_code(WriteRefusal refusal) {
    return {static_cast<int>(refusal), WriteRefusalCategory()};
}

}  // namespace dekvanto::platform
