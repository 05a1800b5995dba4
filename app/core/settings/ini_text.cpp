#include "core/settings/ini_text.h"

#include <cstddef>

namespace dekvanto::core {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (LowerAscii(a[i]) != LowerAscii(b[i])) {
            return false;
        }
    }
    return true;
}

// Offsets of [begin, end) with the spaces and tabs at both ends left out.
void Trim(std::string_view text, std::size_t &begin, std::size_t &end) {
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
}

std::string_view Unquoted(std::string_view value) {
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front()) {
        return value.substr(1, value.size() - 2);
    }
    return value;
}

enum class LineKind { kOther, kSection, kKey };

// One line of the file, as offsets into the whole text.
struct IniLine {
    std::size_t begin = 0;
    std::size_t text_end = 0;  // where the line's end bytes (CR, LF, CRLF) start
    std::size_t end = 0;       // after the line's end bytes
    LineKind kind = LineKind::kOther;
    std::string_view name;        // section or key name, trimmed
    std::size_t value_begin = 0;  // key lines: the value, trimmed
    std::size_t value_end = 0;
};

void Classify(std::string_view text, IniLine &line) {
    std::size_t begin = line.begin;
    std::size_t end = line.text_end;
    Trim(text, begin, end);
    if (begin == end || text[begin] == ';') {
        return;
    }
    if (text[begin] == '[') {
        std::size_t name_begin = begin + 1;
        std::size_t name_end = text.substr(0, end).find(']', name_begin);
        if (name_end == std::string_view::npos) {
            name_end = end;
        }
        Trim(text, name_begin, name_end);
        line.kind = LineKind::kSection;
        line.name = text.substr(name_begin, name_end - name_begin);
        return;
    }
    const std::size_t equals = text.substr(0, end).find('=', begin);
    if (equals == std::string_view::npos) {
        return;
    }
    std::size_t name_end = equals;
    std::size_t name_begin = begin;
    Trim(text, name_begin, name_end);
    line.kind = LineKind::kKey;
    line.name = text.substr(name_begin, name_end - name_begin);
    line.value_begin = equals + 1;
    line.value_end = end;
    Trim(text, line.value_begin, line.value_end);
}

std::size_t BodyStart(std::string_view text) {
    return text.substr(0, kByteOrderMark.size()) == kByteOrderMark ? kByteOrderMark.size() : 0;
}

// The line that starts at `at`, classified.
IniLine LineAt(std::string_view text, std::size_t at) {
    IniLine line;
    line.begin = at;
    const std::size_t stop = text.find_first_of("\r\n", at);
    line.text_end = stop == std::string_view::npos ? text.size() : stop;
    line.end = line.text_end;
    if (line.end < text.size() && text[line.end] == '\r') {
        ++line.end;
    }
    if (line.end < text.size() && text[line.end] == '\n' &&
        (line.end == line.text_end || text[line.text_end] == '\r')) {
        ++line.end;
    }
    Classify(text, line);
    return line;
}

// Where one key was looked for: the section line (none when the section is missing), the key
// line (none when the key is missing) and the last key line of the section.
struct KeyPlace {
    std::optional<IniLine> section;
    std::optional<IniLine> key;
    std::optional<IniLine> last_key;
};

// Walks the lines one at a time, without holding them: a settings file is read many times per
// action, and its lines need no storage beyond the one being looked at.
KeyPlace FindKey(std::string_view text, std::string_view section, std::string_view key) {
    KeyPlace place;
    for (std::size_t at = BodyStart(text); at < text.size();) {
        const IniLine line = LineAt(text, at);
        at = line.end;
        if (line.kind == LineKind::kSection) {
            if (place.section) {
                break;  // the first section of the name has ended
            }
            if (SameName(line.name, section)) {
                place.section = line;
            }
        } else if (place.section && line.kind == LineKind::kKey) {
            place.last_key = line;
            if (!place.key && SameName(line.name, key)) {
                place.key = line;
            }
        }
    }
    return place;
}

std::string_view LineEnd(std::string_view text) {
    const std::size_t at = text.find_first_of("\r\n");
    if (at == std::string_view::npos || text.substr(at, 2) == "\r\n") {
        return "\r\n";
    }
    return text[at] == '\r' ? "\r" : "\n";
}

bool EndsLine(std::string_view text) {
    return !text.empty() && (text.back() == '\r' || text.back() == '\n');
}

std::string ReplaceValue(std::string_view text, const IniLine &line, std::string_view stored) {
    std::string result(text.substr(0, line.value_begin));
    result += stored;
    result += text.substr(line.text_end);
    return result;
}

std::string InsertKeyAfter(std::string_view text, const IniLine &line, std::string_view key,
                           std::string_view stored) {
    const std::string_view eol = LineEnd(text);
    std::string result(text.substr(0, line.end));
    if (line.end == line.text_end) {
        result += eol;  // the line was the last one and had no end of its own
    }
    result.append(key).append("=").append(stored).append(eol);
    result += text.substr(line.end);
    return result;
}

std::string AppendSection(std::string_view text, std::string_view section, std::string_view key,
                          std::string_view stored) {
    const std::string_view eol = LineEnd(text);
    std::string result(text);
    if (text.size() > BodyStart(text) && !EndsLine(text)) {
        result += eol;
    }
    result.append("[").append(section).append("]").append(eol);
    result.append(key).append("=").append(stored).append(eol);
    return result;
}

}  // namespace

std::optional<std::string> FindIniValue(std::string_view text, std::string_view section,
                                        std::string_view key) {
    const KeyPlace place = FindKey(text, section, key);
    if (!place.key) {
        return std::nullopt;
    }
    const IniLine &line = *place.key;
    return std::string(Unquoted(text.substr(line.value_begin, line.value_end - line.value_begin)));
}

int32_t IniInteger(std::string_view value, int32_t fallback) {
    std::size_t at = 0;
    std::size_t end = value.size();
    Trim(value, at, end);
    if (at == end) {
        return fallback;
    }
    bool negative = false;
    if (value[at] == '+' || value[at] == '-') {
        negative = value[at] == '-';
        ++at;
    }
    uint32_t number = 0;
    for (; at < end && value[at] >= '0' && value[at] <= '9'; ++at) {
        number = number * 10u + static_cast<uint32_t>(value[at] - '0');
    }
    if (negative) {
        number = 0u - number;
    }
    return static_cast<int32_t>(number);
}

std::string IniStoredValue(std::string_view value) {
    const bool blank_end = !value.empty() && (IsBlank(value.front()) || IsBlank(value.back()));
    if (blank_end || Unquoted(value).size() != value.size()) {
        return "\"" + std::string(value) + "\"";
    }
    return std::string(value);
}

bool IsStorableIniName(std::string_view name, bool is_section) {
    if (name.empty() || IsBlank(name.front()) || IsBlank(name.back()) ||
        !IsStorableIniValue(name)) {
        return false;
    }
    if (is_section) {
        return name.find(']') == std::string_view::npos;
    }
    return name.find('=') == std::string_view::npos && name.front() != '[' && name.front() != ';';
}

bool IsStorableIniValue(std::string_view value) {
    return value.find_first_of(std::string_view("\r\n\0", 3)) == std::string_view::npos;
}

std::optional<std::string> IniTextWithValue(std::string_view text, std::string_view section,
                                            std::string_view key, std::string_view value) {
    if (!IsStorableIniName(section, true) || !IsStorableIniName(key, false) ||
        !IsStorableIniValue(value)) {
        return std::nullopt;
    }
    const KeyPlace place = FindKey(text, section, key);
    const std::string stored = IniStoredValue(value);
    if (place.key) {
        const IniLine &line = *place.key;
        const std::string_view old_value =
            text.substr(line.value_begin, line.value_end - line.value_begin);
        if (Unquoted(old_value) == value) {
            return std::nullopt;
        }
        return ReplaceValue(text, line, stored);
    }
    if (place.section) {
        const IniLine &after = place.last_key ? *place.last_key : *place.section;
        return InsertKeyAfter(text, after, key, stored);
    }
    return AppendSection(text, section, key, stored);
}

}  // namespace dekvanto::core
