// The full tick of the real control under Windows (or Wine): step, composition and the copy to
// the screen, for a 1,900 x 11 ticker, with the parts timed apart; then the process's CPU share
// while the ticker runs on its timer at the default speed (25 ms, 1 pixel) for 30 seconds.
//     bench_ticker_win32 [SECONDS]
#include "controls/ScrollingText_win32.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

double Seconds(const LARGE_INTEGER& a, const LARGE_INTEGER& b) {
    LARGE_INTEGER f;
    QueryPerformanceFrequency(&f);
    return static_cast<double>(b.QuadPart - a.QuadPart) / static_cast<double>(f.QuadPart);
}

void Pump(DWORD milliseconds) {
    const ULONGLONG end = GetTickCount64() + milliseconds;
    MSG msg;
    while (GetTickCount64() < end) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
}

ULONGLONG ProcessCpu100ns() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto v = [](const FILETIME& t) { return (static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime; };
    return v(kernel) + v(user);
}

HWND MakeHost() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
    wc.lpszClassName = L"TidewireTickerBench";
    RegisterClassW(&wc);
    return CreateWindowExW(WS_EX_TOPMOST | WS_EX_TOOLWINDOW, wc.lpszClassName, L"bench", WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN,
                           0, 0, 1920, 27, nullptr, nullptr, wc.hInstance, nullptr);
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 30;
    HWND host = MakeHost();
    auto ticker = tw::CreateScrollingText(host, 10, 12, 1900, 11);
    if (!host || !ticker) {
        std::printf("cannot create the ticker window\n");
        return 1;
    }
    ticker->SetFont({"Tahoma", 8, 0xE6F5FF, 0});
    ticker->SetBackgroundColor(0x40342B);
    ticker->SetLayout(tw::tlBottom);
    ticker->SetTextDirection(tw::tdRightToLeft);
    ticker->SetText("3/10    Tidewire benchmark: a feed item title long enough to cross the whole bar of a wide "
                    "screen, as the news of the day scrolls by from right to left");
    ticker->SetSpeed(0);
    ticker->Loaded();
    long passes = 0;
    ticker->OnTextScrolled = [&](tw::TScrollingText&) { ++passes; };
    Pump(300);
    ticker->SetOffset(-1900);

    const int n = 3000;
    LARGE_INTEGER t0, t1;
    QueryPerformanceCounter(&t0);
    for (int i = 0; i < n; ++i) ticker->Tick();
    GdiFlush();
    QueryPerformanceCounter(&t1);
    const double tickUs = Seconds(t0, t1) * 1e6 / n;

    QueryPerformanceCounter(&t0);
    for (int i = 0; i < n; ++i) ticker->ComposeFrame();
    QueryPerformanceCounter(&t1);
    const double composeUs = Seconds(t0, t1) * 1e6 / n;

    QueryPerformanceCounter(&t0);
    for (int i = 0; i < n; ++i) ticker->Host()->Present(ticker->Frame());
    GdiFlush();
    QueryPerformanceCounter(&t1);
    const double presentUs = Seconds(t0, t1) * 1e6 / n;
    std::printf("BENCH ticker_tick_full 1900x11 us_per_tick=%.1f compose_us=%.1f copy_to_screen_us=%.1f\n", tickUs,
                composeUs, presentUs);

    // The running ticker: its own timer at the default speed.
    ticker->SetOffset(-1500);  // the text already on screen, for a screenshot taken meanwhile
    passes = 0;
    ticker->PixelJump = 1;
    ticker->SetSpeed(25);
    const int startOffset = ticker->Offset();
    const ULONGLONG cpu0 = ProcessCpu100ns();
    QueryPerformanceCounter(&t0);
    Pump(static_cast<DWORD>(seconds) * 1000);
    QueryPerformanceCounter(&t1);
    const ULONGLONG cpu1 = ProcessCpu100ns();
    const double wall = Seconds(t0, t1);
    const long distance = ticker->StripWidth() - 1900;
    const long ticks = (startOffset - ticker->Offset()) + passes * distance;
    std::printf("BENCH ticker_cpu_share seconds=%.1f cpu_percent=%.2f ticks=%ld ms_per_tick=%.1f passes=%ld\n", wall,
                100.0 * static_cast<double>(cpu1 - cpu0) / 1e7 / wall, ticks, ticks ? wall * 1000 / ticks : 0.0, passes);
    ticker.reset();
    DestroyWindow(host);
    return 0;
}
