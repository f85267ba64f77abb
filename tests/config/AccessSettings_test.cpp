#include "config/AccessSettings.h"

#include "config/IniProfileStore.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <fstream>

namespace tw {
namespace {

TEST(AccessSettings, HotKeyTexts) {
    const struct {
        const char* text;
        std::optional<THotKey> key;
        const char* written;  // what HotKeyText gives back
    } cases[] = {
        {"Ctrl+Alt+T", THotKey{THotKey::Ctrl | THotKey::Alt, 'T'}, "Ctrl+Alt+T"},
        {" alt + ctrl + t ", THotKey{THotKey::Ctrl | THotKey::Alt, 'T'}, "Ctrl+Alt+T"},
        {"Win+Shift+F12", THotKey{THotKey::Shift | THotKey::Win, 0x7B}, "Shift+Win+F12"},
        {"Ctrl+F24", THotKey{THotKey::Ctrl, 0x87}, "Ctrl+F24"},
        {"Ctrl+7", THotKey{THotKey::Ctrl, '7'}, "Ctrl+7"},
        {"None", THotKey{}, "None"},
        {"", THotKey{}, "None"},
        {"T", std::nullopt, nullptr},            // no modifier: it would take the letter from typing
        {"Ctrl+Ctrl+T", std::nullopt, nullptr},
        {"Ctrl+Alt", std::nullopt, nullptr},
        {"Ctrl+F25", std::nullopt, nullptr},
        {"Ctrl+F0", std::nullopt, nullptr},
        {"Ctrl+Tab", std::nullopt, nullptr},
        {"Hyper+T", std::nullopt, nullptr},
        {"Ctrl++", std::nullopt, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseHotKey(c.text), c.key);
        if (c.key) {
            EXPECT_EQ(HotKeyText(*c.key), c.written);
        }
    }
}

TEST(AccessSettings, ReadWithDefaultsAndWrittenBack) {
    test::TempDir dir;
    const auto file = dir.Path() / "app.config";
    {
        IniProfileStore store(file);
        EXPECT_EQ(LoadAccessSettings(store), TAccessSettings{}) << "no file: the defaults";
    }
    std::ofstream(file, std::ios::binary) << "[Global]\r\nPaused=1\r\nStill_Headlines=yes\r\nFocus_Hot_Key=Ctrl+\r\n";
    {
        IniProfileStore store(file);
        EXPECT_EQ(LoadAccessSettings(store), (TAccessSettings{true, false, kDefaultFocusHotKey}))
            << "only 1 turns a flag on; an unreadable key is the default";
        const TAccessSettings chosen{false, true, THotKey{THotKey::Alt | THotKey::Shift, 'P'}};
        ASSERT_TRUE(SaveAccessSettings(store, chosen));
        EXPECT_EQ(store.ReadString("Global", "Focus_Hot_Key", ""), "Alt+Shift+P");
        ASSERT_TRUE(SavePausedState(store, true));
    }
    IniProfileStore store(file);
    EXPECT_EQ(LoadAccessSettings(store), (TAccessSettings{true, true, THotKey{THotKey::Alt | THotKey::Shift, 'P'}}));
}

}  // namespace
}  // namespace tw
