#include "core/records/record_stream.h"

#include <cstdint>
#include <deque>
#include <istream>
#include <map>
#include <utility>

#include "core/records/record_lines.h"

namespace dekvanto::core {
namespace {

// A station: its host and its port name, each compared whole (a host or station may hold any
// character, so no text joined from them could tell two stations apart).
using StationKey = std::pair<std::string, std::string>;

StationKey StationOf(const UnitRecord &r) {
    return {r.constants.host, r.start.station};
}

// The units read and not yet handed out, in the order they started, with each station's newest.
class UnitWindow {
  public:
    UnitWindow(const RecordSinks &sinks, RecordWindow bounds) : sinks_(sinks), bounds_(bounds) {}

    // A line of the file (numbered `number`, `bytes` long) read as a record line.
    void Add(RecordLine line, std::size_t number, std::size_t bytes) {
        Waiting *newest = NewestOf(StationOf(line.record));
        const bool same_unit = newest && newest->unit.record.start.unit == line.record.start.unit;
        if (line.event == RecordEvent::kRemoved) {
            if (same_unit) {
                newest->unit.removed = std::move(line.removed);
            }
        } else if (line.event == RecordEvent::kEnd && same_unit && !newest->unit.record.end) {
            bytes_ = bytes_ - newest->bytes + bytes;
            newest->bytes = bytes;
            newest->unit.record = std::move(line.record);
        } else {
            Begin({std::move(line.record), number, {}}, bytes);
        }
        HandOut();
    }

    // The end of the file: every unit is final.
    void Finish() {
        for (Waiting &waiting : waiting_) {
            waiting.final = true;
        }
        HandOut();
    }

  private:
    struct Waiting {
        RecordedUnit unit;
        std::size_t bytes = 0;
        bool final = false;
    };

    Waiting *NewestOf(const StationKey &station) {
        const auto found = newest_.find(station);
        return found == newest_.end() ? nullptr : &waiting_[found->second - first_];
    }

    // A new unit of its station: the station's unit before it is final.
    void Begin(RecordedUnit unit, std::size_t bytes) {
        StationKey station = StationOf(unit.record);
        if (Waiting *before = NewestOf(station)) {
            before->final = true;
        }
        newest_[std::move(station)] = first_ + waiting_.size();
        waiting_.push_back({std::move(unit), bytes, false});
        bytes_ += bytes;
    }

    // Hands out the final units at the front, and the oldest ones while the window is overfull.
    void HandOut() {
        while (!waiting_.empty() && (waiting_.front().final || waiting_.size() > bounds_.units ||
                                     bytes_ > bounds_.bytes)) {
            RecordedUnit unit = std::move(waiting_.front().unit);
            bytes_ -= waiting_.front().bytes;
            waiting_.pop_front();
            if (const auto station = newest_.find(StationOf(unit.record));
                station != newest_.end() && station->second == first_) {
                newest_.erase(station);
            }
            ++first_;
            if (sinks_.unit) {
                sinks_.unit(std::move(unit));
            }
        }
    }

    const RecordSinks &sinks_;
    const RecordWindow bounds_;
    std::deque<Waiting> waiting_;
    std::uint64_t first_ = 0;  // how many units were handed out: the place of waiting_.front()
    std::size_t bytes_ = 0;    // of the lines of the units waiting
    // Each station's newest unit still waiting, by its place among all units.
    std::map<StationKey, std::uint64_t> newest_;
};

}  // namespace

void StreamRecordFile(std::istream &in, const RecordSinks &sinks, RecordWindow window) {
    UnitWindow units(sinks, window);
    std::string text;
    for (std::size_t number = 1; std::getline(in, text); ++number) {
        const bool cut_off = in.eof();  // the last line, without its newline
        if (!text.empty() && text.back() == '\r') {
            text.pop_back();
        }
        if (text.find_first_not_of(" \t") == std::string::npos) {
            continue;
        }
        std::string why;
        std::optional<RecordLine> line = ParseRecordLine(text, why);
        if (!line) {
            if (sinks.skipped) {
                sinks.skipped({number, cut_off ? "last line cut off while it was written" : why});
            }
            continue;
        }
        units.Add(std::move(*line), number, text.size());
    }
    units.Finish();
}

}  // namespace dekvanto::core
