#include "core/ports/port_name.h"

#include <algorithm>
#include <cstdint>
#include <limits>

namespace dekvanto::core {
namespace {

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// scanf's %d over text: white space, sign, at least one digit; nothing on overflow.
std::optional<int> ScanDecimal(std::string_view text) {
    std::size_t at = 0;
    while (at < text.size() && IsSpace(text[at])) {
        ++at;
    }
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) {
        negative = text[at] == '-';
        ++at;
    }
    int64_t value = 0;
    std::size_t digits = 0;
    for (; at < text.size() && text[at] >= '0' && text[at] <= '9'; ++at, ++digits) {
        value = value * 10 + (text[at] - '0');
        if (value > int64_t{std::numeric_limits<int>::max()} + 1) {
            return std::nullopt;
        }
    }
    if (digits == 0) {
        return std::nullopt;
    }
    value = negative ? -value : value;
    if (value < std::numeric_limits<int>::min() || value > std::numeric_limits<int>::max()) {
        return std::nullopt;
    }
    return static_cast<int>(value);
}

}  // namespace

std::optional<int> NumberAfterPrefix(std::string_view port_name) {
    if (port_name.size() < 3) {
        return std::nullopt;
    }
    return ScanDecimal(port_name.substr(3));
}

bool ReadsAsComPort(std::string_view text) {
    return text.substr(0, 3) == "COM" && ScanDecimal(text.substr(3)).has_value();
}

int FindEntryBeginningWith(const std::vector<std::string> &entries, std::string_view prefix) {
    for (std::size_t i = 0; i < entries.size(); ++i) {
        const std::string &entry = entries[i];
        if (entry.size() < prefix.size()) {
            continue;
        }
        bool same = true;
        for (std::size_t k = 0; k < prefix.size() && same; ++k) {
            same = Lower(entry[k]) == Lower(prefix[k]);
        }
        if (same) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        auto lower = [](char c) {
            return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        };
        return lower(x) == lower(y);
    });
}

}  // namespace dekvanto::core
