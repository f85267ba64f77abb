#pragma once
// TfrMain: the ticker bar's main window without its window. It owns every long-lived component
// (the scrolling text, the feed component and its rotation, the connection detector, the display
// watcher, the application bar, the single-instance guard), the window state and the two feed
// lists, and runs the start-up, layout and shutdown steps. The platform side (fMain_win32.cpp)
// makes the parts that need the real window, hands them to the composition (TMainParts), supplies
// the window through IMainView and asks for operations by what they are for; nothing outside
// reaches a component. docs/main-window.md describes the composition.
#include "app/FeedImport.h"
#include "app/SubscriptionCommands.h"
#include "app/AccessibleTexts.h"
#include "app/BarColors.h"
#include "app/FeedRotation.h"
#include "app/FeedSchedule.h"
#include "app/RSSFeedTicker.h"
#include "app/StreamLoader.h"
#include "app/StreamTicker.h"
#include "base/Geometry.h"
#include "config/AccessSettings.h"
#include "config/AppSettings.h"
#include "config/ProfileStore.h"
#include "config/uRSSLinkItem.h"
#include "controls/ScrollingText.h"
#include "controls/DisplayScale.h"
#include "controls/VisibilityWatcher.h"
#include "controls/pkAppBar.h"
#include "desktop/DDEHandler.h"
#include "desktop/NetDetect.h"
#include "desktop/ResChange.h"
#include "desktop/pkOnlyOne.h"
#include "rss/FeedCache.h"
#include "rss/pkRSSFeed.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

inline constexpr std::string_view kApplicationTitle = "Tidewire v1.1";
inline constexpr std::string_view kBarCaption = "Tidewire 1.1";
inline constexpr std::string_view kConfigFileName = "app.config";
inline constexpr std::string_view kTickerInitialText = "Loading RSS...";
inline constexpr std::string_view kStartHint = "Click here to browse RSS Feeds easily";
inline constexpr std::string_view kPrevItemHint = "Previous RSS item";
inline constexpr std::string_view kNextItemHint = "Next RSS Item";
// The feed's User-Agent: "Tidewire/<version> (+<the program's page>)".
std::string FeedHTTPAgent();
// The folder of the kept copies, beside app.config.
inline constexpr std::string_view kFeedCacheFolder = "Feed Cache";
// What the ticker says of a feed its publisher removed (410), and of a refused certificate.
inline constexpr std::string_view kFeedGoneText = "This feed has been removed by its publisher";
inline constexpr std::string_view kCertificateFailureText =
    "Cannot retrieve the feed: its certificate was refused (not trusted, expired or for another host)";
// The reload period in seconds given by `text` (a test hook's value): whole numbers from 1 to
// 86400; anything else, or no text, gives none.
std::optional<int> ReloadSecondsHook(const char* text);
inline constexpr std::uint32_t kFeedWaitTimeout = 5000;
inline constexpr std::string_view kDDEAttachError = "Error attaching DDEServerExecuteMacro!";

// Height of the bar docked at its edge, and the most it may be dragged to (at 96 pixels per inch;
// both scale with the display, as every size of the bar does).
inline constexpr int kBarHeight = 25;
inline constexpr int kBarMaxHeight = 32;
inline constexpr TColor kWindowColor = 10132122;       // 0x9A9A9A
inline constexpr TColor kTitleColor = 12578034;        // 0xBFECF2
inline constexpr TColor kTickerBackground = 4207659;   // 0x40342B
inline constexpr TColor kTickerFontColor = 15136255;   // 0xE6F5FF
inline constexpr TColor kHintColor = 16772313;         // 0xFFECD9
// The application's hint timing in ms: how long a hint stays, the wait before the first one, and
// before the next while one is up.
inline constexpr int kHintHidePause = 20000;
inline constexpr int kHintPause = 200;
inline constexpr int kHintShortPause = 40;

// What the window draws of the bar and the title's hint, as the layout left them.
struct TBarPicture {
    std::string TitleCaption;
    std::string TitleHint;  // "Go to: " and the channel link; empty after a failure
    Rect Title, Start, PrevItem, NextItem;  // the pictures and label the window draws itself
    Rect Focus;          // where the focus mark goes while the bar has the focus
    bool Paused = false;  // the paused mark shows over the start image's corner
};

// Which part of the bar a point of the window's client area falls in.
enum class TBarArea { Background, StartImage, Title, PrevItem, NextItem, Ticker };

// Keys the bar answers while it has the focus.
enum class TBarKey { Left, Right, Enter, Escape, Space, Tab, BackTab };

// The mouse cursor a part of the bar shows.
enum class TBarCursor { crDefault, crHandPoint };

// What TfrMain needs of the real window.
class IMainView {
public:
    virtual ~IMainView() = default;
    // Width of the screen's work area in pixels.
    virtual int WorkAreaWidth() const = 0;
    // Pixels per inch of the display the bar is on; and the system's, with which the platform
    // turns a font's points into pixels.
    virtual int DisplayDpi() const { return kDefaultDpi; }
    virtual int SystemDpi() const { return kDefaultDpi; }
    // Width of `caption` in the title label's font (the label sizes itself to its caption).
    virtual int MeasureTitle(const std::string& caption) const = 0;
    // The title, its hint or the pictures changed: draw the bar again, re-read the hints.
    virtual void BarChanged() = 0;
    // Runs the reload timer `tmrReload` every `milliseconds`, the period starting now (also
    // when it already ran); 0 stops it. Each tick is handed to TfrMain::OnReloadTimer.
    virtual void SetReloadTimer(int milliseconds) = 0;
    // Whether the program's window is the foreground window; and making it so.
    virtual bool IsForeground() const = 0;
    virtual void BringToForeground() = 0;
    // Ends the program: destroys the window (which runs FormDestroy) and leaves the message loop.
    virtual void Terminate() = 0;

    // The scrolling text changed: the window keeps it as the ticker window's text, which is
    // what a screen reader (and an end-to-end test) reads as its name.
    virtual void TickerTextChanged(const std::string& /*text*/) {}
    // aniIcon over the start image while a feed loads.
    virtual void StartLoadingAnimation() {}
    virtual void StopLoadingAnimation() {}
    // Opens a web address in the user's browser.
    virtual void OpenLink(const std::string& /*url*/) {}
    // Whether the system reports a modem connection (the feed then goes out directly).
    virtual bool ModemConnection() const { return false; }
    // Whether `path` (UTF-8) names an existing file.
    virtual bool FileExists(const std::string& path) const;
    // The headline or the pause changed by the user's hand or a load (not by the ticker moving
    // on by itself): an accessibility client is told the ticker's name and value changed.
    virtual void TickerReadingChanged() {}
    // The system-wide key that gives the bar the focus (showing it when hidden); a key the
    // system refuses is no error: the bar works without it.
    virtual void RegisterFocusHotKey(const THotKey& /*key*/) {}
    // Shows `text` in a message box and waits until it is closed.
    virtual void ShowMessage(const std::string& /*text*/) {}
    // Runs `job` once the current message has been handled (at once where there is no loop).
    virtual void RunSoon(std::function<void()> job) { job(); }
    // Asks `question` with Yes and No; true for Yes.
    virtual bool AskYesNo(const std::string& /*question*/) { return false; }
    // The feed lists changed and BuildFeedMenus rebuilt the menus' entries: the drawn menus
    // follow them.
    virtual void FeedListsChanged() {}
    // The start image was clicked: the Quick Start Menu opens below (or above) the bar.
    virtual void PopupQuickStartMenu() {}
    // Opens the tray menu beside the bar: at the pointer's column, or at the focused element.
    virtual void PopupTrayMenu(bool /*atPointer*/) {}
    // Hides the bar as the tray menu's "Hide ticker" does.
    virtual void HideBar() {}
    // The first run's balloon, pointing at the start image.
    virtual void ShowWelcomeBalloon(const std::string& /*title*/, const std::string& /*text*/) {}
    // The bar now lies on `monitor` (another one, or its own with other bounds or density): the
    // window takes the monitor's density where the system sends no notice of its own.
    virtual void MonitorChanged(const TMonitor& /*monitor*/) {}
    // The merged stream's timer: one tick in `milliseconds` (0: as soon as possible), handed to
    // TfrMain::OnStreamTimer; below 0 stops it.
    virtual void SetStreamTimer(int /*milliseconds*/) {}
    // A balloon pointing out a highlighted headline.
    virtual void ShowHeadlineBalloon(const std::string& /*title*/, const std::string& /*text*/) {}
};

// Opens the settings file at a full UTF-8 path.
using TProfileStoreFactory = std::function<std::unique_ptr<IProfileStore>(const std::string& path)>;

// The parts of the main window that the platform makes, each with what it belongs to, handed to
// TfrMain's composition in one record. A part left empty leaves the bar without it.
struct TMainParts {
    std::unique_ptr<TScrollingText> Ticker;  // lblTicker, a child of the real window; required
    TProfileStoreFactory OpenStore;          // app.config's store; required
    std::unique_ptr<TNetDetect> NetDetect;   // netDetect, its initial check already under way
    std::unique_ptr<TResChange> ResChanger;  // watching the application window
    std::unique_ptr<TpkAppBar> AppBar;       // made on the real window
    std::unique_ptr<TpkOnlyOne> OnlyOne;     // not yet loaded: it decides in the composition
    // On the real window: holds the ticker's frames while nobody can see the bar.
    std::unique_ptr<TVisibilityWatcher> Watcher;
    TDDEHandler* DDEHandler = nullptr;       // the process's command handler, outliving the window
    bool DDEAvailable = false;               // the file association step lets commands arrive
};

// One line of a feed list with its check mark.
struct TConfigLink {
    std::string Address;
    bool Checked = true;
    bool operator==(const TConfigLink&) const = default;
};

// What the configuration dialog edits, read and applied as one record.
struct TMainSettings {
    int LastConfigPage = 0;
    int ReloadInterval = 300000;  // ms; 0: no reload
    TRotationSettings Rotation;
    // The built-in feeds (only their check marks are applied) and the user's own.
    std::vector<TConfigLink> DefaultFeeds;
    std::vector<TConfigLink> CustomFeeds;
    TFont TickerFont;  // the setting, not its size as scaled for the display
    int TickerSpeed = TickerSpeeds[DefaultTickerSpeedIndex];
    std::string Monitor;  // the device name of the monitor the bar docks on; empty: the primary
    TStreamSettings Stream;
    bool StillHeadlines = false;  // "Show headlines without scrolling"
    THotKey FocusHotKey = kDefaultFocusHotKey;
    bool operator==(const TMainSettings&) const = default;
};

class TfrMain {
public:
    // The composition: takes the platform's parts, makes the feed component and the rotation, and
    // wires every component and event. Then the form counts as loaded, and the single-instance
    // guard decides (see SecondInstance).
    TfrMain(IMainView& view, TMainParts parts);
    // Tears the components down in the order written there.
    ~TfrMain();
    TfrMain(const TfrMain&) = delete;
    TfrMain& operator=(const TfrMain&) = delete;

    // The start-up steps, in the order the platform runs them.
    // Another instance runs and was brought forward: this one shows nothing and ends as its
    // message loop starts.
    bool SecondInstance() const;
    // exeDirectory ends with its separator. `arguments` are the command-line arguments after the
    // program's name (UTF-8): a first one naming an existing file (or a feed: address) is
    // opened as OpenFeedFile does instead of loading the current address.
    void FormCreate(const std::string& exeDirectory, const std::vector<std::string>& arguments = {});
    // The window has been shown: connectivity polling starts.
    void FormShow();
    // Writes the feed state to the settings file and empties the lists. Runs once.
    void FormDestroy();
    // The system asks whether the session may end: the program closes (saving its state) and
    // answers yes.
    bool QueryEndSession();

    // What the window, the menus and the shell ask for.
    // A feed chosen from a menu: it becomes the current address, the reload period starts
    // again, and it loads.
    void ShowFeed(const std::string& url);
    // A feed file from the shell: shown as it is, the current address unchanged; a file too large
    // for a feed gives the failure texts. An OPML file (by its root) is offered for import
    // instead (OfferFeedImport), a feed: address for subscription (OfferFeedAddress).
    void OpenFeedFile(const std::string& path);
    // A feed: address from the shell (a browser's subscribe link): added to the custom list and
    // shown after the user agreed; one listed already is shown at once.
    void OfferFeedAddress(const std::string& feedUrl);
    // Asks whether to import the file's new feeds, naming their count, and imports them on Yes;
    // false when the file is no OPML document (its root is not `opml`), which then loads as a feed.
    bool OfferFeedImport(const std::string& path);
    // Imports an OPML file into the custom list (the menus rebuilt, the settings written) or
    // exports both lists, without asking: "/import" and "/export" handed over by a second start.
    TSubscriptionResult RunSubscription(const TSubscriptionCommand& command);
    // Titles and folders known by address, for an export.
    const TFeedNotes& FeedNotes() const { return feedNotes_; }
    void StepToNextItem();
    void StepToPreviousItem();
    // Opens the current item's link, or the channel's, in the browser (web addresses only).
    void OpenCurrentItem();
    void OpenChannelLink();
    // The part of the bar under (x, y) in client coordinates; Background where no control lies.
    TBarArea AreaAt(int x, int y) const;
    // A left click at (x, y): the arrows step, the title and the ticker open their links.
    void ClickAt(int x, int y);
    // The cursor to show at (x, y): the hand over the start image, the title and the ticker.
    TBarCursor CursorAt(int x, int y) const;
    // A key while the bar has the focus: the arrows step items, Enter presses the focused element
    // (the ticker at first: it opens the current item), Space pauses or resumes, Tab and Shift+Tab
    // move the focus, Esc hides the bar.
    void KeyPressed(TBarKey key);
    // What the element's default action does: the start image opens the Quick Start Menu, the
    // title its link, the arrows step, the ticker opens the current item.
    void PressElement(TBarElement element);
    // Where the element lies in client coordinates (the whole bar for TBarElement::Bar is not
    // known here: empty).
    Rect ElementRect(TBarElement element) const;
    TBarElement Focused() const { return focused_; }
    void SetFocused(TBarElement element);

    // The user's pause (kept in app.config at exit): the ticker stands until resumed.
    bool Paused() const { return paused_; }
    void SetPaused(bool paused);
    void TogglePause() { SetPaused(!paused_); }
    // The system's animation setting: with animations off headlines are shown still, as with
    // the option on.
    void SetSystemAnimations(bool on);
    bool StillHeadlines() const { return ticker_->Still(); }
    // The system's high-contrast theme: the bar takes the system's colours (BarColors).
    void SetHighContrast(bool on);
    bool HighContrast() const { return highContrast_; }
    const TBarColors& Colors() const { return colors_; }
    // The ticker as a screen reader hears it.
    TTickerReading TickerReading() const;
    // The reload timer ticked.
    void OnReloadTimer();
    // The merged stream's timer ticked: due loads start.
    void OnStreamTimer();
    // Lays the arrows and the scrolling text out along the bar.
    void LayoutTicker();
    // The bar is now on a display of another density (the view's DisplayDpi): every size is
    // scaled anew and the bar laid out again; docked, it reserves its height scaled; floating, it
    // takes `floatRect` (the system's suggestion) when given.
    void DisplayDpiChanged(const Rect* floatRect = nullptr);

    // The settings the configuration dialog edits, as they are now.
    TMainSettings Settings() const;
    // The dialog's OK: takes `settings` (the reload period restarts only when it changed, the
    // default feeds keep their addresses), rebuilds the feed menus and writes the settings file.
    // False when the file could not be written; the settings are applied all the same.
    bool ApplySettings(const TMainSettings& settings);

    // Read-only views, for the window's drawing and for inspection.
    TBarPicture Bar() const;
    const TScrollingText& lblTicker() const { return *ticker_; }
    const TpkRSSFeed& Feed() const { return *RSSHandler; }
    // The merged stream and its loads while All_Feeds_Together is on; null otherwise.
    const TStreamTicker* Stream() const { return streamTicker_.get(); }
    const TStreamLoader* StreamLoads() const { return streamLoader_.get(); }
    const std::vector<TFeedMenuEntry>& FeedMenu() const { return rotation->FeedMenu(); }
    // The edge the bar is docked at, or bpFloat (also without an application bar).
    TpkAppBarPlacement BarEdge() const;
    // The current feed address, held by the feed component.
    const std::string& FeedUrl() const { return RSSHandler->HTTP().URL; }
    const std::string& ConfigFile() const { return FConfigFile; }
    const std::string& DefaultUrl() const { return FDefaultUrl; }
    bool FirstRun() const { return rotation->FirstRun(); }
    bool Creating() const { return FCreating; }
    bool Loading() const { return rotation->Loading(); }
    // tmrReload: its period in ms and whether it runs (the window runs the real timer).
    int ReloadInterval() const { return FReloadInterval; }
    bool ReloadTimerEnabled() const { return FReloadEnabled; }
    // A feed's last result, when, and when it is next due, for people ("Not loaded yet" before).
    std::string FeedStatus(const std::string& url) const;
    // The density the bar's sizes are scaled for.
    int Dpi() const { return FDpi; }
    // The monitor setting: the device name the bar docks on, empty for the primary.
    const std::string& Monitor() const { return FMonitor; }
    // The ticker's font as the settings hold it; the ticker shows it with its size scaled from
    // the system's density to the display's.
    TFont TickerFont() const { return tickerFont_; }

private:
    // The window's controls as the feed rotation drives them.
    class TickerView final : public ITickerView, public IStreamView {
    public:
        explicit TickerView(TfrMain& form) : form_(form) {}
        void SetTitle(const std::string& caption, const std::string& hint) override;
        void SetTickerText(const std::string& text) override;
        void SetTickerHint(const std::string& hint) override;
        void StartLoadingAnimation() override { form_.view_.StartLoadingAnimation(); }
        void StopLoadingAnimation() override { form_.view_.StopLoadingAnimation(); }
        void LayoutTicker() override { form_.LayoutTicker(); }
        void RestartReloadTimer() override;
        void OpenLink(const std::string& url) override { form_.view_.OpenLink(url); }
        void ShowWelcomeBalloon(const std::string& title, const std::string& text) override {
            form_.view_.ShowWelcomeBalloon(title, text);
        }
        void ShowStreamLine(const std::string& text, std::vector<TTextColorRun> runs, const std::string& hint) override;
        void AnnounceHeadline(const std::string& title, const std::string& text) override {
            form_.view_.ShowHeadlineBalloon(title, text);
        }

    private:
        TfrMain& form_;
    };

    // The program's schedule as the rotation asks it.
    class ReloadGate final : public IReloadGate {
    public:
        explicit ReloadGate(TfrMain& form) : form_(form) {}
        bool MayRequest(const std::string& url) override;
        THeld ShowWithoutRequest(const std::string& url) override;
        void AskAtOnce(const std::string& url) override { form_.schedule_.MakeDueAtOnce(url); }
        bool NetworkCameBack() override;

    private:
        TfrMain& form_;
    };

    // Polite reloads (fMainFeedLoads.cpp): the schedule, the kept copies, and what a load's
    // answer asks of the settings.
    void WatchFeedLoads();
    void OpenFeedCache(const std::string& exeDirectory);
    // The kept copy of the current feed, shown before its first load.
    void ShowKeptCopyAtStart();
    // Records the running network load's result (once per load); what it asks of the settings
    // (410 Gone, a permanent move) is done and the failure line says what failed.
    void FeedLoadEnded(TpkFeedResult result);
    TpkLoadOutcome OutcomeOf(TpkFeedResult result) const;
    void ShowFailureOf(const std::string& url);
    void FeedGone(const std::string& url);
    void FeedMoved(const std::string& from, const std::string& to);
    // Every address of both lists and the current one.
    std::vector<std::string> ListedFeeds() const;
    void ForgetUnlistedFeeds();
    int ReloadPeriod() const { return reloadSecondsHook_ ? *reloadSecondsHook_ * 1000 : FReloadInterval; }

    // The composition's steps.
    void MakeFeedComponent();
    void WireEvents();
    // The handlers the composition wires.
    void lblTickerMouseMove();
    // The user docked the bar on another monitor: the setting follows and is written at once.
    void appBarMonitorChosen(const std::string& monitor);
    void appBarMonitorChanged(const TMonitor& monitor);
    // The width the bar lays its parts along: the work area of the monitor it is on.
    int BarWidth() const;
    void ResChangerResChanged(const TDisplayResolution& OldRes, const TDisplayResolution& NewRes);
    // The current address answered with a page that links `feeds`: the first replaces the
    // address (in the custom list too, which is saved) and loads, once per address; true when
    // it did. A discovered feed that answers with a page again fails as it is.
    bool FeedPageDiscovered(const std::vector<TDiscoveredFeed>& feeds);
    // Loads the file of each "[Open("<path>")]" command in order as the feed; other commands are
    // ignored.
    void DDEExecuteCommands(TDDEHandler& sender, const std::vector<std::string>& commands);

    void InitializeAppearance();
    // Sizes of the bar's design at FDpi: pictures, title, ticker, gaps and the app bar's limits.
    void ApplyScale();
    int Scaled(int value) const { return ScaleForDpi(value, FDpi); }
    // Shows `font` (the setting) on the ticker, its size scaled for the display.
    void ShowTickerFont(const TFont& font);
    void AttachDDEHandler();
    void LoadSettings();
    bool SaveSettings();
    bool SaveFeedState();
    void SetReloadInterval(int milliseconds);
    void BuildFeedMenus();
    // Hands tmrReload's state to the window.
    void ApplyReloadTimer();
    // The merged stream (fMainStream.cpp): switched on and off and given its options and feeds
    // as the settings say.
    void ApplyStreamSettings(const TStreamSettings& settings);
    void StartStream();
    void StopStream();
    std::vector<std::string> EnabledFeedUrls() const;
    void LoadAccessSettings();
    void ApplyStillMode();

    IMainView& view_;
    TProfileStoreFactory openStore_;
    // The components; the constructor makes and wires them, the destructor ends them, each in
    // the order written there.
    std::unique_ptr<TScrollingText> ticker_;  // lblTicker
    std::unique_ptr<TpkRSSFeed> RSSHandler;
    std::unique_ptr<TRSSFeedTicker> feedPort_;
    std::unique_ptr<TickerView> tickerView_;
    std::unique_ptr<TFeedRotation> rotation;
    TFeedSchedule schedule_;
    std::unique_ptr<ReloadGate> gate_;
    std::unique_ptr<TFeedCache> feedCache_;
    TStreamSettings streamSettings_;
    std::unique_ptr<TStreamTicker> streamTicker_;
    std::unique_ptr<TStreamLoader> streamLoader_;
    std::unique_ptr<TNetDetect> netDetect;
    std::unique_ptr<TResChange> ResChanger;
    std::unique_ptr<TpkAppBar> appBar;
    std::unique_ptr<TpkOnlyOne> oneOnly;
    std::unique_ptr<TVisibilityWatcher> watcher_;
    TDDEHandler* DDEHandler = nullptr;
    bool DDEAvailable = false;

    // The window's state.
    Rect lblTitle = Rect::Sized(32, 5, 0, 13);
    std::string TitleCaption = "Tidewire";
    std::string TitleHint;  // "Go to: " and the channel link
    Rect imgStart = Rect::Sized(5, 1, 22, 22);
    Rect imgPrevRssItem = Rect::Sized(0, 4, 16, 16);
    Rect imgNextRssItem = Rect::Sized(0, 4, 16, 16);
    TFeedsList DefaultFeedsList;
    TFeedsList CustomFeedsList;
    TFeedNotes feedNotes_;
    std::string discoveredFeed_;  // the last address a page led to
    std::string FConfigFile;
    std::string FDefaultUrl;
    int FDefaultReloadMinutes = 5;
    int FDpi = kDefaultDpi;
    std::string FMonitor;
    TFont tickerFont_;  // the setting
    int FLastConfigPage = 0;
    int FReloadInterval = 5000;  // ms, as the form has it before FormCreate
    bool FReloadEnabled = false;
    bool FCreating = false;
    std::optional<int> reloadSecondsHook_;  // TIDEWIRE_RELOAD_SECONDS
    std::string requesting_;  // the address of the network load under way ("" = none)
    std::string shownUrl_;    // the address whose items the feed shows ("" = a file, a failure)
    bool settingsLoaded_ = false;
    bool destroyed_ = false;
    // Accessibility: the user's pause, the still option and the system's settings, the focus.
    bool paused_ = false;
    bool stillOption_ = false;
    bool systemAnimations_ = true;
    bool highContrast_ = false;
    bool passEnding_ = false;  // the ticker moves on by itself: no reader is told
    TBarColors colors_ = BarColorsFor(false);
    THotKey focusHotKey_ = kDefaultFocusHotKey;
    TBarElement focused_ = TBarElement::Ticker;
};

// A feed component set up as the program loads every feed: its agent, time limits, size bound,
// conditional requests and accepted formats.
std::unique_ptr<TpkRSSFeed> MakeConfiguredFeed();

// The ticker font as the settings describe it.
TFont TickerFontFrom(const TTickerFont& font);
TTickerFont TickerFontOf(const TFont& font);

}  // namespace tw
