#pragma once
// The items the user has seen, remembered across runs for "only what is new": one 64-bit key per
// item (its feed with its guid, else its link, else its title; FeedStream's SeenKeyOf) and the
// last time the item was in its feed. Bounded: an entry whose item has not been in its feed for
// 30 days is forgotten, and at most 50,000 are kept, the longest gone first.
//
// The file (beside app.config; the caller names it) is written whole to a new file that then
// replaces the old one in one step, so a program killed while writing leaves the old contents or
// the new. A file that is missing, cut short, or fails its checksum reads as empty and is
// replaced by the next save; it is never an error the user sees.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/KeyTable.h"
#include "rss/StreamTime.h"

namespace tw {

class TSeenItems {
public:
    static constexpr TStreamTime kForgetAfter = 30 * 24 * 3600;
    static constexpr std::size_t kMaxEntries = 50000;

    // Empty, switched on at `now` (the quiet line's time until something is marked).
    explicit TSeenItems(TStreamTime now = 0) : quietSince_(now) {}

    // Replaces the contents by the file's. False (and empty, switched on at `now`) when the file
    // is missing or not a whole, intact seen file.
    bool Load(const std::string& path, TStreamTime now);
    // Forgets what is due (Prune) and writes the file in one step. False when it could not be
    // written; the file then holds what it held.
    bool Save(const std::string& path, TStreamTime now);

    // The file's bytes and their reading, for Load and Save (and tests). Parse answers false,
    // leaving the set as it was, for anything but a whole, intact file.
    std::string Serialize() const;
    bool Parse(std::string_view bytes);

    bool Contains(std::uint64_t key) const;
    // Remembers the item as seen now; the quiet line's time becomes `now`. Key 0 is no key.
    void MarkSeen(std::uint64_t key, TStreamTime now);
    // The items of a feed just loaded: those remembered were in their feed at `now`.
    void NotePresent(std::span<const std::uint64_t> keys, TStreamTime now);
    // Forgets entries not in their feed since `now` - kForgetAfter, then the longest gone beyond
    // kMaxEntries (ties: the smaller key goes).
    void Prune(TStreamTime now);

    std::size_t Count() const { return entries_.Count(); }
    // Since when nothing new was there to see: the last marking, or the switch-on.
    TStreamTime QuietSince() const { return quietSince_; }
    // Changed since the last Load, Parse or Save.
    bool Modified() const { return modified_; }

private:
    struct TEntry {
        std::uint64_t Key;
        TStreamTime LastPresent;
    };
    // Ascending by key, as the file holds them.
    std::vector<TEntry> SortedEntries() const;
    void Replace(const std::vector<TEntry>& entries);

    TKeyTable<TStreamTime> entries_;  // key: the last time its item was in its feed
    TStreamTime quietSince_;
    bool modified_ = false;
};

}  // namespace tw
