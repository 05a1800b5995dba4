// Whole downloads played against the phone: what it answers, records and reports.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "phone_fixture.h"

namespace dekvanto::simtest {
namespace {

using ::testing::ElementsAre;

TEST_F(PhoneTest, AcknowledgedDownloadOfBothFilesIsRecordedByteForByte) {
    dekvanto::sim::PhoneConfig config = QuickConfig();
    config.expect.target_byte = 0x38;
    config.expect.bit_rate = 460800;
    config.expect.parity = 2;
    config.expect.stop_bits = 2;
    config.record_dir = (temp_ / "record").string();
    auto phone = StartPhone(config);
    const std::string link = phone->LinkPath();
    EXPECT_EQ(link, (ports_ / ("COM" + std::to_string(phone->PortNumber()))).string());

    Download d;
    d.line_frame = kLine460800;
    d.bit_rate = 460800;
    d.loader = Pattern(100, 1);  // blocks of 32, 32, 32, 4
    d.code = Pattern(1281, 2);   // five blocks of 256 and one of 1
    d.perso = Pattern(300, 3);
    PcLine pc(link);
    ASSERT_TRUE(pc.IsOpen());
    EXPECT_EQ(PlayDownload(pc, d), "");

    const dekvanto::sim::Summary s = Ended(*phone);
    EXPECT_TRUE(s.consistent) << ::testing::PrintToString(s.errors);
    EXPECT_EQ(s.end, dekvanto::sim::EndReason::kFinished);
    EXPECT_THAT(s.phases, ElementsAre("target", "line", "loader", "loader-ready", "request", "code",
                                      "checksum", "erase-start", "erase-end", "deke-ready", "perso",
                                      "perso-done"));
    EXPECT_EQ(s.loader, d.loader);
    EXPECT_EQ(s.code, *d.code);
    EXPECT_EQ(s.perso, *d.perso);
    EXPECT_EQ(s.request_byte, 0x43);
    EXPECT_EQ(s.checksum_received, FileSum(*d.code));
    EXPECT_EQ(s.counts.loader_blocks, 4u);
    EXPECT_EQ(s.counts.code_blocks, 6u);
    EXPECT_EQ(s.counts.perso_blocks, 2u);
    EXPECT_EQ(s.counts.acks, 1u + 4 + 1 + 6 + 1 + 1 + 2);
    EXPECT_EQ(s.counts.syncs, 5u);
    const std::map<std::string, uint32_t> speeds{{"target", 2400},
                                                 {"line", 2400},
                                                 {"loader", 460800},
                                                 {"request", 460800},
                                                 {"perso", 115200}};
    EXPECT_EQ(s.speeds, speeds);

    EXPECT_EQ(FileBytes(temp_ / "record" / "loader.bin"), d.loader);
    EXPECT_EQ(FileBytes(temp_ / "record" / "code.bin"), *d.code);
    EXPECT_EQ(FileBytes(temp_ / "record" / "perso.bin"), *d.perso);
    const Bytes json = FileBytes(temp_ / "record" / "summary.json");
    EXPECT_NE(std::string(json.begin(), json.end()).find("\"consistent\": true"),
              std::string::npos);
    EXPECT_TRUE(LinkGone(link));
}

// In blind mode the PC reads nothing, only pauses, and gives the line up at once at the end.
TEST_F(PhoneTest, BlindDownloadIsTakenWithoutTheAnswersBeingRead) {
    dekvanto::sim::PhoneConfig config = QuickConfig();
    config.acknowledged = false;
    auto phone = StartPhone(config);

    Download d;
    d.acknowledged = false;
    d.loader = Pattern(320, 4);  // ten full blocks
    d.code = Pattern(1280, 5);   // five full blocks
    d.perso = Pattern(256, 6);
    PcLine pc(phone->LinkPath(), /*exclusive=*/true);
    EXPECT_EQ(PlayDownload(pc, d), "");
    pc.Close();

    const dekvanto::sim::Summary s = Ended(*phone);
    EXPECT_TRUE(s.consistent) << ::testing::PrintToString(s.errors);
    EXPECT_EQ(s.loader, d.loader);
    EXPECT_EQ(s.code, *d.code);
    EXPECT_EQ(s.perso, *d.perso);
    // The PC runs ahead of the phone here: the speed in force when a byte is read proves
    // nothing, so none is recorded.
    EXPECT_TRUE(s.speeds.empty());
}

// The request byte's flags decide the phases: code only ends after erasing, without a speed
// change; personalization only goes from the request byte straight to DEKE.
TEST_F(PhoneTest, RequestByteDecidesWhichFilesFollow) {
    for (const bool with_code : {true, false}) {
        SCOPED_TRACE(with_code ? "code file only" : "personalization file only");
        auto phone = StartPhone(QuickConfig());
        Download d;
        d.loader = with_code ? Pattern(40, 7) : Bytes{};  // an empty loader is the end frame alone
        if (with_code) {
            d.code = Pattern(10, 8);
        } else {
            d.perso = Pattern(513, 9);
        }
        PcLine pc(phone->LinkPath());
        EXPECT_EQ(PlayDownload(pc, d), "");

        const dekvanto::sim::Summary s = Ended(*phone);
        EXPECT_TRUE(s.consistent) << ::testing::PrintToString(s.errors);
        EXPECT_EQ(s.request_byte, with_code ? 0x41 : 0x42);
        EXPECT_EQ(s.Reached("erase-end"), with_code);
        EXPECT_EQ(s.Reached("deke-ready"), !with_code);
        EXPECT_EQ(s.perso.size(), with_code ? 0u : 513u);
        EXPECT_EQ(s.speeds.count("perso"), with_code ? 0u : 1u);
    }
}

}  // namespace
}  // namespace dekvanto::simtest
