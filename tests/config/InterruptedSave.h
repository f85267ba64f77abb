#pragma once
// A save cut off at any moment: a writer process puts new settings over old ones (the dialog's
// OK, then the exit, as the program does) and is killed at many moments. Each time the file read
// back must hold what a whole save leaves: the old settings, those after the OK, or those after
// the exit; never a mix, never nothing. Starting and killing the writer is each build's own
// (fork natively, a child process under Windows).
#include "config/AppSettings.h"

#include "SettingsStoreCases.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

namespace tw::test {

using StoreMaker = std::function<std::unique_ptr<IProfileStore>(const std::string& utf8Path)>;

// Enough custom feeds that the writes take a while: each profile write rewrites the file.
inline constexpr int kCutFeeds = 30;

// Generation g of the settings, step 0 the dialog's OK and step 1 the exit, each through a store
// of its own as the main window opens one.
inline void SaveStep(const StoreMaker& make, const std::string& path, int g, int step) {
    TFeedsList defaults, custom;
    for (std::size_t n = 0; n < DefaultFeedUrls.size(); ++n)
        defaults.Add(std::string(DefaultFeedUrls[n]), (n + static_cast<std::size_t>(g)) % 3 != 0);
    const std::string host = "http://gen" + std::to_string(g) + ".example/";
    for (int i = 0; i < kCutFeeds; ++i) custom.Add(host + "feeds/" + std::to_string(i) + "/rss.xml", (i + g) % 4 != 0);
    if (step == 1) {
        SaveFeedState(*make(path), host + "current", (5 + g) * 60000, custom);
        return;
    }
    TAppSettings s;
    s.LastConfigPage = g;
    s.MaxShowingItems = 10 + g;
    s.AutoUrlJump = g % 2 == 1;
    s.TickerFont = {g == 0 ? "Arial" : "Verdana", 9 + g, 0x102030u * static_cast<std::uint32_t>(g + 1), g == 1, g == 0};
    s.TickerSpeed = TickerSpeeds[static_cast<std::size_t>(g) % TickerSpeeds.size()];
    SaveSettings(*make(path), s, defaults, custom);
}

inline void SaveGeneration(const StoreMaker& make, const std::string& path, int g) {
    SaveStep(make, path, g, 0);
    SaveStep(make, path, g, 1);
}

// Everything the settings read back as, in one text.
inline std::string Snapshot(const IProfileStore& store) {
    TFeedsList defaults, custom;
    const TAppSettings s = LoadSettings(store, "(none)", 77, defaults, custom);
    std::string out = s.Url + ' ' + std::to_string(s.ReloadInterval) + ' ' + std::to_string(s.LastConfigPage) + ' ' +
                      std::to_string(s.MaxShowingItems) + ' ' + std::to_string(s.AutoUrlJump) + ' ' +
                      s.TickerFont.Name + ' ' + std::to_string(s.TickerFont.Size) + ' ' +
                      std::to_string(s.TickerFont.Color) + ' ' + std::to_string(s.TickerFont.Italic) +
                      std::to_string(s.TickerFont.Bold) + ' ' + std::to_string(s.TickerSpeed) + ' ';
    for (std::size_t n = 0; n < defaults.Count(); ++n) out += defaults.Objects(n).LinkEnabled ? '1' : '0';
    out += " custom " + std::to_string(custom.Count());
    for (std::size_t i = 0; i < custom.Count(); ++i)
        out += ' ' + custom.Strings(i) + (custom.Objects(i).LinkEnabled ? "+" : "-");
    return out;
}

// Starts a writer that saves generation 1 over the file at `path` (with SaveGeneration, through
// the store under test), waits until it is about to write, and kills it once it has run for
// `delay` unless it ended before. Returns how long it ran, once it is gone.
using CutWriter = std::function<std::chrono::microseconds(const std::string& path, std::chrono::microseconds delay)>;

inline void ExpectWholeSettingsAfterEveryCut(const StoreMaker& make, const CutWriter& cut, int cuts) {
    TempDir dir;
    // The states a whole save leaves.
    const std::string scratch = Utf8Path(dir / "whole.config");
    SaveGeneration(make, scratch, 0);
    const std::string oldBytes = ReadWholeFile(dir / "whole.config");
    std::vector<std::string> whole{Snapshot(*make(scratch))};
    for (int step = 0; step < 2; ++step) {
        SaveStep(make, scratch, 1, step);
        whole.push_back(Snapshot(*make(scratch)));
    }
    ASSERT_FALSE(oldBytes.empty());
    ASSERT_TRUE(whole[0] != whole[1] && whole[1] != whole[2] && whole[0] != whole[2]);

    const auto file = dir / "app.config";
    const auto restore = [&] { std::ofstream(file, std::ios::binary | std::ios::trunc) << oldBytes; };
    // Writers left alone tell how long the writes take (the middle of three: one run alone
    // varies tenfold on a busy machine), and that they write at all.
    std::chrono::microseconds runs[3];
    for (auto& run : runs) {
        restore();
        run = cut(Utf8Path(file), std::chrono::seconds(60));
        ASSERT_EQ(Snapshot(*make(Utf8Path(file))), whole[2]) << "a writer not killed saves everything";
    }
    std::sort(std::begin(runs), std::end(runs));
    const auto span = runs[1];

    int outcomes[3] = {};
    for (int k = 0; k < cuts; ++k) {
        restore();
        // From the first write to a little past the last.
        const auto delay = span * k * 11 / (10 * (cuts - 1));
        cut(Utf8Path(file), delay);
        const auto found = std::find(whole.begin(), whole.end(), Snapshot(*make(Utf8Path(file))));
        EXPECT_TRUE(found != whole.end()) << "cut " << k << " after " << delay.count() << " us of " << span.count()
                                          << ": the file holds neither the old settings nor the new ones";
        if (found != whole.end()) ++outcomes[found - whole.begin()];
    }
    std::printf("the writes take %lld us; cuts found old %d, after OK %d, after exit %d\n",
                static_cast<long long>(span.count()), outcomes[0], outcomes[1], outcomes[2]);
}

}  // namespace tw::test
