#include "rss/pkHTTPDownloadQueue.h"

#include "net/UrlUtils.h"
#include "rss/FeedText.h"
#include "rss/pkRSSFeed.h"
#include "xml/XmlDom.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace tw {

namespace fs = std::filesystem;

namespace {

constexpr std::uint8_t kEnclosurePriority = 3;

bool IsSeparator(char c) { return c == '\\' || c == '/'; }

std::string WithSeparator(std::string folder) {
    if (!folder.empty() && !IsSeparator(folder.back())) folder.push_back(static_cast<char>(fs::path::preferred_separator));
    return folder;
}

// The part after the last path separator or drive colon.
std::string FileNamePart(const std::string& name) {
    const size_t cut = name.find_last_of("\\/:");
    return cut == std::string::npos ? name : name.substr(cut + 1);
}

void CreateFoldersOf(const std::string& fileName) {
    const fs::path parent = PathFromUtf8(fileName).parent_path();
    std::error_code ignored;  // a failure shows up when the file itself is written
    if (!parent.empty()) fs::create_directories(parent, ignored);
}

TpkFileAttributes WithoutArchive(TpkFileAttributes attributes) {
    attributes.Exclude(atrArchive);
    return attributes;
}

// Counts how deep the entry is inside its HTTP component's events, so it is not freed while
// the component that raises them is still on the stack.
class EventScope {
public:
    explicit EventScope(int& depth) : depth_(depth) { ++depth_; }
    ~EventScope() { --depth_; }
    EventScope(const EventScope&) = delete;
    EventScope& operator=(const EventScope&) = delete;

private:
    int& depth_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// TpkDownloadQueueItem

TpkDownloadQueueItem::TpkDownloadQueueItem(TpkHTTPDownloadQueue& queue) : queue_(&queue) {}

TpkDownloadQueueItem::~TpkDownloadQueueItem() {
    NotifyLinks();
    http_.reset();
}

int TpkDownloadQueueItem::Index() const { return removed_ ? -1 : queue_->IndexOf(this); }

void TpkDownloadQueueItem::AddLink(const void* object, TpkDownloadLinkCallback callback, void* data) {
    Links.push_back({object, std::move(callback), data});
}

bool TpkDownloadQueueItem::RemoveLink(const void* object) {
    const auto it = std::find_if(Links.begin(), Links.end(),
                                 [object](const TpkDownloadQueueItemLink& l) { return l.LinkedObject == object; });
    if (it == Links.end()) return false;
    Links.erase(it);
    return true;
}

void TpkDownloadQueueItem::UnlinkEnclosure(TpkRSSFeedItemEnclosure& enclosure) {
    RemoveLink(&enclosure);
    if (!Links.empty() || removed_) return;
    // An enclosure outside any feed has no say; the default of a feed is to remove.
    const auto* feed = dynamic_cast<const TpkRSSFeed*>(enclosure.Feed());
    if (feed == nullptr || feed->RemoveUnlinkedDownloads) queue_->DeleteItem(this);
}

void TpkDownloadQueueItem::NotifyLinks() {
    std::vector<TpkDownloadQueueItemLink> links;
    links.swap(Links);
    for (auto& link : links)
        if (link.Callback) link.Callback(*this, link.Data);
}

// ---------------------------------------------------------------------------------------------
// Settings groups

void TpkDownloadTempNames::Assign(const TpkPersistent* source) {
    if (source == nullptr) {
        SetEnabled(false);
        Folder.clear();
        Extension.clear();
        RandomLength = 0;
        return;
    }
    const auto* other = dynamic_cast<const TpkDownloadTempNames*>(source);
    if (other == nullptr) AssignError(source);
    Folder = other->Folder;
    Extension = other->Extension;
    RandomLength = other->RandomLength;
    SetEnabled(other->Enabled());
}

void TpkDownloadStateFile::Assign(const TpkPersistent* source) {
    if (source == nullptr) {
        SetEnabled(false);
        FileName.clear();
        SaveOnAdd = SaveOnDelete = SaveOnClear = true;
        return;
    }
    const auto* other = dynamic_cast<const TpkDownloadStateFile*>(source);
    if (other == nullptr) AssignError(source);
    FileName = other->FileName;
    SaveOnAdd = other->SaveOnAdd;
    SaveOnDelete = other->SaveOnDelete;
    SaveOnClear = other->SaveOnClear;
    SetEnabled(other->Enabled());
}

// ---------------------------------------------------------------------------------------------
// TpkHTTPDownloadQueue

TpkHTTPDownloadQueue::TpkHTTPDownloadQueue(TpkComponent* owner) : TpkComponent(owner) {}

TpkHTTPDownloadQueue::~TpkHTTPDownloadQueue() {
    Destroying();
    // Tell every linked object first, so none keeps a pointer to an entry freed below; the feed
    // hears of this queue's end only afterwards, from the component base.
    for (auto it = items_.rbegin(); it != items_.rend(); ++it) {
        (*it)->removed_ = true;
        (*it)->NotifyLinks();
    }
    items_.clear();
    retired_.clear();
}

TpkDownloadQueueItem* TpkHTTPDownloadQueue::Items(int index) const {
    if (index < 0 || index >= Count()) return nullptr;
    return items_[static_cast<size_t>(index)].get();
}

int TpkHTTPDownloadQueue::IndexOf(const TpkDownloadQueueItem* item) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (items_[i].get() == item) return static_cast<int>(i);
    return -1;
}

TpkDownloadQueueItem* TpkHTTPDownloadQueue::FindByURL(const std::string& url) const {
    for (const auto& item : items_)
        if (item->URL == url) return item.get();
    return nullptr;
}

TpkDownloadQueueItem* TpkHTTPDownloadQueue::EnqueueURL(const std::string& url) {
    return Enqueue(url, "", kEnclosurePriority, false, "");
}

TpkDownloadQueueItem* TpkHTTPDownloadQueue::Enqueue(const std::string& url, std::string target, std::uint8_t priority,
                                                    bool startNow, std::string tempTarget) {
    FreeRemoved();
    if (TpkDownloadQueueItem* found = FindByURL(url)) {
        if (startNow) StartItem(*found);
        return found;
    }
    if (target.empty()) {
        const std::string local = URLToLocalName(url, false);
        // A URL that cannot be split gives no name; a download into "" (or into the folder
        // itself) would fail or overwrite something that is not ours.
        if (local.empty()) return nullptr;
        target = DownloadFolder.empty() ? local : WithSeparator(DownloadFolder) + local;
    }
    if (TempNames.Enabled() && tempTarget.empty()) tempTarget = MakeTempTarget(target);

    std::int64_t present = 0;
    const TargetState state = CheckTarget(target, present);
    if (state == TargetState::Complete) {
        if (OnAlreadyDownloaded) OnAlreadyDownloaded(*this, target);
        return nullptr;
    }
    auto item = std::make_unique<TpkDownloadQueueItem>(*this);
    item->URL = url;
    item->Target = std::move(target);
    item->TempTarget = std::move(tempTarget);
    item->Priority = priority;
    if (state == TargetState::Partial) {
        item->Received = static_cast<std::int32_t>(present);
        item->ReceivedAtStart = item->Received;
    }
    TpkDownloadQueueItem* added = item.get();
    items_.push_back(std::move(item));
    SaveState(StateFile.SaveOnAdd);
    if (startNow) StartItem(*added);
    if (OnItemQueued && !added->removed_) OnItemQueued(*this, *added);
    return added->removed_ ? nullptr : added;
}

TpkHTTPDownloadQueue::TargetState TpkHTTPDownloadQueue::CheckTarget(const std::string& target,
                                                                    std::int64_t& size) const {
    TpkFileAttributes attributes;
    if (!ReadAttributes || !ReadAttributes(target, attributes)) return TargetState::Missing;
    const TpkFileAttributes complete = WithoutArchive(OutputFileAttributes.Complete);
    const TpkFileAttributes incomplete = WithoutArchive(OutputFileAttributes.Incomplete);
    // When the two sets cannot be told apart, a present file can only be taken as complete.
    if (complete == incomplete || WithoutArchive(attributes) != incomplete) return TargetState::Complete;
    std::error_code error;
    const auto bytes = fs::file_size(PathFromUtf8(target), error);
    size = error ? 0 : static_cast<std::int64_t>(bytes);
    return TargetState::Partial;
}

std::string TpkHTTPDownloadQueue::MakeTempTarget(const std::string& target) {
    std::string name = FileNamePart(target);
    if (!TempNames.Folder.empty()) name = WithSeparator(TempNames.Folder) + name;
    if (TempNames.RandomLength > 0) {
        if (!seeded_) {
            random_.seed(std::random_device{}());
            seeded_ = true;
        }
        std::uniform_int_distribution<int> letter('a', 'z');
        name.push_back('.');
        for (int i = 0; i < TempNames.RandomLength; ++i) name.push_back(static_cast<char>(letter(random_)));
    }
    if (!TempNames.Extension.empty()) {
        if (TempNames.Extension.front() != '.') name.push_back('.');
        name += TempNames.Extension;
    }
    return name;
}

bool TpkHTTPDownloadQueue::StartItem(TpkDownloadQueueItem& item) {
    if (item.removed_) return false;
    FreeRemoved();
    if (!item.http_) {
        item.http_ = CreateHTTP ? CreateHTTP() : std::make_unique<TpkHTTPPragmaNoCache>();
        TpkHTTPPragmaNoCache& http = *item.http_;
        http.AcceptTypes = AcceptTypes;
        http.RequestHeaders = RequestHeaders;
        http.Agent = Agent;
        http.OutputFileAttributes = OutputFileAttributes;
        http.Proxy.Assign(&Proxy);
        http.SetThreadPriority(ThreadPriority);
        http.Timeouts = Timeouts;
        http.TransferBufferSize = TransferBufferSize;
        http.URL = item.URL;
        http.OutputFileName = item.TempTarget.empty() ? item.Target : item.TempTarget;
        http.LinkedItem = &item;
        if (ForceDirectories) CreateFoldersOf(http.OutputFileName);
        ConnectEvents(item);
    }
    // Where the worker runs inline (native builds), the whole transfer and its completion
    // happen inside Resume; the entry is then counted as started but never as active.
    const std::int32_t receivedBefore = item.Received;
    item.starting_ = true;
    item.endedWhileStarting_ = false;
    const bool accepted = item.http_->Resume();
    item.starting_ = false;
    if (!accepted) return false;
    item.ReceivedAtStart = receivedBefore;
    ++item.StartCount;
    if (!item.endedWhileStarting_ && !item.removed_) {
        item.active_ = true;
        SetActiveCount(activeCount_ + 1);
    }
    return true;
}

void TpkHTTPDownloadQueue::AbortItem(TpkDownloadQueueItem& item) {
    if (item.http_) item.http_->Abort();
}

void TpkHTTPDownloadQueue::DeleteItem(TpkDownloadQueueItem* item) {
    const int index = IndexOf(item);
    if (index < 0) return;
    Remove(static_cast<size_t>(index));
    SaveState(StateFile.SaveOnDelete);
}

void TpkHTTPDownloadQueue::Delete(int index) { DeleteItem(Items(index)); }

void TpkHTTPDownloadQueue::Clear(bool keepRunning, bool abortRunning) {
    for (size_t i = items_.size(); i-- > 0;) {
        if (i >= items_.size()) continue;  // a callback removed more than one
        TpkDownloadQueueItem& item = *items_[i];
        const bool running = item.http_ && item.http_->Running();
        if (!keepRunning || !running) {
            Remove(i);
        } else if (abortRunning) {
            AbortItem(item);
        }
    }
    SaveState(StateFile.SaveOnClear);
}

void TpkHTTPDownloadQueue::Remove(size_t index) {
    std::unique_ptr<TpkDownloadQueueItem> item = std::move(items_[index]);
    items_.erase(items_.begin() + static_cast<std::ptrdiff_t>(index));
    item->removed_ = true;
    if (item->http_ && item->http_->Running()) item->http_->Abort();
    EndActive(*item);
    item->NotifyLinks();
    Retire(std::move(item));
}

void TpkHTTPDownloadQueue::Retire(std::unique_ptr<TpkDownloadQueueItem> item) {
    const bool inUse = item->eventDepth_ > 0 || item->starting_ || (item->http_ && item->http_->Busy());
    if (inUse) {
        retired_.push_back(std::move(item));
    }
    // Otherwise it goes here, with its HTTP component.
}

void TpkHTTPDownloadQueue::FreeRemoved() {
    std::erase_if(retired_, [](const std::unique_ptr<TpkDownloadQueueItem>& item) {
        return item->eventDepth_ == 0 && !item->starting_ && !(item->http_ && item->http_->Busy());
    });
}

void TpkHTTPDownloadQueue::SetActiveCount(int value) {
    if (value == activeCount_) return;
    activeCount_ = value;
    if (OnActiveCountChanged) OnActiveCountChanged(*this, value);
}

void TpkHTTPDownloadQueue::EndActive(TpkDownloadQueueItem& item) {
    if (item.active_) {
        item.active_ = false;
        SetActiveCount(activeCount_ - 1);
    } else if (item.starting_) {
        item.endedWhileStarting_ = true;
    }
}

void TpkHTTPDownloadQueue::SaveState(bool trigger) const {
    if (!trigger || IsDesigning() || !StateFile.Enabled() || StateFile.FileName.empty()) return;
    SaveToFile(StateFile.FileName);
}

bool TpkHTTPDownloadQueue::SaveToFile(const std::string& fileName) const {
    try {
        auto doc = CreateXmlDocument("downloads", "1.0", "iso-8859-1");
        auto root = doc->DocumentElement();
        for (const auto& item : items_) {
            auto download = root->AppendElement(u"download");
            download->SetAttr(u"target", Utf8ToUtf16(item->Target));
            if (!item->TempTarget.empty()) download->SetAttr(u"temptarget", Utf8ToUtf16(item->TempTarget));
            if (item->Size != -1) download->SetAttr(u"size", Utf8ToUtf16(std::to_string(item->Size)));
            if (item->Received != -1) download->SetAttr(u"received", Utf8ToUtf16(std::to_string(item->Received)));
            // The priority and the start count each keep a name of their own.
            download->SetAttr(u"priority", Utf8ToUtf16(std::to_string(item->Priority)));
            download->SetAttr(u"startcount", Utf8ToUtf16(std::to_string(item->StartCount)));
            auto source = download->AppendElement(u"source");
            source->SetAttr(u"url", Utf8ToUtf16(item->URL));
        }
        doc->Save(PathFromUtf8(fileName));
        return true;
    } catch (...) {
        return false;
    }
}

// ---------------------------------------------------------------------------------------------
// Entry handlers

void TpkHTTPDownloadQueue::ConnectEvents(TpkDownloadQueueItem& item) {
    ConnectProgressEvents(item);
    ConnectEndingEvents(item);
    ConnectLoginEvents(item);
}

// What the entry learns while it runs: its size, what has arrived, where it was sent.
void TpkHTTPDownloadQueue::ConnectProgressEvents(TpkDownloadQueueItem& item) {
    TpkHTTPPragmaNoCache& http = *item.http_;
    TpkDownloadQueueItem* it = &item;
    http.OnHeaderInfo = [this, it](TpkComponent&, int status, const std::string& raw, const std::string& type,
                                   const std::string& language, const std::string& encoding, std::int32_t length,
                                   const std::string& location, double date, double modified, double expires,
                                   const std::string& etag, bool& continueDownload) {
        EventScope scope(it->eventDepth_);
        if (it->removed_) return;
        it->Size = length;
        if (OnItemContentLength) OnItemContentLength(*this, *it, status, length);
        if (OnItemHeaderInfo && !it->removed_)
            OnItemHeaderInfo(*this, *it, status, raw, type, language, encoding, length, location, date, modified,
                             expires, etag, continueDownload);
    };
    http.OnProgress = [this, it](TpkComponent&, const std::string& type, std::int32_t dataSize, std::int32_t bytesRead,
                                 std::int32_t elapsed, std::int32_t left, std::uint8_t percents, float rate,
                                 TpkStream* stream) {
        EventScope scope(it->eventDepth_);
        if (it->removed_) return;
        it->Received = bytesRead;
        if (OnItemProgress) OnItemProgress(*this, *it, type, dataSize, bytesRead, elapsed, left, percents, rate, stream);
    };
    // Raised on the worker thread: it touches nothing but the relay.
    http.OnRedirect = [this, it](TpkComponent&, const std::string& newURL) {
        if (OnItemRedirect) OnItemRedirect(*this, *it, newURL);
    };
}

// How the entry's transfer ends: the events that end it as active, then the failures relayed.
void TpkHTTPDownloadQueue::ConnectEndingEvents(TpkDownloadQueueItem& item) {
    TpkHTTPPragmaNoCache& http = *item.http_;
    TpkDownloadQueueItem* it = &item;
    http.OnDone = [this, it](TpkComponent&, const std::string& type, std::int32_t dataSize, TpkStream* stream) {
        EventScope scope(it->eventDepth_);
        if (it->removed_) return;
        OnDoneOf(*it, type, dataSize, stream);
    };
    const auto ending = [this, it](TpkQueueItemEvent TpkHTTPDownloadQueue::*event) {
        return [this, it, event](TpkComponent&) {
            EventScope scope(it->eventDepth_);
            if (it->removed_) return;
            EndActive(*it);
            if (this->*event) (this->*event)(*this, *it);
        };
    };
    http.OnFailed = ending(&TpkHTTPDownloadQueue::OnItemFailed);
    http.OnAborted = ending(&TpkHTTPDownloadQueue::OnItemAborted);
    http.OnCancelled = ending(&TpkHTTPDownloadQueue::OnItemCancelled);
    const auto relay = [this, it](TpkQueueItemEvent TpkHTTPDownloadQueue::*event) {
        return [this, it, event](TpkComponent&) {
            EventScope scope(it->eventDepth_);
            if (!it->removed_ && this->*event) (this->*event)(*this, *it);
        };
    };
    http.OnHostUnreachable = relay(&TpkHTTPDownloadQueue::OnItemHostUnreachable);
    http.OnOutputFileError = relay(&TpkHTTPDownloadQueue::OnItemOutputFileError);
    http.OnConnLost = [this, it](TpkComponent&, const std::string& type, std::int32_t fileSize, std::int32_t bytesRead,
                                 TpkStream* stream) {
        EventScope scope(it->eventDepth_);
        if (!it->removed_ && OnItemConnLost) OnItemConnLost(*this, *it, type, fileSize, bytesRead, stream);
    };
    http.OnError = [this, it](TpkComponent&, int status, TpkStream* stream) {
        EventScope scope(it->eventDepth_);
        if (!it->removed_ && OnItemError) OnItemError(*this, *it, status, stream);
    };
}

void TpkHTTPDownloadQueue::ConnectLoginEvents(TpkDownloadQueueItem& item) {
    TpkHTTPPragmaNoCache& http = *item.http_;
    TpkDownloadQueueItem* it = &item;
    http.OnPasswordRequest = [this, it](TpkComponent&, const std::string& realm, bool& tryAgain) {
        EventScope scope(it->eventDepth_);
        if (!it->removed_ && OnItemPasswordRequest) OnItemPasswordRequest(*this, *it, realm, tryAgain);
    };
    http.OnProxyAuthenticationRequest = [this, it](TpkComponent&, std::string& user, std::string& password,
                                                   bool& tryAgain) {
        EventScope scope(it->eventDepth_);
        if (!it->removed_ && OnItemProxyAuthenticationRequest)
            OnItemProxyAuthenticationRequest(*this, *it, user, password, tryAgain);
    };
}

void TpkHTTPDownloadQueue::OnDoneOf(TpkDownloadQueueItem& item, const std::string& contentType, std::int32_t dataSize,
                                    TpkStream* stream) {
    EndActive(item);
    item.Received = dataSize;
    item.Size = dataSize;
    if (OnItemDone) OnItemDone(*this, item, contentType, dataSize, stream);
    if (item.removed_) return;
    const std::string written = item.http_->OutputFileName;
    if (written != item.Target) {
        if (ForceDirectories) CreateFoldersOf(item.Target);
        std::error_code error;
        fs::copy_file(PathFromUtf8(written), PathFromUtf8(item.Target), fs::copy_options::overwrite_existing, error);
        if (error) {
            // The finished data stays in the temporary file and the entry stays queued: reporting
            // it downloaded, or deleting the only copy, would lose the download.
            if (OnItemOutputFileError) OnItemOutputFileError(*this, item);
            return;
        }
        fs::remove(PathFromUtf8(written), error);
    }
    if (OnItemDownloaded) OnItemDownloaded(*this, item);
    if (item.removed_) return;
    const int index = IndexOf(&item);
    if (index >= 0) {
        Remove(static_cast<size_t>(index));
        SaveState(StateFile.SaveOnDelete);
    }
}

}  // namespace tw
