#pragma once
// Owners of the window-system handles the ticker controls use (Windows build only).
#include <windows.h>
#include <commctrl.h>

#include "base/TextConvert_win32.h"
#include "base/UniqueHandle_win32.h"
#include "controls/Graphics.h"

#include <string>
#include <utility>

namespace tw {

using ImageList = UniqueHandle<NullInvalidTraits<HIMAGELIST, &ImageList_Destroy>>;

}  // namespace tw

namespace tw::gdi {

// A colour as RGB (0x00BBGGRR): a system colour is read from the system now.
inline TColor ResolveSystemColor(TColor c) {
    if (IsSystemColor(c)) return GetSysColor(static_cast<int>(c & 0xFF)) & 0xFFFFFF;
    return c & 0xFFFFFF;
}
inline COLORREF ColorRefOf(TColor c) { return static_cast<COLORREF>(ResolveSystemColor(c)); }

using tw::GdiObject;
using tw::Icon;
using tw::MemoryDc;
using Window = tw::OwnedWindow;

// Selects an object into a DC for a scope and puts the previous one back.
class SelectScope {
public:
    SelectScope(HDC dc, HGDIOBJ obj) : dc_(dc), old_(SelectObject(dc, obj)) {}
    ~SelectScope() {
        if (old_ && old_ != HGDI_ERROR) SelectObject(dc_, old_);
    }
    SelectScope(const SelectScope&) = delete;
    SelectScope& operator=(const SelectScope&) = delete;

private:
    HDC dc_;
    HGDIOBJ old_;
};

// GetDC / ReleaseDC for a window.
class WindowDc {
public:
    explicit WindowDc(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
    ~WindowDc() {
        if (dc_) ReleaseDC(hwnd_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND hwnd_;
    HDC dc_;
};

// BeginPaint / EndPaint.
class PaintScope {
public:
    explicit PaintScope(HWND hwnd) : hwnd_(hwnd) { dc_ = BeginPaint(hwnd, &ps_); }
    ~PaintScope() { EndPaint(hwnd_, &ps_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC Get() const { return dc_; }

private:
    HWND hwnd_;
    PAINTSTRUCT ps_{};
    HDC dc_ = nullptr;
};

// `font` (points) for a display of `dpi` pixels per inch, in the default quality.
inline LOGFONTW LogFontOf(const TFont& font, int dpi) {
    LOGFONTW lf{};
    lf.lfHeight = -MulDiv(font.Size, dpi, 72);
    lf.lfWeight = (font.Style & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (font.Style & fsItalic) ? TRUE : FALSE;
    lf.lfUnderline = (font.Style & fsUnderline) ? TRUE : FALSE;
    lf.lfStrikeOut = (font.Style & fsStrikeOut) ? TRUE : FALSE;
    lf.lfCharSet = DEFAULT_CHARSET;
    lstrcpynW(lf.lfFaceName, ToWide(font.Name).c_str(), LF_FACESIZE);
    return lf;
}

// A top-down 32-bit bitmap header for `width` x `height` pixels.
inline BITMAPINFO TopDownBitmapInfo(int width, int height) {
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bmi.bmiHeader.biWidth = width;
    bmi.bmiHeader.biHeight = -height;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    return bmi;
}

}  // namespace tw::gdi
