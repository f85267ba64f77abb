// The configuration dialog on Windows. The template is an empty in-memory dialog (caption, font
// Tahoma 8, centred, system menu only); WM_INITDIALOG sizes the client area to 543 x 352 pixels
// and creates every control in tab order. Each page's controls are shown while its tree node is
// selected and hidden otherwise, so Tab and the access keys reach only the visible page.
#include "app/fConfig_win32.h"

#include "app/FeedDiscoveryDialog_win32.h"
#include "app/SubscriptionDialogs_win32.h"

#include "base/ProgramPath_win32.h"
#include "base/TextConvert_win32.h"
#include "base/UniqueHandle_win32.h"
#include "base/Win32Window_win32.h"
#include "controls/DisplayScale.h"
#include "controls/DisplayScale_win32.h"
#include "controls/GdiHandles_win32.h"
#include "controls/Monitors_win32.h"
#include "controls/PngImages_win32.h"

#include "app/BarColors.h"
#include "app/SystemAccessibility_win32.h"

#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>

#include <array>
#include <stdexcept>
#include <system_error>
#include <vector>

namespace tw {

namespace {

constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
constexpr int kClientWidth = 543, kClientHeight = 352;
constexpr int kPageLeft = 176, kPageWidth = 352;
constexpr int kDialogFontPoints = 8;  // Tahoma, height -11 at 96 pixels per inch
constexpr DWORD kTab = WS_TABSTOP, kLabel = SS_LEFT;

std::wstring WindowText(HWND w) {
    std::wstring text(std::size_t(GetWindowTextLengthW(w)) + 1, L'\0');
    text.resize(std::size_t(GetWindowTextW(w, text.data(), int(text.size()))));
    return text;
}

// The six pictures of the link buttons (up, down, add, remove, edit, done), drawn here: light
// glyphs would vanish on the button face, so they are dark on transparent.
TPixelImage LinkGlyph(int which) {
    constexpr std::uint32_t ink = 0xFF2B3340, clear = 0x00000000;
    TPixelImage g(16, 16, clear);
    const auto row = [&](int y, int x0, int x1) { g.FillRect(x0, y, x1 - x0 + 1, 1, ink); };
    switch (which) {
        case liUp:
            for (int i = 0; i < 6; ++i) row(4 + i, 7 - i, 8 + i);
            g.FillRect(6, 10, 4, 3, ink);
            break;
        case liDown:
            g.FillRect(6, 3, 4, 3, ink);
            for (int i = 0; i < 6; ++i) row(11 - i, 7 - i, 8 + i);
            break;
        case liAdd: g.FillRect(2, 7, 12, 2, ink); g.FillRect(7, 2, 2, 12, ink); break;
        case liRemove: g.FillRect(2, 7, 12, 2, ink); break;
        case liEdit:
            for (int i = 0; i < 10; ++i) row(12 - i, 2 + i, 4 + i);  // a pencil's stroke
            g.FillRect(2, 13, 3, 1, ink);
            break;
        default:  // done: a check mark
            for (int i = 0; i < 4; ++i) row(8 + i, 2 + i, 4 + i);
            for (int i = 0; i < 8; ++i) row(11 - i, 5 + i, 7 + i);
            break;
    }
    return g;
}

// An empty dialog template; the controls are made in WM_INITDIALOG. DLGTEMPLATE is followed by
// the menu, class and title arrays and, with DS_SETFONT, the point size and face name.
std::vector<WORD> DialogTemplate() {
    std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD), 0);
    auto* d = reinterpret_cast<DLGTEMPLATE*>(t.data());
    d->style = DS_SETFONT | DS_MODALFRAME | DS_CENTER | WS_POPUP | WS_CAPTION | WS_SYSMENU;
    d->cx = 300;  // replaced by the pixel size in WM_INITDIALOG
    d->cy = 200;
    t.push_back(0);  // no menu
    t.push_back(0);  // the standard dialog class
    for (wchar_t c : ToWide(kConfigCaption)) t.push_back(WORD(c));
    t.push_back(0);
    t.push_back(kDialogFontPoints);
    for (wchar_t c : std::wstring(L"Tahoma")) t.push_back(WORD(c));
    t.push_back(0);
    return t;
}

// The hot key control's value: the virtual key in the low byte, HOTKEYF_ bits in the next. The
// control has no Windows key: a key with it shows (and is kept, on OK) without.
WPARAM HotKeyControlValue(const THotKey& key) {
    BYTE flags = 0;
    if (key.Modifiers & THotKey::Ctrl) flags |= HOTKEYF_CONTROL;
    if (key.Modifiers & THotKey::Alt) flags |= HOTKEYF_ALT;
    if (key.Modifiers & THotKey::Shift) flags |= HOTKEYF_SHIFT;
    return MAKEWORD(BYTE(key.Key), flags);
}

// What the control holds, as a key the settings can keep: none when it is cleared or holds a
// key the settings cannot name (a key without a modifier, an arrow).
THotKey HotKeyOfControlValue(LRESULT value) {
    const BYTE flags = HIBYTE(LOWORD(value));
    THotKey key;
    if (flags & HOTKEYF_CONTROL) key.Modifiers |= THotKey::Ctrl;
    if (flags & HOTKEYF_ALT) key.Modifiers |= THotKey::Alt;
    if (flags & HOTKEYF_SHIFT) key.Modifiers |= THotKey::Shift;
    key.Key = LOBYTE(LOWORD(value));
    return ParseHotKey(HotKeyText(key)).value_or(THotKey{});
}

constexpr std::string_view kSaveFailedMessage = "The settings could not all be saved.";

class ConfigDialog final : public IConfigView, public Win32Window {
public:
    ConfigDialog(TfrMain& main, IRunAtLogon& runAtLogon, const std::function<void(HWND)>& onShown)
        : main_(main), runAtLogon_(runAtLogon), onShown_(onShown) {}

    bool Show(HWND owner) {
        const std::vector<WORD> t = DialogTemplate();
        const INT_PTR result = RunModalDialog(reinterpret_cast<const DLGTEMPLATE*>(t.data()), owner);
        if (result <= 0) {  // ours end with IDOK or IDCANCEL only
            const DWORD error = GetLastError();
            throw std::system_error(int(error), std::system_category(), "The configuration dialog cannot be shown");
        }
        if (result != IDOK) return false;
        // The values are in use either way; the user learns that they will not outlive the run.
        if (!ApplyConfig(model_, main_, runAtLogon_))
            MessageBoxW(owner, ToWide(kSaveFailedMessage).c_str(), ToWide(kConfigCaption).c_str(), MB_OK | MB_ICONERROR);
        return true;
    }

    // IConfigView
    void ShowError(std::string_view text) override {
        MessageBoxW(Handle(), ToWide(text).c_str(), ToWide(kConfigCaption).c_str(), MB_OK | MB_ICONERROR);
    }
    void FocusLinkEdit() override { Focus(idCurrentLink); }

private:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

    HWND Item(int id) const { return GetDlgItem(Handle(), id); }
    // Through the dialog manager, which also moves the default button's frame.
    void Focus(int id) const { SendMessageW(Handle(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(id)), TRUE); }
    // A control at the design's place (pixels at 96 DPI), scaled for the dialog's display.
    HWND Make(const wchar_t* cls, const std::wstring& text, DWORD style, int x, int y, int w, int h, int id = -1,
              int page = -1, DWORD exStyle = 0);
    int Px(int designPixels) const { return ScaleForDpi(designPixels, dpi_); }
    void CreateControls();
    void SizeForDisplay();
    void CreatePageTree();
    void CreateRssSettingsPage();
    void CreateLinkPages();
    void CreateLinkList(int id, int page, const wchar_t* caption, int height);
    void CreateGeneralPage();
    void FillStreamGroup();
    // Takes a change of a stream group control into the model; false for other controls.
    bool ReadStreamControl(int id, int code);
    void CreateAppearancePage();
    void CreateButtonsAndStatusBar();
    void AddHint(HWND control, const std::wstring& text);
    void SetHint(HWND control, const std::wstring& text);
    void Fill();

    void OnCommand(int id, int code, HWND control);
    void OnNotify(const NMHDR& n);
    void OnScroll(HWND bar);
    void ShowPage(int page);
    // The status line: `text`; the selected address's feed status, or the page's text.
    void ShowStatus(std::string_view text);
    void ShowFeedStatus();
    void RenderList(int id, const std::vector<TConfigLink>& lines, int selected);
    void ReadChecks(int id, std::vector<TConfigLink>& lines);
    void RenderLinkButtons();
    void PickTickerFont();
    void RenderFontSample();
    bool CloseWith(int id);

    TfrMain& main_;
    IRunAtLogon& runAtLogon_;
    const std::function<void(HWND)>& onShown_;
    TfrConfig model_{*this};
    HWND tips_ = nullptr;  // owned by the dialog
    int dpi_ = kDefaultDpi;  // of the display the dialog opens on: its fonts grow with it
    bool syncing_ = false;  // our own changes of the controls raise notifications too
    std::array<std::vector<HWND>, kConfigPageCount> pages_;
    std::array<HTREEITEM, kConfigPageCount> nodes_{};
    ImageList treeImages_;
    std::array<Icon, 6> glyphs_;
    GdiObject sampleFont_;
    GdiObject sampleBrush_;
};

LRESULT ConfigDialog::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_INITDIALOG: {
            CreateControls();
            Fill();
            SetFocus(Item(idConfigTree));
            if (onShown_) PostMessageW(Handle(), WM_APP, 0, 0);
            return FALSE;  // the focus is set
        }
        case WM_APP: onShown_(Handle()); return TRUE;
        case WM_COMMAND: OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp)); return TRUE;
        case WM_NOTIFY: OnNotify(*reinterpret_cast<const NMHDR*>(lp)); return TRUE;
        case WM_HSCROLL: OnScroll(reinterpret_cast<HWND>(lp)); return TRUE;
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lp) == Item(idFontSample)) {
                const HDC dc = reinterpret_cast<HDC>(wp);
                const bool highContrast = HighContrastOn();
                const TSampleColors colors = FontSampleColors(highContrast, model_.SampleFont.Color);
                SetTextColor(dc, gdi::ColorRefOf(colors.Text));
                SetBkColor(dc, gdi::ColorRefOf(colors.Background));
                return reinterpret_cast<INT_PTR>(highContrast ? GetSysColorBrush(COLOR_WINDOW) : sampleBrush_.Get());
            }
            return FALSE;
        case WM_CLOSE: EndDialog(Handle(), IDCANCEL); return TRUE;
        default: return FALSE;
    }
}

HWND ConfigDialog::Make(const wchar_t* cls, const std::wstring& text, DWORD style, int x, int y, int w, int h, int id,
                        int page, DWORD exStyle) {
    const HWND control = CreateWindowExW(exStyle, cls, text.c_str(), WS_CHILD | style, Px(x), Px(y), Px(w), Px(h),
                                         Handle(), reinterpret_cast<HMENU>(INT_PTR(id)), GetModuleHandleW(nullptr),
                                         nullptr);
    if (!control) throw std::runtime_error("the configuration dialog cannot create its controls");
    SendMessageW(control, WM_SETFONT, SendMessageW(Handle(), WM_GETFONT, 0, 0), FALSE);
    if (page >= 0) pages_[page].push_back(control);
    else ShowWindow(control, SW_SHOW);
    return control;
}

void ConfigDialog::AddHint(HWND control, const std::wstring& text) {
    TOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ti.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
    ti.hwnd = Handle();
    ti.uId = reinterpret_cast<UINT_PTR>(control);
    ti.lpszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

void ConfigDialog::SetHint(HWND control, const std::wstring& text) {
    TOOLINFOW ti{};
    ti.cbSize = sizeof(ti);
    ti.hwnd = Handle();
    ti.uId = reinterpret_cast<UINT_PTR>(control);
    ti.lpszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(tips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&ti));
}

// Controls are made in tab order: the page tree, each page's controls, then OK and Cancel.
void ConfigDialog::CreateControls() {
    SizeForDisplay();
    // A dialog without hints still works: a refused tooltip window costs only them.
    tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, 0, 0, 0, 0,
                            Handle(), nullptr, GetModuleHandleW(nullptr), nullptr);
    sampleBrush_.Reset(CreateSolidBrush(kFontSampleBackground));
    CreatePageTree();
    CreateRssSettingsPage();
    CreateLinkPages();
    CreateGeneralPage();
    CreateAppearancePage();
    CreateButtonsAndStatusBar();
}

void ConfigDialog::SizeForDisplay() {
    dpi_ = WindowDpi(Handle());
    RECT r{0, 0, Px(kClientWidth), Px(kClientHeight)};
    AdjustWindowRectEx(&r, DWORD(GetWindowLongPtrW(Handle(), GWL_STYLE)), FALSE,
                       DWORD(GetWindowLongPtrW(Handle(), GWL_EXSTYLE)));
    const int w = r.right - r.left, h = r.bottom - r.top;
    SetWindowPos(Handle(), nullptr, (GetSystemMetrics(SM_CXSCREEN) - w) / 2, (GetSystemMetrics(SM_CYSCREEN) - h) / 2, w, h,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void ConfigDialog::CreateRssSettingsPage() {
    Make(WC_STATICW, L"&RSS reload time (mins):", kLabel, kPageLeft, 14, 200, 16, -1, cpRSSSettings);
    AddHint(Make(TRACKBAR_CLASSW, L"", kTab | TBS_AUTOTICKS, kPageLeft, 34, 300, 30, idReloadTime, cpRSSSettings), L"");
    SendMessageW(Item(idReloadTime), TBM_SETRANGE, TRUE, MAKELPARAM(0, 11));
    SendMessageW(Item(idReloadTime), TBM_SETPAGESIZE, 0, 1);
    Make(WC_STATICW, L"5", kLabel, kPageLeft + 8, 66, 30, 16, -1, cpRSSSettings);
    Make(WC_STATICW, L"60", SS_RIGHT, kPageLeft + 260, 66, 30, 16, -1, cpRSSSettings);
    Make(WC_BUTTONW, ToWide("Show &maximum of                      newest RSS items per feed"),
         kTab | BS_AUTOCHECKBOX | WS_CLIPSIBLINGS, kPageLeft, 100, kPageWidth, 22, idMaxItemsCheck, cpRSSSettings);
    Make(WC_EDITW, L"1", kTab | ES_NUMBER | WS_BORDER, kPageLeft + 110, 100, 42, 22, idMaxItemsEdit, cpRSSSettings);
    Make(UPDOWN_CLASSW, L"", UDS_SETBUDDYINT | UDS_ALIGNRIGHT | UDS_ARROWKEYS | UDS_AUTOBUDDY | UDS_NOTHOUSANDS, 0, 0, 0, 0,
         idMaxItemsSpin, cpRSSSettings);
    SendMessageW(Item(idMaxItemsSpin), UDM_SETRANGE32, 1, 99);
    Make(WC_BUTTONW, L"Automatically &jump to the next url feed", kTab | BS_AUTOCHECKBOX, kPageLeft, 132, kPageWidth, 22,
         idAutoUrlJump, cpRSSSettings);
}

// Default Links and Custom Links: check lists; the custom page adds the address box and the
// link buttons.
void ConfigDialog::CreateLinkPages() {
    CreateLinkList(idDefaultLinks, cpDefaultLinks, L"&Default RSS links:", 264);
    CreateLinkList(idCustomLinks, cpCustomLinks, L"C&ustom RSS links:", 200);
    Make(WC_EDITW, L"", kTab | WS_BORDER | ES_AUTOHSCROLL, kPageLeft, 238, kPageWidth, 22, idCurrentLink, cpCustomLinks);
    SendMessageW(Item(idCurrentLink), EM_LIMITTEXT, 0, 0);  // the system's largest: long addresses fit
    static constexpr std::array<const char*, 5> kLinkCaptions{"Move Up", "Move Down", "Add RSS link", "Remove RSS link",
                                                              "Edit current RSS link"};
    for (int i = 0; i < 5; ++i) {
        // The caption is not drawn beside the picture; it names the button for screen readers.
        const HWND b = Make(WC_BUTTONW, ToWide(kLinkCaptions[std::size_t(i)]), kTab | BS_PUSHBUTTON | BS_ICON,
                            kPageLeft + i * 30, 266, 26, 26, idLinkUp + i, cpCustomLinks);
        AddHint(b, ToWide(kLinkCaptions[std::size_t(i)]));
    }
    Make(WC_BUTTONW, L"&Import feeds...", kTab | BS_PUSHBUTTON, kPageLeft + 160, 266, 94, 26, idImportFeeds, cpCustomLinks);
    Make(WC_BUTTONW, L"E&xport feeds...", kTab | BS_PUSHBUTTON, kPageLeft + 258, 266, 94, 26, idExportFeeds, cpCustomLinks);
    for (int i = 0; i < 6; ++i) glyphs_[std::size_t(i)] = CreatePngIcon(LinkGlyph(i));
    for (int i = 0; i < 5; ++i)
        SendMessageW(Item(idLinkUp + i), BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(glyphs_[std::size_t(i)].Get()));
}

void ConfigDialog::CreateLinkList(int id, int page, const wchar_t* caption, int height) {
    constexpr DWORD style = kTab | WS_BORDER | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS;
    Make(WC_STATICW, caption, kLabel, kPageLeft, 14, 200, 16, -1, page);
    const HWND lv = Make(WC_LISTVIEWW, L"", style, kPageLeft, 32, kPageWidth, height, id, page);
    ListView_SetExtendedListViewStyle(lv, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    LVCOLUMNW column{};
    column.mask = LVCF_WIDTH;
    column.cx = Px(kPageWidth - 4) - GetSystemMetrics(SM_CXVSCROLL);
    ListView_InsertColumn(lv, 0, &column);
    AddHint(lv, L"");
}

void ConfigDialog::CreateGeneralPage() {
    Make(WC_BUTTONW, L"Run Tidewire when &log on to Windows ", kTab | BS_AUTOCHECKBOX, kPageLeft, 8, kPageWidth, 22,
         idStartUp, cpGeneral);
    Make(WC_BUTTONW, L"Show headlines withou&t scrolling", kTab | BS_AUTOCHECKBOX, kPageLeft, 30, kPageWidth, 22,
         idStillHeadlines, cpGeneral);
    // Labels on the left, their controls on the right, so the stream group below keeps its room.
    constexpr int labelWidth = 168, controlLeft = kPageLeft + 172, controlWidth = kPageWidth - 172;
    Make(WC_STATICW, L"&Key to focus the ticker:", kLabel, kPageLeft, 58, labelWidth, 16, -1, cpGeneral);
    Make(HOTKEY_CLASSW, L"", kTab, controlLeft, 55, controlWidth, 22, idFocusHotKey, cpGeneral);
    Make(WC_STATICW, L"&Monitor the bar docks on:", kLabel, kPageLeft, 85, labelWidth, 16, -1, cpGeneral);
    // The height includes the dropped list.
    Make(WC_COMBOBOXW, L"", kTab | CBS_DROPDOWNLIST | WS_VSCROLL, controlLeft, 82, controlWidth, 160, idMonitor, cpGeneral);
    // The stream: a group here rather than a page of its own, so the stored page numbers keep
    // their meaning (docs/config-dialog.md).
    Make(WC_BUTTONW, L"Stream", BS_GROUPBOX, kPageLeft, 108, kPageWidth, 184, -1, cpGeneral);
    const int left = kPageLeft + 10, width = kPageWidth - 20;
    Make(WC_BUTTONW, L"Show &all feeds in one stream, newest first", kTab | BS_AUTOCHECKBOX, left, 124, width, 22,
         idAllFeeds, cpGeneral);
    Make(WC_BUTTONW, L"Show only &new headlines", kTab | BS_AUTOCHECKBOX, left, 146, width, 22, idOnlyNew, cpGeneral);
    const wchar_t* labels[] = {L"Lea&ve out:", L"Only &with:", L"&Highlight:"};
    for (int i = 0; i < 3; ++i) {
        const int top = 170 + i * 24;
        Make(WC_STATICW, labels[i], kLabel, left, top + 3, 80, 16, -1, cpGeneral);
        AddHint(Make(WC_EDITW, L"", kTab | WS_BORDER | ES_AUTOHSCROLL, left + 84, top, width - 84, 22, idExcludeWords + i,
                     cpGeneral),
                L"Words separated by commas");
    }
    Make(WC_BUTTONW, L"Match the &descriptions too", kTab | BS_AUTOCHECKBOX, left, 244, width, 22, idMatchDescription,
         cpGeneral);
    Make(WC_BUTTONW, L"Announce hi&ghlighted headlines", kTab | BS_AUTOCHECKBOX, left, 266, width, 22, idAnnounce,
         cpGeneral);
}

namespace {

// The stream group's check boxes and edit boxes and the settings they show.
constexpr std::pair<int, bool TStreamSettings::*> kStreamChecks[] = {
    {idAllFeeds, &TStreamSettings::AllFeedsTogether},
    {idOnlyNew, &TStreamSettings::OnlyNewItems},
    {idMatchDescription, &TStreamSettings::RulesMatchDescription},
    {idAnnounce, &TStreamSettings::AnnounceHighlights},
};
constexpr std::pair<int, std::string TStreamSettings::*> kStreamEdits[] = {
    {idExcludeWords, &TStreamSettings::ExcludeWords},
    {idIncludeWords, &TStreamSettings::IncludeWords},
    {idHighlightWords, &TStreamSettings::HighlightWords},
};

}  // namespace

void ConfigDialog::FillStreamGroup() {
    for (const auto& [id, flag] : kStreamChecks)
        CheckDlgButton(Handle(), id, model_.Stream.*flag ? BST_CHECKED : BST_UNCHECKED);
    for (const auto& [id, words] : kStreamEdits) SetWindowTextW(Item(id), ToWide(model_.Stream.*words).c_str());
}

bool ConfigDialog::ReadStreamControl(int id, int code) {
    for (const auto& [control, flag] : kStreamChecks) {
        if (control != id) continue;
        model_.Stream.*flag = IsDlgButtonChecked(Handle(), id) == BST_CHECKED;
        return true;
    }
    for (const auto& [control, words] : kStreamEdits) {
        if (control != id) continue;
        if (code == EN_CHANGE) model_.Stream.*words = FromWide(WindowText(Item(id)));
        return true;
    }
    return false;
}

void ConfigDialog::CreateAppearancePage() {
    Make(WC_STATICW, L"Ticker's font:", kLabel, kPageLeft, 14, 200, 16, -1, cpAppearance);
    Make(WC_EDITW, L"", ES_READONLY | ES_AUTOHSCROLL | WS_BORDER, kPageLeft, 32, kPageWidth, 32, idFontSample, cpAppearance);
    Make(WC_BUTTONW, L"&Font...", kTab | BS_PUSHBUTTON, kPageLeft, 70, 80, 24, idFontButton, cpAppearance);
    Make(WC_BUTTONW, L"D&efault", kTab | BS_PUSHBUTTON, kPageLeft + 88, 70, 80, 24, idDefaultFont, cpAppearance);
    Make(WC_STATICW, L"Ticker &speed:", kLabel, kPageLeft, 110, 200, 16, -1, cpAppearance);
    Make(TRACKBAR_CLASSW, L"", kTab | TBS_AUTOTICKS, kPageLeft, 128, 300, 30, idTickerSpeed, cpAppearance);
    SendMessageW(Item(idTickerSpeed), TBM_SETRANGE, TRUE, MAKELPARAM(0, int(TickerSpeeds.size()) - 1));
    SendMessageW(Item(idTickerSpeed), TBM_SETPAGESIZE, 0, 1);
    Make(WC_STATICW, L"Slow", kLabel, kPageLeft + 8, 160, 60, 16, -1, cpAppearance);
    Make(WC_STATICW, L"Medium", SS_CENTER, kPageLeft + 120, 160, 60, 16, -1, cpAppearance);
    Make(WC_STATICW, L"Fast", SS_RIGHT, kPageLeft + 230, 160, 60, 16, -1, cpAppearance);
}

void ConfigDialog::CreateButtonsAndStatusBar() {
    Make(WC_BUTTONW, L"&Ok", kTab | BS_DEFPUSHBUTTON, 366, 300, 80, 24, IDOK);
    Make(WC_BUTTONW, L"&Cancel", kTab | BS_PUSHBUTTON, 454, 300, 80, 24, IDCANCEL);
    Make(STATUSCLASSNAMEW, L"", SBARS_TOOLTIPS, 0, 0, 0, 0, idStatusBar);
    SendMessageW(Item(idStatusBar), SB_SIMPLE, TRUE, 0);
}

void ConfigDialog::CreatePageTree() {
    const HWND tree = Make(WC_TREEVIEWW, L"", WS_TABSTOP | WS_BORDER | TVS_HASLINES | TVS_HASBUTTONS | TVS_LINESATROOT |
                                                  TVS_SHOWSELALWAYS,
                           8, 8, 156, 284, idConfigTree);
    // The page pictures are the tray menu's "RSS Feeds" and "Configuration..." pictures.
    TPngImageCollection unused;
    TPngImageList icons{16, 16};
    TPixelImage tile;
    LoadProgramPictures(nullptr, unused, icons, tile);  // missing pictures leave the nodes plain
    TPngImageList pageImages{16, 16};
    pageImages.Add(TPixelImage(icons.Items(0)));
    pageImages.Add(TPixelImage(icons.Items(1)));
    if (icons.Count() >= 2) treeImages_ = MakeImageList(pageImages);
    if (treeImages_) TreeView_SetImageList(tree, treeImages_.Get(), TVSIL_NORMAL);
    for (int page = 0; page < kConfigPageCount; ++page) {
        const TConfigPageInfo& info = ConfigPages[std::size_t(page)];
        const std::wstring caption = ToWide(info.Caption);
        TVINSERTSTRUCTW item{};
        item.hParent = info.Parent < 0 ? TVI_ROOT : nodes_[std::size_t(info.Parent)];
        item.hInsertAfter = TVI_LAST;
        item.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
        item.item.pszText = const_cast<wchar_t*>(caption.c_str());
        item.item.lParam = page;
        item.item.iImage = item.item.iSelectedImage = info.Image < 0 ? I_IMAGENONE : info.Image;
        nodes_[std::size_t(page)] = TreeView_InsertItem(tree, &item);
    }
    for (int page = 0; page < kConfigPageCount; ++page) TreeView_Expand(tree, nodes_[std::size_t(page)], TVE_EXPAND);
}

void ConfigDialog::Fill() {
    OpenConfig(model_, main_.Settings(), runAtLogon_, SystemMonitors());
    model_.FeedStatusOf = [this](const std::string& url) { return main_.FeedStatus(url); };
    syncing_ = true;
    TreeView_SelectItem(Item(idConfigTree), nodes_[std::size_t(model_.SelectedPage)]);
    SendMessageW(Item(idReloadTime), TBM_SETPOS, TRUE, model_.ReloadPosition);
    SetHint(Item(idReloadTime), ToWide(model_.ReloadHint));
    CheckDlgButton(Handle(), idMaxItemsCheck, model_.MaxItemsChecked ? BST_CHECKED : BST_UNCHECKED);
    SendMessageW(Item(idMaxItemsSpin), UDM_SETPOS32, 0, model_.MaxItems);
    EnableWindow(Item(idMaxItemsEdit), model_.MaxItemsEnabled);
    EnableWindow(Item(idMaxItemsSpin), model_.MaxItemsEnabled);
    CheckDlgButton(Handle(), idAutoUrlJump, model_.AutoUrlJump ? BST_CHECKED : BST_UNCHECKED);
    CheckDlgButton(Handle(), idStartUp, model_.StartUp ? BST_CHECKED : BST_UNCHECKED);
    FillStreamGroup();
    CheckDlgButton(Handle(), idStillHeadlines, model_.StillHeadlines ? BST_CHECKED : BST_UNCHECKED);
    SendMessageW(Item(idFocusHotKey), HKM_SETHOTKEY, HotKeyControlValue(model_.FocusHotKey), 0);
    SendMessageW(Item(idTickerSpeed), TBM_SETPOS, TRUE, model_.SpeedPosition);
    for (const std::string& caption : model_.MonitorCaptions)
        SendMessageW(Item(idMonitor), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(ToWide(caption).c_str()));
    SendMessageW(Item(idMonitor), CB_SETCURSEL, WPARAM(model_.MonitorSelected), 0);
    syncing_ = false;
    RenderList(idDefaultLinks, model_.DefaultLinks, model_.DefaultSelected);
    RenderList(idCustomLinks, model_.CustomLinks, model_.CustomSelected);
    RenderLinkButtons();
    RenderFontSample();
    ShowPage(model_.SelectedPage);
}

void ConfigDialog::ShowPage(int page) {
    for (int p = 0; p < kConfigPageCount; ++p)
        for (HWND control : pages_[std::size_t(p)]) ShowWindow(control, p == page ? SW_SHOW : SW_HIDE);
    ShowStatus(model_.HintText);
}

void ConfigDialog::ShowStatus(std::string_view text) {
    SendMessageW(Item(idStatusBar), SB_SETTEXTW, SB_SIMPLEID, reinterpret_cast<LPARAM>(ToWide(text).c_str()));
}

void ConfigDialog::ShowFeedStatus() { ShowStatus(model_.FeedStatus.empty() ? model_.HintText : model_.FeedStatus); }

void ConfigDialog::RenderList(int id, const std::vector<TConfigLink>& lines, int selected) {
    const HWND lv = Item(id);
    syncing_ = true;
    ListView_DeleteAllItems(lv);
    for (int i = 0; i < int(lines.size()); ++i) {
        std::wstring text = ToWide(lines[std::size_t(i)].Address);
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = i;
        item.pszText = text.data();
        ListView_InsertItem(lv, &item);
        ListView_SetCheckState(lv, i, lines[std::size_t(i)].Checked);
    }
    if (selected >= 0) {
        ListView_SetItemState(lv, selected, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(lv, selected, FALSE);
    }
    syncing_ = false;
}

void ConfigDialog::ReadChecks(int id, std::vector<TConfigLink>& lines) {
    for (int i = 0; i < int(lines.size()); ++i) lines[std::size_t(i)].Checked = ListView_GetCheckState(Item(id), i) != 0;
}

void ConfigDialog::RenderLinkButtons() {
    const TLinkButtons& b = model_.Buttons;
    EnableWindow(Item(idLinkUp), b.Up);
    EnableWindow(Item(idLinkDown), b.Down);
    EnableWindow(Item(idLinkAdd), b.Add);
    EnableWindow(Item(idLinkRemove), b.Remove);
    EnableWindow(Item(idLinkEdit), b.Edit);
    SendMessageW(Item(idLinkEdit), BM_SETIMAGE, IMAGE_ICON, reinterpret_cast<LPARAM>(glyphs_[std::size_t(b.EditImage)].Get()));
    SetWindowTextW(Item(idLinkEdit), ToWide(b.EditHint).c_str());
    SetHint(Item(idLinkEdit), ToWide(b.EditHint));
    EnableWindow(Item(idCurrentLink), b.EditBox);
    syncing_ = true;
    if (WindowText(Item(idCurrentLink)) != ToWide(model_.CurrentLinkText))
        SetWindowTextW(Item(idCurrentLink), ToWide(model_.CurrentLinkText).c_str());
    syncing_ = false;
    SetHint(Item(idCustomLinks), ToWide(model_.CustomHint));
}

void ConfigDialog::RenderFontSample() {
    const TFont& f = model_.SampleFont;
    const LOGFONTW lf = gdi::LogFontOf(f, ScreenDpi());
    GdiObject font(CreateFontIndirectW(&lf));
    const HWND sample = Item(idFontSample);
    if (font) SendMessageW(sample, WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
    sampleFont_ = std::move(font);  // after the control has let go of the old one
    SetWindowTextW(sample, (ToWide(f.Name) + L", " + std::to_wstring(f.Size) + L" pt").c_str());
}

void ConfigDialog::PickTickerFont() {
    const TFont& f = model_.SampleFont;
    const int dpi = ScreenDpi();
    LOGFONTW lf = gdi::LogFontOf(f, dpi);
    CHOOSEFONTW cf{};
    cf.lStructSize = sizeof(cf);
    cf.hwndOwner = Handle();
    cf.lpLogFont = &lf;
    // TrueType only, 7 to 9 points, no colour, underline or strike-out (no CF_EFFECTS).
    cf.Flags = CF_SCREENFONTS | CF_TTONLY | CF_LIMITSIZE | CF_INITTOLOGFONTSTRUCT | CF_NOSCRIPTSEL;
    cf.nSizeMin = 7;
    cf.nSizeMax = 9;
    if (!::ChooseFontW(&cf)) return;  // cancelled (or failed): the sample stays
    TFont chosen;
    chosen.Name = FromWide(lf.lfFaceName);
    chosen.Size = cf.iPointSize > 0 ? (cf.iPointSize + 5) / 10 : MulDiv(-lf.lfHeight, 72, dpi);
    chosen.Style = (lf.lfWeight >= FW_BOLD ? unsigned(fsBold) : 0u) | (lf.lfItalic ? unsigned(fsItalic) : 0u);
    model_.ChooseTickerFont(chosen);
    RenderFontSample();
}

bool ConfigDialog::CloseWith(int id) {
    // Enter in the link box while an address is being added or edited finishes that edit.
    if (id == IDOK && GetFocus() == Item(idCurrentLink) && model_.FEditMode != emNone) {
        OnCommand(idLinkEdit, BN_CLICKED, Item(idLinkEdit));
        return false;
    }
    ReadChecks(idDefaultLinks, model_.DefaultLinks);
    ReadChecks(idCustomLinks, model_.CustomLinks);
    model_.FocusHotKey = HotKeyOfControlValue(SendMessageW(Item(idFocusHotKey), HKM_GETHOTKEY, 0, 0));
    EndDialog(Handle(), id);
    return true;
}

void ConfigDialog::OnCommand(int id, int code, HWND) {
    if (syncing_ || ReadStreamControl(id, code)) return;
    switch (id) {
        case IDOK:
        case IDCANCEL: CloseWith(id); return;
        case idMaxItemsCheck:
            if (code != BN_CLICKED) return;
            model_.cbMaxRSSItemsClick(IsDlgButtonChecked(Handle(), idMaxItemsCheck) == BST_CHECKED);
            EnableWindow(Item(idMaxItemsEdit), model_.MaxItemsEnabled);
            EnableWindow(Item(idMaxItemsSpin), model_.MaxItemsEnabled);
            return;
        case idMaxItemsEdit:
            if (code == EN_KILLFOCUS) {
                BOOL ok = FALSE;
                model_.txtMaxRSSItemsChange(int(GetDlgItemInt(Handle(), idMaxItemsEdit, &ok, FALSE)));
                SetDlgItemInt(Handle(), idMaxItemsEdit, UINT(model_.MaxItems), FALSE);  // back within 1 to 99
            } else if (code == EN_CHANGE) {
                BOOL ok = FALSE;
                const UINT value = GetDlgItemInt(Handle(), idMaxItemsEdit, &ok, FALSE);
                if (ok) model_.txtMaxRSSItemsChange(int(value));
            }
            return;
        case idAutoUrlJump: model_.AutoUrlJump = IsDlgButtonChecked(Handle(), id) == BST_CHECKED; return;
        case idStartUp: model_.StartUp = IsDlgButtonChecked(Handle(), id) == BST_CHECKED; return;
        case idMonitor:
            if (code == CBN_SELCHANGE) model_.MonitorSelected = int(SendMessageW(Item(idMonitor), CB_GETCURSEL, 0, 0));
            return;
        case idStillHeadlines: model_.StillHeadlines = IsDlgButtonChecked(Handle(), id) == BST_CHECKED; return;
        case idCurrentLink:
            if (code == EN_CHANGE) model_.txtCurrentRSSlinkChange(FromWide(WindowText(Item(idCurrentLink))));
            return;
        case idFontButton: PickTickerFont(); return;
        case idImportFeeds:
            ReadChecks(idCustomLinks, model_.CustomLinks);
            ImportFeedsWithDialog(Handle(), main_.ConfigFile(), model_.DefaultLinks, model_.CustomLinks);
            RenderList(idCustomLinks, model_.CustomLinks, model_.CustomSelected);
            RenderLinkButtons();
            // The new feeds are at the end: the list shows them.
            ListView_EnsureVisible(Item(idCustomLinks), int(model_.CustomLinks.size()) - 1, FALSE);
            return;
        case idExportFeeds:
            ReadChecks(idDefaultLinks, model_.DefaultLinks);
            ReadChecks(idCustomLinks, model_.CustomLinks);
            ExportFeedsWithDialog(Handle(), main_.ConfigFile(), model_.DefaultLinks, model_.CustomLinks, main_.FeedNotes());
            return;
        case idDefaultFont: model_.btnDefaultTickerFontClick(); RenderFontSample(); return;
        case idLinkUp:
        case idLinkDown:
        case idLinkAdd:
        case idLinkRemove:
        case idLinkEdit: break;
        default: return;
    }
    ReadChecks(idCustomLinks, model_.CustomLinks);
    const TEditMode before = model_.FEditMode;
    switch (id) {
        case idLinkUp: model_.btnUpClick(); break;
        case idLinkDown: model_.btnDownClick(); break;
        case idLinkAdd: model_.btnAddRSSLinkClick(); break;
        case idLinkRemove: model_.btnRemRSSLinkClick(); break;
        default: model_.btnEditRSSLinkClick(); break;
    }
    // An address just added or edited that answers with a page: the feed it links instead.
    if (id == idLinkEdit && before != emNone && model_.FEditMode == emNone && model_.CustomSelected >= 0) {
        RenderList(idCustomLinks, model_.CustomLinks, model_.CustomSelected);
        const std::string added = model_.CustomLinks[std::size_t(model_.CustomSelected)].Address;
        if (const auto feed = FeedForAddedAddress(Handle(), added)) model_.ReplaceSelectedLink(*feed);
    }
    RenderList(idCustomLinks, model_.CustomLinks, model_.CustomSelected);
    RenderLinkButtons();
    if (id == idLinkAdd || (id == idLinkEdit && before == emNone)) {
        Focus(idCurrentLink);  // selects its text, so typing replaces it
    } else if (id == idLinkEdit && model_.FEditMode == emNone) {
        Focus(idCustomLinks);  // the edit box has just been disabled
    }
}

void ConfigDialog::OnNotify(const NMHDR& n) {
    if (syncing_) return;
    if (n.idFrom == UINT_PTR(idConfigTree) && n.code == TVN_SELCHANGEDW) {
        const auto& tv = reinterpret_cast<const NMTREEVIEWW&>(n);
        ReadChecks(idCustomLinks, model_.CustomLinks);
        model_.tvConfigClick(int(tv.itemNew.lParam));
        RenderList(idCustomLinks, model_.CustomLinks, model_.CustomSelected);
        RenderLinkButtons();
        ShowPage(model_.SelectedPage);
        return;
    }
    if (n.code != LVN_ITEMCHANGED) return;
    const auto& lv = reinterpret_cast<const NMLISTVIEW&>(n);
    const bool selectionChanged = (lv.uChanged & LVIF_STATE) && ((lv.uNewState ^ lv.uOldState) & LVIS_SELECTED);
    if (!selectionChanged) return;  // a check mark is read when it matters
    const int line = ListView_GetNextItem(n.hwndFrom, -1, LVNI_SELECTED);
    if (n.idFrom == UINT_PTR(idDefaultLinks)) {
        model_.lbRSSDefLinksClick(line);
        SetHint(n.hwndFrom, ToWide(model_.DefaultHint));
        ShowFeedStatus();
    } else if (n.idFrom == UINT_PTR(idCustomLinks)) {
        if (line == model_.CustomSelected && model_.FEditMode == emNone) return;
        ReadChecks(idCustomLinks, model_.CustomLinks);
        model_.lbCustRSSLinksClick(line);
        RenderLinkButtons();
        ShowFeedStatus();
    }
}

void ConfigDialog::OnScroll(HWND bar) {
    if (syncing_) return;
    const int position = int(SendMessageW(bar, TBM_GETPOS, 0, 0));
    if (bar == Item(idReloadTime)) {
        model_.tbReloadTimeChange(position);
        SetHint(bar, ToWide(model_.ReloadHint));
    } else if (bar == Item(idTickerSpeed)) {
        model_.tbTickerSpeedChange(position);
    }
}

}  // namespace

TRegistryRunAtLogon::TRegistryRunAtLogon(std::wstring command) : command_(std::move(command)) {}

std::wstring TRegistryRunAtLogon::RunningProgramCommand() {
    const std::wstring path = RunningExecutableWidePath();
    return path.empty() ? path : L"\"" + path + L"\"";
}

bool TRegistryRunAtLogon::Enabled() const {
    HKEY raw = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) return false;
    const RegistryKey key(raw);
    DWORD type = 0, size = 0;
    const std::wstring name = ToWide(kRunAtLogonValue);
    if (RegQueryValueExW(key.Get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS) return false;
    // An empty string is a terminating NUL or nothing.
    return (type == REG_SZ || type == REG_EXPAND_SZ) && size > sizeof(wchar_t);
}

bool TRegistryRunAtLogon::SetEnabled(bool enabled) {
    const std::wstring name = ToWide(kRunAtLogonValue);
    HKEY raw = nullptr;
    if (enabled) {
        // A fresh profile may lack the Run key; the user's choice would be lost without it.
        if (RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &raw, nullptr) != ERROR_SUCCESS)
            return false;
        const RegistryKey key(raw);
        if (command_.empty()) return false;
        return RegSetValueExW(key.Get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(command_.c_str()),
                              DWORD((command_.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }
    const LSTATUS opened = RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &raw);
    if (opened == ERROR_FILE_NOT_FOUND) return true;  // no key, no value
    if (opened != ERROR_SUCCESS) return false;
    const RegistryKey key(raw);
    const LSTATUS deleted = RegDeleteValueW(key.Get(), name.c_str());
    return deleted == ERROR_SUCCESS || deleted == ERROR_FILE_NOT_FOUND;
}

bool ShowConfigDialog(HWND owner, TfrMain& main, IRunAtLogon& runAtLogon, const std::function<void(HWND)>& onShown) {
    static const bool controlsReady = [] {
        INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TREEVIEW_CLASSES | ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES |
                                                  ICC_UPDOWN_CLASS | ICC_WIN95_CLASSES};
        return InitCommonControlsEx(&icc) != FALSE;
    }();
    (void)controlsReady;
    // The tray icon stays usable while the dialog is up (only its owner is disabled): a second
    // dialog would apply its stale copy over the first one's OK.
    static ConfigDialog* showing = nullptr;
    if (showing) {
        if (showing->Handle()) SetForegroundWindow(showing->Handle());
        return false;
    }
    ConfigDialog dialog(main, runAtLogon, onShown);
    showing = &dialog;
    struct Done {
        ~Done() { showing = nullptr; }
    } done;
    return dialog.Show(owner);
}

bool mnuConfigurationClick(HWND owner, TfrMain& main) {
    TRegistryRunAtLogon runAtLogon;
    return ShowConfigDialog(owner, main, runAtLogon);
}

}  // namespace tw
