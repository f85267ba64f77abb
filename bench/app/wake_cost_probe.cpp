// What a window that changes 40 times a second costs under Wine, apart from the program: a
// 1024 x 25 window whose 900 x 16 strip is redrawn every 25 ms in one of five ways.
//   0  the thread's message loop waits 25 ms at a time and draws nothing
//   1  the same loop draws the strip each time
//   2  a second thread paced by Sleep draws nothing (the window's thread waits for messages)
//   3  that second thread draws the strip on the window's own DC
//   4  as 3, the second thread paced by a message wait instead of Sleep
// Built with the cross compiler (x86_64-w64-mingw32-g++-posix -O2 -static -mwindows) and run
// as `wine64 wake_cost_probe.exe MODE`; read its CPU time from /proc while it runs.
#include <windows.h>

#include <cstdlib>

namespace {

constexpr int kWidth = 900, kHeight = 16, kPeriodMs = 25;
HWND g_window;
HDC g_memory;
unsigned* g_bits;
bool g_draw;
bool g_pacedByWait;

LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

void DrawStrip(HDC dc) {
    static int frame = 0;
    for (int y = 0; y < kHeight; ++y)
        for (int x = 0; x < kWidth; ++x) g_bits[y * kWidth + x] = (x + frame) % 37 < 18 ? 0xFFFFFF : 0x000080;
    ++frame;
    BitBlt(dc, 0, 4, kWidth, kHeight, g_memory, 0, 0, SRCCOPY);
}

DWORD WINAPI SleepPacedThread(void*) {
    HDC dc = GetDC(g_window);
    LARGE_INTEGER frequency, now;
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&now);
    long long due = now.QuadPart;
    for (;;) {
        due += frequency.QuadPart * kPeriodMs / 1000;
        QueryPerformanceCounter(&now);
        const long long ms = (due - now.QuadPart) * 1000 / frequency.QuadPart;
        if (ms > 0) {
            if (g_pacedByWait)
                MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(ms), QS_ALLINPUT, 0);
            else
                Sleep(static_cast<DWORD>(ms));
        }
        if (g_draw) DrawStrip(dc);
    }
}

}  // namespace

int main(int argc, char** argv) {
    const int mode = argc > 1 ? std::atoi(argv[1]) : 0;
    g_draw = mode == 1 || mode >= 3;
    g_pacedByWait = mode == 4;
    WNDCLASSW wc{};
    wc.style = CS_OWNDC;
    wc.lpfnWndProc = WindowProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"WakeCostProbe";
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(GRAY_BRUSH));
    RegisterClassW(&wc);
    g_window = CreateWindowExW(WS_EX_TOOLWINDOW | WS_EX_TOPMOST, wc.lpszClassName, L"probe", WS_POPUP | WS_VISIBLE, 0,
                               0, 1024, 25, nullptr, nullptr, wc.hInstance, nullptr);
    BITMAPINFO bmi{};
    bmi.bmiHeader = {sizeof(BITMAPINFOHEADER), kWidth, -kHeight, 1, 32, BI_RGB};
    g_memory = CreateCompatibleDC(nullptr);
    void* bits = nullptr;
    SelectObject(g_memory, CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    g_bits = static_cast<unsigned*>(bits);
    MSG msg;
    if (mode >= 2) {
        CreateThread(nullptr, 0, SleepPacedThread, nullptr, 0, nullptr);
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
        return 0;
    }
    HDC dc = GetDC(g_window);
    DWORD due = GetTickCount() + kPeriodMs;
    for (;;) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) return 0;
            DispatchMessageW(&msg);
        }
        const DWORD now = GetTickCount();
        if (static_cast<int>(due - now) <= 0) {
            if (g_draw) DrawStrip(dc);
            due += kPeriodMs;
            continue;
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, due - now, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
}
