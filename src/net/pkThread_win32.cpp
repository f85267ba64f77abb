// Windows half of the worker threads: the operating-system thread, the process-wide hidden
// window "TpkThreadWindow" that runs synchronised handlers on the main thread, and the waits
// that keep the user interface alive.
#include "net/pkThread.h"

#include <windows.h>

#include <utility>

namespace tw {

namespace {

constexpr UINT kSyncMessage = 0x8FFF;
constexpr DWORD kKillGraceMs = 250;
constexpr wchar_t kWindowClass[] = L"TpkThreadWindow";

// The hidden window and its reference count, under the one lock of this unit.
struct ThreadWindow {
    CRITICAL_SECTION lock;
    HWND window = nullptr;
    DWORD mainThreadId = 0;
    int references = 0;
    ThreadWindow() { InitializeCriticalSection(&lock); }
    ~ThreadWindow() { DeleteCriticalSection(&lock); }
};
ThreadWindow& Shared() {
    static ThreadWindow shared;  // created at unit start-up, before any thread object
    return shared;
}
[[maybe_unused]] const ThreadWindow& kCreatedAtStartUp = Shared();

LRESULT CALLBACK ThreadWindowProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kSyncMessage) {
        auto* thread = reinterpret_cast<TpkEventThread*>(lp);
        if (thread != nullptr) thread->DeliverSynchronized();
        return 0;
    }
    return DefWindowProcW(hwnd, msg, wp, lp);
}

DWORD WINAPI ThreadProcedure(LPVOID parameter) {
    auto* thread = static_cast<TpkEventThread*>(parameter);
    thread->RunThreadProcedure();
    const DWORD code = thread->ReturnValue;
    if (thread->FreedWhenEnded()) delete thread;  // its component has gone
    return code;
}

bool OnMainThread() { return GetCurrentThreadId() == Shared().mainThreadId; }

}  // namespace

void TpkEventThread::AcquireWindow() {
    ThreadWindow& s = Shared();
    EnterCriticalSection(&s.lock);
    if (s.references++ == 0) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ThreadWindowProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kWindowClass;
        RegisterClassW(&wc);
        s.window = CreateWindowExW(0, kWindowClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
        s.mainThreadId = GetCurrentThreadId();
    }
    LeaveCriticalSection(&s.lock);
}

void TpkEventThread::ReleaseWindow() {
    ThreadWindow& s = Shared();
    EnterCriticalSection(&s.lock);
    if (--s.references == 0) {
        // Only the main thread can destroy its window; a worker freeing its own object asks it to.
        if (s.window && OnMainThread()) DestroyWindow(s.window);
        else if (s.window) PostMessageW(s.window, WM_CLOSE, 0, 0);
        s.window = nullptr;
        UnregisterClassW(kWindowClass, GetModuleHandleW(nullptr));
        s.mainThreadId = 0;
    }
    LeaveCriticalSection(&s.lock);
}

TpkEventThread::TpkEventThread(TpkCustomThread& owner) : owner_(owner) {
    AcquireWindow();
    DWORD id = 0;
    handle_ = CreateThread(nullptr, 0, ThreadProcedure, this, CREATE_SUSPENDED, &id);
    threadId_ = id;
}

TpkEventThread::~TpkEventThread() {
    terminated_ = true;
    if (handle_ != nullptr && GetCurrentThreadId() == threadId_) {
        CloseHandle(handle_);  // freed by its own worker as it ends: nothing to wait for
    } else if (handle_ != nullptr) {
        if (suspended_) {
            // Never started: let it run into the Terminated test and end.
            if (ResumeThread(handle_) == 1) {
                suspended_ = false;
                WaitFor();
            }
        } else {
            WaitFor();
        }
        CloseHandle(handle_);
    }
    ReleaseWindow();
}

void TpkEventThread::Resume() { SetSuspended(false); }

void TpkEventThread::SetSuspended(bool value) {
    if (value == suspended_ || handle_ == nullptr) return;
    if (value) {
        suspended_ = true;
        SuspendThread(handle_);
    } else if (ResumeThread(handle_) == 1) {
        suspended_ = false;
    }
}

std::uint32_t TpkEventThread::WaitFor() {
    if (handle_ == nullptr) return ReturnValue;
    HANDLE h = handle_;
    if (OnMainThread()) {
        // A worker blocked in Synchronize needs this thread to take its sent message.
        for (;;) {
            DWORD r = MsgWaitForMultipleObjects(1, &h, FALSE, INFINITE, QS_SENDMESSAGE);
            if (r != WAIT_OBJECT_0 + 1) break;
            MSG msg;
            PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // dispatches sent messages
        }
    } else {
        WaitForSingleObject(h, INFINITE);
    }
    DWORD code = 0;
    if (GetExitCodeThread(h, &code)) ReturnValue = code;
    return ReturnValue;
}

int TpkEventThread::Priority() const {
    if (handle_ == nullptr) return priority_;
    int value = GetThreadPriority(handle_);
    return value == THREAD_PRIORITY_ERROR_RETURN ? priority_ : PlatformToPriorityIndex(value);
}

void TpkEventThread::SetPriority(int index) {
    priority_ = index;
    if (handle_ != nullptr) SetThreadPriority(handle_, PriorityIndexToPlatform(index));
}

void TpkEventThread::Kill() {
    if (handle_ == nullptr) return;
    // A thread killed while it holds a lock (the heap's, while it grows a buffer) would take that
    // lock with it and hang the process at the next allocation. So the worker is first given up,
    // which ends it at its next check or synchronisation, and only a worker that stays blocked
    // (inside a system call, holding nothing of ours) is killed.
    abandoned_ = true;
    terminated_ = true;
    if (WaitForSingleObject(handle_, kKillGraceMs) == WAIT_TIMEOUT && TerminateThread(handle_, 1))
        WaitForSingleObject(handle_, INFINITE);
    running_ = false;
    suspended_ = false;
}

void TpkEventThread::Synchronize(const std::function<void()>& handler) {
    if (abandoned_) throw TpkThreadEnd{};
    if (OnMainThread() || Shared().window == nullptr) {
        // Already on the main thread (or no window): nothing to hand over.
        pending_ = &handler;
        pendingError_ = nullptr;
        DeliverSynchronized();
    } else {
        pending_ = &handler;
        pendingError_ = nullptr;
        SendMessageW(Shared().window, kSyncMessage, 0, reinterpret_cast<LPARAM>(this));
    }
    pending_ = nullptr;
    if (abandoned_) throw TpkThreadEnd{};
    std::exception_ptr error = std::exchange(pendingError_, nullptr);
    if (error && !owner_.HandleExceptions) std::rethrow_exception(error);
}

bool TpkCustomThread::WaitForWorker() {
    TpkEventThread* waited = thread_.get();
    for (;;) {
        if (thread_.get() != waited) return true;  // replaced by a handler meanwhile
        HANDLE h = waited->Handle();
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
