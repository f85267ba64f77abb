#pragma once
// The few operations the settings need from an INI-format profile file. The Windows adapter goes
// through the system's profile-file functions; IniProfileStore is a plain-file stand-in for tests.
// Section and key names compare without regard to case. Writes go to a copy beside the file
// (config/PendingProfile.h), which reads see from the first write on; Commit makes it the file in
// one step, so a program killed in the middle of a save leaves the old file whole. A store never
// committed leaves the file as it was.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

class IProfileStore {
public:
    virtual ~IProfileStore() = default;

    // Whether the file exists at all (its copy, once written to).
    virtual bool Exists() const = 0;
    // The value of section/key, or fallback when the key (or the file) is missing. A key that is
    // present with an empty value reads as "".
    virtual std::string ReadString(std::string_view section, std::string_view key,
                                   std::string_view fallback) const = 0;
    // The lines of a section in file order, each as key "=" value; empty when there is none.
    virtual std::vector<std::string> ReadSection(std::string_view section) const = 0;
    // Replaces the key's value in place, or adds the key at the end of its section (creating the
    // section, and at the commit the file, when needed). Returns false when the copy could not
    // be written.
    virtual bool WriteString(std::string_view section, std::string_view key, std::string_view value) = 0;
    // Removes a whole section. Returns false when the file could not be written.
    virtual bool EraseSection(std::string_view section) = 0;
    // Makes every write since the last commit the file's contents in one step (true when there
    // was none). False when one of those writes failed or the file could not be replaced; the
    // file then holds what it held before, and those writes are dropped.
    virtual bool Commit() = 0;
};

// The store over the system's profile-file functions (Windows build only). path is a full path in
// UTF-8.
std::unique_ptr<IProfileStore> CreateSystemProfileStore(const std::string& path);

}  // namespace tw
