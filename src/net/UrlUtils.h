#pragma once
// URL utilities: taking a URL apart, escaping the extra part of a request, turning a URL into a
// local file name. 8-bit (UTF-8) strings, no state.
#include <cstdint>
#include <string>
#include <string_view>

namespace tw {

// The parts of a URL as the platform's URL cracker gives them.
struct TpkURLParts {
    std::string Scheme;    // "http"
    std::string Host;      // "example.com"
    std::uint16_t Port = 0;  // the scheme's default when the URL names none (0 for unknown schemes)
    std::string Path;      // "/dir/file.xml"; "/" when nothing follows the host, empty before a bare query
    std::string Extra;     // "?q=1#top": query and fragment, empty when none
    std::string UserName;
    std::string Password;
};

// Component limits of the cracker's buffers (characters, without the terminating zero).
inline constexpr std::size_t MaxSchemeLength = 32;
inline constexpr std::size_t MaxHostLength = 256;
inline constexpr std::size_t MaxUserNameLength = 128;
inline constexpr std::size_t MaxPasswordLength = 128;
inline constexpr std::size_t MaxPathLength = 2048;
inline constexpr std::size_t MaxExtraLength = 2048;

// Splits `url` (a URL without "://" gets "http://" in front) into its parts. %xx escapes in the
// host, user name, password, path and extra come back as the bytes they stand for, except %00,
// which stays as it is: a NUL inside a host or path would cut it short at every C-string API.
// Fails (answers false and leaves `parts` as they were) on a malformed URL: no host where the
// scheme needs one, a port that is not a number from 0 to 65535, a bad scheme, or any part longer
// than its limit above.
bool SplitURL(std::string_view url, TpkURLParts& parts);
bool SplitURL(std::string_view url, std::string& scheme, std::string& host, std::uint16_t& port, std::string& path,
              std::string& extra, std::string& userName, std::string& password);

// Escapes a byte below 0x20, at or above 0x80, or one of space # % * + < > as %XX (upper-case hex);
// everything else, including ? & = / :, is copied as it is.
std::string EscapeURLPart(std::string_view text);

// The file name of a URL: the last segment of its path (after the last "/", "\" or ":"); empty
// when the URL has no path or cannot be split. The query never takes part.
std::string URLToFileName(std::string_view url);

// A local relative name for a URL's download: host (without a leading "www.", any case) and path
// joined, dots in the folder part turned into "-". With keepFolders false the result is one flat
// file name; with keepFolders true the folders stay as "\"-separated folders. Characters that
// Windows refuses in file names (and ":", which would name an alternate data stream) become "_".
// Empty when the URL cannot be split.
std::string URLToLocalName(std::string_view url, bool keepFolders);

// `reference` made absolute against `base` (RFC 3986, section 5): an absolute reference stays
// as it is (its dot segments removed), "//host/x", "/x", "x", "?q", "#f" and "" take what they
// lack from `base`. A `base` without a scheme cannot help: the reference is returned unchanged.
std::string ResolveURL(std::string_view base, std::string_view reference);

// Starts the platform's socket library (version 1.1) for the life of the object; nothing to do
// where there is no such library.
class TpkSocketLibrary {
public:
    TpkSocketLibrary();
    ~TpkSocketLibrary();
    TpkSocketLibrary(const TpkSocketLibrary&) = delete;
    TpkSocketLibrary& operator=(const TpkSocketLibrary&) = delete;
    bool Started() const { return started_; }

private:
    bool started_ = false;
};

}  // namespace tw
