// Paths joined and cut with the platform's separators (here POSIX: '/' only).
#include "core/settings/path_text.h"

#include <gtest/gtest.h>

#include "core/products/product_selection.h"
#include "support/memory_store.h"

namespace dekvanto::core {
namespace {

TEST(PathText, JoinsWithExactlyOneSeparator) {
    EXPECT_EQ(PathInFolder("/opt/dekvanto/", "ldr.bin"), "/opt/dekvanto/ldr.bin");
    EXPECT_EQ(PathInFolder("/opt/dekvanto", "ldr.bin"), "/opt/dekvanto/ldr.bin");
    EXPECT_EQ(PathInFolder("", "ldr.bin"), "ldr.bin");
    EXPECT_EQ(PathInFolder("/opt/dekvanto", ""), "/opt/dekvanto/");
    // A backslash is part of a POSIX name, not a separator.
    EXPECT_EQ(PathInFolder("/opt/odd\\", "ldr.bin"), "/opt/odd\\/ldr.bin");
}

TEST(PathText, FolderOfAPathEndsBeforeItsLastSeparator) {
    EXPECT_EQ(FolderOfPath("/home/user/code.bin"), "/home/user");
    EXPECT_EQ(FolderOfPath("/code.bin"), "");
    EXPECT_EQ(FolderOfPath("code.bin"), "");
    EXPECT_EQ(FolderOfPath("/home/a\\b.bin"), "/home");
}

TEST(PathText, ProductLoaderIsJoinedToTheProgramDirectory) {
    for (const std::string directory : {"/opt/dekvanto", "/opt/dekvanto/"}) {
        ProductSelection selection({Product{"Phone", "ldr.bin", 1, 0, 0}}, directory);
        MemoryStore store;
        const auto choice = selection.Choose(1, store, {});
        ASSERT_TRUE(choice.has_value());
        EXPECT_EQ(choice->target.loader_path, "/opt/dekvanto/ldr.bin");
    }
}

}  // namespace
}  // namespace dekvanto::core
