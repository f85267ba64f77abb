#pragma once
// The one window pattern of the program. A window object attaches itself to its HWND at
// WM_NCCREATE (a dialog at WM_INITDIALOG) and detaches at WM_NCDESTROY, so messages before and
// after go to the system's default; every message between goes to HandleMessage, and an
// exception it throws is handed to ReportUnhandled instead of unwinding through user32. The owner
// deletes the object; destroying the object destroys a window it still has.
#include <windows.h>

#include <string>

namespace tw {

class Win32Window {
public:
    Win32Window() = default;
    virtual ~Win32Window();
    Win32Window(const Win32Window&) = delete;
    Win32Window& operator=(const Win32Window&) = delete;

    HWND Handle() const { return hwnd_; }

    // Creates the window for this object, registering `className` with WndProc first; the class
    // stays registered while an object holds a window of it. Null on failure, with GetLastError
    // telling why: the class refused (also when another procedure owns that name), the window
    // refused, or this object has a window already (ERROR_INVALID_OPERATION).
    HWND CreateFor(const wchar_t* className, DWORD exStyle, DWORD style, const wchar_t* title, int x, int y,
                   int width, int height, HWND parent, HMENU menu = nullptr, UINT classStyle = 0,
                   HCURSOR cursor = LoadCursorW(nullptr, IDC_ARROW), HICON icon = nullptr);
    // Runs a modal dialog made from `dialogTemplate` for this object, owned by `owner`; its
    // messages reach HandleMessage from WM_INITDIALOG on, where Default answers FALSE (the dialog
    // manager's own handling). Answers what EndDialog was given; 0 or -1 when the dialog cannot
    // be made, with GetLastError telling why. A handler that throws at WM_INITDIALOG ends the
    // dialog with IDCANCEL.
    INT_PTR RunModalDialog(const DLGTEMPLATE* dialogTemplate, HWND owner);
    // DestroyWindow of a window still held (a dialog is ended with IDCANCEL); nothing when there
    // is none.
    void Destroy();
    // Runs timer `id` every `milliseconds` (again from now when it runs already), or stops it for
    // 0 or less; nothing without a window. A timer the system refuses raises, naming `what`.
    void RunTimer(UINT_PTR id, int milliseconds, const char* what);

    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);

protected:
    // Answers one message; the default passes it to Default.
    virtual LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp);
    // After WM_NCDESTROY, when the handle has gone: drop what referred to it.
    virtual void OnWindowGone() {}
    // DefWindowProc's answer; FALSE in a dialog, whose manager then does the default.
    LRESULT Default(UINT msg, WPARAM wp, LPARAM lp) const;

private:
    enum class Kind { Window, Dialog };
    static LRESULT Dispatch(Kind kind, Win32Window* attaching, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    static LRESULT DefaultAnswer(Kind kind, HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void ReleaseClass();

    HWND hwnd_ = nullptr;
    Kind kind_ = Kind::Window;
    std::wstring className_;  // the class this object keeps registered; empty when none
};

}  // namespace tw
