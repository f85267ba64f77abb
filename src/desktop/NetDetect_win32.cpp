#include "desktop/NetDetect.h"

#include "base/IdleWorkers.h"
#include "base/TextConvert_win32.h"
#include "base/UniqueHandle_win32.h"
#include "base/Win32Window_win32.h"

#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <algorithm>
#include <system_error>

namespace tw {

namespace {

// Check ids are unique in the process, so a report posted to a window handle that has since
// been reused by another host can never match one of that host's checks.
std::atomic<std::uint64_t> g_nextReportTag{1};

constexpr UINT kCheckDoneMessage = WM_APP + 0x4E1;
constexpr UINT_PTR kPollTimerId = 1;
constexpr wchar_t kWindowClass[] = L"TidewireNetDetectHost";

class SystemNetDetectHost final : public INetDetectHost, public Win32Window {
public:
    SystemNetDetectHost();
    ~SystemNetDetectHost() override;

    void Bind(TNetDetect& detector) override { detector_ = &detector; }
    void SetTimer(bool enabled, int intervalMs) override;
    void StartCheck(std::uint64_t checkId, const std::string& url, int timeoutMs) override;

private:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override;
    void OnTimer(UINT_PTR id);
    void OnCheckDone(std::uint64_t tag, bool reachable);

    TNetDetect* detector_ = nullptr;
    std::uint64_t tagBase_ = 0;  // process-wide tag of this host's check 0
    TIdleWorkers checks_;        // a check every few seconds: one thread kept for them
};

SystemNetDetectHost::SystemNetDetectHost() {
    // Reserve a block of tags; a host never starts more than 2^32 checks.
    tagBase_ = g_nextReportTag.fetch_add(1ull << 32);
    // A message-only window: it receives the timer and the posted reports on the thread that
    // created it, which is the main thread. Without it every check reads as not connected.
    CreateFor(kWindowClass, 0, 0, L"", 0, 0, 0, 0, HWND_MESSAGE);
}

SystemNetDetectHost::~SystemNetDetectHost() {
    if (!Handle()) return;
    KillTimer(Handle(), kPollTimerId);
    // Reports already posted die with the window; threads still running find it gone and
    // drop theirs (PostMessage fails).
    Destroy();
}

void SystemNetDetectHost::SetTimer(bool enabled, int intervalMs) {
    // A non-positive interval would stop the polling; the detector's interval is positive.
    RunTimer(kPollTimerId, enabled ? std::max(intervalMs, 1) : 0, "The connection check's timer");
}

void SystemNetDetectHost::StartCheck(std::uint64_t checkId, const std::string& url, int timeoutMs) {
    if (!Handle()) {
        // No window to report through: the check cannot run, which reads as not connected.
        if (detector_) detector_->CheckDone(checkId, false);
        return;
    }
    HWND target = Handle();
    std::uint64_t tag = tagBase_ + checkId;
    try {
        checks_.Run([target, tag, url, timeoutMs] {
            bool reachable = IsUrlReachable(url, timeoutMs);
            PostMessageW(target, kCheckDoneMessage, static_cast<WPARAM>(tag), reachable ? 1 : 0);
        });
    } catch (const std::system_error&) {
        PostMessageW(target, kCheckDoneMessage, static_cast<WPARAM>(tag), 0);
    }
}

void SystemNetDetectHost::OnCheckDone(std::uint64_t tag, bool reachable) {
    if (!detector_ || tag < tagBase_ || tag - tagBase_ >= (1ull << 32)) return;
    detector_->CheckDone(tag - tagBase_, reachable);
}

void SystemNetDetectHost::OnTimer(UINT_PTR id) {
    if (detector_ && id == kPollTimerId) detector_->Tick();
}

LRESULT SystemNetDetectHost::HandleMessage(UINT msg, WPARAM wp, LPARAM lp) {
    switch (msg) {
        case WM_TIMER: OnTimer(wp); return 0;
        case kCheckDoneMessage: OnCheckDone(static_cast<std::uint64_t>(wp), lp != 0); return 0;
        default: return Default(msg, wp, lp);
    }
}

}  // namespace

bool ModemConnection() {
    // Under Wine the system's answer lists every adapter with its gateways: about 5 ms of CPU,
    // two thirds of a connection check, which runs every 5 s. Kept for a minute, the answer
    // costs the ticker next to nothing; a modem connection does not come and go faster.
    constexpr ULONGLONG kKeptFor = 60'000;  // ms
    static std::atomic<ULONGLONG> askedAt{0};  // 0: never asked
    static std::atomic<bool> modem{false};
    const ULONGLONG now = GetTickCount64();
    const ULONGLONG asked = askedAt.load(std::memory_order_acquire);
    if (asked != 0 && now - asked < kKeptFor) return modem.load(std::memory_order_relaxed);
    DWORD flags = 0;
    const bool answer = InternetGetConnectedState(&flags, 0) && (flags & INTERNET_CONNECTION_MODEM) != 0;
    modem.store(answer, std::memory_order_relaxed);
    askedAt.store(now != 0 ? now : 1, std::memory_order_release);
    return answer;
}

bool IsUrlReachable(const std::string& url, int timeoutMs) {
    const DWORD access = ModemConnection() ? INTERNET_OPEN_TYPE_DIRECT : INTERNET_OPEN_TYPE_PRECONFIG;
    InternetHandle session(InternetOpenW(L"NetDetect v2.1", access, nullptr, nullptr, 0));
    if (!session) return false;
    DWORD timeout = static_cast<DWORD>(timeoutMs);
    InternetSetOptionW(session.Get(), INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof(timeout));
    std::wstring wideUrl = ToWide(url);
    if (wideUrl.empty()) return false;
    constexpr DWORD kOpenFlags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE |
                                 INTERNET_FLAG_KEEP_CONNECTION | INTERNET_FLAG_NO_AUTO_REDIRECT;
    static_assert(kOpenFlags == 0x84600000);
    InternetHandle page(InternetOpenUrlW(session.Get(), wideUrl.c_str(), nullptr, 0, kOpenFlags, 0));
    // Nothing is read: a handle means the address answered.
    return static_cast<bool>(page);
}

std::unique_ptr<INetDetectHost> MakeSystemNetDetectHost() { return std::make_unique<SystemNetDetectHost>(); }

}  // namespace tw
