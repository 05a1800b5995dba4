// What the version file shows: the release number in the main window's title and the version
// text in the About box.
#pragma once

#include <string>
#include <string_view>

namespace dekvanto::core {

// The title for window caption `caption` and version text `version_text`.
//
// The version text is split as the pattern "%1s-%3s-%2s-%2s" splits it: four fields of up to 1,
// 3, 2 and 2 characters without white space, joined by '-' (white space before a field is
// skipped). When all four fields are there, the result is "%s  %c.%c" filled with the caption and
// the two characters of the third field (the release number), followed by " X" when the second
// field (the code) is not "000": A-000-12-07 turns "DEK VANTO" into "DEK VANTO  1.2", A-B07-12-07
// into "DEK VANTO  1.2 X". Otherwise the caption is returned as it is. The caption is kept whole,
// whatever its length.
std::string CaptionWithRelease(std::string_view caption, std::string_view version_text);

// The main window's title at initialisation: the version file is looked for in
// `program_directory` and its version text applied as above; when the file is missing, cannot be
// read or is malformed, the caption stays as it is.
std::string WindowTitle(std::string_view caption, const std::string &program_directory);

// The version text that the About box shows, read afresh from the version file in
// `program_directory`: empty when the file is missing, cannot be read or is malformed.
std::string AboutVersionText(const std::string &program_directory);

}  // namespace dekvanto::core
