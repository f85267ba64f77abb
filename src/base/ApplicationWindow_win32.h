#pragma once
// The program's hidden application window. It owns the main form (so the form itself gets no
// taskbar button), carries the program's taskbar button (shown or hidden by the application bar
// and the tray icon), and lets components watch its messages: through HookMainWindow (hooks see
// each message before it is handled) or by subclassing it (application hooks).
#include "base/Win32Window_win32.h"
#include "base/pkClasses.h"

#include <functional>
#include <string>
#include <vector>

namespace tw {

class TApplicationWindow : public Win32Window {
public:
    // Answers true to take the message over; its Result is then the answer.
    using THook = std::function<bool(TMessage&)>;

    // The process-wide instance; its window exists once Create ran.
    static TApplicationWindow& Instance();

    // Creates the hidden window with the program's title; false on failure.
    bool Create(const std::wstring& title);

    // The form the program runs (null until set): the application bar and the tray icon act on
    // the taskbar button only for it.
    HWND MainForm() const { return mainForm_; }
    void SetMainForm(HWND form) { mainForm_ = form; }

    // Adds a hook seeing every message of the window first; answers a token for UnhookMainWindow.
    int HookMainWindow(THook hook);
    void UnhookMainWindow(int token);

    // Minimising the application hides its forms behind the taskbar button; restoring brings them
    // back. OnMinimize and OnRestore follow (one handler each: a later one replaces the earlier).
    void Minimize();
    void Restore();
    bool Minimized() const { return minimized_; }
    std::function<void()> OnMinimize;
    std::function<void()> OnRestore;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;

private:
    TApplicationWindow() = default;
    HWND mainForm_ = nullptr;
    bool minimized_ = false;
    std::vector<std::pair<int, THook>> hooks_;
    int nextToken_ = 1;
};

}  // namespace tw
