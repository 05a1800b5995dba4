#include "core/linedb/line_row.h"

#include <cstdio>

#include "core/records/record_time.h"

namespace dekvanto::core {
namespace {

using Value = std::optional<std::string>;

Value Text(const std::optional<std::string> &text) {
    return text ? Value(WithoutNul(*text)) : std::nullopt;
}

// A time as the record spells it, when it is one that PostgreSQL takes (it has no year 0); a
// line's odd time must not keep the line out of the database.
Value Time(const std::string &text) {
    const std::optional<std::string> normal = TimestampOfDate(text);
    return normal && *normal == text && text.rfind("0000", 0) != 0 ? Value(text) : std::nullopt;
}

const SentFile *CodeFile(const RecordConstants &constants) {
    for (const SentFile &file : constants.files) {
        if (file.role == "code") {
            return &file;
        }
    }
    return nullptr;
}

std::string Seconds(double seconds) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", seconds);
    return text;
}

void AddEnd(StatementValues &row, const std::optional<UnitEnd> &end) {
    if (!end) {
        row.insert(row.end(), 7, std::nullopt);
        return;
    }
    row.push_back(Time(end->ended));
    row.push_back(Seconds(end->seconds));
    row.push_back(std::to_string(end->bytes));
    row.push_back(end->result ? Value(WithoutNul(std::string(1, *end->result))) : std::nullopt);
    row.push_back(std::string(StatusWord(end->status)));
    row.push_back(WithoutNul(end->result_line));
    row.push_back(Text(end->reason));
}

}  // namespace

std::string WithoutNul(std::string_view text) {
    std::string clean;
    clean.reserve(text.size());
    for (const char c : text) {
        if (c == '\0') {
            clean += "\xEF\xBF\xBD";
        } else {
            clean += c;
        }
    }
    return clean;
}

std::string RecordJson(std::string_view json) {
    if (json.substr(0, 3) == "\xEF\xBB\xBF") {
        json.remove_prefix(3);
    }
    std::string clean;
    clean.reserve(json.size());
    for (std::size_t i = 0; i < json.size(); ++i) {
        if (json[i] != '\\' || i + 1 == json.size()) {
            clean += json[i];
        } else if (json.compare(i + 1, 5, "u0000") == 0) {
            clean += "\\ufffd";
            i += 5;
        } else {
            clean += json[i];
            clean += json[++i];
        }
    }
    return clean;
}

std::optional<std::string> FirmwareOf(const RecordConstants &constants) {
    const SentFile *code = CodeFile(constants);
    if (!code) {
        return std::nullopt;
    }
    const std::size_t slash = code->path.find_last_of("/\\");
    const std::string name = slash == std::string::npos ? code->path : code->path.substr(slash + 1);
    return WithoutNul(name + " " + code->sha256.substr(0, 12));
}

StatementValues RowOfLine(std::string_view line, const RecordLine &parsed) {
    const UnitRecord &r = parsed.record;
    StatementValues row;
    row.reserve(kLineColumns.size());
    row.push_back(WithoutNul(r.constants.host));
    row.push_back(WithoutNul(r.start.station));
    row.push_back(std::to_string(r.start.unit));
    row.push_back(WithoutNul(r.start.started));
    row.push_back(std::string(EventWord(parsed.event)));
    row.push_back(Time(r.start.started));
    row.push_back(Text(r.start.unit_id));
    row.push_back(Text(r.start.operator_name));
    row.push_back(WithoutNul(r.constants.tool_version));
    row.push_back(Text(r.constants.product));
    row.push_back(FirmwareOf(r.constants));
    const SentFile *code = CodeFile(r.constants);
    row.push_back(code ? Value(WithoutNul(code->sha256)) : std::nullopt);
    AddEnd(row, parsed.event == RecordEvent::kEnd ? r.end : std::nullopt);
    row.push_back(parsed.event == RecordEvent::kRemoved ? Time(parsed.removed) : std::nullopt);
    row.push_back(std::string(line));
    row.push_back(RecordJson(line));
    return row;
}

}  // namespace dekvanto::core
