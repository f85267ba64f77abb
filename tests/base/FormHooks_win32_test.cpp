// The hooks on real windows: subclassing, the posted rehook after a window is made again, the
// application window's hook and the private message window.
#include "base/ApplicationWindow_win32.h"
#include "base/FormHooks.h"
#include "base/HookableWindow_win32.h"
#include "base/SimpleMessageHook_win32.h"
#include "support/MessagePump.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tw {
namespace {

constexpr UINT kProbe = WM_APP + 7;

class ProbeWindow : public Win32Window {
public:
    std::vector<std::string>* journal = nullptr;
    DWORD exStyle = 0;
    HWND Make() {
        if (Handle() == nullptr) CreateFor(L"TidewireHookProbe", exStyle, WS_POPUP, L"probe", 0, 0, 50, 20, nullptr);
        return Handle();
    }

protected:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        if (msg == kProbe) {
            journal->push_back("window");
            return 42;
        }
        return Default(msg, wp, lp);
    }
};

class NamedHook : public TpkCustomAppHookComponent {
public:
    NamedHook(TpkComponent* owner, std::string name, std::vector<std::string>& journal)
        : TpkCustomAppHookComponent(owner), name_(std::move(name)), journal_(journal) {}

protected:
    void BeforeFormMessage(TMessage& m, bool& handled) override {
        TpkCustomAppHookComponent::BeforeFormMessage(m, handled);
        if (m.Msg == kProbe) journal_.push_back(name_);
    }
    void BeforeAppMessage(TMessage& m, bool&) override {
        if (m.Msg == kProbe) journal_.push_back(name_ + " app");
    }

private:
    std::string name_;
    std::vector<std::string>& journal_;
};

TEST(FormHooksWin32, RealSubclassingChainsRehooksAndWatchesTheApplicationWindow) {
    ASSERT_TRUE(TApplicationWindow::Instance().Create(L"hook test"));
    std::vector<std::string> journal;
    ProbeWindow window;
    window.journal = &journal;
    THookableWindow form([&window] { return window.Make(); });
    {
        NamedHook first(&form, "first", journal);
        NamedHook second(&form, "second", journal);
        EXPECT_EQ(SendMessageW(window.Handle(), kProbe, 0, 0), 42);
        EXPECT_EQ(journal, (std::vector<std::string>{"second", "first", "window"}));

        // Made again, as a change of border style does: the hooks follow once the request arrives.
        window.Destroy();
        ASSERT_NE(window.Make(), nullptr);
        test::PumpUntil([&] { return first.HookedWindow() == reinterpret_cast<TWindowId>(window.Handle()); }, 2000);
        journal.clear();
        EXPECT_EQ(SendMessageW(window.Handle(), kProbe, 0, 0), 42);
        EXPECT_EQ(journal, (std::vector<std::string>{"second", "first", "window"}));

        ShowWindow(window.Handle(), SW_SHOWNOACTIVATE);  // WM_SHOWWINDOW hooks the application window
        journal.clear();
        SendMessageW(TApplicationWindow::Instance().Handle(), kProbe, 0, 0);
        // The outer form hook saw WM_SHOWWINDOW first, so it subclassed the application first.
        EXPECT_EQ(journal, (std::vector<std::string>{"first app", "second app"}));
    }
    journal.clear();
    EXPECT_EQ(SendMessageW(window.Handle(), kProbe, 0, 0), 42);
    SendMessageW(TApplicationWindow::Instance().Handle(), kProbe, 0, 0);
    EXPECT_EQ(journal, (std::vector<std::string>{"window"}));
    EXPECT_FALSE(HookListExists());
}

// The main form is created topmost: always-on-top set to true there changes nothing on the window
// but is kept, so the window made again is put back in the topmost band.
TEST(FormHooksWin32, WindowCreatedTopmostStaysTopmostWhenMadeAgain) {
    std::vector<std::string> journal;
    ProbeWindow window;
    window.journal = &journal;
    window.exStyle = WS_EX_TOPMOST;
    THookableWindow form([&window] { return window.Make(); });
    NamedHook bar(&form, "bar", journal);
    auto topmost = [&] { return (GetWindowLongW(window.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; };
    ASSERT_TRUE(topmost());
    bar.SetAlwaysOnTop(true);
    for (const DWORD recreated : {DWORD(WS_EX_TOPMOST), DWORD(0)}) {
        window.exStyle = recreated;
        window.Destroy();
        ASSERT_NE(window.Make(), nullptr);
        test::PumpUntil([&] { return bar.HookedWindow() == reinterpret_cast<TWindowId>(window.Handle()); }, 2000);
        EXPECT_TRUE(topmost()) << "made again with extended style " << recreated;
        EXPECT_TRUE(bar.AlwaysOnTop());
    }
}

class Receiver : public TpkComponent {
public:
    std::vector<UINT> heard;
    void HookMessage(TMessage& m) override {
        if (m.Msg < WM_APP) return;
        heard.push_back(m.Msg);
        m.Result = 7;
    }
};

TEST(FormHooksWin32, PrivateWindowsShareTheirClassAndReachTheirOwner) {
    Receiver a, b;
    auto hookA = std::make_unique<TpkSimpleMessageHook>(a);
    auto hookB = std::make_unique<TpkSimpleMessageHook>(b);
    ASSERT_NE(hookA->Handle(), nullptr);
    EXPECT_EQ(SendMessageW(hookA->Handle(), WM_APP + 1, 0, 0), 7);
    EXPECT_EQ(SendMessageW(hookB->Handle(), WM_APP + 2, 0, 0), 7);
    EXPECT_EQ(a.heard, std::vector<UINT>{WM_APP + 1});
    EXPECT_EQ(b.heard, std::vector<UINT>{WM_APP + 2});
    hookA.reset();
    WNDCLASSW wc{};
    EXPECT_TRUE(GetClassInfoW(GetModuleHandleW(nullptr), L"TpkSimpleMessageHook", &wc));
    hookB.reset();  // the last one takes the class along
    EXPECT_FALSE(GetClassInfoW(GetModuleHandleW(nullptr), L"TpkSimpleMessageHook", &wc));
}

}  // namespace
}  // namespace tw
