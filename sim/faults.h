// Faults that the simulated phone can be told to commit, and where.
//
// A fault is placed at one spot of the download as the phone sees it: an answer to a frame (the
// line setup frame, a loader block, a size frame, a data block, the checksum frame), one of the
// synchronisation characters '8' that the phone sends when a step is finished, or a whole file
// (for withheld acknowledgements). Blocks are counted from 1 within their file.
//
// Text form, as given on the command line:   KIND[=VALUE]@PLACE
//   kinds   nak[=BYTE]      answer the frame with BYTE instead of 0x06 (default 0x15)
//           silent          do not answer the frame at all
//           badsync[=BYTE]  send BYTE instead of '8' (default 0x39)
//           nosync          send nothing instead of '8'
//           delay=MS        wait MS milliseconds before the answer or the '8'
//           withhold        send the acknowledgements of a file's blocks only once the fifth
//                           block of each group of five (or the visibly last block) has arrived
//           unplug          the line vanishes when the frame arrives or the '8' is due
//   places  line, loader-block:K, code-size, code-block:K, checksum, perso-size, perso-block:K
//           (answers); loader-ready, erase-start, erase-end, deke-ready, perso-done ('8');
//           loader, code, perso (whole files, for withhold)
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace dekvanto::sim {

// A spot in the download where the phone answers, or a whole file.
enum class Spot {
    kLineFrame,    // answer to the line setup frame
    kLoaderBlock,  // answer to loader block k
    kCodeSize,     // answer to the code file's size frame
    kCodeBlock,    // answer to code block k
    kChecksum,     // answer to the code file's checksum frame
    kPersoSize,    // answer to the personalization file's size frame
    kPersoBlock,   // answer to personalization block k
    kLoaderReady,  // '8': the loader has started
    kEraseStart,   // '8': the code file is written, erasing the rest of the flash begins
    kEraseEnd,     // '8': erasing has ended
    kDekeReady,    // '8': the phone has restarted into the resident boot loader DEKE
    kPersoDone,    // '8': the personalization file is written
    kLoaderFile,   // the loader as a whole
    kCodeFile,     // the code file as a whole
    kPersoFile,    // the personalization file as a whole
};

// One place: a spot, and for the block spots the block number (1 = first block of the file).
struct Place {
    Spot spot = Spot::kLineFrame;
    int block = 0;

    bool operator==(const Place &) const = default;
};

enum class FaultKind {
    kWrongAck,   // a byte other than 0x06 answers the frame
    kNoAck,      // the frame gets no answer
    kWrongSync,  // a byte other than '8' comes instead of '8'
    kNoSync,     // nothing comes instead of '8'
    kDelay,      // the answer or the '8' comes late
    kWithhold,   // acknowledgements held back until a group of five blocks is complete
    kUnplug,     // the line disappears
};

struct Fault {
    FaultKind kind = FaultKind::kWrongAck;
    Place place;
    uint8_t byte = 0;       // the wrong byte (kWrongAck, kWrongSync); 0 means the default
    uint32_t delay_ms = 0;  // kDelay only
};

// Everything the plan asks for at one place, all faults placed there taken together.
struct FaultsHere {
    bool unplug = false;
    bool silent = false;                 // no answer (kNoAck, kNoSync)
    std::optional<uint8_t> replacement;  // the byte sent instead of 0x06 or '8'
    uint32_t delay_ms = 0;               // sum of the delays placed here
};

// The faults of one session, looked up by place while the phone runs.
class FaultPlan {
  public:
    FaultPlan() = default;
    explicit FaultPlan(std::vector<Fault> faults) : faults_(std::move(faults)) {}

    FaultsHere At(Place place) const;

    // True when the acknowledgements of this file (kLoaderFile, kCodeFile, kPersoFile) are
    // withheld until each group of five blocks is complete.
    bool Withholds(Spot file) const;

  private:
    std::vector<Fault> faults_;
};

// The byte used when a fault of this kind gives none: 0x15 for kWrongAck, 0x39 for kWrongSync.
uint8_t DefaultFaultByte(FaultKind kind);

// Parses "KIND[=VALUE]@PLACE". On failure returns nothing and says why in error.
std::optional<Fault> ParseFault(std::string_view text, std::string &error);

// Checks that the kind fits the place (answers take nak/silent, '8' takes badsync/nosync,
// files take withhold, ...). Returns "" when it does, else the reason.
std::string FaultMisfit(const Fault &fault);

// The text form of a place ("code-block:3") and of a fault ("nak=0x15@code-block:3").
std::string PlaceName(Place place);
std::string FaultName(const Fault &fault);

}  // namespace dekvanto::sim
