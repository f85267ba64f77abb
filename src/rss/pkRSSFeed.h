#pragma once
// The feed component: turns a feed address, a file, a stream or a text into the content model,
// reports the outcome through a fixed sequence of events, forwards its HTTP component's events
// under its own name, and can hand its items' enclosures to a download queue.
#include "base/pkClasses.h"
#include "net/pkHTTP.h"
#include "rss/FeedDiscovery.h"
#include "rss/FeedFormats.h"
#include "rss/RSSFeedModel.h"

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

class TFeedCache;
class TpkHTTPDownloadQueue;
class TpkDownloadQueueItem;
class TXmlElement;
class TXmlNode;
class TFeedRSSReader;
class TFeedRSSItemSink;

enum TThreadPriority : int { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

using TpkRSSEnclosureCanEnqueueEvent =
    std::function<void(TpkComponent& Sender, TpkRSSFeedItemEnclosure& Enclosure, bool& Enqueue)>;
using TpkRSSEnclosureQueuedEvent = std::function<void(TpkComponent& Sender, TpkRSSFeedItemEnclosure& Enclosure)>;
using TpkRSSEnclosureContentLengthUpdatedEvent =
    std::function<void(TpkComponent& Sender, TpkRSSFeedItemEnclosure& Enclosure, std::int32_t RealContentLength)>;

// Buckets of the name table each load parses on (a table of its own per load).
inline constexpr int kFeedNameBuckets = 256;

// "pkRSSFeedReader" and, in parentheses, the component's vendor.
inline constexpr const char* kDefaultRSSFeedAgent = "pkRSSFeedReader (tidewire.invalid)";

// What the ticker allows one feed load: the whole transfer within 60 s, the body within 16 MB
// (the HTTP component's own defaults, no deadline and 256 MB, serve other callers).
inline constexpr std::uint32_t kFeedTransferDeadline = 60000;
inline constexpr std::int64_t kFeedMaxMemorySize = 16ll * 1024 * 1024;
// The deadline in milliseconds given by `text` (a test hook's value): whole decimal numbers from
// 100 to 600000; anything else, or no text, gives kFeedTransferDeadline.
std::uint32_t FeedTransferDeadline(const char* text);

class TpkRSSFeed : public TpkComponent {
public:
    // `internet` replaces the platform's internet operations of the owned HTTP component (tests).
    explicit TpkRSSFeed(TpkComponent* owner = nullptr, std::unique_ptr<TInternetApi> internet = nullptr);
    ~TpkRSSFeed() override;
    const char* ClassName() const override { return "TpkRSSFeed"; }

    // ---- Loading. No parsing failure leaves these as an exception; an exception raised by an
    // event handler passes through to the caller.

    // False at once, raising nothing, while the HTTP component is busy or HTTP().URL is empty.
    // Otherwise the HTTP component's Get(wait) and its result; the parse and the events follow
    // on completion. An exception raised while starting the transfer propagates.
    bool LoadFromURL(bool wait = false);
    // The whole file (UTF-8 name); a missing or unreadable file is an empty text (parse error).
    bool LoadFromFile(const std::string& fileName);
    // The stream from position 0 (fromStart) or from its position, to its end.
    bool LoadFromStream(TpkStream& stream, bool fromStart);
    // Decodes the bytes (byte-order mark, declared encoding, else UTF-8 or Windows-1252), parses
    // them and fills the model; raises the load events; true on success.
    bool LoadFromString(std::string_view text);

    // Empties FeedCodePage, resets FeedElements, clears FeedItems.
    void Clear();
    // Copies another feed's content and settings, or resets them all when `source` is null.
    void Assign(const TpkRSSFeed* source);

    // ---- Content.
    std::string FeedCodePage;  // the declaration's encoding as written, "" when there is none
    TpkRSSFeedElements& FeedElements() { return *elements_; }
    const TpkRSSFeedElements& FeedElements() const { return *elements_; }
    TpkRSSFeedItemCollection& FeedItems() { return *items_; }
    const TpkRSSFeedItemCollection& FeedItems() const { return *items_; }
    // Sum of the items' EnclosureSize, wrapping at 2^32.
    std::uint32_t EnclosureSize() const;
    double LastUpdate = 0;  // date-time of the last successful fetch; 0 = none

    // Trims the fields the trimming pass covers (run after a parse when TrimStrings is set).
    void TrimFeedStrings();

    // ---- Settings.
    bool KeepOutdatedItems = false;
    bool TrimStrings = false;
    // The dialects a load accepts; a document of any other raises OnRSSNotRSSError. RSS only by
    // default; the ticker's feed takes Atom and RSS 1.0 as well (TpkRSSFeedFormats::All()).
    TpkRSSFeedFormats AcceptedFormats;
    // Polite reloads: the ETag and Last-Modified of each address's last good answer, and that
    // answer, are kept for the program's run and sent back as If-None-Match / If-Modified-Since.
    // A 304 then raises OnRSSNotModified and keeps the model when it still holds that address's
    // items, or loads the kept answer again (another feed was shown meanwhile).
    bool ConditionalGet = false;
    // A client publishers welcome and users can trust: no cookies, no writes to the system's
    // HTTP cache (the kept copy is ours), a compressed body asked for, a redirect from https to
    // http refused, and the certificate checks on whatever options are set (the options that
    // turn them off are taken out at every load). Off by default; off again takes out what on
    // put in, except the certificate options.
    bool PoliteClient() const { return polite_; }
    void SetPoliteClient(bool value);
    TThreadPriority ThreadPriority() const;
    void SetThreadPriority(TThreadPriority value);
    const std::string& HTTPAgent() const { return http_->Agent; }
    void SetHTTPAgent(std::string value) { http_->Agent = std::move(value); }
    TpkHTTPProxy& HTTPProxy() { return http_->Proxy; }
    const TpkHTTPProxy& HTTPProxy() const { return http_->Proxy; }
    const std::string& HTTPUsername() const;
    void SetHTTPUsername(std::string value);
    const std::string& HTTPPassword() const;
    void SetHTTPPassword(std::string value);
    TpkBufferSize HTTPTransferBufferSize() const { return http_->TransferBufferSize; }
    void SetHTTPTransferBufferSize(TpkBufferSize value);
    bool WaitThread() const { return http_->WaitThread(); }
    void SetWaitThread(bool value) { http_->SetWaitThread(value); }
    std::uint32_t WaitTimeout() const { return http_->WaitTimeout(); }
    void SetWaitTimeout(std::uint32_t value) { http_->SetWaitTimeout(value); }

    // ---- Kept copy.
    // Where each good answer from the network is kept, with its validators and freshness (the
    // cache is the caller's and must outlive the feed; null keeps nothing). A 304 renews the
    // kept copy's times.
    TFeedCache* FeedCache() const { return cache_; }
    void SetFeedCache(TFeedCache* cache) { cache_ = cache; }
    // Loads the kept copy of HTTP().URL, offline too, raising the load events as a text load
    // does, and takes its validators as if it had just been fetched, so the next LoadFromURL of
    // that address is conditional (with ConditionalGet) and a 304 keeps the model. False, with
    // no event, without a cache, a copy or while a transfer runs; otherwise the parse result.
    bool LoadKeptCopy();

    // The owned HTTP component; its URL is the feed's address.
    TpkHTTPPragmaNoCache& HTTP() { return *http_; }
    const TpkHTTPPragmaNoCache& HTTP() const { return *http_; }

    // ---- Download queue.
    TpkHTTPDownloadQueue* DownloadQueue() const { return queue_; }
    void SetDownloadQueue(TpkHTTPDownloadQueue* queue);
    bool RemoveUnlinkedDownloads = true;
    // Deletes from the queue every entry that serves one of this feed's enclosures.
    void DetachDownloads();
    // Hands one enclosure of an item of FeedItems to the queue (nothing without a queue).
    void OfferEnclosure(TpkRSSFeedItemEnclosure& enclosure);

    // ---- Events (Sender is always this feed).
    TpkNotifyEvent OnRSSLoaded;
    TpkNotifyEvent OnRSSLoadError;
    TpkNotifyEvent OnRSSParseError;
    TpkNotifyEvent OnRSSNotRSSError;
    TpkNotifyEvent OnRSSNotModified;  // a conditional load was answered 304; nothing changed
    // A network answer that is a web page whose head links feeds (IsHtmlPage, DiscoverFeeds),
    // raised with those feeds before the page is parsed; a handler that takes them over sets
    // Handled, and then no load event follows. Unassigned, or not handled, the page fails as
    // any document that is no feed does.
    std::function<void(TpkRSSFeed& Sender, const std::vector<TDiscoveredFeed>& Feeds, bool& Handled)>
        OnRSSFeedsDiscovered;
    TpkRSSEnclosureCanEnqueueEvent OnRSSEnclosureCanEnqueue;
    TpkRSSEnclosureQueuedEvent OnRSSEnclosureQueued;
    TpkRSSEnclosureQueuedEvent OnRSSEnclosureAlreadyDownloaded;
    TpkRSSEnclosureContentLengthUpdatedEvent OnRSSEnclosureContentLengthUpdated;
    TpkHTTPHeaderInfoEvent OnHTTPHeaderInfo;
    TpkHTTPConnLostEvent OnHTTPConnLost;
    TpkHTTPErrorEvent OnHTTPError;
    TpkHTTPPasswordRequestEvent OnHTTPPasswordRequest;
    TpkHTTPProxyAuthenticationEvent OnHTTPProxyAuthenticationRequest;
    TpkHTTPProgressEvent OnHTTPProgress;
    // Before an owner lets the feed go: a load still under way then reports its end to nobody.
    void DisconnectLoadEvents() {
        OnRSSLoaded = nullptr;
        OnRSSNotModified = nullptr;
        OnRSSLoadError = nullptr;
        OnRSSParseError = nullptr;
        OnRSSNotRSSError = nullptr;
        OnRSSFeedsDiscovered = nullptr;
        OnHTTPError = nullptr;
    }
    TpkNotifyEvent OnHTTPHostUnreachable;
    TpkThreadWaitTimeoutExpired OnWaitTimeoutExpired;

protected:
    void Notification(TpkComponent* component, TOperation operation) override;

private:
    enum class ParseResult { Loaded, NotRSS, ParseError };
    ParseResult Parse(std::string_view text);
    // Whether a load merges its items into those there (KeepOutdatedItems).
    bool MergesItems() const;
    // Whether a load reads its items while the document is read, into spares that replace the
    // items once it is known good: only where no handler can see an item being filled, so
    // neither when merging nor with a download queue.
    bool ReadsItemsWithTheDocument() const;
    // Fills the model from the root element, taking the items the sink read (when it took any);
    // false when anything inside failed.
    bool BuildModel(const TXmlElement& root, std::string encoding, TpkRSSFeedFormat format, TFeedRSSItemSink* sink);
    void ReadDialect(const TXmlElement& root, TpkRSSFeedFormat format, bool merge);
    struct MergeState;
    // Reads the item with whichever reader is given (one of the two) and merges it into FeedItems.
    void MergeItem(const TXmlNode& node, MergeState& state, TFeedRSSReader* rss, const TFeedDialectReader* dialect);
    void ConnectHTTPEvents();
    // Takes out the options that turn a certificate check off.
    void KeepCertificateChecks();
    void Raise(const TpkNotifyEvent& event) {
        if (event) event(*this);
    }

    std::unique_ptr<TpkRSSFeedElements> elements_;
    std::unique_ptr<TpkRSSFeedItemCollection> items_;
    std::unique_ptr<TpkHTTPPragmaNoCache> http_;
    TpkHTTPDownloadQueue* queue_ = nullptr;
    TFeedCache* cache_ = nullptr;
    bool polite_ = false;

    struct Validators {
        std::string ETag, LastModified;  // header values as the server sent them
        std::string Body;                // the answer they stand for
        std::string Charset;             // the Content-Type charset it came with ("" = none)
    };
    void AddValidators();
    void KeepValidators(std::string body);
    // The kept copy of the running load's answer: written after a good one, its times renewed
    // after a 304.
    void StoreKeptCopy(const std::string& body);
    void RenewKeptCopy();
    std::int64_t FreshUntilNow() const;
    void LoadKeptAnswer();
    // Raises OnRSSFeedsDiscovered for a page that links feeds; true when its handler took them.
    bool FeedsDiscoveredIn(const std::string& contentType, std::string_view body);
    // LoadFromString of an answer to requestURL_, which relative links then resolve against.
    bool LoadAnswer(std::string_view body);
    std::map<std::string, Validators> validators_;  // by requested address
    std::vector<std::string> validatorHeaders_;     // the lines AddValidators put in RequestHeaders
    std::string contentURL_;   // the address whose answer the model holds ("" = none or not known)
    std::string requestURL_;   // the address of the running load
    std::string documentURL_;  // the address the text being parsed came from ("" = not known)
    Validators answered_;      // validators of the running load's answer
    // The server's charset for the answer about to be parsed; Parse takes it (and so clears it),
    // so a file, stream or text load never decodes by a charset some server sent.
    std::string transportCharset_;
    bool sentValidators_ = false;
    bool modelIsCurrent_ = false;  // the running load may keep the model on a 304
    bool notModified_ = false;
};

}  // namespace tw
