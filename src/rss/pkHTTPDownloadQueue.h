#pragma once
// The enclosure download queue: fetches each entry's URL into a file with an HTTP component of
// its own, resumes partial files, moves a finished download from its temporary name to its
// target and can record its entries in an XML state file. Entries are tied by links to the
// objects they serve (the feed's enclosures); each link's callback runs when its entry goes.
#include "base/pkClasses.h"
#include "net/pkHTTP.h"
#include "rss/RSSFeedModel.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace tw {

class TpkHTTPDownloadQueue;
class TpkDownloadQueueItem;

// Called when the entry a link belongs to is removed; `data` is the link's data value.
using TpkDownloadLinkCallback = std::function<void(TpkDownloadQueueItem& item, void* data)>;

struct TpkDownloadQueueItemLink {
    const void* LinkedObject = nullptr;
    TpkDownloadLinkCallback Callback;
    void* Data = nullptr;
};

// One download. Made by TpkHTTPDownloadQueue::Enqueue, removed by its own completion, by
// DeleteItem, by clearing, or when the last object linked to it goes.
class TpkDownloadQueueItem : public TpkEnclosureDownload {
public:
    explicit TpkDownloadQueueItem(TpkHTTPDownloadQueue& queue);
    ~TpkDownloadQueueItem() override;
    TpkDownloadQueueItem(const TpkDownloadQueueItem&) = delete;
    TpkDownloadQueueItem& operator=(const TpkDownloadQueueItem&) = delete;

    TpkHTTPDownloadQueue& Queue() const { return *queue_; }
    // Position in the queue's Items; -1 once removed.
    int Index() const;

    std::string Target;
    std::string TempTarget;
    std::string URL;
    std::uint8_t Priority = 0;
    std::int32_t StartCount = 0;
    std::int32_t Size = -1;      // -1 while no size is known
    std::int32_t Received = -1;  // -1 while nothing is known to be present
    std::int32_t ReceivedAtStart = -1;

    // The transfer component, made at the first start; none before.
    TpkHTTPPragmaNoCache* HTTP() const { return http_.get(); }
    // Whether a started transfer has not yet ended.
    bool Active() const { return active_; }

    std::vector<TpkDownloadQueueItemLink> Links;
    void AddLink(const void* object, TpkDownloadLinkCallback callback, void* data);
    // Removes the first link to `object`; false when there is none.
    bool RemoveLink(const void* object);
    // An enclosure linked to this entry is being destroyed: its link goes, and the entry with it
    // when no link is left and the enclosure's feed removes unlinked downloads.
    void UnlinkEnclosure(TpkRSSFeedItemEnclosure& enclosure) override;

private:
    friend class TpkHTTPDownloadQueue;
    // Runs and drops every link's callback (once).
    void NotifyLinks();

    TpkHTTPDownloadQueue* queue_;
    std::unique_ptr<TpkHTTPPragmaNoCache> http_;
    bool active_ = false;
    bool starting_ = false;            // inside StartItem's call of Resume
    bool endedWhileStarting_ = false;  // the transfer ended before Resume returned
    bool removed_ = false;   // out of Items; its events are no longer relayed
    int eventDepth_ = 0;     // inside one of its HTTP component's events
};

// Temporary names used while downloading.
class TpkDownloadTempNames : public TpkAddon {
public:
    using TpkAddon::TpkAddon;
    const char* ClassName() const override { return "TpkDownloadTempNames"; }
    void Assign(const TpkPersistent* source) override;
    std::string Folder;
    std::string Extension;
    std::uint8_t RandomLength = 0;
};

// The XML state file and when it is written.
class TpkDownloadStateFile : public TpkAddon {
public:
    using TpkAddon::TpkAddon;
    const char* ClassName() const override { return "TpkDownloadStateFile"; }
    void Assign(const TpkPersistent* source) override;
    std::string FileName;
    bool SaveOnAdd = true;
    bool SaveOnDelete = true;
    bool SaveOnClear = true;
};

using TpkQueueItemEvent = std::function<void(TpkHTTPDownloadQueue& Sender, TpkDownloadQueueItem& Item)>;
using TpkQueueAlreadyDownloadedEvent = std::function<void(TpkHTTPDownloadQueue& Sender, const std::string& FileName)>;
using TpkQueueContentLengthEvent =
    std::function<void(TpkHTTPDownloadQueue& Sender, TpkDownloadQueueItem& Item, int Status, std::int32_t ContentLength)>;
using TpkQueueHeaderInfoEvent = std::function<void(
    TpkHTTPDownloadQueue& Sender, TpkDownloadQueueItem& Item, int ErrorCode, const std::string& RawHeadersCRLF,
    const std::string& ContentType, const std::string& ContentLanguage, const std::string& ContentEncoding,
    std::int32_t ContentLength, const std::string& Location, double Date, double LastModified, double Expires,
    const std::string& ETag, bool& ContinueDownload)>;
using TpkQueueProgressEvent = std::function<void(
    TpkHTTPDownloadQueue& Sender, TpkDownloadQueueItem& Item, const std::string& ContentType, std::int32_t DataSize,
    std::int32_t BytesRead, std::int32_t ElapsedTime, std::int32_t EstimatedTimeLeft, std::uint8_t PercentsDone,
    float TransferRate, TpkStream* Stream)>;
using TpkQueueRedirectEvent =
    std::function<void(TpkHTTPDownloadQueue& Sender, TpkDownloadQueueItem& Item, const std::string& NewURL)>;
using TpkQueueDoneEvent = std::function<void(TpkHTTPDownloadQueue& Sender, TpkDownloadQueueItem& Item,
                                             const std::string& ContentType, std::int32_t DataSize, TpkStream* Stream)>;
using TpkQueueConnLostEvent =
    std::function<void(TpkHTTPDownloadQueue& Sender, TpkDownloadQueueItem& Item, const std::string& ContentType,
                       std::int32_t FileSize, std::int32_t BytesRead, TpkStream* Stream)>;
using TpkQueueErrorEvent =
    std::function<void(TpkHTTPDownloadQueue& Sender, TpkDownloadQueueItem& Item, int ErrorCode, TpkStream* Stream)>;
using TpkQueuePasswordRequestEvent = std::function<void(TpkHTTPDownloadQueue& Sender, TpkDownloadQueueItem& Item,
                                                        const std::string& Realm, bool& TryAgain)>;
using TpkQueueProxyAuthenticationEvent =
    std::function<void(TpkHTTPDownloadQueue& Sender, TpkDownloadQueueItem& Item, std::string& ProxyUsername,
                       std::string& ProxyPassword, bool& TryAgain)>;
using TpkQueueActiveCountEvent = std::function<void(TpkHTTPDownloadQueue& Sender, int NewCount)>;

// Reads a file's attributes; false when the file does not exist.
using TpkFileAttributeReader = std::function<bool(const std::string& fileName, TpkFileAttributes& attributes)>;
// The platform's reader (natively only read-only is known, and archive is taken as set).
bool ReadPlatformFileAttributes(const std::string& fileName, TpkFileAttributes& attributes);

class TpkHTTPDownloadQueue : public TpkComponent {
public:
    explicit TpkHTTPDownloadQueue(TpkComponent* owner = nullptr);
    ~TpkHTTPDownloadQueue() override;
    const char* ClassName() const override { return "TpkHTTPDownloadQueue"; }

    // Entries, in order. Removing one runs its links' callbacks.
    int Count() const { return static_cast<int>(items_.size()); }
    TpkDownloadQueueItem* Items(int index) const;  // none when out of range
    int IndexOf(const TpkDownloadQueueItem* item) const;

    // The entry for `url` (byte-wise equal), made when there is none: see docs/feed.md. Answers
    // none when the target is already complete (after OnAlreadyDownloaded) or no target name can
    // be made from the URL.
    TpkDownloadQueueItem* Enqueue(const std::string& url, std::string target, std::uint8_t priority, bool startNow,
                                  std::string tempTarget);
    // Enqueue(url, "", 3, false, ""): what the feed calls for an enclosure.
    TpkDownloadQueueItem* EnqueueURL(const std::string& url);
    TpkDownloadQueueItem* FindByURL(const std::string& url) const;

    // Starts (or resumes) the entry's transfer; false when its HTTP component refused.
    bool StartItem(TpkDownloadQueueItem& item);
    void AbortItem(TpkDownloadQueueItem& item);
    // Removes the entry from Items; a transfer still running is aborted.
    void DeleteItem(TpkDownloadQueueItem* item);
    void Delete(int index);
    // keepRunning: frees, last to first, the entries whose transfer is not running and, when
    // abortRunning, aborts the running ones. Otherwise every entry goes.
    void Clear(bool keepRunning = false, bool abortRunning = false);

    // Writes the state file; false on any failure.
    bool SaveToFile(const std::string& fileName) const;

    int ActiveCount() const { return activeCount_; }

    // Entries removed while their HTTP component was still raising an event or still busy wait
    // here until it is idle. FreeRemoved frees those that are (every operation that adds or
    // starts an entry calls it). Destroy the queue only when RemovedPending is 0 and no transfer
    // runs: like the HTTP component itself, it cannot be freed under a worker that is mid-way.
    void FreeRemoved();
    int RemovedPending() const { return static_cast<int>(retired_.size()); }

    std::string DownloadFolder;
    bool ForceDirectories = true;
    TpkDownloadTempNames TempNames{this};
    TpkDownloadStateFile StateFile{this};

    // HTTP settings copied into each entry's component at its first start.
    std::string AcceptTypes = "*/*";
    std::vector<std::string> RequestHeaders;
    std::string Agent = "Tidewire download queue";
    TpkOutputFileAttributes OutputFileAttributes;
    TpkHTTPProxy Proxy{this};
    int ThreadPriority = 3;
    TpkHTTPTimeouts Timeouts;
    TpkBufferSize TransferBufferSize = 4096;

    // How the target's attributes are read (tests may replace it).
    TpkFileAttributeReader ReadAttributes = ReadPlatformFileAttributes;
    // Makes each entry's HTTP component (tests may give one with a scripted internet).
    std::function<std::unique_ptr<TpkHTTPPragmaNoCache>()> CreateHTTP;

    TpkQueueItemEvent OnItemQueued;
    TpkQueueAlreadyDownloadedEvent OnAlreadyDownloaded;
    TpkQueueContentLengthEvent OnItemContentLength;
    TpkQueueHeaderInfoEvent OnItemHeaderInfo;
    TpkQueueProgressEvent OnItemProgress;
    TpkQueueRedirectEvent OnItemRedirect;  // on the worker thread
    TpkQueueDoneEvent OnItemDone;
    TpkQueueItemEvent OnItemDownloaded;
    TpkQueueItemEvent OnItemFailed;
    TpkQueueItemEvent OnItemAborted;
    TpkQueueItemEvent OnItemCancelled;
    TpkQueueConnLostEvent OnItemConnLost;
    TpkQueueItemEvent OnItemHostUnreachable;
    TpkQueueErrorEvent OnItemError;
    TpkQueueItemEvent OnItemOutputFileError;
    TpkQueuePasswordRequestEvent OnItemPasswordRequest;
    TpkQueueProxyAuthenticationEvent OnItemProxyAuthenticationRequest;
    TpkQueueActiveCountEvent OnActiveCountChanged;

private:
    enum class TargetState { Missing, Partial, Complete };
    TargetState CheckTarget(const std::string& target, std::int64_t& size) const;
    std::string MakeTempTarget(const std::string& target);
    void SetActiveCount(int value);
    void EndActive(TpkDownloadQueueItem& item);
    void ConnectEvents(TpkDownloadQueueItem& item);
    void ConnectProgressEvents(TpkDownloadQueueItem& item);
    void ConnectEndingEvents(TpkDownloadQueueItem& item);
    void ConnectLoginEvents(TpkDownloadQueueItem& item);
    void OnDoneOf(TpkDownloadQueueItem& item, const std::string& contentType, std::int32_t dataSize, TpkStream* stream);
    // Takes the entry out of Items, runs its callbacks and frees it, or parks it until its HTTP
    // component has returned from the event it is raising.
    void Remove(std::size_t index);
    void Retire(std::unique_ptr<TpkDownloadQueueItem> item);
    void SaveState(bool trigger) const;

    std::vector<std::unique_ptr<TpkDownloadQueueItem>> items_;
    std::vector<std::unique_ptr<TpkDownloadQueueItem>> retired_;
    int activeCount_ = 0;
    bool seeded_ = false;
    std::mt19937 random_;
};

}  // namespace tw
