#include "base/AtomicFile.h"

#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace tw {
namespace {

TEST(AtomicFile, ReplacesTheWholeFileOrLeavesItAsItWas) {
    test::TempDir dir;
    const std::string path = test::Utf8Path(dir / "app.config");
    ASSERT_TRUE(WriteFileInOneStep(path, "old"));
    ASSERT_TRUE(WriteFileInOneStep(path, "new contents"));
    EXPECT_EQ(test::ReadWholeFile(dir / "app.config"), "new contents");
    EXPECT_FALSE(std::filesystem::exists(dir / "app.config.new")) << "nothing is left beside it";

    // A target that cannot be replaced (a folder of that name) keeps what it has.
    std::filesystem::create_directory(dir / "taken");
    EXPECT_FALSE(WriteFileInOneStep(test::Utf8Path(dir / "taken"), "x"));
    EXPECT_TRUE(std::filesystem::is_directory(dir / "taken"));
    EXPECT_FALSE(std::filesystem::exists(dir / "taken.new"));
}

}  // namespace
}  // namespace tw
