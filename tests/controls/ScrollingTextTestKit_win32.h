#pragma once
// Helpers for the controls' window tests under Wine: a plain top-level host window, the shared
// message pump, and a capture of what the screen shows.
#include <windows.h>

#include <gtest/gtest.h>

#include "controls/GdiHandles_win32.h"
#include "controls/Graphics.h"
#include "support/MessagePump.h"

namespace tw::test {

// A borderless top-level window painted in a distinctive magenta, so any pixel a control
// fails to cover stands out. Destroyed with the object.
class HostWindow {
public:
    HostWindow(int x, int y, int width, int height) {
        static const bool registered = [] {
            WNDCLASSW wc{};
            wc.lpfnWndProc = DefWindowProcW;
            wc.hInstance = GetModuleHandleW(nullptr);
            wc.hbrBackground = CreateSolidBrush(RGB(0xFF, 0x00, 0xFF));
            wc.lpszClassName = L"TidewireControlsTestHost";
            return RegisterClassW(&wc) != 0;
        }();
        EXPECT_TRUE(registered);
        hwnd_ = CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, L"TidewireControlsTestHost", L"host",
                                WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN, x, y, width, height, nullptr, nullptr,
                                GetModuleHandleW(nullptr), nullptr);
        EXPECT_NE(hwnd_, nullptr);
    }
    ~HostWindow() {
        if (hwnd_) DestroyWindow(hwnd_);
    }
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;
    HWND Get() const { return hwnd_; }

private:
    HWND hwnd_ = nullptr;
};

// The screen's pixels in the client area of `hwnd` (0xAARRGGBB, alpha undefined).
inline TPixelImage CaptureClient(HWND hwnd) {
    RECT rc{};
    GetClientRect(hwnd, &rc);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    const int w = rc.right, h = rc.bottom;
    TPixelImage image(w, h);
    HDC screen = GetDC(nullptr);
    HDC memory = CreateCompatibleDC(screen);
    BITMAPINFO bmi = gdi::TopDownBitmapInfo(w, h);
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(memory, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(memory, dib);
    BitBlt(memory, 0, 0, w, h, screen, origin.x, origin.y, SRCCOPY);
    GdiFlush();
    std::copy(static_cast<const std::uint32_t*>(bits), static_cast<const std::uint32_t*>(bits) + w * h, image.Data());
    SelectObject(memory, old);
    DeleteObject(dib);
    DeleteDC(memory);
    ReleaseDC(nullptr, screen);
    return image;
}

// The colour (0x00BBGGRR) of a captured pixel.
inline TColor CapturedColor(const TPixelImage& image, int x, int y) { return PixelToColor(image.Pixel(x, y) & 0xFFFFFFu); }

}  // namespace tw::test
