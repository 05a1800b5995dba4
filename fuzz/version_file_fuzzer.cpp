// Fuzzes the version file reader and the window title rule on a version file held in memory.
//
// Input: the version file's bytes (a copy of their own exact size, so that a read past the end
// shows under AddressSanitizer). A file must load or be reported malformed, never more; a file
// of up to 2 bytes loads empty; a title is the caption, or the caption and at most 7 more
// characters.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/products/version_file.h"
#include "core/window/version_caption.h"

namespace {

void Require(bool condition) {
    if (!condition) {
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, std::size_t size) {
    const std::vector<char> bytes(data, data + size);
    dekvanto::core::VersionDocument document;
    const auto result = document.LoadBytes(std::string_view(bytes.data(), bytes.size()));
    Require(result != dekvanto::core::VersionLoad::kNotLoaded);
    if (size <= 2) {
        Require(result == dekvanto::core::VersionLoad::kLoaded && document.VersionText().empty());
    }
    if (result == dekvanto::core::VersionLoad::kMalformed) {
        Require(document.VersionText().empty() && document.ThirdText().empty());
    }
    for (const std::string &text :
         {document.VersionText(), std::string(bytes.data(), bytes.size())}) {
        const std::string title = dekvanto::core::CaptionWithRelease("DEK VANTO", text);
        Require(title.starts_with("DEK VANTO") && title.size() <= 9 + 7);
    }
    return 0;
}
