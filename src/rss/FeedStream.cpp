#include "rss/FeedStream.h"

#include "base/Hash64.h"

#include <algorithm>
#include <limits>

namespace tw {

namespace {

// 0 stands for "none" in the prepared hashes, so no real text may hash to it.
std::uint64_t NonZero(std::uint64_t hash) { return hash == 0 ? 1 : hash; }

std::uint64_t HashOrNone(std::string_view kind, std::string_view text) {
    return text.empty() ? 0 : NonZero(Hash64(text, Hash64(kind)));
}

}  // namespace

// ---------------------------------------------------------------------------------------------
// Snapshots

void TFeedSnapshot::Reserve(int items, std::size_t textBytes) {
    items_.reserve(static_cast<std::size_t>(std::max(items, 0)));
    text_.reserve(textBytes);
}

TFeedSnapshot::TRange TFeedSnapshot::Append(std::string_view text) {
    // Ranges are 32-bit; a feed's texts never come near 4 GB (the ticker caps a body at 16 MB).
    const std::size_t room = std::numeric_limits<std::uint32_t>::max() - text_.size();
    text = text.substr(0, std::min(text.size(), room));
    const TRange range{static_cast<std::uint32_t>(text_.size()), static_cast<std::uint32_t>(text.size())};
    text_.append(text);
    return range;
}

void TFeedSnapshot::Add(const TSnapshotItem& item) {
    std::array<TRange, 6> ranges{};
    ranges[0] = Append(item.Guid);
    ranges[1] = Append(item.Link);
    // Mostly the open address is the link: it then shares the link's bytes.
    ranges[2] = item.OpenAddress == item.Link ? ranges[1] : Append(item.OpenAddress);
    ranges[3] = Append(item.Title);
    ranges[4] = Append(item.Description);
    ranges[5] = Append(item.PubDate);
    items_.push_back(ranges);
}

void TFeedSnapshot::ShrinkToFit() {
    text_.shrink_to_fit();
    items_.shrink_to_fit();
}

TSnapshotItem TFeedSnapshot::Item(int index) const {
    const auto& r = items_[static_cast<std::size_t>(index)];
    return {View(r[0]), View(r[1]), View(r[2]), View(r[3]), View(r[4]), View(r[5])};
}

std::uint64_t SeenKeyOf(std::string_view feedKey, const TSnapshotItem& item) {
    const std::uint64_t feed = Hash64(std::string_view("\0", 1), Hash64(feedKey));
    if (!item.Guid.empty()) return NonZero(Hash64(item.Guid, Hash64("g", feed)));
    if (!item.Link.empty()) return NonZero(Hash64(item.Link, Hash64("l", feed)));
    return NonZero(Hash64(item.Title, Hash64("t", feed)));
}

std::vector<std::uint64_t> SeenKeysOf(const TFeedSnapshot& snapshot) {
    std::vector<std::uint64_t> keys;
    keys.reserve(static_cast<std::size_t>(snapshot.Count()));
    for (int i = 0; i < snapshot.Count(); ++i) keys.push_back(SeenKeyOf(snapshot.Key(), snapshot.Item(i)));
    return keys;
}

// ---------------------------------------------------------------------------------------------
// Feeds and settings

void TFeedStream::SetFeed(TFeedSnapshot snapshot) {
    snapshot.ShrinkToFit();
    TFeedSlot slot{std::move(snapshot), {}};
    slot.Items.reserve(static_cast<std::size_t>(slot.Snapshot.Count()));
    for (int i = 0; i < slot.Snapshot.Count(); ++i) {
        const TSnapshotItem item = slot.Snapshot.Item(i);
        slot.Items.push_back({ReadItemDate(item.PubDate), SeenKeyOf(slot.Snapshot.Key(), item),
                              HashOrNone("g", item.Guid), HashOrNone("l", item.Link), {}});
    }
    Judge(slot);
    const auto same = std::find_if(feeds_.begin(), feeds_.end(),
                                   [&](const TFeedSlot& s) { return s.Snapshot.Key() == slot.Snapshot.Key(); });
    if (same != feeds_.end()) *same = std::move(slot);
    else feeds_.push_back(std::move(slot));
    ForgetEntries();
}

void TFeedStream::RemoveFeed(std::string_view key) {
    std::erase_if(feeds_, [&](const TFeedSlot& s) { return s.Snapshot.Key() == key; });
    ForgetEntries();
}

void TFeedStream::RetainFeeds(const std::vector<std::string>& keys) {
    std::vector<TFeedSlot> kept;
    std::vector<bool> taken(feeds_.size(), false);
    for (const std::string& key : keys) {
        for (std::size_t i = 0; i < feeds_.size(); ++i) {
            if (taken[i] || feeds_[i].Snapshot.Key() != key) continue;
            taken[i] = true;
            kept.push_back(std::move(feeds_[i]));
            break;
        }
    }
    feeds_ = std::move(kept);
    ForgetEntries();
}

const TFeedSnapshot* TFeedStream::FindFeed(std::string_view key) const {
    for (const TFeedSlot& slot : feeds_)
        if (slot.Snapshot.Key() == key) return &slot.Snapshot;
    return nullptr;
}

void TFeedStream::SetWordRules(TWordRules rules) {
    rules_ = std::move(rules);
    for (TFeedSlot& slot : feeds_) Judge(slot);
}

void TFeedStream::Judge(TFeedSlot& slot) const {
    for (int i = 0; i < slot.Snapshot.Count(); ++i) {
        const TSnapshotItem item = slot.Snapshot.Item(i);
        slot.Items[static_cast<std::size_t>(i)].Verdict = rules_.Judge(item.Title, item.Description);
    }
}

void TFeedStream::ForgetEntries() {
    // Entries point into the snapshots by position; until the next merge there are none.
    entries_.clear();
    copies_.clear();
    currentIndex_ = -1;
}

// ---------------------------------------------------------------------------------------------
// Merging

void TFeedStream::Merge() {
    entries_.clear();
    copies_.clear();
    groups_.clear();
    guidGroups_.Clear();
    linkGroups_.Clear();
    ids_.Clear();
    stats_ = {};
    for (int feed = 0; feed < FeedCount(); ++feed) AddCandidates(feed);
    KeepShownGroups();
    PlaceCurrent();
}

int TFeedStream::GroupOf(const TPrepared& item, int feed) const {
    // Across feeds an item is the same as another with its guid or its link. An item of the same
    // feed never is: within a feed the identity alone decides.
    for (const auto& [hash, groups] : {std::pair{item.GuidHash, &guidGroups_}, std::pair{item.LinkHash, &linkGroups_}}) {
        if (hash == 0) continue;
        const int* group = groups->Find(hash);
        if (group && groups_[static_cast<std::size_t>(*group)].LastFeed != feed) return *group;
    }
    return -1;
}

void TFeedStream::Join(int group, const TPrepared& item, int feed) {
    TGroup& g = groups_[static_cast<std::size_t>(group)];
    g.LastFeed = feed;
    g.Excluded |= item.Verdict.Excluded;
    g.Included |= item.Verdict.Included;
    g.Entry.Highlighted |= item.Verdict.Highlighted;
    g.Seen |= seen_ && seen_->Contains(item.Id);
    bool added = false;
    if (item.GuidHash != 0) guidGroups_.Insert(item.GuidHash, group, added);
    if (item.LinkHash != 0) linkGroups_.Insert(item.LinkHash, group, added);
}

void TFeedStream::AddCandidates(int feed) {
    const TFeedSlot& slot = feeds_[static_cast<std::size_t>(feed)];
    const int count = maxShowing_ > 0 ? std::min(maxShowing_, slot.Snapshot.Count()) : slot.Snapshot.Count();
    stats_.Candidates += count;
    // Undated items go after the oldest dated one of their feed.
    TStreamTime oldest = kUndated;
    for (int i = 0; i < count; ++i) {
        const TStreamTime date = slot.Items[static_cast<std::size_t>(i)].Date;
        if (date != kUndated && (oldest == kUndated || date < oldest)) oldest = date;
    }
    int undated = 0;
    for (int i = 0; i < count; ++i) {
        const TPrepared& item = slot.Items[static_cast<std::size_t>(i)];
        bool added = false;
        ids_.Insert(item.Id, true, added);
        if (!added) {
            ++stats_.Duplicates;
            continue;
        }
        if (const int group = GroupOf(item, feed); group >= 0) {
            Join(group, item, feed);
            copies_.push_back({group, feed, i});
            ++stats_.Duplicates;
            continue;
        }
        TStreamEntry entry;
        entry.Id = item.Id;
        entry.Date = item.Date;
        entry.SortDate = item.Date != kUndated ? item.Date : oldest;
        entry.Rank = item.Date != kUndated ? 0 : ++undated;
        entry.Feed = feed;
        entry.Item = i;
        groups_.push_back({entry, -1, false, false, false});
        Join(static_cast<int>(groups_.size()) - 1, item, feed);
    }
}

// Rank, feed and item in one number that sorts as Before does: 20, 20 and 24 bits, more than a
// feed body of 16 MB can hold items, or a user feeds.
std::uint64_t TFeedStream::OrderOf(const TStreamEntry& e) {
    const auto bits = [](std::int32_t value, int width) {
        return std::min<std::uint64_t>(static_cast<std::uint64_t>(std::max(value, 0)), (std::uint64_t{1} << width) - 1);
    };
    return bits(e.Rank, 20) << 44 | bits(e.Feed, 20) << 24 | bits(e.Item, 24);
}

bool TFeedStream::Before(const TStreamEntry& a, const TStreamEntry& b) {
    if (a.SortDate != b.SortDate) return a.SortDate > b.SortDate;
    if (a.Rank != b.Rank) return a.Rank < b.Rank;
    if (a.Feed != b.Feed) return a.Feed < b.Feed;
    return a.Item < b.Item;
}

void TFeedStream::KeepShownGroups() {
    // Sorting on two numbers is several times faster than comparing entries field by field.
    struct TSortKey {
        TStreamTime Date;
        std::uint64_t Order;  // rank, feed, item
        int Group;
    };
    std::vector<TSortKey> shown;
    shown.reserve(groups_.size());
    for (std::size_t g = 0; g < groups_.size(); ++g) {
        const TGroup& group = groups_[g];
        if (group.Excluded || !group.Included) {
            ++stats_.Excluded;
        } else if (group.Seen) {
            ++stats_.Seen;
        } else {
            shown.push_back({group.Entry.SortDate, OrderOf(group.Entry), static_cast<int>(g)});
        }
    }
    std::sort(shown.begin(), shown.end(), [](const TSortKey& a, const TSortKey& b) {
        return a.Date != b.Date ? a.Date > b.Date : a.Order < b.Order;
    });
    std::vector<int> entryOfGroup(groups_.size(), -1);
    entries_.reserve(shown.size());
    for (const TSortKey& key : shown) {
        entryOfGroup[static_cast<std::size_t>(key.Group)] = static_cast<int>(entries_.size());
        entries_.push_back(groups_[static_cast<std::size_t>(key.Group)].Entry);
    }
    std::erase_if(copies_, [&](TCopy& copy) {
        copy.Group = entryOfGroup[static_cast<std::size_t>(copy.Group)];
        return copy.Group < 0;
    });
    std::stable_sort(copies_.begin(), copies_.end(), [](const TCopy& a, const TCopy& b) { return a.Group < b.Group; });
}

void TFeedStream::PlaceCurrent() {
    if (current_) {
        currentIndex_ = IndexOf(current_->Id);
        if (currentIndex_ >= 0) current_ = entries_[static_cast<std::size_t>(currentIndex_)];
    } else if (!entries_.empty()) {
        SetCurrent(0);
    }
}

// ---------------------------------------------------------------------------------------------
// The list and the current item

std::vector<std::uint64_t> TFeedStream::SeenKeysOf(int index) const {
    std::vector<std::uint64_t> keys{At(index).Id};
    const auto [first, last] = std::equal_range(copies_.begin(), copies_.end(), TCopy{index, 0, 0},
                                                [](const TCopy& a, const TCopy& b) { return a.Group < b.Group; });
    for (auto copy = first; copy != last; ++copy)
        keys.push_back(feeds_[static_cast<std::size_t>(copy->Feed)].Items[static_cast<std::size_t>(copy->Item)].Id);
    return keys;
}

int TFeedStream::IndexOf(std::uint64_t id) const {
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].Id == id) return static_cast<int>(i);
    return -1;
}

int TFeedStream::FirstIndexOfFeed(std::string_view key) const {
    for (std::size_t i = 0; i < entries_.size(); ++i)
        if (feeds_[static_cast<std::size_t>(entries_[i].Feed)].Snapshot.Key() == key) return static_cast<int>(i);
    return -1;
}

void TFeedStream::SetCurrent(int index) {
    if (index < 0 || index >= Count()) return;
    currentIndex_ = index;
    current_ = entries_[static_cast<std::size_t>(index)];
}

void TFeedStream::ClearCurrent() {
    current_.reset();
    currentIndex_ = -1;
}

bool TFeedStream::Next() {
    if (entries_.empty()) return false;
    int next = 0;
    if (currentIndex_ >= 0) {
        next = (currentIndex_ + 1) % Count();
    } else if (current_) {
        // The current item left the list: the next is the first that sorts after where it stood.
        next = static_cast<int>(std::upper_bound(entries_.begin(), entries_.end(), *current_, Before) - entries_.begin());
        if (next == Count()) next = 0;
    }
    SetCurrent(next);
    return true;
}

bool TFeedStream::Prev() {
    if (entries_.empty()) return false;
    int prev = Count() - 1;
    if (currentIndex_ >= 0) {
        prev = currentIndex_ == 0 ? Count() - 1 : currentIndex_ - 1;
    } else if (current_) {
        prev = static_cast<int>(std::lower_bound(entries_.begin(), entries_.end(), *current_, Before) - entries_.begin()) - 1;
        if (prev < 0) prev = Count() - 1;
    }
    SetCurrent(prev);
    return true;
}

}  // namespace tw
