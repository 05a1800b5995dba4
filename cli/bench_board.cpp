#include "bench_board.h"

#include <cctype>
#include <cstdio>

#include "core/text/outside_text.h"
#include "progress_meter.h"

namespace dekvanto::cli {
namespace {

using dekvanto::core::EventKind;
using dekvanto::core::TileState;

constexpr auto kRedrawInterval = std::chrono::milliseconds(100);
constexpr auto kElapsedInterval = std::chrono::seconds(1);

}  // namespace

void BenchBoard::Begin(const dekvanto::core::BenchState &state, Clock::time_point now) {
    if (columns_ > 0) {
        DrawLiveLines(state, now);
    }
}

void BenchBoard::OnEvent(const dekvanto::core::DownloadEvent &event,
                         const dekvanto::core::BenchState &state, Clock::time_point now) {
    if (const std::optional<std::string> line = dekvanto::core::OperatorLine(event)) {
        Permanent(*line, state, now);
        return;
    }
    // Progress and log lines move often: they are drawn at most ten times a second.
    const bool often = event.kind == EventKind::kProgress || event.kind == EventKind::kPhase;
    Redraw(state, now, !often);
}

void BenchBoard::Permanent(const std::string &text, const dekvanto::core::BenchState &state,
                           Clock::time_point now) {
    if (columns_ > 0) {
        // Over the live lines, which are drawn again below it.
        UpOverLiveLines();
        log_ << "\r\x1b[J" << dekvanto::core::TerminalText(text) << '\n';
        DrawLiveLines(state, now);
    } else {
        log_ << dekvanto::core::TerminalText(text) << '\n' << std::flush;
    }
}

void BenchBoard::Tick(const dekvanto::core::BenchState &state, Clock::time_point now) {
    if (columns_ > 0 && now - last_drawn_ >= kElapsedInterval) {
        Redraw(state, now, true);
    }
}

std::string BenchBoard::LiveLine(const dekvanto::core::StationTile &tile, bool scan,
                                 Clock::time_point now) const {
    char head[48];
    std::snprintf(head, sizeof head, "%-7s ", tile.port.c_str());
    std::string text = head;
    // Identifiers and file names are outside text: shown, never acted on by the terminal.
    const std::string unit =
        "#" + std::to_string(tile.unit) +
        (tile.unit_id.empty() ? "" : " " + dekvanto::core::TerminalText(tile.unit_id));
    switch (tile.state) {
        case TileState::kFlashing: {
            char progress[64];
            std::snprintf(progress, sizeof progress, " flashing %3d%% %s  ", tile.percent,
                          DurationText(dekvanto::core::TileSeconds(tile, now)).c_str());
            text += unit + progress + dekvanto::core::TerminalText(tile.phase);
            break;
        }
        case TileState::kUnitEnded:
        case TileState::kWaitingForRemoval:
            text += unit + " done: remove the phone";
            break;
        default: {
            std::string words = dekvanto::core::TileStateWords(tile, scan);
            if (!words.empty()) {
                words[0] = static_cast<char>(std::tolower(static_cast<unsigned char>(words[0])));
            }
            text += dekvanto::core::TerminalText(words);
            if (!tile.waiting_ids.empty()) {
                text += " (" + std::to_string(tile.waiting_ids.size()) + " scanned ahead)";
            }
            break;
        }
    }
    return std::string(dekvanto::core::CutText(text, static_cast<std::size_t>(columns_ - 1)));
}

void BenchBoard::Redraw(const dekvanto::core::BenchState &state, Clock::time_point now,
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

void BenchBoard::DrawLiveLines(const dekvanto::core::BenchState &state, Clock::time_point now) {
    for (const dekvanto::core::StationTile &tile : state.Tiles()) {
        log_ << "\r\x1b[2K" << LiveLine(tile, state.Scan(), now) << '\n';
    }
    drawn_ = state.Tiles().size();
    log_ << std::flush;
    last_drawn_ = now;
}

void BenchBoard::Finish(const dekvanto::core::BenchState &state, Clock::time_point now) {
    Redraw(state, now, true);
    log_ << "Totals: " << dekvanto::core::CountsWords(state.Totals()) << '\n';
    if (state.Tiles().size() > 1) {
        for (const dekvanto::core::StationTile &tile : state.Tiles()) {
            log_ << "  " << tile.port << ": " << dekvanto::core::CountsWords(tile.counts) << '\n';
        }
    }
    log_ << std::flush;
}

}  // namespace dekvanto::cli
