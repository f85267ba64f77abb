#pragma once
// The single-instance guard on Windows: a named kernel mutex, the record in the registry's
// classes ("TpkOnlyOne", one DWORD value per application title) and a private message window.
#include "desktop/pkOnlyOne.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace tw {

// Where the record lives: `root`\`keyPath`, falling back to `userRoot`\`userKeyPath` when the
// first cannot be written (a normal user may not write HKEY_CLASSES_ROOT).
struct TOnlyOneRecordPlace {
    HKEY root = HKEY_CLASSES_ROOT;
    std::wstring keyPath = L"TpkOnlyOne";
    HKEY userRoot = HKEY_CURRENT_USER;
    std::wstring userKeyPath = L"Software\\Classes\\TpkOnlyOne";
};

// A guard for `title` whose private window passes WM_SWITCH_TO_FIRST on to `formWindow()` (null:
// none). It has not decided yet: the caller runs Loaded() once the form's parts exist.
std::unique_ptr<TpkOnlyOne> CreateOnlyOne(TpkComponent* owner, const std::string& title,
                                          std::function<HWND()> formWindow, TOnlyOneRecordPlace place = {});

}  // namespace tw
