#pragma once
// TTile: fills its rectangle by repeating a small bitmap, like wallpaper (`imgBckg`).
//
// The control is opaque: with no tile, or an empty one, it paints its plain `Color`; otherwise
// it composes the whole W x H area off screen from copies of the tile (cut off at the right and
// bottom edges) and shows it in one copy.
//
// Using it as the main window's background (Windows build, Tile_win32.h), either way:
//  - as a child window at the bottom of the z-order, under the other controls:
//        auto bckg = tw::CreateTile(hwndMain, 0, 0, clientWidth, clientHeight);
//        bckg->SetBitmap(&tileImage);                  // e.g. from LoadProgramPictures
//        bckg->OnMouseDown = [this](tw::TTile&, tw::TMouseButton b, unsigned, int x, int y) {...};
//    and call bckg->SetBounds(...) when the main window's client area changes. It puts itself
//    at the bottom of its siblings when created and on every SetBounds. Windows puts a new child
//    window at the bottom too, so a sibling created after it lies under it: create the tile
//    last, or raise later children with SetWindowPos(child, HWND_TOP, 0, 0, 0, 0,
//    SWP_NOMOVE | SWP_NOSIZE). CreateScrollingText raises its own window.
//  - windowless: keep a plain `tw::TTile` (no window), SetBounds it to the client area and call
//    PaintTileTo(tile, hdc) from the main window's WM_PAINT / WM_ERASEBKGND; labels drawn by the main
//    window then sit on the tile. Forward mouse presses with MouseDown(...).
#include "controls/Graphics.h"

#include <functional>
#include <memory>
#include <string_view>

namespace tw {

// Copies `tile` over `dst` for columns 0..ceil(W/w)-1 and rows 0..ceil(H/h)-1 and returns the
// number of copies made. With an empty tile nothing is copied and 0 is returned.
int TileInto(TPixelImage& dst, const TPixelImage& tile);

// What a windowed tile needs from the platform.
class ITileHost {
public:
    virtual ~ITileHost() = default;
    virtual void Invalidate() = 0;
    virtual void SetBounds(int left, int top, int width, int height) = 0;
};

class TTile {
public:
    // 100 x 100, no tile, Color clBtnFace. Without a host the control is windowless.
    explicit TTile(std::unique_ptr<ITileHost> host = nullptr);
    virtual ~TTile();
    TTile(const TTile&) = delete;
    TTile& operator=(const TTile&) = delete;

    // The tile picture; setting copies `bitmap`, null releases the picture. Both repaint.
    const TPixelImage& Bitmap() const { return bitmap_; }
    void SetBitmap(const TPixelImage* bitmap);
    std::string_view Version() const { return "1.11"; }

    TColor Color() const { return color_; }
    void SetColor(TColor color);

    int Left() const { return left_; }
    int Top() const { return top_; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    void SetBounds(int left, int top, int width, int height);

    // The whole control area as it is painted; system colours resolved with `resolve`
    // (empty: the classic table).
    void Compose(TPixelImage& out, const TColorResolver& resolve = {}) const;

    // The platform side of a windowed tile, or null.
    ITileHost* Host() const { return host_.get(); }

    void MouseDown(TMouseButton button, unsigned shift, int x, int y);
    void MouseUp(TMouseButton button, unsigned shift, int x, int y);
    void MouseMove(unsigned shift, int x, int y);
    void DoubleClick();

    std::function<void(TTile& sender)> OnClick;
    std::function<void(TTile& sender)> OnDblClick;
    std::function<void(TTile& sender, TMouseButton, unsigned shift, int x, int y)> OnMouseDown;
    std::function<void(TTile& sender, TMouseButton, unsigned shift, int x, int y)> OnMouseUp;
    std::function<void(TTile& sender, unsigned shift, int x, int y)> OnMouseMove;

    // Count of repaint requests, for tests.
    int RepaintCount() const { return repaintCount_; }

private:
    void Repaint();

    std::unique_ptr<ITileHost> host_;
    TPixelImage bitmap_;
    TColor color_ = clBtnFace;
    int left_ = 0, top_ = 0, width_ = 100, height_ = 100;
    int repaintCount_ = 0;
    bool mouseDown_ = false;
};

}  // namespace tw
