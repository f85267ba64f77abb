#pragma once
// The real main window of the bar (Windows build).
#include "app/fMain.h"

#include <windows.h>

#include <memory>
#include <string>

namespace tw {

class TMainWindow {
public:
    virtual ~TMainWindow() = default;
    // Creates the window (its own thread's), runs FormCreate with the settings file in
    // `exeDirectory` (with its trailing separator; empty: the program's folder) and shows the
    // bar. `instance` is the program's module. Null when the window cannot be made.
    static std::unique_ptr<TMainWindow> Create(HINSTANCE instance, const std::string& exeDirectory = {});
    // The window; null once it has been destroyed.
    virtual HWND Handle() const = 0;
    // The window's logic; null once the window has been destroyed.
    virtual TfrMain* Form() = 0;
};

// Creates the main window and runs the message loop until the program ends; exceptions that
// reach a window procedure are shown in a message box. Returns the process exit code.
int RunMainWindow(HINSTANCE instance);

}  // namespace tw
