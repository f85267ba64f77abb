#pragma once
// The application bar's settings saver: the float rectangle, the window state, the bar's switches
// and placement and its settings groups, written to an INI section or a registry key and read back.
// What is read is checked before it is applied: a hand-edited or damaged record never puts the bar
// off the screen or at an edge it may not use.
#include "base/pkClasses.h"

#include <cstdint>

namespace tw {

class TpkAppBar;

enum TpkAppBarRestoreProperty : std::uint8_t {
    rpAllowedEdges = 1 << 0,
    rpFormSize = 1 << 1,
    rpDocking = 1 << 2,
    rpFloatRestrictions = 1 << 3,
    rpSizing = 1 << 4,
    rpSliding = 1 << 5,
};
using TpkAppBarRestoreProperties = std::uint8_t;

class TpkAppBarRegistrySaver : public TpkRegistrySaver {
public:
    explicit TpkAppBarRegistrySaver(TpkAppBar& bar);
    const char* ClassName() const override { return "TpkAppBarRegistrySaver"; }

    TpkAppBarRestoreProperties RestoreProperties = rpFormSize | rpDocking | rpSizing | rpSliding;

    void Assign(const TpkPersistent* source) override;

protected:
    // INI: every value; a missing entry keeps the current value.
    void SaveToIni(TpkSettingsStore& section) override { Write(section); }
    void LoadFromIni(TpkSettingsStore& section) override { Read(section, false); }
    // Registry: the same values; reading stops at the first missing one, keeping those read.
    void SaveToRegistry(TpkSettingsStore& key) override { Write(key); }
    void LoadFromRegistry(TpkSettingsStore& key) override { Read(key, true); }

private:
    void Write(TpkSettingsStore& store);
    void Read(TpkSettingsStore& store, bool stopAtMissing);
    TpkAppBar& bar_;
};

}  // namespace tw
