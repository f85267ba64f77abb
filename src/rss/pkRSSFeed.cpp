#include "rss/pkRSSFeed.h"

#include "rss/FeedCache.h"
#include "rss/FeedRSSReader.h"
#include "rss/FeedText.h"
#include "rss/pkHTTPDownloadQueue.h"
#include "base/AsciiText.h"
#include "base/pkUtils.h"
#include "xml/XmlDom.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <unordered_map>
#include <utility>

namespace tw {

namespace {

// Reads the feed's bytes into the document. UTF-8 (after any byte-order mark) is parsed as it
// stands, without a copy in another form; other charsets, and UTF-8 holding stray bytes that are
// not UTF-8 (read as Windows-1252 one by one), are decoded to UTF-8 first. Bytes that nothing
// names a charset for are tried as UTF-8 unchecked: the reader checks them as it goes, so they
// are not scanned twice, and they are decoded as before when they are not UTF-8.
void LoadFeedXml(TXmlDocument& doc, std::string_view bytes, std::string_view transportCharset = {},
                 TXmlElementSink* sink = nullptr) {
    const TFeedCharsetChoice choice = ChooseFeedCharset(bytes, transportCharset, false);
    if (choice.Charset == TFeedCharset::fcUtf8 && doc.TryLoadUtf8XML(bytes.substr(choice.MarkLength), sink)) return;
    doc.LoadUtf8XML(DecodeFeedTextToUtf8(bytes, transportCharset), sink);
}

// The value of the first `name:` line of a raw header block (name in any case), blanks
// trimmed; "" when there is none.
std::string HeaderValue(std::string_view raw, std::string_view name) {
    while (!raw.empty()) {
        const size_t end = raw.find('\n');
        std::string_view line = raw.substr(0, end);
        raw = end == std::string_view::npos ? std::string_view() : raw.substr(end + 1);
        const size_t colon = line.find(':');
        if (colon == std::string_view::npos || !EqualsIgnoringAsciiCase(line.substr(0, colon), name)) continue;
        return std::string(TrimSpacesTabsAndTrailingCRs(line.substr(colon + 1)));
    }
    return {};
}

// A validator is sent back as a header line: one holding a line break or a control character
// could add headers of the server's choosing, and an overlong one is no honest validator.
std::string SafeValidator(std::string value) {
    constexpr size_t kMaxValidator = 1024;
    if (value.size() > kMaxValidator) return {};
    for (char c : value)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) return {};
    return value;
}

// Addresses whose validators are kept at most; past it the oldest knowledge is simply dropped.
constexpr size_t kMaxKeptValidators = 256;

}  // namespace

// ---------------------------------------------------------------------------------------------
// Construction

TpkRSSFeed::TpkRSSFeed(TpkComponent* owner, std::unique_ptr<TInternetApi> internet)
    : TpkComponent(owner),
      elements_(std::make_unique<TpkRSSFeedElements>(this)),
      items_(std::make_unique<TpkRSSFeedItemCollection>(this)),
      http_(std::make_unique<TpkHTTPPragmaNoCache>(this, std::move(internet))) {
    http_->Agent = kDefaultRSSFeedAgent;
    ConnectHTTPEvents();
}

TpkRSSFeed::~TpkRSSFeed() {
    Destroying();
    http_.reset();
    items_.reset();
    elements_.reset();
}

// ---------------------------------------------------------------------------------------------
// The ticker's limits

std::uint32_t FeedTransferDeadline(const char* text) {
    if (text == nullptr || *text == '\0' || std::strlen(text) > 6) return kFeedTransferDeadline;
    std::uint32_t value = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return kFeedTransferDeadline;
        value = value * 10 + static_cast<std::uint32_t>(*p - '0');
    }
    return value >= 100 && value <= 600000 ? value : kFeedTransferDeadline;
}

// ---------------------------------------------------------------------------------------------
// Settings kept in the HTTP component

TThreadPriority TpkRSSFeed::ThreadPriority() const { return static_cast<TThreadPriority>(http_->ThreadPriority()); }
void TpkRSSFeed::SetThreadPriority(TThreadPriority value) { http_->SetThreadPriority(static_cast<int>(value)); }
const std::string& TpkRSSFeed::HTTPUsername() const { return http_->Username(); }
void TpkRSSFeed::SetHTTPUsername(std::string value) { http_->SetUsername(std::move(value)); }
const std::string& TpkRSSFeed::HTTPPassword() const { return http_->Password(); }
void TpkRSSFeed::SetHTTPPassword(std::string value) { http_->SetPassword(std::move(value)); }

void TpkRSSFeed::SetHTTPTransferBufferSize(TpkBufferSize value) {
    // The type's range is 255 to 2147483647; anything smaller is taken as the smallest.
    http_->TransferBufferSize = value < 255 ? 255 : value;
}

// ---------------------------------------------------------------------------------------------
// Loading

bool TpkRSSFeed::LoadFromURL(bool wait) {
    if (http_->Busy() || http_->URL.empty()) return false;
    if (polite_) KeepCertificateChecks();  // no option set since then turns a check off
    AddValidators();
    return http_->Get(wait);
}

void TpkRSSFeed::SetPoliteClient(bool value) {
    polite_ = value;
    TpkHTTPOptions& options = http_->Options;
    for (TpkHTTPOption privacy : {hoNoCookies, hoNoCacheWrite}) {
        if (value) options.Include(privacy);
        else options.Exclude(privacy);
    }
    if (value) KeepCertificateChecks();
    http_->AcceptCompression = value;
    http_->RefuseInsecureRedirects = value;
}

void TpkRSSFeed::KeepCertificateChecks() {
    for (TpkHTTPOption check : {hoIgnoreCertCNInvalid, hoIgnoreCertDateInvalid, hoIgnoreUnknownAuthority,
                                hoIgnoreRedirectToHTTP})
        http_->Options.Exclude(check);
}

bool TpkRSSFeed::LoadKeptCopy() {
    if (cache_ == nullptr || http_->Busy() || http_->URL.empty()) return false;
    std::optional<TFeedKeptCopy> copy = cache_->Find(http_->URL);
    if (!copy) return false;
    requestURL_ = copy->URL;
    transportCharset_ = copy->Charset;
    if (!LoadAnswer(copy->Body)) return false;
    contentURL_ = requestURL_;
    constexpr double kUnixEpochDays = 25569.0;
    LastUpdate = UTCToLocalTime(kUnixEpochDays + static_cast<double>(copy->FetchedAt) / (24.0 * kMsPerHour));
    answered_ = {copy->ETag, copy->LastModified, {}, copy->Charset};
    KeepValidators(std::move(copy->Body));
    return true;
}

std::int64_t TpkRSSFeed::FreshUntilNow() const {
    const TpkTimeMs now = WallClockNowMs();
    const TpkTimeMs ttl = static_cast<TpkTimeMs>(FeedElements().TTL) * kMsPerMinute;
    return now + std::min(std::max(FreshnessLifetimeMs(http_->ResponseHeaders(), now), ttl), kMaxFreshnessMs);
}

void TpkRSSFeed::StoreKeptCopy(const std::string& body) {
    if (cache_ == nullptr) return;
    cache_->Keep({requestURL_, body, answered_.ETag, answered_.LastModified, answered_.Charset, WallClockNowMs(),
                  FreshUntilNow()});
}

void TpkRSSFeed::RenewKeptCopy() {
    if (cache_ == nullptr) return;
    std::optional<TFeedKeptCopy> copy = cache_->Find(requestURL_);
    if (!copy) return;
    copy->FetchedAt = WallClockNowMs();
    copy->FreshUntil = FreshUntilNow();
    cache_->Keep(*copy);
}

void TpkRSSFeed::AddValidators() {
    // The lines of the previous load go first: another address, or the setting turned off,
    // must not send them again.
    std::vector<std::string>& headers = http_->RequestHeaders;
    for (const std::string& line : validatorHeaders_)
        if (auto it = std::find(headers.begin(), headers.end(), line); it != headers.end()) headers.erase(it);
    validatorHeaders_.clear();
    requestURL_ = http_->URL;
    answered_ = {};
    notModified_ = false;
    sentValidators_ = false;
    // A 304 only says "what you had is current": what we had is the model while it still holds
    // this address's items (a file load or cleared items end that), else the kept answer.
    modelIsCurrent_ = contentURL_ == requestURL_ && FeedItems().Count() > 0;
    if (!ConditionalGet) return;
    const auto found = validators_.find(requestURL_);
    if (found == validators_.end() || (!modelIsCurrent_ && found->second.Body.empty())) return;
    if (!found->second.ETag.empty()) validatorHeaders_.push_back("If-None-Match: " + found->second.ETag);
    if (!found->second.LastModified.empty())
        validatorHeaders_.push_back("If-Modified-Since: " + found->second.LastModified);
    headers.insert(headers.end(), validatorHeaders_.begin(), validatorHeaders_.end());
    sentValidators_ = !validatorHeaders_.empty();
}

void TpkRSSFeed::KeepValidators(std::string body) {
    if (!ConditionalGet) return;
    contentURL_ = requestURL_;
    validators_.erase(requestURL_);
    if (answered_.ETag.empty() && answered_.LastModified.empty()) return;
    // The kept answers together stay within what one load may bring; older ones make room.
    size_t kept = body.size();
    for (const auto& [url, v] : validators_) kept += v.Body.size();
    if (kept > static_cast<size_t>(kFeedMaxMemorySize) || validators_.size() >= kMaxKeptValidators) validators_.clear();
    if (body.size() > static_cast<size_t>(kFeedMaxMemorySize)) return;
    answered_.Body = std::move(body);
    validators_[requestURL_] = std::move(answered_);
}

void TpkRSSFeed::LoadKeptAnswer() {
    const auto found = validators_.find(requestURL_);
    const std::string body = found == validators_.end() ? std::string() : found->second.Body;
    transportCharset_ = found == validators_.end() ? std::string() : found->second.Charset;
    if (LoadAnswer(body)) {
        LastUpdate = NowDateTime();
        contentURL_ = requestURL_;
    }
}

bool TpkRSSFeed::LoadAnswer(std::string_view body) {
    // Relative links in the answer resolve against the address that gave it; a handler that
    // raises must not leave that address behind for the next text load.
    struct Forget {
        std::string& url;
        ~Forget() { url.clear(); }
    } forget{documentURL_};
    documentURL_ = requestURL_;
    return LoadFromString(body);
}

bool TpkRSSFeed::LoadFromFile(const std::string& fileName) { return LoadFromString(ReadFileToString(fileName)); }

bool TpkRSSFeed::LoadFromStream(TpkStream& stream, bool fromStart) {
    return LoadFromString(ReadStreamToString(stream, fromStart));
}

bool TpkRSSFeed::LoadFromString(std::string_view text) {
    contentURL_.clear();  // whatever comes of it, the model no longer holds an address's answer
    switch (Parse(text)) {
        case ParseResult::Loaded:
            if (TrimStrings) TrimFeedStrings();
            Raise(OnRSSLoaded);
            return true;
        case ParseResult::NotRSS:
            Raise(OnRSSNotRSSError);
            Raise(OnRSSLoadError);
            return false;
        case ParseResult::ParseError:
            break;
    }
    Raise(OnRSSParseError);
    Raise(OnRSSLoadError);
    return false;
}

TpkRSSFeed::ParseResult TpkRSSFeed::Parse(std::string_view text) {
    try {
        // A table of its own per load (kFeedNameBuckets): the shared one keeps every name it ever
        // saw, and a feed that invents new element names on each reload would grow it for the
        // life of the program.
        const XmlPtr<TXmlNameTable> names(new TXmlNameTable(kFeedNameBuckets));
        auto doc = CreateXmlDocument("", "1.0", "iso-8859-1", names);
        std::optional<TFeedRSSItemSink> sink;
        if (ReadsItemsWithTheDocument()) sink.emplace(*names, FeedItems());
        LoadFeedXml(*doc, text, std::exchange(transportCharset_, std::string()), sink ? &*sink : nullptr);
        const XmlPtr<TXmlElement> root = doc->DocumentElement();
        if (!root) return ParseResult::ParseError;  // an empty text, or one without any element
        const TpkRSSFeedFormat format = FeedFormatOf(*root);
        if (!AcceptedFormats.Contains(format)) return ParseResult::NotRSS;
        std::string encoding;
        if (doc->ChildCount() > 0 && doc->Child(0)->NodeName() == u"xml") encoding = FeedAttrOf(doc->Child(0), "encoding");
        return BuildModel(*root, std::move(encoding), format, sink ? &*sink : nullptr) ? ParseResult::Loaded
                                                                                       : ParseResult::ParseError;
    } catch (const EXmlError&) {
        return ParseResult::ParseError;
    } catch (const std::exception&) {
        return ParseResult::ParseError;
    }
}

// ---------------------------------------------------------------------------------------------
// Building the model

struct TpkRSSFeed::MergeState {
    explicit MergeState(bool indexed) : Indexed(indexed) {}
    int InsertAt = 0;  // where the next item new to the collection goes
    // Without a download queue no event handler runs while items merge, so nothing but the merge
    // changes the collection and the first item of each title can be kept in a map; with one (a
    // handler may change the items), each item is looked for among all, as before (a walk per
    // item: quadratic in a large feed).
    bool Indexed;
    bool Built = false;
    std::unordered_map<std::string, TpkRSSFeedItem*> ByTitle;
};

bool TpkRSSFeed::MergesItems() const { return KeepOutdatedItems && FeedItems().Count() > 0; }
bool TpkRSSFeed::ReadsItemsWithTheDocument() const { return !MergesItems() && queue_ == nullptr; }

bool TpkRSSFeed::BuildModel(const TXmlElement& root, std::string encoding, TpkRSSFeedFormat format,
                            TFeedRSSItemSink* sink) {
    const bool merge = MergesItems();
    const bool streamed = sink != nullptr && sink->Took();  // an `rss` root, so format is ffRSS
    try {
        if (merge || streamed) {
            FeedCodePage.clear();
            FeedElements().Assign(nullptr);
        } else {
            Clear();
        }
        FeedCodePage = std::move(encoding);
        if (format != ffRSS) {
            ReadDialect(root, format, merge);
            return true;
        }
        const std::string from = FeedAttrOf(&root, "from");
        if (!from.empty()) http_->URL = from;
        LastUpdate = RFC822ToDateTime(FeedAttrOf(&root, "time"));

        const TXmlElement* channel = root.FindChild(u"channel");
        if (streamed) {
            // The items were read with the document (and are no longer in it).
            FeedItems().CommitSpares(sink->Count());
            sink->Reader().ReadChannel(*channel, FeedElements());
            return true;
        }
        if (channel == nullptr || !channel->HasChildNodes()) return true;
        TFeedRSSReader reader(root.NameTable());
        reader.ReadChannel(*channel, FeedElements());

        MergeState state(queue_ == nullptr);
        // The channel's children bound its items: counting them exactly would touch every item
        // once more, cold at 20 MB.
        if (!merge) FeedItems().Reserve(channel->ChildCount());
        constexpr int kPrefetchAhead = 2;  // items; about 2.4 KB of tree each in the benchmark's feed
        for (int i = 0; i < channel->ChildCount(); ++i) {
            TFeedRSSReader::PrefetchChild(*channel, i + kPrefetchAhead);
            TXmlNode& node = *channel->Child(i);
            if (!reader.IsItem(node)) continue;
            if (merge) MergeItem(node, state, &reader, nullptr);
            else reader.ReadItem(node, *FeedItems().Add(), this);
            // Freed while it is still in the cache: with the document, at the end of a large
            // feed, each node would be fetched from memory once more.
            node.ClearChildNodes();
        }
        return true;
    } catch (...) {
        return false;  // what was read stays
    }
}

void TpkRSSFeed::ReadDialect(const TXmlElement& root, TpkRSSFeedFormat format, bool merge) {
    const TFeedDialectReader reader(root, format, documentURL_);
    reader.ReadChannel(FeedElements());
    MergeState state(queue_ == nullptr);
    for (const TXmlNode* node : reader.Items()) {
        if (merge) {
            MergeItem(*node, state, nullptr, &reader);
            continue;
        }
        TpkRSSFeedItem& item = *FeedItems().Add();
        reader.ReadItem(*node, item);
        for (int i = 0; i < item.Enclosure().Count(); ++i) OfferEnclosure(*item.Enclosure().Items(i));
    }
}

void TpkRSSFeed::MergeItem(const TXmlNode& node, MergeState& state, TFeedRSSReader* rss,
                           const TFeedDialectReader* dialect) {
    TpkRSSFeedItem fresh;  // free-standing: no collection, no feed, so nothing is offered yet
    std::exception_ptr failure;
    try {
        if (dialect) dialect->ReadItem(node, fresh);
        else rss->ReadItem(node, fresh, nullptr);
    } catch (...) {
        failure = std::current_exception();
    }
    // Whether or not reading finished, what was read is merged.
    TpkRSSFeedItem* known = nullptr;
    if (state.Indexed) {
        if (!state.Built) {
            for (int i = 0; i < FeedItems().Count(); ++i) state.ByTitle.emplace(FeedItems().Items(i)->Title, FeedItems().Items(i));
            state.Built = true;
        }
        if (const auto found = state.ByTitle.find(fresh.Title); found != state.ByTitle.end()) known = found->second;
    } else {
        for (int i = 0; i < FeedItems().Count() && known == nullptr; ++i)
            if (FeedItems().Items(i)->Title == fresh.Title) known = FeedItems().Items(i);
    }
    if (known == nullptr) {
        TpkRSSFeedItem& added = *FeedItems().Insert(state.InsertAt++);
        added.CopyFrom(fresh, false);
        if (state.Indexed) state.ByTitle.emplace(added.Title, &added);
        for (int i = 0; i < added.Enclosure().Count(); ++i) OfferEnclosure(*added.Enclosure().Items(i));
    } else {
        known->CopyFrom(fresh, true);
    }
    if (failure) std::rethrow_exception(failure);
}

// ---------------------------------------------------------------------------------------------
// Content operations

void TpkRSSFeed::Clear() {
    contentURL_.clear();
    FeedCodePage.clear();
    FeedElements().Assign(nullptr);
    FeedItems().Clear();
}

std::uint32_t TpkRSSFeed::EnclosureSize() const {
    std::uint32_t sum = 0;
    for (int i = 0; i < FeedItems().Count(); ++i) sum += FeedItems().Items(i)->EnclosureSize();
    return sum;
}

void TpkRSSFeed::Assign(const TpkRSSFeed* source) {
    if (source == nullptr) {
        Clear();
        KeepOutdatedItems = true;
        TrimStrings = false;
        ConditionalGet = false;
        SetPoliteClient(false);
        AcceptedFormats = TpkRSSFeedFormats{};
        LastUpdate = 0;
        SetHTTPAgent(kDefaultRSSFeedAgent);
        SetHTTPUsername("");
        SetHTTPPassword("");
        HTTPProxy().Assign(nullptr);
        SetThreadPriority(tpNormal);
        http_->URL.clear();
        SetWaitThread(false);
        SetWaitTimeout(0);
        Tag = 0;
        return;
    }
    if (source == this) return;
    contentURL_.clear();
    FeedCodePage = source->FeedCodePage;
    FeedElements().Assign(&source->FeedElements());
    FeedItems().Assign(&source->FeedItems());
    KeepOutdatedItems = source->KeepOutdatedItems;
    TrimStrings = source->TrimStrings;
    ConditionalGet = source->ConditionalGet;
    SetPoliteClient(source->PoliteClient());
    AcceptedFormats = source->AcceptedFormats;
    LastUpdate = source->LastUpdate;
    SetHTTPAgent(source->HTTPAgent());
    SetHTTPUsername(source->HTTPUsername());
    SetHTTPPassword(source->HTTPPassword());
    HTTPProxy().Assign(&source->http_->Proxy);
    SetThreadPriority(source->ThreadPriority());
    http_->URL = source->http_->URL;
    SetWaitThread(source->WaitThread());
    SetWaitTimeout(source->WaitTimeout());
    Tag = source->Tag;
}

// ---------------------------------------------------------------------------------------------
// Download queue

void TpkRSSFeed::SetDownloadQueue(TpkHTTPDownloadQueue* queue) {
    if (queue == queue_) return;
    if (queue_) RemoveFreeNotification(queue_);
    queue_ = queue;
    if (queue_) FreeNotification(queue_);
}

void TpkRSSFeed::Notification(TpkComponent* component, TOperation operation) {
    TpkComponent::Notification(component, operation);
    if (operation == TOperation::opRemove && component != nullptr && component == queue_) {
        queue_ = nullptr;
        DetachDownloads();
    }
}

void TpkRSSFeed::DetachDownloads() {
    for (int i = 0; i < FeedItems().Count(); ++i) {
        TpkRSSFeedItem& item = *FeedItems().Items(i);
        for (int k = 0; k < item.Enclosure().Count(); ++k) {
            TpkRSSFeedItemEnclosure& enclosure = *item.Enclosure().Items(k);
            if (auto* entry = dynamic_cast<TpkDownloadQueueItem*>(enclosure.DownloadItem)) {
                enclosure.DownloadItem = nullptr;
                entry->Queue().DeleteItem(entry);
            }
        }
    }
}

void TpkRSSFeed::OfferEnclosure(TpkRSSFeedItemEnclosure& enclosure) {
    auto* feed = dynamic_cast<TpkRSSFeed*>(enclosure.Feed());
    if (feed == nullptr || feed->queue_ == nullptr) return;
    if (feed->OnRSSEnclosureCanEnqueue) {
        bool enqueue = true;
        feed->OnRSSEnclosureCanEnqueue(*feed, enclosure, enqueue);
        if (!enqueue) return;
    }
    TpkDownloadQueueItem* entry = feed->queue_->EnqueueURL(enclosure.URL);
    enclosure.DownloadItem = entry;
    if (entry != nullptr) {
        entry->AddLink(&enclosure, [](TpkDownloadQueueItem&, void* data) {
            static_cast<TpkRSSFeedItemEnclosure*>(data)->DownloadItem = nullptr;
        }, &enclosure);
        if (feed->OnRSSEnclosureQueued) feed->OnRSSEnclosureQueued(*feed, enclosure);
    } else if (feed->OnRSSEnclosureAlreadyDownloaded) {
        feed->OnRSSEnclosureAlreadyDownloaded(*feed, enclosure);
    }
}

// ---------------------------------------------------------------------------------------------
// Trimming

void TpkRSSFeed::TrimFeedStrings() { tw::TrimFeedStrings(FeedCodePage, FeedElements(), FeedItems()); }

// ---------------------------------------------------------------------------------------------
// HTTP events

bool TpkRSSFeed::FeedsDiscoveredIn(const std::string& contentType, std::string_view body) {
    if (!OnRSSFeedsDiscovered || !IsHtmlPage(contentType, body)) return false;
    const std::vector<TDiscoveredFeed> feeds = DiscoverFeeds(body, requestURL_);
    if (feeds.empty()) return false;
    bool handled = false;
    OnRSSFeedsDiscovered(*this, feeds, handled);
    if (handled) contentURL_.clear();  // the model holds no answer of the page
    return handled;
}

void TpkRSSFeed::ConnectHTTPEvents() {
    TpkHTTPPragmaNoCache& http = *http_;
    // Every event the feed uses is assigned whether or not the feed's own handler is, so the
    // HTTP component always takes its paths for an assigned handler (header values gathered,
    // the password step run on a 401).
    http.OnDone = [this](TpkComponent&, const std::string& type, std::int32_t, TpkStream* stream) {
        std::string body = stream ? ReadStreamToString(*stream, false) : std::string();
        if (FeedsDiscoveredIn(type, body)) return;
        transportCharset_ = answered_.Charset;
        if (LoadAnswer(body)) {
            LastUpdate = NowDateTime();
            StoreKeptCopy(body);
            KeepValidators(std::move(body));
        }
    };
    http.OnFailed = [this](TpkComponent&) {
        if (std::exchange(notModified_, false)) {
            RenewKeptCopy();
            if (!modelIsCurrent_) return LoadKeptAnswer();
            LastUpdate = NowDateTime();
            Raise(OnRSSNotModified);
            return;
        }
        Raise(OnRSSLoadError);
    };
    http.OnConnLost = [this](TpkComponent&, const std::string& type, std::int32_t fileSize, std::int32_t bytesRead,
                             TpkStream* stream) {
        if (OnHTTPConnLost) OnHTTPConnLost(*this, type, fileSize, bytesRead, stream);
    };
    http.OnHostUnreachable = [this](TpkComponent&) { Raise(OnHTTPHostUnreachable); };
    http.OnError = [this](TpkComponent&, int code, TpkStream* stream) {
        // Answered to the validators we sent: not a failure, and any body it carried is ignored.
        // A 304 to a request without them stays the HTTP error it is, as there is nothing to keep.
        if (code == 304 && sentValidators_) {
            notModified_ = true;
            return;
        }
        if (OnHTTPError) OnHTTPError(*this, code, stream);
    };
    http.OnHeaderInfo = [this](TpkComponent&, int code, const std::string& raw, const std::string& type,
                               const std::string& language, const std::string& encoding, std::int32_t length,
                               const std::string& location, double date, double modified, double expires,
                               const std::string& etag, bool& continueDownload) {
        answered_.Charset = CharsetOfContentType(type);  // the body is decoded by it before the declaration
        // Kept for the kept copy too; sent back only with ConditionalGet.
        answered_.ETag = SafeValidator(etag);
        answered_.LastModified = SafeValidator(HeaderValue(raw, "Last-Modified"));
        if (OnHTTPHeaderInfo)
            OnHTTPHeaderInfo(*this, code, raw, type, language, encoding, length, location, date, modified, expires,
                             etag, continueDownload);
    };
    http.OnProgress = [this](TpkComponent&, const std::string& type, std::int32_t dataSize, std::int32_t bytesRead,
                             std::int32_t elapsed, std::int32_t left, std::uint8_t percents, float rate,
                             TpkStream* stream) {
        if (OnHTTPProgress) OnHTTPProgress(*this, type, dataSize, bytesRead, elapsed, left, percents, rate, stream);
    };
    http.OnPasswordRequest = [this](TpkComponent&, const std::string& realm, bool& tryAgain) {
        if (OnHTTPPasswordRequest) OnHTTPPasswordRequest(*this, realm, tryAgain);
    };
    http.OnProxyAuthenticationRequest = [this](TpkComponent&, std::string& user, std::string& password,
                                               bool& tryAgain) {
        if (OnHTTPProxyAuthenticationRequest) OnHTTPProxyAuthenticationRequest(*this, user, password, tryAgain);
    };
    http.OnWaitTimeoutExpired = [this](TpkComponent&, bool& terminate) {
        if (OnWaitTimeoutExpired) OnWaitTimeoutExpired(*this, terminate);
    };
}

}  // namespace tw
