#include "desktop/uFileAssociations_win32.h"

#include "base/ProgramPath_win32.h"
#include "base/TextConvert_win32.h"
#include "base/UniqueHandle_win32.h"
#include "desktop/DDEHandler_win32.h"

#include <shlobj.h>

#include <utility>

namespace tw {
namespace {

class Win32ClassesRegistry final : public IClassesRegistry {
public:
    explicit Win32ClassesRegistry(TClassesPlaces places) : places_(std::move(places)) {}

    std::optional<std::string> ReadDefault(TClassesRoot root, const std::string& path) override {
        HKEY opened = nullptr;
        if (RegOpenKeyExW(Root(root), FullPath(root, path).c_str(), 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
            return std::nullopt;
        const RegistryKey key(opened);
        DWORD type = 0, size = 0;
        if (RegQueryValueExW(key.Get(), nullptr, nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
            (type != REG_SZ && type != REG_EXPAND_SZ))
            return std::string();
        std::wstring value(size / sizeof(wchar_t) + 1, L'\0');
        size = static_cast<DWORD>(value.size() * sizeof(wchar_t));
        if (RegQueryValueExW(key.Get(), nullptr, nullptr, &type, reinterpret_cast<BYTE*>(value.data()), &size) !=
            ERROR_SUCCESS)
            return std::string();
        // The stored text need not end with its NUL.
        value.resize(size / sizeof(wchar_t));
        if (const auto nul = value.find(L'\0'); nul != std::wstring::npos) value.resize(nul);
        return FromWide(value);
    }

    bool WriteDefault(TClassesRoot root, const std::string& path, const std::string& value) override {
        HKEY created = nullptr;
        if (RegCreateKeyExW(Root(root), FullPath(root, path).c_str(), 0, nullptr, 0, KEY_SET_VALUE | KEY_QUERY_VALUE,
                            nullptr, &created, nullptr) != ERROR_SUCCESS)
            return false;
        const RegistryKey key(created);
        const std::wstring wide = ToWide(value);
        return RegSetValueExW(key.Get(), nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(wide.c_str()),
                              static_cast<DWORD>((wide.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
    }

private:
    HKEY Root(TClassesRoot root) const { return root == TClassesRoot::Machine ? places_.machineRoot : places_.userRoot; }
    std::wstring FullPath(TClassesRoot root, const std::string& path) const {
        const std::wstring& base = root == TClassesRoot::Machine ? places_.machinePath : places_.userPath;
        return base.empty() ? ToWide(path) : base + L"\\" + ToWide(path);
    }

    TClassesPlaces places_;
};

bool g_ddeAvailable = false;

}  // namespace

bool DDEAvailable() { return g_ddeAvailable; }

std::unique_ptr<IClassesRegistry> CreateSystemClassesRegistry(TClassesPlaces places) {
    return std::make_unique<Win32ClassesRegistry>(std::move(places));
}

bool CheckRssAssociationAtStart(const std::string& serviceName, const std::string& topicName) {
    const auto registry = CreateSystemClassesRegistry();
    const TAssociationTarget target{RunningExecutablePath(), serviceName, topicName};
    if (target.ExecutablePath.empty()) return g_ddeAvailable = false;
    const auto outcome = RegisterRssAssociation(*registry, target, [] {
        SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
    });
    g_ddeAvailable = DDEAvailableAfter(outcome);
    return g_ddeAvailable;
}

}  // namespace tw
