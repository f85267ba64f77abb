// The settings store over the system's profile-file functions (the W forms, so addresses in any
// script survive).
#include "config/ProfileStore.h"

#include <windows.h>

namespace tw {

namespace {

std::wstring Widen(std::string_view s) {
    if (s.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(static_cast<std::size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
    return out;
}

std::string Narrow(std::wstring_view s) {
    if (s.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<std::size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

class SystemProfileStore final : public IProfileStore {
public:
    explicit SystemProfileStore(const std::string& path) : path_(Widen(path)) {}

    bool Exists() const override {
        const DWORD attributes = GetFileAttributesW(path_.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    }

    std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) const override {
        const std::wstring s = Widen(section), k = Widen(key), f = Widen(fallback);
        std::wstring buffer(256, L'\0');
        for (;;) {
            const DWORD n = GetPrivateProfileStringW(s.c_str(), k.c_str(), f.c_str(), buffer.data(),
                                                     static_cast<DWORD>(buffer.size()), path_.c_str());
            // A value that fills the buffer may have been cut: the call answers size - 1 then.
            if (n + 1 < buffer.size()) return Narrow(std::wstring_view(buffer.data(), n));
            buffer.resize(buffer.size() * 2);
        }
    }

    std::vector<std::string> ReadSection(std::string_view section) const override {
        const std::wstring s = Widen(section);
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
            lines.push_back(Narrow(std::wstring_view(buffer).substr(start, end - start)));
            start = end + 1;
        }
        return lines;
    }

    bool WriteString(std::string_view section, std::string_view key, std::string_view value) override {
        if (!CreateIfMissing()) return false;
        return WritePrivateProfileStringW(Widen(section).c_str(), Widen(key).c_str(), Widen(value).c_str(),
                                          path_.c_str()) != FALSE;
    }

    bool EraseSection(std::string_view section) override {
        if (!Exists()) return true;
        return WritePrivateProfileStringW(Widen(section).c_str(), nullptr, nullptr, path_.c_str()) != FALSE;
    }

private:
    // The profile functions keep writing a file in the encoding it has, and write a new file in
    // the ANSI code page, which loses every character outside it. A new file therefore starts as
    // UTF-16 with its byte-order mark.
    bool CreateIfMissing() const {
        if (Exists()) return true;
        HANDLE file = CreateFileW(path_.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_EXISTS;
        static const unsigned char bom[2] = {0xFF, 0xFE};
        DWORD written = 0;
        const BOOL ok = WriteFile(file, bom, sizeof bom, &written, nullptr);
        CloseHandle(file);
        return ok && written == sizeof bom;
    }

    std::wstring path_;
};

}  // namespace

std::unique_ptr<IProfileStore> CreateSystemProfileStore(const std::string& path) {
    return std::make_unique<SystemProfileStore>(path);
}

}  // namespace tw
