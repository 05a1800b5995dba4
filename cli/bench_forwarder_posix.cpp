#include <condition_variable>
#include <mutex>
#include <ostream>
#include <thread>

#include "bench_forwarder.h"
#include "core/linedb/line_forwarder.h"
#include "core/text/outside_text.h"

namespace dekvanto::cli {
namespace {

class ThreadForwarder : public BenchForwarder {
  public:
    ThreadForwarder(core::ForwarderSettings settings, Console &console) : console_(console) {
        core::ForwarderHooks hooks;
        hooks.say = [this](const std::string &line) { Say(line); };
        hooks.wait = [this](std::chrono::milliseconds time) {
            std::unique_lock<std::mutex> hold(mutex_);
            return !stopping_.wait_for(hold, time, [this] { return stop_; });
        };
        forwarder_ = std::make_unique<core::LineForwarder>(std::move(settings), hooks);
        thread_ = std::thread([this] { forwarder_->Run(); });
    }
    ~ThreadForwarder() override { Stop(); }

    void Finish() override {
        Stop();
        if (!forwarder_->Round()) {
            Say("the last record lines are not in the database yet: the next 'vanto records "
                "follow' or 'vanto records push' sends them");
        }
    }

  private:
    void Stop() {
        {
            std::lock_guard<std::mutex> hold(mutex_);
            stop_ = true;
        }
        stopping_.notify_all();
        if (thread_.joinable()) {
            thread_.join();
        }
    }
    // One whole line at a time: the stations' board writes to the same terminal.
    void Say(const std::string &line) {
        console_.err << ("vanto: database: " + core::TerminalText(line) + "\n") << std::flush;
    }

    Console &console_;
    std::mutex mutex_;
    std::condition_variable stopping_;
    bool stop_ = false;
    std::unique_ptr<core::LineForwarder> forwarder_;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<BenchForwarder> StartBenchForwarder(const std::string &record,
                                                    const std::string &url, Console &console,
                                                    std::string &refusal) {
    const std::optional<core::DatabaseUrl> database = core::CheckDatabaseUrl(url, refusal);
    if (!database) {
        return nullptr;
    }
    core::ForwarderSettings settings;
    settings.file = record;
    settings.database = *database;
    settings.position_file = core::DefaultPositionFile(record);
    return std::make_unique<ThreadForwarder>(std::move(settings), console);
}

}  // namespace dekvanto::cli
