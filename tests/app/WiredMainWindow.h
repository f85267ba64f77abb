#pragma once
// The main window with a recording window, a scripted connection detector and a scratch
// settings folder. The test stands where the platform does: it makes the parts, and drives the
// ticker and the detector as their window and host would.
#include "app/fMain.h"
#include "config/IniProfileStore.h"

#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tw::test {

class RecordingView final : public IMainView {
public:
    int workAreaWidth = 1024;
    int pixelsPerChar = 7;
    int dpi = 96, systemDpi = 96;
    bool foreground = true;
    bool modem = false;
    int broughtToFront = 0;
    int terminated = 0;
    std::vector<std::string> tickerTexts;  // what the window would keep as the ticker's name
    std::vector<std::string> links;
    int animationStarts = 0;
    int animationStops = 0;
    std::vector<int> reloadTimers;  // every period handed to the window's timer, 0 = stopped
    int quickStartMenus = 0;
    int barHides = 0;
    int menuRebuilds = 0;  // FeedListsChanged calls
    std::vector<std::string> balloons;  // title and text of each balloon shown
    std::vector<std::string> messages;   // ShowMessage texts
    std::vector<std::string> questions;  // AskYesNo questions, each answered with `answerYes`
    bool answerYes = true;
    int readingChanges = 0;             // TickerReadingChanged calls
    std::vector<THotKey> hotKeys;       // each key handed to the system

    int WorkAreaWidth() const override { return workAreaWidth; }
    int DisplayDpi() const override { return dpi; }
    int SystemDpi() const override { return systemDpi; }
    int MeasureTitle(const std::string& caption) const override { return int(caption.size()) * pixelsPerChar; }
    void BarChanged() override {}
    void SetReloadTimer(int ms) override { reloadTimers.push_back(ms); }
    bool IsForeground() const override { return foreground; }
    void BringToForeground() override { ++broughtToFront; }
    void Terminate() override { ++terminated; }
    void TickerTextChanged(const std::string& text) override { tickerTexts.push_back(text); }
    void StartLoadingAnimation() override { ++animationStarts; }
    void StopLoadingAnimation() override { ++animationStops; }
    void OpenLink(const std::string& url) override { links.push_back(url); }
    bool ModemConnection() const override { return modem; }
    void PopupQuickStartMenu() override { ++quickStartMenus; }
    void HideBar() override { ++barHides; }
    void FeedListsChanged() override { ++menuRebuilds; }
    void ShowMessage(const std::string& text) override { messages.push_back(text); }
    bool AskYesNo(const std::string& question) override {
        questions.push_back(question);
        return answerYes;
    }
    void TickerReadingChanged() override { ++readingChanges; }
    void RegisterFocusHotKey(const THotKey& key) override { hotKeys.push_back(key); }
    void ShowWelcomeBalloon(const std::string& title, const std::string& text) override {
        balloons.push_back(title + "|" + text);
    }
};

struct HostLog {
    std::vector<std::uint64_t> checks;
    bool timerEnabled = false;
    TNetDetect* detector = nullptr;  // the one this host serves
};

class ScriptedHost final : public INetDetectHost {
public:
    explicit ScriptedHost(HostLog& log) : log_(log) {}
    void Bind(TNetDetect& detector) override { log_.detector = &detector; }
    void SetTimer(bool enabled, int) override { log_.timerEnabled = enabled; }
    void StartCheck(std::uint64_t id, const std::string&, int) override { log_.checks.push_back(id); }

private:
    HostLog& log_;
};

// A scrolling text and the plain-file settings store: what every main window needs.
inline TMainParts TestParts() {
    TMainParts parts;
    parts.Ticker = std::make_unique<TScrollingText>();
    parts.OpenStore = [](const std::string& path) {
        return std::unique_ptr<IProfileStore>(new IniProfileStore(std::filesystem::u8path(path)));
    };
    return parts;
}

class WiredMainWindow : public ::testing::Test {
protected:
    // `parts` with the ticker, the store and a scripted detector added where it has none.
    std::unique_ptr<TfrMain> Make(TMainParts parts = TestParts()) {
        if (!parts.Ticker) parts.Ticker = TestParts().Ticker;
        if (!parts.NetDetect)
            parts.NetDetect = std::make_unique<TNetDetect>(std::make_unique<ScriptedHost>(hostLog), "http://127.0.0.1:1/");
        ticker = parts.Ticker.get();
        return std::make_unique<TfrMain>(view, std::move(parts));
    }
    std::string Dir() const { return Utf8Path(dir.Path() / ""); }
    std::string FeedFile() const { return Utf8Path(DataPath("app/texts.rss")); }
    // A feed file in the scratch folder with one item under `title`.
    std::string WriteFeed(const std::string& name, const std::string& title) {
        std::ofstream(dir / name, std::ios::binary)
            << "<rss><channel><title>" << title << "</title><item><title>Item</title></item></channel></rss>";
        return Dir() + name;
    }
    void WriteConfig(const std::string& text) { std::ofstream(dir / "app.config", std::ios::binary) << text; }
    IniProfileStore Config() const { return IniProfileStore(dir / "app.config"); }

    TempDir dir;
    RecordingView view;
    HostLog hostLog;
    TScrollingText* ticker = nullptr;  // the last window's, as its platform window holds it
};

}  // namespace tw::test
