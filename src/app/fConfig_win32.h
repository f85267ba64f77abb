#pragma once
// The configuration dialog's window (Windows build): a modal dialog built in code from an empty
// in-memory template, its standard controls laid over TfrConfig, which holds the state and runs
// the handlers. The dialog manager gives the keyboard handling: Tab through the controls, Enter
// for OK, Esc for Cancel, Alt with the underlined letters.
#include "app/fConfig.h"

#include <windows.h>

#include <functional>
#include <string>

namespace tw {

// The controls' ids, for tests that drive the dialog.
enum TConfigControlId : int {
    idConfigTree = 100,
    idReloadTime, idMaxItemsCheck, idMaxItemsEdit, idMaxItemsSpin, idAutoUrlJump,
    idDefaultLinks, idCustomLinks, idCurrentLink,
    idLinkUp, idLinkDown, idLinkAdd, idLinkRemove, idLinkEdit,
    idStartUp, idFontSample, idFontButton, idDefaultFont, idTickerSpeed, idStatusBar, idMonitor,
    idAllFeeds, idOnlyNew, idExcludeWords, idIncludeWords, idHighlightWords, idMatchDescription, idAnnounce,
    idImportFeeds, idExportFeeds,
    idStillHeadlines, idFocusHotKey,
};

// The current user's Run key value "[Tidewire]". Enabling writes `command`, normally the
// running executable's full path in quotes.
class TRegistryRunAtLogon final : public IRunAtLogon {
public:
    explicit TRegistryRunAtLogon(std::wstring command = RunningProgramCommand());
    bool Enabled() const override;
    bool SetEnabled(bool enabled) override;

    // The running executable's full path, quoted: unquoted, a path with blanks would let the
    // shell start "C:\Program.exe" in its place.
    static std::wstring RunningProgramCommand();

private:
    std::wstring command_;
};

// Shows the dialog for `main` modally, owned by `owner`, and applies it on OK (OpenConfig before,
// ApplyConfig after; a failed write is reported in an error box). Returns true when it closed
// with OK; false at once, bringing the open one forward, while a dialog is already showing.
// `onShown` runs once the dialog and its controls exist (tests drive it from there).
bool ShowConfigDialog(HWND owner, TfrMain& main, IRunAtLogon& runAtLogon,
                      const std::function<void(HWND dialog)>& onShown = {});

// What the tray menu's "Configuration..." runs: the dialog over the real Run key.
bool mnuConfigurationClick(HWND owner, TfrMain& main);

}  // namespace tw
