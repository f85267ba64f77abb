#pragma once
// All feeds in one stream: the items of several loaded feeds merged into one list, duplicates
// once, newest first, at most Max_Showing_Items per feed, without what the word rules hide or
// what has been seen; and the stream's current item, which keeps its place (by identity) when a
// reload of one feed changes the list around it. The rules of merging and ordering are written
// down in docs/stream.md.
//
// The stream holds the last good snapshot of each feed it was given: a feed whose reload fails
// is simply not given again and keeps its items. Main thread only.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/KeyTable.h"
#include "rss/SeenItems.h"
#include "rss/StreamTime.h"
#include "rss/WordRules.h"

namespace tw {

// One item's texts as the ticker shows them (UTF-8, markup already stripped from the title and
// description). Guid and Link trimmed; OpenAddress is where a click goes.
struct TSnapshotItem {
    std::string_view Guid, Link, OpenAddress, Title, Description, PubDate;
};

// The items of one feed as they were loaded, in feed order, with the feed's key (its address)
// and its source name (the channel title). Its texts live in one buffer.
class TFeedSnapshot {
public:
    TFeedSnapshot() = default;
    TFeedSnapshot(std::string key, std::string source) : key_(std::move(key)), source_(std::move(source)) {}

    const std::string& Key() const { return key_; }
    const std::string& Source() const { return source_; }

    // Room for `items` items of `textBytes` bytes of texts in all.
    void Reserve(int items, std::size_t textBytes);
    // Copies the item's texts in as the next item.
    void Add(const TSnapshotItem& item);
    int Count() const { return static_cast<int>(items_.size()); }
    // Views into the snapshot, valid while it is neither changed nor moved; index in range.
    TSnapshotItem Item(int index) const;
    // Gives back the room Reserve or growth left unused.
    void ShrinkToFit();

private:
    struct TRange {
        std::uint32_t At, Size;
    };
    TRange Append(std::string_view text);
    std::string_view View(TRange range) const { return std::string_view(text_).substr(range.At, range.Size); }

    std::string key_, source_;
    std::string text_;
    std::vector<std::array<TRange, 6>> items_;
};

// The seen set's key of an item of the feed `feedKey`: the feed with the item's guid, else its
// link, else its title. Also the item's identity in the stream.
std::uint64_t SeenKeyOf(std::string_view feedKey, const TSnapshotItem& item);
// The keys of every item of a snapshot, for TSeenItems::NotePresent.
std::vector<std::uint64_t> SeenKeysOf(const TFeedSnapshot& snapshot);

// One headline of the stream.
struct TStreamEntry {
    std::uint64_t Id = 0;          // identity and seen key (SeenKeyOf) of the item shown
    TStreamTime Date = kUndated;   // the item's date
    TStreamTime SortDate = kUndated;  // Date; for an undated item its feed's oldest date
    std::int32_t Rank = 0;         // 0 dated; undated: 1, 2, ... in feed order
    std::int32_t Feed = 0;         // the feed's position in the stream
    std::int32_t Item = 0;         // the item's position in its snapshot
    bool Highlighted = false;      // a Highlight_Words entry is in it (or in one of its copies)
};

// What the last merge left out, for the caller's choice of an empty line.
struct TStreamStats {
    int Candidates = 0;  // the first Max_Showing_Items items of each feed, all of them
    int Duplicates = 0;  // shown once as another item
    int Excluded = 0;    // hidden by the word rules
    int Seen = 0;        // hidden because seen (and not excluded)
};

class TFeedStream {
public:
    // Feeds, in the order that breaks ties (the Quick Start Menu's). SetFeed replaces the feed
    // with the snapshot's key, or adds it last. Each of these three empties the list (the
    // current item keeps its place) until the next Merge, which a batch of changes shares.
    void SetFeed(TFeedSnapshot snapshot);
    void RemoveFeed(std::string_view key);
    // Keeps only the feeds of `keys`, in that order.
    void RetainFeeds(const std::vector<std::string>& keys);
    int FeedCount() const { return static_cast<int>(feeds_.size()); }
    const TFeedSnapshot& Feed(int index) const { return feeds_[static_cast<std::size_t>(index)].Snapshot; }
    const TFeedSnapshot* FindFeed(std::string_view key) const;

    // 0: every item of a feed; n > 0: its first n in feed order.
    void SetMaxShowingItems(int count) { maxShowing_ = count > 0 ? count : 0; }
    // Judges every item again; empty rules hide nothing and highlight nothing.
    void SetWordRules(TWordRules rules);
    // With a seen set (Only_New_Items), seen items are left out; null: none is.
    void SetSeenItems(const TSeenItems* seen) { seen_ = seen; }

    // Builds the list anew from the feeds and the settings. The current item stays current when
    // it is still there; otherwise its place is kept for Next and Prev. With no current item the
    // first becomes current.
    void Merge();

    int Count() const { return static_cast<int>(entries_.size()); }
    const TStreamEntry& At(int index) const { return entries_[static_cast<std::size_t>(index)]; }
    const TFeedSnapshot& FeedOf(const TStreamEntry& entry) const { return Feed(entry.Feed); }
    TSnapshotItem ItemOf(const TStreamEntry& entry) const { return FeedOf(entry).Item(entry.Item); }
    // The entry's seen key and those of its duplicates in other feeds: seeing one sees them all.
    std::vector<std::uint64_t> SeenKeysOf(int index) const;
    // -1 when no entry has that identity.
    int IndexOf(std::uint64_t id) const;
    // The newest shown entry of the feed with that key (where its Quick Start Menu entry leads);
    // -1 when none of its items is shown.
    int FirstIndexOfFeed(std::string_view key) const;
    const TStreamStats& Stats() const { return stats_; }

    // The current item: its position, or -1 when there is none or it left the list at the last
    // merge (its text may still be on screen; Next and Prev go on from where it stood).
    int CurrentIndex() const { return currentIndex_; }
    bool HasCurrent() const { return current_.has_value(); }
    void SetCurrent(int index);
    void ClearCurrent();
    // One step on, after the last to the first; one step back, before the first to the last.
    // False (nothing changes) when the list is empty.
    bool Next();
    bool Prev();

private:
    struct TPrepared {
        TStreamTime Date;
        std::uint64_t Id;
        std::uint64_t GuidHash;  // 0: no guid
        std::uint64_t LinkHash;  // 0: no link
        TWordRules::TVerdict Verdict;
    };
    struct TFeedSlot {
        TFeedSnapshot Snapshot;
        std::vector<TPrepared> Items;
    };
    struct TGroup {
        TStreamEntry Entry;
        int LastFeed;  // the last feed that joined; a group holds one item per feed
        bool Excluded, Included, Seen;
    };
    struct TCopy {
        int Group;  // before sorting; then the entry
        int Feed, Item;
    };

    void Judge(TFeedSlot& slot) const;
    void ForgetEntries();
    int GroupOf(const TPrepared& item, int feed) const;
    void Join(int group, const TPrepared& item, int feed);
    void AddCandidates(int feed);
    void KeepShownGroups();
    void PlaceCurrent();
    static bool Before(const TStreamEntry& a, const TStreamEntry& b);
    static std::uint64_t OrderOf(const TStreamEntry& entry);

    std::vector<TFeedSlot> feeds_;
    int maxShowing_ = 0;
    TWordRules rules_;
    const TSeenItems* seen_ = nullptr;

    std::vector<TStreamEntry> entries_;
    std::vector<TCopy> copies_;  // ascending by entry once merged
    TStreamStats stats_;
    std::optional<TStreamEntry> current_;
    int currentIndex_ = -1;

    // Kept between merges so that a merge allocates little.
    std::vector<TGroup> groups_;
    TKeyTable<int> guidGroups_, linkGroups_;
    TKeyTable<bool> ids_;  // identities hold their feed, so one table serves every feed
};

}  // namespace tw
