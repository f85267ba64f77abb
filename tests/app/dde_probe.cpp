// What the single-instance and open-command story needs from inside the Wine session, printed
// one answer per line. Built by single_instance_e2e.py with the cross compiler:
//   dde_probe send TEXT...          one DDE execute transaction per TEXT to Tidewire/Macros;
//                                   prints how many were acknowledged (-1: no conversation)
//   dde_probe burst N TEXT          N transactions of TEXT, as fast as they go
//   dde_probe huge N                one "[Open("xxx...")]" command with a path of N characters
//   dde_probe front                 the class of the foreground window and its process id
//   dde_probe bars                  the process id of each TfrMain window, and of each message box
//   dde_probe get ROOT PATH [NAME]  a registry value (ROOT: HKCR, HKCU); "-" when missing
//   dde_probe set ROOT PATH NAME N  writes a DWORD value
//   dde_probe deny ROOT PATH        denies everyone the right to create keys or set values there;
//                                   prints whether a write is refused afterwards, then the key's
//                                   former security as text
//   dde_probe restore ROOT PATH SDDL  gives the key that security again
//   dde_probe create ROOT PATH      creates the key; prints "created" or "refused"
//   dde_probe volatile ROOT PATH    makes PATH a volatile key (deleting it first), under which
//                                   the registry refuses to keep lasting keys; prints whether a
//                                   lasting subkey is refused
#include <windows.h>
#include <aclapi.h>
#include <sddl.h>
#include <ddeml.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

HDDEDATA CALLBACK ClientCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

int Send(const std::vector<std::wstring>& texts) {
    DWORD instance = 0;
    if (DdeInitializeW(&instance, ClientCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) return -1;
    HSZ service = DdeCreateStringHandleW(instance, L"Tidewire", CP_WINUNICODE);
    HSZ topic = DdeCreateStringHandleW(instance, L"Macros", CP_WINUNICODE);
    int acknowledged = -1;
    if (HCONV conversation = DdeConnect(instance, service, topic, nullptr)) {
        acknowledged = 0;
        for (const std::wstring& text : texts) {
            DWORD result = 0;
            const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
            if (DdeClientTransaction(reinterpret_cast<LPBYTE>(const_cast<wchar_t*>(text.c_str())), bytes, conversation,
                                     nullptr, 0, XTYP_EXECUTE, 30000, &result))
                ++acknowledged;
        }
        DdeDisconnect(conversation);
    }
    DdeFreeStringHandle(instance, topic);
    DdeFreeStringHandle(instance, service);
    DdeUninitialize(instance);
    return acknowledged;
}

HKEY RootOf(const std::wstring& name) { return name == L"HKCU" ? HKEY_CURRENT_USER : HKEY_CLASSES_ROOT; }

std::string Utf8(const std::wstring& text) {
    if (text.empty()) return {};
    int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

void Get(HKEY root, const std::wstring& path, const wchar_t* name) {
    wchar_t text[2048] = {};
    DWORD size = sizeof text, type = 0;
    if (RegGetValueW(root, path.c_str(), name, RRF_RT_REG_SZ | RRF_RT_REG_DWORD, &type, text, &size) != ERROR_SUCCESS) {
        std::printf("-\n");
    } else if (type == REG_DWORD) {
        std::printf("%lu\n", static_cast<unsigned long>(*reinterpret_cast<DWORD*>(text)));
    } else {
        std::printf("%s\n", Utf8(text).c_str());
    }
}

BOOL CALLBACK PrintBar(HWND hwnd, LPARAM) {
    wchar_t name[64] = {};
    GetClassNameW(hwnd, name, 64);
    if (std::wstring(name) == L"TfrMain" || std::wstring(name) == L"#32770") {
        DWORD pid = 0;
        GetWindowThreadProcessId(hwnd, &pid);
        std::printf("%s %lu\n", Utf8(name).c_str(), static_cast<unsigned long>(pid));
    }
    return TRUE;
}

bool Deny(HKEY root, const std::wstring& path, std::wstring& former) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(root, path.c_str(), 0, nullptr, 0, WRITE_DAC | READ_CONTROL | KEY_READ, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
        return false;
    PSECURITY_DESCRIPTOR old = nullptr;
    if (GetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, nullptr, nullptr, &old) ==
        ERROR_SUCCESS) {
        LPWSTR text = nullptr;
        if (ConvertSecurityDescriptorToStringSecurityDescriptorW(old, SDDL_REVISION_1, DACL_SECURITY_INFORMATION, &text,
                                                                 nullptr)) {
            former = text;
            LocalFree(text);
        }
        LocalFree(old);
    }
    EXPLICIT_ACCESSW deny{};
    deny.grfAccessPermissions = KEY_CREATE_SUB_KEY | KEY_SET_VALUE;
    deny.grfAccessMode = DENY_ACCESS;
    deny.grfInheritance = SUB_CONTAINERS_AND_OBJECTS_INHERIT;
    deny.Trustee.TrusteeForm = TRUSTEE_IS_NAME;
    deny.Trustee.TrusteeType = TRUSTEE_IS_WELL_KNOWN_GROUP;
    deny.Trustee.ptstrName = const_cast<wchar_t*>(L"EVERYONE");
    PACL acl = nullptr;
    bool ok = SetEntriesInAclW(1, &deny, nullptr, &acl) == ERROR_SUCCESS &&
              SetSecurityInfo(key, SE_REGISTRY_KEY, DACL_SECURITY_INFORMATION, nullptr, nullptr, acl, nullptr) ==
                  ERROR_SUCCESS;
    if (acl) LocalFree(acl);
    RegCloseKey(key);
    HKEY probe = nullptr;
    const std::wstring test = path.empty() ? L".denytest" : path + L"\\.denytest";
    const bool refused = RegCreateKeyExW(root, test.c_str(), 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                                         &probe, nullptr) != ERROR_SUCCESS;
    if (probe) RegCloseKey(probe);
    return ok && refused;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"send") {
        std::printf("%d\n", Send(std::vector<std::wstring>(argv + 2, argv + argc)));
    } else if (command == L"burst" && argc > 3) {
        std::printf("%d\n", Send(std::vector<std::wstring>(static_cast<size_t>(_wtoi(argv[2])), argv[3])));
    } else if (command == L"huge" && argc > 2) {
        std::printf("%d\n", Send({L"[Open(\"" + std::wstring(static_cast<size_t>(_wtoi(argv[2])), L'x') + L"\")]"}));
    } else if (command == L"front") {
        const HWND front = GetForegroundWindow();
        wchar_t name[64] = {};
        DWORD pid = 0;
        if (front) {
            GetClassNameW(front, name, 64);
            GetWindowThreadProcessId(front, &pid);
        }
        std::printf("%s %lu\n", front ? Utf8(name).c_str() : "-", static_cast<unsigned long>(pid));
    } else if (command == L"bars") {
        EnumWindows(PrintBar, 0);
    } else if (command == L"get" && argc > 3) {
        Get(RootOf(argv[2]), argv[3], argc > 4 ? argv[4] : nullptr);
    } else if (command == L"set" && argc > 5) {
        const DWORD value = static_cast<DWORD>(_wtoi(argv[5]));
        std::printf("%s\n", RegSetKeyValueW(RootOf(argv[2]), argv[3], argv[4], REG_DWORD, &value, sizeof value) ==
                                    ERROR_SUCCESS ? "set" : "failed");
    } else if (command == L"deny" && argc > 3) {
        std::wstring former;
        const bool refused = Deny(RootOf(argv[2]), argv[3], former);
        std::printf("%s\n%s\n", refused ? "refused" : "allowed", Utf8(former).c_str());
    } else if (command == L"create" && argc > 3) {
        HKEY key = nullptr;
        const bool ok = RegCreateKeyExW(RootOf(argv[2]), argv[3], 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr) ==
                        ERROR_SUCCESS;
        if (key) RegCloseKey(key);
        std::printf("%s\n", ok ? "created" : "refused");
    } else if (command == L"volatile" && argc > 3) {
        const HKEY root = RootOf(argv[2]);
        RegDeleteTreeW(root, argv[3]);
        RegDeleteKeyW(root, argv[3]);
        HKEY key = nullptr, child = nullptr;
        bool refused = false;
        if (RegCreateKeyExW(root, argv[3], 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &key, nullptr) ==
            ERROR_SUCCESS) {
            refused = RegCreateKeyExW(key, L"lasting", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &child, nullptr) !=
                      ERROR_SUCCESS;
            if (child) RegCloseKey(child);
            RegCloseKey(key);
        }
        std::printf("%s\n", refused ? "refused" : "allowed");
    } else if (command == L"restore" && argc > 4) {
        PSECURITY_DESCRIPTOR sd = nullptr;
        HKEY key = nullptr;
        bool ok = ConvertStringSecurityDescriptorToSecurityDescriptorW(argv[4], SDDL_REVISION_1, &sd, nullptr) &&
                  RegOpenKeyExW(RootOf(argv[2]), argv[3], 0, WRITE_DAC, &key) == ERROR_SUCCESS &&
                  RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, sd) == ERROR_SUCCESS;
        if (key) RegCloseKey(key);
        if (sd) LocalFree(sd);
        std::printf("%s\n", ok ? "restored" : "failed");
    } else {
        std::fprintf(stderr, "unknown command\n");
        return 2;
    }
    return 0;
}
