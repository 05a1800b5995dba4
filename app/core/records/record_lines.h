// The lines of the record file: each unit writes one JSON object on a line of its own when it
// starts ("event": "start") and one when it ends ("event": "end"). The start line holds the
// constants and what the unit adds at its start; the end line holds the whole record, so that
// an end line alone tells everything of its unit. When the station then finds the phone gone, it
// writes a removal line ("event": "removed") that names the unit (station, device, unit number
// and identifier, host, start time) and when the phone was found gone.
//
// Keys come in the documented order (docs/records.md), the order of the field table
// (record_fields.h). Fields that are not known are null: the unit identifier when nothing was
// scanned, the operator when none was named, the product when none was chosen, the result
// character when the engine did not run, the USB facts of a device that is not a USB adapter.
// Text that is not valid UTF-8 (a path or a log line in another encoding) is written with U+FFFD
// in place of each bad byte, so that a line is never lost to it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/records/unit_record.h"

namespace dekvanto::core {

enum class RecordEvent { kStart, kEnd, kRemoved };

// The word a line gives its event: "start", "end", "removed".
std::string_view EventWord(RecordEvent event);

// The start line of the record, without its newline.
std::string StartLine(const UnitRecord &record);
// The end line of the record (which must have its end), without its newline.
std::string EndLine(const UnitRecord &record);
// The removal line of the unit of `record`, found gone at `removed` (UtcTimestamp), without its
// newline.
std::string RemovalLine(const UnitRecord &record, std::string removed);

struct RecordLine {
    RecordEvent event = RecordEvent::kStart;
    UnitRecord record;    // from a start or removal line: without its end
    std::string removed;  // of a removal line: when the phone was found gone
};

// Reads one line of the record file (without its newline). Nothing, with the reason in `why`,
// for a line that is no JSON object, has a "schema" other than kUnitRecordSchema, an "event"
// other than "start", "end" or "removed", or lacks its "station" or a "unit" number that fits.
// Other fields that are missing, of another type or out of their type's range are left at their
// defaults.
std::optional<RecordLine> ParseRecordLine(std::string_view line, std::string &why);

}  // namespace dekvanto::core
