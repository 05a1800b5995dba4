#include "console_view.h"

#include <cmath>
#include <cstdlib>
#include <istream>
#include <ostream>

#include "core/text/outside_text.h"
#include "dekvanto/platform/interrupt.h"

namespace dekvanto::cli {
namespace {

// The count in the byte counter's text "Download : <n> bytes".
uint64_t CountInCounterText(std::string_view text) {
    const auto colon = text.find(':');
    if (colon == std::string_view::npos) {
        return 0;
    }
    return std::strtoull(std::string(text.substr(colon + 1)).c_str(), nullptr, 10);
}

// The bar cut to one character less than the console is wide: a line that fills the width would
// move the cursor to the next line, and every redraw would then start a new line.
std::string FittedToConsole(std::string text, int columns) {
    if (columns > 1 && text.size() > static_cast<std::size_t>(columns - 1)) {
        text.resize(static_cast<std::size_t>(columns - 1));
    }
    return text;
}

}  // namespace

ConsoleView::ConsoleView(ViewMode mode, std::ostream &log, Console &console, uint64_t total_bytes,
                         bool step_mode)
    : mode_(mode),
      log_(log),
      console_(console),
      step_mode_(step_mode),
      total_bytes_(total_bytes),
      meter_(total_bytes) {}

void ConsoleView::EndBar() {
    if (bar_shown_) {
        log_ << '\n';
        bar_shown_ = false;
    }
}

void ConsoleView::SetByteCounterText(std::string_view text) {
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
    meter_.OnBytes(CountInCounterText(text), seconds);
    ShowProgress();
    if (events_ != nullptr) {
        events_->Progress(meter_.Percent(), meter_.Bytes(),
                          static_cast<uint64_t>(std::llround(meter_.RateKbits() * 1000)),
                          std::chrono::steady_clock::now());
    }
}

void ConsoleView::ShowProgress() {
    switch (mode_) {
        case ViewMode::kTerminal:
            log_ << '\r' << FittedToConsole(meter_.BarText(), console_.columns) << std::flush;
            bar_shown_ = true;
            break;
        case ViewMode::kPlain:
            if (meter_.TenthPassed()) {
                log_ << meter_.PlainText() << std::endl;
            }
            break;
        case ViewMode::kStation:
            break;  // its progress events tell the parent
    }
}

void ConsoleView::AddLogLine(std::string_view text) {
    EndBar();
    // A station's phase events tell the parent. File names in the log are the user's text:
    // shown, never acted on by the terminal.
    if (mode_ != ViewMode::kStation) {
        log_ << dekvanto::core::TerminalText(text) << std::endl;
    }
    if (events_ != nullptr) {
        events_->Phase(text);
    }
}

void ConsoleView::ShowMessage(std::string_view text) {
    EndBar();
    if (events_ != nullptr) {
        step_mode_ ? events_->Prompt(text) : events_->Message(text);
    }
    if (mode_ != ViewMode::kStation) {  // a station's message events tell the parent
        console_.err << "[message] " << dekvanto::core::TerminalText(text) << std::endl;
    }
    if (step_mode_) {
        console_.err << "(press Enter to go on)" << std::endl;
        if (console_.in_descriptor >= 0) {
            platform::WaitForEnter(console_.in_descriptor);
        } else {
            std::string answer;
            if (!std::getline(console_.in, answer)) {
                console_.in.clear();
            }
        }
    }
}

ConsoleView::~ConsoleView() = default;

void ConsoleView::DeliverEngineMessage(uint32_t message, uintptr_t wparam) {
    if (handler_ != nullptr) {
        handler_->OnEngineMessage(message, wparam);
    }
    TakeInterrupts();
}

void ConsoleView::TakeInterrupts() {
    const int interrupts = platform::InterruptCount();
    if (interrupts > interrupts_seen_) {
        const bool first = interrupts_seen_ == 0;
        interrupts_seen_ = interrupts;
        if (first && stop_) {
            stop_();
        }
    }
}

}  // namespace dekvanto::cli
