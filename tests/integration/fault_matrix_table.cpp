#include "fault_matrix_table.h"

#include <sstream>

#include "dekvanto/mx40.h"

namespace dekvanto::integration {
namespace {

// The phone's '8' that directly follows an answer; when the answer is missing, the '8' must come
// after the engine's acknowledgement wait, or it would be taken for the answer.
enum class NextSync { kNone, kEraseStart, kPersoDone };

// One phase of the download. In acknowledged mode the phone answers at `place` (an answer to a
// frame, or an '8' when `sync`); stops and unplugs happen at a moment of the phase in each mode.
struct Phase {
    const char *name;
    const char *place;  // the phone's spot in the simulator's text form; null: it answers nothing
    bool sync;
    int32_t wrong_result;      // a wrong answer here: 'G', 'H' (code size frame) or 'E'
    Mark fault_mark;           // the log's last progress line when the phone misbehaves here
    const char *silent_after;  // further '8' spots that stay silent with this one ("" none)
    const char *box;           // the box of a wrong or missing '8' ("" for answers)
    NextSync slow_sync;        // the phone's '8' that follows this answer, kept back
    Moment ack_stop_at;
    Outcome ack_stop;
    Moment ack_unplug_at;
    Outcome ack_unplug;
    Moment blind_at;  // stops and unplugs in blind mode
    Outcome blind_stop;
    Outcome blind_unplug;
};

constexpr int32_t kSent = MX40_TRACE_SENT;
constexpr int32_t kReceived = MX40_TRACE_RECEIVED;

constexpr Moment Sent(int32_t phase, int nth) {
    return {kSent, phase, nth, nullptr};
}
constexpr Moment Received(int32_t phase, int nth) {
    return {kReceived, phase, nth, nullptr};
}
constexpr Moment AfterLog(const char *line) {
    return {0, 0, 0, line};
}

constexpr Moment kNever{};
constexpr Outcome kNone{};
constexpr Moment kLineSetup1 = Sent(MX40_PHASE_LINE_SETUP, 1);  // the memory target byte
constexpr const char *kLoaderSyncBox = "No synchonisation with loader !!";
constexpr const char *kDekeSyncBox = "No synchronisation with DEKE !!";

using M = Mark;

// clang-format off
const Phase kPhases[] = {
    // The line setup frame's answer at 2400 bit/s. A stop in the pause after the memory target
    // byte is a stop while waiting; the vanished line fails the next write.
    {"line_setup", "line", false, 'G', M::kOpen, "", "", NextSync::kNone,
     kLineSetup1, {'4', M::kOpen}, kLineSetup1, {'9', M::kOpen},
     kLineSetup1, {'4', M::kOpen}, {'9', M::kOpen}},
    // The loader's first of three groups of five blocks: the answers are read after the fifth.
    {"loader_group_1", "loader-block:3", false, 'G', M::kLoader, "", "", NextSync::kNone,
     Sent(MX40_PHASE_LOADER, 1), {'3', M::kLoader}, Sent(MX40_PHASE_LOADER, 1), {'9', M::kLoader},
     Sent(MX40_PHASE_LOADER, 1), {'3', M::kLoader}, {'9', M::kLoader}},
    // The loader's last group, its one short block: the line vanishes before its answer is read.
    {"loader_group_2", "loader-block:11", false, 'G', M::kLoader, "", "", NextSync::kNone,
     Sent(MX40_PHASE_LOADER, 11), {'3', M::kLoader},
     Sent(MX40_PHASE_LOADER, 11), {'H', M::kLoader},
     Sent(MX40_PHASE_LOADER, 11), {'3', M::kLoader}, {'9', M::kLoader}},
    // The loader's '8' after the end frame. A stop here would land in the 5 ms pause before the
    // request byte, which a busy machine may outlast: not a case.
    {"loader_ready", "loader-ready", true, 'E', M::kLoader, "", kLoaderSyncBox, NextSync::kNone,
     kNever, kNone, Sent(MX40_PHASE_LOADER, 12), {'E', M::kLoader, kLoaderSyncBox},
     Sent(MX40_PHASE_LOADER, 12), kNone, {'9', M::kLoader}},
    // The download request byte: nothing answers it.
    {"request", nullptr, false, 0, M::kOpen, "", "", NextSync::kNone,
     Sent(MX40_PHASE_REQUEST, 1), {'3', M::kCode},
     Sent(MX40_PHASE_REQUEST, 1), {'9', M::kStartFlash},
     Sent(MX40_PHASE_REQUEST, 1), {'3', M::kCode}, {'9', M::kLoader}},
    // The code file's size frame: its answer is read through the one call that cannot tell a
    // wrong byte from none, so both give 'H'.
    {"code_size", "code-size", false, 'H', M::kStartFlash, "", "", NextSync::kNone,
     Sent(MX40_PHASE_CODE, 1), {'3', M::kCode}, Sent(MX40_PHASE_CODE, 1), {'H', M::kStartFlash},
     Sent(MX40_PHASE_CODE, 1), {'3', M::kCode}, {'9', M::kCode}},
    {"code_group_1", "code-block:2", false, 'G', M::kCode, "", "", NextSync::kNone,
     Sent(MX40_PHASE_CODE, 2), {'3', M::kCode}, Sent(MX40_PHASE_CODE, 2), {'9', M::kCode},
     Sent(MX40_PHASE_CODE, 2), {'3', M::kCode}, {'9', M::kCode}},
    {"code_group_2", "code-block:6", false, 'G', M::kCode, "", "", NextSync::kNone,
     Sent(MX40_PHASE_CODE, 7), {'3', M::kCode}, Sent(MX40_PHASE_CODE, 7), {'H', M::kCode},
     Sent(MX40_PHASE_CODE, 7), {'3', M::kCode}, {'9', M::kCode}},
    // The checksum frame; in blind mode the vanished line is met only at the personalization
    // file, after the restart wait.
    {"checksum", "checksum", false, 'G', M::kCode, "", "", NextSync::kEraseStart,
     Sent(MX40_PHASE_CODE, 8), {'3', M::kCode}, Sent(MX40_PHASE_CODE, 8), {'H', M::kCode},
     Sent(MX40_PHASE_CODE, 8), {'3', M::kCode}, {'9', M::kWaitingReboot}},
    // The two '8' of the flash writing and erasing (acknowledged mode only). A phone that falls
    // silent stays silent: its later '8' do not come either.
    {"erase_start", "erase-start", true, 'E', M::kCode, "erase-end,deke-ready", kLoaderSyncBox,
     NextSync::kNone,
     Received(MX40_PHASE_ERASE, 1), {'3', M::kStartErasing}, Received(MX40_PHASE_ERASE, 1),
     {'E', M::kStartErasing, kLoaderSyncBox}, kNever, kNone, kNone},
    {"erase_end", "erase-end", true, 'E', M::kStartErasing, "deke-ready", kLoaderSyncBox,
     NextSync::kNone,
     Received(MX40_PHASE_ERASE, 2), {'3', M::kPerso}, Received(MX40_PHASE_ERASE, 2),
     {'E', M::kEndErased, kDekeSyncBox}, kNever, kNone, kNone},
    // The restart into DEKE: its '8' in acknowledged mode, the reboot wait in blind mode.
    {"restart", "deke-ready", true, 'E', M::kEndErased, "", kDekeSyncBox, NextSync::kNone,
     Received(MX40_PHASE_RESTART, 1), {'3', M::kPerso}, Received(MX40_PHASE_RESTART, 1),
     {'9', M::kEndErased},
     AfterLog("Waiting DEKE Reboot"), {'3', M::kPerso}, {'9', M::kWaitingReboot}},
    {"perso_size", "perso-size", false, 'G', M::kEndErased, "", "", NextSync::kNone,
     Sent(MX40_PHASE_PERSO, 1), {'3', M::kPerso}, Sent(MX40_PHASE_PERSO, 1), {'H', M::kEndErased},
     Sent(MX40_PHASE_PERSO, 1), {'3', M::kPerso}, {'9', M::kPerso}},
    {"perso_block_1", "perso-block:1", false, 'G', M::kPerso, "", "", NextSync::kNone,
     Sent(MX40_PHASE_PERSO, 2), {'3', M::kPerso}, Sent(MX40_PHASE_PERSO, 2), {'H', M::kPerso},
     Sent(MX40_PHASE_PERSO, 2), {'3', M::kPerso}, {'9', M::kPerso}},
    // The last block. In blind mode nothing is read after it, but the download succeeds only once
    // the block has left the line: a line that vanished then is a port error.
    {"perso_block_2", "perso-block:2", false, 'G', M::kPerso, "", "", NextSync::kPersoDone,
     Sent(MX40_PHASE_PERSO, 3), {'3', M::kPerso}, Sent(MX40_PHASE_PERSO, 3), {'H', M::kPerso},
     Sent(MX40_PHASE_PERSO, 3), {'3', M::kPerso}, {'9', M::kPerso}},
    // The final '8': a stop once it came, an unplug while it is awaited.
    {"perso_done", "perso-done", true, 'E', M::kPerso, "", kDekeSyncBox, NextSync::kNone,
     Received(MX40_PHASE_PERSO, 4), {'3', M::kPerso}, Received(MX40_PHASE_PERSO, 3),
     {'E', M::kPerso, kDekeSyncBox}, kNever, kNone, kNone},
};
// clang-format on

constexpr uint32_t kSlowSyncMs = 3000;

std::vector<std::string> SplitPlaces(const char *list) {
    std::vector<std::string> places;
    std::istringstream in(list);
    for (std::string place; std::getline(in, place, ',');) {
        places.push_back(place);
    }
    return places;
}

std::string Placed(const std::string &kind, const std::string &place) {
    return kind + "@" + place;
}

// The phone's three ways of getting an answer wrong at one spot.
void AddPhoneFaults(const Phase &phase, std::vector<FaultCase> &cases) {
    if (phase.place == nullptr) {
        return;
    }
    const std::string place = phase.place;
    auto add = [&](const char *what, std::vector<std::string> faults, int32_t result) {
        FaultCase c;
        c.name = std::string("ack_") + what + "_at_" + phase.name;
        c.action = Action::kPhoneFault;
        c.faults = std::move(faults);
        c.outcome = {result, phase.fault_mark};
        c.box = phase.box;
        if (phase.slow_sync == NextSync::kEraseStart) {
            c.erase_start_ms = kSlowSyncMs;
        } else if (phase.slow_sync == NextSync::kPersoDone) {
            c.perso_done_ms = kSlowSyncMs;
        }
        cases.push_back(std::move(c));
    };
    if (phase.sync) {
        add("wrong_byte", {Placed("badsync=0x15", place)}, 'E');
        add("wrong_character", {Placed("badsync=0x39", place)}, 'E');
        std::vector<std::string> silent{Placed("nosync", place)};
        for (const std::string &later : SplitPlaces(phase.silent_after)) {
            silent.push_back(Placed("nosync", later));
        }
        add("silence", silent, 'E');
    } else {
        add("wrong_byte", {Placed("nak", place)}, phase.wrong_result);
        add("silence", {Placed("silent", place)}, 'H');
    }
}

void AddLineEvent(const Phase &phase, Mode mode, Action action, Moment moment, Outcome outcome,
                  std::vector<FaultCase> &cases) {
    if (outcome.result == 0) {
        return;
    }
    FaultCase c;
    c.name = std::string(mode == Mode::kAcknowledged ? "ack_" : "blind_") +
             (action == Action::kStop ? "stop_in_" : "unplug_in_") + phase.name;
    c.mode = mode;
    c.action = action;
    c.moment = moment;
    c.outcome = outcome;
    c.box = outcome.box;
    cases.push_back(std::move(c));
}

}  // namespace

std::vector<FaultCase> AllFaultCases() {
    std::vector<FaultCase> cases;
    for (const Phase &phase : kPhases) {
        AddPhoneFaults(phase, cases);
        AddLineEvent(phase, Mode::kAcknowledged, Action::kStop, phase.ack_stop_at, phase.ack_stop,
                     cases);
        AddLineEvent(phase, Mode::kAcknowledged, Action::kUnplug, phase.ack_unplug_at,
                     phase.ack_unplug, cases);
        AddLineEvent(phase, Mode::kBlind, Action::kStop, phase.blind_at, phase.blind_stop, cases);
        AddLineEvent(phase, Mode::kBlind, Action::kUnplug, phase.blind_at, phase.blind_unplug,
                     cases);
    }
    return cases;
}

}  // namespace dekvanto::integration
