#include "core/records/record_lines.h"

#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>
#include <utility>

namespace dekvanto::core {
namespace {

// Lines are written with their keys in the documented order. They are read into objects whose
// keys are sorted instead: an object that keeps its keys in order finds one by going through all
// of them, so a line of many keys (a hostile one, say) would take time that grows with the square
// of its length. A key given twice has its last value either way.
using Json = nlohmann::ordered_json;
using ReadJson = nlohmann::json;

template <typename T>
Json OrNull(const std::optional<T> &value) {
    return value ? Json(*value) : Json(nullptr);
}

Json DeviceObject(const RecordDevice &device) {
    return {{"path", device.path},
            {"usb_serial", OrNull(device.usb_serial)},
            {"usb_product", OrNull(device.usb_product)}};
}

Json StartObject(const UnitRecord &r, std::string_view event) {
    const RecordConstants &c = r.constants;
    const UnitStart &s = r.start;
    Json line;
    line["schema"] = kUnitRecordSchema;
    line["event"] = event;
    line["station"] = s.station;
    line["device"] = DeviceObject(s.device);
    line["unit"] = s.unit;
    line["unit_id"] = OrNull(s.unit_id);
    line["operator"] = OrNull(s.operator_name);
    line["host"] = c.host;
    line["tool_version"] = c.tool_version;
    line["product"] = OrNull(c.product);
    line["settings"] = {{"speed", OrNull(c.settings.speed)},
                        {"parity", OrNull(c.settings.parity)},
                        {"stop_bits", OrNull(c.settings.stop_bits)},
                        {"bus", OrNull(c.settings.bus)},
                        {"wait_states", OrNull(c.settings.wait_states)},
                        {"mode", c.settings.mode}};
    line["files"] = Json::array();
    for (const SentFile &f : c.files) {
        line["files"].push_back({{"role", f.role},
                                 {"path", f.path},
                                 {"size", f.size},
                                 {"sum16", f.sum16},
                                 {"sha256", f.sha256}});
    }
    line["started"] = s.started;
    return line;
}

std::string Dump(const Json &line) {
    return line.dump(-1, ' ', false, Json::error_handler_t::replace);
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

// Copies the field `key` of `object` into `value` when it is there with a fitting type.
template <typename T>
void Take(const ReadJson &object, const char *key, T &value) {
    const auto found = object.find(key);
    if (found == object.end() || found->is_null()) {
        return;
    }
    if constexpr (std::is_same_v<T, std::string>) {
        if (found->is_string()) {
            value = found->template get<std::string>();
        }
    } else if constexpr (std::is_floating_point_v<T>) {
        if (found->is_number()) {
            value = found->template get<T>();
        }
    } else if constexpr (std::is_integral_v<T>) {
        if (const std::optional<T> number = IntegerOf<T>(*found)) {
            value = *number;
        }
    } else {
        if (found->is_array()) {
            for (const ReadJson &item : *found) {
                if (item.is_string()) {
                    value.push_back(item.template get<std::string>());
                }
            }
        }
    }
}

template <typename T>
void Take(const ReadJson &object, const char *key, std::optional<T> &value) {
    T taken{};
    bool present = false;
    const auto found = object.find(key);
    if (found != object.end() && !found->is_null()) {
        Take(object, key, taken);
        present = true;
    }
    value = present ? std::optional<T>(taken) : std::nullopt;
}

const ReadJson &ObjectAt(const ReadJson &object, const char *key) {
    static const ReadJson kEmpty = ReadJson::object();
    const auto found = object.find(key);
    return found != object.end() && found->is_object() ? *found : kEmpty;
}

void ReadStart(const ReadJson &line, UnitRecord &r) {
    RecordConstants &c = r.constants;
    UnitStart &s = r.start;
    Take(line, "station", s.station);
    const ReadJson &device = ObjectAt(line, "device");
    Take(device, "path", s.device.path);
    Take(device, "usb_serial", s.device.usb_serial);
    Take(device, "usb_product", s.device.usb_product);
    Take(line, "unit", s.unit);
    Take(line, "unit_id", s.unit_id);
    Take(line, "operator", s.operator_name);
    Take(line, "host", c.host);
    Take(line, "tool_version", c.tool_version);
    Take(line, "product", c.product);
    const ReadJson &settings = ObjectAt(line, "settings");
    Take(settings, "speed", c.settings.speed);
    Take(settings, "parity", c.settings.parity);
    Take(settings, "stop_bits", c.settings.stop_bits);
    Take(settings, "bus", c.settings.bus);
    Take(settings, "wait_states", c.settings.wait_states);
    Take(settings, "mode", c.settings.mode);
    if (const auto files = line.find("files"); files != line.end() && files->is_array()) {
        for (const ReadJson &item : *files) {
            if (!item.is_object()) {
                continue;
            }
            SentFile file;
            Take(item, "role", file.role);
            Take(item, "path", file.path);
            Take(item, "size", file.size);
            Take(item, "sum16", file.sum16);
            Take(item, "sha256", file.sha256);
            c.files.push_back(std::move(file));
        }
    }
    Take(line, "started", s.started);
}

UnitEnd ReadEnd(const ReadJson &line) {
    UnitEnd end;
    Take(line, "ended", end.ended);
    Take(line, "seconds", end.seconds);
    Take(line, "bytes", end.bytes);
    std::optional<std::string> result;
    Take(line, "result", result);
    if (result && result->size() == 1) {
        end.result = result->front();
    }
    std::string status;
    Take(line, "status", status);
    end.status = StatusOfWord(status).value_or(OutcomeClass::kOtherFailure);
    Take(line, "result_line", end.result_line);
    Take(line, "reason", end.reason);
    Take(line, "log", end.log);
    return end;
}

}  // namespace

std::string StartLine(const UnitRecord &record) {
    return Dump(StartObject(record, "start"));
}

std::string EndLine(const UnitRecord &record) {
    Json line = StartObject(record, "end");
    const UnitEnd end = record.end.value_or(UnitEnd{});
    line["ended"] = end.ended;
    line["seconds"] = end.seconds;
    line["bytes"] = end.bytes;
    line["result"] = end.result ? Json(std::string(1, *end.result)) : Json(nullptr);
    line["status"] = StatusWord(end.status);
    line["result_line"] = end.result_line;
    line["reason"] = OrNull(end.reason);
    line["log"] = end.log;
    return Dump(line);
}

std::string RemovalLine(const UnitRecord &record, std::string removed) {
    const UnitStart &s = record.start;
    Json line;
    line["schema"] = kUnitRecordSchema;
    line["event"] = "removed";
    line["station"] = s.station;
    line["device"] = DeviceObject(s.device);
    line["unit"] = s.unit;
    line["unit_id"] = OrNull(s.unit_id);
    line["host"] = record.constants.host;
    line["started"] = s.started;
    line["removed"] = std::move(removed);
    return Dump(line);
}

std::optional<RecordLine> ParseRecordLine(std::string_view text, std::string &why) {
    const ReadJson line = ReadJson::parse(text.begin(), text.end(), nullptr, false);
    if (line.is_discarded() || !line.is_object()) {
        why = "not a JSON object";
        return std::nullopt;
    }
    const auto schema = line.find("schema");
    if (schema == line.end() || !schema->is_number_integer()) {
        why = "no schema";
        return std::nullopt;
    }
    if (schema->get<int64_t>() != kUnitRecordSchema) {
        why = "schema " + schema->dump() + " is not known";
        return std::nullopt;
    }
    const auto event = line.find("event");
    RecordLine parsed;
    if (event != line.end() && *event == "start") {
        parsed.event = RecordEvent::kStart;
    } else if (event != line.end() && *event == "end") {
        parsed.event = RecordEvent::kEnd;
    } else if (event != line.end() && *event == "removed") {
        parsed.event = RecordEvent::kRemoved;
    } else {
        why = "no start, end or removed event";
        return std::nullopt;
    }
    const auto station = line.find("station");
    const auto unit = line.find("unit");
    if (station == line.end() || !station->is_string() || unit == line.end() ||
        !unit->is_number_integer()) {
        why = "no station or unit";
        return std::nullopt;
    }
    // A unit number past the record's range would wrap into another unit's number.
    if (!IntegerOf<int64_t>(*unit)) {
        why = "unit number " + unit->dump() + " out of range";
        return std::nullopt;
    }
    ReadStart(line, parsed.record);
    if (parsed.event == RecordEvent::kEnd) {
        parsed.record.end = ReadEnd(line);
    } else if (parsed.event == RecordEvent::kRemoved) {
        Take(line, "removed", parsed.removed);
    }
    return parsed;
}

}  // namespace dekvanto::core
