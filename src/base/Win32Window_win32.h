#pragma once
// The one window pattern of the program. A window object attaches itself to its HWND at
// WM_NCCREATE and detaches at WM_NCDESTROY, so messages before and after go to DefWindowProc;
// every message goes to HandleMessage, and an exception it throws is handed to ReportUnhandled
// instead of unwinding through user32. The owner deletes the object; destroying the object
// destroys a window it still has.
#include <windows.h>

namespace tw {

class Win32Window {
public:
    Win32Window() = default;
    virtual ~Win32Window();
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    HWND Handle() const { return hwnd_; }

    // Registers `className` (once per process) with WndProc and creates the window for this
    // object. Null on failure, with GetLastError telling why.
    HWND CreateFor(const wchar_t* className, DWORD exStyle, DWORD style, const wchar_t* title, int x, int y,
                   int width, int height, HWND parent, HMENU menu = nullptr, UINT classStyle = 0,
                   HCURSOR cursor = LoadCursorW(nullptr, IDC_ARROW), HICON icon = nullptr);
    // DestroyWindow of a window still held; nothing when there is none.
    void Destroy();
    // Runs timer `id` every `milliseconds` (again from now when it runs already), or stops it for
    // 0 or less; nothing without a window. A timer the system refuses raises, naming `what`.
    void RunTimer(UINT_PTR id, int milliseconds, const char* what);

    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

protected:
    // Answers one message; the default passes it to DefWindowProc.
    virtual LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    // After WM_NCDESTROY, when the handle has gone: drop what referred to it.
    virtual void OnWindowGone() {}
    LRESULT Default(UINT msg, WPARAM wp, LPARAM lp) { return DefWindowProcW(hwnd_, msg, wp, lp); }

private:
    HWND hwnd_ = nullptr;
};

}  // namespace tw
