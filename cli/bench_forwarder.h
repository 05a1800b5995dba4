// The forwarder of `vanto bench --db URL`: `vanto records follow` on a thread of the bench's own
// process, beside the stations. It only reads the record file, so a station never waits for it;
// what it waits for (a database or a network that is away) it says on standard error. When the
// bench ends, it sends what the stations wrote last once more, without waiting for a database
// that is away: what is left goes with the next forwarder or `vanto records push`, from where
// this one stopped (the record file's ".forwarded" position).
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "console.h"

namespace dekvanto::cli {

class BenchForwarder {
  public:
    virtual ~BenchForwarder() = default;
    // Stops following, then sends the last lines once.
    virtual void Finish() = 0;
};

// Starts following `record` into the database at `url`. Nothing, with the reason in `refusal`
// (a URL with a password, or no database client on this system), when it cannot start; the
// bench then does not start either.
std::unique_ptr<BenchForwarder> StartBenchForwarder(const std::string &record,
                                                    const std::string &url, Console &console,
                                                    std::string &refusal);

}  // namespace dekvanto::cli
