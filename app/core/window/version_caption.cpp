#include "core/window/version_caption.h"

#include <optional>

#include "core/products/version_file.h"

namespace dekvanto::core {
namespace {

bool IsSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Splits a text the way a scanf pattern of "%Ns" fields joined by literal '-' does.
class FieldSplitter {
  public:
    explicit FieldSplitter(std::string_view text) : text_(text) {}

    // A field of 1 to `width` characters without white space, after skipped white space.
    std::optional<std::string_view> Field(std::size_t width) {
        while (at_ < text_.size() && IsSpace(text_[at_])) {
            ++at_;
        }
        const std::size_t begin = at_;
        while (at_ < text_.size() && at_ - begin < width && !IsSpace(text_[at_])) {
            ++at_;
        }
        if (at_ == begin) {
            return std::nullopt;
        }
        return text_.substr(begin, at_ - begin);
    }

    bool Dash() {
        if (at_ < text_.size() && text_[at_] == '-') {
            ++at_;
            return true;
        }
        return false;
    }

  private:
    std::string_view text_;
    std::size_t at_ = 0;
};

struct VersionFields {
    std::string_view code;
    std::string_view release;
};

// The code and the release number, when all four fields are there. A field that is followed by
// its '-' is then always of its full width.
std::optional<VersionFields> SplitVersionText(std::string_view version_text) {
    FieldSplitter split(version_text);
    if (!split.Field(1) || !split.Dash()) {
        return std::nullopt;
    }
    const std::optional<std::string_view> code = split.Field(3);
    if (!code || !split.Dash()) {
        return std::nullopt;
    }
    const std::optional<std::string_view> release = split.Field(2);
    if (!release || !split.Dash() || !split.Field(2)) {
        return std::nullopt;
    }
    return VersionFields{*code, *release};
}

}  // namespace

std::string CaptionWithRelease(std::string_view caption, std::string_view version_text) {
    const std::optional<VersionFields> fields = SplitVersionText(version_text);
    if (!fields) {
        return std::string(caption);
    }
    std::string title(caption);
    title.append("  ").append(1, fields->release[0]).append(".").append(1, fields->release[1]);
    if (fields->code != "000") {
        title += " X";
    }
    return title;
}

std::string WindowTitle(std::string_view caption, const std::string &program_directory) {
    VersionDocument document;
    if (document.FindAndLoad(program_directory) != VersionLoad::kLoaded) {
        return std::string(caption);
    }
    return CaptionWithRelease(caption, document.VersionText());
}

std::string AboutVersionText(const std::string &program_directory) {
    VersionDocument document;
    document.FindAndLoad(program_directory);
    return document.VersionText();
}

}  // namespace dekvanto::core
