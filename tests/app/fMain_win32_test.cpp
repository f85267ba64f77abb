// The real main window under Windows: where the bar lies, how it looks, and what it leaves in
// the settings file when the session ends or the window is closed.
#include "app/fMain.h"

#include "support/MessagePump.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>

namespace tw::test {
namespace {

std::string Utf8(const std::filesystem::path& p) {
    const auto u8 = p.u8string();
    return std::string(u8.begin(), u8.end());
}

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

class MainWindowOnWindows : public ::testing::Test {
protected:
    void SetUp() override {
        window = TMainWindow::Create(GetModuleHandleW(nullptr), Utf8(dir.Path() / ""));
        ASSERT_NE(window, nullptr);
        hwnd = static_cast<HWND>(window->Handle());
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
    HWND ticker = static_cast<HWND>(form->lblTicker().Handle());
    ASSERT_NE(ticker, nullptr);
    EXPECT_EQ(GetParent(ticker), hwnd);
    RECT r{};
    GetWindowRect(ticker, &r);
    MapWindowPoints(nullptr, hwnd, reinterpret_cast<POINT*>(&r), 2);
    EXPECT_GT(form->lblTitle.Width, 0);
    EXPECT_EQ(r.left, 32 + form->lblTitle.Width + 5 + 16);
    EXPECT_EQ(r.top, 12);
    EXPECT_EQ(r.bottom - r.top, 11);
    RECT client{};
    GetClientRect(hwnd, &client);
    EXPECT_EQ(r.right, client.right - 21);
    EXPECT_TRUE(IsWindowVisible(ticker));
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
    window = TMainWindow::Create(GetModuleHandleW(nullptr), Utf8(dir.Path() / ""));
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(window->Form()->lblTicker().Speed(), 10);
    EXPECT_EQ(window->Form()->lblTicker().PixelJump, 2);
    SendMessageW(static_cast<HWND>(window->Handle()), WM_CLOSE, 0, 0);
    EXPECT_EQ(window->Handle(), nullptr);
    EXPECT_EQ(Setting(file, L"Global", L"Url"), L"http://mine/");
    EXPECT_EQ(Setting(file, L"Global", L"Reload_Time"), L"20");
    EXPECT_EQ(Setting(file, L"Global", L"Ticker_Speed"), L"10");
    EXPECT_EQ(Setting(file, L"Custom Urls", L"Url_0"), L"http://a/");
    EXPECT_EQ(Setting(file, L"Custom Urls", L"Disabled"), L"0");
}

}  // namespace
}  // namespace tw::test
