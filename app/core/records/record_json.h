// The record's values as JSON, for the field table (record_fields.h) and the lines made of it
// (record_lines.h): how a value is written (null when it is not known) and how it is taken back
// from a line that another machine, a crash or a hostile hand may have written. Only the records'
// own files include this header.
#pragma once

#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

namespace dekvanto::core {

// Lines are written with their keys in the documented order. They are read into objects whose
// keys are sorted instead: an object that keeps its keys in order finds one by going through all
// of them, so a line of many keys (a hostile one, say) would take time that grows with the square
// of its length. A key given twice has its last value either way.
using Json = nlohmann::ordered_json;
using ReadJson = nlohmann::json;

// The value of one field of a line being written.
struct FieldOut {
    Json value;
};

// The value of one field of a line read back: null when the line does not have the field.
struct FieldIn {
    const ReadJson &value;
};

template <typename T>
Json OrNull(const std::optional<T> &value) {
    return value ? Json(*value) : Json(nullptr);
}

// The integer that `number` holds, when it is one and fits T: a number past T's range is no
// value, where a plain conversion would wrap it into another.
template <typename T>
std::optional<T> IntegerOf(const ReadJson &number) {
    if (number.is_number_unsigned()) {
        const auto held = number.get<uint64_t>();
        if (held <= static_cast<uint64_t>(std::numeric_limits<T>::max())) {
            return static_cast<T>(held);
        }
    } else if (number.is_number_integer()) {
        const auto held = number.get<int64_t>();
        if (std::in_range<T>(held)) {
            return static_cast<T>(held);
        }
    }
    return std::nullopt;
}

// Copies `found` into `value` when it has a fitting type; anything else leaves `value` as it was.
// A list keeps only its texts.
template <typename T>
void Take(const ReadJson &found, T &value) {
    if (found.is_null()) {
        return;
    }
    if constexpr (std::is_same_v<T, std::string>) {
        if (found.is_string()) {
            value = found.template get<std::string>();
        }
    } else if constexpr (std::is_floating_point_v<T>) {
        if (found.is_number()) {
            value = found.template get<T>();
        }
    } else if constexpr (std::is_integral_v<T>) {
        if (const std::optional<T> number = IntegerOf<T>(found)) {
            value = *number;
        }
    } else {
        static_assert(std::is_same_v<T, std::vector<std::string>>);
        if (found.is_array()) {
            for (const ReadJson &item : found) {
                if (item.is_string()) {
                    value.push_back(item.template get<std::string>());
                }
            }
        }
    }
}

// A value that is there (not null) is present even when its type does not fit: it then has its
// type's default.
template <typename T>
void Take(const ReadJson &found, std::optional<T> &value) {
    if (found.is_null()) {
        value = std::nullopt;
        return;
    }
    T taken{};
    Take(found, taken);
    value = std::move(taken);
}

// The field `key` of `object`, null when it has none.
inline const ReadJson &FieldOf(const ReadJson &object, std::string_view key) {
    static const ReadJson kNull;
    const auto found = object.find(key);
    return found != object.end() ? *found : kNull;
}

// `value` when it is an object, else an empty one (whose fields are all missing).
inline const ReadJson &ObjectOr(const ReadJson &value) {
    static const ReadJson kEmpty = ReadJson::object();
    return value.is_object() ? value : kEmpty;
}

}  // namespace dekvanto::core
