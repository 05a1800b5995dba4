#include "core/records/record_lines.h"

#include <cstdint>
#include <utility>

#include "core/records/record_fields.h"
#include "core/records/record_json.h"

namespace dekvanto::core {
namespace {

// Each field that a line of its kind carries, in the table's (the documented) order.
std::string WriteLine(const LineToWrite &source) {
    Json line;
    for (const RecordField &field : RecordFields()) {
        if (LineCarries(source.event, field.lines)) {
            FieldOut out;
            field.write(source, out);
            line[std::string(field.key)] = std::move(out.value);
        }
    }
    return line.dump(-1, ' ', false, Json::error_handler_t::replace);
}

const UnitEnd kNoEnd{};

}  // namespace

std::string StartLine(const UnitRecord &record) {
    return WriteLine({.event = RecordEvent::kStart, .record = record, .end = kNoEnd});
}

std::string EndLine(const UnitRecord &record) {
    return WriteLine(
        {.event = RecordEvent::kEnd, .record = record, .end = record.end ? *record.end : kNoEnd});
}

std::string RemovalLine(const UnitRecord &record, std::string removed) {
    return WriteLine(
        {.event = RecordEvent::kRemoved, .record = record, .end = kNoEnd, .removed = removed});
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
    if (parsed.event == RecordEvent::kEnd) {
        parsed.record.end.emplace();
    }
    // Keys that no field has are passed over.
    for (const RecordField &field : RecordFields()) {
        if (field.read && LineReads(parsed.event, field.lines)) {
            field.read(FieldIn{FieldOf(line, field.key)}, parsed);
        }
    }
    return parsed;
}

}  // namespace dekvanto::core
