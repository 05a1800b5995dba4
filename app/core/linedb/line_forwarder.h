// The forwarder of `vanto records follow` and `vanto bench --db`: keeps pushing a record file's
// lines into the line's database as the bench appends them, so that the database is a second
// or so behind the file. The file stays the record: the bench never waits for the forwarder, and
// a database or network that is away loses nothing, it only makes the forwarder wait.
//
// Each round it connects when it has no connection, opens the file when it has none open, and
// pushes the whole lines added since the last round (line_pusher.h). Then:
// - The database away (it does not answer, refuses the connection, or the connection is lost
//   during a batch): the forwarder says what it waits for and tries again after a wait that
//   doubles from first_wait to longest_wait. The batch that was lost is sent again; the
//   database stores each line once.
// - The file rotated (its name now leads to another file): the rest of the renamed file is
//   pushed first, then the new file from its start. A file cut short in place starts again
//   from its start. A file not there yet is waited for.
// - Started again: it goes on from its position file (forward_position.h), also when the file
//   was rotated meanwhile, sending the renamed file's rest first.
// What it waits for, and lines it leaves out, are said through `say`, one line each; nothing is
// said while all goes well but where it starts and when the database answers again.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "core/linedb/database_url.h"
#include "core/linedb/forward_position.h"
#include "core/linedb/line_pusher.h"

namespace dekvanto::core {

struct ForwarderSettings {
    std::string file;  // the record file
    DatabaseUrl database;
    std::string position_file;            // "" to keep no position
    std::chrono::milliseconds poll{250};  // how often the file is looked at
    std::chrono::milliseconds first_wait{1000};
    std::chrono::milliseconds longest_wait{30000};
};

struct ForwarderHooks {
    std::function<void(const std::string &line)> say;
    // Waits for the time given; false when the forwarder is to stop.
    std::function<bool(std::chrono::milliseconds)> wait;
};

class LineForwarder {
  public:
    LineForwarder(ForwarderSettings settings, ForwarderHooks hooks);
    ~LineForwarder();

    // Rounds until `wait` says stop.
    void Run();
    // One round. True when every whole line of the file is in the database now.
    bool Round();

    // What was read, left out and stored since the forwarder started.
    PushTotals Totals() const;

  private:
    enum class Reading { kNone, kOpened, kRotatedRest };

    bool Connect();
    bool OpenFile();
    bool PushRest();
    void Follow(platform::ReadOnlyFile file, const LinePosition &from, Reading reading);
    void Drop();
    void CheckRotation();
    void DatabaseAway(const std::string &why);
    void Stored(const LinePosition &position);
    void Say(const std::string &line);

    ForwarderSettings settings_;
    ForwarderHooks hooks_;
    std::unique_ptr<DatabaseConnection> db_;
    std::unique_ptr<RecordLineSource> source_;
    std::unique_ptr<LinePusher> pusher_;
    Reading reading_ = Reading::kNone;
    platform::FileIdentity identity_;  // of the file being read
    std::chrono::milliseconds next_wait_;
    bool away_ = false;          // the database did not answer last time
    bool said_missing_ = false;  // the file's absence was said
    std::string last_away_;      // what was said of the database last
    PushTotals earlier_;         // of the files read before the current one
};

// `vanto records follow`'s words for the lines a forwarder leaves out.
std::string SkippedLineText(const std::string &file, uint64_t number, const std::string &why);

}  // namespace dekvanto::core
