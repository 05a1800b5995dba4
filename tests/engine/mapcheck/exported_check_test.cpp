// The check as the application reaches it: looked up by name in the engine library.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "dekvanto/firmware_image.h"
#include "dekvanto/mx40.h"

namespace {

TEST(ExportedCheckMapCompat, AnswersThroughTheLibrary) {
    void *library = dlopen(MX40_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    const auto check = reinterpret_cast<CheckMapCompat_Fn>(dlsym(library, "CheckMapCompat"));
    ASSERT_NE(check, nullptr);

    const auto dir =
        std::filesystem::temp_directory_path() / ("mapcheck-exported-" + std::to_string(getpid()));
    const auto files = dekvanto::image::WriteSampleSet(dir, {});
    EXPECT_EQ(check(files.code.c_str(), files.perso.c_str()), MX40_MAP_COMPATIBLE);
    EXPECT_EQ(check(files.perso.c_str(), files.perso.c_str()), MX40_MAP_NOT_FOUND);
    EXPECT_EQ(check(nullptr, files.perso.c_str()), MX40_MAP_NO_PATH);
    EXPECT_EQ(check((dir / "none.bin").c_str(), files.perso.c_str()), MX40_MAP_NO_CODE_FILE);

    std::filesystem::remove_all(dir);
    dlclose(library);
}

}  // namespace
