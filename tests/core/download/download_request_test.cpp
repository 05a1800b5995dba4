// The command line's request as the core builds it, where the command line's own checks do not
// reach: a value word outside its list.
#include "core/download/download_request.h"

#include <gtest/gtest.h>

#include "support/temp_folder.h"

namespace dekvanto::core {
namespace {

TEST(DownloadRequest, UnknownValueWordsAreRefusedNotTakenForANeighbour) {
    TempFolder folder;
    const struct {
        std::optional<std::string> DownloadOverrides::*field;
        const char *word;
        const char *text;
    } cases[] = {
        {&DownloadOverrides::speed, "9600",
         "speed '9600' is not one of 57600, 115200, 230400, 460800"},
        {&DownloadOverrides::speed, "500000",
         "speed '500000' is not one of 57600, 115200, 230400, 460800"},
        {&DownloadOverrides::parity, "mark", "parity 'mark' is not one of none, odd, even"},
        {&DownloadOverrides::stop_bits, "1.5", "stop bits '1.5' is not one of 1, 2"},
        {&DownloadOverrides::bus, "32", "bus width '32' is not one of 8, 16"},
        {&DownloadOverrides::wait_states, "4", "wait states '4' is not one of 0, 1, 2, 3"},
    };
    for (const auto &c : cases) {
        DownloadOverrides overrides;
        overrides.port = "COM5";
        overrides.loader = folder.Write("loader.bin", "LOADER").string();
        overrides.*c.field = c.word;
        DownloadRequest request;
        const auto refused = BuildDownloadRequest(overrides, ProgramFiles{}, request);
        ASSERT_TRUE(refused) << c.word;
        EXPECT_EQ(refused->status, OutcomeClass::kBadRequest);
        EXPECT_EQ(refused->text, c.text);
    }
}

}  // namespace
}  // namespace dekvanto::core
