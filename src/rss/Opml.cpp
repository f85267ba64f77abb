#include "rss/Opml.h"

#include "base/AsciiText.h"
#include "rss/FeedText.h"
#include "xml/XmlDom.h"

#include <algorithm>
#include <fstream>
#include <new>
#include <system_error>

namespace tw {

std::vector<int> TOpmlOutlines::FolderChain(int folder) const {
    std::vector<int> chain;
    // Parents stand below their children, so the walk ends even on a table built by hand.
    for (int at = folder; at >= 0 && at < static_cast<int>(Folders.size()); at = Folders[at].Parent) {
        chain.push_back(at);
        if (Folders[at].Parent >= at) break;
    }
    std::reverse(chain.begin(), chain.end());
    return chain;
}

std::vector<std::string> TOpmlOutlines::FolderPath(int folder, size_t maxDepth) const {
    std::vector<int> chain = FolderChain(folder);
    if (chain.size() > maxDepth) chain.resize(maxDepth);
    std::vector<std::string> path;
    for (int at : chain) path.push_back(Folders[at].Title);
    return path;
}

namespace {

// Sees each element as the reader makes it and frees it at once, so a large document never
// stands in memory as a tree.
class TOpmlSink final : public TXmlElementSink {
public:
    TOpmlSink() : TXmlElementSink(kXmlMaxDepth) {}

    void ParseBegun() override { *this = TOpmlSink(); }

    void ElementStarted(const TXmlElement& element, int depth) override {
        frames_.resize(static_cast<size_t>(depth - 1));
        if (depth == 1) {
            // The reader takes more than one top-level element; the first is the root.
            Push(RootSeen ? Kind::Other : Kind::Root);
            if (!RootSeen) Opml = element.NameIs("opml");
            RootSeen = true;
            return;
        }
        if (!Opml) return;
        const Kind parent = frames_.back().kind;
        if (parent == Kind::Root && element.NameIs("body")) {
            Push(Kind::Body);
        } else if (parent != Kind::Other && element.NameIs("outline")) {
            Push(Kind::Outline);
            ReadOutline(element);
        } else {
            Push(Kind::Other);
        }
    }

    bool ElementEnded(const TXmlElement&, int) override { return true; }

    bool RootSeen = false;
    bool Opml = false;
    TOpmlOutlines Outlines;
    size_t OtherTypes = 0;
    size_t LeftOut = 0;

private:
    enum class Kind { Root, Body, Outline, Other };
    struct Frame {
        Kind kind;
        std::string title;  // an outline's, kept in case it turns out to be a folder
        int folder = -1;    // its index in Outlines.Folders once a feed inside needs it
    };

    void ReadOutline(const TXmlElement& element) {
        std::string address, type, text, title, category;
        for (int i = 0; i < element.AttrCount(); ++i) {
            const std::string name = Utf16ToUtf8(element.AttrName(i));
            std::string* into = EqualsIgnoringAsciiCase(name, "xmlUrl") ? &address
                                : EqualsIgnoringAsciiCase(name, "type")     ? &type
                                : EqualsIgnoringAsciiCase(name, "text")     ? &text
                                : EqualsIgnoringAsciiCase(name, "title")    ? &title
                                : EqualsIgnoringAsciiCase(name, "category") ? &category
                                                                            : nullptr;
            if (into && into->empty()) *into = TrimAsciiWhitespace(Utf16ToUtf8(element.AttrValue(i).ToText()));
        }
        frames_.back().title = text.empty() ? title : text;
        if (address.empty()) return;
        if (!type.empty() && !EqualsIgnoringAsciiCase(type, "rss") && !EqualsIgnoringAsciiCase(type, "atom")) {
            ++OtherTypes;
            return;
        }
        if (Outlines.Feeds.size() >= kOpmlMaxFeeds) {
            ++LeftOut;
            return;
        }
        Outlines.Feeds.push_back({std::move(address), title.empty() ? std::move(text) : std::move(title),
                                  HoldsDisabled(category), FolderOfParent()});
    }

    // OPML's category is a comma-separated list of slash-delimited names.
    static bool HoldsDisabled(std::string_view category) {
        while (!category.empty()) {
            const size_t comma = category.find(',');
            const std::string_view item = TrimAsciiWhitespace(category.substr(0, comma));
            if (EqualsIgnoringAsciiCase(item, "disabled") || EqualsIgnoringAsciiCase(item, "/disabled")) return true;
            category = comma == std::string_view::npos ? std::string_view() : category.substr(comma + 1);
        }
        return false;
    }

    // The folder of the outline being read: its enclosing outlines become folders, top first,
    // the first time a feed stands in them.
    int FolderOfParent() {
        size_t top = frames_.size() - 1;  // frames_.back() is the feed's own outline
        while (top > 0 && frames_[top - 1].kind == Kind::Outline && frames_[top - 1].folder < 0) --top;
        for (size_t i = top; i + 1 < frames_.size(); ++i) {
            const int parent = i > 0 && frames_[i - 1].kind == Kind::Outline ? frames_[i - 1].folder : -1;
            Outlines.Folders.push_back({frames_[i].title, parent});
            frames_[i].folder = static_cast<int>(Outlines.Folders.size()) - 1;
        }
        const Frame& parent = frames_[frames_.size() - 2];
        return parent.kind == Kind::Outline ? parent.folder : -1;
    }

    void Push(Kind kind) { frames_.push_back(Frame{kind, {}, -1}); }

    std::vector<Frame> frames_;  // frames_[d - 1] stands for the open element at depth d
};

// As a feed is read: a UTF-8 text straight, anything else decoded first.
void LoadDecoded(TXmlDocument& doc, std::string_view bytes, TXmlElementSink& sink) {
    const TFeedCharsetChoice choice = ChooseFeedCharset(bytes, {}, false);
    if (choice.Charset == TFeedCharset::fcUtf8 && doc.TryLoadUtf8XML(bytes.substr(choice.MarkLength), &sink)) return;
    doc.LoadUtf8XML(DecodeFeedTextToUtf8(bytes), &sink);
}

TOpmlReadResult Failed(TOpmlStatus status, std::string problem, bool opmlRoot = false) {
    TOpmlReadResult result;
    result.Status = status;
    result.Problem = std::move(problem);
    result.OpmlRoot = opmlRoot;
    return result;
}

}  // namespace

TOpmlReadResult ReadOpml(std::string_view bytes) {
    if (bytes.size() > kOpmlMaxFileBytes) return Failed(TOpmlStatus::osTooLarge, {});
    TOpmlSink sink;
    try {
        // A table of its own: the shared one never forgets a name, and a hostile file can
        // bring any number of them.
        const XmlPtr<TXmlDocument> doc = CreateXmlDocument({}, "1.0", "iso-8859-1", new TXmlNameTable());
        LoadDecoded(*doc, bytes, sink);
    } catch (const EXmlError& e) {
        return Failed(TOpmlStatus::osUnreadable, e.what(), sink.Opml);
    } catch (const std::bad_alloc&) {
        return Failed(TOpmlStatus::osUnreadable, "out of memory", sink.Opml);
    }
    if (!sink.RootSeen || !sink.Opml) return Failed(TOpmlStatus::osNotOpml, {});
    TOpmlReadResult result;
    result.Status = TOpmlStatus::osRead;
    result.OpmlRoot = true;
    result.Outlines = std::move(sink.Outlines);
    result.OtherTypes = sink.OtherTypes;
    result.LeftOut = sink.LeftOut;
    return result;
}

TOpmlReadResult ReadOpmlFile(const std::filesystem::path& file) {
    std::error_code error;
    const auto size = std::filesystem::file_size(file, error);
    if (error) return Failed(TOpmlStatus::osCannotOpen, error.message());
    if (size > kOpmlMaxFileBytes) return Failed(TOpmlStatus::osTooLarge, {});
    std::ifstream in(file, std::ios::binary);
    std::string bytes(static_cast<size_t>(size), '\0');
    if (!in.read(bytes.data(), static_cast<std::streamsize>(bytes.size())))
        return Failed(TOpmlStatus::osCannotOpen, std::make_error_code(std::errc::io_error).message());
    return ReadOpml(bytes);
}

}  // namespace tw
