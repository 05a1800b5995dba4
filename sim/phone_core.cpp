#include "sim/phone_core.h"

#include <algorithm>
#include <limits>
#include <string_view>
#include <utility>

namespace dekvanto::sim {
namespace {

constexpr uint8_t kAck = 0x06;
constexpr uint8_t kNak = 0x15;
constexpr uint8_t kSync = '8';
constexpr uint32_t kBootBitRate = 2400;
constexpr uint32_t kDekeBitRate = 115200;
constexpr uint32_t kLoaderBlockMax = 32;
constexpr int kGroup = 5;
constexpr int64_t kNsPerMs = 1'000'000;
constexpr int64_t kForever = std::numeric_limits<int64_t>::max();

int64_t Ms(uint32_t ms) {
    return int64_t{ms} * kNsPerMs;
}

std::string BlockName(int block, const char *file) {
    return "block " + std::to_string(block) + " of the " + file;
}

}  // namespace

PhoneCore::PhoneCore(const PhoneConfig &config, bool speeds_known)
    : config_(config), speeds_known_(speeds_known), plan_(config.faults) {
    summary_.acknowledged = config.acknowledged;
    for (const Fault &fault : config.faults) {
        summary_.faults.push_back(FaultName(fault));
    }
}

// ---- the driver's side ----

void PhoneCore::Receive(const uint8_t *data, size_t count, uint32_t bit_rate, int64_t first_ns,
                        int64_t byte_ns) {
    if (phase_ == Phase::kOver || count == 0) {
        return;
    }
    reader_.Append(data, count, bit_rate, first_ns, byte_ns);
    last_arrival_ns_ = first_ns + static_cast<int64_t>(count - 1) * byte_ns;
}

void PhoneCore::Advance(int64_t now_ns) {
    while (phase_ != Phase::kOver && StepOnce(now_ns)) {
    }
}

void PhoneCore::RunAhead() {
    running_ahead_ = true;
    Advance(kForever);
    running_ahead_ = false;
}

void PhoneCore::PcEchoes() {
    if (!echo_from_) {
        echo_from_ = reader_.Received();
    }
}

void PhoneCore::SetPcLetGo(bool let_go) {
    pc_let_go_ = let_go;
}

void PhoneCore::Stop(int64_t now_ns) {
    EndFromOutside(EndReason::kStopped, now_ns);
}

void PhoneCore::LineGone(int64_t now_ns) {
    EndFromOutside(EndReason::kUnplugged, now_ns);
}

// A session that has finished keeps its reason; only its lingering stops.
void PhoneCore::EndFromOutside(EndReason reason, int64_t now_ns) {
    if (phase_ == Phase::kLinger) {
        phase_ = Phase::kOver;
    }
    End(reason, WaitingFor(), now_ns);
}

std::vector<PhoneEvent> PhoneCore::TakeEvents() {
    return std::exchange(events_, {});
}

std::optional<int64_t> PhoneCore::NextWakeNs() const {
    if (phase_ == Phase::kOver) {
        return std::nullopt;
    }
    if (!steps_.empty()) {
        return free_ns_ + Ms(steps_.front().pause_ms);
    }
    if (phase_ == Phase::kLinger) {
        return linger_until_ns_;
    }
    if (reader_.Received() == 0) {
        return std::nullopt;  // the phone waits for the downloader to start, however long
    }
    return IdleDeadline();
}

Summary PhoneCore::TakeSummary() {
    summary_.consistent = summary_.complete && summary_.errors.empty();
    return std::move(summary_);
}

// ---- stepping ----

bool PhoneCore::StepOnce(int64_t now_ns) {
    if (!steps_.empty()) {
        return CarryOut(now_ns);
    }
    switch (phase_) {
        case Phase::kLoaderStart:
            Synchronise({Spot::kLoaderReady, 0}, config_.delays.loader_start_ms, "loader-ready");
            phase_ = Phase::kRequest;
            return true;
        case Phase::kErase:
            Synchronise({Spot::kEraseStart, 0}, config_.delays.erase_start_ms, "erase-start");
            Synchronise({Spot::kEraseEnd, 0}, config_.delays.erase_end_ms, "erase-end");
            phase_ = AfterCode();
            return true;
        case Phase::kRestart:
            Synchronise({Spot::kDekeReady, 0}, config_.delays.restart_ms, "deke-ready");
            phase_ = Phase::kPersoSize;
            return true;
        case Phase::kPersoDone:
            Synchronise({Spot::kPersoDone, 0}, config_.delays.perso_done_ms, "perso-done");
            phase_ = Phase::kFinished;
            return true;
        case Phase::kFinished:
            summary_.complete = true;
            End(EndReason::kFinished, "", free_ns_);
            phase_ = Phase::kLinger;
            linger_until_ns_ = free_ns_ + Ms(config_.linger_ms);
            return true;
        case Phase::kLinger:
            Linger(now_ns);
            return false;
        case Phase::kOver:
            return false;
        default:
            return AwaitFrame(now_ns);
    }
}

// The next decided step, once its pause is over. A PC that has let go of the line waits for no
// answer any more, so the pause ends at once.
bool PhoneCore::CarryOut(int64_t now_ns) {
    const int64_t due = free_ns_ + Ms(steps_.front().pause_ms);
    if (due > now_ns && !pc_let_go_) {
        return false;
    }
    free_ns_ = std::max(free_ns_, std::min(due, now_ns));
    const Step step = std::move(steps_.front());
    steps_.pop_front();
    switch (step.kind) {
        case Step::Kind::kAnswer:
            Deliver(step);
            break;
        case Step::Kind::kSync:
            SendSync(step);
            break;
        case Step::Kind::kGate:
            order_.GateHere(step.text);
            break;
        case Step::Kind::kUnplug:
            Emit(PhoneEvent::Kind::kUnplug, free_ns_);
            End(EndReason::kUnplugged, "nothing: unplugged at " + PlaceName(step.place), free_ns_);
            break;
        case Step::Kind::kEnd:
            End(step.reason, step.text, free_ns_);
            break;
    }
    return true;
}

bool PhoneCore::AwaitFrame(int64_t now_ns) {
    if (auto frame = TakeFrame()) {
        free_ns_ = std::max(free_ns_, frame->last_ns);
        Handle(*frame);
        return true;
    }
    if (pc_let_go_ && config_.end_on_release) {
        End(EndReason::kReleased, WaitingFor(), now_ns);
        return false;
    }
    if (!running_ahead_ && reader_.Received() > 0 && now_ns >= IdleDeadline()) {
        End(EndReason::kIdle, WaitingFor(), now_ns);
    }
    return false;
}

std::optional<Frame> PhoneCore::TakeFrame() {
    switch (phase_) {
        case Phase::kTargetByte:
        case Phase::kRequest:
            return reader_.TakeByte();
        case Phase::kLineFrame:
        case Phase::kLoader:
            return reader_.TakeShortFrame();
        default:
            return reader_.TakeLongFrame();
    }
}

void PhoneCore::Handle(const Frame &frame) {
    switch (phase_) {
        case Phase::kTargetByte:
            return TakeTargetByte(frame);
        case Phase::kLineFrame:
            return TakeLineFrame(frame);
        case Phase::kLoader:
            return TakeLoaderFrame(frame);
        case Phase::kRequest:
            return TakeRequest(frame);
        case Phase::kCodeSize:
            return TakeSizeFrame(frame, CodeFile(), Phase::kCodeBlocks);
        case Phase::kCodeBlocks:
            return TakeDataBlock(frame, CodeFile(), Phase::kChecksum);
        case Phase::kChecksum:
            return TakeChecksum(frame);
        case Phase::kPersoSize:
            return TakeSizeFrame(frame, PersoFile(), Phase::kPersoBlocks);
        case Phase::kPersoBlocks:
            return TakeDataBlock(frame, PersoFile(), Phase::kPersoDone);
        default:
            return;
    }
}

// After the last answer the line stays up until the PC has read it (or let go of the line).
// Anything the PC still sends meanwhile is more than the download holds; what came once its
// side echoed is the terminal's echo of the phone's own answers.
void PhoneCore::Linger(int64_t now_ns) {
    if (reader_.Pending() > 0) {
        const uint64_t first = reader_.Position();
        const uint64_t pending = reader_.TakeAll().size();
        const uint64_t from_pc =
            echo_from_ ? std::min(pending, *echo_from_ - std::min(*echo_from_, first)) : pending;
        if (from_pc > 0) {
            Error(std::to_string(from_pc) + " bytes came after the end of the download");
        }
    }
    if (pc_let_go_ || (!running_ahead_ && now_ns >= linger_until_ns_)) {
        phase_ = Phase::kOver;
    }
}

// ---- boot code ----

void PhoneCore::TakeTargetByte(const Frame &frame) {
    Reached("target");
    CheckSpeed(frame, "target", kBootBitRate);
    summary_.target_byte = frame.payload[0];
    Report(TargetByteFaults(frame.payload[0], config_.expect));
    phase_ = Phase::kLineFrame;
}

void PhoneCore::TakeLineFrame(const Frame &frame) {
    Reached("line");
    CheckSpeed(frame, "line", kBootBitRate);
    bool good = Report(CheckByteFaults(frame, "the line setup frame"));
    std::optional<LineSettings> line;
    good = Report(LineFrameFaults(frame, line)) && good;
    if (line) {
        summary_.line = line;
        Report(LineExpectationFaults(*line, config_.expect));
    }
    Acknowledge({Spot::kLineFrame, 0}, good, false, true, true);
    phase_ = Phase::kLoader;
}

// ---- loader reception ----

void PhoneCore::TakeLoaderFrame(const Frame &frame) {
    const int block = static_cast<int>(summary_.counts.loader_blocks) + 1;
    if (block == 1) {
        Reached("loader");
    }
    CheckSpeed(frame, "loader", AnnouncedBitRate());
    if (frame.length == 0) {
        // The PC reads the answers of the last group before it sends the end frame.
        order_.GateHere("the last loader block");
        CheckOrder(frame, "the loader's end frame");
        Report(CheckByteFaults(frame, "the loader's end frame"));
        ReleaseHeldAtEnd();
        phase_ = Phase::kLoaderStart;
        return;
    }
    const std::string name = "loader block " + std::to_string(block);
    CheckOrder(frame, name);
    ++summary_.counts.loader_blocks;
    const bool good = Report(CheckByteFaults(frame, name));
    Report(LoaderBlockFaults(frame, block, short_loader_block_seen_));
    short_loader_block_seen_ = short_loader_block_seen_ || frame.length < kLoaderBlockMax;
    summary_.loader.insert(summary_.loader.end(), frame.payload.begin(), frame.payload.end());
    const bool group_end = block % kGroup == 0 || frame.length < kLoaderBlockMax;
    Acknowledge({Spot::kLoaderBlock, block}, good, plan_.Withholds(Spot::kLoaderFile), group_end,
                group_end);
}

// A loader whose length is a multiple of 32 shows no short last block, so answers withheld for
// an incomplete last group are only let go when the end frame comes. A PC that reads its
// answers cannot have sent that frame without them.
void PhoneCore::ReleaseHeldAtEnd() {
    if (held_.empty()) {
        return;
    }
    if (config_.acknowledged) {
        Error("the loader's end frame came while " + std::to_string(held_.size()) +
              " withheld answers were still due");
    }
    for (Step &answer : std::exchange(held_, {})) {
        steps_.push_back(std::move(answer));
    }
}

// ---- flash loader ----

void PhoneCore::TakeRequest(const Frame &frame) {
    Reached("request");
    CheckSpeed(frame, "request", AnnouncedBitRate());
    CheckOrder(frame, "the download request byte");
    const uint8_t request = frame.payload[0];
    summary_.request_byte = request;
    last_code_frame_ns_ = frame.first_ns;
    Report(RequestByteFaults(request, config_.expect));
    phase_ = (request & 0x01) != 0 ? Phase::kCodeSize : AfterCode();
}

PhoneCore::Phase PhoneCore::AfterCode() const {
    return (*summary_.request_byte & 0x02) != 0 ? Phase::kRestart : Phase::kFinished;
}

PhoneCore::DataFile PhoneCore::CodeFile() {
    return {
        "code file", "code",        Spot::kCodeSize,    Spot::kCodeBlock,           Spot::kCodeFile,
        false,       summary_.code, summary_.code_size, summary_.counts.code_blocks};
}

PhoneCore::DataFile PhoneCore::PersoFile() {
    return {"personalization file",
            "perso",
            Spot::kPersoSize,
            Spot::kPersoBlock,
            Spot::kPersoFile,
            true,
            summary_.perso,
            summary_.perso_size,
            summary_.counts.perso_blocks};
}

void PhoneCore::TakeChecksum(const Frame &frame) {
    Reached("checksum");
    CheckSpeed(frame, "code", AnnouncedBitRate());
    CheckOrder(frame, "the checksum frame");
    last_code_frame_ns_ = frame.first_ns;
    bool good = Report(CheckByteFaults(frame, "the checksum frame"));
    const uint16_t computed = Sum16(summary_.code);
    summary_.checksum_computed = computed;
    if (frame.length == 2) {
        summary_.checksum_received = static_cast<uint16_t>(LittleEndian(frame.payload, 0, 2));
    }
    good = Report(ChecksumFaults(frame, computed)) && good;
    Acknowledge({Spot::kChecksum, 0}, good, false, true, true);
    phase_ = Phase::kErase;
}

// ---- data files ----

void PhoneCore::TakeSizeFrame(const Frame &frame, DataFile file, Phase next) {
    const std::string name = std::string("the ") + file.name + "'s size frame";
    CheckOrder(frame, name);
    const bool perso = file.file_spot == Spot::kPersoFile;
    CheckSpeed(frame, file.speed, FileBitRate(file));
    if (perso && last_code_frame_ns_) {
        summary_.perso_gap_ms = (frame.first_ns - *last_code_frame_ns_) / kNsPerMs;
    }
    const bool good = Report(CheckByteFaults(frame, name));
    if (frame.length != 4) {
        Error(name + " carries " + std::to_string(frame.length) + " bytes, not 4");
        Acknowledge({file.size_spot, 0}, false, false, true, true);
        Step give_up(Step::Kind::kEnd, {file.size_spot, 0});
        give_up.text = "a readable " + name;
        steps_.push_back(std::move(give_up));
        return;
    }
    file.size = LittleEndian(frame.payload, 0, 4);
    // The file's phase begins with its size frame answered; a line that vanishes there never
    // gets to it.
    if (!plan_.At({file.size_spot, 0}).unplug) {
        Reached(file.speed);
    }
    Acknowledge({file.size_spot, 0}, good, false, true, true);
    // A file of no bytes has no blocks.
    phase_ = *file.size > 0 ? next : (perso ? Phase::kPersoDone : Phase::kChecksum);
}

void PhoneCore::TakeDataBlock(const Frame &frame, DataFile file, Phase next) {
    const int block = static_cast<int>(file.blocks) + 1;
    const std::string name = BlockName(block, file.name);
    CheckOrder(frame, name);
    CheckSpeed(frame, file.speed, FileBitRate(file));
    ++file.blocks;
    if (file.block_spot == Spot::kCodeBlock) {
        last_code_frame_ns_ = frame.first_ns;
    }
    const bool good = Report(CheckByteFaults(frame, name)) &&
                      Report(DataBlockFaults(frame, name, *file.size, file.image.size()));
    file.image.insert(file.image.end(), frame.payload.begin(), frame.payload.end());
    const bool last = file.image.size() >= *file.size;
    const bool group_end = block % kGroup == 0 || last;
    Acknowledge({file.block_spot, block}, good, plan_.Withholds(file.file_spot), group_end,
                file.gate_each_block || group_end);
    if (last) {
        phase_ = next;
    }
}

// DEKE takes the personalization file at 115200 bit/s; the loader takes the code file at the
// announced speed.
std::optional<uint32_t> PhoneCore::FileBitRate(const DataFile &file) const {
    return file.file_spot == Spot::kPersoFile ? kDekeBitRate : AnnouncedBitRate();
}

// ---- checks ----

std::optional<uint32_t> PhoneCore::AnnouncedBitRate() const {
    if (summary_.line && summary_.line->bit_rate != 0) {
        return summary_.line->bit_rate;
    }
    return config_.expect.bit_rate;
}

// The first frame of each phase records the phase's speed (the code file's frames are checked
// but not recorded); a phase that came at a wrong speed is reported once. A speed of 0 (the PC
// had closed its port by the time the bytes were read) is not checked.
void PhoneCore::CheckSpeed(const Frame &frame, const char *phase,
                           std::optional<uint32_t> expected) {
    if (!speeds_known_) {
        return;
    }
    if (std::string_view(phase) != "code") {
        summary_.speeds.emplace(phase, frame.bit_rate);
    }
    if (expected && frame.bit_rate != 0 && frame.bit_rate != *expected &&
        slow_phases_.insert(phase).second) {
        Error(std::string("the ") + phase + " phase came at " + std::to_string(frame.bit_rate) +
              " bit/s, expected " + std::to_string(*expected));
    }
}

void PhoneCore::CheckOrder(const Frame &frame, const std::string &name) {
    if (!config_.acknowledged) {
        return;
    }
    if (auto fault = order_.Check(frame, name)) {
        Error(std::move(*fault));
    }
}

// ---- answers ----

void PhoneCore::Acknowledge(Place place, bool good, bool withhold, bool group_end, bool gate) {
    if (plan_.At(place).unplug) {
        steps_.emplace_back(Step::Kind::kUnplug, place);
        return;
    }
    Step answer(Step::Kind::kAnswer, place, plan_.At(place).delay_ms);
    answer.good = good;
    if (withhold) {
        held_.push_back(std::move(answer));
        if (!group_end) {
            return;
        }
        for (Step &due : std::exchange(held_, {})) {
            steps_.push_back(std::move(due));
        }
    } else {
        steps_.push_back(std::move(answer));
    }
    if (gate) {
        Step here(Step::Kind::kGate, place);
        here.text = PlaceName(place);
        steps_.push_back(std::move(here));
    }
}

void PhoneCore::Synchronise(Place place, uint32_t own_pause_ms, const char *phase) {
    const FaultsHere here = plan_.At(place);
    if (here.unplug) {
        steps_.emplace_back(Step::Kind::kUnplug, place);
        return;
    }
    // In blind mode the PC waits for no '8', so the phone does not keep it waiting either.
    const uint32_t pause = (config_.acknowledged ? own_pause_ms : 0) + here.delay_ms;
    Step sync(Step::Kind::kSync, place, pause);
    sync.phase = phase;
    steps_.push_back(std::move(sync));
}

void PhoneCore::Deliver(const Step &step) {
    const FaultsHere here = plan_.At(step.place);
    if (here.silent) {
        ++summary_.counts.silences;
        order_.Refused();
        return;
    }
    const uint8_t answer = here.replacement.value_or(step.good ? kAck : kNak);
    if (answer == kAck) {
        ++summary_.counts.acks;
    } else {
        ++summary_.counts.refusals;
        order_.Refused();
    }
    Send(answer);
}

void PhoneCore::SendSync(const Step &step) {
    const FaultsHere here = plan_.At(step.place);
    if (here.silent) {
        ++summary_.counts.silences;
        order_.Refused();
    } else if (here.replacement) {
        ++summary_.counts.wrong_syncs;
        order_.Refused();
        Send(*here.replacement);
    } else {
        ++summary_.counts.syncs;
        Send(kSync);
    }
    Reached(step.phase);
    order_.GateHere(PlaceName(step.place));
}

void PhoneCore::Send(uint8_t byte) {
    Emit(PhoneEvent::Kind::kAnswer, free_ns_, {}, byte);
    order_.Answered(free_ns_);
}

// ---- bookkeeping ----

std::string PhoneCore::WaitingFor() const {
    if (!steps_.empty()) {
        return "the end of a pause";
    }
    switch (phase_) {
        case Phase::kTargetByte:
            return "the memory target byte";
        case Phase::kLineFrame:
            return "the line setup frame";
        case Phase::kLoader:
            return "loader block " + std::to_string(summary_.counts.loader_blocks + 1) +
                   " or the end frame";
        case Phase::kRequest:
            return "the download request byte";
        case Phase::kCodeSize:
            return "the code file's size frame";
        case Phase::kCodeBlocks:
            return BlockName(static_cast<int>(summary_.counts.code_blocks) + 1, "code file");
        case Phase::kChecksum:
            return "the code file's checksum frame";
        case Phase::kPersoSize:
            return "the personalization file's size frame";
        case Phase::kPersoBlocks:
            return BlockName(static_cast<int>(summary_.counts.perso_blocks) + 1,
                             "personalization file");
        default:
            return "";
    }
}

// The idle clock runs from the PC's latest byte, or from the moment the phone was done with
// what it had decided, whichever is later.
int64_t PhoneCore::IdleDeadline() const {
    return std::max(free_ns_, last_arrival_ns_) + Ms(config_.idle_timeout_ms);
}

void PhoneCore::Emit(PhoneEvent::Kind kind, int64_t at_ns, std::string text, uint8_t byte) {
    PhoneEvent event;
    event.kind = kind;
    event.at_ns = at_ns;
    event.byte = byte;
    event.text = std::move(text);
    events_.push_back(std::move(event));
}

bool PhoneCore::Report(Faults faults) {
    const bool none = faults.empty();
    for (std::string &fault : faults) {
        Error(std::move(fault));
    }
    return none;
}

void PhoneCore::Error(std::string text) {
    Emit(PhoneEvent::Kind::kError, free_ns_, text);
    summary_.errors.push_back(std::move(text));
}

void PhoneCore::Reached(const char *phase) {
    Emit(PhoneEvent::Kind::kPhase, free_ns_, phase);
    summary_.phases.emplace_back(phase);
}

void PhoneCore::End(EndReason reason, const std::string &waiting_for, int64_t at_ns) {
    if (ended_) {
        return;
    }
    ended_ = true;
    summary_.end = reason;
    summary_.waiting_for = waiting_for;
    Emit(PhoneEvent::Kind::kEnd, at_ns, waiting_for);
    events_.back().reason = reason;
    if (reason != EndReason::kFinished) {
        steps_.clear();
        phase_ = Phase::kOver;
    }
}

}  // namespace dekvanto::sim
