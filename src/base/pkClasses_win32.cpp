// Windows half of pkClasses: the registry behind the settings saver and the file behind
// TpkFileStream.
#include "base/pkClasses.h"

#include "base/TextConvert_win32.h"
#include "base/UniqueHandle_win32.h"

#include <windows.h>

#include <algorithm>
#include <utility>

namespace tw {

namespace {

std::string SystemErrorText(DWORD code) {
    wchar_t* buffer = nullptr;
    DWORD n = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                             nullptr, code, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    const LocalMemory owner(buffer);
    std::string text;
    if (n != 0 && buffer) {
        text = FromWide(std::wstring_view(buffer, n));
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    }
    if (text.empty()) text = "System error " + std::to_string(code);
    return text;
}

std::string ExpandFileName(const std::wstring& name) {
    DWORD n = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
    if (n == 0) return FromWide(name);
    std::wstring full(n, L'\0');
    const DWORD written = GetFullPathNameW(name.c_str(), n, full.data(), nullptr);
    if (written == 0 || written >= n) return FromWide(name);  // failed, or the answer grew meanwhile
    full.resize(written);
    return FromWide(full);
}

// ---- registry

class RegistryKeyStore : public TpkSettingsStore {
public:
    explicit RegistryKeyStore(RegistryKey key) : key_(std::move(key)) {}

    bool ValueExists(const std::string& name) override {
        return RegQueryValueExW(key_.Get(), ToWide(name).c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
    }
    std::string ReadString(const std::string& name, const std::string& def) override {
        const std::wstring wname = ToWide(name);
        DWORD type = 0, bytes = 0;
        if (RegQueryValueExW(key_.Get(), wname.c_str(), nullptr, &type, nullptr, &bytes) != ERROR_SUCCESS) return def;
        if (type != REG_SZ && type != REG_EXPAND_SZ) return def;
        std::wstring value(bytes / sizeof(wchar_t) + 1, L'\0');
        DWORD size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
        if (RegQueryValueExW(key_.Get(), wname.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) !=
            ERROR_SUCCESS)
            return def;
        value.resize(size / sizeof(wchar_t));
        while (!value.empty() && value.back() == L'\0') value.pop_back();  // stored with or without its NUL
        return FromWide(value);
    }
    void WriteString(const std::string& name, const std::string& value) override {
        const std::wstring wvalue = ToWide(value);
        LONG rc = RegSetValueExW(key_.Get(), ToWide(name).c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(wvalue.c_str()),
                                 static_cast<DWORD>((wvalue.size() + 1) * sizeof(wchar_t)));
        if (rc != ERROR_SUCCESS) throw EpkComponentError(SystemErrorText(static_cast<DWORD>(rc)));
    }
    std::int32_t ReadInteger(const std::string& name, std::int32_t def) override {
        DWORD type = 0, value = 0, size = sizeof(value);
        if (RegQueryValueExW(key_.Get(), ToWide(name).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) !=
                ERROR_SUCCESS ||
            type != REG_DWORD || size != sizeof(value))
            return def;
        return static_cast<std::int32_t>(value);
    }
    void WriteInteger(const std::string& name, std::int32_t value) override {
        DWORD data = static_cast<DWORD>(value);
        LONG rc = RegSetValueExW(key_.Get(), ToWide(name).c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                                 sizeof(data));
        if (rc != ERROR_SUCCESS) throw EpkComponentError(SystemErrorText(static_cast<DWORD>(rc)));
    }
    std::int32_t ReadByte(const std::string& name, std::int32_t def) override {
        DWORD type = 0, size = 1;
        BYTE value = 0;
        if (RegQueryValueExW(key_.Get(), ToWide(name).c_str(), nullptr, &type, &value, &size) != ERROR_SUCCESS ||
            type != REG_BINARY || size != 1)
            return def;
        return value;
    }
    void WriteByte(const std::string& name, std::uint8_t value) override {
        LONG rc = RegSetValueExW(key_.Get(), ToWide(name).c_str(), 0, REG_BINARY, &value, 1);
        if (rc != ERROR_SUCCESS) throw EpkComponentError(SystemErrorText(static_cast<DWORD>(rc)));
    }

private:
    RegistryKey key_;
};

class Win32RegistryOpener : public TpkRegistryOpener {
public:
    std::unique_ptr<TpkSettingsStore> Open(TpkRegLocation location, const std::string& key, bool create) override {
        HKEY root = location == TpkRegLocation::rlLocalMachine ? HKEY_LOCAL_MACHINE : HKEY_CURRENT_USER;
        HKEY opened = nullptr;
        LONG rc;
        if (create)
            rc = RegCreateKeyExW(root, ToWide(key).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_READ | KEY_WRITE,
                                 nullptr, &opened, nullptr);
        else
            rc = RegOpenKeyExW(root, ToWide(key).c_str(), 0, KEY_READ, &opened);
        if (rc != ERROR_SUCCESS) return nullptr;
        return std::make_unique<RegistryKeyStore>(RegistryKey(opened));
    }
};

}  // namespace

std::unique_ptr<TpkRegistryOpener> CreatePlatformRegistryOpener() { return std::make_unique<Win32RegistryOpener>(); }

// ---- file stream

struct TpkFileStream::Impl {
    FileHandle handle;
};

TpkFileStream::TpkFileStream(const std::string& fileName, TpkFileStreamMode mode, bool fixAttributes)
    : fileName_(fileName), impl_(std::make_unique<Impl>()) {
    const std::wstring wide = ToWide(fileName);
    DWORD oldAttributes = INVALID_FILE_ATTRIBUTES;
    if (fixAttributes) {
        DWORD attributes = GetFileAttributesW(wide.c_str());
        // CREATE_ALWAYS refuses a hidden file and every write mode a read-only one.
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & (FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN)) &&
            SetFileAttributesW(wide.c_str(), FILE_ATTRIBUTE_ARCHIVE))
            oldAttributes = attributes;
    }
    const DWORD disposition = mode == TpkFileStreamMode::fsmCreate ? CREATE_ALWAYS : OPEN_ALWAYS;
    impl_->handle.Reset(CreateFileW(wide.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr));
    const DWORD error = GetLastError();
    if (oldAttributes != INVALID_FILE_ATTRIBUTES) SetFileAttributesW(wide.c_str(), oldAttributes);
    if (!impl_->handle) throw EpkFileCreateError(ExpandFileName(wide), SystemErrorText(error));
}

TpkFileStream::~TpkFileStream() = default;

std::size_t TpkFileStream::Read(void* buffer, std::size_t count) {
    std::size_t total = 0;
    auto* bytes = static_cast<char*>(buffer);
    while (total < count) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - total, 1u << 30));
        DWORD read = 0;
        if (!ReadFile(impl_->handle.Get(), bytes + total, chunk, &read, nullptr) || read == 0) break;
        total += read;
    }
    return total;
}

std::size_t TpkFileStream::Write(const void* buffer, std::size_t count) {
    std::size_t total = 0;
    const auto* bytes = static_cast<const char*>(buffer);
    while (total < count) {
        DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(count - total, 1u << 30));
        DWORD written = 0;
        if (!WriteFile(impl_->handle.Get(), bytes + total, chunk, &written, nullptr) || written == 0) break;
        total += written;
    }
    return total;
}

std::int64_t TpkFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    DWORD method = origin == TSeekOrigin::soBeginning ? FILE_BEGIN : origin == TSeekOrigin::soCurrent ? FILE_CURRENT : FILE_END;
    LARGE_INTEGER distance;
    distance.QuadPart = offset;
    LARGE_INTEGER result;
    result.QuadPart = 0;
    if (!SetFilePointerEx(impl_->handle.Get(), distance, &result, method)) {
        // A negative target is refused by the system; the position clamps at 0 instead.
        distance.QuadPart = 0;
        SetFilePointerEx(impl_->handle.Get(), distance, &result, FILE_BEGIN);
    }
    return result.QuadPart;
}

void TpkFileStream::SetSize(std::int64_t size) {
    const std::int64_t position = Position();
    Seek(size, TSeekOrigin::soBeginning);
    if (!SetEndOfFile(impl_->handle.Get())) throw EpkStreamError("Stream write error: " + SystemErrorText(GetLastError()));
    if (position < size) Seek(position, TSeekOrigin::soBeginning);
}

}  // namespace tw
