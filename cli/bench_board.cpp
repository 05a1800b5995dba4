#include "bench_board.h"

#include <cctype>
#include <cstdio>

#include "core/outside_text.h"
#include "progress_meter.h"

namespace dekvanto::cli {
namespace {

using dekvanto::app::EventKind;
using dekvanto::app::TileState;

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr auto kElapsedInterval = std::chrono::seconds(1);

}  // namespace

void BenchBoard::Begin(const dekvanto::app::BenchState &state, Clock::time_point now) {
    if (columns_ > 0) {
        DrawLiveLines(state, now);
    }
}

void BenchBoard::OnEvent(const dekvanto::app::DownloadEvent &event,
                         const dekvanto::app::BenchState &state, Clock::time_point now) {
    if (const std::optional<std::string> line = dekvanto::app::OperatorLine(event)) {
        Permanent(*line, state, now);
        return;
    }
    // Progress and log lines move often: they are drawn at most ten times a second.
    const bool often = event.kind == EventKind::kProgress || event.kind == EventKind::kPhase;
    Redraw(state, now, !often);
}

void BenchBoard::Permanent(const std::string &text, const dekvanto::app::BenchState &state,
                           Clock::time_point now) {
    if (columns_ > 0) {
        // Over the live lines, which are drawn again below it.
        UpOverLiveLines();
        log_ << "\r\x1b[J" << dekvanto::app::TerminalText(text) << '\n';
        DrawLiveLines(state, now);
    } else {
        log_ << dekvanto::app::TerminalText(text) << '\n' << std::flush;
    }
}

void BenchBoard::Tick(const dekvanto::app::BenchState &state, Clock::time_point now) {
    if (columns_ > 0 && now - last_drawn_ >= kElapsedInterval) {
        Redraw(state, now, true);
    }
}

std::string BenchBoard::LiveLine(const dekvanto::app::StationTile &tile, bool scan,
                                 Clock::time_point now) const {
    char head[48];
    std::snprintf(head, sizeof head, "%-7s ", tile.port.c_str());
    std::string text = head;
    // Identifiers and file names are outside text: shown, never acted on by the terminal.
    const std::string unit =
        "#" + std::to_string(tile.unit) +
        (tile.unit_id.empty() ? "" : " " + dekvanto::app::TerminalText(tile.unit_id));
    switch (tile.state) {
        case TileState::kFlashing: {
            char progress[64];
            std::snprintf(progress, sizeof progress, " flashing %3d%% %s  ", tile.percent,
                          DurationText(dekvanto::app::TileSeconds(tile, now)).c_str());
            text += unit + progress + dekvanto::app::TerminalText(tile.phase);
            break;
        }
        case TileState::kUnitEnded:
        case TileState::kWaitingForRemoval:
            text += unit + " done: remove the phone";
            break;
        default: {
            std::string words = dekvanto::app::TileStateWords(tile, scan);
            if (!words.empty()) {
                words[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(words[0])));
            }
            text += dekvanto::app::TerminalText(words);
            if (!tile.waiting_ids.empty()) {
                text += " (" + std::to_string(tile.waiting_ids.size()) + " scanned ahead)";
            }
            break;
        }
    }
    return std::string(dekvanto::app::CutText(text, static_cast<std::size_t>(columns_ - 1)));
}

void BenchBoard::Redraw(const dekvanto::app::BenchState &state, Clock::time_point now,
                        bool at_once) {
    if (columns_ <= 0 || (!at_once && now - last_drawn_ < kRedrawInterval)) {
        return;
    }
    UpOverLiveLines();
    DrawLiveLines(state, now);
}

// Back to the first live line (a count of 0 would still move a line up).
void BenchBoard::UpOverLiveLines() {
    if (drawn_ > 0) {
        log_ << "\x1b[" << drawn_ << 'A';
    }
    drawn_ = 0;
}

void BenchBoard::DrawLiveLines(const dekvanto::app::BenchState &state, Clock::time_point now) {
    for (const dekvanto::app::StationTile &tile : state.Tiles()) {
        log_ << "\r\x1b[2K" << LiveLine(tile, state.Scan(), now) << '\n';
    }
    drawn_ = state.Tiles().size();
    log_ << std::flush;
    last_drawn_ = now;
}

void BenchBoard::Finish(const dekvanto::app::BenchState &state, Clock::time_point now) {
    Redraw(state, now, true);
    log_ << "Totals: " << dekvanto::app::CountsWords(state.Totals()) << '\n';
    if (state.Tiles().size() > 1) {
        for (const dekvanto::app::StationTile &tile : state.Tiles()) {
            log_ << "  " << tile.port << ": " << dekvanto::app::CountsWords(tile.counts) << '\n';
        }
    }
    log_ << std::flush;
}

}  // namespace dekvanto::cli
