// The messages between a station's process and its parent: `vanto download` with several ports
// and `vanto bench` run each station in a process of its own (the engine's state is
// process-wide). One JSON object per line, on the station's standard output and standard input.
// This is the only place where they are written and read.
//
// From a station to its parent:
//   {"kind":"event","event":{...}}      one of the station's events (download_events.h), whole
//   {"kind":"ask","unit":12}            a bench station asks for the go-ahead of its unit 12
//   {"kind":"error","text":"..."}       why the station cannot go on (it ends right after)
//   {"kind":"summary","summary":{...}}  a download station's summary at its end (vanto's --json)
// From the parent to a bench station:
//   {"kind":"go"}                       the asked-for unit may go ahead
//   {"kind":"go","unit_id":"SN-0042"}   ... with its scanned identifier
// The end of a station's input means: no more units.
//
// A line of a station's output that is no message (what a crashing process printed on its way
// out) is not taken for one: the reader says so, and the parent shows it as it is.
#pragma once

#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>

#include "core/download/download_events.h"

namespace dekvanto::core {

enum class StationMessageKind { kEvent, kAsk, kError, kSummary, kGo };

struct StationMessage {
    StationMessageKind kind = StationMessageKind::kEvent;
    DownloadEvent event{};                 // kEvent
    int unit = 0;                          // kAsk
    std::string text{};                    // kError
    nlohmann::json summary{};              // kSummary: an object
    std::optional<std::string> unit_id{};  // kGo

    bool operator==(const StationMessage &) const = default;
};

// The message as one line, without its line end. Text that is not valid UTF-8 has its bad bytes
// replaced, so a message is always written.
std::string StationMessageLine(const StationMessage &message);
// An event line (EventLine) wrapped as a message, as a station's event writer hands it on.
std::string EventMessageLine(std::string_view event_line);

struct StationMessageReading {
    std::optional<StationMessage> message;  // set when the line is a message
    std::string problem;                    // why it is not, when it is not
};

// Reads one line (a trailing CR is ignored). A message holding an event of a kind this reader
// does not know is no message either (problem says so): a newer station's event is passed over.
StationMessageReading ReadStationMessage(std::string_view line);

}  // namespace dekvanto::core
