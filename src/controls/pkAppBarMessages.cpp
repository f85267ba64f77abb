// The application bar's answers to the messages of its form, of its utility window's neighbours
// and of the application window: the move and size loop, hit testing, activation, the shell's
// notifications and its restart, display changes and the ways out (destruction, end of session).
#include "controls/pkAppBar.h"

#include <algorithm>

namespace tw {

namespace {

template <class T>
T* Record(const TMessage& message) {
    return reinterpret_cast<T*>(message.LParam);
}

}  // namespace

void TpkAppBar::BeforeFormMessage(TMessage& message, bool& handled) {
    TpkCustomAppHookComponent::BeforeFormMessage(message, handled);  // the application hook
    if (taskbarCreatedMessage_ != 0 && message.Msg == taskbarCreatedMessage_) {
        HandleTaskbarCreated();
        return;
    }
    switch (message.Msg) {
    case kWmShowWindow: Platform().PostTo(HookedWindow(), kAppBarReapplyMessage, 0, 0); return;
    case kAppBarReapplyMessage: HandleReapply(); handled = true; return;
    case kAppBarCallbackMessage: HandleShellNotification(message.WParam, message.LParam); handled = true; return;
    case kAlwaysOnTopMessage: topmostWanted_ = message.WParam != 0; return;
    case wmWindowPosChanging:
        // Settled: only the bar's own placement and the user's move loop move the window.
        if (settled_ && !selfMoving_ && message.LParam != 0) {
            Record<TAppBarWindowPos>(message)->Flags |= kSwpNoMove | kSwpNoSize;
            message.Result = 0;
            handled = true;
        }
        return;
    case wmEnterSizeMove: HandleEnterSizeMove(); return;
    case wmMoving:
        if (message.LParam != 0) HandleMoving(*Record<Rect>(message));
        return;
    case wmCaptureChanged: HandleCaptureChanged(); return;
    case wmExitSizeMove: HandleExitSizeMove(); return;
    case wmSizing:
        if (message.LParam != 0) HandleSizing(static_cast<int>(message.WParam), *Record<Rect>(message));
        return;
    case wmNcLButtonDblClk:
        handled = true;
        HandleDoubleClick();
        return;
    case wmDisplayChange: HandleDisplayChange(); return;
    case kWmDestroy:
    case kWmQueryEndSession: HandleClosing(); return;
    default: return;
    }
}

void TpkAppBar::AfterFormMessage(TMessage& message) {
    switch (message.Msg) {
    case wmWindowPosChanged:
        if (registered_) Shell(abmWindowPosChanged);
        return;
    case wmActivate: HandleActivate((message.WParam & 0xFFFF) != 0); return;
    case wmNcHitTest: HandleNcHitTest(message); return;
    case wmNcLButtonUp:
        if (OnClick) OnClick(*this);
        return;
    case wmGetMinMaxInfo:
        if (message.LParam != 0) HandleGetMinMaxInfo(*Record<TAppBarMinMaxInfo>(message));
        return;
    default: return;
    }
}

void TpkAppBar::BeforeAppMessage(TMessage& message, bool& handled) {
    switch (message.Msg) {
    case kWmDestroy:
    case kWmQueryEndSession: Unregister(); return;
    case wmSysCommand:
        // A docked main form stays on screen: minimising it would leave its strip empty.
        if ((message.WParam & 0xFFF0) == kScMinimize && IsDockedEdge(placement_) &&
            abPlatform_.MainForm() == HookedWindow()) {
            message.Result = 0;
            handled = true;
        }
        return;
    default: return;
    }
}

// ---------------------------------------------------------------------------------------------
// The move loop

void TpkAppBar::HandleEnterSizeMove() {
    dragPlacement_ = Placement();
    settled_ = false;
    RefreshMonitors();
    dragMonitor_ = DockMonitor();
}

void TpkAppBar::HandleMoving(Rect& q) {
    const Point mouse = abPlatform_.MessagePos();
    // The edges on offer are those of the monitor under the mouse.
    dragMonitor_ = monitors_[static_cast<std::size_t>(MonitorIndexAt(monitors_, mouse))];
    int candidate;
    if (abPlatform_.KeyDown(vkControl) && HasEdge(AllowedEdges, bpFloat)) {
        candidate = bpFloat;
    } else {
        candidate = ChooseEdge(mouse.X, mouse.Y, AllowedEdges, Placement(), ScreenOf(dragMonitor_));
    }
    if (dragPlacement_ != bpFloat && candidate == bpFloat) {
        // Just undocked: the floating size, hanging from the mouse by its caption.
        const int w = floatRect_.Width(), h = floatRect_.Height();
        q.Left = mouse.X - w / 2;
        q.Top = mouse.Y - abPlatform_.Metric(smCySmIcon) / 2;
        q.Right = q.Left + w;
        q.Bottom = q.Top + h;
    }
    const int before = Placement();
    dragPlacement_ = candidate;
    if (IsDockedEdge(candidate)) q = DockedRectFor(candidate, dragMonitor_);
    AdjustStyles(candidate, true);
    movingRect_ = q;
    moving_ = true;
    if (candidate != before && OnDockMove) OnDockMove(*this, candidate);
}

void TpkAppBar::HandleCaptureChanged() {
    if (!moving_) return;
    moving_ = false;
    if (Placement() == bpFloat) floatRect_ = movingRect_;
    PlaceAfterDrag(dragPlacement_);
}

void TpkAppBar::PlaceAfterDrag(int placement) {
    const bool chosen = IsDockedEdge(placement) && AdoptMonitor(dragMonitor_);
    SetPlacement(placement);
    if (chosen && OnMonitorChosen) OnMonitorChosen(*this, monitor_);
}

void TpkAppBar::HandleExitSizeMove() {
    const int d = dragPlacement_;
    dragPlacement_ = kNoPlacement;
    // An end without a beginning is no drag: placing at "no placement" would unregister the bar.
    if (d == kNoPlacement) return;
    const Rect wr = abPlatform_.WindowRect(HookedWindow());
    if (d == placement_) {
        auto size16 = [](int v) { return static_cast<std::uint16_t>(std::clamp(v, 0, 0xFFFF)); };
        if (d == bpTop || d == bpBottom) docking_->height_ = size16(wr.Height());
        if (IsVerticalEdge(d)) docking_->width_ = size16(wr.Width());
    }
    if (d == bpFloat) {
        if (placement_ == bpFloat) {
            floatRect_ = wr;
        } else {
            // Just undocked: keep where it is; a docked size spanning the screen is no floating size.
            const Rect work = abPlatform_.WorkArea();
            const bool spans = wr.Width() >= work.Width() || wr.Height() >= work.Height();
            const int w = spans ? floatRect_.Width() : wr.Width();
            const int h = spans ? floatRect_.Height() : wr.Height();
            floatRect_ = {wr.Left, wr.Top, wr.Left + w, wr.Top + h};
        }
    }
    PlaceAfterDrag(d);
    if (saver_->Options() & saveOnMoveResize) saver_->Save();
    if (OnExitSizeMove) OnExitSizeMove(*this);
}

void TpkAppBar::HandleSizing(int edge, Rect& q) {
    if (!sizing_->Enabled()) return;
    const bool docked = IsDockedEdge(Placement());
    q = SnapSizing(q, edge, sizing_->HorizontalIncrement, sizing_->VerticalIncrement,
                   docked ? docking_->MinWidth : 0, docked ? docking_->MinHeight : 0);
}

void TpkAppBar::HandleGetMinMaxInfo(TAppBarMinMaxInfo& info) {
    const TAppBarScreen s = Screen();
    const TAppBarTrackLimits t =
        TrackLimits(Placement(), docking_->Sizes(), floatRestrictions_->Limits(), s.Width, s.Height);
    if (t.MinWidth) info.MinTrackSize.X = *t.MinWidth;
    if (t.MinHeight) info.MinTrackSize.Y = *t.MinHeight;
    if (t.MaxWidth) info.MaxTrackSize.X = *t.MaxWidth;
    if (t.MaxHeight) info.MaxTrackSize.Y = *t.MaxHeight;
}

// ---------------------------------------------------------------------------------------------
// Other messages

void TpkAppBar::HandleNcHitTest(TMessage& message) {
    if (AutoHiding() && !shown_) {
        HideShow(true);
        message.Result = htClient;
        return;
    }
    const TWindowId window = HookedWindow();
    TAppBarHitContext c;
    c.Placement = Placement();
    c.Registered = registered_;
    c.X = static_cast<std::int16_t>(message.LParam & 0xFFFF);  // signed: screens left of the primary one
    c.Y = static_cast<std::int16_t>((message.LParam >> 16) & 0xFFFF);
    const bool swapped = abPlatform_.Metric(smSwapButton) != 0;
    c.PrimaryButtonDown = abPlatform_.AsyncKeyDown(swapped ? vkRButton : vkLButton);
    c.ChildUnderPoint = c.PrimaryButtonDown && message.Result == htClient &&
                        (abPlatform_.ChildAt(window, c.X, c.Y) || GraphicControlAt(c.X, c.Y));
    c.SizingEnabled = sizing_->Enabled();
    c.HorizontalIncrement = sizing_->HorizontalIncrement;
    c.VerticalIncrement = sizing_->VerticalIncrement;
    c.PopupStyle = (Style() & kWsPopup) != 0;
    c.ClientOnScreen = abPlatform_.ClientRectOnScreen(window);
    message.Result = AppBarHitTest(static_cast<int>(message.Result), c);
}

void TpkAppBar::HandleActivate(bool active) {
    if (active) {
        if (OnActivate) OnActivate(*this);
    } else {
        HideShow(false);
        if (OnDeactivate) OnDeactivate(*this);
    }
    if (registered_) Shell(abmActivate);
    UpdateTaskIcon();
}

void TpkAppBar::HandleShellNotification(std::uintptr_t code, std::intptr_t lParam) {
    switch (code) {
    case abnPosChanged:
        if (placement_ != bpFloat && !autoHide_) Replace();
        if (OnOtherAppBarPosChanged) OnOtherAppBarPosChanged(*this);
        return;
    case abnFullScreenApp:
        if (abPlatform_.ForegroundWindow() == HookedWindow()) return;
        fullScreenApp_ = lParam != 0;
        SetZOrder(fullScreenApp_ ? TZOrder::Bottom : topmostWanted_ ? TZOrder::Topmost : TZOrder::NoTopmost);
        if (OnFullScreenApp) OnFullScreenApp(*this, fullScreenApp_);
        Replace();
        return;
    case abnWindowArrange:
        if (OnWindowArrange) OnWindowArrange(*this, lParam != 0);
        return;
    default: return;  // state changes need nothing
    }
}

void TpkAppBar::HandleReapply() {
    if (IsDockedEdge(placement_)) {
        if (abPlatform_.IsVisible(HookedWindow()) && !autoHide_) {
            Rect r = DockedRectFor(placement_);
            ReserveStrip(placement_, r);
        } else {
            ReleaseStrip();
        }
    }
    if (registered_) Shell(abmActivate);
}

void TpkAppBar::HandleDoubleClick() {
    if (OnDblClick) {
        OnDblClick(*this);
        return;
    }
    // A floating bar docks on the monitor it floats on.
    bool chosen = false;
    if (placement_ == bpFloat && IsDockedEdge(LastDockingPlace)) {
        RefreshMonitors();
        const Rect window = abPlatform_.WindowRect(HookedWindow());
        chosen = AdoptMonitor(monitors_[static_cast<std::size_t>(MonitorIndexOfRect(monitors_, window))]);
    }
    SetPlacement(LastDockingPlace);
    if (chosen && OnMonitorChosen) OnMonitorChosen(*this, monitor_);
}

// A monitor may have come or gone: a docked bar goes to the one Monitor names, or the primary in
// its stead; a floating one stays where it is.
void TpkAppBar::HandleDisplayChange() {
    if (IsDockedEdge(placement_)) {
        Replace();
    } else {
        RefreshMonitors();
        NotifyMonitor();
    }
}

// The shell started again and knows no bar: register anew and reserve the strip again. A shell
// that still knows the bar refuses the second ABM_NEW, and the bar stays registered.
void TpkAppBar::HandleTaskbarCreated() {
    if (!wantRegistered_) return;
    if (Shell(abmNew) != 0) registered_ = true;
    if (registered_) Replace();
}

void TpkAppBar::HandleClosing() {
    // The strip is given back even when saving fails.
    try {
        if (saver_->Options() & saveOnClose) saver_->Save();
    } catch (...) {
        Unregister();
        throw;
    }
    Unregister();
}

}  // namespace tw
