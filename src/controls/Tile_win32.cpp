// The tiled background as a child window at the bottom of its siblings, or painted by the
// parent onto its own surface (PaintTo).
#include "controls/GdiHandles_win32.h"
#include "controls/MouseInput_win32.h"
#include "controls/Tile.h"

#include <windowsx.h>

namespace tw {

namespace {

constexpr wchar_t kClassName[] = L"TidewireTile";

TColor ResolveSystem(TColor c) {
    if (IsSystemColor(c)) return GetSysColor(static_cast<int>(c & 0xFF)) & 0xFFFFFF;
    return c & 0xFFFFFF;
}

// Composes off screen and shows the whole area in one copy.
void PaintTile(const TTile& tile, HDC dc, int x, int y) {
    if (!dc) return;
    TPixelImage image;
    tile.Compose(image, ResolveSystem);
    if (image.Empty()) return;
    BITMAPINFO bmi = gdi::TopDownBitmapInfo(image.Width(), image.Height());
    SetDIBitsToDevice(dc, x, y, image.Width(), image.Height(), 0, 0, 0, image.Height(), image.Data(), &bmi,
                      DIB_RGB_COLORS);
}

class TileWindow final : public ITileHost {
public:
    ~TileWindow() override {
        if (hwnd_) {
            SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
            DestroyWindow(hwnd_);
        }
    }
    void Invalidate() override {
        if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
    }
    void SetBounds(int left, int top, int width, int height) override {
        if (hwnd_) SetWindowPos(hwnd_, HWND_BOTTOM, left, top, width, height, SWP_NOACTIVATE);
    }
    void* NativeHandle() const override { return hwnd_; }

    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
        auto* self = reinterpret_cast<TileWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (!self || !self->owner_) return DefWindowProcW(hwnd, msg, wp, lp);
        try {
            return self->HandleMessage(msg, wp, lp);
        } catch (...) {
            return DefWindowProcW(hwnd, msg, wp, lp);  // never unwind through user32
        }
    }

    HWND hwnd_ = nullptr;
    TTile* owner_ = nullptr;

private:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
        const int x = GET_X_LPARAM(lp), y = GET_Y_LPARAM(lp);
        switch (msg) {
            case WM_PAINT: {
                gdi::PaintScope paint(hwnd_);
                PaintTile(*owner_, paint.Get(), 0, 0);
                return 0;
            }
            case WM_ERASEBKGND: return 1;
            case WM_LBUTTONDOWN: owner_->MouseDown(mbLeft, MouseShiftState(wp), x, y); return 0;
            case WM_LBUTTONUP: owner_->MouseUp(mbLeft, MouseShiftState(wp), x, y); return 0;
            case WM_LBUTTONDBLCLK: owner_->DoubleClick(); return 0;
            case WM_RBUTTONDOWN: owner_->MouseDown(mbRight, MouseShiftState(wp), x, y); return 0;
            case WM_RBUTTONUP: owner_->MouseUp(mbRight, MouseShiftState(wp), x, y); return 0;
            case WM_MBUTTONDOWN: owner_->MouseDown(mbMiddle, MouseShiftState(wp), x, y); return 0;
            case WM_MBUTTONUP: owner_->MouseUp(mbMiddle, MouseShiftState(wp), x, y); return 0;
            case WM_MOUSEMOVE: owner_->MouseMove(MouseShiftState(wp), x, y); return 0;
            default: return DefWindowProcW(hwnd_, msg, wp, lp);
        }
    }
};

bool RegisterTileClass() {
    static const bool registered = gdi::RegisterWindowClass(kClassName, &TileWindow::WndProc, CS_DBLCLKS);
    return registered;
}

}  // namespace

void TTile::PaintTo(void* hdc) const { PaintTile(*this, static_cast<HDC>(hdc), left_, top_); }

std::unique_ptr<TTile> CreateTile(void* parentWindow, int left, int top, int width, int height) {
    if (!RegisterTileClass()) return nullptr;
    HWND hwnd = CreateWindowExW(0, kClassName, L"", WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS, left, top, width,
                                height, static_cast<HWND>(parentWindow), nullptr, GetModuleHandleW(nullptr), nullptr);
    if (!hwnd) return nullptr;
    auto host = std::make_unique<TileWindow>();
    TileWindow* raw = host.get();
    raw->hwnd_ = hwnd;
    auto tile = std::make_unique<TTile>(std::move(host));
    raw->owner_ = tile.get();
    SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(raw));
    tile->SetBounds(left, top, width, height);
    raw->SetBounds(left, top, width, height);  // puts it under the siblings made before it
    return tile;
}

}  // namespace tw
