// Records the frames of the running ticker for a number of seconds and prints the gap between
// each frame and the next, in microseconds, one per line, after a line "frames N lost M". Twice
// a second it asks the scrolling text's window for the times of its last frames through the
// frame-time channel (ScrollingText_win32.h); frames that fell out of the control's ring between
// two asks are counted as lost, and no gap is made across them.
//     ticker_frames_probe.exe SECONDS
// Exits 1 when the ticker window is not found.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

// As TScrollingText::TFrameTimes (kept apart: the probe is built without the program's sources).
constexpr int kKept = 256;
struct FrameTimes {
    std::uint64_t Count;
    std::int64_t Micros[kKept];
};
constexpr ULONG_PTR kFrameTimesCopyData = 0x54574654;

FrameTimes g_last{};
bool g_got = false;

LRESULT CALLBACK ProbeProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
        if (data->dwData == kFrameTimesCopyData && data->cbData == sizeof(FrameTimes)) {
            std::memcpy(&g_last, data->lpData, sizeof g_last);
            g_got = true;
        }
        return TRUE;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

HWND FindTicker() {
    HWND bar = FindWindowW(L"TfrMain", nullptr);
    return bar ? FindWindowExW(bar, nullptr, L"TidewireScrollingText", nullptr) : nullptr;
}

}  // namespace

int main(int argc, char** argv) {
    const int seconds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 60;
    const HWND ticker = FindTicker();
    if (!ticker) {
        std::printf("no ticker window\n");
        return 1;
    }
    WNDCLASSW wc{};
    wc.lpfnWndProc = ProbeProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"TidewireFramesProbe";
    RegisterClassW(&wc);
    HWND self = CreateWindowExW(0, wc.lpszClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, wc.hInstance, nullptr);
    const UINT ask = RegisterWindowMessageW(L"TidewireTickerFrameTimes");

    std::uint64_t next = 0, lost = 0;  // the next frame to take
    bool haveLast = false;              // lastTime is the time of frame next - 1
    std::int64_t lastTime = 0;
    std::vector<std::int64_t> gaps;
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(seconds) * 1000;
    bool started = false;
    while (GetTickCount64() < end) {
        g_got = false;
        DWORD_PTR result = 0;
        SendMessageTimeoutW(ticker, ask, reinterpret_cast<WPARAM>(self), 0, SMTO_ABORTIFHUNG, 2000, &result);
        if (g_got) {
            const std::uint64_t count = g_last.Count;
            if (!started) {
                next = count;  // frames from now on
                started = true;
            }
            const std::uint64_t oldest = count > kKept ? count - kKept : 0;
            if (next < oldest) {
                lost += oldest - next;
                next = oldest;
                haveLast = false;  // no gap across the lost frames
            }
            for (; next < count; ++next) {
                const std::int64_t t = g_last.Micros[next % kKept];
                if (haveLast) gaps.push_back(t - lastTime);
                lastTime = t;
                haveLast = true;
            }
        }
        Sleep(500);
    }
    if (!started) {
        std::printf("the ticker did not answer\n");
        return 1;
    }
    std::printf("frames %zu lost %llu\n", gaps.size() + 1, static_cast<unsigned long long>(lost));
    for (std::int64_t gap : gaps) std::printf("%lld\n", static_cast<long long>(gap));
    return 0;
}
