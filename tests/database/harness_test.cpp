// The database harness: what the tests of the record database rely on when they take a fresh
// database or a server of their own.
#include <gtest/gtest.h>
#include <libpq-fe.h>

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "test_database.h"

namespace dekvanto::testing {
namespace {

// A session held open, as a client under test would hold one.
using Session = std::unique_ptr<PGconn, decltype(&PQfinish)>;

Session Open(const std::string &conninfo) {
    return Session(PQconnectdb(conninfo.c_str()), &PQfinish);
}

// True when the statement succeeds on the open session.
bool Runs(PGconn *session, const char *sql) {
    PGresult *result = PQexec(session, sql);
    const bool ok = PQresultStatus(result) == PGRES_TUPLES_OK;
    PQclear(result);
    return ok;
}

std::string SharedServer() {
    const char *conninfo = std::getenv("DEKVANTO_TEST_DATABASE");
    return conninfo != nullptr ? conninfo : "";
}

std::optional<std::string> DatabasesNamed(const std::string &name) {
    return RunSql(SharedServer(), "SELECT count(*) FROM pg_database WHERE datname = '" + name + "'")
        .value;
}

TEST(TestDatabase, EachIsADatabaseOfItsOwnDroppedAtItsEndEvenWhileInUse) {
    std::string first_name;
    std::string second_name;
    Session left_open(nullptr, &PQfinish);
    {
        TestDatabase first;
        TestDatabase second;
        ASSERT_TRUE(first.Ready()) << first.Error();
        ASSERT_TRUE(second.Ready()) << second.Error();
        first_name = first.Name();
        second_name = second.Name();
        EXPECT_NE(first_name, second_name);

        const SqlResult made = RunSql(first.Conninfo(),
                                      "CREATE TABLE units (serial text); "
                                      "INSERT INTO units VALUES ('A1')");
        ASSERT_TRUE(made.ok) << made.error;
        EXPECT_EQ(RunSql(first.Conninfo(), "SELECT current_database()").value, first_name);
        EXPECT_EQ(RunSql(first.Conninfo(), "SELECT serial FROM units").value, "A1");
        const SqlResult other = RunSql(second.Conninfo(), "SELECT to_regclass('units')");
        ASSERT_TRUE(other.ok) << other.error;
        EXPECT_EQ(other.value, std::nullopt);

        left_open = Open(first.Conninfo());
        ASSERT_TRUE(Runs(left_open.get(), "SELECT 1")) << PQerrorMessage(left_open.get());
    }
    EXPECT_EQ(DatabasesNamed(first_name), "0");
    EXPECT_EQ(DatabasesNamed(second_name), "0");
}

TEST(PrivateServer, RefusesConnectionsOnceStoppedAndKeepsCommittedDataAcrossACrash) {
    PrivateServer server;
    ASSERT_TRUE(server.Ready()) << server.Error();
    const SqlResult made = RunSql(server.Conninfo(),
                                  "CREATE TABLE units (serial text); "
                                  "INSERT INTO units VALUES ('A1')");
    ASSERT_TRUE(made.ok) << made.error;

    ASSERT_TRUE(server.Stop(/*immediate=*/true));
    EXPECT_FALSE(RunSql(server.Conninfo(), "SELECT 1").ok);
    const SqlResult shared = RunSql(SharedServer(), "SELECT 1");
    EXPECT_TRUE(shared.ok) << "the shared server went with the private one: " << shared.error;

    ASSERT_TRUE(server.Start());
    EXPECT_EQ(RunSql(server.Conninfo(), "SELECT serial FROM units").value, "A1");
}

TEST(PrivateServer, EndsOtherSessionsAndGoesWithItsFolderWhileRunning) {
    std::filesystem::path folder;
    {
        PrivateServer server;
        ASSERT_TRUE(server.Ready()) << server.Error();
        folder = server.Folder();
        Session client = Open(server.Conninfo());
        ASSERT_TRUE(Runs(client.get(), "SELECT 1")) << PQerrorMessage(client.get());

        EXPECT_EQ(server.TerminateConnections(), 1);
        EXPECT_FALSE(Runs(client.get(), "SELECT 1"));
        EXPECT_TRUE(RunSql(server.Conninfo(), "SELECT 1").ok);
    }
    EXPECT_FALSE(std::filesystem::exists(folder));
}

}  // namespace
}  // namespace dekvanto::testing
