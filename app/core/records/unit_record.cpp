#include "core/records/unit_record.h"

#include <array>
#include <charconv>
#include <utility>

#include "core/download/result_lines.h"
#include "core/files/read_only_file.h"
#include "core/products/file_records.h"
#include "core/records/file_digest.h"
#include "core/records/record_time.h"
#include "core/settings/setting_values.h"
#include "dekvanto/platform/host_name.h"

namespace dekvanto::core {
namespace {

constexpr std::array<std::pair<OutcomeClass, std::string_view>, 9> kStatusWords = {{
    {OutcomeClass::kFinished, "finished"},
    {OutcomeClass::kOtherFailure, "other-failure"},
    {OutcomeClass::kBadRequest, "bad-request"},
    {OutcomeClass::kStopped, "stopped"},
    {OutcomeClass::kPortError, "port-error"},
    {OutcomeClass::kFileError, "file-error"},
    {OutcomeClass::kNoAcknowledgement, "no-acknowledgement"},
    {OutcomeClass::kUnsupportedSetting, "unsupported-setting"},
    {OutcomeClass::kMappingRefused, "mapping-refused"},
}};

// The number that a setting's word stands for ("2", "16"), or none for a position outside its
// list.
template <typename Number>
std::optional<Number> ValueAt(const SettingValues &values, int32_t index) {
    const std::optional<std::string_view> word = values.WordAt(index);
    Number value{};
    if (!word ||
        std::from_chars(word->data(), word->data() + word->size(), value).ec != std::errc{}) {
        return std::nullopt;
    }
    return value;
}

RecordSettings SettingsOf(const CurrentSettings &s) {
    RecordSettings settings;
    if (s.speed >= 0 && static_cast<std::size_t>(s.speed) < kSpeedRates.size()) {
        settings.speed = kSpeedRates[static_cast<std::size_t>(s.speed)];
    }
    if (const auto parity = kParities.WordAt(s.parity)) {
        settings.parity = std::string(*parity);
    }
    settings.stop_bits = ValueAt<int>(kStopBits, s.stop_bits);
    settings.bus = ValueAt<int>(kBusWidths, s.ram_size);
    settings.wait_states = ValueAt<int>(kWaitStates, s.wait_states);
    settings.mode = s.acknowledge != 0 ? "acknowledged" : "blind";
    return settings;
}

std::optional<RequestRefusal> AddSentFile(const char *role, const char *what,
                                          const std::string &path, std::vector<SentFile> &files) {
    const std::string full = FullPath(path);
    const std::optional<FileDigest> digest = DigestFile(full);
    if (!digest) {
        return RequestRefusal{OutcomeClass::kFileError, std::string("cannot read the ") + what +
                                                            " " + path + " for the unit record"};
    }
    files.push_back({role, full, digest->size, ChecksumText(digest->sum16), digest->sha256});
    return std::nullopt;
}

}  // namespace

std::optional<RequestRefusal> BuildRecordConstants(const DownloadRequest &request,
                                                   std::string tool_version,
                                                   RecordConstants &constants) {
    constants = RecordConstants{};
    constants.host = platform::HostName();
    constants.tool_version = std::move(tool_version);
    if (!request.product.empty()) {
        constants.product = request.product;
    }
    constants.settings = SettingsOf(request.settings);
    const FileRecords &f = request.files;
    std::optional<RequestRefusal> refused =
        AddSentFile("loader", "loader file", f.loader.path, constants.files);
    if (!refused && request.switches.code) {
        refused = AddSentFile("code", "code file", f.code.path, constants.files);
    }
    if (!refused && request.switches.perso) {
        refused = AddSentFile("perso", "personalization file", f.perso.path, constants.files);
    }
    return refused;
}

RecordDevice DeviceRecord(std::string path, const std::string &usb_serial,
                          const std::string &usb_product) {
    RecordDevice device;
    device.path = std::move(path);
    if (!usb_serial.empty()) {
        device.usb_serial = usb_serial;
    }
    if (!usb_product.empty()) {
        device.usb_product = usb_product;
    }
    return device;
}

RecordDevice DeviceOfPort(const std::vector<PortEntry> &ports, std::string_view port_name) {
    for (const PortEntry &entry : ports) {
        if (entry.name == port_name) {
            return DeviceRecord(entry.device, entry.usb_serial, entry.product);
        }
    }
    return RecordDevice{};
}

std::string ResultLineOf(const DownloadOutcome &outcome, bool acknowledged) {
    std::vector<StringId> lines;
    if (outcome.result) {
        lines = DownloadResultLines(*outcome.result, acknowledged);
    } else if (outcome.map_check &&
               ClassOfMapCheck(*outcome.map_check) != OutcomeClass::kFinished) {
        lines = MapCheckResultLines(*outcome.map_check).lines;
    }
    // The failure's own line, not the "DOWNLOAD ERROR" that comes with it.
    for (auto line = lines.rbegin(); line != lines.rend(); ++line) {
        if (*line != StringId::kDownloadError) {
            return std::string(AppString(*line));
        }
    }
    return outcome.lines.empty() ? "" : outcome.lines.back();
}

void EndUnit(UnitRecord &record, const DownloadOutcome &outcome,
             std::chrono::system_clock::time_point ended) {
    UnitEnd end;
    end.ended = UtcTimestamp(ended);
    end.seconds = outcome.seconds;
    end.bytes = outcome.bytes;
    if (outcome.result) {
        end.result = static_cast<char>(*outcome.result & 0xFF);
    }
    end.status = outcome.status;
    end.result_line = ResultLineOf(outcome, record.constants.settings.mode == "acknowledged");
    end.log = outcome.lines;
    record.end = std::move(end);
}

std::string_view StatusWord(OutcomeClass status) {
    for (const auto &[known, word] : kStatusWords) {
        if (known == status) {
            return word;
        }
    }
    return "other-failure";
}

std::optional<OutcomeClass> StatusOfWord(std::string_view word) {
    for (const auto &[status, known] : kStatusWords) {
        if (known == word) {
            return status;
        }
    }
    return std::nullopt;
}

}  // namespace dekvanto::core
