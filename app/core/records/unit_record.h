// The record of one unit: one phone flashed on a production bench, kept so that it can be shown
// later which firmware went into which phone, with which settings, and how it ended.
//
// A record has three pieces. What every unit of a run shares (RecordConstants: the host, the
// tool's version, the product, the line settings and the files sent with their sizes, checksums
// and SHA-256) is worked out once from the download request. What a unit adds when it starts
// (UnitStart: station, device, unit number, scanned identifier, operator, start time) goes into
// its start line; what it adds when it ends (UnitEnd: end time, seconds, bytes, result, status,
// result line, the bench's reason and log) goes, with all the rest, into its end line
// (record_lines.h). When the station later finds the phone gone, a removal line names the unit
// again. The file format is described for users in docs/records.md.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/download/download_outcome.h"
#include "core/download/download_request.h"
#include "core/ports/port_list.h"

namespace dekvanto::core {

// The version of the record lines' layout, written into every line as "schema". A reader skips
// lines of any other version.
inline constexpr int kUnitRecordSchema = 1;

// The device behind a station's port.
struct RecordDevice {
    std::string path;                        // what the port opens ("/dev/ttyUSB0"); "" unknown
    std::optional<std::string> usb_serial;   // a USB adapter's serial number, where known
    std::optional<std::string> usb_product;  // a USB adapter's product name, where known

    bool operator==(const RecordDevice &) const = default;
};

// The line and memory settings as values. A setting whose position lies outside its list (a
// settings file edited by hand) has none.
struct RecordSettings {
    std::optional<int64_t> speed;       // bit/s
    std::optional<std::string> parity;  // "none", "odd", "even"
    std::optional<int> stop_bits;       // 1, 2
    std::optional<int> bus;             // the phone's memory bus width in bits: 8, 16
    std::optional<int> wait_states;     // 0 to 3
    std::string mode;                   // "acknowledged" or "blind"

    bool operator==(const RecordSettings &) const = default;
};

// One file sent to the phone.
struct SentFile {
    std::string role;  // "loader", "code" or "perso", in the order they are sent
    std::string path;  // full path
    int64_t size = 0;
    std::string sum16;   // the checksum as the main window shows it ("FED9")
    std::string sha256;  // 64 lower-case hexadecimal digits

    bool operator==(const SentFile &) const = default;
};

// What every unit of one run shares.
struct RecordConstants {
    std::string host;
    std::string tool_version;
    std::optional<std::string> product;  // as the product list spells it
    RecordSettings settings;
    std::vector<SentFile> files;

    bool operator==(const RecordConstants &) const = default;
};

// What a unit adds when it starts.
struct UnitStart {
    std::string station;  // the port name, "COM3"
    RecordDevice device;
    int64_t unit = 0;                          // 1, 2, ... per station
    std::optional<std::string> unit_id;        // scanned identifier, or none
    std::optional<std::string> operator_name;  // who runs the bench, when given
    std::string started;                       // UtcTimestamp (record_time.h)

    bool operator==(const UnitStart &) const = default;
};

// What a unit adds when it ends.
struct UnitEnd {
    std::string ended;           // UtcTimestamp (record_time.h)
    double seconds = 0;          // how long the engine ran
    uint64_t bytes = 0;          // the last byte count the engine reported
    std::optional<char> result;  // the engine's result character, when the engine ran
    OutcomeClass status = OutcomeClass::kOtherFailure;
    std::string result_line;       // ResultLineOf
    std::vector<std::string> log;  // every log line of the unit, in order
    // For a unit that did not pass, the bench's own words for it with the stage it reached ("no
    // acknowledgement in the code file": UnitResultText without its verdict word); none when the
    // bench gave none. Written right after the result line.
    std::optional<std::string> reason;

    bool operator==(const UnitEnd &) const = default;
};

struct UnitRecord {
    RecordConstants constants;
    UnitStart start;
    std::optional<UnitEnd> end;  // none until the unit ends (and for ever, if it never did)

    bool operator==(const UnitRecord &) const = default;
};

// Works out the constants of every unit sent with `request`: the host name, the product chosen,
// the settings as values, and for each file sent (the loader, then the code file and the
// personalization file when their switches are on) its full path, size, checksum and SHA-256,
// read once now. A refusal of class kFileError when a file cannot be read whole.
std::optional<RequestRefusal> BuildRecordConstants(const DownloadRequest &request,
                                                   std::string tool_version,
                                                   RecordConstants &constants);

// A device record from what a port listing says of it, an empty text standing for not known.
RecordDevice DeviceRecord(std::string path, const std::string &usb_serial,
                          const std::string &usb_product);

// The device behind the port named `port_name` in a port list; only the path (empty when the
// port is not listed) when it has no USB facts.
RecordDevice DeviceOfPort(const std::vector<PortEntry> &ports, std::string_view port_name);

// The device behind a station's port "COM<n>" on this machine, looked up without changing
// anything: on POSIX the node that the port register's entry (else the kernel's ttyS<n-1>) leads
// to, with the USB facts of that node; on Windows the system's register of serial devices.
RecordDevice DeviceOfStation(std::string_view port_name);

// Only the path that DeviceOfStation gives, without the USB facts: cheap enough to look at before
// every attempt of a waiting station.
std::string DevicePathOfStation(std::string_view port_name);

// The line that says how an attempt ended, as the log shows it, with its frame of dashes: for a
// download that the engine ran, its result's own line ("DOWNLOAD COMPLETED", "DATA FULLY SENT",
// "DOWNLOAD CANCELED", the
// failure's line after "DOWNLOAD ERROR", "DOWNLOAD ERROR  UNKNOWN"); for a mapping check that
// refused the files, the check's own line; else the attempt's last log line ("" when none).
std::string ResultLineOf(const DownloadOutcome &outcome, bool acknowledged);

// Ends the unit: its end time and what the attempt's outcome says.
void EndUnit(UnitRecord &record, const DownloadOutcome &outcome,
             std::chrono::system_clock::time_point ended);

// The word a record gives a class of outcome ("finished", "stopped", "port-error", ...), and the
// class of such a word (nothing for a word that is none of them).
std::string_view StatusWord(OutcomeClass status);
std::optional<OutcomeClass> StatusOfWord(std::string_view word);

}  // namespace dekvanto::core
