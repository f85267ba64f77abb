#include "controls/pkAppBar.h"

#include "base/AsciiText.h"

#include <algorithm>

namespace tw {

namespace {

TAppBarPlatform* g_installedAppBarPlatform = nullptr;

// Sets a flag for the life of a scope and puts the old value back.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = old_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& flag_;
    bool old_;
};


bool IsPlacementValue(int p) { return (p >= bpLeft && p <= bpFloat) || p == kNoPlacement; }

// What the bar tells of a monitor: a work area that changes (the bar's own strip) is no news.
bool SameMonitor(const TMonitor& a, const TMonitor& b) {
    return a.DeviceName == b.DeviceName && a.Bounds == b.Bounds && a.Dpi == b.Dpi && a.Primary == b.Primary;
}

}  // namespace

TAppBarPlatform& AppBarPlatform() {
    return g_installedAppBarPlatform != nullptr ? *g_installedAppBarPlatform : DefaultAppBarPlatform();
}

void SetAppBarPlatform(TAppBarPlatform* platform) { g_installedAppBarPlatform = platform; }

TMonitorList TAppBarPlatform::Monitors() {
    TMonitor screen;
    screen.Bounds = {0, 0, Metric(smCxScreen), Metric(smCyScreen)};
    screen.WorkArea = WorkArea();
    screen.Primary = true;
    return {screen};
}

// ---------------------------------------------------------------------------------------------
// Settings groups

TpkAppBarDocking::TpkAppBarDocking(TpkAppBar& bar) : TpkAddon(&bar), bar_(bar) { SetEnabled(true); }

void TpkAppBarDocking::SetHeight(std::uint16_t value) {
    if (value == height_) return;
    height_ = value;
    if (bar_.IsDesigning() || (bar_.placement_ != bpTop && bar_.placement_ != bpBottom)) return;
    Rect r = bar_.abPlatform_.WindowRect(bar_.HookedWindow());
    r.Bottom = r.Top + value;
    bar_.MoveWindowTo(r);
    bar_.Replace();
}

void TpkAppBarDocking::SetWidth(std::uint16_t value) {
    if (value == width_) return;
    width_ = value;
    if (bar_.IsDesigning() || !IsVerticalEdge(bar_.placement_)) return;
    Rect r = bar_.abPlatform_.WindowRect(bar_.HookedWindow());
    r.Right = r.Left + value;
    bar_.MoveWindowTo(r);
    bar_.Replace();
}

TpkAppBarFloatRestrictions::TpkAppBarFloatRestrictions(TpkAppBar& bar) : TpkAddon(&bar), bar_(bar) {}

void TpkAppBarFloatRestrictions::Set(std::uint16_t& field, std::uint16_t value) {
    if (field == value) return;
    field = value;
    if (Enabled() && bar_.placement_ == bpFloat && !bar_.IsDesigning() && !bar_.IsDestroying())
        bar_.ClampFloatingForm();
}

// ---------------------------------------------------------------------------------------------
// Life

TpkAppBar::TpkAppBar(TpkComponent* owner) : TpkCustomAppHookComponent(owner), abPlatform_(AppBarPlatform()) {
    docking_ = std::make_unique<TpkAppBarDocking>(*this);
    floatRestrictions_ = std::make_unique<TpkAppBarFloatRestrictions>(*this);
    sizing_ = std::make_unique<TpkAppBarSizing>(this);
    sliding_ = std::make_unique<TpkAppBarSliding>(this);
    saver_ = std::make_unique<TpkAppBarRegistrySaver>(*this);

    // The form's own frame, before the bar adds or removes a caption.
    formHasBorder_ = (Style() & (kWsCaption | kWsThickFrame | kWsBorder)) != 0;
    formToolWindow_ = (ExStyle() & kWsExToolWindow) != 0;
    SetAlwaysOnTop(true);
    topmostWanted_ = true;
    floatRect_ = abPlatform_.WindowRect(HookedWindow());
    RefreshMonitors();
    reportedMonitor_ = CurrentMonitor();
    if (IsDesigning()) return;
    taskbarCreatedMessage_ = abPlatform_.TaskbarCreatedMessage();
    Register();
    SetPlacement(placement_);
    // Once the form runs, the end of this empty move loop applies the placement the owner set
    // meanwhile, with the shell.
    Platform().PostTo(HookedWindow(), wmEnterSizeMove, 0, 0);
    Platform().PostTo(HookedWindow(), wmExitSizeMove, 0, 0);
}

TpkAppBar::~TpkAppBar() {
    Destroying();
    Platform().StopTimer(UtilityWindow(), kAutoHideTimerId);
    Unregister();
}

void TpkAppBar::Loaded() {
    TpkCustomAppHookComponent::Loaded();
    saver_->Load();
}

// ---------------------------------------------------------------------------------------------
// Shell

std::uintptr_t TpkAppBar::Shell(std::uint32_t message) {
    TAppBarData data;
    return Shell(message, data);
}

std::uintptr_t TpkAppBar::Shell(std::uint32_t message, TAppBarData& data) {
    if (IsDesigning() || IsLoading()) return 1;
    data.Window = HookedWindow();
    data.CallbackMessage = kAppBarCallbackMessage;
    return abPlatform_.ShellMessage(message, data);
}

void TpkAppBar::Register() {
    wantRegistered_ = true;
    if (registered_) return;
    registered_ = Shell(abmNew) != 0;
}

void TpkAppBar::Unregister() {
    wantRegistered_ = false;
    if (!registered_) return;
    registered_ = false;
    Shell(abmRemove);
}

void TpkAppBar::ReleaseStrip() {
    if (!registered_) return;
    TAppBarData d;
    d.Edge = bpFloat;
    Shell(abmSetPos, d);
}

bool TpkAppBar::ReserveStrip(int edge, Rect& rect) {
    // Reserving for an invisible form would leave a strip nobody sees; the re-apply after
    // WM_SHOWWINDOW reserves it.
    if (!registered_ || !abPlatform_.IsVisible(HookedWindow())) return false;
    TAppBarData d;
    d.Edge = static_cast<std::uint32_t>(edge);
    d.Rect = rect;
    Shell(abmSetPos, d);
    rect = d.Rect;
    return true;
}

TAppBarScreen TpkAppBar::Screen() const { return ScreenOf(DockMonitor()); }

TAppBarScreen TpkAppBar::ScreenOf(const TMonitor& monitor) const {
    TAppBarScreen s;
    s.Left = monitor.Bounds.Left;
    s.Top = monitor.Bounds.Top;
    s.Width = monitor.Bounds.Width();
    s.Height = monitor.Bounds.Height();
    s.WorkArea = monitor.WorkArea;
    s.VScrollWidth = abPlatform_.Metric(smCxVScroll);
    s.HScrollHeight = abPlatform_.Metric(smCyHScroll);
    s.BorderWidth = abPlatform_.Metric(smCxBorder);
    s.BorderHeight = abPlatform_.Metric(smCyBorder);
    return s;
}

Rect TpkAppBar::AutoHideArea() const { return AutoHideArea(DockMonitor()); }

Rect TpkAppBar::AutoHideArea(const TMonitor& monitor) const {
    return DontSlideOnTaskBarWhenAutoHide ? monitor.WorkArea : monitor.Bounds;
}

Rect TpkAppBar::DockedRectFor(int edge) { return DockedRectFor(edge, DockMonitor()); }

// The monitor's own rectangle, cut by the shell for the taskbar and the other bars. Not its work
// area: once the bar has reserved its strip the work area lacks it, and the bar would step down
// by its own height at every placement.
Rect TpkAppBar::DockedRectFor(int edge, const TMonitor& monitor) {
    const Rect start = autoHide_ ? AutoHideArea(monitor) : monitor.Bounds;
    return DockedRect(static_cast<TpkAppBarPlacement>(edge), start, autoHide_, docking_->Sizes(),
                      [this](TpkAppBarPlacement e, Rect& proposed) {
                          TAppBarData d;
                          d.Edge = e;
                          d.Rect = proposed;
                          Shell(abmQueryPos, d);
                          proposed = d.Rect;
                      });
}

// ---------------------------------------------------------------------------------------------
// Monitors

void TpkAppBar::RefreshMonitors() {
    monitors_ = abPlatform_.Monitors();
    if (monitors_.empty()) monitors_ = abPlatform_.TAppBarPlatform::Monitors();
}

const TMonitor& TpkAppBar::DockMonitor() const {
    return monitors_[static_cast<std::size_t>(MonitorIndexNamed(monitors_, monitor_))];
}

TMonitor TpkAppBar::CurrentMonitor() const {
    if (IsDockedEdge(placement_)) return DockMonitor();
    return monitors_[static_cast<std::size_t>(MonitorIndexOfRect(monitors_, floatRect_))];
}

void TpkAppBar::SetMonitor(const std::string& name) {
    if (EqualsIgnoringAsciiCase(name, monitor_)) return;
    monitor_ = name;
    if (IsDesigning()) return;
    if (IsDockedEdge(placement_)) {
        Replace();
    } else {
        RefreshMonitors();
        NotifyMonitor();
    }
}

// The user put the bar on `monitor`; true when Monitor changed for it. A bar standing in on the
// primary for a monitor that is gone takes the user's new choice too.
bool TpkAppBar::AdoptMonitor(const TMonitor& monitor) {
    const std::string name = monitor.Primary ? std::string() : monitor.DeviceName;
    const bool namedIsConnected =
        monitor_.empty() || std::any_of(monitors_.begin(), monitors_.end(), [this](const TMonitor& m) {
            return EqualsIgnoringAsciiCase(m.DeviceName, monitor_);
        });
    if (namedIsConnected && DockMonitor().DeviceName == monitor.DeviceName) return false;
    monitor_ = name;
    return true;
}

void TpkAppBar::NotifyMonitor() {
    const TMonitor now = CurrentMonitor();
    if (SameMonitor(now, reportedMonitor_)) return;
    reportedMonitor_ = now;
    if (OnMonitorChanged) OnMonitorChanged(*this, now);
}

// ---------------------------------------------------------------------------------------------
// Placement

void TpkAppBar::SetPlacement(int p) {
    if (!IsPlacementValue(p)) return;
    settled_ = false;
    RefreshMonitors();
    if (registered_ && !IsDesigning()) {
        for (std::uint32_t edge = bpLeft; edge <= bpBottom; ++edge) {
            TAppBarData d;
            d.Edge = edge;
            if (Shell(abmGetAutoHideBar, d) != HookedWindow()) continue;
            d.Param = 0;
            Shell(abmSetAutoHideBar, d);
            break;
        }
    }
    if (p != placement_) {
        LastDockingPlace = placement_;
        if (OnDocking) {
            OnDocking(*this, p);
            if (!IsPlacementValue(p)) p = placement_;
        }
    }
    placement_ = p;
    if (OnDocked) OnDocked(*this, p);
    if (IsDesigning()) return;

    AdjustStyles(p, false);
    if (p == bpFloat) {
        ReleaseStrip();
        MoveWindowTo(floatRect_);
    } else if (p == kNoPlacement) {
        Unregister();
    } else {
        PlaceDocked(p);
    }
    if (registered_) Shell(abmActivate);
    UpdateTaskIcon();
    settled_ = true;
    NotifyMonitor();
}

void TpkAppBar::PlaceDocked(int edge) {
    if (autoHide_) {
        TAppBarData d;
        d.Edge = static_cast<std::uint32_t>(edge);
        d.Param = 1;
        if (Shell(abmSetAutoHideBar, d) == 0) {
            // Another bar holds the edge: dock normally, with a reserved strip.
            autoHide_ = false;
            RestartAutoHideTimer();
            if (OnUnableToAutoHide) OnUnableToAutoHide(*this);
        }
    }
    Rect r = DockedRectFor(edge);
    if (autoHide_) {
        ReleaseStrip();
    } else {
        ReserveStrip(edge, r);
    }
    if (AutoHiding()) {
        const TAppBarScreen s = Screen();
        r = AutoHideRect(static_cast<TpkAppBarPlacement>(edge), r, shown_, AutoHideArea(), s.BorderWidth,
                         s.BorderHeight);
    }
    SlideTo(r);
}

void TpkAppBar::MoveWindowTo(const Rect& rect) {
    FlagScope own(selfMoving_);
    abPlatform_.SetWindowRect(HookedWindow(), rect);
}

void TpkAppBar::SlideTo(const Rect& target) {
    const TWindowId window = HookedWindow();
    const Rect from = abPlatform_.WindowRect(window);
    const int slideTime = sliding_->SlideTime;
    // A hidden form (while the program starts) is moved at once: nobody would see the slide wait.
    if (sliding_->Enabled() && slideTime > 0 && from != target && abPlatform_.FullWindowDrag() &&
        abPlatform_.IsVisible(window)) {
        const std::uint32_t t0 = abPlatform_.TickCount();
        for (;;) {
            const std::uint32_t elapsed = abPlatform_.TickCount() - t0;  // wraps as the tick count does
            if (elapsed >= static_cast<std::uint32_t>(slideTime)) break;
            MoveWindowTo(SlideFrame(from, target, static_cast<int>(elapsed), slideTime));
            abPlatform_.UpdateNow(window);
        }
    }
    MoveWindowTo(target);
}

void TpkAppBar::AdjustStyles(int p, bool dragging) {
    if (dragging && !abPlatform_.FullWindowDrag()) return;
    std::uint32_t style = Style(), ex = ExStyle();
    if (p == bpFloat) {
        if (titleBar_ != sbHideAlways && formHasBorder_) style |= kWsCaption;
        if (!formToolWindow_) ex &= ~kWsExToolWindow;
    } else if (IsDockedEdge(p)) {
        if (titleBar_ != sbShowAlways) style &= ~kWsCaption;
        ex |= kWsExToolWindow;
    }
    if (style == Style() && ex == ExStyle()) return;
    SetStyle(style);
    SetExStyle(ex);
    RefreshFrame();
}

void TpkAppBar::UpdateTaskIcon() {
    const TWindowId mainForm = abPlatform_.MainForm();
    if (mainForm == 0 || mainForm != HookedWindow() || !abPlatform_.IsVisible(mainForm)) return;
    const TWindowId app = Platform().ApplicationWindow();
    if (app == 0) return;
    const bool show = taskIcon_ == sbShowAlways || (taskIcon_ == sbOnFloat && placement_ == bpFloat);
    abPlatform_.ShowWindow(app, show);
}

bool TpkAppBar::ClampFloatingForm() {
    const TAppBarFloatLimits l = floatRestrictions_->Limits();
    Rect r = abPlatform_.WindowRect(HookedWindow());
    int w = r.Width(), h = r.Height();
    if (l.MaxWidth != 0 && w > l.MaxWidth) w = l.MaxWidth;
    if (l.MaxHeight != 0 && h > l.MaxHeight) h = l.MaxHeight;
    if (l.MinWidth != 0 && w < l.MinWidth) w = l.MinWidth;
    if (l.MinHeight != 0 && h < l.MinHeight) h = l.MinHeight;
    if (w == r.Width() && h == r.Height()) return false;
    r.Right = r.Left + w;
    r.Bottom = r.Top + h;
    floatRect_ = r;  // else the next placement would bring the old size back
    MoveWindowTo(r);
    return true;
}

// ---------------------------------------------------------------------------------------------
// Setters

void TpkAppBar::SetAutoHide(bool value) {
    if (value == autoHide_) return;
    autoHide_ = value;
    Replace();
    RestartAutoHideTimer();
}

void TpkAppBar::SetTaskIcon(TpkAppBarShowBehavior value) {
    if (value == taskIcon_) return;
    taskIcon_ = value;
    Replace();
}

void TpkAppBar::SetTitleBar(TpkAppBarShowBehavior value) {
    if (value == titleBar_) return;
    titleBar_ = value;
    if (IsDesigning()) return;
    const bool caption = value == sbShowAlways || (value == sbOnFloat && placement_ == bpFloat);
    const std::uint32_t style = Style();
    SetStyle(caption && formHasBorder_ ? style | kWsCaption : style & ~kWsCaption);
    RefreshFrame();
}

// ---------------------------------------------------------------------------------------------
// Auto-hide

void TpkAppBar::RestartAutoHideTimer() {
    Platform().StopTimer(UtilityWindow(), kAutoHideTimerId);
    if (!autoHide_ || IsDestroying()) return;
    if (!Platform().StartTimer(UtilityWindow(), kAutoHideTimerId, kAutoHideInterval))
        throw EOutOfResources("Not enough timers available");
}

void TpkAppBar::HideShow(bool shown) {
    if (!AutoHiding()) {
        shown_ = true;
        return;
    }
    const TAppBarScreen s = Screen();
    const Rect r = AutoHideRect(static_cast<TpkAppBarPlacement>(placement_), abPlatform_.WindowRect(HookedWindow()),
                                shown, AutoHideArea(), s.BorderWidth, s.BorderHeight);
    if (shown != shown_) {
        bool allow = true;
        auto& event = shown ? OnUnhiding : OnHiding;
        if (event) event(*this, allow);
        if (!allow) return;
    }
    shown_ = shown;
    SlideTo(r);
}

void TpkAppBar::AutoHideTick() {
    if (!AutoHiding() || !shown_) return;
    const TWindowId window = HookedWindow();
    if (abPlatform_.ActiveWindow() == window) return;
    Rect near = abPlatform_.WindowRect(window);
    const int dx = 2 * abPlatform_.Metric(smCxDoubleClk), dy = 2 * abPlatform_.Metric(smCyDoubleClk);
    near = {near.Left - dx, near.Top - dy, near.Right + dx, near.Bottom + dy};
    const Point mouse = abPlatform_.MessagePos();
    if (!near.Contains(mouse.X, mouse.Y)) HideShow(false);
}

void TpkAppBar::UtilityWndProc(TMessage& message) {
    if (message.Msg == kWmTimer && message.WParam == kAutoHideTimerId) {
        AutoHideTick();
        message.Result = 0;
        return;
    }
    TpkCustomAppHookComponent::UtilityWndProc(message);
}

}  // namespace tw
