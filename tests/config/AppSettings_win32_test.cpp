// The same settings cases through the system's profile-file functions, and a save killed at any
// moment: the writer is this test program started again, ended by TerminateProcess.
#include "config/AppSettings.h"

#include "base/TextConvert_win32.h"
#include "base/UniqueHandle_win32.h"

#include "InterruptedSave.h"
#include "SettingsStoreCases.h"

#include <windows.h>

#include <shellapi.h>

#include <fstream>
#include <iterator>

namespace tw::test {
namespace {

std::unique_ptr<IProfileStore> SystemStore(const std::string& path) { return CreateSystemProfileStore(path); }

constexpr std::wstring_view kWriterSwitch = L"--settings-writer";

// Started with kWriterSwitch, a file and an event's name, this program is the writer
// CutChildWriter kills: it saves before any test is listed and never returns to them.
[[maybe_unused]] const bool kRunsAsWriter = [] {
    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const LocalMemory owned(argv);
    if (argv == nullptr || argc != 4 || argv[1] != kWriterSwitch) return false;
    const KernelHandle begun(OpenEventW(EVENT_MODIFY_STATE, FALSE, argv[3]));
    if (begun && SetEvent(begun.Get())) SaveGeneration(SystemStore, FromWide(argv[2]), 1);
    ExitProcess(0);
}();

std::chrono::microseconds CutChildWriter(const std::string& path, std::chrono::microseconds delay) {
    using Clock = std::chrono::steady_clock;
    const std::wstring event = L"TidewireSettingsWriter" + std::to_wstring(GetCurrentProcessId());
    const KernelHandle begun(CreateEventW(nullptr, TRUE, FALSE, event.c_str()));
    wchar_t exe[MAX_PATH];
    const bool found = GetModuleFileNameW(nullptr, exe, MAX_PATH) != 0;
    std::wstring command = L"\"" + std::wstring(exe) + L"\" " + std::wstring(kWriterSwitch) + L" \"" + ToWide(path) +
                           L"\" " + event;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!begun || !found ||
        !CreateProcessW(exe, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
        ADD_FAILURE() << "the writer could not be started";
        return {};
    }
    const KernelHandle process(info.hProcess), thread(info.hThread);
    EXPECT_EQ(WaitForSingleObject(begun.Get(), 30000), WAIT_OBJECT_0) << "the writer did not start";
    const auto start = Clock::now();
    if (WaitForSingleObject(process.Get(), static_cast<DWORD>(delay.count() / 1000)) == WAIT_TIMEOUT) {
        TerminateProcess(process.Get(), 9);
        WaitForSingleObject(process.Get(), 30000);
    }
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
}

TEST(InterruptedSave, KilledWriterLeavesTheOldSettingsOrTheNewWhole) {
    ExpectWholeSettingsAfterEveryCut(SystemStore, CutChildWriter, 16);
}

INSTANTIATE_TEST_SUITE_P(SystemProfile, SettingsStore,
                         ::testing::Values(StoreKind{"SystemProfile", SystemStore}),
                         StoreKindName);

std::string RawBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A new file is begun as UTF-16 so that the profile functions keep every character, and stays
// UTF-16 when it is written again through its copy.
TEST(SystemProfileStore, NewFileIsUtf16AndReadableByTheSystem) {
    TempDir dir;
    const auto path = dir / "app.config";
    for (const char* url : {"http://ü/", "http://é/"}) {
        auto store = CreateSystemProfileStore(Utf8Path(path));
        ASSERT_TRUE(store->WriteString("Global", "Url", url));
        ASSERT_TRUE(store->Commit());
        const std::string raw = RawBytes(path);
        ASSERT_GE(raw.size(), 2u);
        EXPECT_EQ(raw.substr(0, 2), std::string("\xFF\xFE"));
        wchar_t buffer[64] = {};
        GetPrivateProfileStringW(L"Global", L"Url", L"", buffer, 64, path.wstring().c_str());
        EXPECT_EQ(FromWide(buffer), url);
    }
}

// A file the user wrote in the 8-bit code page keeps that encoding.
TEST(SystemProfileStore, HandWrittenAnsiFileStaysReadable) {
    TempDir dir;
    const auto path = dir / "app.config";
    std::ofstream(path, std::ios::binary) << "[Global]\r\nTicker_Speed=15\r\n";
    auto store = CreateSystemProfileStore(Utf8Path(path));
    ASSERT_TRUE(store->WriteString("Global", "Url", "http://x/"));
    ASSERT_TRUE(store->Commit());
    EXPECT_EQ(RawBytes(path).substr(0, 8), "[Global]");
    EXPECT_EQ(store->ReadString("global", "TICKER_SPEED", ""), "15");
    EXPECT_EQ(store->ReadString("Global", "Url", ""), "http://x/");
}

TEST(SystemProfileStore, LongValuesAndSectionsAreReadWhole) {
    TempDir dir;
    auto store = CreateSystemProfileStore(Utf8Path(dir / "app.config"));
    const std::string longUrl = "http://long/" + std::string(2000, 'x');
    for (int i = 0; i < 40; ++i) ASSERT_TRUE(store->WriteString("Custom Urls", "Url_" + std::to_string(i), longUrl));
    EXPECT_EQ(store->ReadString("Custom Urls", "Url_39", ""), longUrl);
    const auto lines = store->ReadSection("Custom Urls");
    ASSERT_EQ(lines.size(), 40u);
    EXPECT_EQ(lines[39], "Url_39=" + longUrl);
}

}  // namespace
}  // namespace tw::test
