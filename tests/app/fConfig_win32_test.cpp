// The configuration dialog's window and the Run key under Windows: the real controls driven
// through their messages, OK and Cancel, the value under the current user's Run key.
#include "app/fConfig_win32.h"
#include "app/WiredMainWindow.h"
#include "base/TextConvert_win32.h"
#include "controls/Monitors_win32.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

namespace tw::test {
namespace {

class QuietView final : public IMainView {
public:
    int WorkAreaWidth() const override { return 1024; }
    int MeasureTitle(const std::string& caption) const override { return int(caption.size()) * 7; }
    void BarChanged() override {}
    void SetReloadTimer(int) override {}
    bool IsForeground() const override { return true; }
    void BringToForeground() override {}
    void Terminate() override {}
};

class FakeRunKey final : public IRunAtLogon {
public:
    bool value = false;
    bool Enabled() const override { return value; }
    bool SetEnabled(bool enabled) override { return value = enabled, true; }
};

std::wstring Text(HWND w) {
    wchar_t buffer[4096] = {};
    GetWindowTextW(w, buffer, 4096);
    return buffer;
}

std::wstring ListLine(HWND list, int line) {
    wchar_t buffer[4096] = {};
    ListView_GetItemText(list, line, 0, buffer, 4096);
    return buffer;
}

void SelectPage(HWND dialog, int page) {
    const HWND tree = GetDlgItem(dialog, idConfigTree);
    HTREEITEM node = TreeView_GetRoot(tree);
    for (int i = 0; i < page; ++i) node = TreeView_GetNextVisible(tree, node);
    TreeView_SelectItem(tree, node);
}

// The control's own visibility (the dialog itself may not be on screen yet).
bool Shown(HWND dialog, int id) { return (GetWindowLongW(GetDlgItem(dialog, id), GWL_STYLE) & WS_VISIBLE) != 0; }

void Click(HWND dialog, int id) { SendMessageW(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }

class ConfigWindow : public ::testing::Test {
protected:
    void SetUp() override {
        main = std::make_unique<TfrMain>(view, TestParts());
        main->FormCreate(Utf8Path(dir.Path() / ""));
    }

    TempDir dir;
    QuietView view;
    FakeRunKey runKey;
    std::unique_ptr<TfrMain> main;
};

TEST_F(ConfigWindow, ShowsEveryPageAndAddsATrimmedNonAsciiLinkOnOk) {
    const std::string address = "http://\xC3\xBC" "ber.example/feed";  // "über"
    std::vector<std::wstring> statusTexts;
    bool checked = false;
    const bool ok = ShowConfigDialog(nullptr, *main, runKey, [&](HWND dialog) {
        EXPECT_EQ(Text(dialog), L"Configuration");
        RECT client{};
        GetClientRect(dialog, &client);
        EXPECT_EQ(client.right, 543);
        EXPECT_EQ(client.bottom, 352);
        EXPECT_EQ(TreeView_GetCount(GetDlgItem(dialog, idConfigTree)), 5u);
        EXPECT_FALSE(ShowConfigDialog(nullptr, *main, runKey)) << "one dialog at a time";
        for (int page = 0; page < kConfigPageCount; ++page) {
            SelectPage(dialog, page);
            wchar_t status[256] = {};
            SendMessageW(GetDlgItem(dialog, idStatusBar), SB_GETTEXTW, 0, reinterpret_cast<LPARAM>(status));
            statusTexts.push_back(status);
        }
        EXPECT_TRUE(Shown(dialog, idTickerSpeed));
        EXPECT_FALSE(Shown(dialog, idReloadTime));
        SelectPage(dialog, cpCustomLinks);
        EXPECT_FALSE(IsWindowEnabled(GetDlgItem(dialog, idCurrentLink)));
        Click(dialog, idLinkAdd);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, idCurrentLink)));
        EXPECT_EQ(Text(GetDlgItem(dialog, idCurrentLink)), L"http://");
        EXPECT_EQ(Text(GetDlgItem(dialog, idLinkEdit)), L"Done");
        SetWindowTextW(GetDlgItem(dialog, idCurrentLink), (L"  " + ToWide(address) + L" ").c_str());
        Click(dialog, idLinkEdit);
        const HWND list = GetDlgItem(dialog, idCustomLinks);
        EXPECT_EQ(ListView_GetItemCount(list), 1);
        EXPECT_EQ(ListLine(list, 0), ToWide(address));
        EXPECT_TRUE(ListView_GetCheckState(list, 0));
        Click(dialog, idStartUp);  // hidden controls still take a click message
        const HWND monitor = GetDlgItem(dialog, idMonitor);
        const TMonitorList monitors = SystemMonitors();
        EXPECT_FALSE(monitors.empty());  // an ASSERT here would leave the dialog open
        EXPECT_EQ(SendMessageW(monitor, CB_GETCOUNT, 0, 0), LRESULT(monitors.size()));
        EXPECT_EQ(SendMessageW(monitor, CB_GETCURSEL, 0, 0), PrimaryMonitorIndex(monitors)) << "no setting: the primary";
        wchar_t caption[64] = {};
        SendMessageW(monitor, CB_GETLBTEXT, 0, reinterpret_cast<LPARAM>(caption));
        EXPECT_EQ(std::wstring(caption), ToWide(MonitorCaption(monitors, 0)));
        checked = true;
        Click(dialog, IDOK);
    });
    ASSERT_TRUE(checked);
    EXPECT_TRUE(ok);
    std::vector<std::wstring> expected;
    for (const TConfigPageInfo& page : ConfigPages) expected.push_back(ToWide(page.StatusText));
    EXPECT_EQ(statusTexts, expected);
    EXPECT_EQ(main->Settings().CustomFeeds, (std::vector<TConfigLink>{{address, true}}));
    EXPECT_EQ(main->Settings().LastConfigPage, cpCustomLinks);
    EXPECT_TRUE(runKey.value);
    EXPECT_EQ(IniProfileStore(dir / "app.config").ReadString("Custom Urls", "Url_0", ""), address);
}

TEST_F(ConfigWindow, CancelAndEscapeKeepEverything) {
    for (const int close : {IDCANCEL, 0}) {
        const bool ok = ShowConfigDialog(nullptr, *main, runKey, [&](HWND dialog) {
            SelectPage(dialog, cpRSSSettings);
            SendMessageW(GetDlgItem(dialog, idReloadTime), TBM_SETPOS, TRUE, 11);
            Click(dialog, idMaxItemsCheck);
            Click(dialog, idStartUp);
            if (close) Click(dialog, close);
            else PostMessageW(dialog, WM_CLOSE, 0, 0);
        });
        EXPECT_FALSE(ok);
    }
    EXPECT_EQ(main->ReloadInterval(), 300000);
    EXPECT_EQ(main->Settings().Rotation.FMaxShowingItems, 0);
    EXPECT_FALSE(runKey.value);
    EXPECT_FALSE(std::filesystem::exists(dir / "app.config"));
}

// The texts of the message boxes the dialog puts up, each closed with OK as soon as a thread
// timer finds it.
struct MessageBoxes {
    static inline HWND owner = nullptr;
    static inline std::vector<std::wstring> texts;
    static void CALLBACK Look(HWND, UINT, UINT_PTR, DWORD) {
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND w, LPARAM) -> BOOL {
                if (w == owner || GetWindow(w, GW_OWNER) != owner || !IsWindowVisible(w)) return TRUE;
                EnumChildWindows(
                    w,
                    [](HWND c, LPARAM) -> BOOL {
                        wchar_t cls[32] = {};
                        GetClassNameW(c, cls, 32);
                        if (lstrcmpiW(cls, L"Static") == 0 && !Text(c).empty()) texts.push_back(Text(c));
                        return TRUE;
                    },
                    0);
                PostMessageW(w, WM_COMMAND, IDOK, 0);
                return TRUE;
            },
            0);
    }
};

TEST_F(ConfigWindow, RefusedAddressesGetAnErrorBoxAndKeepTheEditOpen) {
    MessageBoxes::texts.clear();
    const UINT_PTR timer = SetTimer(nullptr, 0, 100, &MessageBoxes::Look);
    ShowConfigDialog(nullptr, *main, runKey, [&](HWND dialog) {
        MessageBoxes::owner = dialog;
        SelectPage(dialog, cpCustomLinks);
        for (const wchar_t* address : {L"ftp://x.example/", L"", L"http://a.example/", L"HTTP://A.example/"}) {
            if (IsWindowEnabled(GetDlgItem(dialog, idLinkAdd))) Click(dialog, idLinkAdd);
            SetWindowTextW(GetDlgItem(dialog, idCurrentLink), address);
            Click(dialog, idLinkEdit);
        }
        EXPECT_EQ(ListView_GetItemCount(GetDlgItem(dialog, idCustomLinks)), 1);
        EXPECT_TRUE(IsWindowEnabled(GetDlgItem(dialog, idCurrentLink)));
        EXPECT_EQ(Text(GetDlgItem(dialog, idCurrentLink)), L"HTTP://A.example/");
        Click(dialog, IDCANCEL);
    });
    KillTimer(nullptr, timer);
    EXPECT_EQ(MessageBoxes::texts, (std::vector<std::wstring>{L"Invalid url! Please check again!",
                                                              L"Invalid url! Please check again!",
                                                              L"This rss address already exists!"}));
    EXPECT_TRUE(main->Settings().CustomFeeds.empty());
}

TEST(TRegistryRunAtLogon, WritesAndDeletesTheRunValue) {
    TRegistryRunAtLogon key(L"\"C:\\Program Files\\Tidewire\\Tidewire.exe\"");
    ASSERT_TRUE(key.SetEnabled(true));
    EXPECT_TRUE(key.Enabled());
    wchar_t value[512] = {};
    DWORD size = sizeof(value);
    ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, L"Software\\Microsoft\\Windows\\CurrentVersion\\Run", L"[Tidewire]",
                           RRF_RT_REG_SZ, nullptr, value, &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(value, L"\"C:\\Program Files\\Tidewire\\Tidewire.exe\"");
    ASSERT_TRUE(key.SetEnabled(false));
    EXPECT_FALSE(key.Enabled());
    EXPECT_TRUE(key.SetEnabled(false)) << "deleting a missing value is no failure";
}

}  // namespace
}  // namespace tw::test
