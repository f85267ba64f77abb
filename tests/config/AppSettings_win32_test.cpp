// The same settings cases through the system's profile-file functions.
#include "config/AppSettings.h"

#include "SettingsStoreCases.h"

#include <windows.h>

#include <fstream>
#include <iterator>

namespace tw::test {
namespace {

INSTANTIATE_TEST_SUITE_P(SystemProfile, SettingsStore,
                         ::testing::Values(StoreKind{"SystemProfile",
                                                     [](const std::string& path) { return CreateSystemProfileStore(path); }}),
                         StoreKindName);

std::string RawBytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// A new file is begun as UTF-16 so that the profile functions keep every character.
TEST(SystemProfileStore, NewFileIsUtf16AndReadableByTheSystem) {
    TempDir dir;
    const auto path = dir / "app.config";
    auto store = CreateSystemProfileStore(Utf8Path(path));
    ASSERT_TRUE(store->WriteString("Global", "Url", "http://ü/"));
    const std::string raw = RawBytes(path);
    ASSERT_GE(raw.size(), 2u);
    EXPECT_EQ(raw.substr(0, 2), std::string("\xFF\xFE"));
    wchar_t buffer[64] = {};
    GetPrivateProfileStringW(L"Global", L"Url", L"", buffer, 64, path.wstring().c_str());
    EXPECT_EQ(std::wstring(buffer), L"http://\u00FC/");
}

// A file the user wrote in the 8-bit code page keeps that encoding.
TEST(SystemProfileStore, HandWrittenAnsiFileStaysReadable) {
    TempDir dir;
    const auto path = dir / "app.config";
    std::ofstream(path, std::ios::binary) << "[Global]\r\nTicker_Speed=15\r\n";
    auto store = CreateSystemProfileStore(Utf8Path(path));
    ASSERT_TRUE(store->WriteString("Global", "Url", "http://x/"));
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
