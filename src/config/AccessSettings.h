#pragma once
// The settings that make the ticker usable without the mouse and without motion, in "Global" of
// app.config: Paused (the ticker stood paused at exit), Still_Headlines (headlines shown still
// instead of scrolled) and Focus_Hot_Key (the system-wide key that gives the bar the focus).
#include "config/ProfileStore.h"

#include <optional>
#include <string>
#include <string_view>

namespace tw {

// A key with its modifiers. Key is the platform's virtual-key code: 'A'..'Z', '0'..'9' or
// F1..F24 (0x70..0x87); 0 means no key.
struct THotKey {
    enum : unsigned { Ctrl = 1, Alt = 2, Shift = 4, Win = 8 };
    unsigned Modifiers = 0;
    unsigned Key = 0;
    bool operator==(const THotKey&) const = default;
};

inline constexpr THotKey kDefaultFocusHotKey{THotKey::Ctrl | THotKey::Alt, 'T'};

// "Ctrl+Alt+T" and the like: modifiers (Ctrl, Alt, Shift, Win, any case, any order) joined by "+"
// to one letter, digit or F1..F24. "" and "None" give no key. Anything else, a key without a
// modifier, or a modifier named twice gives nothing.
std::optional<THotKey> ParseHotKey(std::string_view text);
// The text ParseHotKey reads back: modifiers in the order Ctrl, Alt, Shift, Win; "None" for no key.
std::string HotKeyText(const THotKey& key);

struct TAccessSettings {
    bool Paused = false;
    bool StillHeadlines = false;
    THotKey FocusHotKey = kDefaultFocusHotKey;
    bool operator==(const TAccessSettings&) const = default;
};

// Missing or unreadable values give the defaults.
TAccessSettings LoadAccessSettings(const IProfileStore& store);
// Writes all three in one step (after the dialog's OK).
bool SaveAccessSettings(IProfileStore& store, const TAccessSettings& settings);
// Writes Paused alone in one step (at exit).
bool SavePausedState(IProfileStore& store, bool paused);

}  // namespace tw
