// The tiled background as a child window at the bottom of its siblings, or painted by the
// parent onto its own surface (PaintTileTo).
#include "controls/Tile_win32.h"

#include "base/Win32Window_win32.h"
#include "controls/GdiHandles_win32.h"
#include "controls/MouseInput_win32.h"

#include <windowsx.h>

namespace tw {

namespace {

constexpr wchar_t kClassName[] = L"TidewireTile";


// Composes off screen and shows the whole area in one copy.
void PaintTile(const TTile& tile, HDC dc, int x, int y) {
    if (!dc) return;
    TPixelImage image;
    tile.Compose(image, gdi::ResolveSystemColor);
    if (image.Empty()) return;
    BITMAPINFO bmi = gdi::TopDownBitmapInfo(image.Width(), image.Height());
    SetDIBitsToDevice(dc, x, y, image.Width(), image.Height(), 0, 0, 0, image.Height(), image.Data(), &bmi,
                      DIB_RGB_COLORS);
}

class TileWindow final : public ITileHost, public Win32Window {
public:
    ~TileWindow() override { Destroy(); }
    void Invalidate() override {
        if (Handle()) InvalidateRect(Handle(), nullptr, FALSE);
    }
    void SetBounds(int left, int top, int width, int height) override {
        if (Handle()) SetWindowPos(Handle(), HWND_BOTTOM, left, top, width, height, SWP_NOACTIVATE);
    }

    TTile* owner_ = nullptr;

private:
    // Until the control is attached, messages go to DefWindowProc.
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        if (!owner_) return Default(msg, wp, lp);
        const int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
        switch (msg) {
            case WM_PAINT: OnPaint(); return 0;
            case WM_ERASEBKGND: return 1;
            case WM_LBUTTONDOWN: owner_->MouseDown(mbLeft, MouseShiftState(wp), x, y); return 0;
            case WM_LBUTTONUP: owner_->MouseUp(mbLeft, MouseShiftState(wp), x, y); return 0;
            case WM_LBUTTONDBLCLK: owner_->DoubleClick(); return 0;
            case WM_RBUTTONDOWN: owner_->MouseDown(mbRight, MouseShiftState(wp), x, y); return 0;
            case WM_RBUTTONUP: owner_->MouseUp(mbRight, MouseShiftState(wp), x, y); return 0;
            case WM_MBUTTONDOWN: owner_->MouseDown(mbMiddle, MouseShiftState(wp), x, y); return 0;
            case WM_MBUTTONUP: owner_->MouseUp(mbMiddle, MouseShiftState(wp), x, y); return 0;
            case WM_MOUSEMOVE: owner_->MouseMove(MouseShiftState(wp), x, y); return 0;
            default: return Default(msg, wp, lp);
        }
    }
    void OnPaint() {
        gdi::PaintScope paint(Handle());
        PaintTile(*owner_, paint.Get(), 0, 0);
    }
};

}  // namespace

void PaintTileTo(const TTile& control, HDC dc) { PaintTile(control, dc, control.Left(), control.Top()); }

HWND WindowHandle(const TTile& control) {
    const auto* window = dynamic_cast<const TileWindow*>(control.Host());
    return window ? window->Handle() : nullptr;
}

std::unique_ptr<TTile> CreateTile(HWND parent, int left, int top, int width, int height) {
    auto host = std::make_unique<TileWindow>();
    TileWindow* raw = host.get();
    if (!raw->CreateFor(kClassName, 0, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, L"", left, top, width, height, parent,
                        nullptr, CS_DBLCLKS)) {
        return nullptr;
    }
    auto tile = std::make_unique<TTile>(std::move(host));
    raw->owner_ = tile.get();
    tile->SetBounds(left, top, width, height);
    raw->SetBounds(left, top, width, height);  // puts it under the siblings made before it
    return tile;
}

}  // namespace tw
