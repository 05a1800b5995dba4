#include "sim/phone_units.h"

#include <filesystem>
#include <limits>

#include "sim/phone_session.h"

namespace dekvanto::sim {
namespace {

// Longest sleep between looks at the line while no session runs: the PC letting go of the line
// between two attempts is noticed if it lasts this long.
constexpr int64_t kSliceMs = 20;
constexpr int64_t kNsPerMs = 1'000'000;
constexpr int64_t kForever = std::numeric_limits<int64_t>::max();

}  // namespace

PhoneUnits::PhoneUnits(const PhoneConfig &config, const UnitPlan &plan, const StopSignal &stop,
                       Hooks hooks)
    : config_(config), plan_(plan), stop_(stop), hooks_(std::move(hooks)) {}

Summary PhoneUnits::Run(std::unique_ptr<PtyLine> line, const LineMaker &make_again) {
    make_again_ = make_again;
    line_ = std::move(line);
    link_ = std::make_unique<PhoneLink>(*line_, stop_, config_.wire);
    Absence absence = plan_.before_first;
    int64_t since_ns = NowNs();
    for (uint32_t unit = 1; plan_.units == 0 || unit <= plan_.units; ++unit) {
        if (!AwaitArrival(absence, since_ns)) {
            break;
        }
        arrived_ns_ = NowNs();
        auto report = HostUnit(unit);
        if (!report) {
            break;
        }
        Gone(*report);
        absence = plan_.between;
        since_ns = NowNs();
    }
    return RunSummary();
}

void PhoneUnits::KeepLineEmpty() {
    while (!Over()) {
        LookWithoutPhone(kForever);
    }
}

// The PC's bytes go nowhere meanwhile. Each attempt it makes counts once it has let go of the
// line; the phone arrives at a look that finds the line free, never into an attempt under way.
bool PhoneUnits::AwaitArrival(const Absence &absence, int64_t since_ns) {
    if (absence.attempts == 0 && absence.ms == 0) {
        return !Over();  // no absence: the phone is there, from the start of the run on
    }
    const int64_t due_ns = since_ns + int64_t{absence.ms} * kNsPerMs;
    uint32_t found_nothing = 0;
    link_->BeginAttempt();
    while (!Over()) {
        const bool counted = found_nothing >= absence.attempts;
        if (counted && NowNs() >= due_ns && link_->LineFree()) {
            return true;
        }
        if (LookWithoutPhone(counted && NowNs() < due_ns ? due_ns : kForever)) {
            ++found_nothing;
        }
    }
    return false;
}

std::optional<UnitReport> PhoneUnits::HostUnit(uint32_t unit) {
    PhoneConfig config = config_;
    config.faults = plan_.FaultsOf(unit, config_.faults);
    config.end_on_release = true;
    config.record_dir.clear();
    std::optional<UnitReport> report;
    uint32_t later = 0;  // attempts after the flashing that reached the line setup frame
    std::optional<int64_t> arrival_wait_ms;
    while (!Over()) {
        Summary attempt = Attempt(config);
        if (!arrival_wait_ms && attempt_first_byte_ns_) {
            arrival_wait_ms = (*attempt_first_byte_ns_ - arrived_ns_) / kNsPerMs;
        }
        if (!attempt.Reached("line")) {
            continue;
        }
        const bool flashing = attempt.Reached("loader");
        if (!report) {
            report.emplace();
            report->unit = unit;
            report->flashings = flashing ? 1 : 0;
            report->flashing = std::move(attempt);
            report->flashing.arrival_wait_ms = arrival_wait_ms;
        } else if (flashing) {
            ++later;
            ++report->flashings;
            report->flashing.consistent = false;
            report->flashing.errors.push_back("flashed a second time, by attempt " +
                                              std::to_string(later + 1) + " on this phone");
        } else {
            ++later;
            ++report->probes;
        }
        if (!report->flashing.consistent || later >= plan_.stay_attempts) {
            break;
        }
    }
    return report;
}

Summary PhoneUnits::Attempt(const PhoneConfig &config) {
    link_->BeginAttempt();
    Summary summary = PhoneSession(config, *link_).Run();
    attempt_first_byte_ns_ = link_->FirstByteNs();
    if (link_->Gone()) {
        Replug();
    } else {
        AwaitLetGo();
    }
    return summary;
}

// Once its session is over the phone answers nothing more: what the PC still sends goes
// nowhere until it lets go of the line.
void PhoneUnits::AwaitLetGo() {
    while (!Over() && !LookWithoutPhone(kForever)) {
    }
}

bool PhoneUnits::LookWithoutPhone(int64_t wake_ns) {
    const PhoneLink::Intake intake = link_->TakeIn();
    if (intake.gone) {
        Replug();
        return false;
    }
    if (link_->Released()) {
        CountLetGo();
        return true;
    }
    if (intake.arrived.empty()) {
        link_->Wait(wake_ns, kSliceMs);
    }
    return false;
}

void PhoneUnits::CountLetGo() {
    ++let_gos_;
    link_->BeginAttempt();
    if (hooks_.let_go) {
        hooks_.let_go(let_gos_);
    }
}

void PhoneUnits::Replug() {
    link_.reset();
    line_.reset();
    std::string error = "no way to make it";
    line_ = make_again_ ? make_again_(error) : nullptr;
    if (!line_) {
        line_lost_ = true;
        errors_.push_back("the line could not be made again after an unplug: " + error);
        return;
    }
    link_ = std::make_unique<PhoneLink>(*line_, stop_, config_.wire);
}

void PhoneUnits::Gone(UnitReport &report) {
    Summary &s = report.flashing;
    if (!config_.record_dir.empty()) {
        const auto dir = std::filesystem::path(config_.record_dir) / UnitFolderName(report.unit);
        std::string error;
        if (!WriteRecord(dir.string(), s, error)) {
            s.errors.push_back("record not written: " + error);
            s.consistent = false;
        }
    }
    const std::string unit = "unit " + std::to_string(report.unit) + ": ";
    for (const std::string &error : s.errors) {
        errors_.push_back(unit + error);
    }
    if (!s.complete) {
        errors_.push_back(unit + "download not complete (" + std::string(EndReasonName(s.end)) +
                          " while waiting for " + s.waiting_for + ")");
    }
    ++units_gone_;
    if (hooks_.unit_gone) {
        hooks_.unit_gone(report);
    }
}

Summary PhoneUnits::RunSummary() const {
    Summary run;
    run.acknowledged = config_.acknowledged;
    run.complete = plan_.units == 0 || units_gone_ == plan_.units;
    run.end = line_lost_          ? EndReason::kUnplugged
              : stop_.Requested() ? EndReason::kStopped
                                  : EndReason::kFinished;
    if (!run.complete) {
        run.waiting_for = "unit " + std::to_string(units_gone_ + 1);
    }
    run.errors = errors_;
    run.consistent = run.complete && run.errors.empty();
    return run;
}

}  // namespace dekvanto::sim
