// The standard input of a bench station: bytes as they come, the end once the writer closes, and
// a wait that ends when its time is up.
#include "dekvanto/platform/input_reader.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>

namespace dekvanto::platform {
namespace {

using Got = InputReader::Got;
using std::chrono::milliseconds;

TEST(InputReader, HandsOnWhatCameThenTheEndAndWaitsNoLongerThanAsked) {
    int pipe_ends[2];
    ASSERT_EQ(::pipe(pipe_ends), 0);
    InputReader reader(pipe_ends[0]);
    std::string bytes;
    EXPECT_EQ(reader.Wait(milliseconds(10), bytes), Got::kNothing);  // nothing written yet
    EXPECT_EQ(bytes, "");

    ASSERT_EQ(::write(pipe_ends[1], "go 1\nha", 7), 7);
    ::close(pipe_ends[1]);
    EXPECT_EQ(reader.Wait(std::nullopt, bytes), Got::kBytes);
    EXPECT_EQ(bytes, "go 1\nha");
    EXPECT_EQ(reader.Wait(std::nullopt, bytes), Got::kEnd);
    EXPECT_EQ(reader.Wait(std::nullopt, bytes), Got::kEnd) << "the end is told again";
    EXPECT_EQ(bytes, "go 1\nha");
    ::close(pipe_ends[0]);

    InputReader none(-1);
    EXPECT_EQ(none.Wait(std::nullopt, bytes), Got::kEnd);
}

}  // namespace
}  // namespace dekvanto::platform
