#include "core/products/version_file.h"

#include <optional>
#include <system_error>

#include "core/products/archive_string.h"
#include "core/settings/program_folder.h"
#include "dekvanto/platform/whole_file.h"

namespace dekvanto::core {
namespace {

namespace fs = std::filesystem;

constexpr std::size_t kLargestEmptyFile = 2;

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        const auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        };
        if (lower(a[i]) != lower(b[i])) {
            return false;
        }
    }
    return true;
}

// The version file in `folder`: the exact name when it exists, else the first name (in sorted
// order) that differs from it only in letter case.
std::optional<fs::path> FindVersionFile(const fs::path &folder) {
    std::error_code error;
    const fs::path exact = folder / kVersionFileName;
    if (fs::exists(exact, error)) {
        return exact;
    }
    std::optional<fs::path> found;
    for (fs::directory_iterator it(folder, error), end; !error && it != end; it.increment(error)) {
        const fs::path name = it->path().filename();
        if (SameNameIgnoringCase(name.string(), kVersionFileName) && (!found || name < *found)) {
            found = name;
        }
    }
    if (!found) {
        return std::nullopt;
    }
    return folder / *found;
}

}  // namespace

VersionLoad VersionDocument::FindAndLoad(const std::string &program_directory) {
    *this = VersionDocument();
    if (program_directory.empty()) {
        return VersionLoad::kNotLoaded;
    }
    const std::optional<fs::path> file = FindVersionFile(program_directory);
    return file ? Load(*file) : VersionLoad::kNotLoaded;
}

VersionLoad VersionDocument::Load(const fs::path &path) {
    *this = VersionDocument();
    const std::optional<std::string> bytes = platform::ReadWholeFile(path);
    return bytes ? LoadBytes(*bytes) : VersionLoad::kNotLoaded;
}

VersionLoad VersionDocument::LoadBytes(std::string_view bytes) {
    *this = VersionDocument();
    if (bytes.size() <= kLargestEmptyFile) {
        return VersionLoad::kLoaded;
    }
    std::optional<std::string> version = ReadArchiveString(bytes);
    std::optional<std::string> second = version ? ReadArchiveString(bytes) : std::nullopt;
    std::optional<std::string> third = second ? ReadArchiveString(bytes) : std::nullopt;
    if (!third) {
        return VersionLoad::kMalformed;
    }
    version_text_ = std::move(*version);
    second_text_ = std::move(*second);
    third_text_ = std::move(*third);
    return VersionLoad::kLoaded;
}

std::string VersionFileBytes(std::string_view version_text, std::string_view second_text,
                             std::string_view third_text) {
    std::string bytes;
    for (const std::string_view text : {version_text, second_text, third_text}) {
        AppendArchiveString(bytes, text);
    }
    return bytes;
}

}  // namespace dekvanto::core
