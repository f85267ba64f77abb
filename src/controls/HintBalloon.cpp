#include "controls/HintBalloon.h"

#include "base/AsciiText.h"

#include <algorithm>
#include <charconv>
#include <cstdint>

namespace tw {

namespace {

std::string Quoted(std::string_view item) {
    std::string out = "'";
    for (char c : item) {
        out += c;
        if (c == '\'') out += '\'';
    }
    return out + "'";
}

// Reads one item from `p` on; leaves `p` after its ';' (or at the end).
std::string ReadItem(std::string_view s, std::size_t& p) {
    std::string item;
    if (p < s.size() && s[p] == '\'') {
        ++p;
        while (p < s.size()) {
            if (s[p] == '\'') {
                if (p + 1 < s.size() && s[p + 1] == '\'') {
                    item += '\'';
                    p += 2;
                    continue;
                }
                ++p;
                break;
            }
            item += s[p++];
        }
        // Anything between the closing quote and the separator belongs to the item.
        while (p < s.size() && s[p] != ';') item += s[p++];
    } else {
        while (p < s.size() && s[p] != ';') item += s[p++];
    }
    if (p < s.size()) ++p;  // the ';'
    return item;
}

}  // namespace

std::string BalloonIconName(int kind) {
    switch (kind) {
        case 0: return "INFO";
        case 1: return "ERROR";
        case 2: return "WARNING";
        default: return "";
    }
}

std::string AddBalloonParam(const std::string& params, std::string_view name, std::string_view value) {
    std::string item = Quoted(std::string(name) + "=" + std::string(value));
    return params.empty() ? item : item + ";" + params;
}

std::string BuildBalloonParams(int kind, std::string_view title, std::string_view text, int bestWidth) {
    std::string params = AddBalloonParam("", "IconeResName", BalloonIconName(kind));
    params = AddBalloonParam(params, "Title", title);
    params = AddBalloonParam(params, "Text", text);
    return AddBalloonParam(params, "MainPanelBestWidth", std::to_string(bestWidth));
}

std::vector<std::pair<std::string, std::string>> ParseBalloonParams(std::string_view params) {
    std::vector<std::pair<std::string, std::string>> items;
    std::size_t p = 0;
    while (p < params.size()) {
        const std::string item = ReadItem(params, p);
        const std::size_t eq = item.find('=');
        if (eq == std::string::npos) {
            items.emplace_back(item, "");
        } else {
            items.emplace_back(item.substr(0, eq), item.substr(eq + 1));
        }
    }
    return items;
}

std::string BalloonParam(std::string_view params, std::string_view name) {
    for (auto& [key, value] : ParseBalloonParams(params)) {
        if (EqualsIgnoringAsciiCase(key, name)) return value;
    }
    return "";
}

int BalloonParamInt(std::string_view params, std::string_view name, int fallback) {
    const std::string value = BalloonParam(params, name);
    int result = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), result);
    if (value.empty() || error != std::errc() || end != value.data() + value.size()) return fallback;
    return result;
}

TBalloonFreeSpace BalloonFreeSpace(const Rect& anchor, int screenWidth, int screenHeight) {
    const int hw = anchor.Width() / 2, hh = anchor.Height() / 2;
    const int cx = anchor.Left + hw, cy = anchor.Top + hh;
    constexpr int tail = kBalloonTailHeight, margin = kBalloonMargin;
    return {cx + kBalloonTailInset - hw - margin, cy - hh - tail - margin,
            screenWidth + kBalloonTailInset - cx - hw - margin, screenHeight - (cy + hh + tail + margin)};
}

namespace {
int FreeWidth(int position, const TBalloonFreeSpace& free) { return position % 2 == 0 ? free.Left : free.Right; }
int FreeHeight(int position, const TBalloonFreeSpace& free) { return position < 2 ? free.Above : free.Below; }
}  // namespace

int LargestBalloonQuadrant(const TBalloonFreeSpace& free) {
    int best = 0;
    std::int64_t bestArea = -1;
    for (int position : {0, 2, 1, 3}) {
        const std::int64_t area = std::int64_t{std::max(FreeWidth(position, free), 0)} *
                                  std::max(FreeHeight(position, free), 0);
        if (area > bestArea) {
            bestArea = area;
            best = position;
        }
    }
    return best;
}

Size BalloonMaxPanel(const TBalloonFreeSpace& free) {
    const int position = LargestBalloonQuadrant(free);
    return {FreeWidth(position, free), FreeHeight(position, free)};
}

bool BalloonFits(int position, const TBalloonFreeSpace& free, int panelWidth, int panelHeight) {
    return panelWidth <= FreeWidth(position, free) && panelHeight <= FreeHeight(position, free);
}

int ChooseBalloonPosition(int start, const TBalloonFreeSpace& free, int panelWidth, int panelHeight) {
    if (start < 0 || start > 3) start = 0;
    for (int i = 0; i < 4; ++i) {
        const int position = (start + i) % 4;
        if (BalloonFits(position, free, panelWidth, panelHeight)) return position;
    }
    return LargestBalloonQuadrant(free);
}

namespace {

// Places the text for `wrapWidth` and sizes the panel around everything.
void PlaceText(TBalloonLayout& layout, const std::string& text, int textTop, int wrapWidth,
               IBalloonTextMeasure& measure) {
    const Size size = measure.TextSize(text, wrapWidth);
    layout.WrapWidth = wrapWidth;
    layout.Text = {kBalloonMargin, textTop, kBalloonMargin + size.Width, textTop + size.Height};
    // A title wider than the text keeps the panel wide enough for it.
    const int right = std::max({layout.Text.Right, layout.Title.Right, layout.Icon.Right});
    layout.PanelWidth = right + kBalloonMargin;
    layout.PanelHeight = layout.Text.Bottom + kBalloonMargin;
    layout.ContentWidth = layout.PanelWidth;
    layout.ContentHeight = layout.PanelHeight;
}

}  // namespace

TBalloonLayout LayoutBalloon(std::string_view params, Size iconSize, IBalloonTextMeasure& measure) {
    TBalloonLayout layout;
    const std::string title = BalloonParam(params, "Title");
    const std::string text = BalloonParam(params, "Text");
    layout.HasIcon = !BalloonParam(params, "IconeResName").empty() && iconSize.Width > 0 && iconSize.Height > 0;
    if (layout.HasIcon) {
        layout.Icon = {kBalloonMargin, kBalloonMargin, kBalloonMargin + iconSize.Width,
                       kBalloonMargin + iconSize.Height};
    }
    const int titleLeft = layout.HasIcon ? layout.Icon.Right + kBalloonGap : kBalloonMargin;
    const Size titleSize = title.empty() ? Size{} : measure.TitleSize(title);
    layout.Title = {titleLeft, 12, titleLeft + titleSize.Width, 12 + titleSize.Height};
    const int lower = std::max(title.empty() ? 0 : layout.Title.Bottom, layout.HasIcon ? layout.Icon.Bottom : 0);
    const int textTop = (layout.HasIcon || !title.empty()) ? lower + kBalloonGap : kBalloonMargin;

    const int maxWidth = std::max(BalloonParamInt(params, "MainPanelMaxWidth", 1 << 20), kBalloonMinPanelWidth);
    const int maxHeight = std::max(BalloonParamInt(params, "MainPanelMaxHeight", 1 << 20), kBalloonMinPanelHeight);
    const int bestWidth = BalloonParamInt(params, "MainPanelBestWidth", 300);
    constexpr int kStep = 10, kMinWrap = 10;
    int wrap = std::max(bestWidth - 2 * kBalloonMargin, kMinWrap);
    PlaceText(layout, text, textTop, wrap, measure);

    // Too wide: narrow the text, but not below what the title needs.
    const int titleNeeds = title.empty() ? 0 : layout.Title.Right + kBalloonMargin;
    while (layout.PanelWidth > maxWidth && wrap - kStep >= kMinWrap &&
           wrap - kStep + 2 * kBalloonMargin >= titleNeeds) {
        wrap -= kStep;
        PlaceText(layout, text, textTop, wrap, measure);
    }
    // Too tall (perhaps from the narrowing): step back wider while the width still fits.
    while (layout.PanelHeight > maxHeight && layout.PanelWidth <= maxWidth &&
           wrap + kStep + 2 * kBalloonMargin <= maxWidth) {
        TBalloonLayout wider = layout;
        PlaceText(wider, text, textTop, wrap + kStep, measure);
        if (wider.PanelWidth > maxWidth) break;
        wrap += kStep;
        layout = wider;
    }
    if (layout.PanelWidth > maxWidth || layout.PanelHeight > maxHeight) {
        layout.Scroll = true;  // the extra 20 pixels make room for the scroll bar
        layout.PanelWidth = std::min(layout.ContentWidth + 20, maxWidth);
        layout.PanelHeight = std::min(layout.ContentHeight, maxHeight);
    }
    return layout;
}

TBalloonGeometry BalloonGeometry(int position, int panelWidth, int panelHeight, const Rect& anchor) {
    if (position < 0 || position > 3) position = 0;
    const bool above = position < 2;
    constexpr int tailTop = kBalloonTailHeight + 2;  // 22: the panel's top below the anchor
    TBalloonGeometry g;
    const int width = std::max(panelWidth + 1, 2 * kBalloonTailInset + 1);
    const int height = std::max(above ? panelHeight + kBalloonTailHeight - 1 : tailTop + panelHeight + 1, tailTop);
    const Point corner{position % 2 == 0 ? anchor.Left : anchor.Right, above ? anchor.Top : anchor.Bottom};
    const int left = position % 2 == 0 ? corner.X + kBalloonTailInset - width : corner.X - kBalloonTailInset;
    const int top = above ? corner.Y - height : corner.Y - 2;
    g.Window = {left, top, left + width, top + height};
    g.Body = above ? Rect{0, 0, width, height - 18} : Rect{0, tailTop, width, height};
    const int w = width, h = height, in = kBalloonTailInset, tw = kBalloonTailWidth;
    switch (position) {
        case 0: g.Tail[0] = {w - in - tw, h - 20}, g.Tail[1] = {w - in, h}, g.Tail[2] = {w - in, h - 20}; break;
        case 1: g.Tail[0] = {in, h - 20}, g.Tail[1] = {in, h}, g.Tail[2] = {in + tw, h - 20}; break;
        case 2: g.Tail[0] = {w - in, 2}, g.Tail[1] = {w - in, tailTop}, g.Tail[2] = {w - in - tw, tailTop}; break;
        default: g.Tail[0] = {in, 2}, g.Tail[1] = {in, tailTop}, g.Tail[2] = {in + tw, tailTop}; break;
    }
    const int panelTop = above ? 0 : tailTop;
    g.Panel = {0, panelTop, panelWidth, panelTop + panelHeight};
    g.PanelRegion = {kBalloonBorderWidth, kBalloonBorderWidth, panelWidth - kBalloonBorderWidth,
                     panelHeight - kBalloonBorderWidth};
    return g;
}

}  // namespace tw
