#pragma once
// TTrayIcon: the program's icon in the notification area (`sysTray`). It shows a tooltip, pops up
// a menu and restores the application on chosen mouse actions, raises mouse events, can blink,
// can draw a short text as its icon, and decides whether the application has a taskbar button.
//
// The rules (what the shell is handed, which action runs for which mouse message, which icon is
// shown in which blink phase, when the icon and the taskbar button come and go) are portable; the
// platform (ITrayIconHost) talks to the shell, runs the timers and makes the icons.
//
// On Windows, TrayIcon_win32.h makes one with its utility window and the real shell:
//     auto tray = tw::CreateTrayIcon();
//     tray->SetHint("Tidewire v1.1");
//     tray->Action.Popup = tw::paRightDown;       // the constructor's values, shown for clarity
//     tray->Action.Restore = tw::paLeftDblClick;
//     tray->SetPopupMenu(&trayMenu);              // an ITrayPopupMenu, e.g. tw::TMenuTrayPopup
//     tray->OnMouseLeftDblClick = [this](tw::TTrayIcon&) { ... };
//     tray->SetShowTaskEntry(tw::tyNever);
//     tray->SetShowIcon(tw::tyAllways);           // adds the icon now
#include "base/Geometry.h"
#include "base/pkClasses.h"
#include "controls/Graphics.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tw {

enum TTrayAction { paLeftDown, paRightDown, paLeftUp, paRightUp, paLeftDblClick, paRightDblClick, paNone };
enum TTrayShow { tyAllways, tyNever, tyOnRestore, tyOnMinimized };
enum TTrayMode { trmIcon, trmText };
enum TTrayTextAlign { ttgCenter, ttgCustom, ttgCenterBottom, ttgCenterTop, ttgCenterLeft, ttgCenterRight };

// An icon of the platform (an HICON on Windows); 0 is none. TTrayIcon never owns one.
using TIconHandle = std::uintptr_t;

// The shell's callback message to the utility window; its long parameter is the mouse message.
inline constexpr std::uint32_t kTrayCallbackMessage = 1025;
// The id of our one icon.
inline constexpr std::uint32_t kTrayIconId = 1;
// The tooltip field: at most 63 bytes of text and a terminating zero.
inline constexpr std::size_t kTrayTipBytes = 64;

// The mouse messages the shell hands on (the platform's values).
inline constexpr std::uint32_t kTrayMouseMove = 0x0200;
inline constexpr std::uint32_t kTrayLeftDown = 0x0201;
inline constexpr std::uint32_t kTrayLeftUp = 0x0202;
inline constexpr std::uint32_t kTrayLeftDblClick = 0x0203;
inline constexpr std::uint32_t kTrayRightDown = 0x0204;
inline constexpr std::uint32_t kTrayRightUp = 0x0205;
inline constexpr std::uint32_t kTrayRightDblClick = 0x0206;

// Which fields of the record the shell reads (the platform's NIF_* values).
enum TTrayIconFlags : unsigned { tifMessage = 1, tifIcon = 2, tifTip = 4 };

enum class TTrayNotify { Add, Modify, Delete };

// What the shell is handed for our icon (the window, id and callback are the platform's).
struct TTrayIconRecord {
    unsigned Flags = 0;  // TTrayIconFlags
    TIconHandle Icon = 0;
    std::string Tip;  // UTF-8, at most kTrayTipBytes - 1 bytes, empty without tifTip
    bool operator==(const TTrayIconRecord&) const = default;
};

// The tooltip text for `hint`: cut to at most kTrayTipBytes - 1 bytes, never inside a UTF-8
// character.
std::string TrayTipText(std::string_view hint);

// The record for the icon `icon`: message and icon always, the tooltip only with `showHint` and
// a non-empty `hint`.
TTrayIconRecord MakeTrayIconRecord(bool showHint, std::string_view hint, TIconHandle icon);

// The mouse action a shell callback stands for; paNone for any other message.
TTrayAction TrayActionFor(std::uint32_t mouseMessage);

// Whether the application should have a taskbar button under `rule`.
bool TaskEntryVisible(TTrayShow rule, bool minimized);

// The text's top-left corner in the 16 x 16 icon for a text `textWidth` x `textHeight`.
Point TrayTextPosition(TTrayTextAlign align, int textWidth, int textHeight, int posX, int posY);

// The colour the text icon's background is filled with and made transparent by: the font's
// colour (resolved to RGB, so a system colour cannot collide with it) minus 1, or plus 1 for black.
TColor TrayMaskColor(TColor resolvedFontColor);

// `IconIndex` held to -1 .. count - 1.
int ClampIconIndex(int index, int count);

struct TTrayIconAction {
    TTrayAction Popup = paRightDown;
    TTrayAction Restore = paLeftDblClick;
};

struct TTrayIconBlink {
    bool Enabled = false;
    int Interval = 1000;  // ms
    bool operator==(const TTrayIconBlink&) const = default;
};

// The text drawn as the icon in trmText mode.
struct TTrayIconLabel {
    TTrayTextAlign Alignment = ttgCenter;
    std::string Text;
    TFont Font{"Arial", 10, clBlack, fsBold};
    int PosX = 0, PosY = 0;  // ttgCustom only
    bool operator==(const TTrayIconLabel&) const = default;
};

class TTrayIcon;

// The menu the icon pops up (the lead's bar popup menu, or TMenuTrayPopup on Windows). When it is
// also a TpkComponent, the icon lets go of it when it is destroyed.
class ITrayPopupMenu {
public:
    virtual ~ITrayPopupMenu() = default;
    // Shows the menu at screen point (x, y) and returns when it has closed; `sender` is the
    // component that popped it up.
    virtual void Popup(int x, int y, TTrayIcon& sender) = 0;
};

// A list of icons to pick from by `IconIndex`; it keeps its icons alive. When it is also a
// TpkComponent, the icon lets go of it when it is destroyed.
class ITrayIconList {
public:
    virtual ~ITrayIconList() = default;
    virtual int Count() const = 0;
    virtual TIconHandle IconAt(int index) const = 0;
};

enum class TTrayTimer { TaskEntry, Blink };

// What the icon needs from the platform.
class ITrayIconHost {
public:
    virtual ~ITrayIconHost() = default;
    // Hands the record to the shell; the answer is not acted on (a refused add still counts).
    virtual bool NotifyIcon(TTrayNotify operation, const TTrayIconRecord& record) = 0;
    // The application's taskbar button.
    virtual void ShowApplicationButton(bool show) = 0;
    // The system's own taskbar window.
    virtual void ShowSystemTaskbar(bool show) = 0;
    virtual void RestoreApplication() = 0;
    virtual void ForegroundApplication() = 0;
    // Whether the main form is minimised now.
    virtual bool ApplicationMinimized() = 0;
    // Brings the utility window to the front, pops `menu` up at the cursor, and afterwards lets
    // the application window see a null message so the menu closes when the user clicks elsewhere.
    virtual void PopupAtCursor(ITrayPopupMenu& menu, TTrayIcon& sender) = 0;
    // Runs the timer every `milliseconds`, or stops it for 0.
    virtual void RunTimer(TTrayTimer timer, int milliseconds) = 0;
    virtual TIconHandle ApplicationIcon() = 0;
    virtual TIconHandle BlankIcon() = 0;
    // Draws `label` into a new 16 x 16 icon which replaces (and frees) the previous text icon.
    virtual TIconHandle RenderTextIcon(const TTrayIconLabel& label) = 0;
};

class TTrayIcon : public TpkComponent {
public:
    // Starts the task-entry timer (250 ms). The caller hands the application's minimise and
    // restore notifications to ApplicationMinimized / ApplicationRestored.
    explicit TTrayIcon(std::unique_ptr<ITrayIconHost> host, TpkComponent* owner = nullptr);
    // Removes the icon if added and shows the system taskbar again.
    ~TTrayIcon() override;
    const char* ClassName() const override { return "TTrayIcon"; }

    TTrayIconAction Action;

    const TTrayIconBlink& Blink() const { return blink_; }
    // Starts or stops the blink timer; turning blinking off shows the icon (OnBlinkVisible).
    void SetBlink(const TTrayIconBlink& blink);

    bool Enabled() const { return enabled_; }
    // False removes the icon, shows the taskbar button and the system taskbar.
    void SetEnabled(bool value);

    const std::string& Hint() const { return hint_; }
    void SetHint(std::string hint);
    bool ShowHint() const { return showHint_; }
    void SetShowHint(bool value);

    TIconHandle Icon() const { return icon_; }
    void SetIcon(TIconHandle icon);

    ITrayIconList* IconList() const { return iconList_; }
    // None sets IconIndex to -1 and Icon to the default icon.
    void SetIconList(ITrayIconList* list);
    int IconIndex() const { return iconIndex_; }
    // Only with an IconList: clamped to -1 .. count - 1; -1 gives the default icon.
    void SetIconIndex(int index);

    const TTrayIconLabel& IconText() const { return iconText_; }
    void SetIconText(const TTrayIconLabel& label);
    TTrayMode Mode() const { return mode_; }
    void SetMode(TTrayMode mode);

    ITrayPopupMenu* PopupMenu() const { return popupMenu_; }
    void SetPopupMenu(ITrayPopupMenu* menu);

    TTrayShow ShowIcon() const { return showIcon_; }
    // tyAllways (or tyOnMinimized while minimised) adds the icon, again if it is there; tyNever
    // removes it.
    void SetShowIcon(TTrayShow value);
    bool ShowTaskBar() const { return showTaskBar_; }
    void SetShowTaskBar(bool value);
    // Applied by the task-entry timer.
    TTrayShow ShowTaskEntry() const { return showTaskEntry_; }
    void SetShowTaskEntry(TTrayShow value);
    // Whether the task-entry rule is applied every 250 ms (the default), or, off, only when its
    // outcome can change: at once, at a new ShowTaskEntry, at the application's minimise and
    // restore, and when the platform reports the application window shown or hidden
    // (ApplicationButtonChanged). Off, an idle program is never woken for it.
    bool TaskEntryTimer() const { return taskEntryTimer_; }
    void SetTaskEntryTimer(bool on);

    using TNotifyEvent = std::function<void(TTrayIcon& sender)>;
    TNotifyEvent OnMouseMove, OnMouseLeftDown, OnMouseLeftUp, OnMouseLeftDblClick, OnMouseRightDown,
        OnMouseRightUp, OnMouseRightDblClick, OnBlinkVisible, OnBlinkInVisible;

    // From the platform: the shell's callback (its long parameter), the timers, the application's
    // minimise and restore, and a restarted shell (the icon is added again when it was there).
    void HandleCallback(std::uint32_t mouseMessage);
    void TaskEntryTick();
    void BlinkTick();
    void ApplicationMinimized();
    void ApplicationRestored();
    void ShellRestarted();
    // The application window was shown or hidden by someone: the rule is applied again when the
    // timer does not do it.
    void ApplicationButtonChanged();

    bool Added() const { return added_; }
    bool Minimized() const { return minimized_; }
    bool BlinkVisible() const { return blinkVisible_; }
    // The icon handed to the shell now.
    TIconHandle IconShown() const;
    TTrayIconRecord Record() const { return MakeTrayIconRecord(showHint_, hint_, IconShown()); }

    ITrayIconHost& Host() const { return *host_; }

protected:
    void Notification(TpkComponent* component, TOperation operation) override;

private:
    void AddIcon();
    void UpdateIcon();
    void RemoveIcon();
    void RedrawTextIcon();
    void Dispatch(TTrayAction action);
    // The task-entry rule, now, where no timer applies it.
    void ApplyTaskEntryOnChange();
    static void Raise(const TNotifyEvent& event, TTrayIcon& sender) {
        if (event) event(sender);
    }

    std::unique_ptr<ITrayIconHost> host_;
    TTrayIconBlink blink_;
    bool enabled_ = true;
    std::string hint_;
    bool showHint_ = true;
    TIconHandle icon_ = 0;
    TIconHandle defaultIcon_ = 0;  // a copy of Icon only in a form designer; empty at run time
    TIconHandle textIcon_ = 0;
    ITrayIconList* iconList_ = nullptr;
    TpkComponent* iconListComponent_ = nullptr;  // the same object, when it is a component
    int iconIndex_ = -1;
    TTrayIconLabel iconText_;
    TTrayMode mode_ = trmIcon;
    ITrayPopupMenu* popupMenu_ = nullptr;
    TpkComponent* popupComponent_ = nullptr;
    TTrayShow showIcon_ = tyOnMinimized;
    bool showTaskBar_ = true;
    TTrayShow showTaskEntry_ = tyOnRestore;
    bool taskEntryTimer_ = true;
    bool added_ = false;
    bool minimized_ = false;
    bool blinkVisible_ = true;
};

}  // namespace tw
