#include "app/fMain.h"

#include <algorithm>

namespace tw {

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

TfrMain::TfrMain(IMainView& view, std::unique_ptr<TScrollingText> ticker, TProfileStoreFactory openStore)
    : view_(view), ticker_(std::move(ticker)), openStore_(std::move(openStore)) {}

TfrMain::~TfrMain() = default;

void TfrMain::FormCreate(const std::string& exeDirectory) {
    FCreating = true;
    InitializeAppearance();
    FFirstRun = true;
    LayoutTicker();
    FLoading = false;
    FConfigFile = exeDirectory + std::string(kConfigFileName);
    DefaultFeedsList.Clear();
    CustomFeedsList.Clear();
    FDefaultUrl = std::string(DefaultFeedUrls[1]);
    FDefaultReloadMinutes = 5;
    LoadSettings();
    FCreating = false;
    // The feed load that ends start-up needs the feed component, which the window does not
    // have yet; the ticker keeps its initial text.
}

void TfrMain::InitializeAppearance() {
    imgStart.Left = 5;
    imgStart.Top = 1;
    tmrReload.Interval = 300000;
    tmrReload.Enabled = true;
    TitleCaption = std::string(kBarCaption);
    lblTitle.Width = view_.MeasureTitle(TitleCaption);
    view_.ReloadTimerChanged(tmrReload);
    view_.BarChanged();
}

void TfrMain::LayoutTicker() {
    TScrollingText& ticker = *ticker_;
    ticker.SetVisible(false);
    ticker.SetShowHint(true);
    lblTitle.Width = view_.MeasureTitle(TitleCaption);
    imgPrevRssItem.Left = lblTitle.Left + lblTitle.Width + 5;
    imgNextRssItem.Left = view_.WorkAreaWidth() - imgPrevRssItem.Width - 5;
    const int left = imgPrevRssItem.Left + imgPrevRssItem.Width;
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
    FFirstRun = s.FirstRun;
    FFeedUrl = s.Url;
    FLastConfigPage = s.LastConfigPage;
    tmrReload.Interval = s.ReloadInterval;
    view_.ReloadTimerChanged(tmrReload);
    FMaxShowingItems = s.MaxShowingItems;
    FAutoUrlJump = s.AutoUrlJump;
    TFont font = ticker_->Font();
    const TFont stored = TickerFontFrom(s.TickerFont);
    font.Name = stored.Name;
    font.Size = stored.Size;
    font.Color = stored.Color;
    font.Style |= stored.Style;  // the style is only ever added to
    ticker_->SetFont(font);
    if (s.PixelJump) ticker_->PixelJump = *s.PixelJump;
    ticker_->SetSpeed(s.TickerSpeed);
    settingsLoaded_ = true;
}

bool TfrMain::SaveSettings() {
    TAppSettings s;
    s.LastConfigPage = FLastConfigPage;
    s.MaxShowingItems = FMaxShowingItems;
    s.AutoUrlJump = FAutoUrlJump;
    s.TickerFont = TickerFontOf(ticker_->Font());
    s.TickerSpeed = ticker_->Speed();
    const auto store = openStore_(FConfigFile);
    return tw::SaveSettings(*store, s, DefaultFeedsList, CustomFeedsList);
}

bool TfrMain::SaveFeedState() {
    const auto store = openStore_(FConfigFile);
    return tw::SaveFeedState(*store, FFeedUrl, tmrReload.Interval, CustomFeedsList);
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
