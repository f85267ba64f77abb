#include "config/AccessSettings.h"

#include "base/AsciiText.h"

#include <array>
#include <utility>

namespace tw {

namespace {

constexpr std::string_view kGlobal = "Global";
constexpr std::string_view kPausedKey = "Paused";
constexpr std::string_view kStillKey = "Still_Headlines";
constexpr std::string_view kHotKeyKey = "Focus_Hot_Key";
constexpr std::string_view kNoKey = "None";
constexpr unsigned kF1 = 0x70;

constexpr std::array<std::pair<std::string_view, unsigned>, 4> kModifierNames{
    {{"Ctrl", THotKey::Ctrl}, {"Alt", THotKey::Alt}, {"Shift", THotKey::Shift}, {"Win", THotKey::Win}}};

std::optional<unsigned> ModifierNamed(std::string_view name) {
    for (const auto& [text, bit] : kModifierNames)
        if (EqualsIgnoringAsciiCase(name, text)) return bit;
    return std::nullopt;
}

std::optional<unsigned> KeyNamed(std::string_view name) {
    if (name.size() == 1) {
        const char c = AsciiUpper(name[0]);
        if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return static_cast<unsigned>(c);
        return std::nullopt;
    }
    if (name.size() < 2 || name.size() > 3 || AsciiUpper(name[0]) != 'F' || name[1] == '0') return std::nullopt;
    unsigned number = 0;
    for (char c : name.substr(1)) {
        if (c < '0' || c > '9') return std::nullopt;
        number = number * 10 + static_cast<unsigned>(c - '0');
    }
    if (number < 1 || number > 24) return std::nullopt;
    return kF1 + number - 1;
}

std::string KeyName(unsigned key) {
    if (key >= kF1 && key < kF1 + 24) return "F" + std::to_string(key - kF1 + 1);
    return std::string(1, static_cast<char>(key));
}

bool ReadFlag(const IProfileStore& store, std::string_view key) {
    return TrimSpacesAndTabs(store.ReadString(kGlobal, key, "0")) == "1";
}

}  // namespace

std::optional<THotKey> ParseHotKey(std::string_view text) {
    text = TrimSpacesAndTabs(text);
    if (text.empty() || EqualsIgnoringAsciiCase(text, kNoKey)) return THotKey{};
    THotKey hotKey;
    for (;;) {
        const std::size_t plus = text.find('+');
        const std::string_view part = TrimSpacesAndTabs(text.substr(0, plus));
        if (plus == std::string_view::npos) {
            const auto key = KeyNamed(part);
            if (!key || hotKey.Modifiers == 0) return std::nullopt;
            hotKey.Key = *key;
            return hotKey;
        }
        const auto bit = ModifierNamed(part);
        if (!bit || (hotKey.Modifiers & *bit) != 0) return std::nullopt;
        hotKey.Modifiers |= *bit;
        text.remove_prefix(plus + 1);
    }
}

std::string HotKeyText(const THotKey& key) {
    if (key.Key == 0) return std::string(kNoKey);
    std::string text;
    for (const auto& [name, bit] : kModifierNames)
        if (key.Modifiers & bit) text += std::string(name) + "+";
    return text + KeyName(key.Key);
}

TAccessSettings LoadAccessSettings(const IProfileStore& store) {
    TAccessSettings s;
    s.Paused = ReadFlag(store, kPausedKey);
    s.StillHeadlines = ReadFlag(store, kStillKey);
    const std::string hotKey = store.ReadString(kGlobal, kHotKeyKey, HotKeyText(kDefaultFocusHotKey));
    s.FocusHotKey = ParseHotKey(hotKey).value_or(kDefaultFocusHotKey);
    return s;
}

bool SaveAccessSettings(IProfileStore& store, const TAccessSettings& s) {
    bool ok = store.WriteString(kGlobal, kPausedKey, s.Paused ? "1" : "0");
    ok &= store.WriteString(kGlobal, kStillKey, s.StillHeadlines ? "1" : "0");
    ok &= store.WriteString(kGlobal, kHotKeyKey, HotKeyText(s.FocusHotKey));
    return store.Commit() && ok;
}

bool SavePausedState(IProfileStore& store, bool paused) {
    const bool ok = store.WriteString(kGlobal, kPausedKey, paused ? "1" : "0");
    return store.Commit() && ok;
}

}  // namespace tw
