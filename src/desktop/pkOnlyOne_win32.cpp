#include "desktop/pkOnlyOne_win32.h"

#include "base/ApplicationWindow_win32.h"
#include "base/SimpleMessageHook_win32.h"
#include "base/TextConvert_win32.h"
#include "base/UniqueHandle_win32.h"

#include <utility>

namespace tw {
namespace {

class Win32OnlyOnePlatform final : public IOnlyOnePlatform {
public:
    Win32OnlyOnePlatform(std::function<HWND()> formWindow, TOnlyOneRecordPlace place)
        : formWindow_(std::move(formWindow)), place_(std::move(place)) {}

    // The private window sends its messages to the guard, which exists only after this platform.
    void Bind(TpkComponent& guard) { hook_ = std::make_unique<TpkSimpleMessageHook>(guard); }

    TMutexResult CreateNamedMutex(const std::string& name) override {
        KernelHandle mutex(CreateMutexW(nullptr, FALSE, ToWide(name).c_str()));
        const DWORD error = GetLastError();
        if (!mutex) return TMutexResult::Failed;
        if (error == ERROR_ALREADY_EXISTS) return TMutexResult::AlreadyExists;  // closed with `mutex`
        mutex_ = std::move(mutex);
        return TMutexResult::Created;
    }
    void CloseMutex() override { mutex_.Reset(); }

    std::uintptr_t ReadRecord(const std::string& title) override {
        if (const auto window = ReadFrom(place_.root, place_.keyPath, title)) return window;
        return ReadFrom(place_.userRoot, place_.userKeyPath, title);
    }
    bool WriteRecord(const std::string& title, std::uintptr_t window) override {
        return WriteTo(place_.root, place_.keyPath, title, window) ||
               WriteTo(place_.userRoot, place_.userKeyPath, title, window);
    }
    void DeleteRecord(const std::string& title) override {
        DeleteFrom(place_.root, place_.keyPath, title);
        DeleteFrom(place_.userRoot, place_.userKeyPath, title);
    }

    void SendToWindow(std::uintptr_t window, std::uint32_t message) override {
        const HWND target = reinterpret_cast<HWND>(window);
        // A record left by an instance that died names no window, or someone else's.
        if (target == nullptr || !IsWindow(target) || !IsOurHook(target)) return;
        DWORD_PTR answer = 0;
        // Bounded: a first instance that hangs must not hang the second one for ever.
        SendMessageTimeoutW(target, message, 0, 0, SMTO_ABORTIFHUNG, 10000, &answer);
    }
    std::uintptr_t OwnWindow() override {
        return hook_ ? reinterpret_cast<std::uintptr_t>(hook_->Handle()) : 0;
    }

    void SwitchToFront() override {
        if (const HWND form = formWindow_ ? formWindow_() : nullptr) SendMessageW(form, WM_SWITCH_TO_FIRST, 0, 0);
        TApplicationWindow& application = TApplicationWindow::Instance();
        const HWND front = application.MainForm() ? application.MainForm() : application.Handle();
        if (application.Minimized()) application.Restore();
        else if (front) BringWindowToTop(front);
        if (front) SetForegroundWindow(front);
    }
    void TerminateApplication() override {
        // Posted: this may run inside another process's SendMessage, or while the form is made.
        if (const HWND form = TApplicationWindow::Instance().MainForm()) PostMessageW(form, WM_CLOSE, 0, 0);
        else PostQuitMessage(0);
    }

private:
    // The recorded window must be a guard's private window: any other window that took a dead
    // instance's handle value is left alone.
    static bool IsOurHook(HWND window) {
        wchar_t name[64] = {};
        return GetClassNameW(window, name, 64) > 0 && std::wstring_view(name) == L"TpkSimpleMessageHook";
    }
    static std::uintptr_t ReadFrom(HKEY root, const std::wstring& path, const std::string& title) {
        HKEY opened = nullptr;
        if (RegOpenKeyExW(root, path.c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS) return 0;
        const RegistryKey key(opened);
        DWORD value = 0, type = 0, size = sizeof value;
        if (RegQueryValueExW(key.Get(), ToWide(title).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value),
                             &size) != ERROR_SUCCESS ||
            type != REG_DWORD || size != sizeof value)
            return 0;
        // Window handles keep their meaning in 32 bits, also for 64-bit programs.
        return static_cast<std::uintptr_t>(value);
    }
    static bool WriteTo(HKEY root, const std::wstring& path, const std::string& title, std::uintptr_t window) {
        HKEY created = nullptr;
        if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &created, nullptr) !=
            ERROR_SUCCESS)
            return false;
        const RegistryKey key(created);
        const DWORD value = static_cast<DWORD>(window);
        return RegSetValueExW(key.Get(), ToWide(title).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                              sizeof value) == ERROR_SUCCESS;
    }
    static void DeleteFrom(HKEY root, const std::wstring& path, const std::string& title) {
        HKEY opened = nullptr;
        if (RegOpenKeyExW(root, path.c_str(), 0, KEY_SET_VALUE, &opened) != ERROR_SUCCESS) return;
        const RegistryKey key(opened);
        RegDeleteValueW(key.Get(), ToWide(title).c_str());
    }

    std::function<HWND()> formWindow_;
    TOnlyOneRecordPlace place_;
    KernelHandle mutex_;
    std::unique_ptr<TpkSimpleMessageHook> hook_;
};

}  // namespace

std::unique_ptr<TpkOnlyOne> CreateOnlyOne(TpkComponent* owner, const std::string& title,
                                          std::function<HWND()> formWindow, TOnlyOneRecordPlace place) {
    auto platform = std::make_unique<Win32OnlyOnePlatform>(std::move(formWindow), std::move(place));
    Win32OnlyOnePlatform& raw = *platform;
    auto guard = std::make_unique<TpkOnlyOne>(owner, title, std::move(platform));
    raw.Bind(*guard);
    return guard;
}

}  // namespace tw
