// The seen file's save killed at many moments, natively: the writer is a forked child ended by
// SIGKILL while it writes a full set, and the file read back is the old set or the new, whole.
#include "rss/SeenItems.h"

#include "base/AtomicFile.h"

#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tw {
namespace {

constexpr TStreamTime kNow = 1'700'000'000;

// A full set (the largest file) whose keys say which generation wrote it.
TSeenItems Generation(std::uint64_t g) {
    TSeenItems seen(kNow);
    for (std::uint64_t i = 1; i <= TSeenItems::kMaxEntries; ++i) seen.MarkSeen(g << 32 | i, kNow);
    return seen;
}

TEST(TSeenItems, AKilledSaveLeavesTheOldFileOrTheNewWhole) {
    test::TempDir dir;
    const std::string path = test::Utf8Path(dir / "seen-items.dat");
    ASSERT_TRUE(Generation(1).Save(path, kNow));
    // Save is the set's bytes written in one step; the child writes them as Save does, over and
    // over, so that most kills land inside a write rather than in making the bytes.
    const std::string next = Generation(2).Serialize();
    int cutMidway = 0;
    for (int cut = 0; cut < 20; ++cut) {
        const pid_t child = ::fork();
        if (child == 0) {
            for (;;) WriteFileInOneStep(path, next);
        }
        ASSERT_GT(child, 0);
        std::this_thread::sleep_for(std::chrono::microseconds(300 + cut * 700));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        TSeenItems read;
        ASSERT_TRUE(read.Load(path, kNow)) << "cut " << cut;
        ASSERT_EQ(read.Count(), TSeenItems::kMaxEntries);
        const bool old = read.Contains(1ull << 32 | 7), fresh = read.Contains(2ull << 32 | 7);
        ASSERT_NE(old, fresh) << "one generation, whole";
        cutMidway += std::filesystem::exists(dir / "seen-items.dat.new");
    }
    // The test means something only if some kills came while a new file was being written.
    EXPECT_GT(cutMidway, 0);
}

}  // namespace
}  // namespace tw
