#pragma once
// Subscriptions in and out: which feeds of an OPML document join the custom list, what the user
// is told about it, and both lists written out as OPML.
#include "config/uRSSLinkItem.h"
#include "rss/Opml.h"

#include <cstddef>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// Folders deeper than this are kept as their outermost ones: no reader nests subscriptions so
// deep, and a hostile file could otherwise make every feed carry a thousand names.
inline constexpr std::size_t kMaxFeedFolderDepth = 16;

// What the program knows of its feeds beyond their addresses, by address (SameFeedAddress):
// a title (the last loaded channel title, or the one an import brought) and the folder an
// import found the feed in. The export writes them; where they are kept between runs is the
// owner's choice.
class TFeedNotes {
public:
    void SetTitle(std::string_view address, std::string title);
    // Keeps at most kMaxFeedFolderDepth folders, the outermost.
    void SetFolder(std::string_view address, std::vector<std::string> path);
    // "" and an empty path when nothing is known.
    const std::string& Title(std::string_view address) const;
    const std::vector<std::string>& Folder(std::string_view address) const;

private:
    struct Note {
        std::string Title;
        std::vector<std::string> Folder;
    };
    std::map<std::string, Note> notes_;  // by FeedAddressKey
};

// What importing a document does, worked out before anything changes, so that a caller can ask
// first ("Import N feeds?") and apply after.
struct TFeedImport {
    TOpmlStatus Status = TOpmlStatus::osNotOpml;  // nothing is imported unless osRead
    TOpmlOutlines NewFeeds;                       // to append: normalized addresses, document order
    std::size_t AlreadyListed = 0;     // in the default or custom list, or earlier in the document
    std::size_t NotFeedAddresses = 0;  // not http or https (after the feed: forms), or not a feed's type
    std::size_t LeftOut = 0;           // beyond the feeds one document may bring
};

// The import rules: each feed outline's address, its feed: form normalized, must be an http or
// https address (IsHttpFeedAddress) and must name no feed already in `defaults`, in `customs` or
// earlier in the document (SameFeedAddress); the others are counted.
TFeedImport PlanFeedImport(const TOpmlReadResult& read, const TFeedsList& defaults, const TFeedsList& customs);

// Appends the plan's feeds to `customs`, enabled, in order, and notes their folders and (where
// none is known yet) their titles. Does nothing unless the plan's status is osRead.
void ApplyFeedImport(const TFeedImport& plan, TFeedsList& customs, TFeedNotes* notes = nullptr);

// What the user is told of an applied plan, one message:
// "Imported N feeds; skipped M already in the list and K that are not feed addresses.", with a
// second sentence when feeds were left out; or why nothing was imported.
std::string FeedImportMessage(const TFeedImport& plan);

// Both lists as an OPML 2.0 document in UTF-8, the default feeds first, in order: titles and
// folders from `notes` where known, disabled feeds with the category "disabled".
std::string ExportFeeds(const TFeedsList& defaults, const TFeedsList& customs, const TFeedNotes& notes);

}  // namespace tw
