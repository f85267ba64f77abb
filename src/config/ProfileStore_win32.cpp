// The settings store over the system's profile-file functions (the W forms, so addresses in any
// script survive).
#include "config/ProfileStore.h"

#include "base/TextConvert_win32.h"
#include "config/PendingProfile.h"

#include <windows.h>

#include <filesystem>

namespace tw {

namespace {

class SystemProfileStore final : public IProfileStore {
public:
    explicit SystemProfileStore(const std::string& path)
        : pending_(std::filesystem::path(std::u8string(path.begin(), path.end()))) {}

    bool Exists() const override {
        const DWORD attributes = GetFileAttributesW(Current().c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const override {
        const std::wstring s = ToWide(section), k = ToWide(key), f = ToWide(fallback);
        const std::wstring file = Current();
        std::wstring buffer(256, L'\0');
        for (;;) {
            const DWORD n = GetPrivateProfileStringW(s.c_str(), k.c_str(), f.c_str(), buffer.data(),
                                                     static_cast<DWORD>(buffer.size()), file.c_str());
            // A value that fills the buffer may have been cut: the call answers size - 1 then.
            if (n + 1 < buffer.size()) return FromWide(std::wstring_view(buffer.data(), n));
            buffer.resize(buffer.size() * 2);
        }
    }

    std::vector<std::string> ReadSection(std::string_view section) const override {
        const std::wstring s = ToWide(section);
        const std::wstring file = Current();
        std::wstring buffer(4096, L'\0');
        DWORD n = 0;
        for (;;) {
            n = GetPrivateProfileSectionW(s.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()), file.c_str());
            // A section that does not fit is answered with size - 2.
            if (n + 2 < buffer.size()) break;
            buffer.resize(buffer.size() * 2);
        }
        std::vector<std::string> lines;
        std::size_t start = 0;
        while (start < n) {
            const std::size_t end = buffer.find(L'\0', start);
            if (end == std::wstring::npos || end == start || end > n) break;
            lines.push_back(FromWide(std::wstring_view(buffer).substr(start, end - start)));
            start = end + 1;
        }
        return lines;
    }

    bool WriteString(std::string_view section, std::string_view key, std::string_view value) override {
        const std::wstring v = ToWide(value);
        return Write(section, ToWide(key).c_str(), v.c_str());
    }

    bool EraseSection(std::string_view section) override {
        if (!Exists()) return true;
        return Write(section, nullptr, nullptr);
    }

    bool Commit() override { return pending_.Commit(); }

private:
    // The profile functions keep writing a file in the encoding it has, and write a new file in
    // the ANSI code page, which loses every character outside it. A new file therefore starts as
    // UTF-16 with its byte-order mark.
    static constexpr std::string_view kNewFileStart{"\xFF\xFE", 2};

    std::wstring Current() const { return pending_.Current().wstring(); }

    // A null key erases the section.
    bool Write(std::string_view section, const wchar_t* key, const wchar_t* value) {
        const std::wstring s = ToWide(section);
        return pending_.Write(kNewFileStart, [&](const std::filesystem::path& copy) {
            return WritePrivateProfileStringW(s.c_str(), key, value, copy.c_str()) != FALSE;
        });
    }

    TPendingProfile pending_;
};

}  // namespace

std::unique_ptr<IProfileStore> CreateSystemProfileStore(const std::string& path) {
    return std::make_unique<SystemProfileStore>(path);
}

}  // namespace tw
