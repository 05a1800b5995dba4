// A record line as a row of unit_lines (line_schema.h): the columns a report asks for, taken
// from the line as the record file's reader reads it, and the line itself.
//
// PostgreSQL text holds no NUL character, and its JSON refuses the escape that stands for one
// ("\u0000"), which a record's log or a scanned identifier may well hold. So a NUL in a column
// and in `record` becomes U+FFFD, as the record file already does with bytes that are not
// UTF-8; `line` keeps the line exactly as it was in the file (where a NUL can only be written as
// that six-character escape), so that what the bench wrote can always be shown.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

#include "core/linedb/database_connection.h"
#include "core/records/record_lines.h"

namespace dekvanto::core {

// The columns of a row with their types, in the order RowOfLine gives their values.
struct LineColumn {
    std::string_view name;
    std::string_view type;
};
inline constexpr std::array<LineColumn, 22> kLineColumns = {{
    {"host", "text"},
    {"station", "text"},
    {"unit", "bigint"},
    {"started", "text"},
    {"event", "text"},
    {"started_at", "timestamptz"},
    {"unit_id", "text"},
    {"operator", "text"},
    {"tool_version", "text"},
    {"product", "text"},
    {"firmware", "text"},
    {"code_sha256", "text"},
    {"ended_at", "timestamptz"},
    {"seconds", "double precision"},
    {"bytes", "numeric"},
    {"result", "text"},
    {"status", "text"},
    {"result_line", "text"},
    {"reason", "text"},
    {"removed_at", "timestamptz"},
    {"line", "text"},
    {"record", "jsonb"},
}};

// The values of the row of `line` (the text of one line of the record file, without its
// newline), which ParseRecordLine read as `parsed`, in the order of kLineColumns.
StatementValues RowOfLine(std::string_view line, const RecordLine &parsed);

// `text` with each NUL character as U+FFFD.
std::string WithoutNul(std::string_view text);

// A record line as PostgreSQL's JSON takes it: without the byte-order mark that an editor may
// have put before it, and each "\u0000" escape as "\ufffd" (an escaped backslash before
// "u0000" is left alone).
std::string RecordJson(std::string_view line);

// What the firmware column says of the code file sent: its file name and the first twelve
// digits of its SHA-256 ("vanto40_r12.bin 3f2a9c01d4e5"); nothing when no code file was sent.
std::optional<std::string> FirmwareOf(const RecordConstants &constants);

}  // namespace dekvanto::core
