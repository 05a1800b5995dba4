// A temporary port register and record directory for each test, and a phone with short
// pauses so that the tests stay quick.
#pragma once

#include <gtest/gtest.h>
#include <stdlib.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "pc_side.h"
#include "sim/phone_simulator.h"

namespace dekvanto::simtest {

class PhoneTest : public ::testing::Test {
  protected:
    void SetUp() override {
        char pattern[] = "/tmp/vanto-sim-test-XXXXXX";
        ASSERT_NE(::mkdtemp(pattern), nullptr);
        temp_ = pattern;
        ports_ = temp_ / "ports";
        ::setenv("DEKVANTO_PORTS", ports_.c_str(), 1);
    }

    void TearDown() override {
        std::error_code ignored;
        std::filesystem::remove_all(temp_, ignored);
    }

    // Short pauses of the phone's own. The phone never gives up on the PC by itself: a session
    // ends by the download's end, the PC letting go of the line, or the test stopping it, so a
    // slow machine cannot end one early.
    static dekvanto::sim::PhoneConfig QuickConfig() {
        dekvanto::sim::PhoneConfig config;
        config.delays = {5, 20, 20, 20, 5};
        config.idle_timeout_ms = 600000;
        config.linger_ms = 600000;
        return config;
    }

    std::unique_ptr<dekvanto::sim::PhoneSimulator> StartPhone(
        const dekvanto::sim::PhoneConfig &config) {
        auto phone = std::make_unique<dekvanto::sim::PhoneSimulator>(config);
        EXPECT_TRUE(phone->Start()) << phone->SetupError();
        return phone;
    }

    // The summary once the session has ended by itself. The bound only keeps a broken phone
    // from hanging the run.
    static dekvanto::sim::Summary Ended(dekvanto::sim::PhoneSimulator &phone) {
        return phone.Finish(std::chrono::seconds(120));
    }

    static Bytes FileBytes(const std::filesystem::path &path) {
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }

    static bool LinkGone(const std::string &link) {
        return !std::filesystem::exists(std::filesystem::symlink_status(link));
    }

    std::filesystem::path temp_;
    std::filesystem::path ports_;
};

}  // namespace dekvanto::simtest
