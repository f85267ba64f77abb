// The configuration dialog's logic: the link editing state machine, and what opening and OK
// carry between the main window, the Run key and the settings file.
#include "app/fConfig.h"
#include "app/WiredMainWindow.h"
#include "config/IniProfileStore.h"

#include "support/MessagePump.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tw::test {
namespace {

class MessageLog final : public IConfigView {
public:
    std::vector<std::string> errors;
    int focused = 0;
    void ShowError(std::string_view text) override { errors.emplace_back(text); }
    void FocusLinkEdit() override { ++focused; }
};

// One step of the user on the Custom Links page.
enum class Act { Select, Type, Add, Edit, Up, Down, Remove, Page, Discover };
struct Step {
    Step(Act a, int l = -1, std::string t = {}) : act(a), line(l), text(std::move(t)) {}
    Act act;
    int line;
    std::string text;
};

struct EditCase {
    const char* name;
    std::vector<Step> steps;
    std::vector<TConfigLink> lines;  // the list afterwards
    int selected;
    TEditMode mode;
    std::vector<std::string> errors;
    std::string box;                 // the edit box's text afterwards
    bool editing;                    // the box enabled and the edit button showing "Done"
};

void Perform(TfrConfig& dialog, const Step& s) {
    switch (s.act) {
        case Act::Select: dialog.lbCustRSSLinksClick(s.line); break;
        case Act::Type: dialog.txtCurrentRSSlinkChange(s.text); break;
        case Act::Add: dialog.btnAddRSSLinkClick(); break;
        case Act::Edit: dialog.btnEditRSSLinkClick(); break;
        case Act::Up: dialog.btnUpClick(); break;
        case Act::Down: dialog.btnDownClick(); break;
        case Act::Remove: dialog.btnRemRSSLinkClick(); break;
        case Act::Page: dialog.tvConfigClick(s.line); break;
        case Act::Discover: dialog.ReplaceSelectedLink(s.text); break;
    }
}

const std::string kA = "http://a.example/rss", kB = "http://b.example/rss", kC = "https://c.example/feed";
const std::string kInvalid(kInvalidUrlMessage), kDuplicate(kDuplicateUrlMessage);
const std::string kLong = "http://long.example/" + std::string(1980, 'x');

TEST(TfrConfig, CustomLinkEditingFollowsTheStateMachine) {
    const std::vector<TConfigLink> start{{kA, true}, {kB, false}};
    const std::vector<EditCase> cases{
        {"add https", {{Act::Add}, {Act::Type, -1, kC}, {Act::Edit}},
         {{kA, true}, {kB, false}, {kC, true}}, 2, emNone, {}, kC, false},
        {"add ftp refused, box kept", {{Act::Add}, {Act::Type, -1, "ftp://x.example/"}, {Act::Edit}},
         start, -1, emAdd, {kInvalid}, "ftp://x.example/", true},
        {"add empty refused", {{Act::Add}, {Act::Type, -1, "   "}, {Act::Edit}}, start, -1, emAdd, {kInvalid}, "   ", true},
        {"add trimmed", {{Act::Add}, {Act::Type, -1, "  \thttp://d.example/ "}, {Act::Edit}},
         {{kA, true}, {kB, false}, {"http://d.example/", true}}, 2, emNone, {}, "http://d.example/", false},
        {"add feed: form", {{Act::Add}, {Act::Type, -1, " feed://d.example/rss"}, {Act::Edit}},
         {{kA, true}, {kB, false}, {"http://d.example/rss", true}}, 2, emNone, {}, "http://d.example/rss", false},
        {"edit into feeds: form", {{Act::Select, 1}, {Act::Edit}, {Act::Type, -1, "feeds://b.example/atom"}, {Act::Edit}},
         {{kA, true}, {"https://b.example/atom", false}}, 1, emNone, {}, "https://b.example/atom", false},
        {"page added, its feed takes its place", {{Act::Add}, {Act::Type, -1, "http://d.example/"}, {Act::Edit},
                                                  {Act::Discover, -1, "http://d.example/feed"}},
         {{kA, true}, {kB, false}, {"http://d.example/feed", true}}, 2, emNone, {}, "http://d.example/feed", false},
        {"page added whose feed is listed: the line goes", {{Act::Add}, {Act::Type, -1, "http://d.example/"}, {Act::Edit},
                                                          {Act::Discover, -1, "HTTP://A.example/rss/"}},
         start, 0, emNone, {}, kA, false},
        {"add duplicate in other case", {{Act::Add}, {Act::Type, -1, "HTTP://B.EXAMPLE/RSS"}, {Act::Edit}},
         start, -1, emAdd, {kDuplicate}, "HTTP://B.EXAMPLE/RSS", true},
        {"add 2000 characters", {{Act::Add}, {Act::Type, -1, kLong}, {Act::Edit}},
         {{kA, true}, {kB, false}, {kLong, true}}, 2, emNone, {}, kLong, false},
        {"add opens on http://", {{Act::Select, 0}, {Act::Add}}, start, -1, emAdd, {}, "http://", true},
        {"edit case only", {{Act::Select, 1}, {Act::Edit}, {Act::Type, -1, "HTTP://B.example/RSS"}, {Act::Edit}},
         {{kA, true}, {"HTTP://B.example/RSS", false}}, 1, emNone, {}, "HTTP://B.example/RSS", false},
        {"edit into a duplicate", {{Act::Select, 1}, {Act::Edit}, {Act::Type, -1, kA}, {Act::Edit}},
         start, 1, emEdit, {kDuplicate}, kA, true},
        {"edit refused keeps line", {{Act::Select, 0}, {Act::Edit}, {Act::Type, -1, "gopher://x"}, {Act::Edit}},
         start, 0, emEdit, {kInvalid}, "gopher://x", true},
        {"list click drops edit", {{Act::Select, 0}, {Act::Edit}, {Act::Type, -1, kC}, {Act::Select, 1}},
         start, 1, emNone, {}, kB, false},
        {"page change drops add", {{Act::Add}, {Act::Type, -1, kC}, {Act::Page, cpGeneral}}, start, -1, emNone, {}, "", false},
        {"up moves check and selection", {{Act::Select, 1}, {Act::Up}}, {{kB, false}, {kA, true}}, 0, emNone, {}, kB, false},
        {"up at the top", {{Act::Select, 0}, {Act::Up}}, start, 0, emNone, {}, kA, false},
        {"down at the bottom", {{Act::Select, 1}, {Act::Down}}, start, 1, emNone, {}, kB, false},
        {"down moves check", {{Act::Select, 0}, {Act::Down}}, {{kB, false}, {kA, true}}, 1, emNone, {}, kA, false},
        {"no selection: up, down, remove do nothing", {{Act::Up}, {Act::Down}, {Act::Remove}}, start, -1, emNone, {}, "", false},
        {"remove the line being edited", {{Act::Select, 0}, {Act::Edit}, {Act::Remove}}, {{kB, false}}, -1, emNone, {}, "", false},
    };
    for (const EditCase& c : cases) {
        SCOPED_TRACE(c.name);
        MessageLog log;
        TfrConfig dialog(log);
        dialog.CustomLinks = start;
        dialog.tvConfigClick(cpCustomLinks);
        for (const Step& s : c.steps) Perform(dialog, s);
        EXPECT_EQ(dialog.CustomLinks, c.lines);
        EXPECT_EQ(dialog.CustomSelected, c.selected);
        EXPECT_EQ(dialog.FEditMode, c.mode);
        EXPECT_EQ(log.errors, c.errors);
        EXPECT_EQ(dialog.CurrentLinkText, c.box);
        EXPECT_EQ(dialog.Buttons.EditBox, c.editing);
        EXPECT_EQ(dialog.Buttons.EditImage, c.editing ? liDone : liEdit);
        EXPECT_EQ(dialog.Buttons.EditHint, c.editing ? kDoneHint : kEditLinkHint);
        EXPECT_EQ(dialog.Buttons.Add, !c.editing);
        EXPECT_EQ(dialog.Buttons.Remove, c.selected >= 0);
        EXPECT_EQ(dialog.Buttons.Edit, c.selected >= 0 || c.mode == emAdd);
    }
}

TEST(TfrConfig, PagesTrackBarsAndFont) {
    MessageLog log;
    TfrConfig dialog(log);
    for (int page : {int(cpAppearance), 7, -1}) {
        dialog.tvConfigClick(page);
        EXPECT_EQ(dialog.SelectedPage, page == 7 || page == -1 ? int(cpRSSSettings) : page);
    }
    EXPECT_EQ(dialog.HintText, "Preferences regarding RSS feeds retrieval");
    dialog.tbReloadTimeChange(11);
    EXPECT_EQ(dialog.ReloadHint, "60 minutes");
    dialog.tbReloadTimeChange(3);
    EXPECT_EQ(dialog.ReloadHint, "20 minutes");

    dialog.SampleFont = TFont{"Verdana", 9, 0x123456, fsBold};
    dialog.ChooseTickerFont(TFont{"Arial", 7, 0x000000, fsItalic | fsUnderline | fsStrikeOut});
    EXPECT_EQ(dialog.SampleFont, (TFont{"Arial", 7, 0x123456, fsItalic})) << "the colour and no effects";
    dialog.btnDefaultTickerFontClick();
    EXPECT_EQ(dialog.SampleFont, (TFont{"Tahoma", 8, 15136255, 0}));
}

class RunKey final : public IRunAtLogon {
public:
    bool value = false;
    int writes = 0;
    bool Enabled() const override { return value; }
    bool SetEnabled(bool enabled) override {
        ++writes;
        value = enabled;
        return true;
    }
};

class ConfigDialog : public ::testing::Test {
protected:
    // Starts the main window over a settings file holding `global` in "Global" and custom
    // feeds kA (enabled) and kB (disabled), then opens the dialog on it.
    void Open(const std::string& global) {
        std::ofstream(dir / "app.config", std::ios::binary)
            << "[Global]\r\n" << global << "[Custom Urls]\r\nDisabled=1\r\nUrl_0=" << kA << "\r\nUrl_1=" << kB << "\r\n";
        main = std::make_unique<TfrMain>(view, TestParts());
        main->FormCreate(Utf8Path(dir.Path() / ""));
        before = ReadWholeFile(dir / "app.config");
        timersBefore = view.reloadTimers.size();
        OpenConfig(dialog, main->Settings(), runKey, monitors);
    }
    bool Ok() { return ApplyConfig(dialog, *main, runKey); }
    std::string Stored(const char* section, const char* key) {
        return IniProfileStore(dir / "app.config").ReadString(section, key, "<none>");
    }
    std::vector<int> TimersSinceOpen() const {
        return {view.reloadTimers.begin() + std::ptrdiff_t(timersBefore), view.reloadTimers.end()};
    }

    TempDir dir;
    RecordingView view;
    RunKey runKey;
    MessageLog log;
    TfrConfig dialog{log};
    std::unique_ptr<TfrMain> main;
    std::string before;
    std::size_t timersBefore = 0;
    TMonitorList monitors;  // what the dialog lists
};

TEST_F(ConfigDialog, OpensWithTheMainWindowsState) {
    runKey.value = true;
    Open("Last_Config_Page=4\r\nReload_Time=60\r\nMax_Showing_Items=150\r\nAuto_Url_Jump=1\r\nTicker_Speed=10\r\n"
         "Ticker_Font_Name=Verdana\r\n");
    EXPECT_EQ(dialog.SelectedPage, cpAppearance);
    EXPECT_EQ(dialog.HintText, "Options to change the look and feel of the ticker bar");
    EXPECT_EQ(dialog.ReloadPosition, 11);
    EXPECT_TRUE(dialog.MaxItemsChecked && dialog.MaxItemsEnabled);
    EXPECT_EQ(dialog.MaxItems, 99);
    EXPECT_TRUE(dialog.AutoUrlJump);
    EXPECT_EQ(dialog.CustomLinks, (std::vector<TConfigLink>{{kA, true}, {kB, false}}));
    ASSERT_EQ(dialog.DefaultLinks.size(), 14u);
    EXPECT_EQ(dialog.DefaultLinks[1].Address, DefaultFeedUrls[1]);
    EXPECT_TRUE(dialog.StartUp);
    EXPECT_EQ(dialog.SampleFont.Name, "Verdana");
    EXPECT_EQ(dialog.SpeedPosition, 4);
}

TEST_F(ConfigDialog, TheSelectedAddressShowsItsFeedStatus) {
    Open("");
    dialog.FeedStatusOf = [this](const std::string& url) { return main->FeedStatus(url); };
    // The start-up load of the current feed fails: there is no network here.
    ASSERT_TRUE(PumpUntil([this] { return !main->Loading(); }));
    dialog.lbRSSDefLinksClick(1);
    EXPECT_EQ(dialog.FeedStatus.rfind("Server not reachable at ", 0), 0u) << dialog.FeedStatus;
    EXPECT_NE(dialog.FeedStatus.find(", next try "), std::string::npos) << dialog.FeedStatus;
    dialog.lbCustRSSLinksClick(0);
    EXPECT_EQ(dialog.FeedStatus, "Not loaded yet");
    dialog.lbCustRSSLinksClick(-1);
    EXPECT_EQ(dialog.FeedStatus, "");
}

TEST_F(ConfigDialog, TheMonitorListShowsTheSettingsChoiceAndKeepsAnUnpluggedOne) {
    monitors = {{"\\\\.\\DISPLAY1", {0, 0, 1920, 1080}, {0, 0, 1920, 1040}, 96, true},
                {"\\\\.\\DISPLAY2", {1920, 0, 3200, 1024}, {1920, 0, 3200, 1024}, 120, false}};
    const struct {
        const char* stored;
        int shown;     // the entry chosen at opening
        int choose;    // -1: left alone
        const char* after;
    } cases[] = {
        {"", 0, -1, ""},
        {"", 0, 1, "\\\\.\\DISPLAY2"},
        {"\\\\.\\display2", 1, -1, "\\\\.\\display2"},
        {"\\\\.\\DISPLAY2", 1, 0, ""},                  // the primary is stored as no name
        {"\\\\.\\DISPLAY9", 0, -1, "\\\\.\\DISPLAY9"},  // unplugged: shown as the primary, kept
        {"\\\\.\\DISPLAY9", 0, 1, "\\\\.\\DISPLAY2"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.stored);
        Open(std::string("Monitor=") + c.stored + "\r\n");
        EXPECT_EQ(dialog.MonitorCaptions,
                  (std::vector<std::string>{"1: 1920 \xC3\x97 1080 (primary)", "2: 1280 \xC3\x97 1024"}));
        EXPECT_EQ(dialog.MonitorSelected, c.shown);
        if (c.choose >= 0) dialog.MonitorSelected = c.choose;
        EXPECT_TRUE(Ok());
        EXPECT_EQ(main->Monitor(), c.after);
        EXPECT_EQ(Stored("Global", "Monitor"), c.after);
        main.reset();
    }
}

TEST_F(ConfigDialog, ReloadPeriodMapsToTheTrackBarAndBack) {
    struct Case {
        const char* stored;
        int position;      // opened at
        int moveTo;        // -1: left alone
        int interval;      // after OK, ms
        bool restarted;
    };
    const Case cases[]{
        {"60", 11, 0, 300000, true},           // back to 5 minutes restarts the timer
        {"7", 0, -1, 300000, true},            // the lower multiple of 5
        {"5", 0, -1, 300000, false},           // unchanged: the period runs on
        {"1440", 11, -1, 1440 * 60000, false}, // hand-edited, left alone: kept
        {"0", 0, -1, 0, false},                // "never reload", left alone: kept
        {"0", 0, 2, 900000, true},             // moved: the bar's value
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stored);
        Open(std::string("Reload_Time=") + c.stored + "\r\n");
        EXPECT_EQ(dialog.ReloadPosition, c.position);
        if (c.moveTo >= 0) dialog.tbReloadTimeChange(c.moveTo);
        EXPECT_TRUE(Ok());
        EXPECT_EQ(main->ReloadInterval(), c.interval);
        EXPECT_EQ(TimersSinceOpen(), c.restarted ? std::vector<int>{c.interval} : std::vector<int>{});
        main.reset();
    }
}

TEST_F(ConfigDialog, OkAppliesEverythingAndWritesTheFile) {
    Open("Last_Config_Page=9\r\nMax_Showing_Items=10\r\n");
    EXPECT_EQ(dialog.SelectedPage, cpRSSSettings) << "an unknown page opens the first";
    dialog.tvConfigClick(cpCustomLinks);
    dialog.cbMaxRSSItemsClick(false);
    dialog.AutoUrlJump = true;
    dialog.DefaultLinks[0].Checked = false;
    dialog.DefaultLinks[13].Checked = false;
    dialog.btnAddRSSLinkClick();
    dialog.txtCurrentRSSlinkChange(kC);
    dialog.btnEditRSSLinkClick();
    dialog.StartUp = true;
    dialog.ChooseTickerFont(TFont{"Arial", 9, 0, fsBold});
    dialog.tbTickerSpeedChange(4);
    const int rebuilds = view.menuRebuilds;

    EXPECT_TRUE(Ok());
    const TMainSettings applied = main->Settings();
    EXPECT_EQ(applied.LastConfigPage, cpCustomLinks);
    EXPECT_EQ(applied.Rotation, (TRotationSettings{0, true}));
    EXPECT_FALSE(applied.DefaultFeeds[0].Checked);
    EXPECT_FALSE(applied.DefaultFeeds[13].Checked);
    EXPECT_TRUE(applied.DefaultFeeds[1].Checked);
    EXPECT_EQ(applied.DefaultFeeds[13].Address, DefaultFeedUrls[13]);
    EXPECT_EQ(applied.CustomFeeds, (std::vector<TConfigLink>{{kA, true}, {kB, false}, {kC, true}}));
    EXPECT_EQ(view.menuRebuilds, rebuilds + 1);
    // The Quick Start Menu follows: the new custom feed before the defaults, the disabled ones gone.
    std::vector<std::string> feeds;
    for (const TFeedMenuEntry& entry : main->FeedMenu())
        if (!entry.IsSeparator()) feeds.push_back(entry.Caption);
    ASSERT_EQ(feeds.size(), 2u + 12u);
    EXPECT_EQ(std::vector<std::string>(feeds.begin(), feeds.begin() + 3),
              (std::vector<std::string>{kA, kC, std::string(DefaultFeedUrls[1])}));
    EXPECT_EQ(runKey.writes, 1);
    EXPECT_TRUE(runKey.value);
    EXPECT_EQ(main->lblTicker().Font(), (TFont{"Arial", 9, 15136255, fsBold}));
    EXPECT_EQ(main->lblTicker().Speed(), 10);
    EXPECT_EQ(main->lblTicker().PixelJump, 2);

    EXPECT_EQ(Stored("Global", "Last_Config_Page"), "2");
    EXPECT_EQ(Stored("Global", "Max_Showing_Items"), "0");
    EXPECT_EQ(Stored("Default Urls", "Disabled"), "0,13");
    EXPECT_EQ(Stored("Custom Urls", "Disabled"), "1");
    EXPECT_EQ(Stored("Custom Urls", "Url_2"), kC);
    EXPECT_EQ(Stored("Global", "Ticker_Font_Name"), "Arial");
    EXPECT_EQ(Stored("Global", "Ticker_Speed"), "10");
}

TEST_F(ConfigDialog, UnchangedRunAtLogonIsNotWritten) {
    runKey.value = true;
    Open("");
    EXPECT_TRUE(Ok());
    EXPECT_EQ(runKey.writes, 0);
}

TEST_F(ConfigDialog, CancelTouchesNothing) {
    Open("Reload_Time=60\r\nMax_Showing_Items=3\r\n");
    const TMainSettings opened = main->Settings();
    ASSERT_EQ(opened.ReloadInterval, 3600000);
    ASSERT_EQ(opened.Rotation.FMaxShowingItems, 3);
    const TFont font = main->lblTicker().Font();
    const int rebuilds = view.menuRebuilds;
    dialog.tbReloadTimeChange(0);
    dialog.cbMaxRSSItemsClick(false);
    dialog.btnRemRSSLinkClick();
    dialog.lbCustRSSLinksClick(0);
    dialog.btnRemRSSLinkClick();
    dialog.DefaultLinks[1].Checked = false;
    dialog.StartUp = true;
    dialog.btnDefaultTickerFontClick();
    dialog.ChooseTickerFont(TFont{"Arial", 9, 0, 0});
    // Cancel: the dialog goes without ApplyConfig.
    EXPECT_EQ(main->Settings(), opened);
    EXPECT_EQ(main->lblTicker().Font(), font);
    EXPECT_EQ(view.menuRebuilds, rebuilds);
    EXPECT_TRUE(TimersSinceOpen().empty());
    EXPECT_EQ(runKey.writes, 0);
    EXPECT_EQ(ReadWholeFile(dir / "app.config"), before);
}

}  // namespace
}  // namespace tw::test
