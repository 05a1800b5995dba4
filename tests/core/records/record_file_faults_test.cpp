// The record file under a failing system: a flush that fails, a disk that fills half-way through a
// line, a file system that refuses locks, a file deleted or renamed under a running bench.
//
// This program defines write, fdatasync and flock itself. The core and the platform library under
// it (which writes the file) are linked into it statically, so their calls reach these
// definitions, which count them, fail the one a test asks for, and otherwise forward to the C
// library's own (the next definition after this program's).
// Defined here rather than preloaded, the doubles also work under the sanitizers.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <utility>
#include <vector>

#include "core/records/record_file.h"
#include "core/records/record_lines.h"
#include "core/records/record_reader.h"
#include "support/temp_folder.h"

namespace {

enum class Call { kWrite, kFdatasync, kFlock };

// What a test asks of one of the system calls, counted from when it was asked.
struct Plan {
    int calls = 0;
    int fail_at = 0;    // this call fails (1: the next one); 0: none
    int fail_with = 0;  // with this errno
    int short_at = 0;   // write: this call writes only half of what it is given
};

// The calls seen and the plans, while a test watches; the doubles only forward otherwise.
struct Watch {
    bool on = false;
    Plan write;
    Plan fdatasync;
    Plan flock;
    std::vector<std::pair<Call, int>> seen;  // each call with its descriptor, in order
};

Watch watch;

// Counts a call of `plan`; true when it is the one to fail, with errno set.
bool Fails(Call call, Plan &plan, int fd) {
    if (!watch.on) {
        return false;
    }
    watch.seen.emplace_back(call, fd);
    if (++plan.calls == plan.fail_at) {
        errno = plan.fail_with;
        return true;
    }
    return false;
}

template <typename Function>
Function *Real(const char *name) {
    return reinterpret_cast<Function *>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

extern "C" ssize_t write(int fd, const void *buffer, size_t count) {
    static auto *const real = Real<ssize_t(int, const void *, size_t)>("write");
    if (Fails(Call::kWrite, watch.write, fd)) {
        return -1;
    }
    if (watch.on && watch.write.calls == watch.write.short_at && count > 1) {
        count /= 2;
    }
    return real(fd, buffer, count);
}

extern "C" int fdatasync(int fd) {
    static auto *const real = Real<int(int)>("fdatasync");
    return Fails(Call::kFdatasync, watch.fdatasync, fd) ? -1 : real(fd);
}

extern "C" int flock(int fd, int operation) noexcept {
    static auto *const real = Real<int(int, int)>("flock");
    return Fails(Call::kFlock, watch.flock, fd) ? -1 : real(fd, operation);
}

namespace dekvanto::core {
namespace {

class RecordFileFaults : public ::testing::Test {
  protected:
    void SetUp() override { watch = Watch{}; }
    void TearDown() override { watch = Watch{}; }

    // Starts watching the calls anew, with these plans.
    static void Arm(Plan write = {}, Plan fdatasync = {}, Plan flock = {}) {
        watch = Watch{true, write, fdatasync, flock, {}};
    }

    // Whether the descriptor is open on the file that `path` names.
    static bool OnFile(int fd, const std::string &path) {
        struct stat open_file {};
        struct stat at_path {};
        return ::fstat(fd, &open_file) == 0 && ::stat(path.c_str(), &at_path) == 0 &&
               open_file.st_dev == at_path.st_dev && open_file.st_ino == at_path.st_ino;
    }

    static std::string StartOf(int64_t unit) {
        UnitRecord r;
        r.constants.host = "bench-2";
        r.start.station = "COM3";
        r.start.unit = unit;
        r.start.started = "2024-05-17T08:30:15.250Z";
        return StartLine(r);
    }

    TempFolder folder;
    std::string path = (folder / "records.jsonl").string();
    std::string error;
};

TEST_F(RecordFileFaults, AppendReturnsOnlyOnceItsLineIsFlushedAndAFailedFlushIsReported) {
    auto file = RecordFile::Open(path, error);
    ASSERT_TRUE(file) << error;
    Arm();
    ASSERT_TRUE(file->Append(StartOf(1), error)) << error;
    const Watch seen = watch;
    watch.on = false;
    // The last write to the record file, then a flush of that same descriptor.
    int written_fd = -1;
    std::size_t last_write = 0;
    for (std::size_t i = 0; i < seen.seen.size(); ++i) {
        if (seen.seen[i].first == Call::kWrite && OnFile(seen.seen[i].second, path)) {
            written_fd = seen.seen[i].second;
            last_write = i;
        }
    }
    ASSERT_NE(written_fd, -1) << "no write to the record file";
    bool flushed = false;
    for (std::size_t i = last_write + 1; i < seen.seen.size(); ++i) {
        flushed |= seen.seen[i] == std::make_pair(Call::kFdatasync, written_fd);
    }
    EXPECT_TRUE(flushed) << "the line was not flushed before Append returned";

    Arm({}, {0, 1, EIO});
    EXPECT_FALSE(file->Append(StartOf(2), error));
    EXPECT_EQ(error, "cannot write the record file " + path + ": " + std::strerror(EIO));
}

TEST_F(RecordFileFaults, ADiskThatFillsHalfWayLosesNoLineButTheOneCut) {
    auto file = RecordFile::Open(path, error);
    ASSERT_TRUE(file) << error;
    ASSERT_TRUE(file->Append(StartOf(1), error)) << error;
    ASSERT_TRUE(file->Append(StartOf(2), error)) << error;

    // Full at once: nothing of the line written.
    Arm({0, 1, ENOSPC});
    EXPECT_FALSE(file->Append(StartOf(3), error));
    EXPECT_EQ(error, "cannot write the record file " + path + ": " + std::strerror(ENOSPC));
    // Full after half of the line.
    Arm({0, 2, ENOSPC, 1});
    EXPECT_FALSE(file->Append(StartOf(4), error));
    EXPECT_EQ(error, "cannot write the record file " + path + ": " + std::strerror(ENOSPC));
    ASSERT_GE(watch.write.calls, 2) << "the half line was not followed by the rest";
    // Space again.
    Arm();
    ASSERT_TRUE(file->Append(StartOf(5), error)) << error;

    std::istringstream in(folder.Read("records.jsonl"));
    const RecordReading reading = ReadRecordFile(in);
    std::vector<int64_t> units;
    for (const RecordedUnit &unit : reading.units) {
        units.push_back(unit.record.start.unit);
    }
    EXPECT_EQ(units, (std::vector<int64_t>{1, 2, 5}));
    EXPECT_LE(reading.skipped.size(), 1u);
    for (const SkippedRecordLine &skipped : reading.skipped) {
        EXPECT_EQ(skipped.number, 3u) << "a line other than the one cut was lost";
    }
}

TEST_F(RecordFileFaults, AFileSystemThatRefusesLocksIsRefusedAtOpen) {
    for (const int refusal : {ENOLCK, EOPNOTSUPP}) {
        Arm({}, {}, {0, 1, refusal});
        EXPECT_FALSE(RecordFile::Open(path, error));
        EXPECT_EQ(error, "cannot open the record file " + path +
                             ": the file cannot be locked: " + std::strerror(refusal));
    }
    // The lock taken at the open is let go: another writer gets it at once.
    watch.on = false;
    auto file = RecordFile::Open(path, error);
    ASSERT_TRUE(file) << error;
    const int other = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    ASSERT_GE(other, 0);
    EXPECT_EQ(::flock(other, LOCK_EX | LOCK_NB), 0) << std::strerror(errno);
    ::close(other);
}

TEST_F(RecordFileFaults, AFileDeletedRenamedOrReplacedUnderTheBenchIsMadeAgainAtItsPath) {
    const std::string first = StartOf(1);
    const std::string second = StartOf(2);
    const std::string old = path + ".1";
    const struct {
        const char *what;
        void (*change)(const std::string &path, const std::string &old);
        std::string at_path;  // what the path holds after the second line
        std::string at_old;   // what the old name holds
    } cases[] = {
        {"deleted", [](const std::string &p, const std::string &) { std::filesystem::remove(p); },
         second + "\n", "<missing>"},
        {"renamed",
         [](const std::string &p, const std::string &o) { std::filesystem::rename(p, o); },
         second + "\n", first + "\n"},
        {"replaced",
         [](const std::string &p, const std::string &o) {
             std::filesystem::rename(p, o);
             std::ofstream(p + ".new") << "kept\n";
             std::filesystem::rename(p + ".new", p);
         },
         "kept\n" + second + "\n", first + "\n"},
    };
    for (const auto &c : cases) {
        std::filesystem::remove(path);
        std::filesystem::remove(old);
        auto file = RecordFile::Open(path, error);
        ASSERT_TRUE(file) << error;
        ASSERT_TRUE(file->Append(first, error)) << error;
        c.change(path, old);
        ASSERT_TRUE(file->Append(second, error)) << c.what << ": " << error;
        EXPECT_EQ(folder.Read("records.jsonl"), c.at_path) << c.what;
        EXPECT_EQ(folder.Read("records.jsonl.1"), c.at_old) << c.what;
    }

    // Its folder gone too: the file cannot be made again, and the append says why.
    const std::string inner = (folder / "logs/records.jsonl").string();
    std::filesystem::create_directories(folder / "logs");
    auto file = RecordFile::Open(inner, error);
    ASSERT_TRUE(file) << error;
    std::filesystem::remove_all(folder / "logs");
    EXPECT_FALSE(file->Append(first, error));
    EXPECT_EQ(error, "cannot write the record file " + inner +
                         ": it was deleted or replaced, and cannot be made again: " +
                         std::strerror(ENOENT));
}

}  // namespace
}  // namespace dekvanto::core
