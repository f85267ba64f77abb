// The bar popup menu under Wine: real menus opened and closed from a timer inside the menu loop,
// measures on a real DC, and drawing into a memory DC.
#include "controls/BarPopupMenus_win32.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <functional>

#include "controls/GdiHandles_win32.h"

namespace tw {
namespace {

std::function<void()> g_pending;

void CALLBACK RunPending(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    auto action = std::move(g_pending);
    g_pending = nullptr;
    if (action) action();
}

// Runs an action once, some time from now, from the message loop that is running then (the
// menu's); dropped with the object if it has not run, so it never reaches a later test.
class Delayed {
public:
    Delayed(int ms, std::function<void()> action) {
        g_pending = std::move(action);
        id_ = SetTimer(nullptr, 0, static_cast<UINT>(ms), RunPending);
        EXPECT_NE(id_, 0u);
    }
    ~Delayed() {
        KillTimer(nullptr, id_);
        g_pending = nullptr;
    }
    Delayed(const Delayed&) = delete;
    Delayed& operator=(const Delayed&) = delete;

private:
    UINT_PTR id_ = 0;
};

// The tray menu's settings.
void SetUpLikeTheTrayMenu(TBarPopupMenu& menu) {
    menu.MenuStyle = msWindowsXP;
    menu.UseSystemFont = false;
    menu.MenuFont = TFont{"Arial", 8, clWindowText, 0};
    menu.Bar.Width = 18;
    menu.Bar.GradientStart = 10127994;
    menu.Bar.GradientEnd = 3813932;
    menu.Bar.GradientStyle = gsHorizontal;
    menu.Bar.BarCaption.Caption = "Tidewire 1.1";
    menu.Separators.SeparatorStyle = ssCaption;
    menu.Separators.GradientStyle = gsVertical;
    menu.Separators.GradientStart = clSilver;
    menu.Separators.GradientEnd = clGray;
    menu.Separators.UseSystemFont = false;
    menu.Separators.Font = TFont{"Arial", 8, clWhite, fsBold};
    menu.Loaded();
}

// Regression: the side bar was painted at the first popup only and reused by every later one, so
// the draw-bar events never ran again. Each popup paints it once, however often entries redraw.
TEST(TBarPopupMenuWindow, PaintsItsSideBarOncePerPopup) {
    TBarPopupMenu menu;
    SetUpLikeTheTrayMenu(menu);
    std::string events;
    menu.OnBeforeDrawBar = [&](TBarPopupMenu&, HDC, const RECT&, bool&) { events += "before;"; };
    menu.OnAdvancedBeforeDrawBar = [&](TBarPopupMenu&, HDC, const RECT&, TBarParts&) { events += "advanced;"; };
    menu.OnAfterDrawBar = [&](TBarPopupMenu&, HDC, const RECT&) { events += "after;"; };
    menu.Items().Add("Hide ticker");
    menu.Items().Add("-");
    menu.Items().Add("Close");
    for (int showing = 1; showing <= 2; ++showing) {
        events.clear();
        const int slices = menu.BarSliceCount();
        // Each move of the selection draws entries again.
        Delayed browse(400, [&] {
            for (WPARAM key : {VK_DOWN, VK_DOWN, VK_ESCAPE}) PostMessageW(menu.OwnerWindow(), WM_KEYDOWN, key, 0);
        });
        EXPECT_FALSE(menu.Popup(200, 200)) << "dismissed";
        EXPECT_GT(menu.BarSliceCount(), slices + 3) << "showing " << showing << " drew entries again";
        EXPECT_EQ(events, "before;advanced;after;") << "showing " << showing;
        EXPECT_EQ(menu.BarBuildCount(), showing);
    }
}

TEST(TBarPopupMenuWindow, ArrowKeysPassOverSeparatorsAndEnterClicks) {
    TBarPopupMenu menu;
    SetUpLikeTheTrayMenu(menu);
    std::string clicked;
    const auto record = [&](TBarMenuItem& item) { clicked += item.Caption() + ";"; };
    menu.Items().Add("First").OnClick = record;
    menu.Items().Add("-").SetHint("Custom RSS Links");
    menu.Items().Add("-");
    menu.Items().Add("Second").OnClick = record;
    Delayed arrows(400, [&] {
        for (WPARAM key : {VK_DOWN, VK_DOWN, VK_RETURN}) PostMessageW(menu.OwnerWindow(), WM_KEYDOWN, key, 0);
    });
    EXPECT_TRUE(menu.Popup(200, 200));
    EXPECT_EQ(clicked, "Second;");

    // Hot keys: "&" in an address shown as it is marks none.
    TBarMenuItem& address = menu.Items().Add("http://127.0.0.1/?a=1&b=2");
    address.NoPrefix = true;
    address.OnClick = record;
    menu.Items().Add("&Help").OnClick = record;
    clicked.clear();
    Delayed hotKeys(400, [&] {
        for (WPARAM key : {'b', 'h'}) PostMessageW(menu.OwnerWindow(), WM_CHAR, key, 0);
    });
    EXPECT_TRUE(menu.Popup(200, 200));
    EXPECT_EQ(clicked, "&Help;");
}

TEST(TBarPopupMenuWindow, OpensAwayFromTheBar) {
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    const struct {
        TpkAppBarPlacement dock;
        RECT bar;
    } cases[] = {{bpTop, {work.left, work.top, work.right, work.top + 25}},
                 {bpBottom, {work.left, work.bottom - 25, work.right, work.bottom}},
                 {bpFloat, {work.left + 50, work.bottom - 60, work.left + 600, work.bottom - 35}}};
    for (const auto& c : cases) {
        TBarPopupMenu menu;
        SetUpLikeTheTrayMenu(menu);
        for (const char* caption : {"One", "Two", "Three", "Four"}) menu.Items().Add(caption);
        RECT shown{};
        Delayed look(400, [&] {
            HWND popup = FindWindowW(L"#32768", nullptr);
            if (popup) GetWindowRect(popup, &shown);
            EndMenu();
        });
        menu.PopupBesideBar(c.bar.left + 5, c.bar, c.dock, work);
        ASSERT_GT(shown.bottom, shown.top) << c.dock;
        EXPECT_TRUE(shown.top >= c.bar.bottom || shown.bottom <= c.bar.top) << c.dock << ": " << shown.top << ".."
                                                                            << shown.bottom;
        if (c.dock == bpBottom || c.dock == bpFloat) {
            EXPECT_LE(shown.bottom, c.bar.top) << c.dock;
        }
        EXPECT_GE(shown.top, work.top);
        EXPECT_LE(shown.bottom, work.bottom);
    }
}

// The ticker's start image with its hint, as the pointer reaches it: the hint's delay is running.
struct BarWithPendingHint {
    HWND bar = nullptr, hints = nullptr;
    BarWithPendingHint() {
        INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES};
        InitCommonControlsEx(&controls);
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.lpszClassName = L"TestHintedBar";
        RegisterClassW(&wc);
        bar = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, L"TestHintedBar", L"", WS_POPUP | WS_VISIBLE, 0, 0, 400,
                              25, nullptr, nullptr, nullptr, nullptr);
        hints = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0,
                                0, bar, nullptr, nullptr, nullptr);
        wchar_t text[] = L"Click here to browse RSS Feeds easily";
        TOOLINFOW tool{sizeof tool, TTF_SUBCLASS, bar, 1, {0, 0, 30, 25}, nullptr, text, 0, nullptr};
        SendMessageW(hints, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
        SetCursorPos(10, 10);
        SendMessageW(bar, WM_MOUSEMOVE, 0, MAKELPARAM(10, 10));
    }
    ~BarWithPendingHint() { DestroyWindow(bar); }  // the hints go with the window that owns them
};

// Regression: the Quick Start Menu opened from the start image had its first rows covered by the
// image's hint, which came up once its delay ran out (under Wine a black strip over the side bar
// and the "Custom RSS Links" caption); and the bar stopped short of the blank rows Wine leaves
// inside the menu's frame line.
TEST(TBarPopupMenuWindow, TheFirstRowsShowTheBarAndNoPendingHint) {
    for (const char* firstHint : {"Custom RSS Links", ""}) {
        ASSERT_TRUE(SetCursorPos(600, 600));
        BarWithPendingHint opener;
        ASSERT_TRUE(opener.hints);
        TBarPopupMenu menu;
        SetUpLikeTheTrayMenu(menu);
        menu.Bar.Width = 26;
        menu.Items().Add("-").SetHint(firstHint);
        menu.Items().Add("http://127.0.0.1/a.xml").NoPrefix = true;
        menu.Items().Add("-").SetHint("Default RSS Links");
        bool hintShown = true;
        COLORREF barTop = 0, barFirst = 0, caption = 0;
        Delayed look(3 * GetDoubleClickTime(), [&] {  // a hint waits the double-click time
            hintShown = IsWindowVisible(opener.hints) != FALSE;
            HWND popup = FindWindowW(L"#32768", nullptr);
            RECT window{}, first{};
            if (popup && GetWindowRect(popup, &window) && GetMenuItemRect(nullptr, menu.Handle(), 0, &first)) {
                OffsetRect(&first, -window.left, -window.top);
                HDC dc = GetDC(popup);
                barTop = GetPixel(dc, first.left + 2, 1);  // the row under the frame line
                barFirst = GetPixel(dc, first.left + 2, first.top + 1);
                caption = GetPixel(dc, first.left + 40, first.top + 6);
                ReleaseDC(popup, dc);
            }
            EndMenu();
        });
        menu.Popup(0, 25);
        const std::string what = std::string("first separator \"") + firstHint + "\"";
        EXPECT_FALSE(hintShown) << what;
        // Between the bar's gradient ends 0x9A8A7A and 0x3A322C, and blue-gray like them.
        EXPECT_TRUE(GetBValue(barFirst) > GetRValue(barFirst) && GetRValue(barFirst) > 0x2C &&
                    GetRValue(barFirst) < 0x7A)
            << what << ": the bar's third column " << std::hex << barFirst;
        EXPECT_EQ(barTop, barFirst) << what << ": the bar reaches the frame line";
        const bool gray = GetRValue(caption) == GetGValue(caption) && GetGValue(caption) == GetBValue(caption) &&
                          GetRValue(caption) > 0x80 && GetRValue(caption) < 0xC0;
        if (*firstHint) {
            EXPECT_TRUE(gray) << what << ": the caption's gradient " << std::hex << caption;
        }
    }
}

LOGFONTW Arial8() {
    gdi::WindowDc screen(nullptr);
    LOGFONTW lf{};
    lf.lfHeight = -MulDiv(8, GetDeviceCaps(screen.Get(), LOGPIXELSY), 72);
    lf.lfWeight = FW_NORMAL;
    lf.lfCharSet = DEFAULT_CHARSET;
    wcscpy(lf.lfFaceName, L"Arial");
    return lf;
}

TEST(TBarPopupMenuWindow, MeasuresOnARealDc) {
    TBarPopupMenu menu;
    SetUpLikeTheTrayMenu(menu);
    TBarMenuItem& config = menu.Items().Add("Configuration...");
    TBarMenuItem& feeds = menu.Items().Add("RSS Feeds");
    TBarMenuItem& inside = feeds.Add("Configuration...");
    TBarMenuItem& separator = menu.Items().Add("-");

    gdi::WindowDc screen(nullptr);
    const LOGFONTW lf = Arial8();
    GdiObject font(CreateFontIndirectW(&lf));
    SIZE text{};
    {
        gdi::SelectScope use(screen.Get(), font.Get());
        ASSERT_TRUE(GetTextExtentPoint32W(screen.Get(), L"Configuration...", 16, &text));
    }
    int height = std::max<int>(text.cy + 6, 16);
    height += height % 2;
    EXPECT_EQ(menu.MeasureItemOn(screen.Get(), config), (Size{text.cx + kItemFixedRoom + 18 + 1, height}));
    EXPECT_EQ(menu.MeasureItemOn(screen.Get(), inside), (Size{text.cx + kItemFixedRoom, height}));
    EXPECT_EQ(menu.MeasureItemOn(screen.Get(), separator).Height, 9);
    separator.SetHint("Default RSS Links");
    EXPECT_EQ(menu.MeasureItemOn(screen.Get(), separator).Height, 14);
}

TEST(TBarPopupMenuWindow, AtTwiceTheDensityItsFontsAndSizesDouble) {
    TBarPopupMenu menu;
    SetUpLikeTheTrayMenu(menu);
    TBarMenuItem& config = menu.Items().Add("Configuration...");
    TBarMenuItem& separator = menu.Items().Add("-");
    separator.SetHint("Default RSS Links");
    gdi::WindowDc screen(nullptr);
    ASSERT_EQ(GetDeviceCaps(screen.Get(), LOGPIXELSY), 96);
    const Size entry = menu.MeasureItemOn(screen.Get(), config);
    const Size caption = menu.MeasureItemOn(screen.Get(), separator);
    menu.SetDpi(192);
    const Size entry2 = menu.MeasureItemOn(screen.Get(), config);
    const Size caption2 = menu.MeasureItemOn(screen.Get(), separator);
    // Glyphs do not grow exactly twice as wide; the fixed room and the least heights do.
    EXPECT_NEAR(entry2.Width, 2 * entry.Width, entry.Width / 8);
    EXPECT_NEAR(entry2.Height, 2 * entry.Height, 2);
    EXPECT_NEAR(caption2.Width, 2 * caption.Width, caption.Width / 8);
    EXPECT_EQ(caption2.Height, 28);
}

TEST(TBarPopupMenuWindow, DrawsTheBarSliceAndAFadedCaptionSeparatorIntoAMemoryDc) {
    TBarPopupMenu menu;
    SetUpLikeTheTrayMenu(menu);
    menu.Bar.Width = 26;
    menu.Bar.BarCaption.Caption = "Quick Start Menu";
    menu.Separators.Fade = true;
    menu.Separators.FadeWidth = 72;
    menu.Separators.FadeColor = 0x00FF00;
    TBarMenuItem& separator = menu.Items().Add("-");
    separator.SetHint("Default RSS Links");
    TBarMenuItem& feed = menu.Items().Add("http://127.0.0.1/feed?a=1&b=2");
    feed.NoPrefix = true;

    gdi::WindowDc screen(nullptr);
    const int feedHeight = menu.MeasureItemOn(screen.Get(), feed).Height;
    constexpr int kWidth = 240, kHeight = 60;
    MemoryDc dc(CreateCompatibleDC(nullptr));
    BITMAPINFO bmi = gdi::TopDownBitmapInfo(kWidth, kHeight);
    void* bits = nullptr;
    GdiObject bitmap(CreateDIBSection(dc.Get(), &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    ASSERT_TRUE(bitmap && bits);
    gdi::SelectScope select(dc.Get(), bitmap.Get());
    menu.DrawItemOn(dc.Get(), separator, {0, 0, kWidth, 14}, 0);
    menu.DrawItemOn(dc.Get(), feed, {0, 14, kWidth, 14 + feedHeight}, ODS_SELECTED);
    GdiFlush();
    const auto pixel = [&](int x, int y) {
        return PixelToColor(static_cast<const std::uint32_t*>(bits)[y * kWidth + x] & 0xFFFFFF);
    };
    for (int y : {0, 7, 13, 14, 13 + feedHeight}) {
        EXPECT_EQ(pixel(0, y), 10127994u) << "bar's first column, row " << y;
        EXPECT_EQ(pixel(25, y), 3813932u) << "bar's last column, row " << y;
    }
    EXPECT_EQ(pixel(26, 7), GetSysColor(COLOR_MENU) & 0xFFFFFF) << "the space beside the bar";
    EXPECT_EQ(pixel(27, 0), clSilver) << "separator gradient starts";
    EXPECT_EQ(pixel(kWidth - 1, 0), 0x00FF00u) << "separator fades at the right";
    EXPECT_EQ(pixel(kWidth - 1, 13), 0x00FF00u);
    EXPECT_EQ(menu.BarBuildCount(), 1);
}

TEST(TBarPopupMenuWindow, DrawEventsChooseTheBarsParts) {
    const struct {
        const char* what;
        bool defaultDraw;
        TBarParts remove;
        TColor firstColumn;  // what the handler's own red fill leaves or the gradient covers
        const char* events;
    } cases[] = {
        {"default drawing", true, 0, 10127994, "before;advanced;after;"},
        {"gradient dropped", true, bpGradient, 0x0000FF, "before;advanced;after;"},
        {"no default drawing", false, 0, 0x0000FF, "before;after;"},
    };
    for (const auto& c : cases) {
        TBarPopupMenu menu;
        SetUpLikeTheTrayMenu(menu);
        TBarMenuItem& item = menu.Items().Add("Close");
        std::string events;
        menu.OnBeforeDrawBar = [&](TBarPopupMenu&, HDC canvas, const RECT& rect, bool& defaultDraw) {
            events += "before;";
            GdiObject red(CreateSolidBrush(RGB(0xFF, 0, 0)));
            FillRect(canvas, &rect, static_cast<HBRUSH>(red.Get()));
            defaultDraw = c.defaultDraw;
        };
        menu.OnAdvancedBeforeDrawBar = [&](TBarPopupMenu&, HDC, const RECT&, TBarParts& parts) {
            events += "advanced;";
            parts &= ~c.remove;
        };
        menu.OnAfterDrawBar = [&](TBarPopupMenu&, HDC, const RECT&) { events += "after;"; };

        MemoryDc dc(CreateCompatibleDC(nullptr));
        BITMAPINFO bmi = gdi::TopDownBitmapInfo(100, 30);
        void* bits = nullptr;
        GdiObject bitmap(CreateDIBSection(dc.Get(), &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
        ASSERT_TRUE(bitmap && bits);
        gdi::SelectScope select(dc.Get(), bitmap.Get());
        menu.DrawItemOn(dc.Get(), item, {0, 0, 100, 16}, 0);
        GdiFlush();
        EXPECT_EQ(PixelToColor(static_cast<const std::uint32_t*>(bits)[100 * 2] & 0xFFFFFF), c.firstColumn) << c.what;
        EXPECT_EQ(events, c.events) << c.what;
    }
}

}  // namespace
}  // namespace tw
