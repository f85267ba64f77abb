#include "rss/SeenItems.h"

#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace tw {
namespace {

constexpr TStreamTime kDay = 24 * 3600;
constexpr TStreamTime kStart = 1'700'000'000;

TEST(TSeenItems, RemembersAcrossRunsAndSinceWhenNothingWasNew) {
    test::TempDir dir;
    const std::string path = test::Utf8Path(dir / "seen-items.dat");
    TSeenItems first;
    EXPECT_FALSE(first.Load(path, kStart)) << "no file yet";
    EXPECT_EQ(first.QuietSince(), kStart) << "switched on now";
    first.MarkSeen(11, kStart + 60);
    first.MarkSeen(7, kStart + 120);
    first.MarkSeen(11, kStart + 180);
    EXPECT_TRUE(first.Modified());
    ASSERT_TRUE(first.Save(path, kStart + 200));
    EXPECT_FALSE(first.Modified());

    TSeenItems second;
    ASSERT_TRUE(second.Load(path, kStart + 5000));
    EXPECT_EQ(second.Count(), 2u);
    EXPECT_TRUE(second.Contains(7));
    EXPECT_TRUE(second.Contains(11));
    EXPECT_FALSE(second.Contains(8));
    EXPECT_EQ(second.QuietSince(), kStart + 180) << "the last marking, not the start";
}

TEST(TSeenItems, ForgetsWhatLeftItsFeedThirtyDaysAgoAndTheLongestGoneBeyondTheBound) {
    TSeenItems seen(kStart);
    for (std::uint64_t key = 1; key <= 4; ++key) seen.MarkSeen(key, kStart);
    const std::uint64_t stillThere[] = {2, 4, 99};  // 99 was never seen: nothing to note
    seen.NotePresent(stillThere, kStart + 20 * kDay);
    seen.Prune(kStart + 30 * kDay);
    EXPECT_EQ(seen.Count(), 4u) << "30 days exactly are kept";
    seen.Prune(kStart + 30 * kDay + 1);
    EXPECT_EQ(seen.Count(), 2u);
    EXPECT_TRUE(seen.Contains(2));
    EXPECT_TRUE(seen.Contains(4));
    EXPECT_FALSE(seen.Contains(99));

    TSeenItems full(kStart);
    const std::uint64_t extra = 5;
    const auto key = [](std::uint64_t i) { return (i + 1) * 7919; };
    for (std::uint64_t i = 0; i < TSeenItems::kMaxEntries + extra; ++i) full.MarkSeen(key(i), kStart + static_cast<TStreamTime>(i));
    full.Prune(kStart + 1000);
    EXPECT_EQ(full.Count(), TSeenItems::kMaxEntries);
    for (std::uint64_t i = 0; i < extra; ++i) EXPECT_FALSE(full.Contains(key(i))) << "the oldest go first";
    EXPECT_TRUE(full.Contains(key(extra)));
}

TEST(TSeenItems, ABrokenFileReadsAsEmptyAndTheNextSaveReplacesIt) {
    TSeenItems seen(kStart);
    seen.MarkSeen(42, kStart);
    seen.MarkSeen(43, kStart);
    const std::string good = seen.Serialize();
    ASSERT_TRUE(TSeenItems().Parse(good));

    const auto changed = [&](std::size_t at, char to) {
        std::string bytes = good;
        bytes[at] = to;
        return bytes;
    };
    // Whole and with the right checksum, but with the header field written as 0 set (found by
    // fuzzing): accepted, it would not be written back the same.
    const std::string reservedSet(
        "\x54\x57\x53\x4E\x01\x00\x00\x00\x02\x00\x00\x00\x00\xC8\xF1\x53\x65\x00\x00\x00\x00\xA0"
        "\x28\xCD\x11\x70\xD5\xD0\x00\x9D\x5D\x1E\x00\x00\x00\x00\x00\xC8\xF1\x53\x65\x00\xF1\x53"
        "\x65\x00\x00\x00\x00\xCD\x28\xA0\xE1\x12\xCB\xF5\xCB\x2A\x00\x00\x00\x00\x00\x00",
        64);
    const std::string broken[] = {
        "",
        reservedSet,
        good.substr(0, good.size() - 1),  // cut short
        good + "x",                       // more than the count says
        changed(0, 'X'),                  // not our magic
        changed(4, 2),                    // a version we do not know
        changed(8, 3),                    // a count the size does not match
        changed(good.size() - 3, '\x7F'), // an entry changed: the checksum fails
        changed(17, '\x01'),              // the header changed: the checksum fails
    };
    for (const std::string& bytes : broken) {
        TSeenItems other(kStart);
        other.MarkSeen(1, kStart);
        EXPECT_FALSE(other.Parse(bytes)) << bytes.size();
        EXPECT_TRUE(other.Contains(1)) << "a failed parse leaves the set as it was";
    }

    test::TempDir dir;
    const std::string path = test::Utf8Path(dir / "seen-items.dat");
    std::ofstream(dir / "seen-items.dat", std::ios::binary) << good.substr(0, 40);
    TSeenItems loaded;
    EXPECT_FALSE(loaded.Load(path, kStart + 9));
    EXPECT_EQ(loaded.Count(), 0u);
    EXPECT_EQ(loaded.QuietSince(), kStart + 9);
    loaded.MarkSeen(5, kStart + 10);
    ASSERT_TRUE(loaded.Save(path, kStart + 10));
    TSeenItems again;
    EXPECT_TRUE(again.Load(path, kStart + 11));
    EXPECT_TRUE(again.Contains(5));
}

}  // namespace
}  // namespace tw
