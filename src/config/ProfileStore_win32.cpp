// The settings store over the system's profile-file functions (the W forms, so addresses in any
// script survive).
#include "config/ProfileStore.h"

#include "base/TextConvert_win32.h"
#include "base/UniqueHandle_win32.h"

#include <windows.h>

namespace tw {

namespace {

class SystemProfileStore final : public IProfileStore {
public:
    explicit SystemProfileStore(const std::string& path) : path_(ToWide(path)) {}

    bool Exists() const override {
        const DWORD attributes = GetFileAttributesW(path_.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const override {
        const std::wstring s = ToWide(section), k = ToWide(key), f = ToWide(fallback);
        std::wstring buffer(256, L'\0');
        for (;;) {
            const DWORD n = GetPrivateProfileStringW(s.c_str(), k.c_str(), f.c_str(), buffer.data(),
                                                     static_cast<DWORD>(buffer.size()), path_.c_str());
            // A value that fills the buffer may have been cut: the call answers size - 1 then.
            if (n + 1 < buffer.size()) return FromWide(std::wstring_view(buffer.data(), n));
            buffer.resize(buffer.size() * 2);
        }
    }

    std::vector<std::string> ReadSection(std::string_view section) const override {
        const std::wstring s = ToWide(section);
        std::wstring buffer(4096, L'\0');
        DWORD n = 0;
        for (;;) {
            n = GetPrivateProfileSectionW(s.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()), path_.c_str());
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
        if (!CreateIfMissing()) return false;
        return WritePrivateProfileStringW(ToWide(section).c_str(), ToWide(key).c_str(), ToWide(value).c_str(),
                                          path_.c_str()) != FALSE;
    }

    bool EraseSection(std::string_view section) override {
        if (!Exists()) return true;
        return WritePrivateProfileStringW(ToWide(section).c_str(), nullptr, nullptr, path_.c_str()) != FALSE;
    }

private:
    // The profile functions keep writing a file in the encoding it has, and write a new file in
    // the ANSI code page, which loses every character outside it. A new file therefore starts as
    // UTF-16 with its byte-order mark.
    bool CreateIfMissing() const {
        if (Exists()) return true;
        const FileHandle file(
            CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file) return GetLastError() == ERROR_FILE_EXISTS;
        static const unsigned char bom[2] = {0xFF, 0xFE};
        DWORD written = 0;
        const BOOL ok = WriteFile(file.Get(), bom, sizeof bom, &written, nullptr);
        return ok && written == sizeof bom;
    }

    std::wstring path_;
};

}  // namespace

std::unique_ptr<IProfileStore> CreateSystemProfileStore(const std::string& path) {
    return std::make_unique<SystemProfileStore>(path);
}

}  // namespace tw
