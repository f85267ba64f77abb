// An accessibility client as a screen reader would be one, for end-to-end scripts, run in the
// program's Wine prefix:
//   a11y_probe.exe read            one line per element of the bar's accessible object:
//                                  "<child id>\t<role>\t<name>\t<value>\t<default action>"
//   a11y_probe.exe default <id>    does the element's default action
//   a11y_probe.exe animations 0|1  switches the system's client-area animation setting
// Exit code 0 on success, 1 when the bar or its object was not found or a call failed.
//   x86_64-w64-mingw32-g++-posix -O1 -static -municode -o a11y_probe.exe a11y_probe.cpp -loleacc -lole32 -loleaut32 -luuid
#include <windows.h>
#include <oleacc.h>

#include <cstdio>
#include <cwchar>
#include <string>

namespace {

std::string Utf8(const wchar_t* text) {
    if (!text || !*text) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), n, nullptr, nullptr);
    return out;
}

VARIANT Child(long id) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = id;
    return v;
}

template <class Getter>
std::string Text(Getter get) {
    BSTR text = nullptr;
    if (FAILED(get(&text)) || !text) return {};
    std::string out = Utf8(text);
    SysFreeString(text);
    return out;
}

IAccessible* BarObject() {
    HWND bar = FindWindowW(L"TfrMain", nullptr);
    if (!bar) std::fprintf(stderr, "no window of class TfrMain\n");
    if (!bar) return nullptr;
    IAccessible* object = nullptr;
    // By __uuidof: IID_IAccessible by name links to oleacc's import thunk, not the identifier.
    const HRESULT hr = AccessibleObjectFromWindow(bar, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                                  reinterpret_cast<void**>(&object));
    if (FAILED(hr)) std::fprintf(stderr, "AccessibleObjectFromWindow: 0x%08lx\n", static_cast<unsigned long>(hr));
    return SUCCEEDED(hr) ? object : nullptr;
}

int Read(IAccessible* object) {
    long count = 0;
    if (FAILED(object->get_accChildCount(&count))) return 1;
    for (long id = 0; id <= count; ++id) {
        const VARIANT child = Child(id);
        VARIANT role;
        VariantInit(&role);
        object->get_accRole(child, &role);
        const std::string name = Text([&](BSTR* t) { return object->get_accName(child, t); });
        const std::string value = Text([&](BSTR* t) { return object->get_accValue(child, t); });
        const std::string action = Text([&](BSTR* t) { return object->get_accDefaultAction(child, t); });
        std::printf("%ld\t%ld\t%s\t%s\t%s\n", id, role.vt == VT_I4 ? role.lVal : -1L, name.c_str(), value.c_str(),
                    action.c_str());
    }
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc >= 3 && std::wcscmp(argv[1], L"animations") == 0) {
        const BOOL on = std::wcscmp(argv[2], L"0") != 0;
        return SystemParametersInfoW(SPI_SETCLIENTAREAANIMATION, 0, reinterpret_cast<PVOID>(static_cast<INT_PTR>(on)),
                                     SPIF_UPDATEINIFILE | SPIF_SENDCHANGE)
                   ? 0
                   : 1;
    }
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    IAccessible* object = BarObject();
    int rc = 1;
    if (object && argc >= 2 && std::wcscmp(argv[1], L"read") == 0) rc = Read(object);
    if (object && argc >= 3 && std::wcscmp(argv[1], L"default") == 0)
        rc = SUCCEEDED(object->accDoDefaultAction(Child(std::wcstol(argv[2], nullptr, 10)))) ? 0 : 1;
    if (object) object->Release();
    CoUninitialize();
    return rc;
}
