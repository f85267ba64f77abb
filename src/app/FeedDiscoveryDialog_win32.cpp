#include "app/FeedDiscoveryDialog_win32.h"

#include "app/fConfig.h"
#include "base/TextConvert_win32.h"
#include "base/Win32Window_win32.h"
#include "rss/pkRSSFeed.h"

#include <algorithm>
#include <vector>

namespace tw {
namespace {

// Long enough for a slow site, short enough for a dialog the user waits on.
constexpr std::uint32_t kLookDeadlineMs = 15000;
// The choices shown; a page linking more feeds than this is rare, and the first ones are its own.
constexpr std::size_t kMostChoices = 8;
constexpr std::string_view kPickCaption = "Choose a feed";
constexpr int kFirstChoiceId = 200;

std::vector<TDiscoveredFeed> FeedsLinkedBy(const std::string& address) {
    std::vector<TDiscoveredFeed> found;
    TpkRSSFeed look;
    look.SetHTTPAgent(FeedHTTPAgent());
    look.HTTP().URL = address;
    look.HTTP().TransferDeadline = kLookDeadlineMs;
    look.HTTP().MaxMemorySize = kFeedMaxMemorySize;
    look.SetWaitTimeout(kLookDeadlineMs + 5000);
    look.OnRSSFeedsDiscovered = [&found](TpkRSSFeed&, const std::vector<TDiscoveredFeed>& feeds, bool& handled) {
        found = feeds;
        handled = true;
    };
    const HCURSOR before = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
    look.LoadFromURL(true);
    SetCursor(before);
    return found;
}

std::wstring ChoiceText(const TDiscoveredFeed& feed) {
    return ToWide(feed.Title.empty() ? feed.Address : feed.Title + " - " + feed.Address);
}

// A modal list of radio buttons, one per feed, the first chosen; OK answers the chosen one.
class FeedPicker final : public Win32Window {
public:
    explicit FeedPicker(const std::vector<TDiscoveredFeed>& feeds) : feeds_(feeds) {}

    std::optional<std::string> Pick(HWND owner) {
        std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
        auto* d = reinterpret_cast<DLGTEMPLATE*>(t.data());
        d->style = DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
        t.insert(t.end(), {0, 0});  // no menu, the standard class
        for (wchar_t c : ToWide(kPickCaption)) t.push_back(WORD(c));
        t.push_back(0);
        t.push_back(8);
        for (wchar_t c : std::wstring(L"Tahoma")) t.push_back(WORD(c));
        t.push_back(0);
        if (RunModalDialog(reinterpret_cast<const DLGTEMPLATE*>(t.data()), owner) != IDOK) return std::nullopt;
        return feeds_[chosen_].Address;
    }

private:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM) override {
        switch (msg) {
            case WM_INITDIALOG: Build(); return FALSE;
            case WM_COMMAND:
                if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
                    for (std::size_t i = 0; i < feeds_.size(); ++i)
                        if (IsDlgButtonChecked(Handle(), kFirstChoiceId + int(i)) == BST_CHECKED) chosen_ = i;
                    EndDialog(Handle(), LOWORD(wp));
                }
                return TRUE;
            case WM_CLOSE: EndDialog(Handle(), IDCANCEL); return TRUE;
            default: return FALSE;
        }
    }

    HWND Add(const wchar_t* cls, const std::wstring& text, DWORD style, int y, int w, int h, int id, int x = 12) {
        const HWND control = CreateWindowExW(0, cls, text.c_str(), WS_CHILD | WS_VISIBLE | style, x, y, w, h, Handle(),
                                             reinterpret_cast<HMENU>(INT_PTR(id)), GetModuleHandleW(nullptr), nullptr);
        SendMessageW(control, WM_SETFONT, SendMessageW(Handle(), WM_GETFONT, 0, 0), FALSE);
        return control;
    }

    void Build() {
        constexpr int width = 460, row = 24;
        Add(L"STATIC", L"The page links these feeds. Which one do you want to add?", SS_LEFT, 10, width - 24, 18, -1);
        int y = 34;
        for (std::size_t i = 0; i < feeds_.size(); ++i, y += row)
            Add(L"BUTTON", ChoiceText(feeds_[i]), BS_AUTORADIOBUTTON | WS_TABSTOP | (i == 0 ? WS_GROUP : 0), y,
                width - 24, row - 2, kFirstChoiceId + int(i));
        CheckDlgButton(Handle(), kFirstChoiceId, BST_CHECKED);
        y += 10;
        Add(L"BUTTON", L"OK", BS_DEFPUSHBUTTON | WS_TABSTOP | WS_GROUP, y, 80, 24, IDOK, width - 184);
        Add(L"BUTTON", L"Cancel", BS_PUSHBUTTON | WS_TABSTOP, y, 80, 24, IDCANCEL, width - 96);
        RECT r{0, 0, width, y + 36};
        AdjustWindowRectEx(&r, DWORD(GetWindowLongPtrW(Handle(), GWL_STYLE)), FALSE,
                           DWORD(GetWindowLongPtrW(Handle(), GWL_EXSTYLE)));
        SetWindowPos(Handle(), nullptr, (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2,
                     (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER);
        SetFocus(GetDlgItem(Handle(), kFirstChoiceId));
    }

    std::vector<TDiscoveredFeed> feeds_;
    std::size_t chosen_ = 0;
};

}  // namespace

std::optional<std::string> FeedForAddedAddress(HWND owner, const std::string& address) {
    std::vector<TDiscoveredFeed> feeds = FeedsLinkedBy(address);
    if (feeds.empty()) return std::nullopt;
    if (feeds.size() > kMostChoices) feeds.resize(kMostChoices);
    if (feeds.size() > 1) return FeedPicker(feeds).Pick(owner);
    const std::string text = "The address is a web page; the feed it links was added in its place:\n" +
                             feeds.front().Address;
    MessageBoxW(owner, ToWide(text).c_str(), ToWide(kConfigCaption).c_str(), MB_OK | MB_ICONINFORMATION);
    return feeds.front().Address;
}

}  // namespace tw
