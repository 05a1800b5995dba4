#include "core/ports/port_list.h"

#include <algorithm>
#include <utility>

namespace dekvanto::core {
namespace {

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool NameBefore(std::string_view a, std::string_view b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return static_cast<unsigned char>(LowerAscii(x)) <
               static_cast<unsigned char>(LowerAscii(y));
    });
}

}  // namespace

void AddSortedPort(std::vector<PortEntry> &list, PortEntry entry) {
    const auto place = std::upper_bound(
        list.begin(), list.end(), entry,
        [](const PortEntry &a, const PortEntry &b) { return NameBefore(a.name, b.name); });
    list.insert(place, std::move(entry));
}

std::vector<std::string> PortNames(const std::vector<PortEntry> &list) {
    std::vector<std::string> names;
    names.reserve(list.size());
    for (const PortEntry &entry : list) {
        names.push_back(entry.name);
    }
    return names;
}

void AddFixedPorts(std::vector<PortEntry> &list, std::string first_device,
                   std::string second_device) {
    list.push_back({"COM1", std::move(first_device), ""});
    list.push_back({"COM2", std::move(second_device), ""});
}

}  // namespace dekvanto::core
