#pragma once
// The HTTP transfer component: fetches one URL at a time on a worker thread and delivers the body
// into memory or into a file, raising header, progress, authentication and failure events on the
// main thread (three low-level notifications run on the worker). A "file" URL is read from the
// local file system through the same flow. No failure leaves the component as an exception:
// every outcome is a fixed sequence of events (see docs/http.md).
#include "base/pkClasses.h"
#include "net/ContentDecoding.h"
#include "net/HttpRules.h"
#include "net/InternetApi.h"
#include "net/pkThread.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tw {

class TpkHTTPProxy : public TpkPersistent {
public:
    using TpkPersistent::TpkPersistent;
    const char* ClassName() const override { return "TpkHTTPProxy"; }
    // Copies another proxy group; null restores the defaults.
    void Assign(const TpkPersistent* source) override;

    TpkHTTPAccessType AccessType = atPreconfig;
    std::string ProxyServer;
    std::uint32_t ProxyPort = 8080;
    std::string ProxyBypass = "127.0.0.1;";
    std::string ProxyUsername;
    std::string ProxyPassword;
    // The server is kept with the owner's settings only for a named proxy.
    bool ProxyServerStored() const { return AccessType == atUseProxy; }
};

struct TpkHTTPRange {
    std::uint32_t StartRange = 0;
    std::uint32_t EndRange = 0;
};

struct TpkHTTPTimeouts {  // milliseconds; 0 leaves the platform's value
    std::uint32_t ConnectTimeout = 0;
    std::uint32_t ReceiveTimeout = 0;
    std::uint32_t SendTimeout = 0;
};

struct TpkOutputFileAttributes {
    TpkFileAttributes Complete{atrArchive};
    TpkFileAttributes Incomplete{atrArchive, atrTemporary};
};

enum TpkHTTPRequestMethod : unsigned { rmAutomatic, rmGet, rmPost };

using TpkBufferSize = std::int32_t;

using TpkNotifyEvent = std::function<void(TpkComponent& Sender)>;
using TpkHTTPHeaderInfoEvent = std::function<void(
    TpkComponent& Sender, int ErrorCode, const std::string& RawHeadersCRLF, const std::string& ContentType,
    const std::string& ContentLanguage, const std::string& ContentEncoding, std::int32_t ContentLength,
    const std::string& Location, double Date, double LastModified, double Expires, const std::string& ETag,
    bool& ContinueDownload)>;
using TpkHTTPProgressEvent = std::function<void(
    TpkComponent& Sender, const std::string& ContentType, std::int32_t DataSize, std::int32_t BytesRead,
    std::int32_t ElapsedTime, std::int32_t EstimatedTimeLeft, std::uint8_t PercentsDone, float TransferRate,
    TpkStream* Stream)>;
using TpkHTTPUploadProgressEvent = std::function<void(
    TpkComponent& Sender, std::int32_t DataSize, std::int32_t BytesSent, std::int32_t ElapsedTime,
    std::int32_t EstimatedTimeLeft, std::uint8_t PercentsDone, float TransferRate)>;
using TpkHTTPDoneEvent = std::function<void(TpkComponent& Sender, const std::string& ContentType,
                                            std::int32_t DataSize, TpkStream* Stream)>;
using TpkHTTPConnLostEvent = std::function<void(TpkComponent& Sender, const std::string& ContentType,
                                                std::int32_t FileSize, std::int32_t BytesRead, TpkStream* Stream)>;
using TpkHTTPErrorEvent = std::function<void(TpkComponent& Sender, int ErrorCode, TpkStream* Stream)>;
using TpkHTTPPasswordRequestEvent = std::function<void(TpkComponent& Sender, const std::string& Realm, bool& TryAgain)>;
using TpkHTTPProxyAuthenticationEvent = std::function<void(TpkComponent& Sender, std::string& ProxyUsername,
                                                           std::string& ProxyPassword, bool& TryAgain)>;
using TpkHTTPBeforeSendRequestEvent = std::function<void(TpkComponent& Sender, TpkInetHandle Request)>;
using TpkHTTPStatusEvent = std::function<void(TpkComponent& Sender, std::uint32_t StatusCode, const std::string& StatusText)>;
using TpkHTTPRedirectEvent = std::function<void(TpkComponent& Sender, const std::string& NewURL)>;

class TpkCustomHTTP : public TpkLoginComponent, private TInternetStatusSink {
public:
    // `internet` replaces the platform's operations (tests give a scripted fake).
    explicit TpkCustomHTTP(TpkComponent* owner = nullptr, std::unique_ptr<TInternetApi> internet = nullptr);
    ~TpkCustomHTTP() override;
    const char* ClassName() const override { return "TpkCustomHTTP"; }

    // Starts a transfer from offset 0; see Start.
    bool Get(bool wait = false);
    // False at once while a transfer is busy. Otherwise starts the worker (waiting for it when
    // `wait`, or when WaitThread is set) and answers true, unless a wait timed out and the
    // worker was terminated.
    bool Start(std::uint32_t resumeOffset, std::uint32_t endOffset, bool wait);
    // Continues a partial OutputFileName: from its size minus one buffer, whose bytes are
    // checked against what the server sends first.
    bool Resume();
    // Only while the worker runs. Soft: the worker stops at its next check and the main thread
    // closes, cleans up and raises OnAborted. Hard: the internet handles are closed (so a call
    // blocked on them returns), the worker is ended at once, state cleaned up, the output file
    // deleted when `deleteFile`, and OnAborted raised directly.
    void Abort() { Abort(false, false); }
    void Abort(bool deleteFile, bool hard);
    // The system is in the user-chosen offline state.
    bool IsGlobalOffline();

    bool Busy() const { return busy_; }
    bool Running() const { return running_; }
    int StatusCode() const { return status_; }

    // What the last transfer came to, from its result events on until the next start.
    // Why it failed (hfNone after success), and the platform's error number of the call that
    // failed (WinInet's, e.g. 12045 for a certificate of an unknown authority; 0 when none).
    TpkHTTPFailure FailureKind() const { return failure_; }
    std::uint32_t PlatformError() const { return platformError_; }
    // The address a run of permanent redirects (301, 308) from the start led to, which the
    // caller may keep in place of URL; "" when the first answer was no permanent redirect. A
    // temporary redirect ends the run: its target is not taken, the addresses before it stay.
    const std::string& PermanentURL() const { return permanentURL_; }
    // The last answer's headers as they came (CR LF lines), whether or not OnHeaderInfo is
    // assigned: its freshness (Cache-Control, Age, Expires, Date) and Retry-After; "" without an
    // answer.
    const std::string& ResponseHeaders() const { return responseHeaders_; }
    // The result stream: valid only while the transfer runs and during its events; null after.
    TpkStream* ResultStream() const { return result_.get(); }

    // The settings below are copied when a transfer starts; changing them meanwhile affects
    // only the next transfer.
    std::string URL;
    std::string OutputFileName;
    std::string Agent = "pkHTTP transfer component (Tidewire)";
    std::string AcceptTypes = "text/html, */*";
    std::string Referer;
    std::vector<std::string> RequestHeaders;
    std::string PostData;
    TpkHTTPRequestMethod RequestMethod = rmAutomatic;
    TpkHTTPProxy Proxy{this};
    TpkHTTPRange Range;
    TpkHTTPTimeouts Timeouts;
    TpkBufferSize TransferBufferSize = 4096;  // a value below 1 reads as 4096
    TpkOutputFileAttributes OutputFileAttributes;
    TpkHTTPOptions Options = kDefaultHTTPOptions;
    bool OpenOffline = false;
    bool GoOnline = false;
    void* LinkedItem = nullptr;
    // A memory result larger than this ends the transfer as a lost connection, so a server
    // that never stops sending cannot exhaust memory.
    std::int64_t MaxMemorySize = 256ll * 1024 * 1024;
    // Milliseconds one transfer may take from its start to its last byte; 0 = no limit. When
    // it passes, the transfer ends as a failure decided by its status (OnHostUnreachable before
    // an answer, OnConnLost during a 200 body, ...), then OnFailed, as if the server had gone.
    std::uint32_t TransferDeadline = 0;
    // Asks for a compressed body ("Accept-Encoding: gzip, deflate"; not with a range or a
    // resume) and delivers it decoded: by the platform where it decodes (WinInet), else here.
    // MaxMemorySize and TransferDeadline then count decoded bytes; Content-Length, the size of
    // the compressed bytes, is not compared. Off: the body comes as the server sent it.
    bool AcceptCompression = false;
    // Refuses a redirect from an https address to one that is not https: the redirect's answer
    // is the result (OnError with its status, OnFailed) and FailureKind() is hfInsecureRedirect.
    bool RefuseInsecureRedirects = false;

    int ThreadPriority() const { return thread_->Priority(); }
    void SetThreadPriority(int index) { thread_->SetPriority(index); }
    bool WaitThread() const { return thread_->WaitThread; }
    void SetWaitThread(bool value) { thread_->WaitThread = value; }
    std::uint32_t WaitTimeout() const { return thread_->WaitTimeout; }
    void SetWaitTimeout(std::uint32_t value) { thread_->WaitTimeout = value; }

    TpkHTTPHeaderInfoEvent OnHeaderInfo;
    TpkHTTPProgressEvent OnProgress;
    TpkHTTPUploadProgressEvent OnUploadProgress;
    TpkHTTPDoneEvent OnDone;
    TpkHTTPConnLostEvent OnConnLost;
    TpkNotifyEvent OnHostUnreachable;
    TpkNotifyEvent OnUploadFailed;
    TpkHTTPErrorEvent OnError;
    TpkNotifyEvent OnFailed;
    TpkNotifyEvent OnOutputFileError;
    TpkNotifyEvent OnCancelled;
    TpkNotifyEvent OnAborted;
    TpkHTTPPasswordRequestEvent OnPasswordRequest;
    TpkHTTPProxyAuthenticationEvent OnProxyAuthenticationRequest;
    TpkHTTPBeforeSendRequestEvent OnBeforeSendRequest;  // worker thread
    TpkHTTPStatusEvent OnStatus;                        // worker thread
    TpkHTTPRedirectEvent OnRedirect;                    // worker thread
    TpkThreadWaitTimeoutExpired OnWaitTimeoutExpired;

    // The internet operations in use.
    TInternetApi& Internet() { return *internet_; }

protected:
    explicit TpkCustomHTTP(TpkComponent* owner, std::unique_ptr<TInternetApi> internet, TpkHTTPOptions options);

private:
    enum class Step { Next, End, Restart, Redirect };

    // What one transfer uses of the settings, copied on the main thread when it starts; the
    // worker reads nothing else of them.
    struct Job {
        std::string URL, OutputFileName, Agent, AcceptTypes, Referer, PostData, Username, Password;
        std::vector<std::string> RequestHeaders;
        TpkHTTPRequestMethod RequestMethod = rmAutomatic;
        TpkHTTPAccessType AccessType = atPreconfig;
        std::string ProxyServer, ProxyBypass, ProxyUsername, ProxyPassword;
        std::uint32_t ProxyPort = 0;
        TpkHTTPRange Range;
        TpkHTTPTimeouts Timeouts;
        std::uint32_t BufferSize = 4096;
        TpkOutputFileAttributes OutputFileAttributes;
        TpkHTTPOptions Options;
        bool OpenOffline = false;
        bool GoOnline = false;
        std::int64_t MaxMemorySize = 0;
        std::uint32_t TransferDeadline = 0;
        bool AcceptCompression = false;
        bool RefuseInsecureRedirects = false;
    };
    // How a block of the body was taken.
    enum class Kept { Ok, Stop, Mismatch };
    void TakeSettings();

    // Worker flow.
    void Execute();
    void Transfer();
    void Check();
    void Raise(const std::function<void()>& handler);
    Step RunNetwork();
    Step ConnectAndOpenRequest();
    Step AddHeaders(bool replace);
    Step SendLoop();
    Step CheckWholeFileAfter416();
    void AskForLogin();
    void AskForProxyLogin();
    Step ReadResponseHeaders();
    void RaiseHeaderInfo();
    void StartDecoding();
    Step OpenResult();
    Step ReadBody();
    bool ReadRaw(std::uint32_t& got);
    Kept Inflate(const char* data, std::uint32_t size);
    Kept Keep(const char* data, std::uint32_t size);
    Step RereadLocalFile();
    Step VerifyTail();
    Step Failed();
    bool AsksCompression() const;
    Step RestartFromScratch();
    Step FollowRedirect();
    bool TakeTarget(const std::string& url);
    std::uint32_t Limited(std::uint32_t timeout) const;
    bool SendsPost() const;
    bool WriteBlock(const char* data, std::uint32_t size);
    void RaiseProgress();
    void InternetStatus(std::uint32_t code, const std::string& info) override;

    // Main thread.
    void Complete();
    void RaiseResult(const TpkCompletionPlan& plan, bool& cancelled);
    void CloseFileResult();
    TpkHTTPFailure ClassifyThisTransfer() const;
    void WorkerFailed();
    void WaitTimedOut(bool& terminate);
    void FinishSoftAbort();
    // Closes the internet handles; safe while the worker runs (a call blocked on them returns).
    // Called (as OnUnblock) only once the worker has been given up: a worker still live would
    // take its failing read for the end of the body and report the transfer done.
    void UnblockTransfer();
    void CloseHandles();
    void CleanUp();
    void RemoveOutputFile();

    std::unique_ptr<TInternetApi> internet_;
    std::unique_ptr<TpkCustomThread> thread_;

    // Transfer state. Between Start and completion only the worker touches it, except for the
    // handles, which the main thread may close to end a blocked call.
    Job job_;
    UniqueInetHandle session_;
    UniqueInetHandle connection_;
    UniqueInetHandle request_;
    std::unique_ptr<TpkStream> localFile_;
    std::unique_ptr<TpkStream> result_;
    std::vector<char> buffer_;
    std::string verifyBlock_;     // bytes of the resume check still being gathered
    std::uint32_t verifyLength_ = 0;
    std::uint32_t resumeOffset_ = 0;
    std::uint32_t endOffset_ = 0;
    int status_ = -1;
    std::string contentType_;
    std::int32_t contentLength_ = 0;
    std::int64_t bytesReceived_ = 0;
    std::uint32_t bufferSize_ = 4096;
    std::uint64_t startTick_ = 0;
    int restarts_ = 0;
    int redirects_ = 0;
    std::uint64_t deadlineTick_ = 0;  // 0 = none
    std::string currentURL_;          // the address asked now (after redirects)
    std::string scheme_, host_, path_, extra_, user_, password_;
    std::uint16_t port_ = 0;
    std::atomic<bool> busy_{false};
    std::atomic<bool> running_{false};
    std::atomic<bool> deleteFileOnAbort_{false};
    bool writingToFile_ = false;
    bool createdOutputFile_ = false;  // only a file this transfer made is deleted after an error
    bool redirectedToGet_ = false;
    bool deadlinePassed_ = false;
    bool timedOut_ = false;         // the deadline had passed when the transfer ended
    bool reachedEnd_ = false;
    bool lastCallOk_ = false;
    bool tryAgain_ = false;
    bool continueDownload_ = true;
    bool uploading_ = false;
    bool success_ = false;
    bool alreadyComplete_ = false;
    bool overflowed_ = false;
    bool failureReported_ = false;
    float transferRate_ = -1.0f;
    std::unique_ptr<TpkInflater> inflater_;  // the body is decoded here (null: as it came)
    bool platformDecodes_ = false;
    bool badContent_ = false;       // the compressed body did not decode
    bool cutShort_ = false;         // the compressed body ended before its data did
    bool insecureRedirect_ = false;
    bool permanentRun_ = true;      // every redirect so far was permanent
    std::string permanentURL_;
    std::string responseHeaders_;
    std::uint32_t platformError_ = 0;
    TpkHTTPFailure failure_ = hfNone;
};

// The component the feed and the download queue use: the same transfer with the pragma
// no-cache option set and the "need file" option left out.
class TpkHTTPPragmaNoCache : public TpkCustomHTTP {
public:
    explicit TpkHTTPPragmaNoCache(TpkComponent* owner = nullptr, std::unique_ptr<TInternetApi> internet = nullptr)
        : TpkCustomHTTP(owner, std::move(internet), kPragmaNoCacheHTTPOptions) {}
    const char* ClassName() const override { return "TpkHTTPPragmaNoCache"; }
};

}  // namespace tw
