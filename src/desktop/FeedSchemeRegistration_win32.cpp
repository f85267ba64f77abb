#include "desktop/FeedSchemeRegistration_win32.h"

#include "base/ProgramPath_win32.h"
#include "base/TextConvert_win32.h"
#include "desktop/FeedSchemeRegistration.h"
#include "desktop/uFileAssociations_win32.h"

#include <windows.h>
#include <shlobj.h>

namespace tw {
namespace {

constexpr wchar_t kUserClasses[] = L"Software\\Classes\\";

bool WriteValue(const TClassesValue& value) {
    const std::wstring data = ToWide(value.Value);
    return RegSetKeyValueW(HKEY_CURRENT_USER, (kUserClasses + ToWide(value.Key)).c_str(),
                           value.Name.empty() ? nullptr : ToWide(value.Name).c_str(), REG_SZ, data.c_str(),
                           DWORD((data.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

}  // namespace

void RegisterFeedSchemesAtStart(const std::string& serviceName, const std::string& topicName) {
    const TAssociationTarget target{RunningExecutablePath(), serviceName, topicName};
    if (target.ExecutablePath.empty()) return;
    const auto registry = CreateSystemClassesRegistry();
    bool wrote = false;
    for (const std::string_view scheme : kFeedSchemes) {
        const auto command = registry->ReadDefault(TClassesRoot::User, std::string(scheme) + "\\shell\\open\\command");
        if (!ShouldRegisterFeedScheme(command, target.ExecutablePath)) continue;
        for (const TClassesValue& value : FeedSchemeValues(scheme, target))
            if (!WriteValue(value)) break;
        wrote = true;
    }
    if (wrote) SHChangeNotify(SHCNE_ASSOCCHANGED, SHCNF_IDLIST, nullptr, nullptr);
}

}  // namespace tw
