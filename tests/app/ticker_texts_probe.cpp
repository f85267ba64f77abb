// Prints the window texts of a running program, the way a screen reader finds them: one line
// per window, "<depth> <class>\t<text>", top-level windows first, each followed by its children.
// With an argument, only the top-level windows whose class name or text equals it (and their
// children) are listed. Built by end-to-end scripts with the cross compiler and run under the
// same Wine prefix as the program:
//   x86_64-w64-mingw32-g++-posix -O1 -static -municode -o probe.exe ticker_texts_probe.cpp
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[256] = {};
    GetClassNameW(hwnd, name, 256);
    return name;
}

// WM_GETTEXT through SendMessageTimeout, so a hung program cannot hang the probe.
std::wstring TextOf(HWND hwnd) {
    DWORD_PTR length = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, 2000, &length)) return L"";
    std::wstring text(static_cast<size_t>(length) + 1, L'\0');
    DWORD_PTR copied = 0;
    if (!SendMessageTimeoutW(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), SMTO_ABORTIFHUNG,
                             2000, &copied))
        return L"";
    text.resize(static_cast<size_t>(copied));
    return text;
}

void Print(HWND hwnd, int depth) {
    std::string line = std::to_string(depth) + " " + Utf8(ClassOf(hwnd)) + "\t" + Utf8(TextOf(hwnd));
    for (char& c : line)
        if (c == '\r' || c == '\n') c = ' ';
    std::printf("%s\n", line.c_str());
}

const wchar_t* g_filter = nullptr;

BOOL CALLBACK PrintChild(HWND hwnd, LPARAM) {
    Print(hwnd, GetParent(hwnd) == GetAncestor(hwnd, GA_ROOT) ? 1 : 2);
    return TRUE;
}

BOOL CALLBACK PrintTop(HWND hwnd, LPARAM) {
    if (g_filter && ClassOf(hwnd) != g_filter && TextOf(hwnd) != g_filter) return TRUE;
    Print(hwnd, 0);
    EnumChildWindows(hwnd, PrintChild, 0);
    return TRUE;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc > 1) g_filter = argv[1];
    EnumWindows(PrintTop, 0);
    std::fflush(stdout);
    return 0;
}
