// The fields of the record lines, in one table: for each key, which lines carry it, what it means
// (as docs/records.md shows it), how it is written and read back, and the columns it gives
// `vanto records --csv`.
//
// The lines (record_lines.h) are written with the fields in the table's order, each line with the
// fields its kind carries, and read back field by field. A new field is one entry here: put it
// where the documented order has it, and give its CSV columns the next free positions, since
// spreadsheets rely on the columns' positions.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "core/records/record_lines.h"
#include "core/records/record_reader.h"
#include "core/records/unit_record.h"

namespace dekvanto::core {

// Which lines carry a field.
enum class FieldLines {
    kAll,          // start, end and removal lines
    kStartAndEnd,  // what a unit has at its start, which a removal line leaves out
    kEnd,          // how the unit ended
    kRemoved,      // when the phone was found gone
};

// Whether a line of `event` is written with a field carried by `lines`.
bool LineCarries(RecordEvent event, FieldLines lines);
// Whether a line of `event` is read for a field carried by `lines`: what a unit has at its start
// is taken from any line that has it, how it ended only from an end line, and the removal time
// only from a removal line.
bool LineReads(RecordEvent event, FieldLines lines);
// The lines as the field table of docs/records.md names them: "all", "start, end", "end",
// "removed".
std::string_view LinesText(FieldLines lines);

// What a line is written from.
struct LineToWrite {
    RecordEvent event;
    const UnitRecord &record;
    const UnitEnd &end;             // the record's end, an empty one when it has none
    std::string_view removed = {};  // the removal time, for a removal line
};

// A field's value in JSON: defined in record_json.h, for the records' own files.
struct FieldOut;
struct FieldIn;

// A column of `vanto records --csv`, one row per unit. The cell is the record's text as it is;
// the CSV's own rules (quoting, text that a spreadsheet must not take for a formula) are applied
// when the row is written.
struct CsvColumn {
    int position = 0;  // 1 for the first column; each position is given once
    std::string_view name;
    std::string (*cell)(const RecordedUnit &unit) = nullptr;
};

struct RecordField {
    std::string_view key;
    FieldLines lines = FieldLines::kAll;
    // What the field holds, in the words (and Markdown) of docs/records.md.
    std::string_view meaning;
    // Sets the field's value in a line being written.
    void (*write)(const LineToWrite &line, FieldOut &out) = nullptr;
    // Takes the field's value (null when the line lacks it) into the line read. None for the
    // fields that ParseRecordLine checks before any is read (the schema and the event).
    void (*read)(const FieldIn &in, RecordLine &parsed) = nullptr;
    std::vector<CsvColumn> columns = {};
};

// Every field, in the order the lines have them.
const std::vector<RecordField> &RecordFields();

// The columns of `vanto records --csv`, by position.
std::vector<CsvColumn> CsvColumns();

}  // namespace dekvanto::core
