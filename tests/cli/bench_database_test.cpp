// `vanto bench --db` against simulated phones and a real PostgreSQL server: the forwarder beside
// the stations leaves the database holding exactly the record file's lines, when the bench ends
// and when it is killed in the middle of a unit (what the dead forwarder had not sent, a push
// sends).
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <fstream>
#include <string>
#include <vector>

#include "bench_rig.h"
#include "exit_status.h"
#include "linedb/sample_lines.h"
#include "test_database.h"
#include "vanto_process.h"

namespace dekvanto::cli {
namespace {

class BenchDatabase : public ::testing::Test, protected BenchRig {
  protected:
    void SetUp() override {
        ASSERT_TRUE(database.Ready()) << database.Error();
        VantoProcess init({"records", "init-db", "--db", database.Conninfo()});
        ASSERT_EQ(init.Wait(), kFinished) << init.Seen();
    }

    // The database holds every line of the record file, each once, and nothing else.
    void ExpectTheFileInTheDatabase() {
        std::vector<std::string> file_lines;
        std::ifstream in(record, std::ios::binary);
        for (std::string line; std::getline(in, line);) {
            file_lines.push_back(line);
        }
        ASSERT_FALSE(file_lines.empty());
        std::sort(file_lines.begin(), file_lines.end());
        std::string sorted;
        for (const std::string &line : file_lines) {
            sorted += (sorted.empty() ? "" : "\n") + line;
        }
        EXPECT_EQ(testing::RunSql(database.Conninfo(),
                                  "SELECT string_agg(line, E'\\n' ORDER BY line COLLATE \"C\") "
                                  "FROM unit_lines")
                      .value,
                  sorted);
    }

    testing::TestDatabase database;
};

TEST_F(BenchDatabase, KilledInTheMiddleOfAUnitItIsInterruptedInTheDatabaseToo) {
    ASSERT_NO_FATAL_FAILURE(StartUntilThirdUnitRuns(60000, {"--db", database.Conninfo()}));
    EXPECT_TRUE(core::Eventually([this] {
        return core::Number(database.Conninfo(),
                            "SELECT count(*) FROM unit_lines WHERE unit = 3 AND event = 'start'") ==
               1;
    })) << "the third unit's start line never reached the database";
    ::kill(-static_cast<pid_t>(bench->Pid()), SIGKILL);  // the bench, its forwarder and station
    EXPECT_EQ(bench->Wait(), -1);
    StopLines();

    VantoProcess push({"records", "push", record, "--db", database.Conninfo()});
    EXPECT_EQ(push.Wait(), kFinished) << push.Seen();
    ExpectTheFileInTheDatabase();
    VantoProcess listing({"records", "--db", database.Conninfo()});
    EXPECT_EQ(listing.Wait(), kFinished);
    for (const char *unit : {"#1  PASS", "#2  PASS", "#3  INTERRUPTED"}) {
        EXPECT_NE(listing.Seen().find(ports[0] + "  " + unit), std::string::npos) << listing.Seen();
    }
    EXPECT_NE(listing.Seen().find("Totals: 3 units, 2 passed, 0 failed, 0 stopped, 1 interrupted"),
              std::string::npos)
        << listing.Seen();
}

TEST_F(BenchDatabase, ABenchThatEndsHasSentItsLastLinesBeforeItExits) {
    AddLine(Endless());
    VantoProcess run(Args({"--count", "2", "--db", database.Conninfo()}));
    EXPECT_EQ(run.Wait(), kFinished) << run.Seen();
    StopLines();
    EXPECT_EQ(Units().size(), 2u);
    ExpectTheFileInTheDatabase();
}

}  // namespace
}  // namespace dekvanto::cli
