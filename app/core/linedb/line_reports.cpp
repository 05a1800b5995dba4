#include "core/linedb/line_reports.h"

#include <array>

#include "core/records/record_lines.h"

namespace dekvanto::core {
namespace {

constexpr std::array<std::pair<YieldGroup, std::string_view>, 5> kGroupWords = {{
    {YieldGroup::kProduct, "product"},
    {YieldGroup::kFirmware, "firmware"},
    {YieldGroup::kStation, "station"},
    {YieldGroup::kHost, "host"},
    {YieldGroup::kDay, "day"},
}};

// The SQL of a group: a fixed expression for each, never text from the user.
std::string_view GroupExpression(YieldGroup group) {
    switch (group) {
        case YieldGroup::kProduct:
            return "coalesce(product, '(none)')";
        case YieldGroup::kFirmware:
            return "coalesce(firmware, '(none)')";
        case YieldGroup::kStation:
            return "host || ' ' || station";
        case YieldGroup::kHost:
            return "host";
        case YieldGroup::kDay:
            break;
    }
    return "coalesce(to_char(started_at, 'YYYY-MM-DD'), left(started, 10))";
}

// The WHERE clause of a filter over the units view, its values in `values`.
std::string WhereOf(const DatabaseFilter &filter, StatementValues &values) {
    std::string where = " WHERE true";
    const auto add = [&](const char *condition, const std::string &value) {
        values.push_back(value);
        where += std::string(" AND ") + condition + " $" + std::to_string(values.size());
    };
    if (filter.station) {
        add("station =", *filter.station);
    }
    if (filter.host) {
        add("host =", *filter.host);
    }
    if (filter.since) {
        add("started >=", *filter.since);
    }
    if (filter.failed_only) {
        where += " AND verdict <> 'PASS'";
    }
    return where;
}

uint64_t Count(const StatementResult &row, int column) {
    return std::stoull(row.Value(0, column).value_or("0"));
}

}  // namespace

std::string EachDatabaseUnit(DatabaseConnection &db, const DatabaseFilter &filter,
                             const std::function<void(const RecordedUnit &unit)> &unit) {
    StatementValues values;
    const std::string sql = "SELECT coalesce(end_line, start_line), removal_line FROM units" +
                            WhereOf(filter, values) + " ORDER BY started, host, station, unit";
    uint64_t number = 0;
    return db.EachRow(sql, values, [&](const StatementResult &row) {
        ++number;
        std::string why;
        std::optional<RecordLine> line = ParseRecordLine(row.Value(0, 0).value_or(""), why);
        if (!line) {
            return true;
        }
        RecordedUnit recorded{std::move(line->record), number, std::nullopt};
        if (const std::optional<std::string> removal = row.Value(0, 1)) {
            if (std::optional<RecordLine> removed = ParseRecordLine(*removal, why)) {
                recorded.removed = std::move(removed->removed);
            }
        }
        unit(recorded);
        return true;
    });
}

std::string_view YieldGroupWord(YieldGroup group) {
    for (const auto &[each, word] : kGroupWords) {
        if (each == group) {
            return word;
        }
    }
    return "";
}

std::optional<YieldGroup> YieldGroupOfWord(std::string_view word) {
    for (const auto &[group, each] : kGroupWords) {
        if (each == word) {
            return group;
        }
    }
    return std::nullopt;
}

std::string DatabaseYield(DatabaseConnection &db, YieldGroup by, const DatabaseFilter &filter,
                          std::vector<YieldRow> &rows) {
    StatementValues values;
    // The phones' attempts are numbered over every unit (the view unit_attempts); the filter
    // chooses which of them are counted.
    const std::string sql =
        "SELECT " + std::string(GroupExpression(by)) +
        " AS grp, count(*), count(*) FILTER (WHERE verdict = 'PASS'), "
        "count(*) FILTER (WHERE verdict <> 'PASS'), count(*) FILTER (WHERE attempt = 1), "
        "count(*) FILTER (WHERE attempt = 1 AND verdict = 'PASS'), "
        "count(*) FILTER (WHERE attempt = 1 AND attempts > 1), "
        "count(*) FILTER (WHERE attempt = 1 AND last_verdict = 'PASS') "
        "FROM unit_attempts" +
        WhereOf(filter, values) + " GROUP BY grp ORDER BY grp";
    return db.EachRow(sql, values, [&rows](const StatementResult &row) {
        rows.push_back({row.Value(0, 0).value_or(""), Count(row, 1), Count(row, 2), Count(row, 3),
                        Count(row, 4), Count(row, 5), Count(row, 6), Count(row, 7)});
        return true;
    });
}

std::string EachLineOfPhone(DatabaseConnection &db, const std::string &unit_id,
                            const std::function<void(const std::string &line)> &line) {
    const std::string sql =
        "SELECT line FROM unit_lines WHERE unit_id = $1 ORDER BY started, host, station, unit, "
        "CASE event WHEN 'start' THEN 1 WHEN 'end' THEN 2 ELSE 3 END";
    return db.EachRow(sql, {unit_id}, [&line](const StatementResult &row) {
        line(row.Value(0, 0).value_or(""));
        return true;
    });
}

}  // namespace dekvanto::core
