#include "controls/pkAppBarRegistrySaver.h"

#include "controls/pkAppBar.h"

#include <algorithm>
#include <optional>

namespace tw {

namespace {

// Reads the values in writing order. In stopping mode (the registry) the first missing value ends
// the reading and every later read answers nothing; otherwise a missing value just stays unread.
class RecordReader {
public:
    RecordReader(TpkSettingsStore& store, bool stopAtMissing) : store_(store), stop_(stopAtMissing) {}
    std::optional<std::int32_t> Int(const char* name) {
        return Present(name) ? std::optional(store_.ReadInteger(name, 0)) : std::nullopt;
    }
    std::optional<std::int32_t> Byte(const char* name) {
        return Present(name) ? std::optional(store_.ReadByte(name, -1)) : std::nullopt;
    }

private:
    bool Present(const char* name) {
        if (ended_) return false;
        if (store_.ValueExists(name)) return true;
        ended_ = stop_;
        return false;
    }
    TpkSettingsStore& store_;
    bool stop_;
    bool ended_ = false;
};

template <class T>
void Apply16(const std::optional<std::int32_t>& value, T&& set) {
    if (value) set(static_cast<std::uint16_t>(std::clamp<std::int32_t>(*value, 0, 0xFFFF)));
}

// Keeps a floating rectangle's size within `area` and moves it inside.
Rect ClampInto(Rect r, const Rect& area) {
    const int w = std::min(r.Width(), area.Width()), h = std::min(r.Height(), area.Height());
    const int left = std::clamp(r.Left, area.Left, area.Right - w);
    const int top = std::clamp(r.Top, area.Top, area.Bottom - h);
    return {left, top, left + w, top + h};
}

bool IsShowBehavior(std::int32_t v) { return v >= sbOnFloat && v <= sbHideAlways; }

using Value = std::optional<std::int32_t>;

// The values before the settings groups, in writing order but for the window state, read first.
struct TSavedBar {
    Value State, Left, Top, Right, Bottom;
    Value AlwaysOnTop, AutoHide, Placement, Edges, TaskIcon, TitleBar;
};

TSavedBar ReadSavedBar(RecordReader& r, TpkAppBarRestoreProperties restore) {
    TSavedBar v;
    v.State = r.Int("WindowState");
    v.Left = r.Int("Left");
    v.Top = r.Int("Top");
    v.Right = r.Int("Right");
    v.Bottom = r.Int("Bottom");
    v.AlwaysOnTop = r.Int("Always on Top");
    v.AutoHide = r.Int("Auto Hide");
    v.Placement = r.Int("Placement");
    if (restore & rpAllowedEdges) v.Edges = r.Byte("Allowed Edges");
    v.TaskIcon = r.Int("TaskIcon");
    v.TitleBar = r.Int("TitleBar");
    return v;
}

void ReadDocking(RecordReader& r, TpkAppBarDocking& d) {
    if (auto v = r.Int("Docking Enabled")) d.SetEnabled(*v != 0);
    const auto width = r.Int("Docking Width"), height = r.Int("Docking Height");
    Apply16(r.Int("Docking MaxWidth"), [&](std::uint16_t v) { d.MaxWidth = v; });
    Apply16(r.Int("Docking MaxHeight"), [&](std::uint16_t v) { d.MaxHeight = v; });
    Apply16(r.Int("Docking MinWidth"), [&](std::uint16_t v) { d.MinWidth = v; });
    Apply16(r.Int("Docking MinHeight"), [&](std::uint16_t v) { d.MinHeight = v; });
    // The sizes after their limits, which the setters hold them to.
    Apply16(width, [&](std::uint16_t v) { d.SetWidth(v); });
    Apply16(height, [&](std::uint16_t v) { d.SetHeight(v); });
}

void ReadFloatRestrictions(RecordReader& r, TpkAppBarFloatRestrictions& fr) {
    if (auto v = r.Int("Float Enabled")) fr.SetEnabled(*v != 0);
    Apply16(r.Int("Float MaxWidth"), [&](std::uint16_t v) { fr.SetMaxWidth(v); });
    Apply16(r.Int("Float MaxHeight"), [&](std::uint16_t v) { fr.SetMaxHeight(v); });
    Apply16(r.Int("Float MinWidth"), [&](std::uint16_t v) { fr.SetMinWidth(v); });
    Apply16(r.Int("Float MinHeight"), [&](std::uint16_t v) { fr.SetMinHeight(v); });
}

void ReadSizing(RecordReader& r, TpkAppBarSizing& sizing) {
    if (auto v = r.Int("Sizing Enabled")) sizing.SetEnabled(*v != 0);
    Apply16(r.Int("Sizing Horizontal Increment"), [&](std::uint16_t v) { sizing.HorizontalIncrement = v; });
    Apply16(r.Int("Sizing Vertical Increment"), [&](std::uint16_t v) { sizing.VerticalIncrement = v; });
}

void ReadSliding(RecordReader& r, TpkAppBarSliding& sliding) {
    if (auto v = r.Int("Sliding Enabled")) sliding.SetEnabled(*v != 0);
    // A slide blocks the program while it runs: a damaged time must not freeze it.
    if (auto v = r.Int("Sliding Time")) sliding.SlideTime = std::clamp<std::int32_t>(*v, 0, 2000);
}

// The window state, then the float rectangle inside the work area: its place unless maximised,
// its size too with rpFormSize when the record's is not inverted.
void ApplyWindow(TpkAppBar& bar, const TSavedBar& v, TpkAppBarRestoreProperties restore) {
    TAppBarPlatform& platform = AppBarPlatform();
    const TWindowId window = bar.HookedWindow();
    if (v.State && (*v.State == wsNormal || *v.State == wsMaximized) && *v.State != platform.WindowState(window))
        platform.SetWindowState(window, static_cast<TWindowState>(*v.State));
    Rect f = bar.FloatRect();
    if (platform.WindowState(window) != wsMaximized && v.Left && v.Top) {
        const int w = f.Width(), h = f.Height();
        f = {*v.Left, *v.Top, *v.Left + w, *v.Top + h};
        if ((restore & rpFormSize) && v.Right && v.Bottom && *v.Right > *v.Left && *v.Bottom > *v.Top) {
            f.Right = *v.Right;
            f.Bottom = *v.Bottom;
        }
    }
    bar.SetFloatRect(ClampInto(f, platform.WorkArea()));
}

void ApplySwitches(TpkAppBar& bar, const TSavedBar& v) {
    if (v.AlwaysOnTop) bar.SetAlwaysOnTop(*v.AlwaysOnTop != 0);
    if (v.TaskIcon && IsShowBehavior(*v.TaskIcon)) bar.SetTaskIcon(static_cast<TpkAppBarShowBehavior>(*v.TaskIcon));
    if (v.TitleBar && IsShowBehavior(*v.TitleBar)) bar.SetTitleBar(static_cast<TpkAppBarShowBehavior>(*v.TitleBar));
    if (v.AutoHide) bar.SetAutoHide(*v.AutoHide != 0);
}

// The placement read when it is allowed, else the current one, else the first allowed of
// floating, top, bottom, left and right; none when nothing is allowed.
std::optional<TpkAppBarPlacement> AllowedPlacement(const TpkAppBar& bar, const Value& placement) {
    const auto allowed = [&](int q) {
        return q >= bpLeft && q <= bpFloat && HasEdge(bar.AllowedEdges, static_cast<TpkAppBarPlacement>(q));
    };
    for (int q : {placement.value_or(bar.Placement()), bar.Placement()})
        if (allowed(q)) return static_cast<TpkAppBarPlacement>(q);
    for (TpkAppBarPlacement q : {bpFloat, bpTop, bpBottom, bpLeft, bpRight})
        if (allowed(q)) return q;
    return std::nullopt;
}

}  // namespace

TpkAppBarRegistrySaver::TpkAppBarRegistrySaver(TpkAppBar& bar) : TpkRegistrySaver(&bar), bar_(bar) {}

void TpkAppBarRegistrySaver::Assign(const TpkPersistent* source) {
    if (auto* saver = dynamic_cast<const TpkAppBarRegistrySaver*>(source)) RestoreProperties = saver->RestoreProperties;
    TpkRegistrySaver::Assign(source);
}

void TpkAppBarRegistrySaver::Write(TpkSettingsStore& s) {
    const Rect f = bar_.FloatRect();
    s.WriteInteger("Left", f.Left);
    s.WriteInteger("Top", f.Top);
    s.WriteInteger("Right", f.Right);
    s.WriteInteger("Bottom", f.Bottom);
    s.WriteInteger("WindowState", AppBarPlatform().WindowState(bar_.HookedWindow()));
    s.WriteBool("Always on Top", bar_.TopmostWanted());
    s.WriteBool("Auto Hide", bar_.AutoHide());
    s.WriteInteger("Placement", bar_.Placement());
    if (RestoreProperties & rpAllowedEdges) s.WriteByte("Allowed Edges", bar_.AllowedEdges);
    s.WriteInteger("TaskIcon", bar_.TaskIcon());
    s.WriteInteger("TitleBar", bar_.TitleBar());
    if (RestoreProperties & rpDocking) {
        TpkAppBarDocking& d = bar_.Docking();
        s.WriteBool("Docking Enabled", d.Enabled());
        s.WriteInteger("Docking Width", d.Width());
        s.WriteInteger("Docking Height", d.Height());
        s.WriteInteger("Docking MaxWidth", d.MaxWidth);
        s.WriteInteger("Docking MaxHeight", d.MaxHeight);
        s.WriteInteger("Docking MinWidth", d.MinWidth);
        s.WriteInteger("Docking MinHeight", d.MinHeight);
    }
    if (RestoreProperties & rpFloatRestrictions) {
        TpkAppBarFloatRestrictions& fr = bar_.FloatRestrictions();
        s.WriteBool("Float Enabled", fr.Enabled());
        s.WriteInteger("Float MaxWidth", fr.MaxWidth());
        s.WriteInteger("Float MaxHeight", fr.MaxHeight());
        s.WriteInteger("Float MinWidth", fr.MinWidth());
        s.WriteInteger("Float MinHeight", fr.MinHeight());
    }
    if (RestoreProperties & rpSizing) {
        s.WriteBool("Sizing Enabled", bar_.Sizing().Enabled());
        s.WriteInteger("Sizing Horizontal Increment", bar_.Sizing().HorizontalIncrement);
        s.WriteInteger("Sizing Vertical Increment", bar_.Sizing().VerticalIncrement);
    }
    if (RestoreProperties & rpSliding) {
        s.WriteBool("Sliding Enabled", bar_.Sliding().Enabled());
        s.WriteInteger("Sliding Time", bar_.Sliding().SlideTime);
    }
}

// The groups are applied as they are read and the rest afterwards, checked, so the placement is
// made once with the sizes read and a damaged record cannot put the bar off the screen or at a
// forbidden edge.
void TpkAppBarRegistrySaver::Read(TpkSettingsStore& s, bool stopAtMissing) {
    RecordReader r(s, stopAtMissing);
    const TSavedBar saved = ReadSavedBar(r, RestoreProperties);
    if (RestoreProperties & rpDocking) ReadDocking(r, bar_.Docking());
    if (RestoreProperties & rpFloatRestrictions) ReadFloatRestrictions(r, bar_.FloatRestrictions());
    if (RestoreProperties & rpSizing) ReadSizing(r, bar_.Sizing());
    if (RestoreProperties & rpSliding) ReadSliding(r, bar_.Sliding());

    // An edge set with no placement in it would leave the bar nowhere to go.
    if (saved.Edges && (*saved.Edges & kAllAppBarEdges) != 0)
        bar_.AllowedEdges = static_cast<TpkAppBarEdges>(*saved.Edges & kAllAppBarEdges);
    ApplyWindow(bar_, saved, RestoreProperties);
    ApplySwitches(bar_, saved);
    if (const auto placement = AllowedPlacement(bar_, saved.Placement)) bar_.SetPlacement(*placement);
}

}  // namespace tw
