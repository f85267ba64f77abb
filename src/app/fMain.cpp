#include "app/fMain.h"

#include "net/FeedAddress.h"
#include "app/uUtil.h"

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

// The settings the form file holds for `appBar`: docked at the top or bottom or floating, no
// caption and no taskbar button.
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

// The settings the form file holds for `lblTicker`, then the end of its loading (first rebuild,
// start offset).
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

std::vector<TConfigLink> LinesOf(const TFeedsList& feeds) {
    std::vector<TConfigLink> lines;
    for (std::size_t i = 0; i < feeds.Count(); ++i) lines.push_back({feeds.Strings(i), feeds.Objects(i).LinkEnabled});
    return lines;
}

}  // namespace

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

TfrMain::TfrMain(IMainView& view, TMainParts parts) : view_(view), openStore_(std::move(parts.OpenStore)) {
    // 1. The platform's parts, given the settings the form file holds for them.
    ticker_ = std::move(parts.Ticker);
    ConfigureTickerFromForm(*ticker_);
    tickerFont_ = ticker_->Font();
    view_.TickerTextChanged(ticker_->Text());
    netDetect = std::move(parts.NetDetect);
    ResChanger = std::move(parts.ResChanger);
    appBar = std::move(parts.AppBar);
    if (appBar) ConfigureAppBarFromForm(*appBar);
    oneOnly = std::move(parts.OnlyOne);
    watcher_ = std::move(parts.Watcher);
    if (watcher_) watcher_->SetTicker(ticker_.get());
    DDEHandler = parts.DDEHandler;
    DDEAvailable = parts.DDEAvailable;
    // 2. Our own: the feed component and the rotation over it and the window's controls.
    MakeFeedComponent();
    feedPort_ = std::make_unique<TRSSFeedTicker>(*RSSHandler);
    tickerView_ = std::make_unique<TickerView>(*this);
    rotation = std::make_unique<TFeedRotation>(*tickerView_, *feedPort_);
    // The schedule decides when a feed is asked again, and a failed feed does not hold the
    // rotation (the hook shortens the period for tests).
    gate_ = std::make_unique<ReloadGate>(*this);
    rotation->SetReloadGate(gate_.get());
    rotation->SetMoveOnAfterFailure(true);
    reloadSecondsHook_ = ReloadSecondsHook(std::getenv("TIDEWIRE_RELOAD_SECONDS"));
    // 3. Every event, now that everything it reaches exists.
    WireEvents();
    // 4. The form is loaded: a second instance brings the first forward and asks to end.
    if (oneOnly) oneOnly->Loaded();
}

std::unique_ptr<TpkRSSFeed> MakeConfiguredFeed() {
    auto feed = std::make_unique<TpkRSSFeed>();
    feed->SetHTTPAgent(FeedHTTPAgent());
    feed->SetWaitTimeout(kFeedWaitTimeout);
    // No feed load keeps the bar waiting or swells the process (the hook shortens it for tests).
    feed->HTTP().TransferDeadline = FeedTransferDeadline(std::getenv("TIDEWIRE_FEED_DEADLINE_MS"));
    feed->HTTP().MaxMemorySize = kFeedMaxMemorySize;
    feed->ConditionalGet = true;  // an unchanged feed answers 304 instead of its whole body
    feed->AcceptedFormats = TpkRSSFeedFormats::All();  // what users subscribe to: Atom and RSS 1.0 too
    feed->SetPoliteClient(true);  // no cookies, compressed bodies, no https-to-http redirects
    return feed;
}

void TfrMain::MakeFeedComponent() {
    RSSHandler = MakeConfiguredFeed();
    // A site's address instead of its feed's: the feed its page links takes its place.
    RSSHandler->OnRSSFeedsDiscovered = [this](TpkRSSFeed&, const std::vector<TDiscoveredFeed>& feeds, bool& handled) {
        handled = FeedPageDiscovered(feeds);
    };
}

void TfrMain::WireEvents() {
    ConnectFeedEvents(*RSSHandler, *rotation);
    WatchFeedLoads();
    ticker_->OnTextScrolled = [this](TScrollingText&) {
        passEnding_ = true;
        if (streamTicker_) streamTicker_->PassEnded();
        else rotation->lblTickerTextScrolled();
        passEnding_ = false;
    };
    ticker_->OnClick = [this](TScrollingText&) { OpenCurrentItem(); };
    ticker_->OnMouseMove = [this](TScrollingText&, unsigned, int, int) { lblTickerMouseMove(); };
    // The text has no right-click action of its own: the bar's menu opens, as on the rest of it.
    ticker_->OnMouseDown = [this](TScrollingText&, TMouseButton button, unsigned, int, int) {
        if (button == mbRight) view_.PopupTrayMenu(true);
    };
    // The text waits while the pointer rests on it, so a title can be read and clicked.
    ticker_->PauseOnHover = true;
    // Each tick sends the screen only the pixels that moved: under Wine a copy to the screen
    // costs by its size, and the text's rows above and below the glyphs never change.
    ticker_->PresentChangesOnly = true;
    if (netDetect) {
        netDetect->OnConnectionStatusChanged = [this](TNetDetect&, bool connected) {
            if (!streamLoader_) rotation->netDetectConnectionStatusChanged(connected);
            else if (connected) streamLoader_->ReloadAll();
        };
    }
    if (appBar) {
        appBar->OnMonitorChosen = [this](TpkAppBar&, const std::string& monitor) { appBarMonitorChosen(monitor); };
        appBar->OnMonitorChanged = [this](TpkAppBar&, const TMonitor& monitor) { appBarMonitorChanged(monitor); };
        if (watcher_) appBar->OnFullScreenApp = [this](TpkAppBar&, bool open) { watcher_->SetFullScreenApp(open); };
    }
    if (ResChanger) {
        ResChanger->OnResChanged = [this](const TDisplayResolution& oldRes, const TDisplayResolution& newRes) {
            ResChangerResChanged(oldRes, newRes);
        };
    }
    // The DDE commands are attached by FormCreate: the handler delivers those waiting at once.
}

TfrMain::~TfrMain() {
    // 1. Nothing from outside reaches the window any more: the DDE handler outlives it, and a
    //    command arriving later waits instead.
    if (DDEHandler) DDEHandler->SetExecuteHandler(nullptr);
    // 2. What reports to the rotation and the layout goes before them: the detector drops a check
    //    still running, the watcher lets the application window go.
    netDetect.reset();
    ResChanger.reset();
    // The watcher lets the ticker go; the bar no longer reports full-screen programs to it.
    if (appBar) appBar->OnFullScreenApp = nullptr;
    watcher_.reset();
    // The stream's loads end with their components, before what they report to.
    streamLoader_.reset();
    streamTicker_.reset();
    // 3. The feed component ends a transfer still under way; its events reach nobody meanwhile.
    RSSHandler->DisconnectLoadEvents();
    RSSHandler.reset();
    // 4. The rotation and its two seams, which pointed at the feed and the window's controls.
    rotation.reset();
    tickerView_.reset();
    feedPort_.reset();
    // 5. The application bar leaves the shell, so the strip it reserved is free.
    if (appBar) {
        appBar->OnMonitorChosen = nullptr;
        appBar->OnMonitorChanged = nullptr;
    }
    appBar.reset();
    // 6. The guard last: until the bar has gone, a new start hands over to this instance instead
    //    of docking a second bar beside it.
    oneOnly.reset();
    // 7. The scrolling text, a child of the real window.
    ticker_.reset();
}

void TfrMain::TickerView::SetTitle(const std::string& caption, const std::string& hint) {
    form_.TitleCaption = caption;
    form_.TitleHint = hint;
    form_.view_.BarChanged();
}

void TfrMain::TickerView::SetTickerText(const std::string& text) {
    form_.ticker_->SetColorRuns({});
    form_.ticker_->SetText(text);
    form_.view_.TickerTextChanged(text);
    // A reader hears each headline the user asked for or a load brought, not one per pass.
    if (!form_.passEnding_) form_.view_.TickerReadingChanged();
}

void TfrMain::TickerView::SetTickerHint(const std::string& hint) { form_.ticker_->SetHint(hint); }

void TfrMain::TickerView::RestartReloadTimer() {
    // Off and on again: the whole period runs from now.
    form_.FReloadEnabled = false;
    form_.FReloadEnabled = true;
    form_.ApplyReloadTimer();
}

bool TfrMain::SecondInstance() const { return oneOnly && oneOnly->TerminationRequested(); }

void TfrMain::FormCreate(const std::string& exeDirectory, const std::vector<std::string>& arguments) {
    FCreating = true;
    InitializeAppearance();
    rotation->SetFirstRun(true);
    AttachDDEHandler();
    // The application window stays a top-level window, no child of the shell's "Progman"
    // window: docs/main-window.md says why.
    LayoutTicker();
    FConfigFile = exeDirectory + std::string(kConfigFileName);
    DefaultFeedsList.Clear();
    CustomFeedsList.Clear();
    FDefaultUrl = std::string(DefaultFeedUrls[1]);
    FDefaultReloadMinutes = 5;
    LoadSettings();
    OpenFeedCache(exeDirectory);
    BuildFeedMenus();
    // Through a modem the system's configured proxy would dial or wait: go out directly.
    RSSHandler->HTTPProxy().AccessType = view_.ModemConnection() ? atDirect : atPreconfig;
    FCreating = false;
    if (!arguments.empty() && (view_.FileExists(arguments.front()) || IsFeedSchemeAddress(arguments.front()))) {
        OpenFeedFile(arguments.front());  // no network request without the user's yes
        return;
    }
    if (streamSettings_.AllFeedsTogether) {
        StartStream();
        return;
    }
    ShowKeptCopyAtStart();
    rotation->ReloadFeed();
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
        // An empty path is loaded too: it names no readable file and fails as one.
        if (const auto path = OpenCommandPath(command)) OpenFeedFile(*path);
    }
}

void TfrMain::OpenFeedFile(const std::string& path) {
    if (IsFeedSchemeAddress(path)) return OfferFeedAddress(NormalizeFeedAddress(path));
    if (OfferFeedImport(path)) return;
    shownUrl_.clear();
    requesting_.clear();
    rotation->SetFailureLine({}, {});
    // Not read whole: the feed reports it as it does an unreadable file.
    if (OpenedFileTooLarge(path)) RSSHandler->LoadFromString({});
    else RSSHandler->LoadFromFile(path);
}

void TfrMain::OfferFeedAddress(const std::string& feedUrl) {
    if (!IsHttpFeedAddress(feedUrl)) {
        view_.ShowMessage("This is no feed address the ticker can load:\n" + feedUrl);
        return;
    }
    bool listed = false;
    for (const TFeedsList* list : {&DefaultFeedsList, &CustomFeedsList})
        for (std::size_t i = 0; i < list->Count(); ++i) listed = listed || SameFeedAddress(list->Strings(i), feedUrl);
    if (!listed) {
        if (!view_.AskYesNo("Add this feed to the custom list?\n" + feedUrl)) return;
        CustomFeedsList.Add(feedUrl, true);
        BuildFeedMenus();
        if (!SaveSettings()) view_.ShowMessage(std::string(kSubscriptionSaveFailed));
    }
    ShowFeed(feedUrl);
}

bool TfrMain::OfferFeedImport(const std::string& path) {
    const TOpmlReadResult read = ReadOpmlFile(std::filesystem::path(std::u8string(path.begin(), path.end())));
    if (!read.OpmlRoot) return false;
    const TFeedImport plan = PlanFeedImport(read, DefaultFeedsList, CustomFeedsList);
    if (plan.Status != TOpmlStatus::osRead || plan.NewFeeds.Feeds.empty()) {
        view_.ShowMessage(FeedImportMessage(plan));
        return true;
    }
    if (!view_.AskYesNo(FeedImportQuestion(plan, path))) return true;
    ApplyFeedImport(plan, CustomFeedsList, &feedNotes_);
    BuildFeedMenus();
    if (!SaveSettings()) view_.ShowMessage(std::string(kSubscriptionSaveFailed));
    return true;
}

bool TfrMain::FeedPageDiscovered(const std::vector<TDiscoveredFeed>& feeds) {
    const std::string page = FeedUrl();
    if (SameFeedAddress(page, discoveredFeed_)) return false;
    discoveredFeed_ = feeds.front().Address;
    if (ReplaceFeedAddress(CustomFeedsList, page, discoveredFeed_)) {
        BuildFeedMenus();
        SaveSettings();  // a list not written now is written at exit
    }
    // Not from inside the page's own transfer, which is still ending.
    view_.RunSoon([this, feed = discoveredFeed_] { rotation->FeedMenuItemClick(feed); });
    return true;
}

TSubscriptionResult TfrMain::RunSubscription(const TSubscriptionCommand& command) {
    if (command.Verb == TSubscriptionVerb::Export)
        return ExportFeedsFile(command.Path, DefaultFeedsList, CustomFeedsList, feedNotes_);
    const std::size_t before = CustomFeedsList.Count();
    TSubscriptionResult result = ImportFeedsFile(command.Path, DefaultFeedsList, CustomFeedsList, &feedNotes_);
    if (CustomFeedsList.Count() == before) return result;
    BuildFeedMenus();
    if (!SaveSettings()) return {false, std::string(kSubscriptionSaveFailed)};
    return result;
}

void TfrMain::ShowFeed(const std::string& url) {
    if (streamTicker_) streamTicker_->ShowFeed(url);
    else rotation->FeedMenuItemClick(url);
}

void TfrMain::StepToNextItem() {
    if (streamTicker_) streamTicker_->Next();
    else rotation->imgNextRssItemClick();
}

void TfrMain::StepToPreviousItem() {
    if (streamTicker_) streamTicker_->Prev();
    else rotation->imgPrevRssItemClick();
}

void TfrMain::OpenCurrentItem() {
    if (streamTicker_) streamTicker_->Click();
    else rotation->lblTickerClick();
}
void TfrMain::OpenChannelLink() { rotation->lblTitleClick(); }

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
    const int period = std::max(0, ReloadPeriod());
    schedule_.SetReloadPeriod(period);
    view_.SetReloadTimer(FReloadEnabled ? period : 0);
}

void TfrMain::OnReloadTimer() {
    // The stream's feeds come due by their own rules.
    if (FReloadEnabled && !streamLoader_) rotation->tmrReloadTimer();
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
        case TBarArea::Title: OpenChannelLink(); break;
        case TBarArea::PrevItem: StepToPreviousItem(); break;
        case TBarArea::NextItem: StepToNextItem(); break;
        case TBarArea::Ticker: OpenCurrentItem(); break;
        case TBarArea::StartImage: view_.PopupQuickStartMenu(); break;
        case TBarArea::Background: break;
    }
}

void TfrMain::KeyPressed(TBarKey key) {
    switch (key) {
        case TBarKey::Left: StepToPreviousItem(); break;
        case TBarKey::Right: StepToNextItem(); break;
        case TBarKey::Enter: PressElement(focused_); break;
        case TBarKey::Escape: view_.HideBar(); break;
        case TBarKey::Space: TogglePause(); break;
        case TBarKey::Tab: SetFocused(NextFocus(focused_, true)); break;
        case TBarKey::BackTab: SetFocused(NextFocus(focused_, false)); break;
    }
}

void TfrMain::PressElement(TBarElement element) {
    switch (element) {
        case TBarElement::Feeds: view_.PopupQuickStartMenu(); break;
        case TBarElement::Title: OpenChannelLink(); break;
        case TBarElement::Previous: StepToPreviousItem(); break;
        case TBarElement::Next: StepToNextItem(); break;
        case TBarElement::Ticker: OpenCurrentItem(); break;
        case TBarElement::Bar: break;
    }
}

Rect TfrMain::ElementRect(TBarElement element) const {
    const TScrollingText& t = *ticker_;
    switch (element) {
        case TBarElement::Feeds: return imgStart;
        case TBarElement::Title: return lblTitle;
        case TBarElement::Previous: return imgPrevRssItem;
        case TBarElement::Next: return imgNextRssItem;
        case TBarElement::Ticker: return Rect::Sized(t.Left(), t.Top(), t.Width(), t.Height());
        case TBarElement::Bar: break;
    }
    return {};
}

void TfrMain::SetFocused(TBarElement element) {
    if (element == TBarElement::Bar || element == focused_) return;
    focused_ = element;
    view_.BarChanged();
}

void TfrMain::SetPaused(bool paused) {
    if (paused == paused_) return;
    paused_ = paused;
    if (paused_) ticker_->Hold(thPaused);
    else ticker_->Release(thPaused);
    view_.BarChanged();
    view_.TickerReadingChanged();
}

void TfrMain::SetSystemAnimations(bool on) {
    systemAnimations_ = on;
    ApplyStillMode();
}

void TfrMain::ApplyStillMode() { ticker_->SetStill(stillOption_ || !systemAnimations_); }

void TfrMain::SetHighContrast(bool on) {
    if (on == highContrast_) return;
    highContrast_ = on;
    colors_ = BarColorsFor(on);
    ticker_->SetBackgroundColor(colors_.TickerBackground);
    ticker_->SetEdgeFadeWidth(colors_.EdgeFadeWidth);
    ShowTickerFont(tickerFont_);
    view_.BarChanged();
}

TTickerReading TfrMain::TickerReading() const {
    TTickerReading reading;
    reading.ChannelTitle = TitleCaption;
    reading.Paused = paused_;
    if (streamTicker_) {
        const TFeedStream& stream = streamTicker_->Stream();
        const int index = stream.CurrentIndex();
        if (index < 0) {
            reading.Headline = ticker_->Text();
            return reading;
        }
        const TStreamEntry& entry = stream.At(index);
        reading.Headline = std::string(stream.ItemOf(entry).Title);
        reading.Source = stream.FeedOf(entry).Source();
        reading.Position = index + 1;
        reading.Count = stream.Count();
        return reading;
    }
    const int index = rotation->CurrentItemIndex();
    if (index >= 0 && !rotation->Loading()) {
        reading.Headline = CleanItemText(feedPort_->ItemTitle(index));
        reading.Position = index + 1;
        reading.Count = rotation->ShowingItemsCount();
    } else {
        reading.Headline = ticker_->Text();
    }
    return reading;
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

void TfrMain::appBarMonitorChosen(const std::string& monitor) {
    FMonitor = monitor;
    const auto store = openStore_(FConfigFile);
    SaveMonitor(*store, FMonitor);  // a failed write leaves the bar where the user put it
}

void TfrMain::appBarMonitorChanged(const TMonitor& monitor) {
    view_.MonitorChanged(monitor);  // a density of its own comes back through DisplayDpiChanged
    LayoutTicker();
}

int TfrMain::BarWidth() const { return appBar ? appBar->CurrentMonitor().WorkArea.Width() : view_.WorkAreaWidth(); }

TpkAppBarPlacement TfrMain::BarEdge() const {
    const int placement = appBar ? appBar->Placement() : bpFloat;
    return IsDockedEdge(placement) ? static_cast<TpkAppBarPlacement>(placement) : bpFloat;
}

TBarPicture TfrMain::Bar() const {
    return {TitleCaption, TitleHint, lblTitle, imgStart, imgPrevRssItem, imgNextRssItem, ElementRect(focused_), paused_};
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

void TfrMain::ShowTickerFont(const TFont& font) {
    tickerFont_ = font;
    // The platform turns points into pixels with the system's density: on a display of another
    // one, the points are scaled by the difference.
    TFont shown = font;
    shown.Size = ScaleBetween(font.Size, view_.SystemDpi(), FDpi);
    shown.Color = TickerTextColor(colors_, font.Color);
    ticker_->SetFont(shown);
}

void TfrMain::LayoutTicker() {
    TScrollingText& ticker = *ticker_;
    ticker.SetVisible(false);
    ticker.SetShowHint(true);
    lblTitle.Right = lblTitle.Left + view_.MeasureTitle(TitleCaption);
    imgPrevRssItem = imgPrevRssItem.MovedTo(lblTitle.Right + Scaled(kGapDesign), imgPrevRssItem.Top);
    imgNextRssItem =
        imgNextRssItem.MovedTo(BarWidth() - imgPrevRssItem.Width() - Scaled(kGapDesign), imgNextRssItem.Top);
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
    rotation->SetFirstRun(s.FirstRun);
    RSSHandler->HTTP().URL = s.Url;
    FLastConfigPage = s.LastConfigPage;
    FReloadInterval = s.ReloadInterval;
    ApplyReloadTimer();
    rotation->SetSettings({s.MaxShowingItems, s.AutoUrlJump});
    // Before the speed: docking on another monitor lays the bar out again, which during the
    // start-up gives the ticker the form's speed.
    FMonitor = s.Monitor;
    if (appBar) appBar->SetMonitor(FMonitor);
    TFont font = TickerFont();
    const TFont stored = TickerFontFrom(s.TickerFont);
    font.Name = stored.Name;
    font.Size = stored.Size;
    font.Color = stored.Color;
    font.Style |= stored.Style;  // the style is only ever added to
    ShowTickerFont(font);
    if (s.PixelJump) ticker_->PixelJump = *s.PixelJump;
    ticker_->SetSpeed(s.TickerSpeed);
    streamSettings_ = s.Stream;
    LoadAccessSettings();
    settingsLoaded_ = true;
}

void TfrMain::LoadAccessSettings() {
    const TAccessSettings access = tw::LoadAccessSettings(*openStore_(FConfigFile));
    SetPaused(access.Paused);
    stillOption_ = access.StillHeadlines;
    ApplyStillMode();
    focusHotKey_ = access.FocusHotKey;
    view_.RegisterFocusHotKey(focusHotKey_);
}

void TfrMain::SetReloadInterval(int milliseconds) {
    if (milliseconds == FReloadInterval) return;
    FReloadInterval = milliseconds;
    ApplyReloadTimer();  // the period starts anew
}

void TfrMain::BuildFeedMenus() {
    rotation->SetFeedMenu(BuildFeedMenuEntries(DefaultFeedsList, CustomFeedsList));
    view_.FeedListsChanged();
}

bool TfrMain::SaveSettings() {
    TAppSettings s;
    s.LastConfigPage = FLastConfigPage;
    s.MaxShowingItems = rotation->Settings().FMaxShowingItems;
    s.AutoUrlJump = rotation->Settings().FAutoUrlJump;
    s.TickerFont = TickerFontOf(tickerFont_);
    s.TickerSpeed = ticker_->Speed();
    s.Monitor = FMonitor;
    s.Stream = streamSettings_;
    const auto store = openStore_(FConfigFile);
    const bool saved = tw::SaveSettings(*store, s, DefaultFeedsList, CustomFeedsList);
    return SaveAccessSettings(*store, {paused_, stillOption_, focusHotKey_}) && saved;
}

bool TfrMain::SaveFeedState() {
    const auto store = openStore_(FConfigFile);
    return tw::SaveFeedState(*store, RSSHandler->HTTP().URL, FReloadInterval, CustomFeedsList);
}

TMainSettings TfrMain::Settings() const {
    TMainSettings s;
    s.LastConfigPage = FLastConfigPage;
    s.ReloadInterval = FReloadInterval;
    s.Rotation = rotation->Settings();
    s.DefaultFeeds = LinesOf(DefaultFeedsList);
    s.CustomFeeds = LinesOf(CustomFeedsList);
    s.TickerFont = tickerFont_;
    s.TickerSpeed = ticker_->Speed();
    s.Monitor = FMonitor;
    s.Stream = streamSettings_;
    s.StillHeadlines = stillOption_;
    s.FocusHotKey = focusHotKey_;
    return s;
}

bool TfrMain::ApplySettings(const TMainSettings& s) {
    FLastConfigPage = s.LastConfigPage;
    SetReloadInterval(s.ReloadInterval);
    rotation->SetSettings(s.Rotation);
    const std::size_t defaults = std::min(DefaultFeedsList.Count(), s.DefaultFeeds.size());
    for (std::size_t i = 0; i < defaults; ++i) DefaultFeedsList.Objects(i).LinkEnabled = s.DefaultFeeds[i].Checked;
    CustomFeedsList.Clear();
    for (const TConfigLink& link : s.CustomFeeds) CustomFeedsList.Add(link.Address, link.Checked);
    BuildFeedMenus();
    ForgetUnlistedFeeds();
    ShowTickerFont(s.TickerFont);
    ticker_->SetSpeed(s.TickerSpeed);
    ticker_->PixelJump = s.TickerSpeed == TickerSpeeds.back() ? 2 : 1;
    FMonitor = s.Monitor;
    if (appBar) appBar->SetMonitor(FMonitor);
    ApplyStreamSettings(s.Stream);
    stillOption_ = s.StillHeadlines;
    ApplyStillMode();
    if (s.FocusHotKey != focusHotKey_) {
        focusHotKey_ = s.FocusHotKey;
        view_.RegisterFocusHotKey(focusHotKey_);
    }
    return SaveSettings();
}

void TfrMain::FormDestroy() {
    if (destroyed_) return;
    destroyed_ = true;
    // Until the settings have been read, the window holds only defaults: writing them would
    // put them over the user's settings.
    if (settingsLoaded_) {
        SaveFeedState();
        SavePausedState(*openStore_(FConfigFile), paused_);
    }
    if (streamTicker_) streamTicker_->SaveSeen();
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
