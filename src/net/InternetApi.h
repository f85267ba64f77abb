#pragma once
// The internet operations the HTTP transfer component needs, shaped by its flow: a session, a
// connection, a request with its options and headers, sending, header queries and reads, plus
// the few file operations for "file" URLs and output-file attributes. The Windows build
// implements them over WinInet (InternetApi_win32.cpp); natively there is no internet API, so
// the platform object fails every network call and reaches only the file system
// (InternetApi_native.cpp). Tests give the component a scripted fake instead.
#include "base/pkClasses.h"
#include "net/HttpRules.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

namespace tw {

using TpkInetHandle = void*;

// Receives the platform's status notifications for one transfer (on the worker thread).
class TInternetStatusSink {
public:
    virtual ~TInternetStatusSink() = default;
    // `info` is the notification's text where it carries one (the new URL of a redirect).
    virtual void InternetStatus(std::uint32_t code, const std::string& info) = 0;
};

// Header queries (HTTP_QUERY_*).
enum : std::uint32_t {
    kQueryContentType = 1,
    kQueryContentLength = 5,
    kQueryContentLanguage = 6,
    kQueryDate = 9,
    kQueryExpires = 10,
    kQueryLastModified = 11,
    kQueryStatusCode = 19,
    kQueryRawHeadersCRLF = 22,
    kQueryContentEncoding = 29,
    kQueryLocation = 33,
    kQueryWWWAuthenticate = 40,
    kQueryContentRange = 53,
    kQueryETag = 54,
};

// Options (INTERNET_OPTION_*).
enum : std::uint32_t {
    kOptionConnectTimeout = 2,
    kOptionSendTimeout = 5,
    kOptionReceiveTimeout = 6,
    kOptionUsername = 28,
    kOptionPassword = 29,
    kOptionSecurityFlags = 31,
    kOptionProxyUsername = 43,
    kOptionProxyPassword = 44,
};

inline constexpr std::uint32_t kAddRequestHeadersAdd = 0x20000000u;      // HTTP_ADDREQ_FLAG_ADD
inline constexpr std::uint32_t kAddRequestHeadersReplace = 0x80000000u;  // HTTP_ADDREQ_FLAG_REPLACE
inline constexpr std::uint32_t kOpenFlagOffline = 0x01000000u;           // INTERNET_FLAG_OFFLINE
inline constexpr std::uint32_t kRequestFlagNoAutoRedirect = 0x00200000u;  // INTERNET_FLAG_NO_AUTO_REDIRECT

class TInternetApi {
public:
    virtual ~TInternetApi() = default;

    // Every call answers null/false on failure; LastError then tells why.
    virtual TpkInetHandle Open(const std::string& agent, std::uint32_t accessType, const std::string& proxy,
                               const std::string& bypass, std::uint32_t flags) = 0;
    // Status notifications of the session's handles go to the sink given to Connect.
    virtual bool InstallStatusCallback(TpkInetHandle session, bool install) = 0;
    virtual TpkInetHandle Connect(TpkInetHandle session, const std::string& host, std::uint16_t port,
                                  const std::string& user, const std::string& password, TInternetStatusSink* sink) = 0;
    virtual TpkInetHandle OpenRequest(TpkInetHandle connection, const std::string& verb, const std::string& object,
                                      const std::string& referer, const std::string& acceptType,
                                      std::uint32_t flags) = 0;
    virtual bool SetOptionNumber(TpkInetHandle handle, std::uint32_t option, std::uint32_t value) = 0;
    virtual bool SetOptionText(TpkInetHandle handle, std::uint32_t option, const std::string& value) = 0;
    virtual bool IsGlobalOffline() = 0;
    virtual bool GoOnline(const std::string& url) = 0;
    virtual bool AddRequestHeaders(TpkInetHandle request, const std::string& headers, std::uint32_t flags) = 0;
    // Sends the request with optional extra headers and body.
    virtual bool SendRequest(TpkInetHandle request, const std::string& headers, const std::string& body) = 0;
    // A header value; false when it is absent or longer than 4096 bytes.
    virtual bool QueryInfo(TpkInetHandle request, std::uint32_t query, std::string& value) = 0;
    // Up to `size` bytes of the body; false on failure, `read` 0 at the end.
    virtual bool Read(TpkInetHandle request, char* buffer, std::uint32_t size, std::uint32_t& read) = 0;
    // How many body bytes Read can give without waiting for more: waits until there is at least
    // one, and answers 0 at the end; false on failure. (A read of a whole buffer waits until the
    // buffer is full.) The default knows nothing and lets Read ask for a whole buffer.
    virtual bool QueryDataAvailable(TpkInetHandle, std::uint32_t& bytes) {
        bytes = 0xffffffffu;
        return true;
    }
    // Asks the platform to decode a compressed body itself (gzip, deflate) as it is read: true
    // when it will, false when the caller must. The default leaves it to the caller.
    virtual bool EnableDecoding(TpkInetHandle) { return false; }
    virtual void Close(TpkInetHandle handle) = 0;
    virtual std::uint32_t LastError() = 0;

    // A local file opened for reading, shared for reading and writing; null when it cannot be.
    virtual std::unique_ptr<TpkStream> OpenLocalFile(const std::string& path) = 0;
    virtual bool ApplyFileAttributes(const std::string& path, TpkFileAttributes attributes) = 0;
    virtual bool RemoveFile(const std::string& path) = 0;
};

// The platform's internet operations.
std::unique_ptr<TInternetApi> CreatePlatformInternet();

// Owns one handle made by a TInternetApi and closes it through that API when it goes or is
// reset. The handle is held atomically: the main thread may close it to end a call the worker
// is blocked in while the worker still holds it, and whichever side takes it first closes it,
// once. Moving is not safe while another thread may close it.
class UniqueInetHandle {
public:
    explicit UniqueInetHandle(TInternetApi& api, TpkInetHandle h = nullptr) : api_(&api), h_(h) {}
    UniqueInetHandle(UniqueInetHandle&& o) noexcept : api_(o.api_), h_(o.Release()) {}
    UniqueInetHandle& operator=(UniqueInetHandle&& o) noexcept {
        if (this != &o) {
            Reset();
            api_ = o.api_;
            h_ = o.Release();
        }
        return *this;
    }
    UniqueInetHandle(const UniqueInetHandle&) = delete;
    UniqueInetHandle& operator=(const UniqueInetHandle&) = delete;
    ~UniqueInetHandle() { Reset(); }

    TpkInetHandle Get() const { return h_.load(); }
    explicit operator bool() const { return Get() != nullptr; }
    [[nodiscard]] TpkInetHandle Release() { return h_.exchange(nullptr); }
    // Closes the handle held (if any) and takes `h`.
    void Reset(TpkInetHandle h = nullptr) {
        if (TpkInetHandle old = h_.exchange(h); old != nullptr && old != h) api_->Close(old);
    }

private:
    TInternetApi* api_;
    std::atomic<TpkInetHandle> h_;
};

}  // namespace tw
