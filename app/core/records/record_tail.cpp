#include "core/records/record_tail.h"

#include <algorithm>
#include <fstream>
#include <utility>
#include <vector>

#include "core/records/record_lines.h"
#include "dekvanto/platform/port_name.h"

namespace dekvanto::core {
namespace {

// Looks at the lines of the record file from the newest back, until one names a unit of the
// station.
class StationSearch {
  public:
    StationSearch(std::string_view host, std::string_view station)
        : host_(host), station_(station) {}

    // True once `text`, one line without its newline, was the station's newest start or end line.
    bool Look(std::string_view text) {
        if (!text.empty() && text.back() == '\r') {
            text.remove_suffix(1);
        }
        if (text.find_first_not_of(" \t") == std::string_view::npos) {
            return false;
        }
        std::string why;
        const std::optional<RecordLine> line = ParseRecordLine(text, why);
        if (!line || line->record.constants.host != host_ ||
            !platform::PortName::NamesOfOnePort(line->record.start.station, station_)) {
            return false;
        }
        const UnitStart &start = line->record.start;
        if (line->event == RecordEvent::kRemoved) {
            removals_.emplace_back(start.unit, start.started);
            if (!only_removed_) {
                only_removed_ = LastUnit{start.unit, start.started, start.unit_id, false, true};
            }
            return false;
        }
        const bool removed =
            std::any_of(removals_.begin(), removals_.end(), [&start](const auto &removal) {
                return removal.first == start.unit &&
                       (removal.second.empty() || removal.second == start.started);
            });
        const auto &end = line->record.end;
        found_ = LastUnit{start.unit, start.started, start.unit_id,
                          end && end->status == OutcomeClass::kFinished, removed};
        return true;
    }

    // The unit found; else the one that the newest removal line named, if any.
    std::optional<LastUnit> Found() const { return found_ ? found_ : only_removed_; }

  private:
    std::string_view host_;
    std::string_view station_;
    std::vector<std::pair<int64_t, std::string>> removals_;  // unit and start time, newest first
    std::optional<LastUnit> only_removed_;
    std::optional<LastUnit> found_;
};

// The line made of `head` and the pieces read after it (the nearest the file's end first), which
// are then let go.
std::string Joined(std::string_view head, std::vector<std::string> &pieces) {
    std::string line(head);
    for (auto piece = pieces.rbegin(); piece != pieces.rend(); ++piece) {
        line += *piece;
    }
    pieces.clear();
    return line;
}

}  // namespace

std::optional<LastUnit> FindLastUnit(const std::string &path, std::string_view host,
                                     std::string_view station, const TailReading &how) {
    std::ifstream in(path, std::ios::binary);
    if (!in || !in.seekg(0, std::ios::end)) {
        return std::nullopt;
    }
    const std::streamoff size = in.tellg();
    if (size < 0) {
        return std::nullopt;
    }
    StationSearch search(host, station);
    const uint64_t block = std::max<uint64_t>(how.block, 1);
    uint64_t position = static_cast<uint64_t>(size);
    uint64_t read = 0;
    // The newest line not yet looked at, whose start lies in a block not read yet: the pieces of
    // it read so far, the nearest the file's end first. They are joined once the line's start is
    // read, so that a line far longer than a block costs one copy, not one per block.
    std::vector<std::string> pieces;
    while (position > 0 && read < how.most) {
        const uint64_t length = std::min({block, position, how.most - read});
        position -= length;
        std::string piece(static_cast<std::size_t>(length), '\0');
        if (!in.seekg(static_cast<std::streamoff>(position)) ||
            !in.read(piece.data(), static_cast<std::streamsize>(length))) {
            return std::nullopt;
        }
        read += length;
        // Every line that has a newline before it is whole: newest first.
        std::size_t end = piece.size();
        while (end > 0) {
            const std::size_t newline = piece.rfind('\n', end - 1);
            if (newline == std::string::npos) {
                break;
            }
            const std::string_view head(piece.data() + newline + 1, end - newline - 1);
            if (pieces.empty() ? search.Look(head) : search.Look(Joined(head, pieces))) {
                return search.Found();
            }
            end = newline;
        }
        if (end > 0) {
            piece.resize(end);
            pieces.push_back(std::move(piece));
        }
        if (position == 0 && search.Look(Joined({}, pieces))) {
            return search.Found();
        }
    }
    return search.Found();
}

}  // namespace dekvanto::core
