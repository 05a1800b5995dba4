// One connection to the line's database, over libpq: statements with their values passed apart
// from the SQL (a record's text is never part of a statement, so nothing in it can run), and
// results read row by row so that a report of a year of units holds one row at a time.
//
// Nothing here throws. A failure comes back as words: libpq's message on one line. Lost() tells
// a connection that is gone (the server stopped, the network cut, the session terminated) from a
// statement the server refused, since a forwarder waits and connects again after the first and
// stops after the second.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/linedb/database_url.h"

struct pg_conn;
struct pg_result;

namespace dekvanto::core {

// The values of a statement's $1, $2, ...: text as PostgreSQL reads it for the column's type;
// nothing for NULL.
using StatementValues = std::vector<std::optional<std::string>>;

// The result of one statement.
class StatementResult {
  public:
    explicit StatementResult(pg_result *result, std::string error = {});
    StatementResult(StatementResult &&) noexcept;
    StatementResult &operator=(StatementResult &&) noexcept;
    ~StatementResult();

    bool Ok() const { return error_.empty(); }
    // Why it failed, on one line; "" when it did not.
    const std::string &Error() const { return error_; }
    // The server's five-character code for what it refused ("22021"), "" when it gave none.
    std::string Code() const;
    int Rows() const;
    // The value of a column in a row, nothing for NULL.
    std::optional<std::string> Value(int row, int column) const;
    // The rows an INSERT, UPDATE or DELETE touched.
    uint64_t Affected() const;

  private:
    pg_result *result_;
    std::string error_;
};

class DatabaseConnection {
  public:
    // Connects; nothing, with libpq's reason in `why`, when the database cannot be reached or
    // refuses the connection.
    static std::unique_ptr<DatabaseConnection> Open(const DatabaseUrl &url, std::string &why);
    ~DatabaseConnection();
    DatabaseConnection(const DatabaseConnection &) = delete;
    DatabaseConnection &operator=(const DatabaseConnection &) = delete;

    // Runs one statement (several, separated by semicolons, when it takes no values).
    StatementResult Run(std::string_view sql, const StatementValues &values = {});
    // Runs a query and hands its rows to `row` one at a time (a result of one row each), until
    // they end or `row` returns false. The error when the query failed, "" otherwise.
    std::string EachRow(std::string_view sql, const StatementValues &values,
                        const std::function<bool(const StatementResult &row)> &row);
    // The connection is gone: a statement that failed failed for that, not for what it said.
    bool Lost() const;

  private:
    explicit DatabaseConnection(pg_conn *connection) : connection_(connection) {}
    StatementResult Finish(pg_result *result);

    pg_conn *connection_;
};

}  // namespace dekvanto::core
