#pragma once
// The desktop application bar: a component that turns the form owning it into a shell application
// bar. Docked against an edge of the screen it reserves that strip so other windows keep out of
// it; floating it is an ordinary window. The user drags it to an edge or into the middle of the
// screen, double-clicks its caption (any empty spot of it) to toggle between floating and the last
// docked edge, and with auto-hide it slides out of view and back when the mouse comes near. It
// docks on the monitor it is given (Monitor), follows it through display changes and registers
// again when the shell restarts.
//
// The component hooks its form (every message before and after the form sees it) and the
// application window. The shell and the parts of the window system the hooks do not offer are
// reached through TAppBarPlatform: on Windows SHAppBarMessage and user32; tests install a double.
#include "base/FormHooks.h"
#include "base/Geometry.h"
#include "controls/AppBarGeometry.h"
#include "controls/Monitors.h"
#include "controls/pkAppBarRegistrySaver.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>

namespace tw {

// Shell messages and notifications (the platform's ABM_* and ABN_* numbers).
enum TAppBarShellMessage : std::uint32_t {
    abmNew = 0, abmRemove = 1, abmQueryPos = 2, abmSetPos = 3, abmActivate = 6, abmGetAutoHideBar = 7,
    abmSetAutoHideBar = 8, abmWindowPosChanged = 9,
};
enum TAppBarShellNotification : std::uintptr_t {
    abnStateChange = 0, abnPosChanged = 1, abnFullScreenApp = 2, abnWindowArrange = 3,
};
// The callback message given to the shell at registration, and the message the bar posts to its
// form to reserve or release its strip after the form was shown or hidden.
inline constexpr std::uint32_t kAppBarCallbackMessage = 14947;
inline constexpr std::uint32_t kAppBarReapplyMessage = 14953;
// The auto-hide timer on the utility window.
inline constexpr std::uintptr_t kAutoHideTimerId = 1;
inline constexpr unsigned kAutoHideInterval = 1000;

// Form messages the bar acts on (the platform's values).
enum TAppBarFormMessage : std::uint32_t {
    wmActivate = 0x0006, wmGetMinMaxInfo = 0x0024, wmWindowPosChanging = 0x0046, wmWindowPosChanged = 0x0047,
    wmDisplayChange = 0x007E, wmNcHitTest = 0x0084, wmNcLButtonUp = 0x00A2, wmNcLButtonDblClk = 0x00A3, wmSysCommand = 0x0112,
    wmSizing = 0x0214, wmCaptureChanged = 0x0215, wmMoving = 0x0216, wmEnterSizeMove = 0x0231,
    wmExitSizeMove = 0x0232,
};
inline constexpr std::uintptr_t kScMinimize = 0xF020;
// SetWindowPos flags the bar reads in WM_WINDOWPOSCHANGING.
inline constexpr std::uint32_t kSwpNoSize = 0x0001, kSwpNoMove = 0x0002;
// Window styles the bar changes.
inline constexpr std::uint32_t kWsCaption = 0x00C00000, kWsThickFrame = 0x00040000, kWsBorder = 0x00800000,
                               kWsPopup = 0x80000000, kWsExToolWindow = 0x00000080;

// System metrics the bar reads (the platform's SM_* numbers).
enum TAppBarMetric : int {
    smCxScreen = 0, smCyScreen = 1, smCxVScroll = 2, smCyHScroll = 3, smCxBorder = 5, smCyBorder = 6,
    smSwapButton = 23, smCxDoubleClk = 36, smCyDoubleClk = 37, smCySmIcon = 50,
};
// Keys the bar reads (virtual-key codes).
enum TAppBarKey : int { vkLButton = 0x01, vkRButton = 0x02, vkControl = 0x11 };

// Records the bar reads and writes through a message's LParam; laid out as the platform's
// (the Windows adapter checks). Rect is laid out as RECT.
struct TAppBarMinMaxInfo {
    Point Reserved, MaxSize, MaxPosition, MinTrackSize, MaxTrackSize;
};
struct TAppBarWindowPos {
    std::uintptr_t Window = 0, InsertAfter = 0;
    std::int32_t X = 0, Y = 0, Cx = 0, Cy = 0;
    std::uint32_t Flags = 0;
};

// The application-bar record handed to the shell.
struct TAppBarData {
    TWindowId Window = 0;
    std::uint32_t CallbackMessage = kAppBarCallbackMessage;
    std::uint32_t Edge = 0;
    tw::Rect Rect;  // qualified: the field's name hides the type's
    std::intptr_t Param = 0;
};

// Window states as the saver stores them.
enum TWindowState : int { wsNormal = 0, wsMinimized = 1, wsMaximized = 2 };

// What the bar needs of the shell and the window system beyond the hooks.
class TAppBarPlatform {
public:
    virtual ~TAppBarPlatform() = default;
    // SHAppBarMessage; the rectangle of `data` comes back as the shell adjusted it.
    virtual std::uintptr_t ShellMessage(std::uint32_t message, TAppBarData& data) = 0;
    virtual int Metric(TAppBarMetric metric) = 0;
    virtual Rect WorkArea() = 0;
    // The system's "show window contents while dragging" setting.
    virtual bool FullWindowDrag() = 0;

    virtual Rect WindowRect(TWindowId window) = 0;
    virtual Rect ClientRectOnScreen(TWindowId window) = 0;
    // Moves and sizes without activating or changing the z-order, recomputing the frame.
    virtual void SetWindowRect(TWindowId window, const Rect& rect) = 0;
    // Paints what the last move uncovered, now.
    virtual void UpdateNow(TWindowId window) = 0;
    virtual bool IsVisible(TWindowId window) = 0;
    virtual void ShowWindow(TWindowId window, bool show) = 0;
    virtual TWindowState WindowState(TWindowId window) = 0;
    virtual void SetWindowState(TWindowId window, TWindowState state) = 0;
    // Whether a child window of `window` lies under the screen point.
    virtual bool ChildAt(TWindowId window, int x, int y) = 0;

    // GetKeyState and GetAsyncKeyState: whether the key is down.
    virtual bool KeyDown(TAppBarKey key) = 0;
    virtual bool AsyncKeyDown(TAppBarKey key) = 0;
    // The mouse position when the current message was posted.
    virtual Point MessagePos() = 0;
    virtual std::uint32_t TickCount() = 0;
    virtual TWindowId ActiveWindow() = 0;
    virtual TWindowId ForegroundWindow() = 0;
    // The form the program runs (0 until it has one): only for it does the bar show or hide the
    // application's taskbar button.
    virtual TWindowId MainForm() = 0;
    // The monitors of the desktop. The default is one: the screen with the work area.
    virtual TMonitorList Monitors();
    // The message the shell broadcasts when it starts again ("TaskbarCreated"); 0 for none.
    virtual std::uint32_t TaskbarCreatedMessage() { return 0; }
};

// The platform the bar uses: the installed one, else (on Windows) the real one. Natively there is
// no default; creating a bar without an installed platform raises.
TAppBarPlatform& AppBarPlatform();
// The real platform (Windows) or a refusal (natively), defined beside each build.
TAppBarPlatform& DefaultAppBarPlatform();
// Installs `platform` (tests); null restores the default. Only while no bar exists.
void SetAppBarPlatform(TAppBarPlatform* platform);

// Raised when the system has no timer left for auto-hide: "Not enough timers available".
class EOutOfResources : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

enum TpkAppBarShowBehavior : std::uint8_t { sbOnFloat = 0, sbShowAlways = 1, sbHideAlways = 2 };

class TpkAppBar;

// Sizes of the docked bar. Setting Height while docked at the top or bottom (Width at the left or
// right) resizes the form and places the bar again.
class TpkAppBarDocking : public TpkAddon {
public:
    explicit TpkAppBarDocking(TpkAppBar& bar);
    const char* ClassName() const override { return "TpkAppBarDocking"; }
    std::uint16_t Height() const { return height_; }
    void SetHeight(std::uint16_t value);
    std::uint16_t Width() const { return width_; }
    void SetWidth(std::uint16_t value);
    std::uint16_t MaxHeight = 300, MaxWidth = 400, MinHeight = 0, MinWidth = 0;
    TAppBarDockSizes Sizes() const { return {width_, height_, MaxWidth, MaxHeight, MinWidth, MinHeight}; }

private:
    friend class TpkAppBar;  // the end of a move loop takes the size the user dragged
    TpkAppBar& bar_;
    std::uint16_t height_ = 32, width_ = 32;
};

// Size limits of the floating bar (0 = no limit). A changed limit clamps a floating form at once
// while the group is enabled.
class TpkAppBarFloatRestrictions : public TpkAddon {
public:
    explicit TpkAppBarFloatRestrictions(TpkAppBar& bar);
    const char* ClassName() const override { return "TpkAppBarFloatRestrictions"; }
    std::uint16_t MaxWidth() const { return maxWidth_; }
    std::uint16_t MaxHeight() const { return maxHeight_; }
    std::uint16_t MinWidth() const { return minWidth_; }
    std::uint16_t MinHeight() const { return minHeight_; }
    void SetMaxWidth(std::uint16_t value) { Set(maxWidth_, value); }
    void SetMaxHeight(std::uint16_t value) { Set(maxHeight_, value); }
    void SetMinWidth(std::uint16_t value) { Set(minWidth_, value); }
    void SetMinHeight(std::uint16_t value) { Set(minHeight_, value); }
    TAppBarFloatLimits Limits() const { return {Enabled(), maxWidth_, maxHeight_, minWidth_, minHeight_}; }

private:
    void Set(std::uint16_t& field, std::uint16_t value);
    TpkAppBar& bar_;
    std::uint16_t maxWidth_ = 0, maxHeight_ = 0, minWidth_ = 0, minHeight_ = 0;
};

// Resizing steps; 0 forbids resizing in that direction.
class TpkAppBarSizing : public TpkAddon {
public:
    explicit TpkAppBarSizing(TpkComponent* owner) : TpkAddon(owner) { SetEnabled(true); }
    const char* ClassName() const override { return "TpkAppBarSizing"; }
    std::uint16_t HorizontalIncrement = 1, VerticalIncrement = 1;
};

// The slide of a bar moving to its place.
class TpkAppBarSliding : public TpkAddon {
public:
    explicit TpkAppBarSliding(TpkComponent* owner) : TpkAddon(owner) { SetEnabled(true); }
    const char* ClassName() const override { return "TpkAppBarSliding"; }
    int SlideTime = 200;  // milliseconds
};

class TpkAppBar : public TpkCustomAppHookComponent {
public:
    // `owner` must be a form (see TpkFormHookComponent). Registers the bar with the shell, places it
    // (floating at first) and posts the form the end of a move loop, so the placement set meanwhile
    // is applied with the shell once the form runs.
    explicit TpkAppBar(TpkComponent* owner);
    ~TpkAppBar() override;
    const char* ClassName() const override { return "TpkAppBar"; }

    TpkAppBarEdges AllowedEdges = kAllAppBarEdges;
    bool DontSlideOnTaskBarWhenAutoHide = false;
    // The placement before the last change: where a caption double-click goes.
    int LastDockingPlace = bpTop;

    bool AutoHide() const { return autoHide_; }
    void SetAutoHide(bool value);
    // The drag's placement while a drag is under way, else the current one.
    int Placement() const { return dragPlacement_ != kNoPlacement ? dragPlacement_ : placement_; }
    // Places the bar at `value` (an edge, bpFloat, or kNoPlacement to unregister).
    void SetPlacement(int value);
    TpkAppBarShowBehavior TaskIcon() const { return taskIcon_; }
    void SetTaskIcon(TpkAppBarShowBehavior value);
    TpkAppBarShowBehavior TitleBar() const { return titleBar_; }
    void SetTitleBar(TpkAppBarShowBehavior value);

    TpkAppBarDocking& Docking() { return *docking_; }
    TpkAppBarFloatRestrictions& FloatRestrictions() { return *floatRestrictions_; }
    TpkAppBarSizing& Sizing() { return *sizing_; }
    TpkAppBarSliding& Sliding() { return *sliding_; }
    TpkAppBarRegistrySaver& RegistrySaver() { return *saver_; }

    bool Registered() const { return registered_; }
    bool Shown() const { return shown_; }
    bool PlacementSettled() const { return settled_; }
    bool FullScreenAppOpen() const { return fullScreenApp_; }
    // Whether the bar wants the topmost band (the window leaves it while a full-screen program is
    // open); what the saver stores as "Always on Top".
    bool TopmostWanted() const { return topmostWanted_; }
    // The window rectangle a floating bar takes.
    const Rect& FloatRect() const { return floatRect_; }
    void SetFloatRect(const Rect& rect) { floatRect_ = rect; }

    // The monitor the bar docks on, by the system's device name ("\\.\DISPLAY2"); empty for the
    // primary. While the named monitor is not connected the bar docks on the primary, and on the
    // named one again once it is back (at the next display change).
    const std::string& Monitor() const { return monitor_; }
    void SetMonitor(const std::string& name);
    // The monitor the bar lies on: docked, the one Monitor names (or the primary in its stead);
    // floating, the one its floating rectangle lies on most.
    TMonitor CurrentMonitor() const;
    // The monitors as last read: at every placement, move loop and display change.
    const TMonitorList& Monitors() const { return monitors_; }
    // The screen as the bar's arithmetic sees it: the monitor the bar docks on.
    TAppBarScreen Screen() const;

    // Places the bar again where it is.
    virtual void Replace() { SetPlacement(Placement()); }
    // Auto-hide: slides the bar out of view (false) or back (true).
    void HideShow(bool shown);

    using TNotify = std::function<void(TpkAppBar& sender)>;
    TNotify OnActivate, OnDeactivate, OnClick, OnDblClick, OnExitSizeMove, OnOtherAppBarPosChanged,
        OnUnableToAutoHide;
    std::function<void(TpkAppBar& sender, int newPlacement)> OnDocked, OnDockMove;
    std::function<void(TpkAppBar& sender, int& newPlacement)> OnDocking;
    std::function<void(TpkAppBar& sender, bool open)> OnFullScreenApp;
    std::function<void(TpkAppBar& sender, bool beginning)> OnWindowArrange;
    std::function<void(TpkAppBar& sender, bool& allowOperation)> OnHiding, OnUnhiding;
    // The user docked the bar on another monitor (a drag onto its edge, or a double-click of a bar
    // floating on it): Monitor now names that monitor ("" for the primary). The owner stores it.
    std::function<void(TpkAppBar& sender, const std::string& monitor)> OnMonitorChosen;
    // The monitor the bar lies on changed (its name, bounds or density): the owner can match the
    // bar's density to `monitor.Dpi` where the system sends no WM_DPICHANGED.
    std::function<void(TpkAppBar& sender, const TMonitor& monitor)> OnMonitorChanged;

protected:
    void Loaded() override;
    void BeforeFormMessage(TMessage& message, bool& handled) override;
    void AfterFormMessage(TMessage& message) override;
    void UtilityWndProc(TMessage& message) override;
    void BeforeAppMessage(TMessage& message, bool& handled) override;

private:
    friend class TpkAppBarDocking;
    friend class TpkAppBarFloatRestrictions;

    std::uintptr_t Shell(std::uint32_t message);
    std::uintptr_t Shell(std::uint32_t message, TAppBarData& data);
    void Register();
    void Unregister();
    void ReleaseStrip();
    bool ReserveStrip(int edge, Rect& rect);
    Rect DockedRectFor(int edge);
    Rect DockedRectFor(int edge, const TMonitor& monitor);
    const TMonitor& DockMonitor() const;
    TAppBarScreen ScreenOf(const TMonitor& monitor) const;
    void RefreshMonitors();
    bool AdoptMonitor(const TMonitor& monitor);
    void NotifyMonitor();
    void PlaceDocked(int edge);
    Rect AutoHideArea() const;
    Rect AutoHideArea(const TMonitor& monitor) const;
    bool AutoHiding() const { return registered_ && IsDockedEdge(placement_) && autoHide_; }
    void SlideTo(const Rect& target);
    void MoveWindowTo(const Rect& rect);
    void AdjustStyles(int placement, bool dragging);
    void UpdateTaskIcon();
    void RestartAutoHideTimer();
    void AutoHideTick();
    bool ClampFloatingForm();

    void HandleEnterSizeMove();
    void HandleMoving(Rect& proposed);
    void HandleCaptureChanged();
    void HandleExitSizeMove();
    void HandleSizing(int edge, Rect& proposed);
    void HandleGetMinMaxInfo(TAppBarMinMaxInfo& info);
    void HandleNcHitTest(TMessage& message);
    void HandleShellNotification(std::uintptr_t code, std::intptr_t lParam);
    void HandleReapply();
    void HandleActivate(bool active);
    void HandleClosing();
    void HandleDisplayChange();
    void HandleTaskbarCreated();
    void HandleDoubleClick();
    void PlaceAfterDrag(int placement);

    TAppBarPlatform& abPlatform_;
    std::unique_ptr<TpkAppBarDocking> docking_;
    std::unique_ptr<TpkAppBarFloatRestrictions> floatRestrictions_;
    std::unique_ptr<TpkAppBarSizing> sizing_;
    std::unique_ptr<TpkAppBarSliding> sliding_;
    std::unique_ptr<TpkAppBarRegistrySaver> saver_;

    int placement_ = bpFloat;
    int dragPlacement_ = kNoPlacement;
    bool autoHide_ = false;
    TpkAppBarShowBehavior taskIcon_ = sbOnFloat;
    TpkAppBarShowBehavior titleBar_ = sbOnFloat;
    bool registered_ = false;
    bool shown_ = true;
    bool moving_ = false;
    bool settled_ = false;
    bool selfMoving_ = false;  // the bar's own moves pass the settled guard
    bool fullScreenApp_ = false;
    bool topmostWanted_ = true;
    bool formHasBorder_ = false;
    bool formToolWindow_ = false;
    bool wantRegistered_ = false;  // until a way out: a restarted shell is asked again
    std::uint32_t taskbarCreatedMessage_ = 0;
    Rect floatRect_;
    Rect movingRect_;
    std::string monitor_;
    TMonitorList monitors_;
    TMonitor dragMonitor_;      // under the mouse at the last WM_MOVING
    TMonitor reportedMonitor_;  // what OnMonitorChanged last told
};

}  // namespace tw
