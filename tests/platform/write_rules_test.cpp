// The rules of where a file may be written, from plain facts: who writes, who owns the folder,
// and what the name holds.
#include "dekvanto/platform/write_rules.h"

#include <gtest/gtest.h>

namespace dekvanto::platform {
namespace {

constexpr uid_t kRoot = 0;
constexpr uid_t kAnn = 1000;
constexpr uid_t kBob = 1001;

TEST(WriteRules, RootKeepsToItsOwnFoldersAndLinksOnlyLeadAUserInAnOwnFolder) {
    struct Case {
        WritePlace place;
        WriteRefusal refusal;
    };
    const Case cases[] = {
        // Root: its own folders (/root, /etc), never a user's (sudo -E with the user's HOME).
        {{kRoot, kRoot, EntryKind::kMissing}, WriteRefusal::kNone},
        {{kRoot, kRoot, EntryKind::kRegularFile}, WriteRefusal::kNone},
        {{kRoot, kRoot, EntryKind::kSymbolicLink}, WriteRefusal::kLinkAsAdministrator},
        {{kRoot, kAnn, EntryKind::kMissing}, WriteRefusal::kFolderOfAnotherUser},
        {{kRoot, kAnn, EntryKind::kRegularFile}, WriteRefusal::kFolderOfAnotherUser},
        {{kRoot, kAnn, EntryKind::kSymbolicLink}, WriteRefusal::kFolderOfAnotherUser},
        // A user: links in an own folder; plain files wherever the system lets it write.
        {{kAnn, kAnn, EntryKind::kSymbolicLink}, WriteRefusal::kNone},
        {{kAnn, kAnn, EntryKind::kMissing}, WriteRefusal::kNone},
        {{kAnn, kRoot, EntryKind::kRegularFile}, WriteRefusal::kNone},
        {{kAnn, kBob, EntryKind::kMissing}, WriteRefusal::kNone},
        {{kAnn, kRoot, EntryKind::kSymbolicLink}, WriteRefusal::kLinkInFolderOfAnotherUser},
        {{kAnn, kBob, EntryKind::kSymbolicLink}, WriteRefusal::kLinkInFolderOfAnotherUser},
        // Never a folder, a device, a pipe or a socket.
        {{kAnn, kAnn, EntryKind::kOther}, WriteRefusal::kNotAFile},
        {{kRoot, kRoot, EntryKind::kOther}, WriteRefusal::kNotAFile},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(RefusalOf(c.place), c.refusal)
            << "writer " << c.place.writer << ", folder of " << c.place.folder_owner << ", kind "
            << static_cast<int>(c.place.entry);
    }

    EXPECT_EQ(RefusalOfLinkOnTheWay(kAnn, kAnn), WriteRefusal::kNone);
    EXPECT_EQ(RefusalOfLinkOnTheWay(kAnn, kRoot), WriteRefusal::kNone);
    EXPECT_EQ(RefusalOfLinkOnTheWay(kAnn, kBob), WriteRefusal::kLinkOfAnotherUserOnTheWay);
    EXPECT_EQ(RefusalOfLinkOnTheWay(kRoot, kAnn), WriteRefusal::kLinkOfAnotherUserOnTheWay);
}

}  // namespace
}  // namespace dekvanto::platform
