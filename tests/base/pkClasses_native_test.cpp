// The file stream's attribute option on POSIX: a file without its owner write bit gets it for
// the opening and loses it again afterwards.
#include "base/pkClasses.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include "support/TestPaths.h"

namespace tw {
namespace {

mode_t ModeOf(const std::string& name) {
    struct stat st {};
    ::stat(name.c_str(), &st);
    return st.st_mode & 07777;
}

TEST(TpkFileStreamNative, ReadOnlyFileKeepsItsModeAfterOpening) {
    test::TempDir dir;
    const std::string name = (dir / "ro.bin").string();
    { TpkFileStream f(name, TpkFileStreamMode::fsmCreate); f.WriteString("old"); }
    ASSERT_EQ(::chmod(name.c_str(), 0444), 0);
    {
        TpkFileStream f(name, TpkFileStreamMode::fsmCreate, true);
        f.WriteString("newer");
    }
    EXPECT_EQ(ModeOf(name), 0444u);
    ::chmod(name.c_str(), 0644);
    TpkFileStream check(name, TpkFileStreamMode::fsmOpenOrCreate);
    EXPECT_EQ(check.Size(), 5);
}

}  // namespace
}  // namespace tw
