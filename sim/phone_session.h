// One download as the phone lives it, from the first byte at 2400 bit/s to the last '8'.
//
// The phone plays every party that answers the PC in turn:
//   boot code        takes the memory target byte and the line setup frame at 2400 bit/s,
//                    answers the frame with 0x06 and moves to the announced speed;
//   loader reception takes the loader in short frames of up to 32 bytes, answering each with
//                    0x06, until the empty end frame 00 00, then sends '8' (loader started);
//   flash loader     takes the download request byte 0x40 | flags (bit 0 code file, bit 1
//                    personalization file); for a code file its size frame, 256-byte long-frame
//                    blocks and checksum frame (compared with the 16-bit sum of what arrived),
//                    each answered with 0x06; then '8' when erasing starts and '8' when it ends;
//   DEKE             the resident boot loader after the restart: '8' when ready, then at
//                    115200 bit/s the personalization file's size frame and blocks, each
//                    answered with 0x06, and a final '8'.
// A frame that arrives damaged (check byte, length, contents) is answered with 0x15. The phone
// answers the same whether the PC reads the answers or not.
//
// On the way it checks everything it receives against the protocol and the expectations it
// was given, the line speed of each phase, and, in acknowledged mode, that the PC never sends
// a frame before it could have read the answer it has to wait for (or goes on after a refused
// one). Faults from the plan are committed at their places.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "sim/faults.h"
#include "sim/frame_reader.h"
#include "sim/phone_config.h"
#include "sim/phone_link.h"
#include "sim/summary.h"

namespace dekvanto::sim {

class PhoneSession {
  public:
    PhoneSession(const PhoneConfig &config, PhoneLink &link);

    // Runs the download to its end (finished, idle, released, stopped, unplugged) and returns
    // what came of it. Runs once.
    Summary Run();

  private:
    using Take = std::optional<Frame> (FrameReader::*)();

    // The phases, in order; each returns false when the session has ended.
    bool ReceiveTargetByte();
    bool ReceiveLineFrame();
    bool ReceiveLoader();
    bool ReleaseHeldAtEnd();
    bool StartLoader();
    bool ReceiveRequest();
    bool ReceiveCodeFile();
    bool ReceiveChecksum();
    bool EraseFlash();
    bool RestartIntoDeke();
    bool ReceivePersoFile();
    void Linger();

    // A data file in long frames (code file or personalization file).
    struct DataFile {
        const char *name;  // "code file", "personalization file"
        Spot size_spot;
        Spot block_spot;
        Spot file_spot;
        bool gate_each_block;  // the PC reads every block's answer before the next block
        std::vector<uint8_t> &image;
        std::optional<uint32_t> &size;
        uint32_t &blocks;
    };
    bool ReceiveSizeFrame(DataFile file);
    bool ReceiveDataBlocks(DataFile file);

    void CheckLineFrame(const Frame &frame, bool &good);
    void CheckLineExpectations(const LineSettings &line);
    void CheckLoaderBlock(const Frame &frame, int block, bool &short_seen);
    bool CheckDataBlock(const Frame &frame, const DataFile &file, int block);
    void CheckSpeed(const char *phase, const Frame &frame, std::optional<uint32_t> expected);
    void CheckOrder(const Frame &frame, const std::string &name);
    bool CheckFrameCheck(const Frame &frame, const std::string &name);
    std::optional<uint32_t> AnnouncedBitRate() const;

    int64_t IdleDeadline() const;
    // Waits for the next frame of the given format; nothing when the session ends first.
    std::optional<Frame> Await(Take take, const std::string &what);
    // Pauses, still taking in what the PC sends; false when the session must end.
    bool Pause(uint32_t ms);

    // Answers a frame (0x06 when good, else 0x15), with the faults placed there. A withheld
    // answer waits until group_end. gate: the PC must read this answer before it sends on.
    bool Acknowledge(Place place, bool good, bool withhold, bool group_end, bool gate);
    bool Deliver(Place place, bool good);
    // Sends '8' after the phone's own delay, with the faults placed there.
    bool Synchronise(Place place, uint32_t own_delay_ms, const char *phase);
    void Send(uint8_t byte);
    void GateHere(const std::string &name);
    bool UnplugAt(Place place);

    void Error(std::string text);
    void Reached(const char *phase);
    void End(EndReason reason, const std::string &waiting_for);

    const PhoneConfig &config_;
    PhoneLink &link_;
    FrameReader &reader_;
    FaultPlan plan_;
    Summary summary_;
    bool ended_ = false;

    // Ordering of answers and frames (acknowledged mode): no frame may start before position
    // gate_ of the received stream, where the PC could first have read the answer named
    // gate_name_; gate_refused_ when an answer before that gate was refused or left out.
    uint64_t gate_ = 0;
    std::string gate_name_;
    bool gate_refused_ = false;
    bool refused_since_gate_ = false;
    uint64_t last_answer_mark_ = 0;

    struct Held {
        Place place;
        bool good;
    };
    std::vector<Held> held_;
    int64_t last_code_frame_ms_ = 0;
};

}  // namespace dekvanto::sim
