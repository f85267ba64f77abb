#include "controls/Tile.h"

#include <algorithm>

namespace tw {

int TileInto(TPixelImage& dst, const TPixelImage& tile) {
    if (tile.Empty() || dst.Empty()) return 0;
    const int columns = (dst.Width() + tile.Width() - 1) / tile.Width();
    const int rows = (dst.Height() + tile.Height() - 1) / tile.Height();
    for (int row = 0; row < rows; ++row)
        for (int column = 0; column < columns; ++column)
            CopyImage(dst, tile, column * tile.Width(), row * tile.Height());
    return columns * rows;
}

TTile::TTile(std::unique_ptr<ITileHost> host) : host_(std::move(host)) {}

TTile::~TTile() {
    // The window goes first: messages it sends while dying must not reach a half-destroyed control.
    host_.reset();
}

void TTile::SetBitmap(const TPixelImage* bitmap) {
    bitmap_ = bitmap ? *bitmap : TPixelImage();
    Repaint();
}

void TTile::SetColor(TColor color) {
    if (color == color_) return;
    color_ = color;
    Repaint();
}

void TTile::SetBounds(int left, int top, int width, int height) {
    width = std::max(width, 0);
    height = std::max(height, 0);
    if (left == left_ && top == top_ && width == width_ && height == height_) return;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    if (host_) host_->SetBounds(left, top, width, height);
    Repaint();
}

void TTile::Compose(TPixelImage& out, const TColorResolver& resolve) const {
    const TColor plain = resolve ? resolve(color_) & 0xFFFFFFu : ResolveColorClassic(color_);
    out.Resize(width_, height_, ColorToPixel(plain));
    TileInto(out, bitmap_);
}

void TTile::Repaint() {
    ++repaintCount_;
    if (host_) host_->Invalidate();
}

void TTile::MouseDown(TMouseButton button, unsigned shift, int x, int y) {
    if (button == mbLeft) mouseDown_ = true;
    if (OnMouseDown) OnMouseDown(*this, button, shift, x, y);
}

void TTile::MouseUp(TMouseButton button, unsigned shift, int x, int y) {
    const bool click = button == mbLeft && mouseDown_ && x >= 0 && y >= 0 && x < width_ && y < height_;
    if (button == mbLeft) mouseDown_ = false;
    if (OnMouseUp) OnMouseUp(*this, button, shift, x, y);
    if (click && OnClick) OnClick(*this);
}

void TTile::MouseMove(unsigned shift, int x, int y) {
    if (OnMouseMove) OnMouseMove(*this, shift, x, y);
}

void TTile::DoubleClick() {
    if (OnDblClick) OnDblClick(*this);
}

}  // namespace tw
