#include "core/linedb/line_batch.h"

#include "core/linedb/line_row.h"

namespace dekvanto::core {
namespace {

// The server's codes of class 22: a value that its column cannot take.
bool IsDataError(const StatementResult &result) {
    return result.Code().rfind("22", 0) == 0;
}

std::string ColumnList() {
    std::string list;
    for (const LineColumn &column : kLineColumns) {
        list += (list.empty() ? "" : ", ") + std::string(column.name);
    }
    return list;
}

// The lines come in as a VALUES list with each line's place in the batch; the INSERT leaves out
// a line whose key the table holds (the table's one unique key besides its row number: naming it
// would need the right to read the table), and the SELECT (which sees the table as it was before
// the statement) names those whose held text differs. It compares digests through a view, so that a
// bench's role, which may only insert, never reads what the table holds.
std::string InsertStatement(std::size_t rows) {
    const std::string columns = ColumnList();
    std::string sql = "WITH incoming (place, " + columns + ") AS (VALUES ";
    std::size_t value = 1;
    for (std::size_t r = 0; r < rows; ++r) {
        sql += (r ? ", (" : "(") + std::to_string(r);
        for (const LineColumn &column : kLineColumns) {
            sql += ", $" + std::to_string(value++) + "::" + std::string(column.type);
        }
        sql += ")";
    }
    return sql + "), stored AS (INSERT INTO unit_lines (" + columns + ") SELECT " + columns +
           " FROM incoming ON CONFLICT DO NOTHING RETURNING 1) "
           "SELECT -1, (SELECT count(*) FROM stored) UNION ALL "
           "SELECT i.place, 0 FROM incoming i JOIN unit_line_digests u ON u.host = i.host AND "
           "u.station = i.station AND u.unit = i.unit AND u.started = i.started AND "
           "u.event = i.event WHERE u.digest <> md5(i.line)";
}

}  // namespace

void LineBatch::Add(BatchLine line) {
    for (const auto &value : line.row) {
        bytes_ += value ? value->size() : 0;
    }
    lines_.push_back(std::move(line));
}

StatementResult LineBatch::Insert(DatabaseConnection &db, std::size_t first, std::size_t count) {
    StatementValues values;
    values.reserve(count * kLineColumns.size());
    for (std::size_t i = first; i < first + count; ++i) {
        values.insert(values.end(), lines_[i].row.begin(), lines_[i].row.end());
    }
    return db.Run(InsertStatement(count), values);
}

void LineBatch::CountInsert(const StatementResult &result, std::size_t first, BatchStored &counted,
                            const std::function<void(uint64_t, const std::string &)> &left_out) {
    for (int row = 0; row < result.Rows(); ++row) {
        const long long place = std::stoll(result.Value(row, 0).value_or("-1"));
        if (place < 0) {
            counted.stored += std::stoull(result.Value(row, 1).value_or("0"));
            continue;
        }
        ++counted.differing;
        left_out(lines_[first + static_cast<std::size_t>(place)].number,
                 "the database holds another line for this unit and event (same host, station, "
                 "unit number and start time); the one it holds is kept");
    }
}

bool LineBatch::Store(DatabaseConnection &db, BatchStored &done, std::string &why,
                      const std::function<void(uint64_t, const std::string &)> &left_out) {
    if (lines_.empty()) {
        return true;
    }
    StatementResult whole = Insert(db, 0, lines_.size());
    BatchStored counted;
    if (whole.Ok()) {
        CountInsert(whole, 0, counted, left_out);
    } else if (!db.Lost() && IsDataError(whole)) {
        for (std::size_t i = 0; i < lines_.size(); ++i) {
            StatementResult one = Insert(db, i, 1);
            if (one.Ok()) {
                CountInsert(one, i, counted, left_out);
            } else if (!db.Lost() && IsDataError(one)) {
                ++counted.refused;
                left_out(lines_[i].number, one.Error());
            } else {
                // Lines stored so far are kept: the key leaves them out when the batch comes again.
                why = one.Error();
                return false;
            }
        }
    } else {
        why = whole.Error();
        return false;
    }
    counted.already = lines_.size() - counted.stored - counted.refused;
    done.stored += counted.stored;
    done.already += counted.already;
    done.refused += counted.refused;
    done.differing += counted.differing;
    lines_.clear();
    bytes_ = 0;
    return true;
}

}  // namespace dekvanto::core
