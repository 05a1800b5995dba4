// Real PostgreSQL servers for the tests of the line's record database, never a stand-in.
//
// The ctest fixture "database" starts one shared server per build tree before the first test that
// needs it (tests/CMakeLists.txt, dekvanto_database_tests) and hands its tests, in their
// environment, the server's connection string (DEKVANTO_TEST_DATABASE), the server script
// (DEKVANTO_TEST_POSTGRES_SCRIPT, tools/test-postgres.sh) and a folder for servers of their own
// (DEKVANTO_TEST_DATABASE_ROOT).
//
// - TestDatabase: a fresh, empty database of its own on the shared server, for a test that only
//   needs somewhere to write. Tests run side by side (ctest -j), so each instance has a name no
//   other process or instance uses.
// - PrivateServer: a whole server of its own, for a test that stops, kills or restarts the
//   server, or ends its sessions, without disturbing the tests beside it.
// - RunSql: one statement on a fresh connection, for a test's own checks.
//
// Failures are results, not exceptions: each object says whether it is Ready() and, if not, why
// (Error()); a test asserts on that first. Nothing is retried: the server script waits until a
// server accepts connections, so a refused connection afterwards is a real fault.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace dekvanto::testing {

// The outcome of one SQL statement.
struct SqlResult {
    // True when the connection was made and the statement succeeded.
    bool ok = false;
    // The first row's first value as text; nothing when the statement returned no row, no
    // column, or NULL.
    std::optional<std::string> value;
    // Why it failed (libpq's message); empty when ok.
    std::string error;
};

// Connects with `conninfo` (a libpq connection string), runs `sql` (one statement, or several
// separated by semicolons: the result is the last one's), disconnects.
SqlResult RunSql(const std::string &conninfo, const std::string &sql);

// `conninfo` with its database replaced by `database`.
std::string WithDatabase(const std::string &conninfo, const std::string &database);

// A fresh database, created on construction and dropped on destruction even while sessions
// still use it (DROP DATABASE ... WITH (FORCE)).
class TestDatabase {
  public:
    // On the shared server of the fixture (DEKVANTO_TEST_DATABASE).
    TestDatabase();
    // On the server of this connection string (a PrivateServer's, say).
    explicit TestDatabase(const std::string &server_conninfo);
    ~TestDatabase();
    TestDatabase(const TestDatabase &) = delete;
    TestDatabase &operator=(const TestDatabase &) = delete;

    // True when the database was created.
    bool Ready() const { return error_.empty(); }
    // Why it was not; empty when Ready().
    const std::string &Error() const { return error_; }
    // The database's name ("dekvanto_test_<process>_<instance>").
    const std::string &Name() const { return name_; }
    // The connection string of the database.
    const std::string &Conninfo() const { return conninfo_; }

  private:
    std::string server_conninfo_;
    std::string name_;
    std::string conninfo_;
    std::string error_;
};

// A server of its own, in a fresh folder under DEKVANTO_TEST_DATABASE_ROOT/private, started on
// construction (tools/test-postgres.sh). Its destructor stops it and deletes its folder, whatever
// state the test left it in.
class PrivateServer {
  public:
    PrivateServer();
    ~PrivateServer();
    PrivateServer(const PrivateServer &) = delete;
    PrivateServer &operator=(const PrivateServer &) = delete;

    // True when the server was made and started.
    bool Ready() const { return error_.empty(); }
    // Why it was not; empty when Ready().
    const std::string &Error() const { return error_; }
    // The connection string of its database "postgres", as superuser "dekvanto". It stays the
    // same across Stop() and Start().
    const std::string &Conninfo() const { return conninfo_; }
    // The server's folder (its data in data/, its log in server.log).
    const std::filesystem::path &Folder() const { return folder_; }

    // Stops the server. Fast: sessions are ended and a checkpoint written. Immediate: the server
    // ends at once, as if it crashed; the next Start() recovers from its log, and every
    // committed transaction is kept. True when the server no longer runs.
    bool Stop(bool immediate);
    // Starts the stopped server again with its data; true once it accepts connections.
    bool Start();
    // Ends every client session but the one asking, and waits until they have ended: the
    // number of sessions ended, nothing when that failed.
    std::optional<int> TerminateConnections();

  private:
    std::string script_;
    std::filesystem::path folder_;
    std::string conninfo_;
    std::string error_;
};

}  // namespace dekvanto::testing
