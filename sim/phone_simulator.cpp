#include "sim/phone_simulator.h"

#include <utility>

#include "dekvanto/platform/port_register.h"
#include "sim/phone_link.h"
#include "sim/phone_session.h"
#include "sim/phone_thread.h"
#include "sim/phone_units.h"
#include "sim/pty_line.h"

namespace dekvanto::sim {

PhoneSimulator::PhoneSimulator(PhoneConfig config, UnitPlan plan)
    : config_(std::move(config)), plan_(std::move(plan)), stop_(std::make_unique<StopSignal>()) {}

PhoneSimulator::~PhoneSimulator() {
    Stop();
    if (thread_.joinable()) {
        thread_.join();
    }
}

bool PhoneSimulator::Start() {
    if (thread_.joinable() || summary_) {
        setup_error_ = "the phone has already been started";
        return false;
    }
    const std::string dir =
        config_.register_dir.empty() ? platform::PortRegisterDirectory() : config_.register_dir;
    auto line = PtyLine::Open(config_.port, dir, setup_error_, config_.own_terminal);
    if (!line) {
        return false;
    }
    port_ = line->PortNumber();
    slave_path_ = line->SlavePath();
    link_path_ = line->LinkPath();
    if (plan_.enabled) {
        thread_ = std::thread(&PhoneSimulator::RunUnits, this, std::move(line), dir);
    } else {
        thread_ = std::thread(&PhoneSimulator::RunSession, this, std::move(line));
    }
    return true;
}

void PhoneSimulator::RunSession(std::unique_ptr<PtyLine> line) {
    KeepPhoneTime();
    PhoneLink link(*line, *stop_, config_.wire);
    Summary summary = PhoneSession(config_, link).Run();
    line.reset();  // the PC's side hangs up and COM<n> leaves the register
    if (!config_.record_dir.empty()) {
        std::string error;
        if (!WriteRecord(config_.record_dir, summary, error)) {
            summary.errors.push_back("record not written: " + error);
            summary.consistent = false;
        }
    }
    Ended(std::move(summary));
}

void PhoneSimulator::RunUnits(std::unique_ptr<PtyLine> line, const std::string &register_dir) {
    KeepPhoneTime();
    PhoneUnits::Hooks hooks;
    hooks.unit_gone = [this](const UnitReport &report) {
        std::lock_guard<std::mutex> lock(mutex_);
        units_.push_back(report);
        ended_.notify_all();
    };
    hooks.let_go = [this](uint64_t count) {
        std::lock_guard<std::mutex> lock(mutex_);
        let_gos_ = count;
        ended_.notify_all();
    };
    const auto make_again = [this, register_dir](std::string &error) {
        return PtyLine::Open(port_, register_dir, error, config_.own_terminal);
    };
    PhoneUnits units(config_, plan_, *stop_, hooks);
    Ended(units.Run(std::move(line), make_again));
    units.KeepLineEmpty();
}

void PhoneSimulator::Ended(Summary summary) {
    std::lock_guard<std::mutex> lock(mutex_);
    summary_ = std::move(summary);
    ended_.notify_all();
}

void PhoneSimulator::Stop() {
    stop_->Request();
}

std::optional<Summary> PhoneSimulator::Wait(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (!ended_.wait_for(lock, timeout, [this] { return summary_.has_value(); })) {
        return std::nullopt;
    }
    return summary_;
}

Summary PhoneSimulator::Finish(std::chrono::milliseconds grace) {
    if (!thread_.joinable()) {
        std::lock_guard<std::mutex> lock(mutex_);
        return summary_.value_or(Summary{});
    }
    if (auto summary = Wait(grace)) {
        return *summary;
    }
    Stop();
    thread_.join();
    std::lock_guard<std::mutex> lock(mutex_);
    return *summary_;
}

std::vector<UnitReport> PhoneSimulator::TakeUnits(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    ended_.wait_for(lock, timeout, [this] { return !units_.empty() || summary_.has_value(); });
    return std::exchange(units_, {});
}

bool PhoneSimulator::WaitForLetGo(uint64_t count, std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    return ended_.wait_for(lock, timeout, [this, count] { return let_gos_ >= count; });
}

}  // namespace dekvanto::sim
