// Windows half of the worker threads: the operating-system thread, the process-wide hidden
// window "TpkThreadWindow" that runs synchronised handlers on the main thread, and the waits
// that keep the user interface alive.
#include "net/pkThread.h"

#include "base/UniqueHandle_win32.h"
#include "base/Win32Window_win32.h"

#include <windows.h>

#include <utility>

namespace tw {

struct TpkEventThread::Platform {
    KernelHandle handle;
    DWORD id = 0;
    bool started = false;  // resumed once: the handlers have been copied for it
};

namespace {

constexpr UINT kSyncMessage = 0x8FFF;
// How long a worker that was given up and unblocked may take to end by itself before it is
// killed. Closing its internet handles makes a blocked WinInet call return at once; a worker
// still blocked after this long is stuck where nothing of ours can reach it.
constexpr DWORD kKillGraceMs = 3000;
constexpr wchar_t kWindowClass[] = L"TpkThreadWindow";

std::atomic<int> gKills{0};

// The message-only window that runs handlers sent by workers, on the thread that made it.
class ThreadWindow : public Win32Window {
protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg != kSyncMessage) return Default(msg, wp, lp);
        auto* thread = reinterpret_cast<TpkEventThread*>(lp);
        if (thread != nullptr) thread->DeliverSynchronized();
        return 0;
    }
};

// The hidden window and its reference count, under the one lock of this unit. Workers read the
// window handle and the main thread's id without the lock, so those two are atomic.
struct SharedWindow {
    CRITICAL_SECTION lock;
    std::unique_ptr<ThreadWindow> window;
    std::unique_ptr<ThreadWindow> retired;  // let go by a worker; destroyed on the main thread
    std::atomic<HWND> handle{nullptr};
    std::atomic<DWORD> mainThreadId{0};
    int references = 0;
    SharedWindow() { InitializeCriticalSection(&lock); }
    ~SharedWindow() { DeleteCriticalSection(&lock); }
};
SharedWindow& Shared() {
    static SharedWindow shared;  // created at unit start-up, before any thread object
    return shared;
}
[[maybe_unused]] const SharedWindow& kCreatedAtStartUp = Shared();

class Locked {
public:
    Locked() { EnterCriticalSection(&Shared().lock); }
    ~Locked() { LeaveCriticalSection(&Shared().lock); }
    Locked(const Locked&) = delete;
    Locked& operator=(const Locked&) = delete;
};

bool OnMainThread() { return GetCurrentThreadId() == Shared().mainThreadId; }

DWORD WINAPI ThreadProcedure(LPVOID parameter) {
    auto* thread = static_cast<TpkEventThread*>(parameter);
    thread->RunThreadProcedure();
    const DWORD code = thread->ReturnValue;
    if (thread->FreedWhenEnded()) delete thread;  // its component has gone
    return code;
}

// Waits up to `ms` for `h`. On the main thread sent messages are let through meanwhile, so a
// worker blocked in Synchronize can finish. True when `h` is signalled.
bool WaitForHandle(HANDLE h, DWORD ms) {
    if (!OnMainThread()) return WaitForSingleObject(h, ms) == WAIT_OBJECT_0;
    const ULONGLONG end = GetTickCount64() + ms;
    for (;;) {
        DWORD left = INFINITE;
        if (ms != INFINITE) {
            const ULONGLONG now = GetTickCount64();
            left = now >= end ? 0 : static_cast<DWORD>(end - now);
        }
        const DWORD r = MsgWaitForMultipleObjects(1, &h, FALSE, left, QS_SENDMESSAGE);
        if (r == WAIT_OBJECT_0) return true;
        if (r != WAIT_OBJECT_0 + 1) return false;
        MSG msg;
        PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // dispatches sent messages
    }
}

void AcquireWindow() {
    SharedWindow& s = Shared();
    Locked locked;
    if (s.references++ != 0) return;
    s.mainThreadId = GetCurrentThreadId();
    s.retired.reset();
    s.window = std::make_unique<ThreadWindow>();
    s.handle = s.window->CreateFor(kWindowClass, 0, 0, L"", 0, 0, 0, 0, HWND_MESSAGE, nullptr, 0, nullptr);
}

void ReleaseWindow() {
    SharedWindow& s = Shared();
    Locked locked;
    if (--s.references != 0) return;
    s.handle = nullptr;
    if (OnMainThread()) {
        s.window.reset();  // destroys the window
        s.retired.reset();
        UnregisterClassW(kWindowClass, GetModuleHandleW(nullptr));
    } else if (s.window) {
        // Only the main thread can destroy its window: a worker freeing its own object asks it
        // to, and the object stays until the main thread makes the next one.
        PostMessageW(s.window->Handle(), WM_CLOSE, 0, 0);
        s.retired = std::move(s.window);
    }
    s.mainThreadId = 0;
}

}  // namespace

int TpkEventThread::KillCount() { return gKills; }

TpkEventThread::TpkEventThread(TpkCustomThread& owner) : owner_(owner), platform_(std::make_unique<Platform>()) {
    AcquireWindow();
    platform_->handle.Reset(CreateThread(nullptr, 0, ThreadProcedure, this, CREATE_SUSPENDED, &platform_->id));
}

TpkEventThread::~TpkEventThread() {
    terminated_ = true;
    HANDLE h = platform_->handle.Get();
    if (h != nullptr && GetCurrentThreadId() != platform_->id) {
        if (suspended_) {
            // Never started: let it run into the Terminated test and end.
            if (ResumeThread(h) == 1) {
                suspended_ = false;
                WaitFor();
            }
        } else {
            WaitFor();
        }
    }
    platform_->handle.Reset();  // freed by its own worker as it ends: nothing to wait for
    ReleaseWindow();
}

bool TpkEventThread::Ended() const {
    HANDLE h = platform_->handle.Get();
    return h == nullptr || WaitForSingleObject(h, 0) == WAIT_OBJECT_0;
}

void TpkEventThread::Resume() { SetSuspended(false); }

void TpkEventThread::SetSuspended(bool value) {
    HANDLE h = platform_->handle.Get();
    if (value == suspended_ || h == nullptr) return;
    if (value) {
        suspended_ = true;
        SuspendThread(h);
        return;
    }
    if (!platform_->started) {
        platform_->started = true;
        TakeHandlers();  // before the worker can run, so it never reads the component
    }
    if (ResumeThread(h) == 1) suspended_ = false;
}

std::uint32_t TpkEventThread::WaitFor() {
    HANDLE h = platform_->handle.Get();
    if (h == nullptr) return ReturnValue;
    WaitForHandle(h, INFINITE);
    DWORD code = 0;
    if (GetExitCodeThread(h, &code)) ReturnValue = code;
    return ReturnValue;
}

int TpkEventThread::Priority() const {
    HANDLE h = platform_->handle.Get();
    if (h == nullptr) return priority_;
    int value = GetThreadPriority(h);
    return value == THREAD_PRIORITY_ERROR_RETURN ? priority_ : PlatformToPriorityIndex(value);
}

void TpkEventThread::SetPriority(int index) {
    priority_ = index;
    if (HANDLE h = platform_->handle.Get()) SetThreadPriority(h, PriorityIndexToPlatform(index));
}

void TpkEventThread::Kill() {
    HANDLE h = platform_->handle.Get();
    Abandon();
    if (h == nullptr) return;
    // A thread killed while it holds a lock (the heap's, while it grows a buffer) would take that
    // lock with it and hang the process at the next allocation. So the worker is given up, which
    // ends it at its next check or synchronisation; OnUnblock closes what it may be blocked in;
    // only a worker still blocked after the grace period is killed, and counted.
    Unblock();
    if (!WaitForHandle(h, kKillGraceMs) && TerminateThread(h, 1)) {
        ++gKills;
        WaitForSingleObject(h, INFINITE);
    }
    running_ = false;
    suspended_ = false;
}

void TpkEventThread::Synchronize(const std::function<void()>& handler) {
    if (abandoned_) throw TpkThreadEnd{};
    pending_ = &handler;
    pendingError_ = nullptr;
    HWND window = Shared().handle;
    if (OnMainThread() || window == nullptr) {
        DeliverSynchronized();  // already on the main thread (or no window): nothing to hand over
    } else {
        SendMessageW(window, kSyncMessage, 0, reinterpret_cast<LPARAM>(this));
    }
    pending_ = nullptr;
    if (abandoned_) throw TpkThreadEnd{};
    std::exception_ptr error = std::exchange(pendingError_, nullptr);
    if (error && !handleExceptions_) std::rethrow_exception(error);
}

bool TpkCustomThread::WaitForWorker() {
    TpkEventThread* waited = thread_.get();
    for (;;) {
        if (thread_.get() != waited) return true;  // replaced by a handler meanwhile
        HANDLE h = waited->PlatformPart().handle.Get();
        DWORD timeout = WaitTimeout == 0 ? INFINITE : WaitTimeout;
        DWORD r = MsgWaitForMultipleObjectsEx(1, &h, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (r == WAIT_OBJECT_0) return true;
        if (r == WAIT_OBJECT_0 + 1) {
            MSG msg;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                if (msg.message == WM_QUIT) {
                    PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for the main loop
                    return true;
                }
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            if (IsDestroying()) return true;
            continue;  // each wait starts the timeout afresh
        }
        if (r == WAIT_TIMEOUT) {
            bool terminate = true;
            if (OnWaitTimeoutExpired) OnWaitTimeoutExpired(*this, terminate);
            if (!terminate) return true;
            if (thread_.get() == waited) ReplaceThread();
            return false;
        }
        return true;  // the wait itself failed: do not spin
    }
}

}  // namespace tw
