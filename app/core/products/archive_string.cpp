#include "core/products/archive_string.h"

#include <cstdint>
#include <stdexcept>

namespace dekvanto::core {
namespace {

constexpr uint32_t kLongPrefix = 0xFF;
constexpr uint32_t kWidePrefix = 0xFFFE;
constexpr uint32_t kHugePrefix = 0xFFFF;

// Takes an n-byte little-endian number from the front of `bytes`.
std::optional<uint32_t> Take(std::string_view &bytes, std::size_t n) {
    if (bytes.size() < n) {
        return std::nullopt;
    }
    uint32_t value = 0;
    for (std::size_t i = 0; i < n; ++i) {
        value |= static_cast<uint32_t>(static_cast<unsigned char>(bytes[i])) << (8 * i);
    }
    bytes.remove_prefix(n);
    return value;
}

struct Prefix {
    uint32_t length = 0;
    bool wide = false;  // the 0xFF 0xFFFE marker: the length is the next prefix's
};

std::optional<Prefix> TakePrefix(std::string_view &bytes) {
    const std::optional<uint32_t> byte = Take(bytes, 1);
    if (!byte || *byte < kLongPrefix) {
        return byte ? std::optional<Prefix>(Prefix{*byte, false}) : std::nullopt;
    }
    const std::optional<uint32_t> word = Take(bytes, 2);
    if (!word) {
        return std::nullopt;
    }
    if (*word == kWidePrefix) {
        return Prefix{0, true};
    }
    if (*word < kHugePrefix) {
        return Prefix{*word, false};
    }
    const std::optional<uint32_t> dword = Take(bytes, 4);
    return dword ? std::optional<Prefix>(Prefix{*dword, false}) : std::nullopt;
}

void AppendUtf8(std::string &out, uint32_t code_point) {
    if (code_point < 0x80) {
        out += static_cast<char>(code_point);
    } else if (code_point < 0x800) {
        out += static_cast<char>(0xC0 | (code_point >> 6));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    } else if (code_point < 0x10000) {
        out += static_cast<char>(0xE0 | (code_point >> 12));
        out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (code_point >> 18));
        out += static_cast<char>(0x80 | ((code_point >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((code_point >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (code_point & 0x3F));
    }
}

// Appends an n-byte little-endian number.
void Put(std::string &out, uint64_t value, std::size_t n) {
    for (std::size_t i = 0; i < n; ++i) {
        out += static_cast<char>((value >> (8 * i)) & 0xFF);
    }
}

std::string Utf16ToUtf8(std::string_view units) {
    std::string out;
    const std::size_t count = units.size() / 2;
    for (std::size_t i = 0; i < count; ++i) {
        std::string_view at = units.substr(2 * i, 2);
        const uint32_t unit = *Take(at, 2);
        const bool high = unit >= 0xD800 && unit <= 0xDBFF;
        const bool low = unit >= 0xDC00 && unit <= 0xDFFF;
        if (high && i + 1 < count) {
            std::string_view next_at = units.substr(2 * (i + 1), 2);
            const uint32_t next = *Take(next_at, 2);
            if (next >= 0xDC00 && next <= 0xDFFF) {
                AppendUtf8(out, 0x10000 + ((unit - 0xD800) << 10) + (next - 0xDC00));
                ++i;
                continue;
            }
        }
        if (high || low) {
            out += '?';
        } else {
            AppendUtf8(out, unit);
        }
    }
    return out;
}

}  // namespace

std::optional<std::string> ReadArchiveString(std::string_view &bytes) {
    std::optional<Prefix> prefix = TakePrefix(bytes);
    const bool wide = prefix && prefix->wide;
    if (wide) {
        prefix = TakePrefix(bytes);
        if (prefix && prefix->wide) {
            return std::nullopt;
        }
    }
    if (!prefix) {
        return std::nullopt;
    }
    const uint64_t size = static_cast<uint64_t>(prefix->length) * (wide ? 2 : 1);
    if (size > bytes.size()) {
        return std::nullopt;
    }
    const std::string_view characters = bytes.substr(0, static_cast<std::size_t>(size));
    bytes.remove_prefix(static_cast<std::size_t>(size));
    return wide ? Utf16ToUtf8(characters) : std::string(characters);
}

void AppendArchiveString(std::string &out, std::string_view text) {
    const uint64_t length = text.size();
    if (length > UINT32_MAX) {
        throw std::length_error("an archive string holds less than 4 GiB");
    }
    if (length < kLongPrefix) {
        Put(out, length, 1);
    } else if (length < kWidePrefix) {
        Put(out, kLongPrefix, 1);
        Put(out, length, 2);
    } else {
        Put(out, kLongPrefix, 1);
        Put(out, kHugePrefix, 2);
        Put(out, length, 4);
    }
    out += text;
}

}  // namespace dekvanto::core
