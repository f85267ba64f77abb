#pragma once
// The main window with a recording window, a scripted connection detector and a scratch
// settings folder, for the tests of the wired-in feed.
#include "app/fMain.h"
#include "config/IniProfileStore.h"

#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tw::test {

class RecordingView final : public IMainView {
public:
    std::vector<std::string> tickerTexts;  // what the window would keep as the ticker's name
    std::vector<std::string> links;
    int animationStarts = 0;
    int animationStops = 0;
    bool modem = false;
    std::vector<int> reloadTimers;  // every period handed to the window's timer, 0 = stopped
    int quickStartMenus = 0;
    int barHides = 0;
    int menuRebuilds = 0;  // FeedListsChanged calls
    std::vector<std::string> balloons;  // title and text of each balloon shown

    int WorkAreaWidth() const override { return 1024; }
    int MeasureTitle(const std::string& caption) const override { return int(caption.size()) * 7; }
    void BarChanged() override {}
    void SetReloadTimer(int ms) override { reloadTimers.push_back(ms); }
    bool IsForeground() const override { return true; }
    void BringToForeground() override {}
    void Terminate() override {}
    void TickerTextChanged(const std::string& text) override { tickerTexts.push_back(text); }
    void StartLoadingAnimation() override { ++animationStarts; }
    void StopLoadingAnimation() override { ++animationStops; }
    void OpenLink(const std::string& url) override { links.push_back(url); }
    bool ModemConnection() const override { return modem; }
    void PopupQuickStartMenu() override { ++quickStartMenus; }
    void HideBar() override { ++barHides; }
    void FeedListsChanged() override { ++menuRebuilds; }
    void ShowWelcomeBalloon(const std::string& title, const std::string& text) override {
        balloons.push_back(title + "|" + text);
    }
};

struct HostLog {
    std::vector<std::uint64_t> checks;
    bool timerEnabled = false;
};

class ScriptedHost final : public INetDetectHost {
public:
    explicit ScriptedHost(HostLog& log) : log_(log) {}
    void Bind(TNetDetect&) override {}
    void SetTimer(bool enabled, int) override { log_.timerEnabled = enabled; }
    void StartCheck(std::uint64_t id, const std::string&, int) override { log_.checks.push_back(id); }

private:
    HostLog& log_;
};

class WiredMainWindow : public ::testing::Test {
protected:
    std::unique_ptr<TfrMain> Make() {
        auto ticker = std::make_unique<TScrollingText>();
        ConfigureTickerFromForm(*ticker);
        auto detector = std::make_unique<TNetDetect>(std::make_unique<ScriptedHost>(hostLog), "http://127.0.0.1:1/");
        return std::make_unique<TfrMain>(
            view, std::move(ticker),
            [](const std::string& path) {
                return std::unique_ptr<IProfileStore>(new IniProfileStore(std::filesystem::u8path(path)));
            },
            std::move(detector));
    }
    std::string Dir() const {
        const auto u8 = (dir.Path() / "").u8string();
        return std::string(u8.begin(), u8.end());
    }
    std::string FeedFile() const {
        const auto u8 = DataPath("app/texts.rss").u8string();
        return std::string(u8.begin(), u8.end());
    }
    void WriteConfig(const std::string& text) { std::ofstream(dir / "app.config", std::ios::binary) << text; }

    TempDir dir;
    RecordingView view;
    HostLog hostLog;
};

}  // namespace tw::test
