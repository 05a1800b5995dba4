// Pushing a record file's lines into the line's database: every whole line read, a line that is
// no record reported and left out (as `vanto records` does), the rest stored batch by batch. The
// one loop of `vanto records push` (once, to the file's end) and of the forwarder (again each
// time the file grows).
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "core/linedb/line_batch.h"
#include "core/linedb/record_line_source.h"

namespace dekvanto::core {

struct PushTotals {
    uint64_t lines = 0;    // whole lines read (blank ones not counted)
    uint64_t skipped = 0;  // no record: reported, not sent
    BatchStored batches;   // what the database did with the rest
};

struct PushCallbacks {
    // A line that is not pushed: no record, or refused by the database for its values.
    std::function<void(uint64_t number, const std::string &why)> skipped;
    // Every line up to `position` is in the database now (or was left out as reported).
    std::function<void(const LinePosition &position)> stored;
};

class LinePusher {
  public:
    LinePusher(RecordLineSource &source, PushCallbacks callbacks);

    // Reads and stores the lines the file holds now, up to its last whole line. False with the
    // reason in `why` when the database did not take a batch: the source then stands where the
    // last batch taken ended, so that the next call sends the lost batch again.
    bool PushAvailable(DatabaseConnection &db, std::string &why);
    const PushTotals &Totals() const { return totals_; }

  private:
    bool StoreBatch(DatabaseConnection &db, const LinePosition &end, std::string &why);

    RecordLineSource &source_;
    PushCallbacks callbacks_;
    LineBatch batch_;
    PushTotals totals_;
    LinePosition stored_;  // where the last batch taken ended
    uint64_t batch_lines_ = 0;
    uint64_t batch_skipped_ = 0;
};

}  // namespace dekvanto::core
