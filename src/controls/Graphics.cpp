#include "controls/Graphics.h"

#include <algorithm>
#include <array>

namespace tw {

TColor ResolveColorClassic(TColor c) {
    if (!IsSystemColor(c)) return c & 0x00FFFFFFu;
    // The classic (Windows Standard) scheme, 0x00BBGGRR.
    static constexpr std::array<TColor, 31> table = {
        0xC8D0D4, 0xA56E3A, 0x6A240A, 0x808080, 0xC8D0D4, 0xFFFFFF, 0x000000, 0x000000,
        0x000000, 0xFFFFFF, 0xC8D0D4, 0xC8D0D4, 0x808080, 0x6A240A, 0xFFFFFF, 0xC8D0D4,
        0x808080, 0x808080, 0x000000, 0xC8D0D4, 0xFFFFFF, 0x404040, 0xC8D0D4, 0x000000,
        0xE1FFFF, 0xB5B5B5, 0x800000, 0xF0CAA6, 0xC0C0C0, 0xFF9933, 0xC8D0D4};
    const unsigned index = c & 0xFFu;
    return index < table.size() ? table[index] : clBlack;
}

void TPixelImage::Resize(int width, int height, std::uint32_t fill) {
    width_ = std::max(width, 0);
    height_ = std::max(height, 0);
    if (width_ == 0 || height_ == 0) width_ = height_ = 0;
    pixels_.assign(static_cast<std::size_t>(width_) * height_, fill);
}

void TPixelImage::Fill(std::uint32_t px) { std::fill(pixels_.begin(), pixels_.end(), px); }

void TPixelImage::FillRect(int x, int y, int w, int h, std::uint32_t px) {
    const int x0 = std::max(x, 0), y0 = std::max(y, 0);
    const long long x1 = std::min<long long>(static_cast<long long>(x) + w, width_);
    const long long y1 = std::min<long long>(static_cast<long long>(y) + h, height_);
    if (x1 <= x0 || y1 <= y0) return;
    for (int row = y0; row < y1; ++row) std::fill(Row(row) + x0, Row(row) + x1, px);
}

namespace {

// The part of `src` that lands inside `dst` when its corner goes to (dx, dy).
struct Overlap {
    int srcX, srcY, dstX, dstY, width, height;
};

Overlap Clip(const TPixelImage& dst, const TPixelImage& src, int dx, int dy) {
    Overlap o{};
    const long long left = std::max<long long>(dx, 0);
    const long long top = std::max<long long>(dy, 0);
    const long long right = std::min<long long>(static_cast<long long>(dx) + src.Width(), dst.Width());
    const long long bottom = std::min<long long>(static_cast<long long>(dy) + src.Height(), dst.Height());
    if (right <= left || bottom <= top) return o;
    o.dstX = static_cast<int>(left);
    o.dstY = static_cast<int>(top);
    o.srcX = static_cast<int>(left - dx);
    o.srcY = static_cast<int>(top - dy);
    o.width = static_cast<int>(right - left);
    o.height = static_cast<int>(bottom - top);
    return o;
}

}  // namespace

void CopyImage(TPixelImage& dst, const TPixelImage& src, int dx, int dy) {
    const Overlap o = Clip(dst, src, dx, dy);
    for (int row = 0; row < o.height; ++row) {
        const std::uint32_t* from = src.Row(o.srcY + row) + o.srcX;
        std::copy(from, from + o.width, dst.Row(o.dstY + row) + o.dstX);
    }
}

void DrawTransparent(TPixelImage& dst, const TPixelImage& src, int dx, int dy, std::uint32_t keyPixel) {
    const Overlap o = Clip(dst, src, dx, dy);
    const std::uint32_t key = keyPixel & 0x00FFFFFFu;
    for (int row = 0; row < o.height; ++row) {
        const std::uint32_t* from = src.Row(o.srcY + row) + o.srcX;
        std::uint32_t* to = dst.Row(o.dstY + row) + o.dstX;
        // A select rather than a branch: glyph and ground pixels alternate unpredictably, and
        // this form lets the compiler vectorise the row.
        for (int i = 0; i < o.width; ++i) {
            const std::uint32_t px = from[i];
            to[i] = (px & 0x00FFFFFFu) != key ? px : to[i];
        }
    }
}

Rect ChangedRect(const TPixelImage& a, const TPixelImage& b) {
    if (a.Width() != b.Width() || a.Height() != b.Height()) return {0, 0, b.Width(), b.Height()};
    const int w = a.Width();
    int left = w, right = -1, top = -1, bottom = -1;
    for (int y = 0; y < a.Height(); ++y) {
        const std::uint32_t* pa = a.Row(y);
        const std::uint32_t* pb = b.Row(y);
        // Most rows of a ticker frame are equal: one pass of std::equal settles those.
        if (std::equal(pa, pa + w, pb)) continue;
        int x0 = 0;
        while (pa[x0] == pb[x0]) ++x0;
        int x1 = w - 1;
        while (pa[x1] == pb[x1]) --x1;
        left = std::min(left, x0);
        right = std::max(right, x1);
        if (top < 0) top = y;
        bottom = y;
    }
    if (top < 0) return {};
    return {left, top, right + 1, bottom + 1};
}

void CopyRect(TPixelImage& dst, const TPixelImage& src, const Rect& r) {
    const int x0 = std::max(r.Left, 0), y0 = std::max(r.Top, 0);
    const int x1 = std::min({r.Right, src.Width(), dst.Width()});
    const int y1 = std::min({r.Bottom, src.Height(), dst.Height()});
    for (int y = y0; y < y1; ++y) std::copy(src.Row(y) + x0, src.Row(y) + std::max(x0, x1), dst.Row(y) + x0);
}

}  // namespace tw
