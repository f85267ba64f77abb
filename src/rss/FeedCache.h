#pragma once
// The kept copy: the last good answer of each feed, on disk, so the ticker has something to show
// at start without the network and its first request can be conditional. One file per feed in
// a folder the caller names (beside app.config), each written to a new file and put in place in
// one step. A file that is damaged, cut short or of another version is passed over as if there
// were none, and the next good answer replaces it; nothing here raises.
#include "net/ReloadRules.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

struct TFeedKeptCopy {
    std::string URL;           // the address that was asked
    std::string Body;          // the answer's bytes as they came (decoded, when compressed)
    std::string ETag;          // validators as the server sent them ("" = none)
    std::string LastModified;
    std::string Charset;       // the Content-Type charset it came with ("" = none)
    TpkTimeMs FetchedAt = 0;   // when it was asked for, or last confirmed by a 304
    TpkTimeMs FreshUntil = 0;  // until when the answer said it stays fresh (0 = not at all)
    bool operator==(const TFeedKeptCopy&) const = default;
};

// The file's bytes: a header (magic "TWKC", version, a CRC-32 of all that follows it, the two
// times and the five lengths) and the texts. Decoding answers nothing for bytes that are not a
// whole, undamaged file of this version.
std::string EncodeKeptCopy(const TFeedKeptCopy& copy);
std::optional<TFeedKeptCopy> DecodeKeptCopy(std::string_view bytes);

// All kept copies together stay within this (at most one feed load's worth of memory, twice).
inline constexpr std::uint64_t kDefaultFeedCacheBytes = 32ull * 1024 * 1024;

class TFeedCache {
public:
    // `folder` (UTF-8) is made when the first copy is written.
    explicit TFeedCache(std::string folder, std::uint64_t maxTotalBytes = kDefaultFeedCacheBytes);

    const std::string& Folder() const { return folder_; }
    // The file that holds the copy of `url` (a hash of the address; the file names it too).
    std::string FileFor(const std::string& url) const;

    // The kept copy of `url`; none when there is no file, or it cannot be read whole.
    std::optional<TFeedKeptCopy> Find(const std::string& url) const;
    // Writes the copy (replacing the one before, in one step), then removes the oldest copies
    // of other feeds until all fit the bound. False when it was not written: a copy larger than
    // the whole bound, or the disk refused.
    bool Keep(const TFeedKeptCopy& copy);
    // Removes the copies of every feed whose address is not in `listed`, and what a write cut
    // short left behind. (A damaged copy of a listed feed stays until its next answer.)
    void Prune(const std::vector<std::string>& listed);

private:
    struct FileInfo {
        std::string Path;
        std::uint64_t Size = 0;
        TpkTimeMs FetchedAt = 0;  // 0 for a file that cannot be read
    };
    std::vector<FileInfo> Files() const;
    void Evict(const std::string& keep);

    std::string folder_;
    std::uint64_t maxTotalBytes_;
};

}  // namespace tw
