#include "net/HttpRules.h"

#include "base/AsciiText.h"

#include "base/AsciiText.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <limits>

namespace tw {

namespace {

struct OptionFlag {
    TpkHTTPOption option;
    std::uint32_t flag;
};

constexpr OptionFlag kOptionFlags[] = {
    {hoReload, 0x80000000u},               // INTERNET_FLAG_RELOAD
    {hoHyperlink, 0x00000400u},            // INTERNET_FLAG_HYPERLINK
    {hoResynchronize, 0x00000800u},        // INTERNET_FLAG_RESYNCHRONIZE
    {hoPragmaNoCache, 0x00000100u},        // INTERNET_FLAG_PRAGMA_NOCACHE
    {hoNoCacheWrite, 0x04000000u},         // INTERNET_FLAG_NO_CACHE_WRITE
    {hoCacheIfNetFail, 0x00010000u},       // INTERNET_FLAG_CACHE_IF_NET_FAIL
    {hoIgnoreCertCNInvalid, 0x00001000u},  // INTERNET_FLAG_IGNORE_CERT_CN_INVALID
    {hoIgnoreCertDateInvalid, 0x00002000u},// INTERNET_FLAG_IGNORE_CERT_DATE_INVALID
    {hoIgnoreRedirectToHTTP, 0x00008000u}, // INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTP
    {hoIgnoreRedirectToHTTPS, 0x00004000u},// INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS
    {hoKeepConnection, 0x00400000u},       // INTERNET_FLAG_KEEP_CONNECTION
    {hoNoAuth, 0x00040000u},               // INTERNET_FLAG_NO_AUTH
    {hoNoAutoRedirect, 0x00200000u},       // INTERNET_FLAG_NO_AUTO_REDIRECT
    {hoNoCookies, 0x00080000u},            // INTERNET_FLAG_NO_COOKIES
};

constexpr std::uint32_t kFlagNeedFile = 0x00000010u;  // INTERNET_FLAG_NEED_FILE
constexpr std::uint32_t kFlagSecure = 0x00800000u;    // INTERNET_FLAG_SECURE

}  // namespace

std::uint32_t OptionFlags(TpkHTTPOptions options, std::string_view scheme) {
    std::uint32_t flags = 0;
    for (const auto& entry : kOptionFlags)
        if (options.Contains(entry.option)) flags |= entry.flag;
    const bool https = EqualsIgnoringAsciiCase(scheme, "https");
    if (options.Contains(hoNeedFile) && !https) flags |= kFlagNeedFile;
    if (https) flags |= kFlagSecure;
    return flags;
}

std::uint32_t SecurityFlagsFor(TpkHTTPOptions options) {
    return options.Contains(hoIgnoreUnknownAuthority) ? 0x100u : 0u;  // SECURITY_FLAG_IGNORE_UNKNOWN_CA
}

std::uint32_t AccessTypeToOpenType(TpkHTTPAccessType type) {
    switch (type) {
        case atDirect: return 1;
        case atUseProxy: return 3;
        case atPreconfig: break;
    }
    return 0;
}

std::string ProxyNameFor(TpkHTTPAccessType type, const std::string& server, std::uint32_t port) {
    if (type != atUseProxy) return {};
    return server + ":" + std::to_string(port);
}

std::uint32_t FileAttributesToPlatform(TpkFileAttributes attributes) {
    constexpr std::uint32_t bits[] = {0x20, 0x2, 0x1, 0x4, 0x100, 0x1000};
    std::uint32_t result = 0;
    for (unsigned m = atrArchive; m <= atrOffline; ++m)
        if (attributes.Contains(static_cast<TpkFileAttribute>(m))) result |= bits[m];
    return result == 0 ? 0x80u : result;  // FILE_ATTRIBUTE_NORMAL stands alone
}

std::string BuildRangeLine(std::uint32_t resumeOffset, std::uint32_t endOffset, std::uint32_t startRange,
                           std::uint32_t endRange) {
    std::uint32_t start = 0, end = 0;
    if (resumeOffset != 0 || endOffset != 0) {
        start = resumeOffset;
        end = endOffset;
    } else if (startRange != 0 || endRange != 0) {
        start = startRange;
        end = endRange;
    } else {
        return {};
    }
    std::string line = "RANGE: bytes=" + std::to_string(start) + "-";
    if (end != 0) line += std::to_string(end);
    return line + "\r\n";
}

std::string BuildRequestHeaders(const std::vector<std::string>& lines, const std::string& rangeLine) {
    std::string text;
    for (const auto& line : lines) {
        std::string_view l = line;
        while (!l.empty() && (l.back() == '\r' || l.back() == '\n')) l.remove_suffix(1);
        if (l.empty()) continue;
        text.append(l);
        text += "\r\n";
    }
    return text + rangeLine;
}

std::string ExtractRealm(std::string_view challenge) {
    auto pos = challenge.find("=\"");
    if (pos == std::string_view::npos) return std::string(challenge);
    std::string_view rest = challenge.substr(pos + 2);
    if (!rest.empty()) rest.remove_suffix(1);
    return std::string(rest);
}

std::int32_t ParseContentLength(std::string_view text) {
    text = TrimSpacesAndTabs(text);
    if (text.empty()) return 0;
    long long value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return 0;
        value = value * 10 + (c - '0');
        if (value > std::numeric_limits<std::int32_t>::max()) return 0;
    }
    return static_cast<std::int32_t>(value);
}

std::uint32_t ResumeOffsetFor(std::uint64_t fileSize, std::uint32_t bufferSize) {
    if (fileSize <= bufferSize) return 0;
    std::uint64_t offset = fileSize - bufferSize;
    // Offsets are 32-bit on the wire of this component; a larger file starts over.
    return offset > std::numeric_limits<std::uint32_t>::max() ? 0 : static_cast<std::uint32_t>(offset);
}

const char* StatusText(std::uint32_t code) {
    switch (code) {
        case 10: return "Resolving name";
        case 11: return "Name resolved";
        case 20: return "Connecting to server";
        case 21: return "Connected";
        case 30: return "Sending Request";
        case 31: return "Request sent";
        case 40: return "Receiving response";
        case 41: return "Response received";
        case 42: return "CTL Response received";
        case 43: return "Prefetch";
        case 50: return "Closing connection";
        case 51: return "Connection closed";
        case 60: return "Handle created";
        case 70: return "Handle closing";
        case 100: return "Request complete";
        case 110: return "Redirect";
        case 120: return "Intermediate response";
        case 200: return "State change";
        default: return "Unknown status";
    }
}

long long RoundHalfEven(double value) {
    if (!std::isfinite(value)) return 0;
    double clamped = std::clamp(value, -9.0e18, 9.0e18);
    return static_cast<long long>(std::nearbyint(clamped));  // the default rounding mode is to even
}

TpkProgressFigures ComputeProgress(std::uint32_t resumeOffset, std::int64_t bytes, std::int32_t contentLength,
                                   std::uint32_t elapsedMs) {
    TpkProgressFigures f;
    const std::int64_t length = contentLength > 0 ? contentLength : 0;
    f.DataSize = static_cast<std::int32_t>(length + resumeOffset);
    f.BytesRead = static_cast<std::int32_t>(bytes + resumeOffset);
    const double divisor = static_cast<double>(length) + resumeOffset;
    if (divisor > 0) {
        long long pct = RoundHalfEven(100.0 * (static_cast<double>(resumeOffset) + static_cast<double>(bytes)) / divisor);
        f.PercentsDone = static_cast<std::uint8_t>(std::clamp<long long>(pct, 0, 100));
    }
    f.ElapsedTime = static_cast<std::int32_t>(elapsedMs / 1000);
    if (bytes > 0 && length > 0) {
        long long total = RoundHalfEven(static_cast<double>(length) / static_cast<double>(bytes) * f.ElapsedTime);
        // Held to the 32-bit range: a slow, long transfer would otherwise wrap to a negative time.
        f.EstimatedTimeLeft = static_cast<std::int32_t>(
            std::clamp<long long>(total - f.ElapsedTime, 0, std::numeric_limits<std::int32_t>::max()));
    }
    double rate = static_cast<double>(bytes) / 1024.0;
    if (f.ElapsedTime != 0) rate /= f.ElapsedTime;
    f.TransferRate = static_cast<float>(rate);
    return f;
}

bool TransferSucceeded(int status, std::int32_t contentLength, std::int64_t bytesReceived, bool hasResultStream) {
    if (status != 200 && status != 206) return false;
    if (contentLength > 0 && hasResultStream) return bytesReceived == contentLength;
    return true;
}

TpkCompletionPlan PlanCompletion(bool continueDownload, bool success, bool hasResultStream, int status,
                                 bool uploading, bool alreadyComplete) {
    TpkCompletionPlan plan;
    if (!continueDownload) {
        plan.events.push_back(TpkHTTPEvent::Cancelled);
        return plan;
    }
    if (success) {
        if (!hasResultStream && !alreadyComplete) {
            plan.events = {TpkHTTPEvent::Failed, TpkHTTPEvent::OutputFileError};
        } else {
            plan.events = {TpkHTTPEvent::Done};
        }
        return plan;
    }
    if (status == 200 || status == 206) {
        plan.events.push_back(TpkHTTPEvent::ConnLost);
    } else if (status == -1) {
        plan.events.push_back(uploading ? TpkHTTPEvent::UploadFailed : TpkHTTPEvent::HostUnreachable);
    } else {
        plan.events.push_back(TpkHTTPEvent::Error);
        plan.deleteOutputFile = true;
    }
    plan.events.push_back(TpkHTTPEvent::Failed);
    return plan;
}

bool IsRedirectStatus(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string ResolveLocation(std::string_view base, std::string_view location) {
    location = TrimSpacesAndTabs(location);
    if (location.empty()) return {};
    const std::size_t colon = location.find(':');
    const std::size_t firstSlash = location.find('/');
    if (colon != std::string_view::npos && colon > 0 && (firstSlash == std::string_view::npos || colon < firstSlash) &&
        std::all_of(location.begin(), location.begin() + static_cast<std::ptrdiff_t>(colon), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) || c == '+' || c == '-' || c == '.';
        }))
        return std::string(location);  // it names its own scheme
    const std::size_t schemeEnd = base.find("://");
    const std::size_t authorityStart = schemeEnd == std::string_view::npos ? 0 : schemeEnd + 3;
    const std::string_view scheme = schemeEnd == std::string_view::npos ? std::string_view("http") : base.substr(0, schemeEnd);
    if (location.substr(0, 2) == "//") return std::string(scheme) + ":" + std::string(location);
    std::size_t pathStart = base.find_first_of("/?#", authorityStart);
    if (pathStart == std::string_view::npos) pathStart = base.size();
    std::string origin = std::string(scheme) + "://" + std::string(base.substr(authorityStart, pathStart - authorityStart));
    if (location.front() == '/') return origin + std::string(location);
    std::string_view path = base.substr(pathStart);
    path = path.substr(0, path.find_first_of("?#"));
    const std::size_t lastSlash = path.rfind('/');
    const std::string_view dir = lastSlash == std::string_view::npos ? std::string_view("/") : path.substr(0, lastSlash + 1);
    if (location.front() == '?') return origin + std::string(path.empty() ? "/" : path) + std::string(location);
    return origin + std::string(dir) + std::string(location);
}

bool IsPermanentRedirectStatus(int status) { return status == 301 || status == 308; }

bool IsInsecureRedirect(std::string_view fromScheme, std::string_view target) {
    if (!EqualsIgnoringAsciiCase(fromScheme, "https")) return false;
    return !StartsWithIgnoringAsciiCase(target, "https://");
}

bool IsCertificateError(std::uint32_t e) {
    switch (e) {
        case 12037: case 12038: case 12044: case 12045: case 12055: case 12056: case 12057:
        case 12157: case 12169: case 12170:
            return true;
        default:
            return false;
    }
}

TpkHTTPFailure ClassifyFailure(const TpkTransferFacts& f) {
    constexpr std::uint32_t kTimeout = 12002, kAborted = 12030, kReset = 12031;
    if (f.Cancelled) return hfCancelled;
    if (f.WorkerRaised) return hfOther;
    if (f.Succeeded) return hfNone;
    if (f.InsecureRedirect) return hfInsecureRedirect;
    if (f.DeadlinePassed || f.PlatformError == kTimeout) return hfTimeout;
    if (f.TooLarge) return hfTooLarge;
    if (f.BadContent) return hfBadContent;
    if (f.OutputFileError) return hfOutputFile;
    if (f.Status == 200 || f.Status == 206) return hfConnectionLost;
    if (f.Status != -1) return hfHTTPStatus;
    if (IsCertificateError(f.PlatformError)) return hfCertificate;
    // The server took the connection and closed it without an answer.
    if (f.PlatformError == kAborted || f.PlatformError == kReset) return hfConnectionLost;
    return hfHostUnreachable;
}

}  // namespace tw
