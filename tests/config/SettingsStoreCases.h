#pragma once
// The settings cases run over every profile store the build has: the plain-file stand-in
// everywhere, and the system's profile functions under Windows (AppSettings_win32_test.cpp).
#include "config/ProfileStore.h"

#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <memory>
#include <ostream>
#include <string>

namespace tw::test {

struct StoreKind {
    const char* name;
    std::function<std::unique_ptr<IProfileStore>(const std::string& utf8Path)> make;
};

inline void PrintTo(const StoreKind& kind, std::ostream* os) { *os << kind.name; }

class SettingsStore : public ::testing::TestWithParam<StoreKind> {
protected:
    std::unique_ptr<IProfileStore> Open() { return GetParam().make(Utf8Path(File())); }
    std::filesystem::path File() const { return dir_ / "app.config"; }
    // Puts a hand-written file in place (8-bit text, CR LF line ends).
    void WriteFile(const std::string& text);

    TempDir dir_;
};

inline std::string StoreKindName(const ::testing::TestParamInfo<StoreKind>& info) { return info.param.name; }

}  // namespace tw::test
