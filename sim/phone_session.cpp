#include "sim/phone_session.h"

#include <algorithm>
#include <cstdio>
#include <limits>
#include <utility>

namespace dekvanto::sim {
namespace {

constexpr uint8_t kAck = 0x06;
constexpr uint8_t kNak = 0x15;
constexpr uint8_t kSync = '8';
constexpr uint32_t kBootBitRate = 2400;
constexpr uint32_t kDekeBitRate = 115200;
constexpr uint32_t kLoaderBlockMax = 32;
constexpr uint32_t kDataBlockMax = 256;
constexpr int kGroup = 5;

std::string Hex(uint32_t value) {
    char text[16];
    std::snprintf(text, sizeof text, "0x%02X", value);
    return text;
}

uint32_t Little(const std::vector<uint8_t> &bytes, size_t from, size_t count) {
    uint32_t value = 0;
    for (size_t i = 0; i < count; ++i) {
        value |= static_cast<uint32_t>(bytes[from + i]) << (8 * i);
    }
    return value;
}

// The line setup frame's speed code: 6 -> 57600, 7 -> 115200, 8 -> 230400, 9 -> 460800.
uint32_t BitRateOfCode(uint8_t code) {
    return code >= 6 && code <= 9 ? 57600u << (code - 6) : 0;
}

}  // namespace

PhoneSession::PhoneSession(const PhoneConfig &config, PhoneLink &link)
    : config_(config), link_(link), reader_(link.Reader()), plan_(config.faults) {
    summary_.acknowledged = config.acknowledged;
    for (const Fault &fault : config.faults) {
        summary_.faults.push_back(FaultName(fault));
    }
}

Summary PhoneSession::Run() {
    const bool loaded = ReceiveTargetByte() && ReceiveLineFrame() && ReceiveLoader() &&
                        StartLoader() && ReceiveRequest();
    if (loaded) {
        const uint8_t flags = *summary_.request_byte & 0x03;
        bool going = true;
        if (flags & 0x01) {
            going = ReceiveCodeFile() && ReceiveChecksum() && EraseFlash();
        }
        if (going && (flags & 0x02)) {
            going = RestartIntoDeke() && ReceivePersoFile();
        }
        if (going) {
            summary_.complete = true;
            End(EndReason::kFinished, "");
            Linger();
        }
    }
    // Answers still on the wire are let out before the line goes.
    link_.SendPendingAnswers();
    summary_.counts.unheard += link_.Unheard();
    summary_.consistent = summary_.complete && summary_.errors.empty();
    return std::move(summary_);
}

// ---- boot code ----

bool PhoneSession::ReceiveTargetByte() {
    const auto frame = Await(&FrameReader::TakeByte, "the memory target byte");
    if (!frame) {
        return false;
    }
    Reached("target");
    CheckSpeed("target", *frame, kBootBitRate);
    const uint8_t target = frame->payload[0];
    summary_.target_byte = target;
    if ((target & ~0x38) != 0) {
        Error("memory target byte " + Hex(target) +
              " has bits set besides the wait states (bits 3-4) and the bus width (bit 5)");
    }
    if (config_.expect.target_byte && target != *config_.expect.target_byte) {
        Error("memory target byte " + Hex(target) + ", expected " +
              Hex(*config_.expect.target_byte));
    }
    return true;
}

bool PhoneSession::ReceiveLineFrame() {
    const auto frame = Await(&FrameReader::TakeShortFrame, "the line setup frame");
    if (!frame) {
        return false;
    }
    Reached("line");
    CheckSpeed("line", *frame, kBootBitRate);
    bool good = CheckFrameCheck(*frame, "the line setup frame");
    CheckLineFrame(*frame, good);
    return Acknowledge({Spot::kLineFrame, 0}, good, false, true, true);
}

void PhoneSession::CheckLineFrame(const Frame &frame, bool &good) {
    const auto &p = frame.payload;
    if (p.size() != 6 || p[0] != 'S' || p[2] != 'P' || p[4] != 'T') {
        Error("the line setup frame is not 06 'S' speed 'P' parity 'T' stop-bits");
        good = false;
        return;
    }
    LineSettings line{BitRateOfCode(p[1]), p[3], p[5]};
    if (line.bit_rate == 0) {
        Error("line setup frame: speed code " + std::to_string(p[1]) + " is not 6..9");
        good = false;
    }
    if (line.parity > 2) {
        Error("line setup frame: parity " + std::to_string(line.parity) + " is not 0..2");
        good = false;
    }
    if (line.stop_bits < 1 || line.stop_bits > 2) {
        Error("line setup frame: stop-bit count " + std::to_string(line.stop_bits) +
              " is not 1 or 2");
        good = false;
    }
    summary_.line = line;
    CheckLineExpectations(line);
}

void PhoneSession::CheckLineExpectations(const LineSettings &line) {
    const Expectations &expect = config_.expect;
    if (expect.bit_rate && line.bit_rate != *expect.bit_rate) {
        Error("line setup frame announces " + std::to_string(line.bit_rate) + " bit/s, expected " +
              std::to_string(*expect.bit_rate));
    }
    if (expect.parity && line.parity != *expect.parity) {
        Error("line setup frame announces parity " + std::to_string(line.parity) + ", expected " +
              std::to_string(*expect.parity));
    }
    if (expect.stop_bits && line.stop_bits != *expect.stop_bits) {
        Error("line setup frame announces " + std::to_string(line.stop_bits) +
              " stop bits, expected " + std::to_string(*expect.stop_bits));
    }
}

// ---- loader reception ----

bool PhoneSession::ReceiveLoader() {
    const bool withhold = plan_.Withholds(Spot::kLoaderFile);
    bool short_seen = false;
    for (int block = 1;; ++block) {
        const std::string name = "loader block " + std::to_string(block) + " or the end frame";
        const auto frame = Await(&FrameReader::TakeShortFrame, name);
        if (!frame) {
            return false;
        }
        if (block == 1) {
            Reached("loader");
            CheckSpeed("loader", *frame, AnnouncedBitRate());
        }
        if (frame->length == 0) {
            // The PC reads the answers of the last group before it sends the end frame.
            GateHere("the last loader block");
            CheckOrder(*frame, "the loader's end frame");
            CheckFrameCheck(*frame, "the loader's end frame");
            return ReleaseHeldAtEnd();
        }
        CheckOrder(*frame, "loader block " + std::to_string(block));
        ++summary_.counts.loader_blocks;
        const bool good = CheckFrameCheck(*frame, "loader block " + std::to_string(block));
        CheckLoaderBlock(*frame, block, short_seen);
        summary_.loader.insert(summary_.loader.end(), frame->payload.begin(), frame->payload.end());
        const bool group_end = block % kGroup == 0 || frame->length < kLoaderBlockMax;
        if (!Acknowledge({Spot::kLoaderBlock, block}, good, withhold, group_end, group_end)) {
            return false;
        }
    }
}

// A loader whose length is a multiple of 32 shows no short last block, so answers withheld for
// an incomplete last group are only let go when the end frame comes. A PC that reads its
// answers cannot have sent that frame without them.
bool PhoneSession::ReleaseHeldAtEnd() {
    if (held_.empty()) {
        return true;
    }
    if (config_.acknowledged) {
        Error("the loader's end frame came while " + std::to_string(held_.size()) +
              " withheld answers were still due");
    }
    const std::vector<Held> due = std::exchange(held_, {});
    for (const Held &answer : due) {
        if (!Deliver(answer.place, answer.good)) {
            return false;
        }
    }
    return true;
}

void PhoneSession::CheckLoaderBlock(const Frame &frame, int block, bool &short_seen) {
    if (frame.length > kLoaderBlockMax) {
        Error("loader block " + std::to_string(block) + " carries " + std::to_string(frame.length) +
              " bytes, more than 32");
    }
    if (short_seen) {
        Error("loader block " + std::to_string(block) + " follows a block shorter than 32 bytes");
    }
    short_seen = short_seen || frame.length < kLoaderBlockMax;
}

bool PhoneSession::StartLoader() {
    return Synchronise({Spot::kLoaderReady, 0}, config_.delays.loader_start_ms, "loader-ready");
}

// ---- flash loader ----

bool PhoneSession::ReceiveRequest() {
    const auto frame = Await(&FrameReader::TakeByte, "the download request byte");
    if (!frame) {
        return false;
    }
    Reached("request");
    CheckSpeed("request", *frame, AnnouncedBitRate());
    CheckOrder(*frame, "the download request byte");
    const uint8_t request = frame->payload[0];
    summary_.request_byte = request;
    last_code_frame_ms_ = frame->arrival_ms;
    if ((request & 0xFC) != 0x40) {
        Error("download request byte " + Hex(request) + " is not 0x40..0x43");
    }
    if (config_.expect.request_byte && request != *config_.expect.request_byte) {
        Error("download request byte " + Hex(request) + ", expected " +
              Hex(*config_.expect.request_byte));
    }
    return true;
}

bool PhoneSession::ReceiveCodeFile() {
    const DataFile code{
        "code file", Spot::kCodeSize, Spot::kCodeBlock,   Spot::kCodeFile,
        false,       summary_.code,   summary_.code_size, summary_.counts.code_blocks};
    if (!ReceiveSizeFrame(code)) {
        return false;
    }
    Reached("code");
    return ReceiveDataBlocks(code);
}

bool PhoneSession::ReceiveChecksum() {
    const auto frame = Await(&FrameReader::TakeLongFrame, "the code file's checksum frame");
    if (!frame) {
        return false;
    }
    Reached("checksum");
    CheckOrder(*frame, "the checksum frame");
    last_code_frame_ms_ = frame->arrival_ms;
    bool good = CheckFrameCheck(*frame, "the checksum frame");
    const uint16_t computed = Sum16(summary_.code);
    summary_.checksum_computed = computed;
    if (frame->length != 2) {
        Error("the checksum frame carries " + std::to_string(frame->length) + " bytes, not 2");
        good = false;
    } else {
        const auto received = static_cast<uint16_t>(Little(frame->payload, 0, 2));
        summary_.checksum_received = received;
        if (received != computed) {
            Error("checksum frame says " + Hex(received) + ", the code file received sums to " +
                  Hex(computed));
            good = false;
        }
    }
    return Acknowledge({Spot::kChecksum, 0}, good, false, true, true);
}

bool PhoneSession::EraseFlash() {
    return Synchronise({Spot::kEraseStart, 0}, config_.delays.erase_start_ms, "erase-start") &&
           Synchronise({Spot::kEraseEnd, 0}, config_.delays.erase_end_ms, "erase-end");
}

// ---- DEKE ----

bool PhoneSession::RestartIntoDeke() {
    return Synchronise({Spot::kDekeReady, 0}, config_.delays.restart_ms, "deke-ready");
}

bool PhoneSession::ReceivePersoFile() {
    const DataFile perso{"personalization file",
                         Spot::kPersoSize,
                         Spot::kPersoBlock,
                         Spot::kPersoFile,
                         true,
                         summary_.perso,
                         summary_.perso_size,
                         summary_.counts.perso_blocks};
    if (!ReceiveSizeFrame(perso)) {
        return false;
    }
    Reached("perso");
    return ReceiveDataBlocks(perso) &&
           Synchronise({Spot::kPersoDone, 0}, config_.delays.perso_done_ms, "perso-done");
}

// ---- data files ----

bool PhoneSession::ReceiveSizeFrame(DataFile file) {
    const std::string name = std::string("the ") + file.name + "'s size frame";
    const auto frame = Await(&FrameReader::TakeLongFrame, name);
    if (!frame) {
        return false;
    }
    CheckOrder(*frame, name);
    if (file.size_spot == Spot::kPersoSize) {
        CheckSpeed("perso", *frame, kDekeBitRate);
        summary_.perso_gap_ms = frame->arrival_ms - last_code_frame_ms_;
    }
    bool good = CheckFrameCheck(*frame, name);
    if (frame->length != 4) {
        Error(name + " carries " + std::to_string(frame->length) + " bytes, not 4");
        Acknowledge({file.size_spot, 0}, false, false, true, true);
        End(EndReason::kGaveUp, "a readable " + name);
        return false;
    }
    file.size = Little(frame->payload, 0, 4);
    return Acknowledge({file.size_spot, 0}, good, false, true, true);
}

bool PhoneSession::ReceiveDataBlocks(DataFile file) {
    const bool withhold = plan_.Withholds(file.file_spot);
    const uint32_t size = *file.size;
    for (int block = 1; file.image.size() < size; ++block) {
        const std::string name = "block " + std::to_string(block) + " of the " + file.name;
        const auto frame = Await(&FrameReader::TakeLongFrame, name);
        if (!frame) {
            return false;
        }
        CheckOrder(*frame, name);
        ++file.blocks;
        if (file.block_spot == Spot::kCodeBlock) {
            last_code_frame_ms_ = frame->arrival_ms;
        }
        const bool good = CheckFrameCheck(*frame, name) && CheckDataBlock(*frame, file, block);
        file.image.insert(file.image.end(), frame->payload.begin(), frame->payload.end());
        const bool last = file.image.size() >= size;
        const bool group_end = block % kGroup == 0 || last;
        const bool gate = file.gate_each_block || group_end;
        if (!Acknowledge({file.block_spot, block}, good, withhold, group_end, gate)) {
            return false;
        }
    }
    return true;
}

bool PhoneSession::CheckDataBlock(const Frame &frame, const DataFile &file, int block) {
    const std::string name = "block " + std::to_string(block) + " of the " + file.name;
    const uint64_t remaining = *file.size - file.image.size();
    if (frame.length == 0 || frame.length > kDataBlockMax) {
        Error(name + " carries " + std::to_string(frame.length) + " bytes, not 1..256");
        return false;
    }
    if (frame.length > remaining) {
        Error(name + " carries " + std::to_string(frame.length) + " bytes, past the announced " +
              std::to_string(*file.size));
        return false;
    }
    if (frame.length < kDataBlockMax && frame.length != remaining) {
        Error(name + " carries only " + std::to_string(frame.length) +
              " bytes but is not the last");
        return false;
    }
    return true;
}

// ---- checks ----

std::optional<uint32_t> PhoneSession::AnnouncedBitRate() const {
    if (summary_.line && summary_.line->bit_rate != 0) {
        return summary_.line->bit_rate;
    }
    return config_.expect.bit_rate;
}

// The speed of a phase is known only where the PC waits for the phone's answer before it sends
// on or switches speed again. A PC in blind mode may have switched (or closed its port) by the
// time its bytes are read, so there the speed is neither recorded nor checked.
void PhoneSession::CheckSpeed(const char *phase, const Frame &frame,
                              std::optional<uint32_t> expected) {
    if (!config_.acknowledged) {
        return;
    }
    summary_.speeds[phase] = frame.bit_rate;
    if (expected && frame.bit_rate != 0 && frame.bit_rate != *expected) {
        Error(std::string("the ") + phase + " phase came at " + std::to_string(frame.bit_rate) +
              " bit/s, expected " + std::to_string(*expected));
    }
}

bool PhoneSession::CheckFrameCheck(const Frame &frame, const std::string &name) {
    if (frame.CheckOk()) {
        return true;
    }
    Error(name + " has check byte " + Hex(frame.check) + ", the XOR of its bytes is " +
          Hex(frame.expected));
    return false;
}

void PhoneSession::CheckOrder(const Frame &frame, const std::string &name) {
    if (!config_.acknowledged) {
        return;
    }
    if (frame.start < gate_) {
        Error(name + " came before the PC could have read the answer to " + gate_name_);
    } else if (gate_refused_) {
        Error("the PC went on with " + name + " although an answer up to " + gate_name_ +
              " was refused or missing");
    } else {
        return;
    }
    gate_ = 0;
    gate_refused_ = false;
}

// ---- answers ----

bool PhoneSession::Acknowledge(Place place, bool good, bool withhold, bool group_end, bool gate) {
    if (plan_.At(place).unplug) {
        return UnplugAt(place);
    }
    if (withhold) {
        held_.push_back({place, good});
        if (!group_end) {
            return true;
        }
        const std::vector<Held> due = std::exchange(held_, {});
        for (const Held &answer : due) {
            if (!Deliver(answer.place, answer.good)) {
                return false;
            }
        }
    } else if (!Deliver(place, good)) {
        return false;
    }
    if (gate) {
        GateHere(PlaceName(place));
    }
    return true;
}

bool PhoneSession::Deliver(Place place, bool good) {
    const FaultsHere here = plan_.At(place);
    if (here.delay_ms > 0 && !Pause(here.delay_ms)) {
        return false;
    }
    if (here.silent) {
        ++summary_.counts.silences;
        refused_since_gate_ = true;
        return true;
    }
    const uint8_t answer = here.replacement.value_or(good ? kAck : kNak);
    if (answer == kAck) {
        ++summary_.counts.acks;
    } else {
        ++summary_.counts.refusals;
        refused_since_gate_ = true;
    }
    Send(answer);
    return true;
}

bool PhoneSession::Synchronise(Place place, uint32_t own_delay_ms, const char *phase) {
    const FaultsHere here = plan_.At(place);
    if (here.unplug) {
        return UnplugAt(place);
    }
    // In blind mode the PC waits for no '8', so the phone does not keep it waiting either.
    const uint32_t delay = (config_.acknowledged ? own_delay_ms : 0) + here.delay_ms;
    if (delay > 0 && !Pause(delay)) {
        return false;
    }
    if (here.silent) {
        ++summary_.counts.silences;
        refused_since_gate_ = true;
    } else if (here.replacement) {
        ++summary_.counts.wrong_syncs;
        refused_since_gate_ = true;
        Send(*here.replacement);
    } else {
        ++summary_.counts.syncs;
        Send(kSync);
    }
    Reached(phase);
    GateHere(PlaceName(place));
    return true;
}

void PhoneSession::Send(uint8_t byte) {
    if (!link_.Send(byte)) {
        ++summary_.counts.unheard;
    }
    last_answer_mark_ = reader_.Received();
}

void PhoneSession::GateHere(const std::string &name) {
    gate_ = last_answer_mark_;
    gate_name_ = name;
    gate_refused_ = gate_refused_ || refused_since_gate_;
    refused_since_gate_ = false;
}

bool PhoneSession::UnplugAt(Place place) {
    link_.Unplug();
    End(EndReason::kUnplugged, "nothing: unplugged at " + PlaceName(place));
    return false;
}

// ---- waiting ----

// The idle clock runs from the PC's latest byte. Until its first byte the phone waits as long as
// it takes the downloader to start (a stop, the PC letting go of the line or an unplug still end
// the wait).
int64_t PhoneSession::IdleDeadline() const {
    return reader_.Received() == 0 ? std::numeric_limits<int64_t>::max()
                                   : NowMs() + config_.idle_timeout_ms;
}

std::optional<Frame> PhoneSession::Await(Take take, const std::string &what) {
    int64_t idle_deadline = IdleDeadline();
    for (;;) {
        if (auto frame = (reader_.*take)()) {
            return frame;
        }
        switch (link_.Pump(idle_deadline, !config_.end_on_release)) {
            case PhoneLink::Pumped::kData:
                idle_deadline = IdleDeadline();
                continue;
            case PhoneLink::Pumped::kStopped:
                End(EndReason::kStopped, what);
                return std::nullopt;
            case PhoneLink::Pumped::kGone:
                End(EndReason::kUnplugged, what);
                return std::nullopt;
            case PhoneLink::Pumped::kNothing:
                if (link_.Released() && config_.end_on_release) {
                    End(EndReason::kReleased, what);
                    return std::nullopt;
                }
                if (NowMs() >= idle_deadline) {
                    End(EndReason::kIdle, what);
                    return std::nullopt;
                }
                continue;
        }
    }
}

bool PhoneSession::Pause(uint32_t ms) {
    // The clock counts whole milliseconds; one more makes the pause last at least ms.
    const int64_t until = NowMs() + ms + 1;
    while (NowMs() < until) {
        switch (link_.Pump(until)) {
            case PhoneLink::Pumped::kStopped:
                End(EndReason::kStopped, "the end of a pause");
                return false;
            case PhoneLink::Pumped::kGone:
                End(EndReason::kUnplugged, "the end of a pause");
                return false;
            case PhoneLink::Pumped::kNothing:
                if (link_.Released()) {
                    return true;  // nobody waits for the answer any more
                }
                break;
            case PhoneLink::Pumped::kData:
                break;
        }
    }
    return true;
}

// After the last answer the line stays up until the PC has read it (or, when it held the line,
// let it go). Anything the PC still sends meanwhile is more than the download holds.
void PhoneSession::Linger() {
    const int64_t until = NowMs() + config_.linger_ms;
    for (;;) {
        const auto pumped = link_.Pump(std::min(until, NowMs() + 10));
        if (reader_.Pending() > 0) {
            const size_t extra = reader_.TakeAll().size();
            if (!link_.PcDeaf()) {
                Error(std::to_string(extra) + " bytes came after the end of the download");
            }
        }
        const bool done = link_.Released() ||
                          (!link_.HeldSeen() && !link_.AnswersPending() && link_.Unread() == 0);
        if (done || pumped == PhoneLink::Pumped::kStopped || pumped == PhoneLink::Pumped::kGone ||
            NowMs() >= until) {
            return;
        }
    }
}

// ---- bookkeeping ----

void PhoneSession::Error(std::string text) {
    summary_.errors.push_back(std::move(text));
}

void PhoneSession::Reached(const char *phase) {
    summary_.phases.emplace_back(phase);
}

void PhoneSession::End(EndReason reason, const std::string &waiting_for) {
    if (ended_) {
        return;
    }
    ended_ = true;
    summary_.end = reason;
    summary_.waiting_for = waiting_for;
}

}  // namespace dekvanto::sim
