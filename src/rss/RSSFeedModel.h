#pragma once
// The content model of one RSS channel: channel-level elements, items with their categories,
// guids, sources and enclosures, the skip sets, copying, resetting and the trimming pass; and the
// size-text reader of enclosure lengths. The feed component (pkRSSFeed) owns one
// TpkRSSFeedElements and one TpkRSSFeedItemCollection.
#include <cstdint>
#include <iterator>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/pkClasses.h"

namespace tw {

// ---------------------------------------------------------------------------------------------
// Small persistent records. Assign copies from the same class, resets on null, and raises
// EpkAssignError (target unchanged) for any other class.

class TpkRSSFeedImage : public TpkPersistent {
public:
    const char* ClassName() const override { return "TpkRSSFeedImage"; }
    void Assign(const TpkPersistent* source) override;
    std::string URL, Title, Link, Description;
    std::uint16_t Width = 0, Height = 0;  // the low 16 bits of what the parser read
};

class TpkRSSFeedCloud : public TpkPersistent {
public:
    const char* ClassName() const override { return "TpkRSSFeedCloud"; }
    void Assign(const TpkPersistent* source) override;
    std::string Domain;
    std::uint16_t Port = 0;
    std::string Path, RegisterProcedure, Protocol;
};

class TpkRSSFeedTextInput : public TpkPersistent {
public:
    const char* ClassName() const override { return "TpkRSSFeedTextInput"; }
    void Assign(const TpkPersistent* source) override;
    std::string Title, Description, Name, Link;
};

class TpkRSSFeedItemCategory : public TpkPersistent {
public:
    const char* ClassName() const override { return "TpkRSSFeedItemCategory"; }
    void Assign(const TpkPersistent* source) override;
    std::string Domain;  // the domain attribute
    std::string Title;   // the element's text
};

class TpkRSSFeedItemSource : public TpkPersistent {
public:
    const char* ClassName() const override { return "TpkRSSFeedItemSource"; }
    void Assign(const TpkPersistent* source) override;
    std::string Title;  // the element's text
    std::string URL;    // the url attribute
};

class TpkRSSFeedItemGuid : public TpkPersistent {
public:
    const char* ClassName() const override { return "TpkRSSFeedItemGuid"; }
    void Assign(const TpkPersistent* source) override;
    bool IsPermaLink = false;
    std::string URL;  // the element's text, permanent link or not
    // Whether the feed said isPermaLink at all: RSS 2.0 takes a guid without it as a permanent
    // link, while IsPermaLink reads false for it (ItemOpenAddress needs the difference).
    bool PermaLinkStated = false;
};

// ---------------------------------------------------------------------------------------------
// The two sets

enum TpkRSSFeedSkipHours : std::uint8_t {
    h00, h01, h02, h03, h04, h05, h06, h07, h08, h09, h10, h11,
    h12, h13, h14, h15, h16, h17, h18, h19, h20, h21, h22, h23,
};
enum TpkRSSFeedSkipDays : std::uint8_t { Monday, Tuesday, Wednesday, Thursday, Friday, Saturday, Sunday };

// Hour n is bit n.
struct TpkRSSFeedSkipHoursSet {
    std::uint32_t Bits = 0;
    bool Contains(TpkRSSFeedSkipHours h) const { return h <= h23 && (Bits >> h & 1u) != 0; }
    // Values outside h00..h23 are ignored.
    void Include(TpkRSSFeedSkipHours h) { if (h <= h23) Bits |= 1u << h; }
    void Exclude(TpkRSSFeedSkipHours h) { if (h <= h23) Bits &= ~(1u << h); }
    bool Empty() const { return Bits == 0; }
    bool operator==(const TpkRSSFeedSkipHoursSet&) const = default;
};

// Monday is bit 0, Sunday bit 6.
struct TpkRSSFeedSkipDaysSet {
    std::uint8_t Bits = 0;
    bool Contains(TpkRSSFeedSkipDays d) const { return d <= Sunday && (Bits >> d & 1u) != 0; }
    void Include(TpkRSSFeedSkipDays d) { if (d <= Sunday) Bits = static_cast<std::uint8_t>(Bits | 1u << d); }
    void Exclude(TpkRSSFeedSkipDays d) { if (d <= Sunday) Bits = static_cast<std::uint8_t>(Bits & ~(1u << d)); }
    bool Empty() const { return Bits == 0; }
    bool operator==(const TpkRSSFeedSkipDaysSet&) const = default;
};

// ---------------------------------------------------------------------------------------------
// Channel elements

class TpkRSSFeedElements : public TpkPersistent {
public:
    explicit TpkRSSFeedElements(TpkComponent* owner = nullptr) : TpkPersistent(owner) {}
    const char* ClassName() const override { return "TpkRSSFeedElements"; }
    // Copies the eleven strings, Category, Image, TextInput, Cloud, TTL and both sets; null
    // empties them all, keeping the owned objects (now empty).
    void Assign(const TpkPersistent* source) override;

    std::string Title, Description, Link, Language, Copyright, ManagingEditor, WebMaster;
    std::string PubDate, LastBuildDate;  // raw text, never parsed
    std::string Generator, Docs;
    TpkRSSFeedSkipHoursSet SkipHours;
    TpkRSSFeedSkipDaysSet SkipDays;
    std::uint32_t TTL = 0;

    TpkRSSFeedImage& Image() { return image_; }
    const TpkRSSFeedImage& Image() const { return image_; }
    TpkRSSFeedTextInput& TextInput() { return textInput_; }
    const TpkRSSFeedTextInput& TextInput() const { return textInput_; }
    TpkRSSFeedCloud& Cloud() { return cloud_; }
    const TpkRSSFeedCloud& Cloud() const { return cloud_; }
    TpkRSSFeedItemCategory& Category() { return category_; }  // the channel's first category
    const TpkRSSFeedItemCategory& Category() const { return category_; }

private:
    // Declared in creation order; destroyed in reverse (TextInput, Image, Cloud, Category).
    TpkRSSFeedItemCategory category_;
    TpkRSSFeedCloud cloud_;
    TpkRSSFeedImage image_;
    TpkRSSFeedTextInput textInput_;
};

// ---------------------------------------------------------------------------------------------
// Enclosures

class TpkRSSFeedItem;
class TpkRSSFeedItemEnclosure;
class TpkRSSFeedItemEnclosureCollection;
class TpkRSSFeedItemCollection;

// A download-queue entry as an enclosure sees it. The queue implements it.
class TpkEnclosureDownload {
public:
    virtual ~TpkEnclosureDownload() = default;
    // The enclosure is being destroyed: drop the link to it (the entry may go with it).
    virtual void UnlinkEnclosure(TpkRSSFeedItemEnclosure& enclosure) = 0;
};

class TpkRSSFeedItemEnclosure : public TpkPersistent {
public:
    explicit TpkRSSFeedItemEnclosure(TpkRSSFeedItemEnclosureCollection* collection = nullptr)
        : collection_(collection) {}
    // Detaches from its download entry first.
    ~TpkRSSFeedItemEnclosure() override;
    const char* ClassName() const override { return "TpkRSSFeedItemEnclosure"; }
    // Copies ContentType, ContentLength and URL (never DownloadItem); null resets them.
    void Assign(const TpkPersistent* source) override;

    std::string ContentType;
    std::uint32_t ContentLength = 0;  // the low 32 bits of the length read
    std::string URL;
    TpkEnclosureDownload* DownloadItem = nullptr;  // the entry serving it, never copied

    TpkRSSFeedItemEnclosureCollection* Collection() const { return collection_; }
    int Index() const;
    // The item holding it (through its collection's owner), or null.
    TpkRSSFeedItem* Item() const;
    // The feed component through the item, or null.
    TpkComponent* Feed() const;
    // URL's file name, " - ", ContentLength, when URL is set or ContentLength is not 0; else the
    // collection's default name (the class name).
    std::string DisplayName() const;

private:
    friend class TpkRSSFeedItemEnclosureCollection;
    TpkRSSFeedItemEnclosureCollection* collection_;
};

// ---------------------------------------------------------------------------------------------
// Collections

// An ordered, indexable, owning collection whose entries get a stable ID when they are made.
template <class T, class THolder>
class TpkOwnedCollection : public TpkPersistent {
public:
    explicit TpkOwnedCollection(THolder* holder) : holder_(holder) {}
    THolder* CollectionOwner() const { return holder_; }
    int Count() const { return static_cast<int>(entries_.size()); }
    // Null when out of range.
    T* Items(int index) const {
        return index >= 0 && index < Count() ? entries_[static_cast<std::size_t>(index)].Item.get() : nullptr;
    }
    T* operator[](int index) const { return Items(index); }
    // Makes room for `count` entries in all, so that adding up to there moves nothing.
    void Reserve(int count) {
        if (count > 0) entries_.reserve(static_cast<std::size_t>(count));
    }
    // Appends a new empty entry.
    T* Add() { return Insert(Count()); }
    // Inserts a new empty entry at `index` (clamped to 0..Count).
    T* Insert(int index) {
        index = index < 0 ? 0 : index > Count() ? Count() : index;
        Entry entry{MakeItem(), nextID_++};
        T* raw = entry.Item.get();
        entries_.insert(entries_.begin() + index, std::move(entry));
        return raw;
    }
    // Frees the entry at `index`; nothing when out of range.
    void Delete(int index) {
        if (index < 0 || index >= Count()) return;
        auto item = std::move(entries_[static_cast<std::size_t>(index)].Item);
        entries_.erase(entries_.begin() + index);
        item.reset();  // destroyed after it left the collection, so it cannot be found meanwhile
    }
    // Frees every entry, first first, once all have left the collection, and then the spares. In
    // the order they were made: Wine's heap frees blocks in that order about twenty times faster
    // than in the reverse one (a 20 MB feed's items took 150 ms to free last first).
    void Clear() {
        Truncate(0);
        spares_.clear();
    }
    // For a reload that sets every field of an entry again: the entry at `index` stays, object
    // and all, under a new ID, as if it had just been made (IDs are never reused), so its strings
    // keep their memory. Null when out of range.
    T* Renew(int index) {
        if (index < 0 || index >= Count()) return nullptr;
        Entry& entry = entries_[static_cast<std::size_t>(index)];
        entry.ID = nextID_++;
        return entry.Item.get();
    }
    // A load that must leave the entries alone until it is known whole fills spares instead: the
    // spare at `index` (at most the number of spares), made on first use and otherwise one the
    // collection kept, so that its strings keep their memory.
    T* Spare(int index) {
        if (static_cast<std::size_t>(index) == spares_.size()) spares_.push_back(MakeItem());
        return spares_[static_cast<std::size_t>(index)].get();
    }
    // The first `count` spares become the entries, in order, under new IDs; the entries before
    // become spares, and no more spares are kept than there are now entries.
    void CommitSpares(int count) {
        const auto n = static_cast<std::size_t>(count);
        std::vector<std::unique_ptr<T>> spares;
        spares.reserve(entries_.size() + spares_.size());  // may throw: nothing has moved yet
        entries_.reserve(n);
        for (Entry& entry : entries_) spares.push_back(std::move(entry.Item));
        entries_.clear();
        for (std::size_t i = 0; i < spares_.size(); ++i) {
            if (i < n) entries_.push_back(Entry{std::move(spares_[i]), nextID_++});
            else spares.push_back(std::move(spares_[i]));
        }
        spares_.swap(spares);
        if (spares_.size() > n) spares_.resize(n);
    }
    // Frees the entries from `count` on, as Clear frees them; nothing when count >= Count().
    void Truncate(int count) {
        if (count < 0) count = 0;
        if (count >= Count()) return;
        std::vector<Entry> gone;
        if (count == 0) {
            gone.swap(entries_);
        } else {
            gone.assign(std::make_move_iterator(entries_.begin() + count), std::make_move_iterator(entries_.end()));
            entries_.erase(entries_.begin() + count, entries_.end());
        }
        for (Entry& entry : gone) entry.Item.reset();
    }
    int IndexOf(const T* item) const {
        for (std::size_t i = 0; i < entries_.size(); ++i)
            if (entries_[i].Item.get() == item) return static_cast<int>(i);
        return -1;
    }
    // The ID the collection gave the entry when it was made (never reused), -1 when not here.
    int IDOf(const T* item) const {
        const int index = IndexOf(item);
        return index < 0 ? -1 : entries_[static_cast<std::size_t>(index)].ID;
    }
    // The entry with that ID, or null.
    T* FindItemID(int id) const {
        for (const Entry& entry : entries_)
            if (entry.ID == id) return entry.Item.get();
        return nullptr;
    }

protected:
    virtual std::unique_ptr<T> MakeItem() = 0;

private:
    struct Entry {
        std::unique_ptr<T> Item;
        int ID;
    };
    THolder* holder_;
    std::vector<Entry> entries_;  // one vector, not one for the items and one for their IDs
    std::vector<std::unique_ptr<T>> spares_;
    int nextID_ = 0;
};

class TpkRSSFeedItemEnclosureCollection : public TpkOwnedCollection<TpkRSSFeedItemEnclosure, TpkRSSFeedItem> {
public:
    // `item` is the holder (null for the enclosures of an item outside any collection).
    explicit TpkRSSFeedItemEnclosureCollection(TpkRSSFeedItem* item) : TpkOwnedCollection(item) {}
    ~TpkRSSFeedItemEnclosureCollection() override { Clear(); }
    const char* ClassName() const override { return "TpkRSSFeedItemEnclosureCollection"; }
    // Replaces the entries by copies of the source's; null clears.
    void Assign(const TpkPersistent* source) override;
    // ContentLength summed in index order, wrapping at 2^32.
    std::uint32_t EnclosureSize() const;

protected:
    std::unique_ptr<TpkRSSFeedItemEnclosure> MakeItem() override;
};

// ---------------------------------------------------------------------------------------------
// Items

class TpkRSSFeedItem : public TpkPersistent {
public:
    // An item made with no collection (a temporary one) has no feed, and its enclosures no item.
    explicit TpkRSSFeedItem(TpkRSSFeedItemCollection* collection = nullptr);
    ~TpkRSSFeedItem() override;
    const char* ClassName() const override { return "TpkRSSFeedItem"; }
    // Same class: CopyFrom(source, false). Null: every field emptied, the enclosures freed.
    void Assign(const TpkPersistent* source) override;
    // Title, Link, Description, Author, Category, Comments, unless keepEnclosures the enclosures
    // (replaced, not merged), Guid, PubDate (through its setter), Source.
    void CopyFrom(const TpkRSSFeedItem& source, bool keepEnclosures);

    std::string Title, Link, Description, Author, Comments;
    const std::string& PubDate() const { return pubDate_; }
    // Stores the text only when it differs byte for byte from the current one.
    void SetPubDate(std::string_view value);

    TpkRSSFeedItemCategory& Category() { return category_; }
    const TpkRSSFeedItemCategory& Category() const { return category_; }
    TpkRSSFeedItemGuid& Guid() { return guid_; }
    const TpkRSSFeedItemGuid& Guid() const { return guid_; }
    TpkRSSFeedItemEnclosureCollection& Enclosure() { return enclosure_; }
    const TpkRSSFeedItemEnclosureCollection& Enclosure() const { return enclosure_; }
    TpkRSSFeedItemSource& Source() { return source_; }
    const TpkRSSFeedItemSource& Source() const { return source_; }

    // Sum of the enclosures' ContentLength, wrapping at 2^32. Writing it is accepted and ignored.
    std::uint32_t EnclosureSize() const { return enclosure_.EnclosureSize(); }
    void SetEnclosureSize(std::uint32_t) {}

    TpkRSSFeedItemCollection* Collection() const { return collection_; }
    int Index() const;
    int ID() const;  // -1 outside a collection
    // The feed component (the collection's owner), or null.
    TpkComponent* Feed() const;
    // Title, " - ", PubDate when either is set; else the default name (the class name).
    std::string DisplayName() const;

private:
    TpkRSSFeedItemCollection* collection_;
    std::string pubDate_;
    // Declared in creation order (Category, Guid, Enclosure, Source); destroyed in reverse.
    TpkRSSFeedItemCategory category_;
    TpkRSSFeedItemGuid guid_;
    TpkRSSFeedItemEnclosureCollection enclosure_;
    TpkRSSFeedItemSource source_;
};

class TpkRSSFeedItemCollection : public TpkOwnedCollection<TpkRSSFeedItem, TpkComponent> {
public:
    // `feed` is the owning feed component.
    explicit TpkRSSFeedItemCollection(TpkComponent* feed = nullptr) : TpkOwnedCollection(feed) {}
    ~TpkRSSFeedItemCollection() override { Clear(); }
    const char* ClassName() const override { return "TpkRSSFeedItemCollection"; }
    // Clears, then adds one item per source item, copied with CopyFrom(item, false). Null clears.
    void Assign(const TpkPersistent* source) override;
    // The items' EnclosureSize summed, wrapping at 2^32.
    std::uint32_t EnclosureSize() const;

protected:
    std::unique_ptr<TpkRSSFeedItem> MakeItem() override;
};

// ---------------------------------------------------------------------------------------------
// Trimming and sizes

// The trimming pass over a feed's content: FeedCodePage; the channel's Description, Link,
// Language, Copyright, ManagingEditor, WebMaster, Generator, Docs, Image URL/Link/Description,
// Cloud Domain/Path/RegisterProcedure/Protocol, Category Domain, TextInput Description/Name/Link;
// each item's Link, Description, Author, Category Domain, Comments, enclosure ContentType and URL,
// Guid URL, Source URL, each losing the bytes up to the space at both ends (TrimControlsAndBlanks).
// Titles, dates and numbers are never touched.
void TrimFeedStrings(std::string& feedCodePage, TpkRSSFeedElements& elements, TpkRSSFeedItemCollection& items);

// Enclosure length text to bytes: spaces, "," and "." are dropped (1.5 MB reads as 15 MB), an
// ending "B"/"b" goes, an ending "K", "M" or "G" (any case) shifts by 10, 20 or 30 bits in 32-bit
// arithmetic; the rest by the integer-text rule with default 0.
std::uint32_t ParseSizeText(std::string_view text);

}  // namespace tw
