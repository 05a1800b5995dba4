#include "core/bench/station_messages.h"

#include <array>
#include <limits>
#include <utility>

namespace dekvanto::core {
namespace {

using Json = nlohmann::json;

constexpr std::array<std::pair<StationMessageKind, std::string_view>, 5> kKinds{{
    {StationMessageKind::kEvent, "event"},
    {StationMessageKind::kAsk, "ask"},
    {StationMessageKind::kError, "error"},
    {StationMessageKind::kSummary, "summary"},
    {StationMessageKind::kGo, "go"},
}};

std::string_view KindName(StationMessageKind kind) {
    for (const auto &[known, name] : kKinds) {
        if (known == kind) {
            return name;
        }
    }
    return {};
}

std::string Dump(const nlohmann::ordered_json &object) {
    return object.dump(-1, ' ', false, Json::error_handler_t::replace);
}

StationMessageReading NotAMessage(std::string problem) {
    return {std::nullopt, std::move(problem)};
}

}  // namespace

std::string EventMessageLine(std::string_view event_line) {
    return R"({"kind":"event","event":)" + std::string(event_line) + "}";
}

std::string StationMessageLine(const StationMessage &message) {
    if (message.kind == StationMessageKind::kEvent) {
        return EventMessageLine(EventLine(message.event));
    }
    nlohmann::ordered_json line;
    line["kind"] = KindName(message.kind);
    switch (message.kind) {
        case StationMessageKind::kAsk:
            line["unit"] = message.unit;
            break;
        case StationMessageKind::kError:
            line["text"] = message.text;
            break;
        case StationMessageKind::kSummary:
            line["summary"] = message.summary.is_object() ? message.summary : Json::object();
            break;
        case StationMessageKind::kGo:
            if (message.unit_id) {
                line["unit_id"] = *message.unit_id;
            }
            break;
        case StationMessageKind::kEvent:
            break;
    }
    return Dump(line);
}

StationMessageReading ReadStationMessage(std::string_view line) {
    if (!line.empty() && line.back() == '\r') {
        line.remove_suffix(1);
    }
    const Json object = Json::parse(line, nullptr, false);
    if (object.is_discarded() || !object.is_object() || !object.contains("kind") ||
        !object["kind"].is_string()) {
        return NotAMessage("not a station message");
    }
    const std::string kind = object["kind"].get<std::string>();
    StationMessage message;
    bool known = false;
    for (const auto &[value, name] : kKinds) {
        if (name == kind) {
            message.kind = value;
            known = true;
        }
    }
    if (!known) {
        return NotAMessage("a station message of unknown kind \"" + kind + "\"");
    }
    auto text = [&object](const char *name) -> std::optional<std::string> {
        if (!object.contains(name) || !object[name].is_string()) {
            return std::nullopt;
        }
        return object[name].get<std::string>();
    };
    switch (message.kind) {
        case StationMessageKind::kEvent: {
            if (!object.contains("event") || !object["event"].is_object()) {
                return NotAMessage("an event message without its event");
            }
            EventLineReading reading = ReadEventLine(object["event"].dump());
            if (!reading.event) {
                return NotAMessage("an event message whose event is unreadable: " + reading.reason);
            }
            message.event = std::move(*reading.event);
            break;
        }
        case StationMessageKind::kAsk:
            if (!object.contains("unit") || !object["unit"].is_number_integer() ||
                object["unit"].get<int64_t>() < 1 ||
                object["unit"].get<int64_t>() > std::numeric_limits<int>::max()) {
                return NotAMessage("an ask without its unit");
            }
            message.unit = object["unit"].get<int>();
            break;
        case StationMessageKind::kError:
            if (!text("text")) {
                return NotAMessage("an error message without its text");
            }
            message.text = *text("text");
            break;
        case StationMessageKind::kSummary:
            if (!object.contains("summary") || !object["summary"].is_object()) {
                return NotAMessage("a summary message without its summary");
            }
            message.summary = object["summary"];
            break;
        case StationMessageKind::kGo:
            message.unit_id = text("unit_id");
            if (object.contains("unit_id") && !message.unit_id) {
                return NotAMessage("a go-ahead whose identifier is no text");
            }
            break;
    }
    return {std::move(message), ""};
}

}  // namespace dekvanto::core
