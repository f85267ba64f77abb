// The real main window under Windows: where the bar lies, how it looks, and what it leaves in
// the settings file when the session ends or the window is closed.
#include "app/fMain_win32.h"
#include "controls/ScrollingText_win32.h"

#include "support/MessagePump.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <map>
#include <utility>

namespace tw::test {
namespace {

bool QuitPosted() {
    MSG msg;
    return PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != FALSE;
}

std::wstring Setting(const std::filesystem::path& file, const wchar_t* section, const wchar_t* key) {
    wchar_t buffer[512] = {};
    GetPrivateProfileStringW(section, key, L"<missing>", buffer, 512, file.wstring().c_str());
    return buffer;
}

COLORREF ScreenPixel(int x, int y) {
    HDC screen = GetDC(nullptr);
    const COLORREF c = GetPixel(screen, x, y);
    ReleaseDC(nullptr, screen);
    return c;
}

// What one tooltip window of this thread holds: its timing, colour and tools.
struct HintWindow {
    int hidePause = 0, pause = 0, shortPause = 0;
    COLORREF color = 0;
    std::map<std::pair<HWND, UINT_PTR>, std::wstring> texts;  // by (window, tool id)
};

std::vector<HintWindow> HintWindowsOfThisThread() {
    std::vector<HWND> tips;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM lp) -> BOOL {
            wchar_t cls[64] = {};
            GetClassNameW(w, cls, 64);
            if (lstrcmpiW(cls, TOOLTIPS_CLASSW) == 0) reinterpret_cast<std::vector<HWND>*>(lp)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&tips));
    std::vector<HintWindow> result;
    for (HWND tip : tips) {
        HintWindow h;
        h.hidePause = static_cast<int>(SendMessageW(tip, TTM_GETDELAYTIME, TTDT_AUTOPOP, 0));
        h.pause = static_cast<int>(SendMessageW(tip, TTM_GETDELAYTIME, TTDT_INITIAL, 0));
        h.shortPause = static_cast<int>(SendMessageW(tip, TTM_GETDELAYTIME, TTDT_RESHOW, 0));
        h.color = static_cast<COLORREF>(SendMessageW(tip, TTM_GETTIPBKCOLOR, 0, 0));
        const int count = static_cast<int>(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            wchar_t text[512] = {};
            TOOLINFOW ti{};
            ti.cbSize = sizeof ti;
            ti.lpszText = text;
            if (SendMessageW(tip, TTM_ENUMTOOLSW, i, reinterpret_cast<LPARAM>(&ti))) h.texts[{ti.hwnd, ti.uId}] = text;
        }
        result.push_back(std::move(h));
    }
    return result;
}

class MainWindowOnWindows : public ::testing::Test {
protected:
    void SetUp() override {
        window = TMainWindow::Create(GetModuleHandleW(nullptr), Utf8Path(dir.Path() / ""));
        ASSERT_NE(window, nullptr);
        hwnd = window->Handle();
        PumpFor(300);
    }
    void TearDown() override {
        window.reset();
        QuitPosted();  // the window ends the message loop as it goes
    }

    TempDir dir;
    std::unique_ptr<TMainWindow> window;
    HWND hwnd = nullptr;
};

TEST_F(MainWindowOnWindows, LiesAlongTheTopOfTheWorkAreaWithoutATaskbarButton) {
    RECT area{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    RECT r{};
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(r.left, area.left);
    EXPECT_EQ(r.top, area.top);
    EXPECT_EQ(r.right, area.right);
    EXPECT_EQ(r.bottom - r.top, 25);
    const LONG_PTR ex = GetWindowLongPtrW(hwnd, GWL_EXSTYLE);
    EXPECT_TRUE(ex & WS_EX_TOPMOST);
    EXPECT_TRUE(ex & WS_EX_TOOLWINDOW);
    EXPECT_FALSE(ex & WS_EX_APPWINDOW);
    EXPECT_FALSE(GetWindowLongPtrW(hwnd, GWL_STYLE) & WS_CAPTION);
    EXPECT_TRUE(IsWindowVisible(hwnd));
    wchar_t title[64] = {};
    GetWindowTextW(hwnd, title, 64);
    EXPECT_STREQ(title, L"Tidewire v1.1");
}

TEST_F(MainWindowOnWindows, TheScrollingTextIsAChildWhereTheLayoutPutsIt) {
    TfrMain* form = window->Form();
    ASSERT_NE(form, nullptr);
    HWND ticker = WindowHandle(form->lblTicker());
    ASSERT_NE(ticker, nullptr);
    EXPECT_EQ(GetParent(ticker), hwnd);
    RECT r{};
    GetWindowRect(ticker, &r);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
    const int title = form->Bar().Title.Width();
    EXPECT_GT(title, 0);
    EXPECT_EQ(r.left, 32 + title + 5 + 16);
    EXPECT_EQ(r.top, 12);
    EXPECT_EQ(r.bottom - r.top, 11);
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(r.right, client.right - 21);
    EXPECT_TRUE(IsWindowVisible(ticker));
}

// WM_DPICHANGED as the system sends it when the bar moves to a display of another density.
TEST_F(MainWindowOnWindows, OnADisplayOfAnotherDensityItDocksScaledAndBack) {
    TfrMain* form = window->Form();
    ASSERT_NE(form, nullptr);
    HWND ticker = WindowHandle(form->lblTicker());
    const auto heights = [&] {
        RECT bar{}, text{};
        GetWindowRect(hwnd, &bar);
        GetWindowRect(ticker, &text);
        MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&text), 2);
        return std::vector<LONG>{bar.top, bar.bottom - bar.top, text.top, text.bottom - text.top};
    };
    RECT suggested{0, 0, 100, 100};  // taken only by a floating bar
    SendMessageW(hwnd, 0x02E0 /* WM_DPICHANGED */, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    PumpFor(300);
    EXPECT_EQ(heights(), (std::vector<LONG>{0, 38, 18, 17}));
    EXPECT_EQ(form->Bar().Start.Width(), 33);
    EXPECT_EQ(form->lblTicker().Font().Size, 12) << "8 points shown as 12 where the system counts 96";
    EXPECT_EQ(form->TickerFont().Size, 8);

    SendMessageW(hwnd, 0x02E0, MAKEWPARAM(96, 96), reinterpret_cast<LPARAM>(&suggested));
    PumpFor(300);
    EXPECT_EQ(heights(), (std::vector<LONG>{0, 25, 12, 11}));
    EXPECT_EQ(form->lblTicker().Font().Size, 8);

    // Floating (a double-click on an empty spot floats the docked bar), it takes the rectangle
    // the system suggests.
    ASSERT_EQ(form->BarEdge(), bpTop);
    RECT client{};
    GetClientRect(hwnd, &client);
    SendMessageW(hwnd, WM_LBUTTONDBLCLK, 0, MAKELPARAM(client.right - 2, 2));
    PumpFor(300);
    ASSERT_EQ(form->BarEdge(), bpFloat);
    suggested = RECT{100, 200, 900, 238};
    SendMessageW(hwnd, 0x02E0, MAKEWPARAM(144, 144), reinterpret_cast<LPARAM>(&suggested));
    PumpFor(300);
    RECT r{};
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(std::vector<LONG>({r.left, r.top, r.right, r.bottom}), (std::vector<LONG>{100, 200, 900, 238}));
}

// The test program carries none of the pictures (they are resources of Tidewire.exe, whose tile
// the end-to-end test checks): the bar then shows the window's colour and still works.
TEST_F(MainWindowOnWindows, WithoutItsPicturesTheBarShowsTheWindowColour) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    EXPECT_EQ(ScreenPixel(r.right - 2, r.top), RGB(0x9A, 0x9A, 0x9A));
    EXPECT_EQ(ScreenPixel(r.right - 2, r.top + 24), RGB(0x9A, 0x9A, 0x9A));
    EXPECT_EQ(ScreenPixel(r.left + 10, r.top + 10), RGB(0x9A, 0x9A, 0x9A)) << "no start image";
    TfrMain* form = window->Form();
    // The ticker's first column always shows the background colour (the fade's first step).
    EXPECT_EQ(ScreenPixel(r.left + form->lblTicker().Left(), r.top + 20), RGB(0x2B, 0x34, 0x40));
}

TEST_F(MainWindowOnWindows, HintsShowTheirTextsWithTheApplicationsTimingAndColour) {
    TfrMain* form = window->Form();
    // The first load goes to a closed port of this machine; once it has failed, a feed file.
    form->ShowFeed("http://127.0.0.1:1/feed.xml");
    ASSERT_TRUE(PumpUntil([&] { return !form->Loading(); }));
    form->OpenFeedFile(Utf8Path(DataPath("app/texts.rss")));
    PumpFor(100);
    ASSERT_EQ(form->Bar().TitleCaption, "Cartoons & More");

    const HWND ticker = WindowHandle(form->lblTicker());
    std::map<std::pair<HWND, UINT_PTR>, std::wstring> texts;
    const auto hints = HintWindowsOfThisThread();
    ASSERT_EQ(hints.size(), 2u) << "the bar's and the ticker's";
    for (const HintWindow& h : hints) {
        EXPECT_EQ(h.hidePause, 20000);
        EXPECT_EQ(h.pause, 200);
        EXPECT_EQ(h.shortPause, 40);
        EXPECT_EQ(h.color, 0xFFECD9u);
        texts.insert(h.texts.begin(), h.texts.end());
    }
    const auto text = [&](HWND w, UINT_PTR id) { return texts[std::make_pair(w, id)]; };
    EXPECT_EQ(text(hwnd, 1), L"Click here to browse RSS Feeds easily");
    EXPECT_EQ(text(hwnd, 2), L"Previous RSS item");
    EXPECT_EQ(text(hwnd, 3), L"Next RSS Item");
    EXPECT_EQ(text(hwnd, 4), L"Go to: http://cartoons.example/");
    EXPECT_EQ(text(ticker, 1), L"Line one\r\nLine two\r\n\r\nClick to read this article from the source\r\nhttp://cartoons.example/tom");
}

TEST_F(MainWindowOnWindows, EndOfSessionClosesTheProgramAndSavesTheFeedState) {
    EXPECT_TRUE(SendMessageW(hwnd, WM_QUERYENDSESSION, 0, 0));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_EQ(window->Form(), nullptr);
    EXPECT_TRUE(QuitPosted());
    const auto file = dir / "app.config";
    EXPECT_EQ(Setting(file, L"Global", L"Url"), L"http://rss.cnn.com/rss/edition.rss");
    EXPECT_EQ(Setting(file, L"Global", L"Reload_Time"), L"5");
    EXPECT_EQ(Setting(file, L"Global", L"Ticker_Speed"), L"<missing>");
}

TEST_F(MainWindowOnWindows, ClosingKeepsTheUsersSettings) {
    window.reset();
    QuitPosted();
    const auto file = dir / "app.config";
    std::ofstream(file, std::ios::binary) << "[Global]\r\nUrl=http://mine/\r\nReload_Time=20\r\nTicker_Speed=10\r\n"
                                             "[Custom Urls]\r\nDisabled=0\r\nUrl_0=http://a/\r\n";
    window = TMainWindow::Create(GetModuleHandleW(nullptr), Utf8Path(dir.Path() / ""));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->Form()->lblTicker().Speed(), 10);
    EXPECT_EQ(window->Form()->lblTicker().PixelJump, 2);
    SendMessageW(window->Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(window->Handle(), nullptr);
    EXPECT_EQ(Setting(file, L"Global", L"Url"), L"http://mine/");
    EXPECT_EQ(Setting(file, L"Global", L"Reload_Time"), L"20");
    EXPECT_EQ(Setting(file, L"Global", L"Ticker_Speed"), L"10");
    EXPECT_EQ(Setting(file, L"Custom Urls", L"Url_0"), L"http://a/");
    EXPECT_EQ(Setting(file, L"Custom Urls", L"Disabled"), L"0");
}

}  // namespace
}  // namespace tw::test
