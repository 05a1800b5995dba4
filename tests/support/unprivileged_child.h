// Runs part of a test as a technician's account would: in a child process without privileges.
// A privileged test process (root, as in CI) ignores read rights, so a file without them would
// open there; the child first becomes the user and group "nobody".
#pragma once

#include <grp.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <functional>

namespace dekvanto::testing {

inline constexpr uid_t kNobody = 65534;

// Runs `body` in a forked child, unprivileged; returns true when it ran without a test failure.
// The child's failures are printed by the child; the caller should expect true.
inline bool RunUnprivileged(const std::function<void()> &body) {
    std::fflush(nullptr);
    const pid_t child = ::fork();
    if (child < 0) {
        return false;
    }
    if (child == 0) {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0)) {
            std::fprintf(stderr, "could not give up the privileges\n");
            ::_exit(2);
        }
        body();
        std::fflush(nullptr);
        ::_exit(::testing::Test::HasFailure() ? 1 : 0);
    }
    int status = 0;
    return ::waitpid(child, &status, 0) == child && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

}  // namespace dekvanto::testing
