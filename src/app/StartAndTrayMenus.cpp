#include "app/StartAndTrayMenus.h"

#include "app/BarColors.h"

namespace tw {

namespace {

// What both menus share: owner-drawn in the XP style with the form's font, and caption
// separators in white Arial over a silver-to-gray gradient.
void ConfigureBarMenu(TCustomBarPopupMenu& menu) {
    menu.MenuStyle = msWindowsXP;
    menu.UseSystemFont = false;
    menu.MenuFont = TFont{"MS Sans Serif", 8, clWindowText, 0};
    menu.Bar.GradientStyle = gsHorizontal;
    menu.Separators.GradientStyle = gsVertical;
    menu.Separators.FadeWidth = 72;
    menu.Separators.SeparatorStyle = ssCaption;
    menu.Separators.UseSystemFont = false;
    menu.Separators.Font = TFont{"Arial", 8, clWhite, fsBold};
    ApplyMenuColors(menu, MenuColorsFor(false));
}

TBarMenuItem& AddCommand(TBarMenuItem& root, std::string caption, int image, const std::function<void()>& command) {
    TBarMenuItem& item = root.Add(std::move(caption));
    item.SetImageIndex(image);
    if (command) item.OnClick = [command](TBarMenuItem&) { command(); };
    return item;
}

void AddEntries(TBarMenuItem& target, const std::vector<TFeedMenuEntry>& entries,
                const std::function<void(const std::string&)>& onFeed) {
    target.Clear();
    for (const TFeedMenuEntry& entry : entries) {
        TBarMenuItem& item = target.Add(entry.Caption);
        item.SetHint(entry.Hint);
        item.Tag = entry.Tag;
        if (entry.IsSeparator()) continue;
        item.NoPrefix = true;  // an address's "&" is no hot-key marker
        item.OnClick = [onFeed](TBarMenuItem& sender) {
            if (onFeed) onFeed(sender.Caption());
        };
    }
}

}  // namespace

void ConfigureQuickStartMenu(TCustomBarPopupMenu& pmRSS) {
    ConfigureBarMenu(pmRSS);
    pmRSS.Bar.Width = 26;
    pmRSS.Bar.BarCaption.Caption = std::string(kQuickStartCaption);
    pmRSS.Bar.BarCaption.Font = TFont{"Arial", 12, clWhite, fsBold};  // 16 pixels high
    pmRSS.Loaded();
}

TTrayMenuEntries BuildTrayMenu(TCustomBarPopupMenu& pmTray, const TTrayMenuCommands& commands) {
    ConfigureBarMenu(pmTray);
    pmTray.Bar.Width = 18;
    pmTray.Bar.BarCaption.Caption = "Tidewire";
    pmTray.Bar.BarCaption.Font = TFont{"Tahoma", 8, clWhite, fsBold};
    pmTray.Separators.Fade = true;

    TTrayMenuEntries entries;
    pmTray.BeginItemsUpdate();
    TBarMenuItem& root = pmTray.Items();
    root.Clear();
    entries.Pause = &AddCommand(root, std::string(kPauseTicker), -1, commands.Pause);
    entries.HideShow = &AddCommand(root, std::string(kHideTicker), 5, commands.HideShow);
    root.Add("-");
    entries.RSSFeeds = &AddCommand(root, "RSS Feeds", 0, {});
    root.Add("-");
    AddCommand(root, "Configuration...", 1, commands.Configuration);
    root.Add("-");
    AddCommand(root, "About...", 2, commands.About);
    AddCommand(root, "Help", 3, commands.Help);
    root.Add("-");
    AddCommand(root, "Close", 4, commands.Close);
    pmTray.EndItemsUpdate();
    pmTray.Loaded();
    return entries;
}

void BuildFeedMenu(TCustomBarPopupMenu& menu, const std::vector<TFeedMenuEntry>& entries,
                   const std::function<void(const std::string&)>& onFeed) {
    menu.BeginItemsUpdate();
    AddEntries(menu.Items(), entries, onFeed);
    menu.EndItemsUpdate();
}

void BuildFeedMenu(TBarMenuItem& target, const std::vector<TFeedMenuEntry>& entries,
                   const std::function<void(const std::string&)>& onFeed) {
    AddEntries(target, entries, onFeed);
}

void PauseEntryFor(TBarMenuItem& pause, bool paused) {
    pause.SetCaption(std::string(paused ? kResumeTicker : kPauseTicker));
}

void ShowHideEntryFor(TBarMenuItem& mnuHideShow, bool barVisible) {
    mnuHideShow.SetCaption(std::string(barVisible ? kHideTicker : kShowTicker));
    mnuHideShow.SetDefault(!barVisible);
}

}  // namespace tw
