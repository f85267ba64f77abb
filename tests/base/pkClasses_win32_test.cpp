// The saver against the real registry and the file stream against real file attributes.
#include "base/pkClasses.h"

#include <gtest/gtest.h>

#include <windows.h>

#include "support/TestPaths.h"

namespace tw {
namespace {

class WidthSaver : public TpkRegistrySaver {
public:
    int width = 0;
    std::string edge;

protected:
    void SaveToRegistry(TpkSettingsStore& key) override {
        key.WriteInteger("Width", width);
        key.WriteString("Edge", edge);
    }
    void LoadFromRegistry(TpkSettingsStore& key) override {
        width = key.ReadInteger("Width", -1);
        edge = key.ReadString("Edge", "none");
    }
};

const wchar_t kTestKey[] = L"Software\\TidewireTests\\Saver";

void DeleteTestKey() {
    RegDeleteKeyW(HKEY_CURRENT_USER, kTestKey);
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\TidewireTests");
}

TEST(TpkRegistrySaverWin32, RoundTripsThroughTheCurrentUserKey) {
    DeleteTestKey();
    WidthSaver saver;
    saver.SetRegKey("\\Software\\TidewireTests\\Saver\\");
    saver.SetEnabled(true);
    saver.Load();  // no key yet: nothing loaded, no key made
    EXPECT_EQ(saver.width, 0);
    HKEY key = nullptr;
    EXPECT_NE(RegOpenKeyExW(HKEY_CURRENT_USER, kTestKey, 0, KEY_READ, &key), ERROR_SUCCESS);

    saver.width = -640;
    saver.edge = "top \xC3\xA9";  // UTF-8 text survives the wide registry
    saver.Save();
    ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kTestKey, 0, KEY_READ, &key), ERROR_SUCCESS);
    DWORD type = 0, value = 0, size = sizeof value;
    EXPECT_EQ(RegQueryValueExW(key, L"Width", nullptr, &type, reinterpret_cast<BYTE*>(&value), &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
    EXPECT_EQ(static_cast<std::int32_t>(value), -640);
    RegCloseKey(key);

    WidthSaver reader;
    reader.SetRegKey("Software\\TidewireTests\\Saver");
    reader.SetEnabled(true);
    reader.Load();
    EXPECT_EQ(reader.width, -640);
    EXPECT_EQ(reader.edge, "top \xC3\xA9");
    DeleteTestKey();
}

TEST(TpkFileStreamWin32, ReadOnlyAndHiddenFilesOpenWithTheAttributeOption) {
    test::TempDir dir;
    const std::wstring name = (dir / "locked.bin").wstring();
    const std::string utf8 = (dir / "locked.bin").string();
    { TpkFileStream f(utf8, TpkFileStreamMode::fsmCreate); f.WriteString("old"); }
    for (DWORD attributes : {DWORD{FILE_ATTRIBUTE_READONLY}, DWORD{FILE_ATTRIBUTE_HIDDEN},
                             DWORD{FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN}}) {
        ASSERT_TRUE(SetFileAttributesW(name.c_str(), attributes));
        const DWORD before = GetFileAttributesW(name.c_str());
        // Without the option Windows refuses these files; Wine running as root does not (the
        // read-only bit becomes Unix permissions, which do not bind root), so only the option's
        // own promise is judged here.
        {
            TpkFileStream f(utf8, TpkFileStreamMode::fsmCreate, true);
            f.WriteString("new");
        }
        EXPECT_EQ(GetFileAttributesW(name.c_str()), before) << attributes;  // put back after opening
        SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
        TpkFileStream check(utf8, TpkFileStreamMode::fsmOpenOrCreate);
        EXPECT_EQ(check.Size(), 3);
    }
}

TEST(TpkFileStreamWin32, UnicodeNamesAndExpandedNameInTheError) {
    test::TempDir dir;
    const std::string name = (dir / "").string() + "\xD0\xBB\xD0\xB5\xD0\xBD\xD1\x82\xD0\xB0.xml";  // Cyrillic
    { TpkFileStream f(name, TpkFileStreamMode::fsmCreate); f.WriteString("x"); }
    EXPECT_NE(GetFileAttributesW(std::filesystem::path(std::u8string(name.begin(), name.end())).c_str()),
              INVALID_FILE_ATTRIBUTES);
    try {
        TpkFileStream f("no-such-folder\\x.bin", TpkFileStreamMode::fsmOpenOrCreate);
        FAIL() << "opened";
    } catch (const EpkFileCreateError& e) {
        EXPECT_EQ(e.FileName().find(':'), 1u) << e.FileName();  // expanded to a drive path
        EXPECT_NE(e.FileName().find("no-such-folder\\x.bin"), std::string::npos);
    }
}

}  // namespace
}  // namespace tw
