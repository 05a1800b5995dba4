// Files the engine cannot use, as the real engine library meets them in a download into the
// simulated phone: empty, larger than a size frame can announce, unreadable, a folder, a pipe, or
// gone by the time the engine reads it. Each ends with its result and leaves nothing open.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>

#include "download_session.h"
#include "unprivileged_child.h"

namespace dekvanto::integration {
namespace {

namespace fs = std::filesystem;

enum class Which { kLoader, kCode, kPerso };

struct BadFile {
    std::string name;
    Which which;
    // Spoils the file at path (or puts something else in its place); returns the path to give
    // the engine.
    std::function<fs::path(const fs::path &path)> spoil;
    int32_t result;
};

void PrintTo(const BadFile &bad, std::ostream *out) {
    *out << bad.name;
}

fs::path Emptied(const fs::path &path) {
    fs::resize_file(path, 0);
    return path;
}

// A sparse file of 5 GiB: more than the four bytes of a size frame can announce.
fs::path Huge(const fs::path &path) {
    fs::resize_file(path, uint64_t{5} << 30);
    return path;
}

// The file's name under a path whose folder is a plain file: no process may open it, whatever
// its rights.
fs::path BehindAFile(const fs::path &path) {
    return path / "inside";
}

fs::path AFolder(const fs::path &path) {
    fs::remove(path);
    fs::create_directory(path);
    return path;
}

fs::path APipe(const fs::path &path) {
    fs::remove(path);
    EXPECT_EQ(::mkfifo(path.c_str(), 0600), 0);
    return path;
}

// Removed once the download has begun, after the caller's checks and before the engine reads the
// files: the engine finds nothing at the path.
struct VanishAtStart {
    fs::path path;
    bool done = false;
};

void MX40_CALL RemoveOnFirstByte(void *context, int32_t, int32_t, const uint8_t *, uint32_t) {
    auto &vanish = *static_cast<VanishAtStart *>(context);
    if (!vanish.done) {
        vanish.done = true;
        fs::remove(vanish.path);
    }
}

class BadFiles : public ::testing::TestWithParam<BadFile> {
  protected:
    fs::path &PathOf(Which which) {
        return which == Which::kLoader ? files.loader
               : which == Which::kCode ? files.code
                                       : files.perso;
    }

    // Runs the download with the three paths; returns the result and checks that the line was
    // closed and logged, and that no descriptor stayed open.
    int32_t Download(VanishAtStart *vanish = nullptr) {
        DownloadRecords records;
        records.UseFiles(files);
        window = TestWindow();
        if (vanish != nullptr) {
            Mxl40_SetTrace(RemoveOnFirstByte, vanish);
        }
        const SessionResult session = RunSession(rig.phone, records, &window);
        Mxl40_SetTrace(nullptr, nullptr);
        EXPECT_EQ(session.descriptors_after, session.descriptors_before);
        EXPECT_FALSE(window.log_lines.empty());
        if (!window.log_lines.empty() && session.result != '2') {
            EXPECT_EQ(window.log_lines.back(), "Close COM" + std::to_string(records.settings.Port));
        }
        EXPECT_EQ(session.summary.end, session.result == '2' ? dekvanto::sim::EndReason::kFinished
                                                             : dekvanto::sim::EndReason::kReleased)
            << dekvanto::sim::EndReasonName(session.summary.end);
        return session.result;
    }

    dekvanto::testing::DownloadRig rig{{300, 3000, 600}};
    dekvanto::testing::SampleFiles &files = rig.files;
    TestWindow window;
};

TEST_P(BadFiles, EndTheDownloadWithTheirResult) {
    const BadFile &bad = GetParam();
    fs::path &path = PathOf(bad.which);
    path = bad.spoil(path);
    EXPECT_EQ(char(Download()), char(bad.result));
    EXPECT_TRUE(window.boxes.empty()) << window.boxes.front();
}

const int32_t kOpenResult[] = {';', ':', 'D'};
const int32_t kMemoryResult[] = {'=', '<', '<'};

std::vector<BadFile> AllBadFiles() {
    const std::pair<Which, const char *> files[] = {
        {Which::kLoader, "loader"}, {Which::kCode, "code"}, {Which::kPerso, "perso"}};
    std::vector<BadFile> cases;
    for (const auto &[which, file] : files) {
        const int i = static_cast<int>(which);
        const std::string name(file);
        // Nothing to send is no fault: the phone gets a size of 0 (or no loader block at all).
        cases.push_back({"empty_" + name, which, Emptied, '2'});
        cases.push_back({"huge_" + name, which, Huge, kMemoryResult[i]});
        cases.push_back({"unreachable_" + name, which, BehindAFile, kOpenResult[i]});
        cases.push_back({"folder_as_" + name, which, AFolder, kOpenResult[i]});
        cases.push_back({"pipe_as_" + name, which, APipe, kOpenResult[i]});
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(Engine, BadFiles, ::testing::ValuesIn(AllBadFiles()),
                         [](const auto &info) { return info.param.name; });

TEST_F(BadFiles, AFileRemovedOnceTheDownloadHasBegunCannotBeOpened) {
    VanishAtStart vanish{files.code};
    EXPECT_EQ(char(Download(&vanish)), ':');
    EXPECT_TRUE(vanish.done);
}

// Read rights are tested in a child without privileges (the tests may run as root). The folder
// and the other files are open to everyone; the child keeps a port register of its own.
TEST_F(BadFiles, AFileWithoutReadRightsCannotBeOpened) {
    const fs::perms open_folder = fs::perms::owner_all | fs::perms::group_read |
                                  fs::perms::group_exec | fs::perms::others_read |
                                  fs::perms::others_exec;
    fs::permissions(rig.folder.Path(), open_folder);
    fs::permissions(files.loader.parent_path(), open_folder);
    for (const fs::path &path : {files.loader, files.code}) {
        fs::permissions(path, fs::perms::owner_read | fs::perms::owner_write |
                                  fs::perms::group_read | fs::perms::others_read);
    }
    fs::permissions(files.perso, fs::perms::none);
    EXPECT_TRUE(dekvanto::testing::RunUnprivileged([this] {
        char pattern[] = "/tmp/dekvanto-ports-XXXXXX";
        const fs::path register_dir = ::mkdtemp(pattern);
        ::setenv("DEKVANTO_PORTS", register_dir.c_str(), 1);
        EXPECT_EQ(char(Download()), 'D');
        fs::remove_all(register_dir);
    }));
}

}  // namespace
}  // namespace dekvanto::integration
