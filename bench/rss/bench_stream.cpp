// Merges 100 generated feeds of 100 items each into one stream, with word rules and a full seen
// set, as "all feeds together" with "only what is new" and the word lists does. Prints:
//   BENCH stream_merge feeds=<n> items=<n> shown=<n> best_ms=<ms> median_ms=<ms>
//   BENCH stream_reload best_ms=<ms> median_ms=<ms>      one feed replaced, then a merge
//   BENCH stream_build best_ms=<ms> median_ms=<ms>       every feed given anew, then a merge
//   BENCH stream_memory stream_kb=<kB> seen_kb=<kB>
// Memory is what the stream holds (snapshots, prepared items, the list and its working tables) and
// what the seen set holds, counted as the bytes asked of operator new and not yet given back.
#include "rss/FeedStream.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>
#include <vector>

namespace {

// Live heap bytes, for the memory lines: each block carries its size in front of it.
std::atomic<long long> gLiveBytes{0};
constexpr std::size_t kHeader = alignof(std::max_align_t);

void* Allocate(std::size_t size) {
    void* block = std::malloc(size + kHeader);
    if (!block) throw std::bad_alloc();
    *static_cast<std::size_t*>(block) = size;
    gLiveBytes += static_cast<long long>(size);
    return static_cast<char*>(block) + kHeader;
}

void Release(void* p) noexcept {
    if (!p) return;
    void* block = static_cast<char*>(p) - kHeader;
    gLiveBytes -= static_cast<long long>(*static_cast<std::size_t*>(block));
    std::free(block);
}

}  // namespace

void* operator new(std::size_t size) { return Allocate(size); }
void* operator new[](std::size_t size) { return Allocate(size); }
void operator delete(void* p) noexcept { Release(p); }
void operator delete[](void* p) noexcept { Release(p); }
void operator delete(void* p, std::size_t) noexcept { Release(p); }
void operator delete[](void* p, std::size_t) noexcept { Release(p); }

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kFeeds = 100;
constexpr int kItems = 100;

const char* const kWords[] = {"harbour", "council", "weather", "market", "election", "river", "school",
                              "festival", "bridge", "museum", "ferry", "storm", "budget", "library"};

std::string Words(unsigned seed, int count) {
    std::string text;
    for (int i = 0; i < count; ++i) {
        seed = seed * 1103515245u + 12345u;
        if (i) text += ' ';
        text += kWords[(seed >> 16) % (sizeof kWords / sizeof *kWords)];
    }
    return text;
}

// Feed f: 90 % RFC 822 dates, 5 % RFC 3339, 5 % none; one item in ten is also in the next feed
// (the same link under the other feed's guid), as agencies' stories are.
tw::TFeedSnapshot GenerateFeed(int f, int generation) {
    const std::string host = "https://feed" + std::to_string(f) + ".example";
    tw::TFeedSnapshot snapshot(host + "/rss", "Feed " + std::to_string(f) + " News");
    snapshot.Reserve(kItems, kItems * 520);
    for (int i = 0; i < kItems; ++i) {
        const int story = generation * kItems + i;
        const std::string guid = host + "/story/" + std::to_string(story);
        const std::string link = i % 10 == 0 ? "https://wire.example/story/" + std::to_string((f + i) / 2 * 1000 + story)
                                             : guid + "?utm_source=rss";
        const std::string title = "Story " + std::to_string(story) + ": the " + Words(f * 977 + i, 8);
        const std::string description = "It was " + Words(f * 31 + i * 7, 30) + ".";
        const int minute = (f * 37 + i * 11) % 60, hour = (f + i) % 24, day = 1 + (i + f) % 28;
        char date[64];
        if (i % 20 == 7) std::snprintf(date, sizeof date, "2024-04-%02dT%02d:%02d:00+02:00", day, hour, minute);
        else if (i % 20 == 13) date[0] = 0;
        else std::snprintf(date, sizeof date, "Mon, %02d Apr 2024 %02d:%02d:00 GMT", day, hour, minute);
        snapshot.Add({guid, link, link, title, description, date});
    }
    return snapshot;
}

template <class Body>
double Milliseconds(Body body) {
    const auto start = Clock::now();
    body();
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

struct Times {
    double best, median;
};

template <class Body>
Times Measure(int rounds, Body body) {
    std::vector<double> ms;
    for (int r = 0; r < rounds; ++r) ms.push_back(Milliseconds(body));
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2]};
}

void Configure(tw::TFeedStream& stream, const tw::TSeenItems& seen) {
    stream.SetWordRules(tw::TWordRules("sport, celebrity, festival parade", "", "Tidewire, harbour bridge", true));
    stream.SetSeenItems(&seen);
}

}  // namespace

int main() {
    // A full seen set: 50,000 entries, among them a fifth of the stream's items.
    const long long beforeSeen = gLiveBytes;
    tw::TSeenItems seen(0);
    {
        std::vector<std::uint64_t> keys;
        for (int f = 0; f < kFeeds; ++f)
            for (std::uint64_t key : tw::SeenKeysOf(GenerateFeed(f, 0))) keys.push_back(key);
        for (std::size_t i = 0; i < keys.size(); i += 5) seen.MarkSeen(keys[i], 1000);
        for (std::uint64_t k = 1; seen.Count() < tw::TSeenItems::kMaxEntries; ++k) seen.MarkSeen(k * 0x9E3779B97F4A7C15ull, 900);
    }
    const long long seenBytes = gLiveBytes - beforeSeen;

    // The snapshots are made before the stream takes them, and count as the stream's.
    const long long beforeStream = gLiveBytes;
    std::vector<tw::TFeedSnapshot> feeds;
    for (int f = 0; f < kFeeds; ++f) feeds.push_back(GenerateFeed(f, 0));
    auto* stream = new tw::TFeedStream;
    Configure(*stream, seen);
    for (tw::TFeedSnapshot& feed : feeds) stream->SetFeed(std::move(feed));
    stream->Merge();
    feeds.clear();
    feeds.shrink_to_fit();
    const long long streamBytes = gLiveBytes - beforeStream;

    const Times merge = Measure(50, [&] { stream->Merge(); });
    std::printf("BENCH stream_merge feeds=%d items=%d shown=%d best_ms=%.3f median_ms=%.3f\n", kFeeds, kFeeds * kItems,
                stream->Count(), merge.best, merge.median);

    int generation = 1;
    const Times reload = Measure(50, [&] {
        stream->SetFeed(GenerateFeed(generation % kFeeds, generation));
        stream->Merge();
        ++generation;
    });
    std::printf("BENCH stream_reload best_ms=%.3f median_ms=%.3f\n", reload.best, reload.median);

    // Generating the feeds is not timed: only handing them over and merging.
    std::vector<double> buildMs;
    for (int r = 0; r < 10; ++r) {
        std::vector<tw::TFeedSnapshot> fresh;
        for (int f = 0; f < kFeeds; ++f) fresh.push_back(GenerateFeed(f, 0));
        auto other = std::make_unique<tw::TFeedStream>();
        buildMs.push_back(Milliseconds([&] {
            Configure(*other, seen);
            for (tw::TFeedSnapshot& feed : fresh) other->SetFeed(std::move(feed));
            other->Merge();
        }));
    }
    std::sort(buildMs.begin(), buildMs.end());
    std::printf("BENCH stream_build best_ms=%.3f median_ms=%.3f\n", buildMs.front(), buildMs[buildMs.size() / 2]);

    std::printf("BENCH stream_memory stream_kb=%lld seen_kb=%lld\n", streamBytes / 1024, seenBytes / 1024);
    delete stream;
    return 0;
}
