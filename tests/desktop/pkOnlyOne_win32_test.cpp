// Two guards in one process stand for two instances: the kernel mutex, the registry record and
// the private window's messages are the real ones.
#include "desktop/pkOnlyOne_win32.h"

#include "base/ApplicationWindow_win32.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

const TOnlyOneRecordPlace kPlace{HKEY_CURRENT_USER, L"Software\\TidewireOnlyOneTest\\Machine", HKEY_CURRENT_USER,
                                 L"Software\\TidewireOnlyOneTest\\User"};

int g_formSwitches = 0;

LRESULT CALLBACK FormProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == WM_SWITCH_TO_FIRST) ++g_formSwitches;
    return DefWindowProcW(hwnd, msg, wp, lp);
}

DWORD RecordOf(const std::wstring& title) {
    DWORD value = 0, size = sizeof value;
    if (RegGetValueW(HKEY_CURRENT_USER, kPlace.keyPath.c_str(), title.c_str(), RRF_RT_REG_DWORD, nullptr, &value,
                     &size) != ERROR_SUCCESS)
        return 0;
    return value;
}

TEST(TpkOnlyOneWin32, TheSecondGuardReachesTheFirstsWindowAndTheRecordGoesWithTheFirst) {
    ASSERT_TRUE(TApplicationWindow::Instance().Create(L"only one test"));
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TidewireOnlyOneTest");
    // A stale record naming a window of nobody's guard.
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kPlace.keyPath.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    const DWORD stale = static_cast<DWORD>(reinterpret_cast<std::uintptr_t>(GetDesktopWindow()));
    RegSetValueExW(key, L"Guard Test", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&stale), sizeof stale);
    RegCloseKey(key);

    WNDCLASSW wc{};
    wc.lpfnWndProc = FormProc;
    wc.lpszClassName = L"OnlyOneTestForm";
    RegisterClassW(&wc);
    HWND form = CreateWindowExW(0, wc.lpszClassName, L"form", 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr);
    auto first = CreateOnlyOne(nullptr, "Guard Test", [&] { return form; }, kPlace);
    first->Loaded();
    EXPECT_FALSE(first->AlreadyExists());
    const DWORD recorded = RecordOf(L"Guard Test");
    EXPECT_NE(recorded, 0u);
    EXPECT_NE(recorded, stale);

    auto other = CreateOnlyOne(nullptr, "Another Title", nullptr, kPlace);
    other->Loaded();
    EXPECT_FALSE(other->AlreadyExists());

    auto second = CreateOnlyOne(nullptr, "Guard Test", nullptr, kPlace);
    int switched = 0, closeAsked = 0;
    first->OnForcedTermination = [&](TpkOnlyOne&, bool& close) {
        ++closeAsked;
        close = false;
    };
    second->CloseFirst = true;
    second->CloseSecond = false;
    second->OnAlreadyExist = [&](TpkOnlyOne&) { ++switched; };
    second->Loaded();
    EXPECT_EQ(switched, 1);
    EXPECT_EQ(g_formSwitches, 1);  // passed on by the first's private window
    EXPECT_EQ(closeAsked, 1);
    EXPECT_FALSE(first->TerminationRequested());  // its handler refused
    EXPECT_NE(RecordOf(L"Guard Test"), recorded);  // a running second records itself

    second.reset();
    EXPECT_EQ(RecordOf(L"Guard Test"), 0u);
    first.reset();
    // The mutex went with the first guard: a new one is first again.
    auto again = CreateOnlyOne(nullptr, "Guard Test", nullptr, kPlace);
    EXPECT_FALSE(again->AlreadyExists());
    again.reset();
    other.reset();
    DestroyWindow(form);
    RegDeleteTreeW(HKEY_CURRENT_USER, L"Software\\TidewireOnlyOneTest");
}

}  // namespace
}  // namespace tw
