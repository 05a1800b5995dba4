#include "core/text/outside_text.h"

#include <cstdint>

namespace dekvanto::core {
namespace {

bool Continuation(std::string_view text, std::size_t at, uint8_t low = 0x80, uint8_t high = 0xBF) {
    if (at >= text.size()) {
        return false;
    }
    const auto byte = static_cast<uint8_t>(text[at]);
    return byte >= low && byte <= high;
}

// The length of the well-formed UTF-8 character at `at`, or 0 when the byte there starts none
// (overlong forms, surrogates and code points past U+10FFFF are not well-formed).
std::size_t CharacterLength(std::string_view text, std::size_t at) {
    const auto lead = static_cast<uint8_t>(text[at]);
    if (lead < 0x80) {
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return Continuation(text, at + 1) ? 2 : 0;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        const uint8_t low = lead == 0xE0 ? 0xA0 : 0x80;
        const uint8_t high = lead == 0xED ? 0x9F : 0xBF;
        return Continuation(text, at + 1, low, high) && Continuation(text, at + 2) ? 3 : 0;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        const uint8_t low = lead == 0xF0 ? 0x90 : 0x80;
        const uint8_t high = lead == 0xF4 ? 0x8F : 0xBF;
        return Continuation(text, at + 1, low, high) && Continuation(text, at + 2) &&
                       Continuation(text, at + 3)
                   ? 4
                   : 0;
    }
    return 0;
}

// Characters a terminal acts on instead of showing: C0 and DEL, C1 (U+0080 to U+009F), and the
// marks that reorder or break a line (U+2028, U+2029, U+202A to U+202E, U+2066 to U+2069), which
// could make "FAIL" read as something else.
bool Acts(std::string_view character) {
    const auto first = static_cast<uint8_t>(character[0]);
    if (character.size() == 1) {
        return first < 0x20 || first == 0x7F;
    }
    const auto second = static_cast<uint8_t>(character[1]);
    if (character.size() == 2) {
        return first == 0xC2 && second < 0xA0;
    }
    if (character.size() == 3 && first == 0xE2) {
        const auto third = static_cast<uint8_t>(character[2]);
        return (second == 0x80 && third >= 0xA8 && third <= 0xAE) ||
               (second == 0x81 && third >= 0xA6 && third <= 0xA9);
    }
    return false;
}

void AppendEscaped(std::string &out, std::string_view bytes) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    for (const char c : bytes) {
        const auto byte = static_cast<uint8_t>(c);
        out += "\\x";
        out += kHex[byte >> 4];
        out += kHex[byte & 0x0F];
    }
}

}  // namespace

std::string TerminalText(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = CharacterLength(text, at);
        const std::string_view character = text.substr(at, length == 0 ? 1 : length);
        if (length == 0 || Acts(character)) {
            AppendEscaped(out, character);
        } else {
            out += character;
        }
        at += character.size();
    }
    return out;
}

std::string_view CutText(std::string_view text, std::size_t max_bytes) {
    std::size_t end = 0;
    while (end < text.size()) {
        const std::size_t length = CharacterLength(text, end);
        const std::size_t next = end + (length == 0 ? 1 : length);
        if (next > max_bytes) {
            break;
        }
        end = next;
    }
    return text.substr(0, end);
}

std::string SpreadsheetText(std::string_view text) {
    std::string cell = TerminalText(text);
    if (!cell.empty() && (cell[0] == '=' || cell[0] == '+' || cell[0] == '-' || cell[0] == '@')) {
        cell.insert(cell.begin(), '\'');
    }
    return cell;
}

std::string CsvCell(std::string_view text) {
    const std::string cell = SpreadsheetText(text);
    if (cell.find_first_of(",\"") == std::string::npos) {
        return cell;
    }
    std::string quoted = "\"";
    for (const char c : cell) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

}  // namespace dekvanto::core
