#include "rss/FeedRSSReader.h"

#include "rss/pkRSSFeed.h"
#include "base/AsciiText.h"
#include "base/pkUtils.h"
#include "xml/XmlDom.h"

#include <array>
#include <cstddef>

namespace tw {

namespace {

bool HasChildren(const TXmlElement* element) { return element != nullptr && element->HasChildNodes(); }

}  // namespace

TFeedRSSReader::TFeedRSSReader(TXmlNameTable& table) {
    static constexpr std::pair<std::u16string_view, Field> kNames[] = {
        {u"title", kTitle},       {u"link", kLink},         {u"description", kDescription},
        {u"author", kAuthor},     {u"category", kCategory}, {u"comments", kComments},
        {u"pubDate", kPubDate},   {u"guid", kGuid},         {u"source", kSource},
        {u"enclosure", kEnclosure},
    };
    static constexpr std::pair<std::u16string_view, ChannelField> kChannelNames[] = {
        {u"title", cTitle},         {u"link", cLink},           {u"description", cDescription},
        {u"language", cLanguage},   {u"copyright", cCopyright}, {u"managingEditor", cManagingEditor},
        {u"webMaster", cWebMaster}, {u"pubDate", cPubDate},     {u"lastBuildDate", cLastBuildDate},
        {u"category", cCategory},   {u"generator", cGenerator}, {u"docs", cDocs},
        {u"cloud", cCloud},         {u"ttl", cTtl},             {u"image", cImage},
        {u"textInput", cTextInput}, {u"skipHours", cSkipHours}, {u"skipDays", cSkipDays},
    };
    // Entered in the table before the document is read, each name has its id when the XML
    // reader meets it, and the maps below cover every id a name of ours can have.
    for (const auto& [name, field] : kNames) table.Intern(name);
    for (const auto& [name, field] : kChannelNames) table.Intern(name);
    itemId_ = table.Intern(u"item");
    fieldOfName_.assign(static_cast<size_t>(table.Count()), -1);
    for (const auto& [name, field] : kNames) fieldOfName_[static_cast<size_t>(table.Find(name))] = field;
    channelFieldOfName_.assign(static_cast<size_t>(table.Count()), -1);
    for (const auto& [name, field] : kChannelNames)
        channelFieldOfName_[static_cast<size_t>(table.Find(name))] = field;
}

int TFeedRSSReader::FieldOf(const TXmlNode& node) const {
    if (node.NodeType() != XML_ELEMENT_NODE) return -1;
    const auto id = static_cast<size_t>(node.NameId());
    return id < fieldOfName_.size() ? fieldOfName_[id] : -1;
}

bool TFeedRSSReader::IsItem(const TXmlNode& node) const {
    return node.NodeType() == XML_ELEMENT_NODE && node.NameId() == itemId_;
}

void TFeedRSSReader::PrefetchChild(const TXmlNode& parent, int index) {
    // The XML reader lays a subtree out in its document's arena from the element up to the next
    // sibling, its nodes, child lists and text references in order. A 20 MB feed's tree has left
    // the cache when the model is read, and each field is a chain of misses (element, its child
    // list, its text node); fetching the span ahead lets them overlap. A span that is not such a
    // run (the arena's blocks are not in order, a sibling made elsewhere) is left alone.
    constexpr std::ptrdiff_t kMaxSpan = 8192;
    constexpr std::ptrdiff_t kLine = 64;
    if (index < 0 || index + 1 >= parent.ChildCount()) return;
    const auto* from = reinterpret_cast<const char*>(parent.Child(index));
    const auto* to = reinterpret_cast<const char*>(parent.Child(index + 1));
    if (to <= from || to - from > kMaxSpan) return;
    for (const char* line = from; line < to; line += kLine) {
#if defined(__x86_64__) || defined(__i386__)
        // A loop of nothing but __builtin_prefetch has no effect the compiler must keep, and GCC
        // drops it where it sees the whole function; a volatile instruction stays.
        asm volatile("prefetcht0 %0" : : "m"(*line));
#else
        __builtin_prefetch(line);
#endif
    }
}

std::int32_t TFeedRSSReader::ChildInt(const TXmlNode& node, std::u16string_view name, std::int32_t def) {
    const TXmlElement* child = node.FindChild(name);
    return TextToIntDef(child ? texts_.TextView(child) : std::string_view(), def);
}

TFeedRSSReader::ChannelFields TFeedRSSReader::FindChannelFields(const TXmlElement& channel) const {
    // One walk finds the first child of each name: the channel holds the items as well, tens of
    // thousands in a large feed, among which a name it lacks was looked for once per field.
    ChannelFields first{};
    for (int i = 0; i < channel.ChildCount(); ++i) {
        const TXmlNode* child = channel.Child(i);
        if (child->NodeType() != XML_ELEMENT_NODE) continue;
        const auto id = static_cast<size_t>(child->NameId());
        const int field = id < channelFieldOfName_.size() ? channelFieldOfName_[id] : -1;
        if (field >= 0 && first[static_cast<size_t>(field)] == nullptr)
            first[static_cast<size_t>(field)] = static_cast<const TXmlElement*>(child);
    }
    return first;
}

void TFeedRSSReader::ReadChannel(const TXmlElement& channel, TpkRSSFeedElements& e) {
    const ChannelFields first = FindChannelFields(channel);
    texts_.Text(e.Title, first[cTitle]);
    texts_.Text(e.Link, first[cLink]);
    texts_.Text(e.Description, first[cDescription]);
    texts_.Text(e.Language, first[cLanguage]);
    texts_.Text(e.Copyright, first[cCopyright]);
    texts_.Text(e.ManagingEditor, first[cManagingEditor]);
    texts_.Text(e.WebMaster, first[cWebMaster]);
    texts_.Text(e.PubDate, first[cPubDate]);
    texts_.Text(e.LastBuildDate, first[cLastBuildDate]);
    if (const TXmlElement* category = first[cCategory]) {
        texts_.Text(e.Category().Title, category);
        texts_.Attr(e.Category().Domain, category, "domain");
    }
    texts_.Text(e.Generator, first[cGenerator]);
    texts_.Text(e.Docs, first[cDocs]);
    if (const TXmlElement* cloud = first[cCloud]) ReadCloud(*cloud, e.Cloud());
    e.TTL = static_cast<std::uint32_t>(TextToIntDef(texts_.TextView(first[cTtl]), 0));
    if (const TXmlElement* image = first[cImage]; HasChildren(image)) ReadImage(*image, e.Image());
    if (const TXmlElement* input = first[cTextInput]; HasChildren(input)) ReadTextInput(*input, e.TextInput());
    e.SkipHours = TpkRSSFeedSkipHoursSet{};
    if (const TXmlElement* hours = first[cSkipHours]; HasChildren(hours)) e.SkipHours = ReadSkipHours(*hours);
    e.SkipDays = TpkRSSFeedSkipDaysSet{};
    if (const TXmlElement* days = first[cSkipDays]; HasChildren(days)) e.SkipDays = ReadSkipDays(*days);
}

void TFeedRSSReader::ReadCloud(const TXmlElement& cloud, TpkRSSFeedCloud& c) {
    texts_.Attr(c.Domain, &cloud, "domain");
    c.Port = static_cast<std::uint16_t>(TextToIntDef(texts_.AttrView(cloud, "port"), 0));
    texts_.Attr(c.Path, &cloud, "path");
    texts_.Attr(c.RegisterProcedure, &cloud, "registerProcedure");
    texts_.Attr(c.Protocol, &cloud, "protocol");
}

void TFeedRSSReader::ReadImage(const TXmlElement& image, TpkRSSFeedImage& i) {
    texts_.Text(i.URL, image.FindChild(u"url"));
    texts_.Text(i.Title, image.FindChild(u"title"));
    texts_.Text(i.Link, image.FindChild(u"link"));
    texts_.Text(i.Description, image.FindChild(u"description"));
    i.Width = static_cast<std::uint16_t>(ChildInt(image, u"width", 0));
    i.Height = static_cast<std::uint16_t>(ChildInt(image, u"height", 0));
}

void TFeedRSSReader::ReadTextInput(const TXmlElement& input, TpkRSSFeedTextInput& t) {
    texts_.Text(t.Title, input.FindChild(u"title"));
    texts_.Text(t.Description, input.FindChild(u"description"));
    texts_.Text(t.Name, input.FindChild(u"name"));
    texts_.Text(t.Link, input.FindChild(u"link"));
}

// Each `hour` from 0 to 23; anything else is passed over.
TpkRSSFeedSkipHoursSet TFeedRSSReader::ReadSkipHours(const TXmlElement& hours) {
    TpkRSSFeedSkipHoursSet set;
    for (int i = 0; i < hours.ChildCount(); ++i) {
        const TXmlNode* hour = hours.Child(i);
        if (hour->NodeType() != XML_ELEMENT_NODE || hour->NodeName() != u"hour") continue;
        const std::int32_t h = TextToIntDef(texts_.TextView(hour), -1);
        if (h >= 0 && h <= 23) set.Include(static_cast<TpkRSSFeedSkipHours>(h));
    }
    return set;
}

// Each `day` named in any case; a name with blanks around it is passed over.
TpkRSSFeedSkipDaysSet TFeedRSSReader::ReadSkipDays(const TXmlElement& days) {
    static const char* const kDays[] = {"Monday", "Tuesday", "Wednesday", "Thursday", "Friday", "Saturday", "Sunday"};
    TpkRSSFeedSkipDaysSet set;
    for (int i = 0; i < days.ChildCount(); ++i) {
        const TXmlNode* day = days.Child(i);
        if (day->NodeType() != XML_ELEMENT_NODE || day->NodeName() != u"day") continue;
        std::string name = AsciiLowered(texts_.TextView(day));
        if (name.size() > 5) name[0] = AsciiUpper(name[0]);
        for (int d = 0; d < 7; ++d)
            if (name == kDays[d]) set.Include(static_cast<TpkRSSFeedSkipDays>(d));
    }
    return set;
}

void TFeedRSSReader::ReadItem(const TXmlNode& node, TpkRSSFeedItem& item, TpkRSSFeed* offerTo) {
    // One walk finds the first child of each name, and where the enclosures begin.
    std::array<const TXmlNode*, kFieldCount> first{};
    const int count = node.ChildCount();
    int firstEnclosure = count;
    for (int i = 0; i < count; ++i) {
        const TXmlNode* child = node.Child(i);
        const int field = FieldOf(*child);
        if (field < 0 || first[static_cast<size_t>(field)] != nullptr) continue;
        first[static_cast<size_t>(field)] = child;
        if (field == kEnclosure) firstEnclosure = i;
    }
    texts_.Text(item.Title, first[kTitle]);
    texts_.Text(item.Link, first[kLink]);
    texts_.Text(item.Description, first[kDescription]);
    texts_.Text(item.Author, first[kAuthor]);
    // Every field is set, present or not: the item may be one of the load before, kept for its
    // memory.
    TpkRSSFeedItemCategory& category = item.Category();
    texts_.Text(category.Title, first[kCategory]);
    texts_.Attr(category.Domain, first[kCategory], "domain");
    texts_.Text(item.Comments, first[kComments]);
    item.SetPubDate(texts_.TextView(first[kPubDate]));
    TpkRSSFeedItemGuid& guidField = item.Guid();
    texts_.Text(guidField.URL, first[kGuid]);
    if (const TXmlNode* guid = first[kGuid]) {
        // Cleaning cannot make "true" of anything else, nor the reverse: the raw value serves.
        const std::string_view permaLink = texts_.RawAttr(*guid, "isPermaLink");
        guidField.IsPermaLink = EqualsIgnoringAsciiCase(permaLink, "true");
        guidField.PermaLinkStated = !permaLink.empty() || (guid->AttrCount() > 0 && guid->HasAttr(u"isPermaLink"));
    } else {
        guidField.IsPermaLink = guidField.PermaLinkStated = false;
    }
    texts_.Text(item.Source().Title, first[kSource]);
    texts_.Attr(item.Source().URL, first[kSource], "url");
    ReadEnclosures(node, firstEnclosure, item, offerTo);
}

void TFeedRSSReader::ReadEnclosures(const TXmlNode& node, int from, TpkRSSFeedItem& item, TpkRSSFeed* offerTo) {
    TpkRSSFeedItemEnclosureCollection& enclosures = item.Enclosure();
    // An enclosure of the load before that a download entry serves goes, with its link, as it
    // always went; one that none serves is filled again.
    for (int k = 0; k < enclosures.Count(); ++k)
        if (enclosures[k]->DownloadItem != nullptr) {
            enclosures.Clear();
            break;
        }
    int read = 0;
    for (int i = from; i < node.ChildCount(); ++i) {
        const TXmlNode* child = node.Child(i);
        if (FieldOf(*child) != kEnclosure) continue;
        TpkRSSFeedItemEnclosure* enclosure = enclosures.Renew(read);
        if (enclosure == nullptr) enclosure = enclosures.Add();
        ++read;
        texts_.Attr(enclosure->URL, child, "url");
        enclosure->ContentLength = ParseSizeText(texts_.AttrView(*child, "length"));
        texts_.Attr(enclosure->ContentType, child, "type");
        if (offerTo != nullptr) offerTo->OfferEnclosure(*enclosure);
    }
    enclosures.Truncate(read);
}

TFeedRSSItemSink::TFeedRSSItemSink(TXmlNameTable& names, TpkRSSFeedItemCollection& items)
    : TXmlElementSink(3), reader_(names), items_(items), rssId_(names.Intern(u"rss")), channelId_(names.Intern(u"channel")),
      itemId_(names.Intern(u"item")) {}

void TFeedRSSItemSink::ParseBegun() {
    rootSeen_ = inRss_ = channelSeen_ = inChannel_ = false;
    count_ = 0;
}

void TFeedRSSItemSink::ElementStarted(const TXmlElement& element, int depth) {
    // The root is the first top-level element, the channel the root's first child of that name:
    // the ones the model is read from after the document.
    if (depth == 1 && !rootSeen_) {
        rootSeen_ = true;
        inRss_ = element.NameId() == rssId_;
    } else if (depth == 2 && inRss_ && !channelSeen_ && element.NameId() == channelId_) {
        channelSeen_ = inChannel_ = true;
    }
}

bool TFeedRSSItemSink::ElementEnded(const TXmlElement& element, int depth) {
    if (depth == 3 && inChannel_ && element.NameId() == itemId_) {
        reader_.ReadItem(element, *items_.Spare(count_), nullptr);
        ++count_;
        return true;
    }
    if (depth == 2) inChannel_ = false;
    if (depth == 1) inRss_ = false;
    return false;
}

}  // namespace tw
