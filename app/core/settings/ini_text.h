// The text rules of the settings file: finding one key in the file's bytes, and the file's bytes
// after one key has been written. No file is touched here; `IniFile` reads and replaces the file.
//
// The rules are those of the Windows private-profile calls, so that one "MX40.ini" means the same
// on every system:
// - a line ends at CR, LF or CRLF; the last line may have no end;
// - a line is trimmed of spaces and tabs before it is looked at; a UTF-8 byte order mark at the
//   very start of the file is skipped;
// - a line beginning with '[' opens a section named by the text up to the first ']' (or the end
//   of the line), trimmed; the rest of the line is ignored;
// - a line beginning with ';' is a comment; '#' is an ordinary character; a value has no comment
//   after it;
// - any other line holding '=' is a key: the first '=' splits the name from the value, both
//   trimmed; lines without '=' and key lines before the first section belong to no key;
// - section and key names match without regard to ASCII case; only the first section of a name
//   counts, and only the first key of a name within it;
// - one pair of matching outer quotes ('...' or "...") is removed from a value.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dekvanto::core {

// The value of [section] key in the file text `text`, quotes removed; nothing when the section or
// the key is missing. A key written as "Key=" gives an empty value, not nothing.
std::optional<std::string> FindIniValue(std::string_view text, std::string_view section,
                                        std::string_view key);

// The integer that the private-profile rule reads from a stored value: spaces and tabs skipped,
// an optional sign, then decimal digits up to the first other character, wrapping modulo 2^32
// ("12abc" is 12, "abc" is 0, "4294967297" is 1). An empty value gives `fallback`.
int32_t IniInteger(std::string_view value, int32_t fallback);

// Whether a section or key name can be stored: not empty, no line break, no NUL, no '=' in a
// key, no ']' in a section, no leading '[' or ';' in a key, and no spaces or tabs at either
// end (they would be trimmed away on reading).
bool IsStorableIniName(std::string_view name, bool is_section);

// Whether a value can be stored on one line: no CR, LF or NUL.
bool IsStorableIniValue(std::string_view value);

// The value as it goes into the file, so that reading gives it back: inside double quotes when it
// has spaces or tabs at an end or matching outer quotes (reading removes them again), else as is.
std::string IniStoredValue(std::string_view value);

// The file text after [section] key has been set to `value`, or nothing when the stored value
// already reads back as `value` (the file must then stay as it is) or when a name or the value
// cannot be stored (see above).
//
// An existing key line keeps everything up to its value (the key's spelling, its spaces and the
// '=') and gets the new value in place of the old one. A missing key is added on a new line after
// the last key line of the section (right after the section line when it has no key); a missing
// section is added at the end of the file with the key. Every other byte stays as it was. New
// lines end the way the file's first line ends (CRLF for a file without any line end). A value
// that would not read back as itself (spaces or tabs at an end, or matching outer quotes) is
// written inside double quotes, which reading removes again.
std::optional<std::string> IniTextWithValue(std::string_view text, std::string_view section,
                                            std::string_view key, std::string_view value);

}  // namespace dekvanto::core
