#include "dekvanto/platform/port_name.h"

namespace dekvanto::platform {
namespace {

constexpr std::string_view kLetters = "COM";
constexpr std::size_t kMostDigits = 5;

bool SameLetters(std::string_view text, PortName::Letters letters) {
    if (letters == PortName::Letters::kCapitals) {
        return text == kLetters;
    }
    for (std::size_t i = 0; i < kLetters.size(); ++i) {
        const char c = text[i];
        const char upper = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
        if (upper != kLetters[i]) {
            return false;
        }
    }
    return true;
}

}  // namespace

std::optional<PortName> PortName::Parse(std::string_view text, Letters letters) {
    if (text.size() <= kLetters.size() || text.size() > kLetters.size() + kMostDigits ||
        !SameLetters(text.substr(0, kLetters.size()), letters) || text[kLetters.size()] == '0') {
        return std::nullopt;
    }
    int number = 0;
    for (const char c : text.substr(kLetters.size())) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        number = number * 10 + (c - '0');
    }
    return PortName(number);
}

bool PortName::NamesOfOnePort(std::string_view a, std::string_view b) {
    const std::optional<PortName> first = Parse(a, Letters::kAnyCase);
    return first && first == Parse(b, Letters::kAnyCase);
}

std::optional<PortName> PortName::OfNumber(int number) {
    if (number < 1 || number > kHighestPortNumber) {
        return std::nullopt;
    }
    return PortName(number);
}

std::string DeviceForPort(const PortName &port) {
    return *DeviceForPort(port.Number());
}

}  // namespace dekvanto::platform
