#include "app/fMain.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <system_error>

namespace tw {

namespace {

// The bar's pictures and labels where its design (96 pixels per inch) puts them; the arrows'
// left edges follow the title (LayoutTicker).
constexpr Rect kTitleDesign = Rect::Sized(32, 5, 0, 13);
constexpr Rect kStartDesign = Rect::Sized(5, 1, 22, 22);
constexpr Rect kArrowDesign = Rect::Sized(0, 4, 16, 16);
constexpr int kTickerTopDesign = 12;
constexpr int kTickerHeightDesign = 11;
constexpr int kGapDesign = 5;  // between the title and the previous arrow, after the next one

std::uint16_t BarSize(int pixels) { return std::uint16_t(std::clamp(pixels, 0, 0xFFFF)); }

}  // namespace

void ConfigureAppBarFromForm(TpkAppBar& bar) {
    bar.BeginLoading();
    bar.AllowedEdges = EdgeBit(bpTop) | EdgeBit(bpBottom) | EdgeBit(bpFloat);
    bar.Docking().SetHeight(26);
    bar.Docking().MaxHeight = kBarMaxHeight;
    bar.LastDockingPlace = bpFloat;
    bar.SetTaskIcon(sbHideAlways);
    bar.SetTitleBar(sbHideAlways);
    bar.SetPlacement(bpTop);
    bar.EndLoading();
}

void ConfigureTickerFromForm(TScrollingText& ticker) {
    // Where the form puts it at design size; LayoutTicker moves it to its real place.
    ticker.SetBounds(69, 12, 596, 11);
    ticker.SetHandCursor(true);
    ticker.SetText(std::string(kTickerInitialText));
    ticker.SetBackgroundColor(kTickerBackground);
    ticker.SetLayout(tlBottom);
    ticker.SetTextDirection(tdRightToLeft);
    ticker.ParentFont = false;
    ticker.SetFont(TFont{"Tahoma", 8, kTickerFontColor, 0});  // height -11 at 96 pixels per inch
    ticker.Loaded();
}

TFont TickerFontFrom(const TTickerFont& font) {
    return TFont{font.Name, font.Size, font.Color, (font.Italic ? unsigned(fsItalic) : 0u) | (font.Bold ? unsigned(fsBold) : 0u)};
}

TTickerFont TickerFontOf(const TFont& font) {
    return TTickerFont{font.Name, font.Size, font.Color, (font.Style & fsItalic) != 0, (font.Style & fsBold) != 0};
}

bool IMainView::FileExists(const std::string& path) const {
    if (path.empty()) return false;
    std::error_code error;
    const std::filesystem::path name(std::u8string(path.begin(), path.end()));
    return std::filesystem::is_regular_file(name, error);
}

TfrMain::TfrMain(IMainView& view, std::unique_ptr<TScrollingText> ticker, TProfileStoreFactory openStore,
                 std::unique_ptr<TNetDetect> detector)
    : netDetect(std::move(detector)), view_(view), ticker_(std::move(ticker)), openStore_(std::move(openStore)) {
    tickerFont_ = shownTickerFont_ = ticker_->Font();
    RSSHandler.SetHTTPAgent(std::string(kFeedHTTPAgent));
    RSSHandler.SetWaitTimeout(kFeedWaitTimeout);
    // No feed load keeps the bar waiting or swells the process (the hook shortens it for tests).
    RSSHandler.HTTP().TransferDeadline = FeedTransferDeadline(std::getenv("TIDEWIRE_FEED_DEADLINE_MS"));
    RSSHandler.HTTP().MaxMemorySize = kFeedMaxMemorySize;
    RSSHandler.ConditionalGet = true;  // an unchanged feed answers 304 instead of its whole body
    RSSHandler.AcceptedFormats = TpkRSSFeedFormats::All();  // what users subscribe to: Atom and RSS 1.0 too
    ConnectFeedEvents(RSSHandler, rotation);
    ticker_->OnTextScrolled = [this](TScrollingText&) { rotation.lblTickerTextScrolled(); };
    ticker_->OnClick = [this](TScrollingText&) { rotation.lblTickerClick(); };
    // The text waits while the pointer rests on it, so a title can be read and clicked.
    ticker_->PauseOnHover = true;
    // Each tick sends the screen only the pixels that moved: under Wine a copy to the screen
    // costs by its size, and the text's rows above and below the glyphs never change.
    ticker_->PresentChangesOnly = true;
    if (netDetect) {
        netDetect->OnConnectionStatusChanged = [this](TNetDetect&, bool connected) {
            rotation.netDetectConnectionStatusChanged(connected);
        };
    }
}

TfrMain::~TfrMain() {
    // The DDE handler outlives the window: a command arriving later waits instead of reaching it.
    if (DDEHandler) DDEHandler->SetExecuteHandler(nullptr);
    // The detector and a transfer still under way report to the rotation, which goes before
    // the feed component does.
    netDetect.reset();
    RSSHandler.OnRSSLoaded = nullptr;
    RSSHandler.OnRSSNotModified = nullptr;
    RSSHandler.OnRSSLoadError = nullptr;
    RSSHandler.OnRSSParseError = nullptr;
    RSSHandler.OnRSSNotRSSError = nullptr;
    RSSHandler.OnHTTPError = nullptr;
}

void TfrMain::TickerView::SetTitle(const std::string& caption, const std::string& hint) {
    form_.TitleCaption = caption;
    form_.TitleHint = hint;
    form_.view_.BarChanged();
}

void TfrMain::TickerView::SetTickerText(const std::string& text) {
    form_.ticker_->SetText(text);
    form_.view_.TickerTextChanged(text);
}

void TfrMain::TickerView::SetTickerHint(const std::string& hint) { form_.ticker_->SetHint(hint); }

void TfrMain::TickerView::RestartReloadTimer() {
    // Off and on again: the whole period runs from now.
    form_.FReloadEnabled = false;
    form_.FReloadEnabled = true;
    form_.ApplyReloadTimer();
}

void TfrMain::FormCreate(const std::string& exeDirectory, const std::vector<std::string>& arguments) {
    FCreating = true;
    InitializeAppearance();
    rotation.FFirstRun = true;
    AttachDDEHandler();
    LayoutTicker();
    rotation.FLoading = false;
    FConfigFile = exeDirectory + std::string(kConfigFileName);
    DefaultFeedsList.Clear();
    CustomFeedsList.Clear();
    FDefaultUrl = std::string(DefaultFeedUrls[1]);
    FDefaultReloadMinutes = 5;
    LoadSettings();
    BuildFeedMenus();
    // Through a modem the system's configured proxy would dial or wait: go out directly.
    RSSHandler.HTTPProxy().AccessType = view_.ModemConnection() ? atDirect : atPreconfig;
    FCreating = false;
    if (!arguments.empty() && view_.FileExists(arguments.front())) {
        // A feed file opened from the shell: shown as it is, no network request.
        RSSHandler.LoadFromFile(arguments.front());
        return;
    }
    rotation.ReloadFeed();
}

void TfrMain::AttachDDEHandler() {
    if (!DDEAvailable) return;
    try {
        if (DDEHandler == nullptr) throw std::runtime_error("no DDE server");
        // Delivers at once what arrived before the window existed.
        DDEHandler->SetExecuteHandler(
            [this](TDDEHandler& sender, const std::vector<std::string>& commands) { DDEExecuteCommands(sender, commands); });
    } catch (...) {
        view_.ShowMessage(std::string(kDDEAttachError));
    }
}

void TfrMain::DDEExecuteCommands(TDDEHandler&, const std::vector<std::string>& commands) {
    for (const std::string& command : commands) {
        const auto path = OpenCommandPath(command);
        if (!path) continue;
        // Not read whole: the feed reports it as it does an unreadable file.
        if (OpenedFileTooLarge(*path)) RSSHandler.LoadFromString({});
        else RSSHandler.LoadFromFile(*path);
    }
}

void TfrMain::FormShow() {
    if (netDetect) netDetect->SetEnabled(true);
}

void TfrMain::InitializeAppearance() {
    FDpi = view_.DisplayDpi();
    ApplyScale();
    if (appBar) {
        appBar->SetPlacement(bpTop);
        appBar->Docking().SetHeight(BarSize(Scaled(kBarHeight)));
    }
    FReloadInterval = 300000;
    FReloadEnabled = true;
    TitleCaption = std::string(kBarCaption);
    lblTitle.Right = lblTitle.Left + view_.MeasureTitle(TitleCaption);
    ApplyReloadTimer();
    view_.BarChanged();
}

void TfrMain::ApplyReloadTimer() {
    // A negative period from a hand-edited file stops the timer like 0 does.
    view_.SetReloadTimer(FReloadEnabled ? std::max(0, FReloadInterval) : 0);
}

void TfrMain::OnReloadTimer() {
    if (FReloadEnabled) rotation.tmrReloadTimer();
}

TBarArea TfrMain::AreaAt(int x, int y) const {
    if (imgStart.Contains(x, y)) return TBarArea::StartImage;
    if (lblTitle.Contains(x, y)) return TBarArea::Title;
    if (imgPrevRssItem.Contains(x, y)) return TBarArea::PrevItem;
    if (imgNextRssItem.Contains(x, y)) return TBarArea::NextItem;
    const TScrollingText& t = *ticker_;
    if (t.Visible() && Rect::Sized(t.Left(), t.Top(), t.Width(), t.Height()).Contains(x, y)) return TBarArea::Ticker;
    return TBarArea::Background;
}

void TfrMain::ClickAt(int x, int y) {
    switch (AreaAt(x, y)) {
        case TBarArea::Title: rotation.lblTitleClick(); break;
        case TBarArea::PrevItem: rotation.imgPrevRssItemClick(); break;
        case TBarArea::NextItem: rotation.imgNextRssItemClick(); break;
        case TBarArea::Ticker: rotation.lblTickerClick(); break;
        case TBarArea::StartImage: view_.PopupQuickStartMenu(); break;
        case TBarArea::Background: break;
    }
}

void TfrMain::KeyPressed(TBarKey key) {
    switch (key) {
        case TBarKey::Left: rotation.imgPrevRssItemClick(); break;
        case TBarKey::Right: rotation.imgNextRssItemClick(); break;
        case TBarKey::Enter: rotation.lblTickerClick(); break;
        case TBarKey::Escape: view_.HideBar(); break;
    }
}

TBarCursor TfrMain::CursorAt(int x, int y) const {
    switch (AreaAt(x, y)) {
        case TBarArea::StartImage:
        case TBarArea::Title: return TBarCursor::crHandPoint;
        case TBarArea::Ticker: return ticker_->HandCursor() ? TBarCursor::crHandPoint : TBarCursor::crDefault;
        default: return TBarCursor::crDefault;
    }
}

void TfrMain::ResChangerResChanged(const TDisplayResolution&, const TDisplayResolution&) { LayoutTicker(); }

void TfrMain::AttachResChanger(std::unique_ptr<TResChange> watcher) {
    ResChanger = std::move(watcher);
    if (ResChanger) {
        ResChanger->OnResChanged = [this](const TDisplayResolution& oldRes, const TDisplayResolution& newRes) {
            ResChangerResChanged(oldRes, newRes);
        };
    }
}

void TfrMain::AttachAppBar(std::unique_ptr<TpkAppBar> bar) {
    appBar = std::move(bar);
    if (appBar) ConfigureAppBarFromForm(*appBar);
}

void TfrMain::ApplyScale() {
    lblTitle = Rect::Sized(Scaled(kTitleDesign.Left), Scaled(kTitleDesign.Top), lblTitle.Width(),
                           Scaled(kTitleDesign.Height()));
    imgStart = Rect::Sized(Scaled(kStartDesign.Left), Scaled(kStartDesign.Top), Scaled(kStartDesign.Width()),
                           Scaled(kStartDesign.Height()));
    for (Rect* arrow : {&imgPrevRssItem, &imgNextRssItem})
        *arrow = Rect::Sized(arrow->Left, Scaled(kArrowDesign.Top), Scaled(kArrowDesign.Width()),
                             Scaled(kArrowDesign.Height()));
    TScrollingText& ticker = *ticker_;
    const int top = Scaled(kTickerTopDesign), height = Scaled(kTickerHeightDesign);
    if (ticker.Top() != top || ticker.Height() != height) ticker.SetBounds(ticker.Left(), top, ticker.Width(), height);
    ShowTickerFont(TickerFont());
    if (appBar) appBar->Docking().MaxHeight = BarSize(Scaled(kBarMaxHeight));
}

void TfrMain::DisplayDpiChanged(const Rect* floatRect) {
    const int old = FDpi;
    FDpi = view_.DisplayDpi();
    if (FDpi == old) return;
    ApplyScale();
    if (appBar) {
        // A height the user dragged the bar to keeps its share of the display.
        const std::uint16_t height = BarSize(ScaleBetween(appBar->Docking().Height(), old, FDpi));
        Rect floating = appBar->FloatRect();
        floating.Bottom = floating.Top + ScaleBetween(floating.Height(), old, FDpi);
        const bool isFloating = appBar->Placement() == bpFloat;
        appBar->SetFloatRect(isFloating && floatRect ? *floatRect : floating);
        // Docked at the top or bottom, a new height re-places the bar, which reserves it.
        appBar->Docking().SetHeight(height);
        if (isFloating) appBar->Replace();
    }
    LayoutTicker();
}

TFont TfrMain::TickerFont() const {
    return ticker_->Font() == shownTickerFont_ ? tickerFont_ : ticker_->Font();
}

void TfrMain::ShowTickerFont(const TFont& font) {
    tickerFont_ = shownTickerFont_ = font;
    // The platform turns points into pixels with the system's density: on a display of another
    // one, the points are scaled by the difference.
    shownTickerFont_.Size = ScaleBetween(font.Size, view_.SystemDpi(), FDpi);
    ticker_->SetFont(shownTickerFont_);
}

void TfrMain::LayoutTicker() {
    TScrollingText& ticker = *ticker_;
    ticker.SetVisible(false);
    ticker.SetShowHint(true);
    lblTitle.Right = lblTitle.Left + view_.MeasureTitle(TitleCaption);
    imgPrevRssItem = imgPrevRssItem.MovedTo(lblTitle.Right + Scaled(kGapDesign), imgPrevRssItem.Top);
    imgNextRssItem =
        imgNextRssItem.MovedTo(view_.WorkAreaWidth() - imgPrevRssItem.Width() - Scaled(kGapDesign), imgNextRssItem.Top);
    const int left = imgPrevRssItem.Right;
    // A feed title wider than the screen would give a negative width: the ticker shrinks to none.
    ticker.SetBounds(left, ticker.Top(), std::max(0, imgNextRssItem.Left - left), ticker.Height());
    if (FCreating) {
        ticker.PixelJump = 1;
        ticker.SetSpeed(TickerSpeeds[DefaultTickerSpeedIndex]);
    }
    ticker.SetVisible(true);
    view_.BarChanged();
}

void TfrMain::LoadSettings() {
    const auto store = openStore_(FConfigFile);
    const TAppSettings s = tw::LoadSettings(*store, FDefaultUrl, FDefaultReloadMinutes, DefaultFeedsList, CustomFeedsList);
    rotation.FFirstRun = s.FirstRun;
    RSSHandler.HTTP().URL = s.Url;
    FLastConfigPage = s.LastConfigPage;
    FReloadInterval = s.ReloadInterval;
    ApplyReloadTimer();
    rotation.FMaxShowingItems = s.MaxShowingItems;
    rotation.FAutoUrlJump = s.AutoUrlJump;
    TFont font = TickerFont();
    const TFont stored = TickerFontFrom(s.TickerFont);
    font.Name = stored.Name;
    font.Size = stored.Size;
    font.Color = stored.Color;
    font.Style |= stored.Style;  // the style is only ever added to
    ShowTickerFont(font);
    if (s.PixelJump) ticker_->PixelJump = *s.PixelJump;
    ticker_->SetSpeed(s.TickerSpeed);
    settingsLoaded_ = true;
}

void TfrMain::SetReloadInterval(int milliseconds) {
    if (milliseconds == FReloadInterval) return;
    FReloadInterval = milliseconds;
    ApplyReloadTimer();  // the period starts anew
}

void TfrMain::BuildFeedMenus() {
    rotation.FeedMenu = BuildFeedMenuEntries(DefaultFeedsList, CustomFeedsList);
    view_.FeedListsChanged();
}

bool TfrMain::SaveSettings() {
    TAppSettings s;
    s.LastConfigPage = FLastConfigPage;
    s.MaxShowingItems = rotation.FMaxShowingItems;
    s.AutoUrlJump = rotation.FAutoUrlJump;
    const TFont font = TickerFont();
    ShowTickerFont(font);  // a font the dialog set is shown scaled from now on
    s.TickerFont = TickerFontOf(font);
    s.TickerSpeed = ticker_->Speed();
    const auto store = openStore_(FConfigFile);
    return tw::SaveSettings(*store, s, DefaultFeedsList, CustomFeedsList);
}

bool TfrMain::SaveFeedState() {
    const auto store = openStore_(FConfigFile);
    return tw::SaveFeedState(*store, RSSHandler.HTTP().URL, FReloadInterval, CustomFeedsList);
}

void TfrMain::FormDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    // Until the settings have been read, the window holds only defaults: writing them would
    // put them over the user's settings.
    if (settingsLoaded_) SaveFeedState();
    CustomFeedsList.Clear();
    DefaultFeedsList.Clear();
}

bool TfrMain::QueryEndSession() {
    view_.Terminate();
    return true;
}

void TfrMain::lblTickerMouseMove() {
    if (!view_.IsForeground()) view_.BringToForeground();
}

}  // namespace tw
