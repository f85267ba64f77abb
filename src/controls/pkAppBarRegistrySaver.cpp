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

// Everything is read first and applied afterwards, checked, so the placement is made once with the
// sizes read and a damaged record cannot put the bar off the screen or at a forbidden edge.
void TpkAppBarRegistrySaver::Read(TpkSettingsStore& s, bool stopAtMissing) {
    RecordReader r(s, stopAtMissing);
    const auto state = r.Int("WindowState");
    const auto left = r.Int("Left"), top = r.Int("Top"), right = r.Int("Right"), bottom = r.Int("Bottom");
    const auto alwaysOnTop = r.Int("Always on Top"), autoHide = r.Int("Auto Hide"), placement = r.Int("Placement");
    std::optional<std::int32_t> edges;
    if (RestoreProperties & rpAllowedEdges) edges = r.Byte("Allowed Edges");
    const auto taskIcon = r.Int("TaskIcon"), titleBar = r.Int("TitleBar");

    if (RestoreProperties & rpDocking) {
        TpkAppBarDocking& d = bar_.Docking();
        if (auto v = r.Int("Docking Enabled")) d.SetEnabled(*v != 0);
        const auto width = r.Int("Docking Width"), height = r.Int("Docking Height");
        Apply16(r.Int("Docking MaxWidth"), [&](std::uint16_t v) { d.MaxWidth = v; });
        Apply16(r.Int("Docking MaxHeight"), [&](std::uint16_t v) { d.MaxHeight = v; });
        Apply16(r.Int("Docking MinWidth"), [&](std::uint16_t v) { d.MinWidth = v; });
        Apply16(r.Int("Docking MinHeight"), [&](std::uint16_t v) { d.MinHeight = v; });
        Apply16(width, [&](std::uint16_t v) { d.SetWidth(v); });
        Apply16(height, [&](std::uint16_t v) { d.SetHeight(v); });
    }
    if (RestoreProperties & rpFloatRestrictions) {
        TpkAppBarFloatRestrictions& fr = bar_.FloatRestrictions();
        if (auto v = r.Int("Float Enabled")) fr.SetEnabled(*v != 0);
        Apply16(r.Int("Float MaxWidth"), [&](std::uint16_t v) { fr.SetMaxWidth(v); });
        Apply16(r.Int("Float MaxHeight"), [&](std::uint16_t v) { fr.SetMaxHeight(v); });
        Apply16(r.Int("Float MinWidth"), [&](std::uint16_t v) { fr.SetMinWidth(v); });
        Apply16(r.Int("Float MinHeight"), [&](std::uint16_t v) { fr.SetMinHeight(v); });
    }
    if (RestoreProperties & rpSizing) {
        if (auto v = r.Int("Sizing Enabled")) bar_.Sizing().SetEnabled(*v != 0);
        Apply16(r.Int("Sizing Horizontal Increment"), [&](std::uint16_t v) { bar_.Sizing().HorizontalIncrement = v; });
        Apply16(r.Int("Sizing Vertical Increment"), [&](std::uint16_t v) { bar_.Sizing().VerticalIncrement = v; });
    }
    if (RestoreProperties & rpSliding) {
        if (auto v = r.Int("Sliding Enabled")) bar_.Sliding().SetEnabled(*v != 0);
        // A slide blocks the program while it runs: a damaged time must not freeze it.
        if (auto v = r.Int("Sliding Time")) bar_.Sliding().SlideTime = std::clamp<std::int32_t>(*v, 0, 2000);
    }

    // An edge set with no placement in it would leave the bar nowhere to go.
    if (edges && (*edges & kAllAppBarEdges) != 0)
        bar_.AllowedEdges = static_cast<TpkAppBarEdges>(*edges & kAllAppBarEdges);

    TAppBarPlatform& platform = AppBarPlatform();
    const TWindowId window = bar_.HookedWindow();
    if (state && (*state == wsNormal || *state == wsMaximized) && *state != platform.WindowState(window))
        platform.SetWindowState(window, static_cast<TWindowState>(*state));
    Rect f = bar_.FloatRect();
    if (platform.WindowState(window) != wsMaximized && left && top) {
        const int w = f.Width(), h = f.Height();
        f = {*left, *top, *left + w, *top + h};
        if ((RestoreProperties & rpFormSize) && right && bottom && *right > *left && *bottom > *top) {
            f.Right = *right;
            f.Bottom = *bottom;
        }
    }
    bar_.SetFloatRect(ClampInto(f, platform.WorkArea()));

    if (alwaysOnTop) bar_.SetAlwaysOnTop(*alwaysOnTop != 0);
    if (taskIcon && IsShowBehavior(*taskIcon)) bar_.SetTaskIcon(static_cast<TpkAppBarShowBehavior>(*taskIcon));
    if (titleBar && IsShowBehavior(*titleBar)) bar_.SetTitleBar(static_cast<TpkAppBarShowBehavior>(*titleBar));
    if (autoHide) bar_.SetAutoHide(*autoHide != 0);

    int p = placement ? *placement : bar_.Placement();
    const auto allowed = [&](int q) {
        return q >= bpLeft && q <= bpFloat && HasEdge(bar_.AllowedEdges, static_cast<TpkAppBarPlacement>(q));
    };
    if (!allowed(p)) p = bar_.Placement();
    if (!allowed(p)) {
        for (int q : {bpFloat, bpTop, bpBottom, bpLeft, bpRight}) {
            if (!allowed(q)) continue;
            p = q;
            break;
        }
    }
    if (allowed(p)) bar_.SetPlacement(p);
}

}  // namespace tw
