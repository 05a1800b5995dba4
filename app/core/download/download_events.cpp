#include "core/download/download_events.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <nlohmann/json.hpp>
#include <ostream>
#include <utility>

namespace dekvanto::core {
namespace {

using Json = nlohmann::json;

constexpr std::array<std::pair<EventKind, std::string_view>, 10> kKindNames{{
    {EventKind::kWaiting, "waiting"},
    {EventKind::kUnitStart, "unit-start"},
    {EventKind::kPhase, "phase"},
    {EventKind::kProgress, "progress"},
    {EventKind::kPrompt, "prompt"},
    {EventKind::kMessage, "message"},
    {EventKind::kUnitEnd, "unit-end"},
    {EventKind::kStation, "station"},
    {EventKind::kScan, "scan"},
    {EventKind::kNotice, "notice"},
}};

constexpr std::array<std::pair<StationRun, std::string_view>, 3> kRunNames{{
    {StationRun::kRunning, "running"},
    {StationRun::kStopped, "stopped"},
    {StationRun::kEnded, "ended"},
}};

constexpr std::array<std::pair<ScanState, std::string_view>, 4> kScanNames{{
    {ScanState::kQueued, "queued"},
    {ScanState::kReady, "ready"},
    {ScanState::kRefused, "refused"},
    {ScanState::kDropped, "dropped"},
}};

constexpr std::array<UnitVerdict, 4> kVerdicts{UnitVerdict::kPassed, UnitVerdict::kFailed,
                                               UnitVerdict::kStopped, UnitVerdict::kInterrupted};

template <typename Value, std::size_t n>
std::string_view NameIn(const std::array<std::pair<Value, std::string_view>, n> &names,
                        Value value) {
    for (const auto &[known, name] : names) {
        if (known == value) {
            return name;
        }
    }
    return {};
}

template <typename Value, std::size_t n>
std::optional<Value> ValueIn(const std::array<std::pair<Value, std::string_view>, n> &names,
                             std::string_view name) {
    for (const auto &[value, known] : names) {
        if (known == name) {
            return value;
        }
    }
    return std::nullopt;
}

std::optional<EventKind> KindNamed(std::string_view name) {
    for (const auto &[kind, kind_name] : kKindNames) {
        if (kind_name == name) {
            return kind;
        }
    }
    return std::nullopt;
}

double Milliseconds(double seconds) {
    return std::round(seconds * 1000) / 1000;
}

// The fields of one kind, added after "event", "station" and "unit" (in that order, so that a
// person reading the stream sees the kind first).
void AddKindFields(const DownloadEvent &event, nlohmann::ordered_json &line) {
    switch (event.kind) {
        case EventKind::kWaiting:
            line["for"] = event.waiting_for == WaitingFor::kPhone ? "phone" : "removal";
            break;
        case EventKind::kUnitStart:
            if (event.unit_id) {
                line["unit_id"] = *event.unit_id;
            }
            break;
        case EventKind::kPhase:
            line["line"] = event.text;
            break;
        case EventKind::kProgress:
            line["percent"] = event.percent;
            line["bytes"] = event.bytes;
            line["rate"] = event.rate;
            break;
        case EventKind::kPrompt:
        case EventKind::kMessage:
            line["text"] = event.text;
            break;
        case EventKind::kUnitEnd:
            line["result"] = event.result ? Json(std::string(1, *event.result)) : Json(nullptr);
            line["status"] = event.status;
            line["seconds"] = Milliseconds(event.seconds);
            line["bytes"] = event.bytes;
            if (event.error) {
                line["error"] = *event.error;
            }
            if (event.unit_id) {
                line["unit_id"] = *event.unit_id;
            }
            if (event.verdict) {
                line["verdict"] = VerdictWord(*event.verdict);
            }
            if (event.reason) {
                line["reason"] = *event.reason;
            }
            break;
        case EventKind::kStation:
            line["state"] = NameIn(kRunNames, event.station_run);
            if (event.station_run != StationRun::kRunning) {
                line["status"] = event.status;
                if (event.error) {
                    line["error"] = *event.error;
                }
            }
            break;
        case EventKind::kScan:
            line["unit_id"] = event.unit_id.value_or("");
            line["state"] = NameIn(kScanNames, event.scan_state);
            if (event.reason) {
                line["reason"] = *event.reason;
            }
            break;
        case EventKind::kNotice:
            line["text"] = event.text;
            break;
    }
}

// Reading one object's fields: the first wrong one is remembered and ends the reading.
class FieldReader {
  public:
    explicit FieldReader(const Json &object) : object_(object) {}

    bool Good() const { return problem_.empty(); }
    bool Has(const char *name) const { return object_.contains(name); }
    const std::string &Problem() const { return problem_; }

    std::string Text(const char *name) {
        const Json *field = Field(name, "a string", &Json::is_string);
        return field ? field->get<std::string>() : std::string();
    }
    std::optional<std::string> OptionalText(const char *name) {
        if (!object_.contains(name) || object_[name].is_null()) {
            return std::nullopt;
        }
        return Text(name);
    }
    // An integer from low to high.
    int64_t Whole(const char *name, int64_t low, int64_t high) {
        const Json *field = Field(name, "an integer", &Json::is_number_integer);
        if (field == nullptr) {
            return 0;
        }
        const bool too_big =
            field->is_number_unsigned() && field->get<uint64_t>() > static_cast<uint64_t>(high);
        const int64_t value = field->get<int64_t>();
        if (too_big || value < low || value > high) {
            Fail(name, "out of range");
            return 0;
        }
        return value;
    }
    uint64_t Count(const char *name) {
        const Json *field = Field(name, "a count", &Json::is_number_unsigned);
        return field ? field->get<uint64_t>() : 0;
    }
    double Seconds(const char *name) {
        const Json *field = Field(name, "a number", &Json::is_number);
        const double value = field ? field->get<double>() : 0;
        if (value < 0) {
            Fail(name, "negative");
        }
        return value;
    }
    std::optional<char> Character(const char *name) {
        if (object_.contains(name) && object_[name].is_null()) {
            return std::nullopt;
        }
        const std::string text = Text(name);
        if (Good() && text.size() != 1) {
            Fail(name, "not one character");
        }
        return Good() ? std::optional<char>(text[0]) : std::nullopt;
    }

    // Records the first problem only: the one that a message names.
    void Fail(const char *name, const std::string &why) {
        if (Good()) {
            problem_ = std::string("\"") + name + "\" " + why;
        }
    }

  private:
    const Json *Field(const char *name, const char *what, bool (Json::*test)() const noexcept) {
        if (!Good()) {
            return nullptr;
        }
        if (!object_.contains(name)) {
            Fail(name, "missing");
            return nullptr;
        }
        const Json &field = object_[name];
        if (!(field.*test)()) {
            Fail(name, std::string("not ") + what);
            return nullptr;
        }
        return &field;
    }

    const Json &object_;
    std::string problem_;
};

void ReadKindFields(FieldReader &fields, DownloadEvent &event) {
    switch (event.kind) {
        case EventKind::kWaiting: {
            const std::string what = fields.Text("for");
            if (what == "removal") {
                event.waiting_for = WaitingFor::kRemoval;
            } else if (fields.Good() && what != "phone") {
                fields.Fail("for", "is neither phone nor removal");
            }
            break;
        }
        case EventKind::kUnitStart:
            event.unit_id = fields.OptionalText("unit_id");
            break;
        case EventKind::kPhase:
            event.text = fields.Text("line");
            break;
        case EventKind::kProgress:
            event.percent = static_cast<int>(fields.Whole("percent", 0, 100));
            event.bytes = fields.Count("bytes");
            event.rate = fields.Count("rate");
            break;
        case EventKind::kPrompt:
        case EventKind::kMessage:
            event.text = fields.Text("text");
            break;
        case EventKind::kUnitEnd:
            event.result = fields.Character("result");
            event.status = static_cast<int>(fields.Whole("status", 0, 255));
            event.seconds = fields.Seconds("seconds");
            event.bytes = fields.Count("bytes");
            event.error = fields.OptionalText("error");
            event.unit_id = fields.OptionalText("unit_id");
            if (const std::optional<std::string> verdict = fields.OptionalText("verdict")) {
                for (const UnitVerdict known : kVerdicts) {
                    if (VerdictWord(known) == *verdict) {
                        event.verdict = known;
                    }
                }
                if (!event.verdict) {
                    fields.Fail("verdict", "is no verdict");
                }
            }
            event.reason = fields.OptionalText("reason");
            break;
        case EventKind::kStation: {
            const std::optional<StationRun> run = ValueIn(kRunNames, fields.Text("state"));
            if (run) {
                event.station_run = *run;
            } else {
                fields.Fail("state", "is neither running, stopped nor ended");
            }
            if (event.station_run != StationRun::kRunning && fields.Has("status")) {
                event.status = static_cast<int>(fields.Whole("status", 0, 255));
            }
            event.error = fields.OptionalText("error");
            break;
        }
        case EventKind::kScan: {
            event.unit_id = fields.Text("unit_id");
            const std::optional<ScanState> state = ValueIn(kScanNames, fields.Text("state"));
            if (state) {
                event.scan_state = *state;
            } else {
                fields.Fail("state", "is no state of a scan");
            }
            event.reason = fields.OptionalText("reason");
            break;
        }
        case EventKind::kNotice:
            event.text = fields.Text("text");
            break;
    }
}

EventLineReading Refused(EventLineProblem problem, std::string reason) {
    EventLineReading reading;
    reading.problem = problem;
    reading.reason = std::move(reason);
    return reading;
}

}  // namespace

std::string_view EventKindName(EventKind kind) {
    for (const auto &[known, name] : kKindNames) {
        if (known == kind) {
            return name;
        }
    }
    return {};
}

std::string EventLine(const DownloadEvent &event) {
    nlohmann::ordered_json line;
    line["event"] = EventKindName(event.kind);
    line["station"] = event.station;
    line["unit"] = event.unit;
    AddKindFields(event, line);
    return line.dump(-1, ' ', false, Json::error_handler_t::replace);
}

EventLineReading ReadEventLine(std::string_view line) {
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) {
        line.remove_suffix(1);
    }
    Json object;
    try {
        object = Json::parse(line);
    } catch (const Json::parse_error &error) {
        // The parser stopped at the end of the text: the object was never closed.
        const bool cut = !line.empty() && error.byte > line.size();
        return Refused(cut ? EventLineProblem::kTruncated : EventLineProblem::kMalformed,
                       error.what());
    }
    if (!object.is_object()) {
        return Refused(EventLineProblem::kMalformed, "not a JSON object");
    }
    FieldReader fields(object);
    const std::string name = fields.Text("event");
    if (!fields.Good()) {
        return Refused(EventLineProblem::kMalformed, fields.Problem());
    }
    const std::optional<EventKind> kind = KindNamed(name);
    if (!kind) {
        return Refused(EventLineProblem::kUnknownKind, "unknown event \"" + name + "\"");
    }
    DownloadEvent event;
    event.kind = *kind;
    event.station = fields.Text("station");
    // The bench's own kinds belong to no unit: 0.
    const bool unit_kind = *kind != EventKind::kScan && *kind != EventKind::kNotice;
    event.unit =
        static_cast<int>(fields.Whole("unit", unit_kind ? 1 : 0, std::numeric_limits<int>::max()));
    ReadKindFields(fields, event);
    if (!fields.Good()) {
        return Refused(EventLineProblem::kMalformed, fields.Problem());
    }
    EventLineReading reading;
    reading.event = std::move(event);
    return reading;
}

EventLineSink LinesTo(std::ostream &out) {
    return [&out](const std::string &line) { out << line << '\n' << std::flush; };
}

EventWriter::EventWriter(EventLineSink sink, std::string station)
    : sink_(std::move(sink)), station_(std::move(station)) {}

void EventWriter::Write(const DownloadEvent &event) {
    if (holding_) {
        held_.push_back(event);
    } else {
        sink_(EventLine(event));
    }
}

void EventWriter::Drop() {
    holding_ = false;
    held_.clear();
}

DownloadEvent EventWriter::Event(EventKind kind) const {
    DownloadEvent event;
    event.kind = kind;
    event.station = station_;
    event.unit = unit_;
    return event;
}

void EventWriter::Waiting(WaitingFor what, int unit) {
    unit_ = unit;
    DownloadEvent event = Event(EventKind::kWaiting);
    event.waiting_for = what;
    Write(event);
}

void EventWriter::UnitStart(int unit, std::optional<std::string> unit_id) {
    unit_ = unit;
    unit_id_ = std::move(unit_id);
    open_ = true;
    last_progress_.reset();
    full_progress_sent_ = false;
    held_progress_.reset();
    DownloadEvent event = Event(EventKind::kUnitStart);
    event.unit_id = unit_id_;
    holding_ = false;
    Write(event);
    for (const DownloadEvent &held : held_) {
        Write(held);
    }
    held_.clear();
}

void EventWriter::Phase(std::string_view line) {
    DownloadEvent event = Event(EventKind::kPhase);
    event.text = line;
    Write(event);
}

void EventWriter::Progress(int percent, uint64_t bytes, uint64_t rate,
                           std::chrono::steady_clock::time_point now) {
    DownloadEvent event = Event(EventKind::kProgress);
    event.percent = percent > 100 ? 100 : percent;
    event.bytes = bytes;
    event.rate = rate;
    if (percent >= 100) {
        if (full_progress_sent_) {
            return;
        }
        full_progress_sent_ = true;
    } else if (last_progress_ && now - *last_progress_ < kProgressInterval) {
        held_progress_ = std::move(event);
        return;
    }
    last_progress_ = now;
    held_progress_.reset();
    Write(event);
}

void EventWriter::FlushProgress(std::chrono::steady_clock::time_point now) {
    if (held_progress_ && last_progress_ && now - *last_progress_ >= kProgressInterval) {
        last_progress_ = now;
        Write(*held_progress_);
        held_progress_.reset();
    }
}

void EventWriter::Prompt(std::string_view text) {
    DownloadEvent event = Event(EventKind::kPrompt);
    event.text = text;
    Write(event);
}

void EventWriter::Message(std::string_view text) {
    DownloadEvent event = Event(EventKind::kMessage);
    event.text = text;
    Write(event);
}

void EventWriter::UnitEnd(const UnitEnding &ending) {
    held_progress_.reset();  // the unit's end says where it stopped
    DownloadEvent event = Event(EventKind::kUnitEnd);
    event.result = ending.result;
    event.status = ending.status;
    event.seconds = ending.seconds;
    event.bytes = ending.bytes;
    event.error = ending.error;
    event.unit_id = unit_id_;
    event.verdict = ending.verdict;
    event.reason = ending.reason;
    open_ = false;
    Write(event);
}

}  // namespace dekvanto::core
