// The forwarder against a PostgreSQL server of its own that is stopped, crashed, started again
// and that ends its sessions: every line of the record file ends up in the database once.
#include "core/linedb/line_forwarder.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

#include "core/linedb/line_schema.h"
#include "sample_lines.h"
#include "temp_folder.h"

namespace dekvanto::core {
namespace {

using testing::PrivateServer;
using testing::RunSql;

// A forwarder on a thread of its own, with short waits, that keeps what it says.
class RunningForwarder {
  public:
    RunningForwarder(const std::filesystem::path &file, const std::string &conninfo) {
        std::string why;
        ForwarderSettings settings;
        settings.file = file.string();
        settings.database = *CheckDatabaseUrl(conninfo, why);
        settings.position_file = DefaultPositionFile(settings.file);
        settings.poll = std::chrono::milliseconds(20);
        settings.first_wait = std::chrono::milliseconds(20);
        settings.longest_wait = std::chrono::milliseconds(200);
        ForwarderHooks hooks;
        hooks.say = [this](const std::string &line) {
            std::lock_guard<std::mutex> hold(mutex_);
            said_ += line + "\n";
        };
        hooks.wait = [this](std::chrono::milliseconds time) {
            std::this_thread::sleep_for(time);
            return !stop_;
        };
        forwarder_ = std::make_unique<LineForwarder>(settings, hooks);
        thread_ = std::thread([this] { forwarder_->Run(); });
    }
    ~RunningForwarder() { Stop(); }
    void Stop() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    std::string Said() {
        std::lock_guard<std::mutex> hold(mutex_);
        return said_;
    }

  private:
    std::mutex mutex_;
    std::string said_;
    std::atomic<bool> stop_{false};
    std::unique_ptr<LineForwarder> forwarder_;
    std::thread thread_;
};

class LineForwarderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(server_.Ready()) << server_.Error();
        ASSERT_TRUE(RunSql(server_.Conninfo(), "SELECT 1").ok);
        std::string why;
        auto db = DatabaseConnection::Open(*CheckDatabaseUrl(server_.Conninfo(), why), why);
        int from = 0;
        ASSERT_TRUE(db && InitLineSchema(*db, "1.4.0", from, why)) << why;
        file_ = folder_.Path() / "records.jsonl";
    }
    long long Lines() { return Number(server_.Conninfo(), "SELECT count(*) FROM unit_lines"); }
    // Every line once: as many rows as lines, and as many different lines.
    void ExpectEachLineOnce(long long lines) {
        EXPECT_TRUE(Eventually([&] { return Lines() == lines; })) << Lines() << " of " << lines;
        EXPECT_EQ(Number(server_.Conninfo(), "SELECT count(DISTINCT line) FROM unit_lines"), lines);
    }

    PrivateServer server_;
    TempFolder folder_;
    std::filesystem::path file_;
};

TEST_F(LineForwarderTest, ADatabaseDownAtTheStartIsWaitedForAndGetsEveryLine) {
    Append(file_, ManyUnits(1, 50));
    ASSERT_TRUE(server_.Stop(false));
    RunningForwarder forwarder(file_, server_.Conninfo());
    EXPECT_TRUE(Eventually(
        [&] { return forwarder.Said().find("waiting for the database") != std::string::npos; }));
    Append(file_, ManyUnits(51, 10));
    ASSERT_TRUE(server_.Start());
    ExpectEachLineOnce(120);
    EXPECT_NE(forwarder.Said().find("answers again"), std::string::npos) << forwarder.Said();
}

TEST_F(LineForwarderTest, AServerCrashedInTheMiddleAndStartedAgainLosesAndDoublesNothing) {
    Append(file_, ManyUnits(1, 3000));
    RunningForwarder forwarder(file_, server_.Conninfo());
    ASSERT_TRUE(Eventually([&] { return Lines() > 0; }));
    ASSERT_TRUE(server_.Stop(true));
    Append(file_, ManyUnits(3001, 100));
    ASSERT_TRUE(server_.Start());
    ExpectEachLineOnce(6200);
    EXPECT_NE(forwarder.Said().find("waiting for the database"), std::string::npos);
}

TEST_F(LineForwarderTest, ASessionEndedByTheServerIsOpenedAgain) {
    Append(file_, ManyUnits(1, 5));
    RunningForwarder forwarder(file_, server_.Conninfo());
    ExpectEachLineOnce(10);
    ASSERT_TRUE(server_.TerminateConnections().value_or(0) >= 1);
    Append(file_, ManyUnits(6, 5));
    ExpectEachLineOnce(20);
}

TEST_F(LineForwarderTest, TwoForwardersOfOneFileStoreEachLineOnce) {
    Append(file_, ManyUnits(1, 400));
    RunningForwarder one(file_, server_.Conninfo());
    RunningForwarder two(file_, server_.Conninfo());
    Append(file_, ManyUnits(401, 100));
    ExpectEachLineOnce(1000);
}

TEST_F(LineForwarderTest, AFileRotatedWhileFollowedOrWhileAwayLosesNothing) {
    Append(file_, ManyUnits(1, 5));
    {
        RunningForwarder forwarder(file_, server_.Conninfo());
        ExpectEachLineOnce(10);
        std::filesystem::rename(file_, file_.string() + ".1");
        Append(file_, ManyUnits(6, 5));
        ExpectEachLineOnce(20);
        EXPECT_NE(forwarder.Said().find("was rotated"), std::string::npos);
        Append(file_, ManyUnits(11, 5));
        ExpectEachLineOnce(30);
    }
    // Away: the file grows, is rotated and begun anew; started again, the forwarder sends the
    // renamed file's rest from its position, then the new file.
    Append(file_, ManyUnits(16, 5));
    std::filesystem::rename(file_, file_.string() + ".2");
    Append(file_, ManyUnits(21, 5));
    RunningForwarder again(file_, server_.Conninfo());
    ExpectEachLineOnce(50);
    EXPECT_NE(again.Said().find("rotated while the forwarder was away"), std::string::npos)
        << again.Said();
    // And a restart without a rotation goes on from its position, sending nothing twice.
    again.Stop();
    RunningForwarder third(file_, server_.Conninfo());
    EXPECT_TRUE(Eventually([&] { return third.Said().find("from line 11") != std::string::npos; }))
        << third.Said();
}

}  // namespace
}  // namespace dekvanto::core
