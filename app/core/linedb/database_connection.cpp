#include "core/linedb/database_connection.h"

#include <cstdlib>
#include <utility>

#include "core/linedb/libpq_calls.h"

namespace dekvanto::core {
namespace {

// The values as libpq takes them: pointers to text, null for NULL.
std::vector<const char *> ValuePointers(const StatementValues &values) {
    std::vector<const char *> pointers;
    pointers.reserve(values.size());
    for (const std::optional<std::string> &value : values) {
        pointers.push_back(value ? value->c_str() : nullptr);
    }
    return pointers;
}

struct Default {
    const char *key;
    const char *value;
    const char *variable;  // libpq's environment variable for it, if it has one
};
constexpr Default kQuickGiveUp[] = {
    {"connect_timeout", "10", "PGCONNECT_TIMEOUT"}, {"keepalives_idle", "10", nullptr},
    {"keepalives_interval", "5", nullptr},          {"keepalives_count", "3", nullptr},
    {"tcp_user_timeout", "30000", nullptr},
};

bool Succeeded(const PGresult *result) {
    const ExecStatusType status = Libpq().PQresultStatus(result);
    return status == PGRES_COMMAND_OK || status == PGRES_TUPLES_OK || status == PGRES_SINGLE_TUPLE;
}

}  // namespace

StatementResult::StatementResult(pg_result *result, std::string error)
    : result_(result), error_(std::move(error)) {}

StatementResult::StatementResult(StatementResult &&other) noexcept
    : result_(std::exchange(other.result_, nullptr)), error_(std::move(other.error_)) {}

StatementResult &StatementResult::operator=(StatementResult &&other) noexcept {
    if (this != &other) {
        if (result_) {
            Libpq().PQclear(result_);
        }
        result_ = std::exchange(other.result_, nullptr);
        error_ = std::move(other.error_);
    }
    return *this;
}

StatementResult::~StatementResult() {
    if (result_) {
        Libpq().PQclear(result_);
    }
}

int StatementResult::Rows() const {
    return result_ ? Libpq().PQntuples(result_) : 0;
}

std::optional<std::string> StatementResult::Value(int row, int column) const {
    if (!result_ || row >= Libpq().PQntuples(result_) || column >= Libpq().PQnfields(result_) ||
        Libpq().PQgetisnull(result_, row, column)) {
        return std::nullopt;
    }
    return std::string(Libpq().PQgetvalue(result_, row, column),
                       static_cast<std::size_t>(Libpq().PQgetlength(result_, row, column)));
}

std::string StatementResult::Code() const {
    const char *code = result_ ? Libpq().PQresultErrorField(result_, PG_DIAG_SQLSTATE) : nullptr;
    return code ? code : "";
}

uint64_t StatementResult::Affected() const {
    const char *count = result_ ? Libpq().PQcmdTuples(result_) : "";
    return *count ? std::strtoull(count, nullptr, 10) : 0;
}

std::unique_ptr<DatabaseConnection> DatabaseConnection::Open(const DatabaseUrl &url,
                                                             std::string &why) {
    if (!LoadLibpq(why)) {
        return nullptr;
    }
    // A network that swallows packets must not hold a forwarder (or a bench ending) for the
    // system's minutes: a connection gives up after 10 s, and one that stops answering is taken
    // as lost after about 30 s. What the URL or the environment says comes first.
    std::vector<const char *> keys, values;
    for (const auto &[key, value, variable] : kQuickGiveUp) {
        if (variable == nullptr || std::getenv(variable) == nullptr) {
            keys.push_back(key);
            values.push_back(value);
        }
    }
    keys.push_back("dbname");
    values.push_back(url.text.c_str());
    keys.push_back(nullptr);
    values.push_back(nullptr);
    PGconn *connection = Libpq().PQconnectdbParams(keys.data(), values.data(), 1);
    if (connection == nullptr) {
        why = "out of memory";
        return nullptr;
    }
    if (Libpq().PQstatus(connection) != CONNECTION_OK) {
        why = OneLine(Libpq().PQerrorMessage(connection));
        Libpq().PQfinish(connection);
        return nullptr;
    }
    // Times are written and compared in UTC, as the record spells them.
    PGresult *zone =
        Libpq().PQexec(connection, "SET TIME ZONE 'UTC'; SET client_min_messages = warning");
    Libpq().PQclear(zone);
    return std::unique_ptr<DatabaseConnection>(new DatabaseConnection(connection));
}

DatabaseConnection::~DatabaseConnection() {
    Libpq().PQfinish(connection_);
}

StatementResult DatabaseConnection::Finish(pg_result *result) {
    if (result != nullptr && Succeeded(result)) {
        return StatementResult(result);
    }
    std::string error = OneLine(result ? Libpq().PQresultErrorMessage(result) : "");
    if (error.empty()) {
        error = OneLine(Libpq().PQerrorMessage(connection_));
    }
    if (error.empty()) {
        error = "the database gave no answer";
    }
    return StatementResult(result, std::move(error));
}

StatementResult DatabaseConnection::Run(std::string_view sql, const StatementValues &values) {
    const std::string statement(sql);
    if (values.empty()) {
        return Finish(Libpq().PQexec(connection_, statement.c_str()));
    }
    const std::vector<const char *> pointers = ValuePointers(values);
    return Finish(Libpq().PQexecParams(connection_, statement.c_str(),
                                       static_cast<int>(pointers.size()), nullptr, pointers.data(),
                                       nullptr, nullptr, 0));
}

std::string DatabaseConnection::EachRow(std::string_view sql, const StatementValues &values,
                                        const std::function<bool(const StatementResult &)> &row) {
    const std::string statement(sql);
    const std::vector<const char *> pointers = ValuePointers(values);
    if (!Libpq().PQsendQueryParams(connection_, statement.c_str(),
                                   static_cast<int>(pointers.size()), nullptr, pointers.data(),
                                   nullptr, nullptr, 0) ||
        !Libpq().PQsetSingleRowMode(connection_)) {
        return OneLine(Libpq().PQerrorMessage(connection_));
    }
    std::string error;
    bool wanted = true;
    // Every result is read, also after the caller has had enough, so that the connection is
    // ready for the next statement.
    while (PGresult *result = Libpq().PQgetResult(connection_)) {
        StatementResult one = Finish(result);
        if (!one.Ok()) {
            error = one.Error();
        } else if (wanted && Libpq().PQresultStatus(result) == PGRES_SINGLE_TUPLE) {
            wanted = row(one);
        }
    }
    return error;
}

bool DatabaseConnection::Lost() const {
    return Libpq().PQstatus(connection_) != CONNECTION_OK;
}

}  // namespace dekvanto::core
