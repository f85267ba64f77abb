#include "app/fConfig.h"

#include "base/AsciiText.h"
#include "net/FeedAddress.h"

#include <algorithm>
#include <utility>

namespace tw {

const std::array<TConfigPageInfo, kConfigPageCount> ConfigPages{{
    {"RSS Settings", -1, 0, "Preferences regarding RSS feeds retrieval"},
    {"Default Links", cpRSSSettings, -1, "Only checked items will be available in the Quick Start Menu"},
    {"Custom Links", cpRSSSettings, -1, "Only checked items will be available in the Quick Start Menu"},
    {"General Settings", -1, 1, "General settings about the application's behaviour"},
    {"Appearance", cpGeneral, -1, "Options to change the look and feel of the ticker bar"},
}};

namespace {

constexpr int kMaxReloadPosition = 11;
constexpr int kReloadStepMs = 300000;  // one track bar step: 5 minutes
constexpr int kMinMaxItems = 1;
constexpr int kMaxMaxItems = 99;

bool BeginsWithHttp(std::string_view address) { return StartsWithIgnoringAsciiCase(address, "HTTP"); }

std::string MinutesHint(int minutes) { return std::to_string(minutes) + " minutes"; }

}  // namespace

int ReloadPositionOf(int intervalMs) {
    return std::clamp(intervalMs / kReloadStepMs - 1, 0, kMaxReloadPosition);
}

TfrConfig::TfrConfig(IConfigView& view) : view_(view) {
    tbReloadTimeChange(ReloadPosition);
    FormCreate();
}

void TfrConfig::FormCreate() {
    FEditMode = emNone;
    UpdateLinkButtons();
}

void TfrConfig::tvConfigClick(int page) {
    FEditMode = emNone;
    UpdateLinkButtons();
    SelectedPage = (page >= 0 && page < kConfigPageCount) ? page : cpRSSSettings;
    UpdateHintText();
}

void TfrConfig::UpdateHintText() {
    if (SelectedPage >= 0 && SelectedPage < kConfigPageCount) HintText = ConfigPages[SelectedPage].StatusText;
}

void TfrConfig::tbReloadTimeChange(int position) {
    ReloadPosition = std::clamp(position, 0, kMaxReloadPosition);
    ReloadHint = MinutesHint(ReloadPosition * 5 + 5);
}

void TfrConfig::tbTickerSpeedChange(int position) {
    SpeedPosition = std::clamp(position, 0, int(TickerSpeeds.size()) - 1);
}

void TfrConfig::cbMaxRSSItemsClick(bool checked) {
    MaxItemsChecked = checked;
    MaxItemsEnabled = checked;
}

void TfrConfig::txtMaxRSSItemsChange(int value) { MaxItems = std::clamp(value, kMinMaxItems, kMaxMaxItems); }

void TfrConfig::lbRSSDefLinksClick(int line) {
    DefaultSelected = (line >= 0 && line < int(DefaultLinks.size())) ? line : -1;
    if (DefaultSelected >= 0) DefaultHint = DefaultLinks[DefaultSelected].Address;
    SelectFeedStatus(DefaultLinks, DefaultSelected);
}

void TfrConfig::SelectFeedStatus(const std::vector<TConfigLink>& lines, int selected) {
    FeedStatus = selected >= 0 && FeedStatusOf ? FeedStatusOf(lines[std::size_t(selected)].Address) : std::string();
}

void TfrConfig::lbCustRSSLinksClick(int line) {
    FEditMode = emNone;
    CustomSelected = (line >= 0 && line < int(CustomLinks.size())) ? line : -1;
    UpdateLinkButtons();
    if (CustomSelected >= 0) {
        CustomHint = CustomLinks[CustomSelected].Address;
        CurrentLinkText = CustomHint;
    }
    SelectFeedStatus(CustomLinks, CustomSelected);
}

void TfrConfig::UpdateLinkButtons() {
    Buttons = TLinkButtons{};
    if (CustomSelected < 0) {
        CurrentLinkText.clear();
        if (FEditMode == emAdd) {
            Buttons.Edit = true;
            Buttons.EditImage = liDone;
            Buttons.EditHint = kDoneHint;
            Buttons.Add = false;
            Buttons.EditBox = true;
        }
        return;
    }
    Buttons.Up = Buttons.Down = Buttons.Remove = Buttons.Edit = true;
    if (FEditMode == emEdit) {
        Buttons.EditImage = liDone;
        Buttons.EditHint = kDoneHint;
        Buttons.Add = false;
        Buttons.EditBox = true;
    }
}

void TfrConfig::btnUpClick() {
    if (CustomSelected <= 0 || CustomSelected >= int(CustomLinks.size())) return;
    std::swap(CustomLinks[CustomSelected], CustomLinks[CustomSelected - 1]);
    --CustomSelected;
}

void TfrConfig::btnDownClick() {
    if (CustomSelected < 0 || CustomSelected + 1 >= int(CustomLinks.size())) return;
    std::swap(CustomLinks[CustomSelected], CustomLinks[CustomSelected + 1]);
    ++CustomSelected;
}

void TfrConfig::btnRemRSSLinkClick() {
    if (CustomSelected < 0 || CustomSelected >= int(CustomLinks.size())) return;
    CustomLinks.erase(CustomLinks.begin() + CustomSelected);
    CustomSelected = -1;
    // An edit of the removed line has nothing left to change.
    if (FEditMode == emEdit) FEditMode = emNone;
    UpdateLinkButtons();
}

void TfrConfig::btnAddRSSLinkClick() {
    FEditMode = emAdd;
    CustomSelected = -1;
    UpdateLinkButtons();
    CurrentLinkText = std::string(kNewLinkText);
    view_.FocusLinkEdit();
}

bool TfrConfig::CheckLink(const std::string& address, int skip) {
    if (!BeginsWithHttp(address)) {
        view_.ShowError(kInvalidUrlMessage);
        return false;
    }
    for (int i = 0; i < int(CustomLinks.size()); ++i) {
        if (i != skip && EqualsIgnoringAsciiCase(CustomLinks[i].Address, address)) {
            view_.ShowError(kDuplicateUrlMessage);
            return false;
        }
    }
    return true;
}

void TfrConfig::btnEditRSSLinkClick() {
    switch (FEditMode) {
        case emNone:
            FEditMode = emEdit;
            UpdateLinkButtons();
            return;
        case emEdit: {
            if (CustomSelected < 0) {
                FEditMode = emNone;
                UpdateLinkButtons();
                return;
            }
            // Blanks around a pasted address are no part of it; a refused address stays in the
            // box as typed, so the user can correct it.
            const std::string address = NormalizeFeedAddress(TrimSpacesTabsAndLineBreaks(CurrentLinkText));
            if (!CheckLink(address, CustomSelected)) return;
            CustomLinks[CustomSelected].Address = address;
            CustomHint = address;
            FEditMode = emNone;
            UpdateLinkButtons();
            CurrentLinkText = address;
            return;
        }
        case emAdd: {
            // A feed: address (a browser's "subscribe" link) names its http or https feed.
            const std::string address = NormalizeFeedAddress(TrimSpacesTabsAndLineBreaks(CurrentLinkText));
            if (!CheckLink(address, -1)) return;
            CustomLinks.push_back({address, true});
            CustomSelected = int(CustomLinks.size()) - 1;
            CustomHint = address;
            FEditMode = emNone;
            UpdateLinkButtons();
            CurrentLinkText = address;
            return;
        }
    }
}

void TfrConfig::ReplaceSelectedLink(const std::string& feed) {
    if (CustomSelected < 0 || CustomSelected >= int(CustomLinks.size())) return;
    const auto listed = std::find_if(CustomLinks.begin(), CustomLinks.end(),
                                     [&feed](const TConfigLink& link) { return SameFeedAddress(link.Address, feed); });
    if (listed == CustomLinks.end()) {
        CustomLinks[std::size_t(CustomSelected)].Address = feed;
        CustomHint = CurrentLinkText = feed;
        return;
    }
    const int at = int(listed - CustomLinks.begin());
    CustomLinks.erase(CustomLinks.begin() + CustomSelected);
    lbCustRSSLinksClick(at > CustomSelected ? at - 1 : at);
}

void TfrConfig::ChooseTickerFont(const TFont& chosen) {
    const TColor color = SampleFont.Color;
    SampleFont = chosen;
    SampleFont.Style = chosen.Style & (fsBold | fsItalic);  // the dialog offers no effects
    // The dialog offers no colour: the ticker keeps its own (also a hand-edited one).
    SampleFont.Color = color;
}

void TfrConfig::btnDefaultTickerFontClick() { SampleFont = TFont{"Tahoma", 8, kTickerFontColor, 0}; }

void OpenConfig(TfrConfig& dialog, const TMainSettings& settings, const IRunAtLogon& runAtLogon,
                const TMonitorList& monitors) {
    dialog.tvConfigClick(settings.LastConfigPage);

    const int interval = settings.ReloadInterval;
    dialog.tbReloadTimeChange(ReloadPositionOf(interval));
    dialog.ReloadPositionAtOpen = dialog.ReloadPosition;
    dialog.ReloadOutOfRange = interval < kReloadStepMs || interval > (kMaxReloadPosition + 1) * kReloadStepMs;
    // The hand-edited period itself, until the user moves the track bar.
    if (dialog.ReloadOutOfRange) dialog.ReloadHint = MinutesHint(interval / 60000);

    const int maxItems = settings.Rotation.FMaxShowingItems;
    dialog.cbMaxRSSItemsClick(maxItems > 0);
    if (maxItems > 0) dialog.txtMaxRSSItemsChange(maxItems);
    dialog.AutoUrlJump = settings.Rotation.FAutoUrlJump;

    dialog.DefaultLinks = settings.DefaultFeeds;
    dialog.CustomLinks = settings.CustomFeeds;

    dialog.StartUp = dialog.StartUpAtOpen = runAtLogon.Enabled();
    dialog.SampleFont = settings.TickerFont;
    dialog.StillHeadlines = settings.StillHeadlines;
    dialog.FocusHotKey = settings.FocusHotKey;

    const auto speed = std::find(TickerSpeeds.begin(), TickerSpeeds.end(), settings.TickerSpeed);
    dialog.SpeedPosition = speed == TickerSpeeds.end() ? DefaultTickerSpeedIndex : int(speed - TickerSpeeds.begin());

    dialog.Monitors = monitors;
    dialog.MonitorCaptions.clear();
    for (int i = 0; i < int(monitors.size()); ++i) dialog.MonitorCaptions.push_back(MonitorCaption(monitors, i));
    dialog.MonitorSelected = dialog.MonitorSelectedAtOpen = MonitorIndexNamed(monitors, settings.Monitor);
    dialog.Stream = settings.Stream;
}

namespace {

// The settings as the dialog leaves them, over those it opened with.
TMainSettings DialogSettings(const TfrConfig& dialog, TMainSettings settings) {
    settings.LastConfigPage = dialog.SelectedPage;
    // A hand-edited period outside the track bar's range is kept unless the user moved the bar.
    if (!dialog.ReloadOutOfRange || dialog.ReloadPosition != dialog.ReloadPositionAtOpen)
        settings.ReloadInterval = dialog.ReloadPosition * kReloadStepMs + kReloadStepMs;
    settings.Rotation = {dialog.MaxItemsChecked ? dialog.MaxItems : 0, dialog.AutoUrlJump};
    settings.DefaultFeeds = dialog.DefaultLinks;
    settings.CustomFeeds = dialog.CustomLinks;
    settings.TickerFont = dialog.SampleFont;
    settings.StillHeadlines = dialog.StillHeadlines;
    settings.FocusHotKey = dialog.FocusHotKey;
    settings.TickerSpeed = TickerSpeeds[std::clamp(dialog.SpeedPosition, 0, int(TickerSpeeds.size()) - 1)];
    // A stored monitor that is unplugged now shows as the primary: it is kept unless the user
    // chose another.
    const int monitor = dialog.MonitorSelected;
    if (monitor != dialog.MonitorSelectedAtOpen && monitor >= 0 && monitor < int(dialog.Monitors.size())) {
        settings.Monitor =
            monitor == PrimaryMonitorIndex(dialog.Monitors) ? std::string() : dialog.Monitors[std::size_t(monitor)].DeviceName;
    }
    settings.Stream = dialog.Stream;
    return settings;
}

}  // namespace

bool ApplyConfig(const TfrConfig& dialog, TfrMain& main, IRunAtLogon& runAtLogon) {
    bool written = true;
    if (dialog.StartUp != dialog.StartUpAtOpen) written = runAtLogon.SetEnabled(dialog.StartUp);
    return main.ApplySettings(DialogSettings(dialog, main.Settings())) && written;
}

}  // namespace tw
