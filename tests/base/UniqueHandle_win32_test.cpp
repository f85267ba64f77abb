// The owners against real files: what they close, when, and what they leave of the last error.
#include "base/TextConvert_win32.h"
#include "base/UniqueHandle_win32.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>

#include "support/TestPaths.h"

namespace tw {
namespace {

HANDLE OpenFile(const std::wstring& path, DWORD share) {
    return CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, share, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                       nullptr);
}

// True when nobody holds the file open: an open that shares nothing succeeds.
bool NobodyHolds(const std::wstring& path) { return static_cast<bool>(FileHandle(OpenFile(path, 0))); }

TEST(FileHandle, TheFailureValueIsNoHandleAndIsNeverClosed) {
    SetLastError(ERROR_PATH_NOT_FOUND);
    FileHandle failed(CreateFileW(L"Z:\\no\\such\\folder\\x", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(failed);
    EXPECT_EQ(failed.Get(), INVALID_HANDLE_VALUE);
    EXPECT_FALSE(FileHandleTraits::IsValid(nullptr));
    failed.Reset();
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PATH_NOT_FOUND));
}

TEST(FileHandle, ClosesOnceOnResetAndMoveAndKeepsTheLastError) {
    test::TempDir dir;
    const std::wstring path = (dir / "held.bin").wstring();
    FileHandle first(OpenFile(path, FILE_SHARE_READ | FILE_SHARE_WRITE));
    ASSERT_TRUE(first);
    EXPECT_FALSE(NobodyHolds(path));

    FileHandle second(std::move(first));
    EXPECT_FALSE(first);
    ASSERT_TRUE(second);
    EXPECT_FALSE(NobodyHolds(path));  // the move closed nothing

    SetLastError(ERROR_SHARING_VIOLATION);
    second.Reset();
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SHARING_VIOLATION));
    EXPECT_FALSE(second);
    EXPECT_TRUE(NobodyHolds(path));
}

TEST(KernelHandle, ACloseThatFailsLeavesTheCallersLastError) {
    // No such handle in this process: CloseHandle fails and sets ERROR_INVALID_HANDLE itself.
    KernelHandle bogus(reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x3FFFFF0)));
    SetLastError(ERROR_ACCESS_DENIED);
    bogus.Reset();
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    SetLastError(ERROR_ACCESS_DENIED);
    EXPECT_FALSE(CloseHandle(reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x3FFFFF0))));
    EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_ACCESS_DENIED));  // what Reset had to undo
}

TEST(ToWide, ConvertsByTheProgramsOneRule) {
    EXPECT_EQ(ToWide("a\xC3\xA9\xF0\x9F\x8E\xB5\xFF"), L"a\u00E9\U0001F3B5\uFFFD");
    const wchar_t lone[] = {L'x', 0xD800, 0};
    EXPECT_EQ(FromWide(lone), "x\xEF\xBF\xBD");
    EXPECT_EQ(FromWide(ToWide("caf\xC3\xA9")), "caf\xC3\xA9");
}

}  // namespace
}  // namespace tw
