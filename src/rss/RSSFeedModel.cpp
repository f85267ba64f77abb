#include "rss/RSSFeedModel.h"

#include "base/AsciiText.h"
#include "net/UrlUtils.h"

#include <algorithm>

namespace tw {

// ---------------------------------------------------------------------------------------------
// Records

void TpkRSSFeedImage::Assign(const TpkPersistent* source) {
    if (!source) {
        URL.clear(); Title.clear(); Link.clear(); Description.clear();
        Width = Height = 0;
        return;
    }
    auto* s = dynamic_cast<const TpkRSSFeedImage*>(source);
    if (!s) return TpkPersistent::Assign(source);
    URL = s->URL; Title = s->Title; Link = s->Link; Description = s->Description;
    Width = s->Width; Height = s->Height;
}

void TpkRSSFeedCloud::Assign(const TpkPersistent* source) {
    if (!source) {
        Domain.clear(); Port = 0; Path.clear(); RegisterProcedure.clear(); Protocol.clear();
        return;
    }
    auto* s = dynamic_cast<const TpkRSSFeedCloud*>(source);
    if (!s) return TpkPersistent::Assign(source);
    Domain = s->Domain; Port = s->Port; Path = s->Path; RegisterProcedure = s->RegisterProcedure;
    Protocol = s->Protocol;
}

void TpkRSSFeedTextInput::Assign(const TpkPersistent* source) {
    if (!source) {
        Title.clear(); Description.clear(); Name.clear(); Link.clear();
        return;
    }
    auto* s = dynamic_cast<const TpkRSSFeedTextInput*>(source);
    if (!s) return TpkPersistent::Assign(source);
    Title = s->Title; Description = s->Description; Name = s->Name; Link = s->Link;
}

void TpkRSSFeedItemCategory::Assign(const TpkPersistent* source) {
    if (!source) {
        Domain.clear(); Title.clear();
        return;
    }
    auto* s = dynamic_cast<const TpkRSSFeedItemCategory*>(source);
    if (!s) return TpkPersistent::Assign(source);
    Domain = s->Domain; Title = s->Title;
}

void TpkRSSFeedItemSource::Assign(const TpkPersistent* source) {
    if (!source) {
        Title.clear(); URL.clear();
        return;
    }
    auto* s = dynamic_cast<const TpkRSSFeedItemSource*>(source);
    if (!s) return TpkPersistent::Assign(source);
    Title = s->Title; URL = s->URL;
}

void TpkRSSFeedItemGuid::Assign(const TpkPersistent* source) {
    if (!source) {
        IsPermaLink = false; URL.clear(); PermaLinkStated = false;
        return;
    }
    auto* s = dynamic_cast<const TpkRSSFeedItemGuid*>(source);
    if (!s) return TpkPersistent::Assign(source);
    IsPermaLink = s->IsPermaLink; URL = s->URL; PermaLinkStated = s->PermaLinkStated;
}

// ---------------------------------------------------------------------------------------------
// Channel elements

void TpkRSSFeedElements::Assign(const TpkPersistent* source) {
    const auto* s = dynamic_cast<const TpkRSSFeedElements*>(source);
    if (source && !s) return TpkPersistent::Assign(source);
    if (s == this) return;
    static const TpkRSSFeedElements empty;
    const TpkRSSFeedElements& from = s ? *s : empty;
    Title = from.Title; Description = from.Description; Link = from.Link; Language = from.Language;
    Copyright = from.Copyright; ManagingEditor = from.ManagingEditor; WebMaster = from.WebMaster;
    PubDate = from.PubDate; LastBuildDate = from.LastBuildDate; Generator = from.Generator; Docs = from.Docs;
    category_.Assign(s ? &s->category_ : nullptr);
    image_.Assign(s ? &s->image_ : nullptr);
    textInput_.Assign(s ? &s->textInput_ : nullptr);
    cloud_.Assign(s ? &s->cloud_ : nullptr);
    TTL = from.TTL;
    SkipHours = from.SkipHours;
    SkipDays = from.SkipDays;
}

// ---------------------------------------------------------------------------------------------
// Enclosures

TpkRSSFeedItemEnclosure::~TpkRSSFeedItemEnclosure() {
    if (TpkEnclosureDownload* entry = DownloadItem) {
        DownloadItem = nullptr;
        entry->UnlinkEnclosure(*this);
    }
}

void TpkRSSFeedItemEnclosure::Assign(const TpkPersistent* source) {
    if (!source) {
        ContentType.clear(); ContentLength = 0; URL.clear();
        return;
    }
    auto* s = dynamic_cast<const TpkRSSFeedItemEnclosure*>(source);
    if (!s) return TpkPersistent::Assign(source);
    ContentType = s->ContentType; ContentLength = s->ContentLength; URL = s->URL;
}

int TpkRSSFeedItemEnclosure::Index() const { return collection_ ? collection_->IndexOf(this) : -1; }

TpkRSSFeedItem* TpkRSSFeedItemEnclosure::Item() const { return collection_ ? collection_->CollectionOwner() : nullptr; }

TpkComponent* TpkRSSFeedItemEnclosure::Feed() const {
    TpkRSSFeedItem* item = Item();
    return item ? item->Feed() : nullptr;
}

std::string TpkRSSFeedItemEnclosure::DisplayName() const {
    if (URL.empty() && ContentLength == 0) return ClassName();
    return URLToFileName(URL) + " - " + std::to_string(ContentLength);
}

void TpkRSSFeedItemEnclosureCollection::Assign(const TpkPersistent* source) {
    const auto* s = dynamic_cast<const TpkRSSFeedItemEnclosureCollection*>(source);
    if (source && !s) return TpkPersistent::Assign(source);
    if (s == this) return;  // clearing first would lose what is to be copied
    Clear();
    if (!s) return;
    for (int i = 0; i < s->Count(); ++i) Add()->Assign(s->Items(i));
}

std::uint32_t TpkRSSFeedItemEnclosureCollection::EnclosureSize() const {
    std::uint32_t sum = 0;
    for (int i = 0; i < Count(); ++i) sum += Items(i)->ContentLength;  // unsigned: wraps at 2^32
    return sum;
}

std::unique_ptr<TpkRSSFeedItemEnclosure> TpkRSSFeedItemEnclosureCollection::MakeItem() {
    return std::make_unique<TpkRSSFeedItemEnclosure>(this);
}

// ---------------------------------------------------------------------------------------------
// Items

TpkRSSFeedItem::TpkRSSFeedItem(TpkRSSFeedItemCollection* collection)
    : collection_(collection), enclosure_(collection ? this : nullptr) {}

TpkRSSFeedItem::~TpkRSSFeedItem() = default;

void TpkRSSFeedItem::Assign(const TpkPersistent* source) {
    if (!source) {
        Title.clear(); Link.clear(); Description.clear(); Author.clear(); Comments.clear(); pubDate_.clear();
        category_.Assign(nullptr);
        enclosure_.Clear();
        guid_.Assign(nullptr);
        source_.Assign(nullptr);
        return;
    }
    auto* s = dynamic_cast<const TpkRSSFeedItem*>(source);
    if (!s) return TpkPersistent::Assign(source);
    CopyFrom(*s, false);
}

void TpkRSSFeedItem::CopyFrom(const TpkRSSFeedItem& source, bool keepEnclosures) {
    if (&source == this) return;
    Title = source.Title;
    Link = source.Link;
    Description = source.Description;
    Author = source.Author;
    category_.Assign(&source.category_);
    Comments = source.Comments;
    if (!keepEnclosures) enclosure_.Assign(&source.enclosure_);
    guid_.Assign(&source.guid_);
    SetPubDate(source.pubDate_);
    source_.Assign(&source.source_);
}

void TpkRSSFeedItem::SetPubDate(std::string_view value) {
    if (pubDate_ != value) pubDate_.assign(value);
}

int TpkRSSFeedItem::Index() const { return collection_ ? collection_->IndexOf(this) : -1; }

int TpkRSSFeedItem::ID() const { return collection_ ? collection_->IDOf(this) : -1; }

TpkComponent* TpkRSSFeedItem::Feed() const { return collection_ ? collection_->CollectionOwner() : nullptr; }

std::string TpkRSSFeedItem::DisplayName() const {
    if (Title.empty() && pubDate_.empty()) return ClassName();
    return Title + " - " + pubDate_;
}

void TpkRSSFeedItemCollection::Assign(const TpkPersistent* source) {
    const auto* s = dynamic_cast<const TpkRSSFeedItemCollection*>(source);
    if (source && !s) return TpkPersistent::Assign(source);
    if (s == this) return;  // clearing first would lose what is to be copied
    Clear();
    if (!s) return;
    for (int i = 0; i < s->Count(); ++i) Add()->CopyFrom(*s->Items(i), false);
}

std::uint32_t TpkRSSFeedItemCollection::EnclosureSize() const {
    std::uint32_t sum = 0;
    for (int i = 0; i < Count(); ++i) sum += Items(i)->EnclosureSize();
    return sum;
}

std::unique_ptr<TpkRSSFeedItem> TpkRSSFeedItemCollection::MakeItem() { return std::make_unique<TpkRSSFeedItem>(this); }

// ---------------------------------------------------------------------------------------------
// Trimming and sizes

void TrimFeedStrings(std::string& feedCodePage, TpkRSSFeedElements& e, TpkRSSFeedItemCollection& items) {
    const auto trim = [](std::string& text) {
        const std::string_view kept = TrimControlsAndBlanks(text);
        if (kept.size() != text.size()) text = std::string(kept);  // a field with nothing to cut keeps its buffer
    };
    trim(feedCodePage);
    for (std::string* s : {&e.Description, &e.Link, &e.Language, &e.Copyright, &e.ManagingEditor, &e.WebMaster,
                           &e.Generator, &e.Docs, &e.Image().URL, &e.Image().Link, &e.Image().Description,
                           &e.Cloud().Domain, &e.Cloud().Path, &e.Cloud().RegisterProcedure, &e.Cloud().Protocol,
                           &e.Category().Domain, &e.TextInput().Description, &e.TextInput().Name, &e.TextInput().Link})
        trim(*s);
    for (int i = 0; i < items.Count(); ++i) {
        TpkRSSFeedItem& item = *items.Items(i);
        for (std::string* s : {&item.Link, &item.Description, &item.Author, &item.Category().Domain, &item.Comments})
            trim(*s);
        for (int k = 0; k < item.Enclosure().Count(); ++k) {
            trim(item.Enclosure().Items(k)->ContentType);
            trim(item.Enclosure().Items(k)->URL);
        }
        trim(item.Guid().URL);
        trim(item.Source().URL);
    }
}

std::uint32_t ParseSizeText(std::string_view text) {
    std::string kept;  // made only when there is something to drop
    if (std::any_of(text.begin(), text.end(), [](char c) { return c == ' ' || c == ',' || c == '.'; })) {
        kept.reserve(text.size());
        for (char c : text)
            if (c != ' ' && c != ',' && c != '.') kept.push_back(c);
        text = kept;
    }
    if (text.empty()) return 0;
    if (text.back() == 'B' || text.back() == 'b') text.remove_suffix(1);
    unsigned shift = 0;
    if (!text.empty()) {
        switch (text.back()) {
            case 'K': case 'k': shift = 10; break;
            case 'M': case 'm': shift = 20; break;
            case 'G': case 'g': shift = 30; break;
            default: break;
        }
        if (shift != 0) text.remove_suffix(1);
    }
    const auto value = static_cast<std::uint32_t>(TextToIntDef(text, 0));  // negative: two's complement bits
    return value << shift;
}

}  // namespace tw
