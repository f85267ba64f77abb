#include "base/ProgramPath_win32.h"

#include "base/TextConvert_win32.h"
#include "base/UniqueHandle_win32.h"

#include <windows.h>
#include <shellapi.h>

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

std::vector<std::string> ProgramArguments() {
    std::vector<std::string> arguments;
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!argv) return arguments;
    const LocalMemory owner(argv);  // one block holds the array and its strings
    for (int i = 1; i < count; ++i) arguments.push_back(FromWide(argv[i]));
    return arguments;
}

}  // namespace tw
