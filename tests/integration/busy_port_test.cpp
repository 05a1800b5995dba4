// Two processes, one port: while one process downloads into the phone, a download from a second
// process on the same port gets the port error at once and leaves the first one's line alone.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>

#include "download_session.h"

namespace dekvanto::integration {
namespace {

// The first process tells the second that it holds the port (its first byte went out), then
// waits until the second is done before it goes on.
struct Handshake {
    int holding = -1;  // written by the first process
    int done = -1;     // read by the first process
    bool told = false;
};

void MX40_CALL HoldAtFirstByte(void *context, int32_t, int32_t, const uint8_t *, uint32_t) {
    auto &handshake = *static_cast<Handshake *>(context);
    if (!handshake.told) {
        handshake.told = true;
        char byte = 'h';
        (void)!::write(handshake.holding, &byte, 1);
        (void)!::read(handshake.done, &byte, 1);
    }
}

TEST(BusyPort, ASecondProcessGetsThePortErrorAndTheFirstGoesThrough) {
    const dekvanto::testing::DownloadRig rig({500, 3000, 700});
    dekvanto::sim::PhoneConfig config;
    config.end_on_release = false;  // two openers: the second one's close must not end the phone
    dekvanto::sim::PhoneSimulator phone(config);
    ASSERT_TRUE(phone.Start()) << phone.SetupError();
    DownloadRecords records;
    records.settings.Port = phone.PortNumber() - 1;
    records.UseFiles(rig.files);

    int holding[2];
    int done[2];
    ASSERT_EQ(::pipe(holding), 0);
    ASSERT_EQ(::pipe(done), 0);
    const pid_t first = ::fork();
    ASSERT_GE(first, 0);
    if (first == 0) {
        Handshake handshake{holding[1], done[0]};
        Mxl40_SetTrace(HoldAtFirstByte, &handshake);
        const int32_t result =
            Mxl40_Download(nullptr, &records.settings, &records.files, &records.options);
        ::_exit(result == '2' ? 0 : 1);
    }
    char byte = 0;
    ASSERT_EQ(::read(holding[0], &byte, 1), 1);

    const int descriptors = OpenDescriptors();
    TestWindow window;
    DownloadRecords second = records;
    EXPECT_EQ(Mxl40_Download(&window.record, &second.settings, &second.files, &second.options),
              '9');
    EXPECT_EQ(OpenDescriptors(), descriptors);
    ASSERT_EQ(window.log_lines.size(), 2u);
    EXPECT_EQ(window.log_lines[1], "Open COM" + std::to_string(phone.PortNumber()));
    EXPECT_EQ(window.boxes, std::vector<std::string>{"Error Open COM port"});

    ASSERT_EQ(::write(done[1], &byte, 1), 1);
    int status = 0;
    ASSERT_EQ(::waitpid(first, &status, 0), first);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the first download failed";
    const dekvanto::sim::Summary summary = phone.Finish(std::chrono::seconds(30));
    EXPECT_TRUE(summary.consistent) << ::testing::PrintToString(summary.errors);
    EXPECT_EQ(summary.code, rig.files.code_bytes);
    for (int fd : {holding[0], holding[1], done[0], done[1]}) {
        ::close(fd);
    }
}

}  // namespace
}  // namespace dekvanto::integration
