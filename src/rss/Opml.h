#pragma once
// OPML, the outline document feed readers exchange subscriptions in: the feeds of one read
// (OPML 1.0 and 2.0, any depth, folders flattened but remembered) and the program's own list
// written as OPML 2.0 in UTF-8.
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// Bigger files are refused before they are read: a subscription list of ten thousand feeds
// takes about 3 MB.
inline constexpr std::size_t kOpmlMaxFileBytes = std::size_t{8} << 20;
// Feeds taken from one document; the rest are counted (TOpmlReadResult::LeftOut).
inline constexpr std::size_t kOpmlMaxFeeds = 10000;

// An outline that holds others: a folder of feeds.
struct TOpmlFolder {
    std::string Title;  // its `text`, else its `title`
    int Parent = -1;    // index in TOpmlOutlines::Folders, below the folder's own; -1 at the top
};

// An outline with an address.
struct TOpmlFeed {
    std::string Address;    // `xmlUrl`, trimmed, otherwise as written
    std::string Title;      // `title`, else `text`, trimmed; may be empty
    bool Disabled = false;  // its `category` list holds "disabled"
    int Folder = -1;        // index in TOpmlOutlines::Folders; -1 outside any folder
};

// The feeds of a document in document order, and the folders they stand in.
struct TOpmlOutlines {
    std::vector<TOpmlFolder> Folders;
    std::vector<TOpmlFeed> Feeds;

    // The folders from the top one down to `folder`, by index; empty for -1 or a bad index.
    std::vector<int> FolderChain(int folder) const;
    // Their titles, at most the outermost `maxDepth`.
    std::vector<std::string> FolderPath(int folder, std::size_t maxDepth = SIZE_MAX) const;
};

enum class TOpmlStatus {
    osRead,        // an `opml` root; Outlines holds its feeds (maybe none)
    osNotOpml,     // well-formed, but the root is not `opml` (or there is no root)
    osUnreadable,  // not well-formed XML, or beyond the XML reader's bounds (Problem says which)
    osTooLarge,    // more than kOpmlMaxFileBytes: not read at all
    osCannotOpen,  // the file could not be opened or read (Problem says why)
};

struct TOpmlReadResult {
    TOpmlStatus Status = TOpmlStatus::osNotOpml;
    bool OpmlRoot = false;  // the root element is `opml`, even when the document fails later
    std::string Problem;    // the XML reader's or the file system's message, UTF-8
    TOpmlOutlines Outlines; // empty unless Status is osRead
    std::size_t OtherTypes = 0;  // outlines with an address whose `type` is neither "rss" nor "atom"
    std::size_t LeftOut = 0;     // feed outlines beyond kOpmlMaxFeeds
};

// Reads the feeds of an OPML document: every `outline` with a non-empty `xmlUrl` under the root
// (in `body` or not, at any depth) whose `type` is "rss", "atom" or absent (any case). Attribute
// names are matched without regard to ASCII case, as some writers spell them "xmlurl". Bytes
// are decoded as feeds are: byte-order mark, else the declared encoding, else UTF-8 (Windows-1252
// when not valid). Never throws for bad input; nothing is kept unless the result is osRead.
TOpmlReadResult ReadOpml(std::string_view bytes);
// The same for a file, whose size is checked before anything is read.
TOpmlReadResult ReadOpmlFile(const std::filesystem::path& file);

// An OPML 2.0 document in UTF-8 holding the feeds in order, each an outline of type "rss" with
// `text` and `title` (its Title, else its address) and `xmlUrl`, and `category` "disabled" when
// it is; feeds in folders are nested in outlines whose `text` is the folder's title (a folder
// whose feeds are not together is written once for each run of them). `title` is the head's.
// Titles are one line (control characters become blanks; U+FFFE and U+FFFF, which XML cannot
// hold, U+FFFD); control characters in an address become %XX escapes.
std::string WriteOpml(const TOpmlOutlines& outlines, std::string_view title);

}  // namespace tw
