// Strings as the version file stores them (the platform framework's archive string format).
//
// A string is a length prefix followed by its characters, with no terminator:
//   1 byte                      the length, when it is below 0xFF;
//   0xFF + 16-bit length        any 16-bit length other than 0xFFFE and 0xFFFF;
//   0xFF 0xFFFF + 32-bit length any 32-bit length.
// The program only reads such strings; the build's tools write the version file with them.
// All numbers are little-endian. The prefix 0xFF 0xFFFE announces a string of 16-bit characters:
// a second length prefix in the same scheme follows, counting characters, then two bytes per
// character (UTF-16, little-endian).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace dekvanto::core {

// Reads one string from the front of `bytes` and removes it from there. 8-bit characters are
// taken as they are; 16-bit characters are converted to UTF-8 (a lone surrogate becomes '?').
// Returns nothing when the bytes end inside the prefix or the characters, or when the second
// prefix of a 16-bit string announces 16-bit characters again; `bytes` is then left somewhere
// inside the string. The length is checked against the bytes that are left before anything is
// allocated.
std::optional<std::string> ReadArchiveString(std::string_view &bytes);

// Appends `text` to `out` as one string of 8-bit characters, with the shortest prefix for its
// length: one byte below 0xFF, 0xFF and 16 bits up to 0xFFFD, else 0xFF 0xFFFF and 32 bits.
// Throws std::length_error for a text of 4 GiB or more, which no prefix can announce.
void AppendArchiveString(std::string &out, std::string_view text);

}  // namespace dekvanto::core
