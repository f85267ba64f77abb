// The settings file: the documented rules and the bounds for values no dialog would write, run
// over each profile store of the build.
#include "config/AppSettings.h"

#include "base/pkClasses.h"
#include "config/IniProfileStore.h"

#include "SettingsStoreCases.h"

#include <fstream>
#include <functional>

namespace tw::test {

void SettingsStore::WriteFile(const std::string& text) {
    std::string crlf;
    for (char c : text) {
        if (c == '\n') crlf += '\r';
        crlf += c;
    }
    std::ofstream(File(), std::ios::binary) << crlf;
}

namespace {

const std::string kDefaultUrl(DefaultFeedUrls[1]);

struct Loaded {
    TAppSettings settings;
    TFeedsList defaults;
    TFeedsList custom;
};

Loaded Load(const IProfileStore& store) {
    Loaded l;
    l.settings = LoadSettings(store, kDefaultUrl, 5, l.defaults, l.custom);
    return l;
}

std::vector<std::pair<std::string, bool>> Entries(const TFeedsList& list) {
    std::vector<std::pair<std::string, bool>> out;
    for (std::size_t i = 0; i < list.Count(); ++i) out.emplace_back(list.Strings(i), list.Objects(i).LinkEnabled);
    return out;
}

using EntryList = std::vector<std::pair<std::string, bool>>;

TEST_P(SettingsStore, NoFileGivesEveryDefaultAndFirstRun) {
    auto store = Open();
    const auto l = Load(*store);
    EXPECT_TRUE(l.settings.FirstRun);
    EXPECT_EQ(l.settings.Url, kDefaultUrl);
    EXPECT_EQ(l.settings.LastConfigPage, 0);
    EXPECT_EQ(l.settings.ReloadInterval, 300000);
    EXPECT_EQ(l.settings.MaxShowingItems, 0);
    EXPECT_FALSE(l.settings.AutoUrlJump);
    EXPECT_EQ(l.settings.TickerFont.Name, "Tahoma");
    EXPECT_EQ(l.settings.TickerFont.Size, 8);
    EXPECT_EQ(l.settings.TickerFont.Color, 15136255u);
    EXPECT_FALSE(l.settings.TickerFont.Italic || l.settings.TickerFont.Bold);
    EXPECT_EQ(l.settings.TickerSpeed, 25);
    EXPECT_FALSE(l.settings.PixelJump.has_value());
    ASSERT_EQ(l.defaults.Count(), 14u);
    for (std::size_t n = 0; n < 14; ++n) {
        EXPECT_EQ(l.defaults.Strings(n), DefaultFeedUrls[n]);
        EXPECT_TRUE(l.defaults.Objects(n).LinkEnabled);
    }
    EXPECT_TRUE(l.custom.Empty());
    EXPECT_FALSE(store->Exists()) << "reading must not create the file";
}

TEST_P(SettingsStore, AnExistingFileEndsTheFirstRun) {
    WriteFile("[Global]\n");
    EXPECT_FALSE(Load(*Open()).settings.FirstRun);
}

TEST_P(SettingsStore, CustomEntriesRoundTripWithTheirFlags) {
    auto store = Open();
    TFeedsList defaults, custom;
    for (auto u : DefaultFeedUrls) defaults.Add(std::string(u), true);
    custom.Add("http://a.example/rss", true);
    custom.Add("http://b.example/rss", false);
    custom.Add("http://c.example/rss", true);
    ASSERT_TRUE(SaveSettings(*store, TAppSettings{}, defaults, custom));

    EXPECT_EQ(store->ReadSection("Custom Urls"),
              (std::vector<std::string>{"Disabled=1", "Url_0=http://a.example/rss", "Url_1=http://b.example/rss",
                                        "Url_2=http://c.example/rss"}));
    const auto l = Load(*Open());
    EXPECT_EQ(Entries(l.custom), (EntryList{{"http://a.example/rss", true},
                                            {"http://b.example/rss", false},
                                            {"http://c.example/rss", true}}));
}

TEST_P(SettingsStore, UncheckedDefaultEntriesAreWrittenAscending) {
    auto store = Open();
    TFeedsList defaults, custom;
    for (auto u : DefaultFeedUrls) defaults.Add(std::string(u), true);
    defaults.Objects(13).LinkEnabled = false;
    defaults.Objects(0).LinkEnabled = false;
    ASSERT_TRUE(SaveSettings(*store, TAppSettings{}, defaults, custom));
    EXPECT_EQ(store->ReadSection("Default Urls"), std::vector<std::string>{"Disabled=0,13"});

    const auto l = Load(*Open());
    for (std::size_t n = 0; n < 14; ++n) EXPECT_EQ(l.defaults.Objects(n).LinkEnabled, n != 0 && n != 13) << n;
}

TEST_P(SettingsStore, AMovedDefaultFeedKeepsItsPlaceAndTheBuiltInList) {
    auto store = Open();
    TFeedsList defaults, custom;
    for (auto u : DefaultFeedUrls) defaults.Add(std::string(u), true);
    defaults.ReplaceAddress(3, "https://moved.example/headlines.rss");
    defaults.Objects(5).LinkEnabled = false;
    ASSERT_TRUE(SaveSettings(*store, TAppSettings{}, defaults, custom));
    EXPECT_EQ(store->ReadSection("Default Urls"), std::vector<std::string>{"Disabled=5"});
    EXPECT_EQ(store->ReadSection("Moved Urls"), std::vector<std::string>{"Default_3=https://moved.example/headlines.rss"});

    auto l = Load(*Open());
    EXPECT_EQ(l.defaults.Strings(3), "https://moved.example/headlines.rss");
    EXPECT_EQ(l.defaults.Strings(4), DefaultFeedUrls[4]);
    EXPECT_FALSE(l.defaults.Objects(5).LinkEnabled);
    // Moved back (or a new program's list holding the address again): nothing is left behind.
    l.defaults.ReplaceAddress(3, std::string(DefaultFeedUrls[3]));
    ASSERT_TRUE(SaveSettings(*store, TAppSettings{}, l.defaults, custom));
    EXPECT_TRUE(store->ReadSection("Moved Urls").empty());
}

TEST_P(SettingsStore, SaveSettingsWritesEverythingButUrlAndReloadTime) {
    auto store = Open();
    TFeedsList defaults, custom;
    TAppSettings s;
    s.LastConfigPage = 3;
    s.MaxShowingItems = 7;
    s.AutoUrlJump = true;
    s.TickerFont = {"Verdana", 9, 0xFF00000F, true, false};
    s.TickerSpeed = 10;
    s.Monitor = "\\\\.\\DISPLAY2";
    ASSERT_TRUE(SaveSettings(*store, s, defaults, custom));
    EXPECT_EQ(store->ReadSection("Global"),
              (std::vector<std::string>{"Last_Config_Page=3", "Max_Showing_Items=7", "Auto_Url_Jump=1",
                                        "Ticker_Font_Name=Verdana", "Ticker_Font_Size=9",
                                        "Ticker_Font_Color=-16777201", "Ticker_Font_Style=10", "Ticker_Speed=10",
                                        "Monitor=\\\\.\\DISPLAY2"}));
    const auto l = Load(*Open());
    EXPECT_EQ(l.settings.LastConfigPage, 3);
    EXPECT_EQ(l.settings.MaxShowingItems, 7);
    EXPECT_TRUE(l.settings.AutoUrlJump);
    EXPECT_EQ(l.settings.TickerFont.Name, "Verdana");
    EXPECT_EQ(l.settings.TickerFont.Color, 0xFF00000Fu);
    EXPECT_EQ(l.settings.PixelJump, 2);
    EXPECT_EQ(l.settings.Monitor, "\\\\.\\DISPLAY2");
}

TEST_P(SettingsStore, TheMonitorIsReadTrimmedAndWrittenAlone) {
    const struct {
        const char* file;
        const char* monitor;
    } cases[] = {
        {"[Global]\nTicker_Speed=15\n", ""},
        {"[Global]\nMonitor=\n", ""},
        {"[Global]\nMonitor=  \\\\.\\DISPLAY3\t\n", "\\\\.\\DISPLAY3"},
    };
    for (const auto& c : cases) {
        WriteFile(c.file);
        EXPECT_EQ(Load(*Open()).settings.Monitor, c.monitor) << c.file;
    }
    WriteFile("[Global]\nTicker_Speed=15\nMonitor=\\\\.\\DISPLAY3\n");
    auto store = Open();
    ASSERT_TRUE(SaveMonitor(*store, "\\\\.\\DISPLAY2\r\n"));
    EXPECT_EQ(Open()->ReadSection("Global"), (std::vector<std::string>{"Ticker_Speed=15", "Monitor=\\\\.\\DISPLAY2"}));
}

TEST_P(SettingsStore, FontStyleCharactersAreItalicThenBold) {
    const struct {
        const char* value;
        bool italic, bold;
    } cases[] = {{"10", true, false}, {"01", false, true}, {"11", true, true}, {"00", false, false},
                 {"1", true, false},  {"", false, false},  {"x1", false, true}, {"21", false, true}};
    for (const auto& c : cases) {
        WriteFile(std::string("[Global]\nTicker_Font_Style=") + c.value + "\n");
        const auto font = Load(*Open()).settings.TickerFont;
        EXPECT_EQ(font.Italic, c.italic) << '"' << c.value << '"';
        EXPECT_EQ(font.Bold, c.bold) << '"' << c.value << '"';
    }
}

TEST_P(SettingsStore, TickerSpeedSetsSpeedAndPixelJump) {
    const struct {
        const char* value;
        int speed;
        std::optional<int> jump;
    } cases[] = {
        {"10", 10, 2},   {"15", 15, std::nullopt}, {"25", 25, std::nullopt}, {"50", 50, std::nullopt},
        {"35", 35, std::nullopt},
        // Outside what the dialog offers: documented bounds.
        {"0", 25, std::nullopt}, {"-5", 25, std::nullopt}, {"5", 10, 2}, {"99999", 1000, std::nullopt},
        {"fast", 25, std::nullopt}, {"12abc", 25, std::nullopt},
    };
    for (const auto& c : cases) {
        WriteFile(std::string("[Global]\nTicker_Speed=") + c.value + "\n");
        const auto s = Load(*Open()).settings;
        EXPECT_EQ(s.TickerSpeed, c.speed) << c.value;
        EXPECT_EQ(s.PixelJump, c.jump) << c.value;
    }
}

TEST_P(SettingsStore, HandWrittenCustomSectionWithoutLeadingDisabledShiftsIndexes) {
    WriteFile("[Custom Urls]\nUrl_0=http://a/\nUrl_1=http://b/\nUrl_2=http://c/\nDisabled=1\n");
    // A is line 0 (index -1), B line 1 (index 0), C line 2 (index 1): C, not B, is off.
    EXPECT_EQ(Entries(Load(*Open()).custom), (EntryList{{"http://a/", true}, {"http://b/", true}, {"http://c/", false}}));

    WriteFile("[Custom Urls]\nDisabled=1\nUrl_0=http://a/\nUrl_1=http://b/\nUrl_2=http://c/\n");
    EXPECT_EQ(Entries(Load(*Open()).custom), (EntryList{{"http://a/", true}, {"http://b/", false}, {"http://c/", true}}));
}

TEST_P(SettingsStore, CustomKeysAreNotInterpreted) {
    WriteFile("[Custom Urls]\nDisabled=0\nMy feed=http://x/\nanother=http://y/\nnovalue\nUrl_9=\n");
    EXPECT_EQ(Entries(Load(*Open()).custom), (EntryList{{"http://x/", false}, {"http://y/", true}}));
}

// What the system's section reader leaves out (blank lines) or keeps (comment lines) decides
// the positions; the plain-file store must agree with it.
TEST_P(SettingsStore, BlankAndCommentLinesInTheCustomSection) {
    WriteFile("[Custom Urls]\nDisabled=1\n\n; note=http://not-a-feed/\nUrl_0=http://a/\nUrl_1=http://b/\n");
    EXPECT_EQ(Open()->ReadSection("Custom Urls"),
              (std::vector<std::string>{"Disabled=1", "Url_0=http://a/", "Url_1=http://b/"}));
    EXPECT_EQ(Entries(Load(*Open()).custom), (EntryList{{"http://a/", true}, {"http://b/", false}}));
}

TEST_P(SettingsStore, DisabledListsIgnoreWhatNamesNoEntry) {
    WriteFile("[Default Urls]\nDisabled=x,,99,-1, 3 ,01,13\n");
    const auto l = Load(*Open());
    for (std::size_t n = 0; n < 14; ++n) EXPECT_EQ(l.defaults.Objects(n).LinkEnabled, n != 3 && n != 13) << n;
}

TEST_P(SettingsStore, ClosingWithoutTheDialogWritesOnlyTheFeedState) {
    auto store = Open();
    TFeedsList none;
    ASSERT_TRUE(SaveFeedState(*store, kDefaultUrl, 5 * 60000, none));
    EXPECT_EQ(store->ReadSection("Global"), (std::vector<std::string>{"Url=" + kDefaultUrl, "Reload_Time=5"}));
    EXPECT_TRUE(store->ReadSection("Default Urls").empty());
    EXPECT_TRUE(store->ReadSection("Custom Urls").empty());
}

TEST_P(SettingsStore, FeedStateReplacesUrlKeysInPlace) {
    WriteFile("[Global]\nTicker_Speed=15\n[Custom Urls]\nDisabled=1\nUrl_0=http://a/\nUrl_1=http://b/\n[Default Urls]\nDisabled=2\n");
    auto store = Open();
    auto l = Load(*store);
    l.custom.Add("http://c/", true);  // as if added by the dialog whose OK did not write yet
    ASSERT_TRUE(SaveFeedState(*store, "http://now/", 17 * 60000 + 59999, l.custom));
    EXPECT_EQ(store->ReadSection("Custom Urls"),
              (std::vector<std::string>{"Disabled=1", "Url_0=http://a/", "Url_1=http://b/", "Url_2=http://c/"}));
    EXPECT_EQ(store->ReadSection("Global"),
              (std::vector<std::string>{"Ticker_Speed=15", "Url=http://now/", "Reload_Time=17"}));
    EXPECT_EQ(store->ReadSection("Default Urls"), std::vector<std::string>{"Disabled=2"});
}

// Fault mended: writing in place into a section whose keys are not Url_0, Url_1, ... kept the old
// lines beside the new ones, so every exit added one more copy of each custom feed.
TEST_P(SettingsStore, CustomFeedsDoNotMultiplyAcrossRuns) {
    WriteFile("[Custom Urls]\nfirst=http://a/\nDisabled=1\nUrl_0=http://b/\nUrl_0=http://c/\nUrl_7=http://d/\n");
    const EntryList expected = Entries(Load(*Open()).custom);
    ASSERT_EQ(expected.size(), 4u);
    for (int run = 0; run < 3; ++run) {
        auto store = Open();
        auto l = Load(*store);
        EXPECT_EQ(Entries(l.custom), expected) << "run " << run;
        ASSERT_TRUE(SaveFeedState(*store, l.settings.Url, l.settings.ReloadInterval, l.custom));
    }
    // b, the second entry, was the one switched off (line 2 minus one): written canonically now.
    EXPECT_EQ(Open()->ReadSection("Custom Urls"),
              (std::vector<std::string>{"Disabled=1", "Url_0=http://a/", "Url_1=http://b/", "Url_2=http://c/",
                                        "Url_3=http://d/"}));
}

TEST_P(SettingsStore, AddressesStayOnOneLine) {
    auto store = Open();
    TFeedsList custom;
    custom.Add("http://a/\r\n[Global]\r\nUrl=http://evil/", true);
    ASSERT_TRUE(SaveFeedState(*store, "http://x/\nReload_Time=0", 300000, custom));
    const auto l = Load(*Open());
    EXPECT_EQ(l.settings.Url, "http://x/Reload_Time=0");
    EXPECT_EQ(l.settings.ReloadInterval, 300000);
    EXPECT_EQ(Entries(l.custom), (EntryList{{"http://a/[Global]Url=http://evil/", true}}));
}

TEST_P(SettingsStore, AddressesInAnyScriptRoundTrip) {
    auto store = Open();
    TFeedsList custom;
    const std::string address = "http://пример.рф/новости?q=日本語&x=é";
    custom.Add(address, true);
    ASSERT_TRUE(SaveFeedState(*store, address, 300000, custom));
    const auto l = Load(*Open());
    EXPECT_EQ(l.settings.Url, address);
    EXPECT_EQ(Entries(l.custom), (EntryList{{address, true}}));
}

TEST_P(SettingsStore, AbsurdValuesAreBounded) {
    const struct {
        const char* line;
        int reload, maxItems, fontSize;
        std::uint32_t color;
        const char* fontName;
    } cases[] = {
        {"Reload_Time=-5", 300000, 0, 8, 15136255, "Tahoma"},
        {"Reload_Time=0", 0, 0, 8, 15136255, "Tahoma"},
        {"Reload_Time=60", 3600000, 0, 8, 15136255, "Tahoma"},
        {"Reload_Time=99999999", 1440 * 60000, 0, 8, 15136255, "Tahoma"},
        {"Reload_Time=99999999999999", 300000, 0, 8, 15136255, "Tahoma"},
        {"Reload_Time=5 minutes", 300000, 0, 8, 15136255, "Tahoma"},
        {"Max_Showing_Items=-3", 300000, 0, 8, 15136255, "Tahoma"},
        {"Max_Showing_Items=12", 300000, 12, 8, 15136255, "Tahoma"},
        {"Ticker_Font_Size=99999", 300000, 0, 8, 15136255, "Tahoma"},
        {"Ticker_Font_Size=0", 300000, 0, 8, 15136255, "Tahoma"},
        {"Ticker_Font_Size=9", 300000, 0, 9, 15136255, "Tahoma"},
        {"Ticker_Font_Color=-1", 300000, 0, 8, 15136255, "Tahoma"},
        {"Ticker_Font_Color=255", 300000, 0, 8, 255, "Tahoma"},
        {"Ticker_Font_Color=$FF00", 300000, 0, 8, 0xFF00, "Tahoma"},
        {"Ticker_Font_Color=-16777201", 300000, 0, 8, 0xFF00000F, "Tahoma"},
        {"Ticker_Font_Color=16777216", 300000, 0, 8, 15136255, "Tahoma"},
        {"Ticker_Font_Name=", 300000, 0, 8, 15136255, "Tahoma"},
        {"Ticker_Font_Name=Courier New", 300000, 0, 8, 15136255, "Courier New"},
        {"Ticker_Font_Name=A font name far longer than any face", 300000, 0, 8, 15136255, "Tahoma"},
    };
    for (const auto& c : cases) {
        WriteFile(std::string("[Global]\n") + c.line + "\n");
        const auto s = Load(*Open()).settings;
        EXPECT_EQ(s.ReloadInterval, c.reload) << c.line;
        EXPECT_EQ(s.MaxShowingItems, c.maxItems) << c.line;
        EXPECT_EQ(s.TickerFont.Size, c.fontSize) << c.line;
        EXPECT_EQ(s.TickerFont.Color, c.color) << c.line;
        EXPECT_EQ(s.TickerFont.Name, c.fontName) << c.line;
    }
}

TEST_P(SettingsStore, BooleansAreAnyNonZeroInteger) {
    const struct {
        const char* value;
        bool expected;
    } cases[] = {{"1", true}, {"2", true}, {"-1", true}, {"0", false}, {"yes", false}, {"true", false}, {"", false}};
    for (const auto& c : cases) {
        WriteFile(std::string("[Global]\nAuto_Url_Jump=") + c.value + "\n");
        EXPECT_EQ(Load(*Open()).settings.AutoUrlJump, c.expected) << c.value;
    }
}

TEST_P(SettingsStore, StreamSettingsReadBackAsWrittenAndStayOffByDefault) {
    TStreamSettings on;
    on.AllFeedsTogether = on.OnlyNewItems = on.RulesMatchDescription = on.AnnounceHighlights = true;
    on.ExcludeWords = "sport, Köln";
    on.IncludeWords = "東京";
    on.HighlightWords = "Tidewire,\nnext line";  // a line break would split the entry
    on.HighlightColor = 0x00FF00;
    const struct {
        const char* file;  // [Global] lines; null: written by SaveSettings from `on`
        TStreamSettings expected;
    } cases[] = {
        {"", TStreamSettings{}},
        {"Highlight_Color=-16777201\n", TStreamSettings{}},  // a system colour is refused
        {"Highlight_Color=16777216\n", TStreamSettings{}},
        {"Highlight_Color=$FF\nAll_Feeds_Together=2\nExclude_Words= a , b \n",
         [] { TStreamSettings s; s.HighlightColor = 0xFF; s.AllFeedsTogether = true; s.ExcludeWords = "a , b"; return s; }()},
        {nullptr, [&] { TStreamSettings s = on; s.HighlightWords = "Tidewire,next line"; return s; }()},
    };
    for (const auto& c : cases) {
        if (c.file) {
            WriteFile(std::string("[Global]\n") + c.file);
        } else {
            // A file the program makes holds every script; a hand-written 8-bit one would not.
            std::filesystem::remove(File());
            TAppSettings settings;
            settings.Stream = on;
            auto store = Open();
            ASSERT_TRUE(SaveSettings(*store, settings, TFeedsList(), TFeedsList()));
        }
        EXPECT_EQ(Load(*Open()).settings.Stream, c.expected) << (c.file ? c.file : "saved");
    }
}

TEST_P(SettingsStore, AnEmptyUrlFallsBackToTheDefaultFeed) {
    WriteFile("[Global]\nUrl=\n");
    EXPECT_EQ(Load(*Open()).settings.Url, kDefaultUrl);
    WriteFile("[global]\nURL=http://mine/\n");
    EXPECT_EQ(Load(*Open()).settings.Url, "http://mine/");
}

TEST_P(SettingsStore, BinaryJunkNeitherCrashesNorLosesCustomFeeds) {
    std::string junk = "[Global]\nUrl=http://kept/\n";
    for (int i = 0; i < 4096; ++i) junk += static_cast<char>((i * 7919 + 13) % 256);
    junk += "\n[Custom Urls]\nDisabled=\nUrl_0=http://mine/\n";
    WriteFile(junk);
    auto store = Open();
    auto l = Load(*store);
    ASSERT_FALSE(l.custom.Empty());
    ASSERT_TRUE(SaveFeedState(*store, l.settings.Url, l.settings.ReloadInterval, l.custom));
    const auto again = Load(*Open());
    EXPECT_EQ(Entries(again.custom), Entries(l.custom));
    EXPECT_EQ(again.custom.Strings(again.custom.Count() - 1), "http://mine/");
}

// Nothing a store writes reaches the file before its commit, which replaces the file whole.
TEST_P(SettingsStore, WritesReachTheFileInOneStepAtTheCommit) {
    WriteFile("[Global]\nTicker_Speed=15\n");
    const std::string before = ReadWholeFile(File());
    auto filesBeside = [&] { return std::distance(std::filesystem::directory_iterator(dir_.Path()), {}); };
    {
        auto store = Open();
        ASSERT_TRUE(store->WriteString("Global", "Url", "http://new/"));
        EXPECT_EQ(store->ReadString("Global", "Url", ""), "http://new/") << "a store reads its own writes";
        EXPECT_EQ(Open()->ReadString("Global", "Url", "none"), "none") << "others read the file as it was";
    }
    EXPECT_EQ(ReadWholeFile(File()), before) << "a store never committed leaves the file";
    EXPECT_EQ(filesBeside(), 1) << "and removes its copy";

    auto store = Open();
    ASSERT_TRUE(store->WriteString("Global", "Url", "http://new/"));
    ASSERT_TRUE(store->EraseSection("Custom Urls"));
    ASSERT_TRUE(store->Commit());
    EXPECT_EQ(Open()->ReadSection("Global"), (std::vector<std::string>{"Ticker_Speed=15", "Url=http://new/"}));
    EXPECT_EQ(filesBeside(), 1);
    EXPECT_TRUE(store->Commit()) << "nothing more to commit";
}

// A store that puts a folder in the file's place just before the commit, which no system lets a
// file replace.
class BlockedCommit final : public IProfileStore {
public:
    BlockedCommit(std::unique_ptr<IProfileStore> store, std::filesystem::path file)
        : store_(std::move(store)), file_(std::move(file)) {}
    bool Exists() const override { return store_->Exists(); }
    std::string ReadString(std::string_view s, std::string_view k, std::string_view f) const override {
        return store_->ReadString(s, k, f);
    }
    std::vector<std::string> ReadSection(std::string_view s) const override { return store_->ReadSection(s); }
    bool WriteString(std::string_view s, std::string_view k, std::string_view v) override {
        return store_->WriteString(s, k, v);
    }
    bool EraseSection(std::string_view s) override { return store_->EraseSection(s); }
    bool Commit() override {
        std::filesystem::remove(file_);
        std::filesystem::create_directories(file_ / "taken");
        return store_->Commit();
    }

private:
    std::unique_ptr<IProfileStore> store_;
    std::filesystem::path file_;
};

TEST_P(SettingsStore, ASaveWhoseFileCannotBeReplacedFails) {
    TFeedsList defaults, custom;
    custom.Add("http://a/", true);
    const struct {
        const char* name;
        std::function<bool(IProfileStore&)> save;
    } saves[] = {
        {"SaveSettings", [&](IProfileStore& store) { return SaveSettings(store, TAppSettings{}, defaults, custom); }},
        {"SaveFeedState", [&](IProfileStore& store) { return SaveFeedState(store, "http://x/", 300000, custom); }},
    };
    for (const auto& c : saves) {
        std::filesystem::remove_all(File());
        WriteFile("[Global]\nUrl=http://old/\n");
        BlockedCommit store(Open(), File());
        EXPECT_FALSE(c.save(store)) << c.name;
        EXPECT_TRUE(std::filesystem::is_directory(File() / "taken")) << c.name;
        EXPECT_FALSE(std::filesystem::exists(Utf8Path(File()) + ".new")) << c.name << ": the copy is removed";
    }
}

INSTANTIATE_TEST_SUITE_P(PlainFile, SettingsStore,
                         ::testing::Values(StoreKind{"PlainFile", [](const std::string& path) {
                                                         return std::unique_ptr<IProfileStore>(
                                                             new IniProfileStore(std::filesystem::u8path(path)));
                                                     }}),
                         StoreKindName);

TEST(ParseSettingInt, AcceptsOnlyWholeIntegers) {
    const struct {
        const char* text;
        std::optional<std::int32_t> value;
    } cases[] = {
        {"0", 0},           {"42", 42},        {"  42 ", 42},         {"+7", 7},
        {"-5", -5},         {"$FF", 255},      {"0x10", 16},          {"0XfF", 255},
        {"$FFFFFFFF", -1},  {"-$10", -16},     {"2147483647", INT32_MAX}, {"-2147483648", INT32_MIN},
        {"2147483648", std::nullopt},          {"99999999999", std::nullopt}, {"", std::nullopt},
        {"-", std::nullopt}, {"$", std::nullopt}, {"0x", std::nullopt},   {"12abc", std::nullopt},
        {"1 2", std::nullopt}, {"$123456789", std::nullopt}, {"0x1G", std::nullopt}, {"1.5", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(ParseSettingInt(c.text), c.value) << '"' << c.text << '"';
}

// The settings file reads integers by the program's one integer rule, except where its documented
// form differs: blanks around, no bare "x" prefix, at most eight hexadecimal digits.
TEST(ParseSettingInt, DiffersFromTheIntegerRuleOnlyWhereTheFileFormSays) {
    const struct {
        const char* text;
        std::optional<std::int32_t> setting;
        std::int32_t rule;  // TextToIntDef with -77
    } cases[] = {
        {" 42\t", 42, -77},          {"\t-$10", -16, -77},      {"x10", std::nullopt, 16},
        {"-X10", std::nullopt, -16}, {"$000000001", std::nullopt, 1}, {"0x000000001", std::nullopt, 1},
        {"0042", 42, 42},             {"$0000000F", 15, 15},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ParseSettingInt(c.text), c.setting) << '"' << c.text << '"';
        EXPECT_EQ(TextToIntDef(c.text, -77), c.rule) << '"' << c.text << '"';
    }
}

}  // namespace
}  // namespace tw::test
