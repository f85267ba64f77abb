#include "net/UrlUtils.h"

#include "base/AsciiText.h"
#include "base/TextConvert.h"

#include <algorithm>
#include <utility>

namespace tw {

namespace {

// %xx to the byte it stands for; a malformed escape, and %00, stay as written.
std::string Unescape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '%' && i + 2 < text.size()) {
            int hi = HexDigitValue(text[i + 1]), lo = HexDigitValue(text[i + 2]);
            if (hi >= 0 && lo >= 0 && (hi | lo) != 0) {
                out.push_back(static_cast<char>(hi * 16 + lo));
                i += 2;
                continue;
            }
        }
        out.push_back(text[i]);
    }
    return out;
}

std::uint16_t DefaultPort(std::string_view scheme) {
    if (EqualsIgnoringAsciiCase(scheme, "http")) return 80;
    if (EqualsIgnoringAsciiCase(scheme, "https")) return 443;
    if (EqualsIgnoringAsciiCase(scheme, "ftp")) return 21;
    if (EqualsIgnoringAsciiCase(scheme, "gopher")) return 70;
    return 0;
}

bool ValidScheme(std::string_view scheme) {
    if (scheme.empty() || scheme.size() > MaxSchemeLength) return false;
    return std::all_of(scheme.begin(), scheme.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '+' || c == '-' ||
               c == '.';
    });
}

bool ParsePort(std::string_view text, std::uint16_t& port) {
    std::uint32_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        value = value * 10 + static_cast<std::uint32_t>(c - '0');
        if (value > 65535) return false;
    }
    port = static_cast<std::uint16_t>(value);
    return true;
}

// The part of `path` after its last "\" or ":" (all of it when there is neither).
std::string_view LastSegment(std::string_view path) {
    std::size_t cut = path.find_last_of("\\:");
    return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

// Characters that may not stand in a flat local name: the ones the download names have always
// replaced, plus those Windows refuses in a file name and ":" (an alternate data stream).
bool Unsafe(char c, bool includingSeparator) {
    switch (c) {
        case ' ': case '#': case '%': case '*': case '+': case '<': case '>':
        case ':': case '?': case '"': case '|': case '/':
            return true;
        case '\\':
            return includingSeparator;
        default:
            return static_cast<unsigned char>(c) < 0x20;
    }
}

void ReplaceUnsafe(std::string& text, bool includingSeparator) {
    for (char& c : text)
        if (Unsafe(c, includingSeparator)) c = '_';
}

}  // namespace

bool SplitURL(std::string_view url, TpkURLParts& parts) {
    std::string full = url.find("://") == std::string_view::npos ? "http://" + std::string(url) : std::string(url);
    std::string_view rest = full;

    const std::size_t colon = rest.find(':');
    TpkURLParts out;
    out.Scheme = std::string(rest.substr(0, colon));
    if (!ValidScheme(out.Scheme) || rest.substr(colon + 1, 2) != "//") return false;
    rest.remove_prefix(colon + 3);

    const std::size_t authorityEnd = rest.find_first_of("/?#");
    std::string_view authority = rest.substr(0, authorityEnd);
    rest.remove_prefix(authorityEnd == std::string_view::npos ? rest.size() : authorityEnd);

    const std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        std::string_view userInfo = authority.substr(0, at);
        authority.remove_prefix(at + 1);
        const std::size_t split = userInfo.find(':');
        out.UserName = Unescape(userInfo.substr(0, split));
        if (split != std::string_view::npos) out.Password = Unescape(userInfo.substr(split + 1));
    }

    std::string_view host = authority, portText;
    bool hasPort = false;
    if (!authority.empty() && authority.front() == '[') {  // IPv6 literal: the port follows "]"
        const std::size_t close = authority.find(']');
        if (close == std::string_view::npos) return false;
        host = authority.substr(0, close + 1);
        std::string_view after = authority.substr(close + 1);
        if (!after.empty()) {
            if (after.front() != ':') return false;
            portText = after.substr(1);
            hasPort = true;
        }
    } else if (const std::size_t pc = authority.find(':'); pc != std::string_view::npos) {
        host = authority.substr(0, pc);
        portText = authority.substr(pc + 1);
        hasPort = true;
    }
    out.Port = DefaultPort(out.Scheme);
    if (hasPort && !portText.empty() && !ParsePort(portText, out.Port)) return false;
    out.Host = Unescape(host);
    if (out.Host.empty() && !EqualsIgnoringAsciiCase(out.Scheme, "file")) return false;

    // Nothing after the host reads as the root path, as the platform's cracker answers.
    if (rest.empty() && !EqualsIgnoringAsciiCase(out.Scheme, "file")) rest = "/";
    const std::size_t extraStart = rest.find_first_of("?#");
    out.Path = Unescape(rest.substr(0, extraStart));
    if (extraStart != std::string_view::npos) out.Extra = Unescape(rest.substr(extraStart));

    if (out.Host.size() > MaxHostLength || out.UserName.size() > MaxUserNameLength ||
        out.Password.size() > MaxPasswordLength || out.Path.size() > MaxPathLength || out.Extra.size() > MaxExtraLength)
        return false;
    parts = std::move(out);
    return true;
}

bool SplitURL(std::string_view url, std::string& scheme, std::string& host, std::uint16_t& port, std::string& path,
              std::string& extra, std::string& userName, std::string& password) {
    TpkURLParts parts;
    if (!SplitURL(url, parts)) return false;
    scheme = std::move(parts.Scheme);
    host = std::move(parts.Host);
    port = parts.Port;
    path = std::move(parts.Path);
    extra = std::move(parts.Extra);
    userName = std::move(parts.UserName);
    password = std::move(parts.Password);
    return true;
}

std::string EscapeURLPart(std::string_view text) {
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(text.size());
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        const bool escape = c < 0x20 || c >= 0x80 || c == ' ' || c == '#' || c == '%' || c == '*' || c == '+' ||
                            c == '<' || c == '>';
        if (escape) {
            out.push_back('%');
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 15]);
        } else {
            out.push_back(ch);
        }
    }
    return out;
}

std::string URLToFileName(std::string_view url) {
    TpkURLParts parts;
    if (!SplitURL(url, parts)) return {};
    std::replace(parts.Path.begin(), parts.Path.end(), '/', '\\');
    return std::string(LastSegment(parts.Path));
}

std::string URLToLocalName(std::string_view url, bool keepFolders) {
    TpkURLParts parts;
    if (!SplitURL(url, parts)) return {};
    std::replace(parts.Path.begin(), parts.Path.end(), '/', '\\');
    std::string host = parts.Host;
    if (StartsWithIgnoringAsciiCase(host, "www.")) host.erase(0, 4);

    const std::string joined = host + parts.Path;
    const std::string fileName(LastSegment(joined));
    std::string folder = joined.substr(0, joined.size() - fileName.size());
    if (!folder.empty() && folder.back() == '\\') folder.pop_back();
    std::replace(folder.begin(), folder.end(), '.', '-');

    // No folder part (a URL without a path): the name alone, never a name rooted at "\\".
    const std::string separator = folder.empty() ? "" : "\\";
    if (!keepFolders) {
        std::string result = folder + separator + fileName;
        ReplaceUnsafe(result, true);
        return result;
    }
    // The folder part becomes one folder; in the file name only what Windows cannot store goes.
    ReplaceUnsafe(folder, true);
    std::string name = fileName;
    for (char& c : name)
        if (c == '?' || c == '"' || c == '|' || c == '*' || c == '<' || c == '>' || c == '/' ||
            static_cast<unsigned char>(c) < 0x20)
            c = '_';
    return folder + separator + name;
}

namespace {

// Length of the scheme with its ":" ("http:" gives 5); 0 when `url` starts without one.
size_t SchemeLength(std::string_view url) {
    const auto schemeChar = [&](size_t i) {
        const char c = url[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        return letter || (i > 0 && ((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'));
    };
    size_t i = 0;
    while (i < url.size() && schemeChar(i)) ++i;
    return i > 0 && i < url.size() && url[i] == ':' ? i + 1 : 0;
}

// The path of an absolute reference with "." and ".." segments worked out.
std::string RemoveDotSegments(std::string_view path) {
    std::string out;
    while (!path.empty()) {
        if (path.substr(0, 3) == "../") path.remove_prefix(3);
        else if (path.substr(0, 2) == "./") path.remove_prefix(2);
        else if (path.substr(0, 3) == "/./") path.remove_prefix(2);
        else if (path == "/.") path = "/";
        else if (path.substr(0, 4) == "/../" || path == "/..") {
            path = path.size() == 3 ? std::string_view("/") : path.substr(3);
            const size_t slash = out.rfind('/');
            out.erase(slash == std::string::npos ? 0 : slash);
        } else if (path == "." || path == "..") {
            path = {};
        } else {
            const size_t next = path.find('/', 1);
            out.append(path.substr(0, next));
            path = next == std::string_view::npos ? std::string_view() : path.substr(next);
        }
    }
    return out;
}

// Splits the path (with any query or fragment behind it) from what follows it.
std::pair<std::string_view, std::string_view> PathAndRest(std::string_view s) {
    const size_t end = s.find_first_of("?#");
    if (end == std::string_view::npos) return {s, {}};
    return {s.substr(0, end), s.substr(end)};
}

}  // namespace

std::string ResolveURL(std::string_view base, std::string_view reference) {
    const size_t refScheme = SchemeLength(reference);
    const size_t baseScheme = SchemeLength(base);
    if (refScheme > 0 || baseScheme == 0) {
        if (refScheme == 0) return std::string(reference);
        const size_t authority =
            reference.substr(refScheme, 2) == "//" ? reference.find_first_of("/?#", refScheme + 2) : refScheme;
        if (authority == std::string_view::npos) return std::string(reference);
        const auto [path, rest] = PathAndRest(reference.substr(authority));
        return std::string(reference.substr(0, authority)) + RemoveDotSegments(path) + std::string(rest);
    }
    // base = scheme ":" ["//" authority] path ["?" query] ["#" fragment]
    size_t pathStart = baseScheme;
    if (base.substr(baseScheme, 2) == "//") {
        pathStart = base.find_first_of("/?#", baseScheme + 2);
        if (pathStart == std::string_view::npos) pathStart = base.size();
    }
    const std::string_view origin = base.substr(0, pathStart);
    const size_t fragment = base.find('#');
    const std::string_view withoutFragment = base.substr(0, fragment);
    if (reference.empty()) return std::string(withoutFragment);
    if (reference[0] == '#') return std::string(withoutFragment) + std::string(reference);
    const std::string_view basePath = PathAndRest(base.substr(pathStart)).first;
    if (reference[0] == '?') return std::string(origin) + std::string(basePath) + std::string(reference);
    if (reference.substr(0, 2) == "//")
        return ResolveURL({}, std::string(base.substr(0, baseScheme)) + std::string(reference));
    const auto [path, rest] = PathAndRest(reference);
    std::string merged;
    if (!path.empty() && path[0] == '/') {
        merged = std::string(path);
    } else {
        // Everything of the base's path up to its last "/", then the reference.
        const size_t slash = basePath.rfind('/');
        const bool hasAuthority = base.substr(baseScheme, 2) == "//";
        if (slash != std::string_view::npos) merged = std::string(basePath.substr(0, slash + 1));
        else if (hasAuthority) merged = "/";
        merged += path;
    }
    return std::string(origin) + RemoveDotSegments(merged) + std::string(rest);
}

}  // namespace tw
