// The window pattern on real windows: which messages reach the object, what a handler's
// exception costs, how long the class lives, and a modal dialog through the same procedure.
#include "base/Unhandled.h"
#include "base/Win32Window_win32.h"

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

namespace tw {
namespace {

constexpr UINT kProbe = WM_APP + 11;
constexpr wchar_t kClass[] = L"TidewireWindowTest";

class Probe : public Win32Window {
public:
    HWND Make(HWND parent = nullptr, const wchar_t* className = kClass) {
        return CreateFor(className, 0, WS_POPUP, L"probe", 0, 0, 40, 20, parent);
    }
    UINT throwOn = 0;
    int probes = 0;
    int gone = 0;

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == throwOn) throw std::runtime_error("handler failed");
        if (msg == WM_INITDIALOG) return TRUE;
        if (msg == kProbe) {
            ++probes;
            return 42;
        }
        return Default(msg, wp, lp);
    }
    void OnWindowGone() override { ++gone; }
};

bool Registered(const wchar_t* name) {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    return GetClassInfoExW(GetModuleHandleW(nullptr), name, &wc) != FALSE;
}

// Collects what reaches the application-wide handler while it lives.
struct Reports {
    std::vector<std::string> texts;
    Reports() {
        SetUnhandledHandler([this](std::exception_ptr e) { texts.push_back(UnhandledText(e)); });
    }
    ~Reports() { SetUnhandledHandler(nullptr); }
};

// A subclass that, like a form hook, passes WM_NCDESTROY on and then talks to the window again.
WNDPROC g_next = nullptr;
LRESULT g_lateAnswer = -1;
LRESULT CALLBACK TalksAfterTheEnd(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    const LRESULT result = CallWindowProcW(g_next, hwnd, msg, wp, lp);
    if (msg == WM_NCDESTROY) g_lateAnswer = SendMessageW(hwnd, kProbe, 0, 0);
    return result;
}

TEST(Win32Window, MessagesAfterNcDestroyReachDefWindowProcNotTheObject) {
    Probe window;
    ASSERT_NE(window.Make(), nullptr);
    EXPECT_EQ(SendMessageW(window.Handle(), kProbe, 0, 0), 42);
    g_next = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(window.Handle(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TalksAfterTheEnd)));
    window.Destroy();
    EXPECT_EQ(g_lateAnswer, 0);
    EXPECT_EQ(window.probes, 1);
    EXPECT_EQ(window.gone, 1);
    EXPECT_EQ(window.Handle(), nullptr);
}

TEST(Win32Window, AHandlersExceptionIsReportedAndTheMessageGetsTheDefaultAnswer) {
    Probe window;
    window.throwOn = WM_GETTEXTLENGTH;
    ASSERT_NE(window.Make(), nullptr);
    Reports reports;
    EXPECT_EQ(SendMessageW(window.Handle(), WM_GETTEXTLENGTH, 0, 0), 5);  // DefWindowProc counts "probe"
    EXPECT_EQ(reports.texts, std::vector<std::string>{"handler failed"});
    EXPECT_EQ(SendMessageW(window.Handle(), kProbe, 0, 0), 42);  // and the window works on
}

TEST(Win32Window, DestroyBeforeCreateDoesNothingAndTheObjectTakesItsWindowAlong) {
    auto window = std::make_unique<Probe>();
    const int reported = UnhandledCount();
    window->Destroy();
    EXPECT_EQ(window->gone, 0);
    EXPECT_EQ(UnhandledCount(), reported);
    const HWND hwnd = window->Make();
    ASSERT_NE(hwnd, nullptr);
    window.reset();
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST(Win32Window, TheClassLivesWithItsWindowsAndRefusalsSayWhy) {
    {
        Probe a, b;
        ASSERT_NE(a.Make(), nullptr);
        ASSERT_NE(b.Make(), nullptr);
        EXPECT_EQ(a.Make(), nullptr);  // one window per object
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_OPERATION));
        a.Destroy();
        EXPECT_TRUE(Registered(kClass));
    }
    EXPECT_FALSE(Registered(kClass));

    Probe orphan;
    EXPECT_EQ(orphan.Make(reinterpret_cast<HWND>(0x7FF0)), nullptr);  // an owner that does not exist
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_FALSE(Registered(kClass));

    // A name someone else registered would never reach the object: refused, not taken.
    WNDCLASSW foreign{};
    foreign.lpfnWndProc = DefWindowProcW;
    foreign.hInstance = GetModuleHandleW(nullptr);
    foreign.lpszClassName = L"TidewireForeignTest";
    ASSERT_NE(RegisterClassW(&foreign), 0);
    EXPECT_EQ(orphan.Make(nullptr, foreign.lpszClassName), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CLASS_ALREADY_EXISTS));
    UnregisterClassW(foreign.lpszClassName, foreign.hInstance);
}

std::vector<WORD> EmptyDialogTemplate() {
    std::vector<WORD> t(sizeof(DLGTEMPLATE) / sizeof(WORD) + 3, 0);  // then no menu, class or title
    auto* d = reinterpret_cast<DLGTEMPLATE*>(t.data());
    d->style = WS_POPUP | WS_CAPTION;
    d->cx = 80;
    d->cy = 40;
    return t;
}

TEST(Win32Window, ADialogRunsThroughTheSameAttachAndGuard) {
    const std::vector<WORD> t = EmptyDialogTemplate();
    const auto* dialogTemplate = reinterpret_cast<const DLGTEMPLATE*>(t.data());
    // Ends itself with IDOK once it is up.
    class Ending : public Probe {
    protected:
        LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
            if (msg == WM_INITDIALOG) PostMessageW(Handle(), kProbe, 0, 0);
            if (msg == kProbe) EndDialog(Handle(), IDOK);
            return Probe::HandleMessage(msg, wp, lp);
        }
    } ok;
    EXPECT_EQ(ok.RunModalDialog(dialogTemplate, nullptr), IDOK);
    EXPECT_EQ(ok.probes, 1);
    EXPECT_EQ(ok.gone, 1);
    EXPECT_EQ(ok.Handle(), nullptr);

    Reports reports;
    Probe failing;
    failing.throwOn = WM_INITDIALOG;
    EXPECT_EQ(failing.RunModalDialog(dialogTemplate, nullptr), IDCANCEL);  // not left half made
    EXPECT_EQ(reports.texts, std::vector<std::string>{"handler failed"});
}

}  // namespace
}  // namespace tw
