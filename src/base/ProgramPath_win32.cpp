#include "base/ProgramPath_win32.h"

#include "base/TextConvert_win32.h"

#include <windows.h>

namespace tw {

std::wstring RunningExecutableWidePath() {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (n == 0) return {};
        if (n < path.size()) {
            path.resize(n);
            return path;
        }
        path.resize(path.size() * 2);  // the path was cut: try a larger buffer
    }
}

std::string RunningExecutablePath() { return FromWide(RunningExecutableWidePath()); }

}  // namespace tw
