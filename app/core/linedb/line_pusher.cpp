#include "core/linedb/line_pusher.h"

#include <utility>

#include "core/linedb/line_row.h"
#include "core/records/record_lines.h"

namespace dekvanto::core {

LinePusher::LinePusher(RecordLineSource &source, PushCallbacks callbacks)
    : source_(source), callbacks_(std::move(callbacks)), stored_(source.Position()) {}

bool LinePusher::StoreBatch(DatabaseConnection &db, const LinePosition &end, std::string &why) {
    if (!batch_.Store(db, totals_.batches, why, callbacks_.skipped)) {
        // Read again from the end of the last batch taken; the counts of what is read again are
        // not counted twice.
        totals_.lines -= batch_lines_;
        totals_.skipped -= batch_skipped_;
        batch_lines_ = batch_skipped_ = 0;
        batch_ = LineBatch();
        source_.Restart(stored_);
        return false;
    }
    batch_lines_ = batch_skipped_ = 0;
    stored_ = end;
    callbacks_.stored(end);
    return true;
}

bool LinePusher::PushAvailable(DatabaseConnection &db, std::string &why) {
    LinePosition end = source_.Position();
    while (std::optional<SourceLine> line = source_.Next()) {
        end = line->after;
        if (!line->too_long && line->text.find_first_not_of(" \t") == std::string::npos) {
            continue;
        }
        ++totals_.lines;
        ++batch_lines_;
        std::string reason = "longer than " + std::to_string(kLongestLine >> 20) + " MiB";
        std::optional<RecordLine> parsed;
        if (!line->too_long) {
            parsed = ParseRecordLine(line->text, reason);
        }
        if (!parsed) {
            ++totals_.skipped;
            ++batch_skipped_;
            callbacks_.skipped(line->number, reason);
            continue;
        }
        batch_.Add({RowOfLine(line->text, *parsed), line->number});
        if (batch_.Full() && !StoreBatch(db, end, why)) {
            return false;
        }
    }
    return end == stored_ || StoreBatch(db, end, why);
}

}  // namespace dekvanto::core
