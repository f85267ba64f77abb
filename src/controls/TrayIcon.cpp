#include "controls/TrayIcon.h"

#include <algorithm>

namespace tw {

namespace {
constexpr int kTaskEntryInterval = 250;  // ms
}

std::string TrayTipText(std::string_view hint) {
    std::size_t n = std::min(hint.size(), kTrayTipBytes - 1);
    // Step back over continuation bytes so a cut never splits a character.
    if (n < hint.size()) {
        while (n > 0 && (static_cast<unsigned char>(hint[n]) & 0xC0) == 0x80) --n;
    }
    return std::string(hint.substr(0, n));
}

TTrayIconRecord MakeTrayIconRecord(bool showHint, std::string_view hint, TIconHandle icon) {
    TTrayIconRecord record;
    record.Flags = tifMessage | tifIcon;
    record.Icon = icon;
    if (showHint && !hint.empty()) {
        record.Flags |= tifTip;
        record.Tip = TrayTipText(hint);
    }
    return record;
}

TTrayAction TrayActionFor(std::uint32_t mouseMessage) {
    switch (mouseMessage) {
        case kTrayLeftDown: return paLeftDown;
        case kTrayLeftUp: return paLeftUp;
        case kTrayLeftDblClick: return paLeftDblClick;
        case kTrayRightDown: return paRightDown;
        case kTrayRightUp: return paRightUp;
        case kTrayRightDblClick: return paRightDblClick;
        default: return paNone;
    }
}

bool TaskEntryVisible(TTrayShow rule, bool minimized) {
    switch (rule) {
        case tyAllways: return true;
        case tyNever: return false;
        case tyOnRestore: return !minimized;
        case tyOnMinimized: return minimized;
    }
    return true;
}

Point TrayTextPosition(TTrayTextAlign align, int textWidth, int textHeight, int posX, int posY) {
    // C++ division truncates toward zero, as the rule asks for texts wider than the icon.
    const int cx = 16 / 2 - textWidth / 2;
    const int cy = 16 / 2 - textHeight / 2;
    switch (align) {
        case ttgCenter: return {cx, cy};
        case ttgCustom: return {posX, posY};
        case ttgCenterBottom: return {cx, 16 - textHeight};
        case ttgCenterTop: return {cx, 0};
        case ttgCenterLeft: return {0, cy};
        case ttgCenterRight: return {16 - textWidth, cy};
    }
    return {cx, cy};
}

TColor TrayMaskColor(TColor resolvedFontColor) {
    const TColor rgb = resolvedFontColor & 0xFFFFFF;
    return rgb == 0 ? 1 : rgb - 1;
}

int ClampIconIndex(int index, int count) { return std::clamp(index, -1, std::max(count - 1, -1)); }

TTrayIcon::TTrayIcon(std::unique_ptr<ITrayIconHost> host, TpkComponent* owner)
    : TpkComponent(owner), host_(std::move(host)) {
    if (!IsDesigning()) host_->RunTimer(TTrayTimer::TaskEntry, kTaskEntryInterval);
}

TTrayIcon::~TTrayIcon() {
    Destroying();
    host_->RunTimer(TTrayTimer::TaskEntry, 0);
    host_->RunTimer(TTrayTimer::Blink, 0);
    if (added_) RemoveIcon();
    host_->ShowSystemTaskbar(true);
}

void TTrayIcon::AddIcon() {
    if (!enabled_ || IsDesigning()) return;
    host_->NotifyIcon(TTrayNotify::Add, Record());
    added_ = true;  // the shell's answer is not acted on
}

void TTrayIcon::UpdateIcon() {
    if (!enabled_ || !added_ || IsDesigning()) return;
    host_->NotifyIcon(TTrayNotify::Modify, Record());
}

void TTrayIcon::RemoveIcon() {
    if (IsDesigning()) return;
    host_->NotifyIcon(TTrayNotify::Delete, Record());
    added_ = false;
}

TIconHandle TTrayIcon::IconShown() const {
    TIconHandle shown = mode_ == trmText ? textIcon_ : icon_;
    if (blink_.Enabled) {
        if (!blinkVisible_) {
            shown = host_->BlankIcon();
        } else {
            shown = mode_ == trmText ? textIcon_ : defaultIcon_;
        }
    }
    return shown != 0 ? shown : host_->ApplicationIcon();
}

void TTrayIcon::SetBlink(const TTrayIconBlink& blink) {
    const bool wasEnabled = blink_.Enabled;
    blink_ = blink;
    if (IsDesigning()) return;
    host_->RunTimer(TTrayTimer::Blink, blink_.Enabled ? std::max(blink_.Interval, 1) : 0);
    if (wasEnabled && !blink_.Enabled) {
        blinkVisible_ = true;
        Raise(OnBlinkVisible, *this);
    }
    UpdateIcon();
}

void TTrayIcon::SetEnabled(bool value) {
    if (value == enabled_) return;
    if (!value && added_) RemoveIcon();
    enabled_ = value;
    if (!value) {
        host_->ShowApplicationButton(true);
        host_->ShowSystemTaskbar(true);
    }
}

void TTrayIcon::SetHint(std::string hint) {
    if (hint == hint_) return;
    hint_ = std::move(hint);
    UpdateIcon();
}

void TTrayIcon::SetShowHint(bool value) {
    if (value == showHint_) return;
    showHint_ = value;
    UpdateIcon();
}

void TTrayIcon::SetIcon(TIconHandle icon) {
    if (icon == icon_) return;
    icon_ = icon;
    UpdateIcon();
}

void TTrayIcon::SetIconList(ITrayIconList* list) {
    if (list == iconList_) return;
    if (iconListComponent_) RemoveFreeNotification(iconListComponent_);
    iconList_ = list;
    iconListComponent_ = dynamic_cast<TpkComponent*>(list);
    if (iconListComponent_) FreeNotification(iconListComponent_);
    if (!list) {
        iconIndex_ = -1;
        SetIcon(defaultIcon_);
    }
}

void TTrayIcon::SetIconIndex(int index) {
    if (!iconList_) return;
    iconIndex_ = ClampIconIndex(index, iconList_->Count());
    SetIcon(iconIndex_ < 0 ? defaultIcon_ : iconList_->IconAt(iconIndex_));
}

void TTrayIcon::SetIconText(const TTrayIconLabel& label) {
    if (label == iconText_) return;
    iconText_ = label;
    RedrawTextIcon();
}

void TTrayIcon::SetMode(TTrayMode mode) {
    if (mode == mode_) return;
    mode_ = mode;
    if (mode_ == trmText) {
        RedrawTextIcon();
    } else {
        UpdateIcon();
    }
}

void TTrayIcon::RedrawTextIcon() {
    if (mode_ != trmText || IsDesigning()) return;
    textIcon_ = host_->RenderTextIcon(iconText_);
    UpdateIcon();
}

void TTrayIcon::SetPopupMenu(ITrayPopupMenu* menu) {
    if (menu == popupMenu_) return;
    if (popupComponent_) RemoveFreeNotification(popupComponent_);
    popupMenu_ = menu;
    popupComponent_ = dynamic_cast<TpkComponent*>(menu);
    if (popupComponent_) FreeNotification(popupComponent_);
}

void TTrayIcon::Notification(TpkComponent* component, TOperation operation) {
    TpkComponent::Notification(component, operation);
    if (operation != TOperation::opRemove) return;
    // The partner is half destroyed here: compare the pointers kept, cast nothing.
    if (component == popupComponent_) {
        popupMenu_ = nullptr;
        popupComponent_ = nullptr;
    }
    if (component == iconListComponent_) {
        iconListComponent_ = nullptr;
        iconList_ = nullptr;
        iconIndex_ = -1;
        SetIcon(defaultIcon_);
    }
}

void TTrayIcon::SetShowIcon(TTrayShow value) {
    showIcon_ = value;
    if (IsDesigning()) return;
    if (value == tyAllways || (value == tyOnMinimized && host_->ApplicationMinimized())) {
        AddIcon();
    } else if (value == tyNever && added_) {
        RemoveIcon();
    }
}

void TTrayIcon::SetShowTaskBar(bool value) {
    showTaskBar_ = value;
    if (!IsDesigning()) host_->ShowSystemTaskbar(value);
}

void TTrayIcon::Dispatch(TTrayAction action) {
    if (action == Action.Popup && popupMenu_ && Action.Popup != paNone) host_->PopupAtCursor(*popupMenu_, *this);
    if (action == Action.Restore) host_->RestoreApplication();
}

void TTrayIcon::HandleCallback(std::uint32_t mouseMessage) {
    if (mouseMessage == kTrayMouseMove) {
        Raise(OnMouseMove, *this);
        return;
    }
    const TTrayAction action = TrayActionFor(mouseMessage);
    if (action == paNone) return;
    Dispatch(action);
    switch (action) {
        case paLeftDown: Raise(OnMouseLeftDown, *this); break;
        case paLeftUp: Raise(OnMouseLeftUp, *this); break;
        case paLeftDblClick: Raise(OnMouseLeftDblClick, *this); break;
        case paRightDown: Raise(OnMouseRightDown, *this); break;
        case paRightUp: Raise(OnMouseRightUp, *this); break;
        case paRightDblClick: Raise(OnMouseRightDblClick, *this); break;
        case paNone: break;
    }
}

void TTrayIcon::TaskEntryTick() {
    if (IsDesigning()) return;
    host_->ShowApplicationButton(TaskEntryVisible(showTaskEntry_, minimized_));
}

void TTrayIcon::SetShowTaskEntry(TTrayShow value) {
    showTaskEntry_ = value;
    ApplyTaskEntryOnChange();
}

void TTrayIcon::SetTaskEntryTimer(bool on) {
    if (on == taskEntryTimer_) return;
    taskEntryTimer_ = on;
    if (IsDesigning()) return;
    host_->RunTimer(TTrayTimer::TaskEntry, on ? kTaskEntryInterval : 0);
    ApplyTaskEntryOnChange();
}

void TTrayIcon::ApplicationButtonChanged() { ApplyTaskEntryOnChange(); }

void TTrayIcon::ApplyTaskEntryOnChange() {
    if (!taskEntryTimer_) TaskEntryTick();
}

void TTrayIcon::BlinkTick() {
    if (IsDesigning() || !enabled_) return;
    blinkVisible_ = !blinkVisible_;
    Raise(blinkVisible_ ? OnBlinkVisible : OnBlinkInVisible, *this);
    UpdateIcon();
}

void TTrayIcon::ApplicationMinimized() {
    if (!enabled_) return;
    if (showIcon_ == tyOnMinimized && !added_) AddIcon();
    minimized_ = true;
    ApplyTaskEntryOnChange();
}

void TTrayIcon::ApplicationRestored() {
    if (!enabled_) return;
    host_->ForegroundApplication();
    if (showIcon_ == tyOnMinimized) RemoveIcon();
    minimized_ = false;
    ApplyTaskEntryOnChange();
}

void TTrayIcon::ShellRestarted() {
    // A new taskbar has no icons; ours comes back only if it was there.
    if (added_) AddIcon();
}

}  // namespace tw
