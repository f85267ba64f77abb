#pragma once
// Reads an RSS 0.9x/2.0 document (root `rss`, a `channel` holding the items) into the model.
#include "rss/FeedFields.h"
#include "rss/RSSFeedModel.h"
#include "xml/XmlDom.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace tw {

class TpkRSSFeed;

// One reader serves one document. The element names it asks for are entered in the document's
// name table once, so each item's children are told apart by one walk and an integer compare.
class TFeedRSSReader {
public:
    // `names` is the table of the document to be read, before or after it is read.
    explicit TFeedRSSReader(TXmlNameTable& names);

    // Channel data: each field is the text of the channel's first child of its name ("" when
    // there is none); category, cloud, image, text input and the skip sets as the RSS elements
    // say, numbers by the integer-text rule (0 when not a number).
    void ReadChannel(const TXmlElement& channel, TpkRSSFeedElements& e);
    // True for an element named `item`.
    bool IsItem(const TXmlNode& node) const;
    // Asks the processor early for the memory of the parent's child at `index`, a few children
    // before it is read: nothing is read, so any index is safe.
    static void PrefetchChild(const TXmlNode& parent, int index);
    // One item: title, link, description, author, category, comments, pubDate (through its
    // setter), guid and source from the first child of each name, then every enclosure in order.
    // With `offerTo`, each enclosure is offered to that feed's download queue as soon as it is read.
    // Every field is set, so `item` may be one of an earlier load, kept for its memory.
    void ReadItem(const TXmlNode& node, TpkRSSFeedItem& item, TpkRSSFeed* offerTo);

private:
    enum Field : std::int8_t {
        kTitle, kLink, kDescription, kAuthor, kCategory, kComments, kPubDate, kGuid, kSource, kEnclosure,
        kFieldCount,
    };
    enum ChannelField : std::int8_t {
        cTitle, cLink, cDescription, cLanguage, cCopyright, cManagingEditor, cWebMaster, cPubDate,
        cLastBuildDate, cCategory, cGenerator, cDocs, cCloud, cTtl, cImage, cTextInput, cSkipHours, cSkipDays,
        kChannelFieldCount,
    };
    using ChannelFields = std::array<const TXmlElement*, kChannelFieldCount>;
    // The channel's first child of each field's name (null where there is none).
    ChannelFields FindChannelFields(const TXmlElement& channel) const;
    void ReadCloud(const TXmlElement& cloud, TpkRSSFeedCloud& c);
    void ReadImage(const TXmlElement& image, TpkRSSFeedImage& i);
    void ReadTextInput(const TXmlElement& input, TpkRSSFeedTextInput& t);
    TpkRSSFeedSkipHoursSet ReadSkipHours(const TXmlElement& hours);
    TpkRSSFeedSkipDaysSet ReadSkipDays(const TXmlElement& days);
    int FieldOf(const TXmlNode& node) const;
    // The item's enclosures: the `enclosure` children from index `from` on, in order.
    void ReadEnclosures(const TXmlNode& node, int from, TpkRSSFeedItem& item, TpkRSSFeed* offerTo);
    std::int32_t ChildInt(const TXmlNode& node, std::u16string_view name, std::int32_t def);

    std::vector<std::int8_t> fieldOfName_;  // by name id: the item field, -1 for any other name
    std::vector<std::int8_t> channelFieldOfName_;  // the same for the channel's fields
    int itemId_ = -1;
    TFeedTextReader texts_;
};

// Reads the items of an RSS document while the XML reader makes it: each `item` of the first
// `channel` of an `rss` root is read into the next spare of the collection as soon as it is whole,
// while its subtree is still in the cache, and is then left out of the document. A large feed's
// tree is far larger than the cache; read afterwards, every item was fetched from memory twice
// more, to be read and to be freed. Spares leave the model as it was until the load is known
// good (CommitSpares).
class TFeedRSSItemSink final : public TXmlElementSink {
public:
    // `names` is the table the document will be read on. It hears of the root (depth 1), the
    // channel (2) and the channel's children (3).
    TFeedRSSItemSink(TXmlNameTable& names, TpkRSSFeedItemCollection& items);
    // True when the document had an `rss` root with a `channel`: its items are the first Count()
    // spares, and the channel holds no item any more.
    bool Took() const { return channelSeen_; }
    int Count() const { return count_; }
    TFeedRSSReader& Reader() { return reader_; }

    void ParseBegun() override;
    void ElementStarted(const TXmlElement& element, int depth) override;
    bool ElementEnded(const TXmlElement& element, int depth) override;

private:
    TFeedRSSReader reader_;
    TpkRSSFeedItemCollection& items_;
    int rssId_, channelId_, itemId_;
    bool rootSeen_ = false, inRss_ = false, channelSeen_ = false, inChannel_ = false;
    int count_ = 0;
};

}  // namespace tw
