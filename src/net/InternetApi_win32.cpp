// The internet operations over WinInet, and the file operations over the Windows file API.
#include "net/InternetApi.h"

#include "base/TextConvert_win32.h"
#include "base/Unhandled.h"
#include "base/UniqueHandle_win32.h"

#include <windows.h>
#include <wininet.h>

#include <vector>

namespace tw {

namespace {

// A null pointer for an empty text, as the API wants for "none".
const wchar_t* OrNull(const std::wstring& s) { return s.empty() ? nullptr : s.c_str(); }

// The new URL of a redirect, without its terminating zero; empty for other notifications.
std::string RedirectTarget(DWORD status, const void* info, DWORD infoLength) {
    if (status != INTERNET_STATUS_REDIRECT || info == nullptr) return {};
    const char* s = static_cast<const char*>(info);
    std::size_t n = 0;
    while (n < infoLength && s[n] != '\0') ++n;
    return std::string(s, n);
}

void CALLBACK StatusCallback(HINTERNET, DWORD_PTR context, DWORD status, LPVOID info, DWORD infoLength) {
    auto* sink = reinterpret_cast<TInternetStatusSink*>(context);
    if (sink == nullptr) return;
    // Nothing may unwind into WinInet.
    CallReportingErrors([&] { sink->InternetStatus(status, RedirectTarget(status, info, infoLength)); });
}

class FileReader : public TpkStream {
public:
    explicit FileReader(FileHandle h) : h_(std::move(h)) {}
    std::size_t Read(void* buffer, std::size_t count) override {
        DWORD got = 0;
        if (!ReadFile(h_.Get(), buffer, static_cast<DWORD>(count > 0x40000000 ? 0x40000000 : count), &got, nullptr)) return 0;
        return got;
    }
    std::size_t Write(const void*, std::size_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
        LARGE_INTEGER move, now{};
        move.QuadPart = offset;
        DWORD how = origin == TSeekOrigin::soBeginning ? FILE_BEGIN : origin == TSeekOrigin::soCurrent ? FILE_CURRENT : FILE_END;
        if (!SetFilePointerEx(h_.Get(), move, &now, how)) {
            LARGE_INTEGER zero{};
            SetFilePointerEx(h_.Get(), zero, &now, FILE_CURRENT);
        }
        return now.QuadPart;
    }
    void SetSize(std::int64_t) override {}

private:
    FileHandle h_;
};

class WinInetInternet : public TInternetApi {
public:
    TpkInetHandle Open(const std::string& agent, std::uint32_t accessType, const std::string& proxy,
                       const std::string& bypass, std::uint32_t flags) override {
        std::wstring a = ToWide(agent), p = ToWide(proxy), b = ToWide(bypass);
        return Keep(InternetOpenW(a.c_str(), accessType, OrNull(p), OrNull(b), flags));
    }
    bool InstallStatusCallback(TpkInetHandle session, bool install) override {
        INTERNET_STATUS_CALLBACK r =
            InternetSetStatusCallbackA(static_cast<HINTERNET>(session), install ? StatusCallback : nullptr);
        return r != INTERNET_INVALID_STATUS_CALLBACK;
    }
    TpkInetHandle Connect(TpkInetHandle session, const std::string& host, std::uint16_t port, const std::string& user,
                          const std::string& password, TInternetStatusSink* sink) override {
        std::wstring h = ToWide(host), u = ToWide(user), pw = ToWide(password);
        return Keep(InternetConnectW(static_cast<HINTERNET>(session), h.c_str(), port, OrNull(u), OrNull(pw),
                                     INTERNET_SERVICE_HTTP, 0, reinterpret_cast<DWORD_PTR>(sink)));
    }
    TpkInetHandle OpenRequest(TpkInetHandle connection, const std::string& verb, const std::string& object,
                              const std::string& referer, const std::string& acceptType, std::uint32_t flags) override {
        std::wstring v = ToWide(verb), o = ToWide(object), r = ToWide(referer), a = ToWide(acceptType);
        const wchar_t* accept[] = {a.c_str(), nullptr};
        // The request gets the connection's context too: WinInet reports nothing for a handle
        // whose context is 0, and a redirect is reported on the request.
        DWORD_PTR context = 0;
        DWORD size = sizeof context;
        InternetQueryOptionW(static_cast<HINTERNET>(connection), INTERNET_OPTION_CONTEXT_VALUE, &context, &size);
        return Keep(HttpOpenRequestW(static_cast<HINTERNET>(connection), v.c_str(), o.c_str(), nullptr, OrNull(r),
                                     a.empty() ? nullptr : accept, flags, context));
    }
    bool SetOptionNumber(TpkInetHandle handle, std::uint32_t option, std::uint32_t value) override {
        DWORD v = value;
        return Keep(InternetSetOptionW(static_cast<HINTERNET>(handle), option, &v, sizeof v));
    }
    bool SetOptionText(TpkInetHandle handle, std::uint32_t option, const std::string& value) override {
        std::wstring w = ToWide(value);
        return Keep(InternetSetOptionW(static_cast<HINTERNET>(handle), option, const_cast<wchar_t*>(w.c_str()),
                                       static_cast<DWORD>(w.size())));
    }
    bool IsGlobalOffline() override {
        INTERNET_CONNECTED_INFO info{};
        DWORD size = sizeof info;
        if (!InternetQueryOptionW(nullptr, INTERNET_OPTION_CONNECTED_STATE, &info, &size)) return false;
        return (info.dwConnectedState & INTERNET_STATE_DISCONNECTED_BY_USER) != 0;
    }
    bool GoOnline(const std::string& url) override {
        std::wstring u = ToWide(url);
        return Keep(InternetGoOnlineW(const_cast<wchar_t*>(u.c_str()), GetDesktopWindow(), 0));
    }
    bool AddRequestHeaders(TpkInetHandle request, const std::string& headers, std::uint32_t flags) override {
        std::wstring h = ToWide(headers);
        return Keep(HttpAddRequestHeadersW(static_cast<HINTERNET>(request), h.c_str(), static_cast<DWORD>(h.size()), flags));
    }
    bool SendRequest(TpkInetHandle request, const std::string& headers, const std::string& body) override {
        std::wstring h = ToWide(headers);
        return Keep(HttpSendRequestW(static_cast<HINTERNET>(request), OrNull(h), static_cast<DWORD>(h.size()),
                                     body.empty() ? nullptr : const_cast<char*>(body.data()),
                                     static_cast<DWORD>(body.size())));
    }
    bool QueryInfo(TpkInetHandle request, std::uint32_t query, std::string& value) override {
        // A 4096-byte buffer: a longer value counts as absent.
        wchar_t buffer[4096 / sizeof(wchar_t)];
        DWORD size = sizeof buffer - sizeof(wchar_t);
        DWORD index = 0;
        if (!Keep(HttpQueryInfoW(static_cast<HINTERNET>(request), query, buffer, &size, &index))) return false;
        value = FromWide(std::wstring_view(buffer, size / sizeof(wchar_t)));
        return true;
    }
    bool Read(TpkInetHandle request, char* buffer, std::uint32_t size, std::uint32_t& read) override {
        DWORD got = 0;
        bool ok = Keep(InternetReadFile(static_cast<HINTERNET>(request), buffer, size, &got));
        read = ok ? got : 0;
        return ok;
    }
    bool QueryDataAvailable(TpkInetHandle request, std::uint32_t& bytes) override {
        DWORD n = 0;
        const bool ok = Keep(InternetQueryDataAvailable(static_cast<HINTERNET>(request), &n, 0, 0));
        bytes = ok ? n : 0;
        return ok;
    }
    bool EnableDecoding(TpkInetHandle request) override {
        BOOL on = TRUE;
        return Keep(InternetSetOptionW(static_cast<HINTERNET>(request), INTERNET_OPTION_HTTP_DECODING, &on, sizeof on));
    }
    void Close(TpkInetHandle handle) override {
        if (handle != nullptr) InternetCloseHandle(static_cast<HINTERNET>(handle));
    }
    std::uint32_t LastError() override { return error_; }

    std::unique_ptr<TpkStream> OpenLocalFile(const std::string& path) override {
        std::wstring p = ToWide(path);
        FileHandle h(CreateFileW(p.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!h) {
            error_ = GetLastError();
            return nullptr;
        }
        return std::make_unique<FileReader>(std::move(h));
    }
    bool ApplyFileAttributes(const std::string& path, TpkFileAttributes attributes) override {
        std::wstring p = ToWide(path);
        return Keep(SetFileAttributesW(p.c_str(), FileAttributesToPlatform(attributes)));
    }
    bool RemoveFile(const std::string& path) override {
        std::wstring p = ToWide(path);
        // A read-only file cannot be deleted; the component's own output file may be one.
        SetFileAttributesW(p.c_str(), FILE_ATTRIBUTE_NORMAL);
        return Keep(DeleteFileW(p.c_str()));
    }

private:
    template <class T>
    T Keep(T result) {
        error_ = result ? 0 : GetLastError();
        return result;
    }
    std::uint32_t error_ = 0;
};

}  // namespace

std::unique_ptr<TInternetApi> CreatePlatformInternet() { return std::make_unique<WinInetInternet>(); }

}  // namespace tw
