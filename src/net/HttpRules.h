#pragma once
// The decisions of the HTTP transfer component that need no network: request flags from the
// option set, the range header line, the realm of an authentication challenge, progress
// figures, the status texts of the platform callback, and which completion events a finished
// transfer raises. Portable, tested natively.
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// A small set of enumeration members (the system's "set of" types), stored as bits.
template <class E>
class TpkSetOf {
public:
    constexpr TpkSetOf() = default;
    constexpr TpkSetOf(std::initializer_list<E> members) {
        for (E m : members) Include(m);
    }
    constexpr bool Contains(E m) const { return (bits_ >> static_cast<unsigned>(m)) & 1u; }
    constexpr void Include(E m) { bits_ |= 1u << static_cast<unsigned>(m); }
    constexpr void Exclude(E m) { bits_ &= ~(1u << static_cast<unsigned>(m)); }
    constexpr bool Empty() const { return bits_ == 0; }
    constexpr std::uint32_t Bits() const { return bits_; }
    friend constexpr bool operator==(TpkSetOf a, TpkSetOf b) { return a.bits_ == b.bits_; }

private:
    std::uint32_t bits_ = 0;
};

// Request options; each adds one flag to the request (see OptionFlags).
enum TpkHTTPOption : unsigned {
    hoReload,
    hoHyperlink,
    hoResynchronize,
    hoPragmaNoCache,
    hoNoCacheWrite,
    hoNeedFile,
    hoCacheIfNetFail,
    hoIgnoreCertCNInvalid,
    hoIgnoreCertDateInvalid,
    hoIgnoreUnknownAuthority,
    hoIgnoreRedirectToHTTP,
    hoIgnoreRedirectToHTTPS,
    hoKeepConnection,
    hoNoAuth,
    hoNoAutoRedirect,
    hoNoCookies,
};
using TpkHTTPOptions = TpkSetOf<TpkHTTPOption>;

// The initial option sets of TpkCustomHTTP and of TpkHTTPPragmaNoCache.
inline constexpr TpkHTTPOptions kDefaultHTTPOptions{hoHyperlink, hoResynchronize, hoNeedFile, hoKeepConnection};
inline constexpr TpkHTTPOptions kPragmaNoCacheHTTPOptions{hoHyperlink, hoResynchronize, hoPragmaNoCache,
                                                          hoKeepConnection};

// Request flags for HttpOpenRequest: one per option, "need file" only for schemes other than
// "https", and INTERNET_FLAG_SECURE for "https" (compared case-insensitively).
std::uint32_t OptionFlags(TpkHTTPOptions options, std::string_view scheme);

// The value of INTERNET_OPTION_SECURITY_FLAGS to set, or 0 for none.
std::uint32_t SecurityFlagsFor(TpkHTTPOptions options);

enum TpkHTTPAccessType : unsigned { atPreconfig, atDirect, atUseProxy };
// The platform's open type: 0 pre-configured, 1 direct, 3 named proxy.
std::uint32_t AccessTypeToOpenType(TpkHTTPAccessType type);
// "server:port" for a named proxy; "" for the other access types.
std::string ProxyNameFor(TpkHTTPAccessType type, const std::string& server, std::uint32_t port);

enum TpkFileAttribute : unsigned { atrArchive, atrHidden, atrReadOnly, atrSystem, atrTemporary, atrOffline };
using TpkFileAttributes = TpkSetOf<TpkFileAttribute>;
// The platform's FILE_ATTRIBUTE_* bits; an empty set gives FILE_ATTRIBUTE_NORMAL (0x80).
std::uint32_t FileAttributesToPlatform(TpkFileAttributes attributes);

// "RANGE: bytes=<start>-[<end>]\r\n" from the resume and end offsets when either is non-zero,
// else from the range properties when either is non-zero, else "". An end of 0 means "to the end".
std::string BuildRangeLine(std::uint32_t resumeOffset, std::uint32_t endOffset, std::uint32_t startRange,
                           std::uint32_t endRange);

// The extra request headers: each line of `lines` followed by CR LF, then `rangeLine`.
// Empty lines are skipped and a line that already ends in CR or LF is not given a second one.
std::string BuildRequestHeaders(const std::vector<std::string>& lines, const std::string& rangeLine);

// The realm of a WWW-Authenticate value: the text after the first `="` without its last
// character; the whole value when there is no `="`.
std::string ExtractRealm(std::string_view challenge);

// A Content-Length header value as a byte count: decimal digits with optional blanks around
// them; anything else, a negative value or one beyond 32-bit signed range counts as unknown (0).
std::int32_t ParseContentLength(std::string_view text);

// The resume offset for an existing partial file: its size minus one buffer, or 0 when the
// file is not larger than one buffer.
std::uint32_t ResumeOffsetFor(std::uint64_t fileSize, std::uint32_t bufferSize);

// The text given to OnStatus for a platform status code.
const char* StatusText(std::uint32_t code);

// Rounds to the nearest integer, halves to the even neighbour (2.5 -> 2, 3.5 -> 4).
long long RoundHalfEven(double value);

struct TpkProgressFigures {
    std::int32_t DataSize = 0;           // content length + resume offset
    std::int32_t BytesRead = 0;          // bytes of this transfer + resume offset
    std::int32_t ElapsedTime = 0;        // whole seconds
    std::int32_t EstimatedTimeLeft = 0;  // seconds
    std::uint8_t PercentsDone = 0;       // 0-100
    float TransferRate = 0;              // KB/s
};

// The figures handed to OnProgress and OnUploadProgress. `bytes` counts this transfer only.
// Guards added to the plain formulas: no division by zero when nothing has arrived yet, a
// percentage held to 0-100 when a server sends more than it announced, and no negative time
// left when the length is unknown.
TpkProgressFigures ComputeProgress(std::uint32_t resumeOffset, std::int64_t bytes, std::int32_t contentLength,
                                   std::uint32_t elapsedMs);

// Step 13: a transfer succeeded when the status is 200 or 206 and, when a length is known and
// there is a result stream, every announced byte arrived.
bool TransferSucceeded(int status, std::int32_t contentLength, std::int64_t bytesReceived, bool hasResultStream);

// The events completion raises, in order, before clean-up (OnCancelled comes after it).
enum class TpkHTTPEvent { Done, Failed, OutputFileError, ConnLost, HostUnreachable, UploadFailed, Error, Cancelled };
struct TpkCompletionPlan {
    std::vector<TpkHTTPEvent> events;  // in the order they are raised
    bool deleteOutputFile = false;     // the partial file goes after an HTTP error status
};
// `alreadyComplete`: a resume found the output file whole (the 416 check), so there is no result
// stream and yet the download is done; it then reports OnDone instead of an output-file error.
TpkCompletionPlan PlanCompletion(bool continueDownload, bool success, bool hasResultStream, int status,
                                 bool uploading, bool alreadyComplete = false);

// How many times one transfer may start again from the connection after a failed resume check,
// a short partial file or a 416 that did not prove the file complete. Past it the transfer ends
// as a failure with no status (OnHostUnreachable), so a server that changes its bytes on every
// request cannot keep the worker busy for ever.
inline constexpr int kMaxTransferRestarts = 3;

// How many redirects one transfer follows. The answer after the last one is the transfer's
// result (a redirect status then ends as OnError), so a redirect loop costs at most 11 requests.
inline constexpr int kMaxRedirects = 10;

// 301, 302, 303, 307 and 308: the statuses whose Location is followed.
bool IsRedirectStatus(int status);

// 301 and 308: the redirects that say the address has moved for good (302, 303 and 307 do not).
bool IsPermanentRedirectStatus(int status);

// Whether following a redirect from `fromScheme` to `target` would leave a secure address for
// one that is not: from "https" to anything but "https" (schemes compared case-insensitively).
bool IsInsecureRedirect(std::string_view fromScheme, std::string_view target);

// The header line that asks for a compressed body (the component decodes gzip and deflate).
inline constexpr const char* kAcceptEncodingLine = "Accept-Encoding: gzip, deflate\r\n";

// Why a transfer failed, as the caller can tell it to the user.
enum TpkHTTPFailure : unsigned {
    hfNone,              // it succeeded
    hfHostUnreachable,   // no answer: the name was not resolved, the connection was refused
    hfTimeout,           // the transfer's deadline, or the platform's time-out, passed
    hfCertificate,       // the secure connection was refused: the server's certificate (or TLS) failed
    hfInsecureRedirect,  // an https address redirected to one that is not https; not followed
    hfHTTPStatus,        // the server answered with a status other than success (see the status)
    hfConnectionLost,    // the connection ended before the whole answer arrived
    hfTooLarge,          // the body passed MaxMemorySize
    hfBadContent,        // a compressed body that does not decode
    hfOutputFile,        // the output file could not be made
    hfCancelled,         // the header handler or an abort ended it
    hfOther,             // anything else (an exception in the worker)
};

// The platform's errors (WinInet's numbers) for a certificate or secure channel refused:
// 12037 expired, 12038 wrong host, 12044, 12045 unknown authority, 12055-12057, 12157, 12169,
// 12170.
bool IsCertificateError(std::uint32_t platformError);

// What a finished transfer knows about itself, in the order ClassifyFailure weighs it.
struct TpkTransferFacts {
    bool Succeeded = false;
    bool Cancelled = false;
    bool WorkerRaised = false;
    bool InsecureRedirect = false;
    bool DeadlinePassed = false;
    bool TooLarge = false;
    bool BadContent = false;
    bool OutputFileError = false;
    int Status = -1;                 // -1 = no answer
    std::uint32_t PlatformError = 0; // of the call that failed (0 = none known)
};
TpkHTTPFailure ClassifyFailure(const TpkTransferFacts& facts);

// The absolute URL a Location value names, seen from the URL `base` it came from: an absolute
// URL as it is, "//host/p" with the base's scheme, "/p" on the base's scheme and authority, and
// anything else beside the last "/" of the base's path (its query and fragment dropped). Empty
// when `location` is empty.
std::string ResolveLocation(std::string_view base, std::string_view location);

}  // namespace tw
