#include "desktop/NetDetect.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <thread>

namespace tw {

namespace {

// Check ids are unique in the process, so a report posted to a window handle that has since
// been reused by another host can never match one of that host's checks.
std::atomic<std::uint64_t> g_nextReportTag{1};

constexpr UINT kCheckDoneMessage = WM_APP + 0x4E1;
constexpr UINT_PTR kPollTimerId = 1;
constexpr wchar_t kWindowClass[] = L"TidewireNetDetectHost";

std::wstring ToWide(const std::string& text) {
    if (text.empty()) return {};
    int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
    return out;
}

struct InternetHandle {
    HINTERNET h = nullptr;
    explicit InternetHandle(HINTERNET handle) : h(handle) {}
    ~InternetHandle() {
        if (h) InternetCloseHandle(h);
    }
    InternetHandle(const InternetHandle&) = delete;
    InternetHandle& operator=(const InternetHandle&) = delete;
};

class SystemNetDetectHost final : public INetDetectHost {
public:
    SystemNetDetectHost();
    ~SystemNetDetectHost() override;

    void Bind(TNetDetect& detector) override { detector_ = &detector; }
    void SetTimer(bool enabled, int intervalMs) override;
    void StartCheck(std::uint64_t checkId, const std::string& url, int timeoutMs) override;

private:
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp);
    void OnCheckDone(std::uint64_t tag, bool reachable);

    HWND hwnd_ = nullptr;
    TNetDetect* detector_ = nullptr;
    std::uint64_t tagBase_ = 0;  // process-wide tag of this host's check 0
};

ATOM RegisterHostClass() {
    static ATOM atom = [] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcW;  // replaced per window once `this` is stored
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kWindowClass;
        return RegisterClassExW(&wc);
    }();
    return atom;
}

SystemNetDetectHost::SystemNetDetectHost() {
    // Reserve a block of tags; a host never starts more than 2^32 checks.
    tagBase_ = g_nextReportTag.fetch_add(1ull << 32);
    if (!RegisterHostClass()) return;
    // A message-only window: it receives the timer and the posted reports on the thread that
    // created it, which is the main thread.
    hwnd_ = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    if (!hwnd_) return;
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SystemNetDetectHost::WndProc));
}

SystemNetDetectHost::~SystemNetDetectHost() {
    if (!hwnd_) return;
    KillTimer(hwnd_, kPollTimerId);
    // Reports already posted die with the window; threads still running find it gone and
    // drop theirs (PostMessage fails).
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
}

void SystemNetDetectHost::SetTimer(bool enabled, int intervalMs) {
    if (!hwnd_) return;
    if (enabled) {
        // SetTimer with the same id replaces the running timer, restarting its period.
        ::SetTimer(hwnd_, kPollTimerId, static_cast<UINT>(intervalMs), nullptr);
    } else {
        KillTimer(hwnd_, kPollTimerId);
    }
}

void SystemNetDetectHost::StartCheck(std::uint64_t checkId, const std::string& url, int timeoutMs) {
    if (!hwnd_) {
        // No window to report through: the check cannot run, which reads as not connected.
        if (detector_) detector_->CheckDone(checkId, false);
        return;
    }
    HWND target = hwnd_;
    std::uint64_t tag = tagBase_ + checkId;
    try {
        std::thread([target, tag, url, timeoutMs] {
            bool reachable = IsUrlReachable(url, timeoutMs);
            PostMessageW(target, kCheckDoneMessage, static_cast<WPARAM>(tag), reachable ? 1 : 0);
        }).detach();
    } catch (const std::system_error&) {
        PostMessageW(target, kCheckDoneMessage, static_cast<WPARAM>(tag), 0);
    }
}

void SystemNetDetectHost::OnCheckDone(std::uint64_t tag, bool reachable) {
    if (!detector_ || tag < tagBase_ || tag - tagBase_ >= (1ull << 32)) return;
    detector_->CheckDone(tag - tagBase_, reachable);
}

LRESULT CALLBACK SystemNetDetectHost::WndProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<SystemNetDetectHost*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self || !self->detector_) return DefWindowProcW(hwnd, msg, wp, lp);
    try {
        if (msg == WM_TIMER && wp == kPollTimerId) {
            self->detector_->Tick();
            return 0;
        }
        if (msg == kCheckDoneMessage) {
            self->OnCheckDone(static_cast<std::uint64_t>(wp), lp != 0);
            return 0;
        }
    } catch (...) {
        // Never unwind through user32; an event handler's failure is dropped here.
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

bool IsUrlReachable(const std::string& url, int timeoutMs) {
    DWORD flags = 0;
    DWORD access = (InternetGetConnectedState(&flags, 0) && (flags & INTERNET_CONNECTION_MODEM))
                       ? INTERNET_OPEN_TYPE_DIRECT
                       : INTERNET_OPEN_TYPE_PRECONFIG;
    InternetHandle session(InternetOpenW(L"NetDetect v2.1", access, nullptr, nullptr, 0));
    if (!session.h) return false;
    DWORD timeout = static_cast<DWORD>(timeoutMs);
    InternetSetOptionW(session.h, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof(timeout));
    std::wstring wideUrl = ToWide(url);
    if (wideUrl.empty()) return false;
    constexpr DWORD kOpenFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                 INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_AUTO_REDIRECT;
    static_assert(kOpenFlags == 0x84600000);
    InternetHandle page(InternetOpenUrlW(session.h, wideUrl.c_str(), nullptr, 0, kOpenFlags, 0));
    // Nothing is read: a handle means the address answered.
    return page.h != nullptr;
}

std::unique_ptr<INetDetectHost> MakeSystemNetDetectHost() { return std::make_unique<SystemNetDetectHost>(); }

}  // namespace tw
