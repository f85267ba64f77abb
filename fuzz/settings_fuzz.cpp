// Any bytes as app.config: reading never crashes or hangs, and a save at exit followed by a new
// start gives back the same custom feeds with the same flags (no feed lost, none multiplied).
#include "config/AppSettings.h"
#include "config/IniProfileStore.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <unistd.h>

namespace {

const std::filesystem::path& ScratchFile() {
    static const std::filesystem::path path = [] {
        auto dir = std::filesystem::temp_directory_path() / ("tidewire-settings-fuzz-" + std::to_string(getpid()));
        std::filesystem::create_directories(dir);
        return dir / "app.config";
    }();
    return path;
}

std::vector<std::pair<std::string, bool>> Entries(const tw::TFeedsList& list) {
    std::vector<std::pair<std::string, bool>> out;
    for (std::size_t i = 0; i < list.Count(); ++i) out.emplace_back(list.Strings(i), list.Objects(i).LinkEnabled);
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    (void)tw::ParseSettingInt(bytes.substr(0, 64));
    {
        std::ofstream out(ScratchFile(), std::ios::binary | std::ios::trunc);
        out << bytes;
    }
    tw::IniProfileStore store(ScratchFile());
    const std::string fallback(tw::DefaultFeedUrls[1]);

    tw::TFeedsList defaults, custom;
    const tw::TAppSettings s = tw::LoadSettings(store, fallback, 5, defaults, custom);
    if (defaults.Count() != tw::DefaultFeedUrls.size() || s.Url.empty()) std::abort();
    if (s.ReloadInterval < 0 || s.TickerSpeed < tw::MinTickerSpeed || s.TickerSpeed > tw::MaxTickerSpeed) std::abort();
    tw::SaveFeedState(store, s.Url, s.ReloadInterval, custom);

    tw::TFeedsList defaults2, custom2;
    const tw::TAppSettings again = tw::LoadSettings(store, fallback, 5, defaults2, custom2);
    if (Entries(custom2) != Entries(custom)) std::abort();
    if (again.Url != s.Url || again.ReloadInterval / 60000 != s.ReloadInterval / 60000) std::abort();
    return 0;
}
