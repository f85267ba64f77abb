#pragma once
// An INI file read and written by hand, following the profile-file conventions the settings rely
// on: "[section]" headers, "key=value" lines, names compared without regard to case, blanks
// around keys and values trimmed, a write replacing the first line with that key in place or
// adding it at the end of the section. Used where the system's profile functions are missing
// (native tests, fuzzing). Every operation reads the file (or its copy) anew and every write
// rewrites the copy.
#include "config/PendingProfile.h"
#include "config/ProfileStore.h"

#include <filesystem>

namespace tw {

class IniProfileStore final : public IProfileStore {
public:
    explicit IniProfileStore(std::filesystem::path path) : pending_(std::move(path)) {}

    bool Exists() const override;
    std::string ReadString(std::string_view section, std::string_view key,
                           std::string_view fallback) const override;
    std::vector<std::string> ReadSection(std::string_view section) const override;
    bool WriteString(std::string_view section, std::string_view key, std::string_view value) override;
    bool EraseSection(std::string_view section) override;
    bool Commit() override { return pending_.Commit(); }

    const std::filesystem::path& Path() const { return pending_.File(); }

private:
    TPendingProfile pending_;
};

}  // namespace tw
