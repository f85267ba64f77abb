#include "net/pkHTTP.h"

#include "base/AsciiText.h"
#include "base/pkUtils.h"
#include "net/UrlUtils.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace tw {

namespace {

std::uint64_t NowMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

// A file URL's path as the file system wants it: "/C:/dir/f.xml" loses its leading slash.
std::string LocalPathOf(const std::string& path) {
    if (path.size() >= 3 && (path[0] == '/' || path[0] == '\\') && std::isalpha(static_cast<unsigned char>(path[1])) &&
        path[2] == ':')
        return path.substr(1);
    return path;
}

// Memory set aside in advance for a body of known length; larger bodies grow as they arrive.
constexpr std::int64_t kMaxPreallocation = 64ll * 1024 * 1024;

// Thrown by a check once the transfer's deadline has passed; the flow ends as a failure.
struct DeadlinePassed {};

// The memory result. It grows by doubling like any buffer but never past `limit`, so the cap
// the component enforces is also the most memory the body takes; a write past it writes nothing.
class BoundedMemoryStream : public TpkStream {
public:
    explicit BoundedMemoryStream(std::int64_t limit) : limit_(limit > 0 ? static_cast<std::size_t>(limit) : 0) {}
    void Reserve(std::size_t bytes) { data_.reserve(std::min(bytes, limit_)); }
    std::size_t Read(void* buffer, std::size_t count) override {
        if (pos_ >= data_.size() || count == 0) return 0;
        const std::size_t n = std::min(count, data_.size() - pos_);
        std::memcpy(buffer, data_.data() + pos_, n);
        pos_ += n;
        return n;
    }
    std::size_t Write(const void* buffer, std::size_t count) override {
        if (count == 0 || pos_ + count > limit_) return 0;
        Grow(pos_ + count);
        std::memcpy(data_.data() + pos_, buffer, count);
        pos_ += count;
        return count;
    }
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
        std::int64_t base = 0;
        if (origin == TSeekOrigin::soCurrent) base = static_cast<std::int64_t>(pos_);
        if (origin == TSeekOrigin::soEnd) base = static_cast<std::int64_t>(data_.size());
        pos_ = static_cast<std::size_t>(std::max<std::int64_t>(base + offset, 0));
        return static_cast<std::int64_t>(pos_);
    }
    void SetSize(std::int64_t size) override {
        Grow(std::min(static_cast<std::size_t>(std::max<std::int64_t>(size, 0)), limit_));
        data_.resize(std::min(static_cast<std::size_t>(std::max<std::int64_t>(size, 0)), limit_));
        pos_ = std::min(pos_, data_.size());
    }

private:
    void Grow(std::size_t size) {
        // vector::reserve takes exactly what it is asked; its own growth could double past the limit.
        if (size > data_.capacity()) data_.reserve(std::min(std::max(size, data_.capacity() * 2), limit_));
        if (size > data_.size()) data_.resize(size);
    }
    std::vector<char> data_;
    std::size_t pos_ = 0;
    std::size_t limit_;
};

}  // namespace

// ---------------------------------------------------------------------------------------------
// Proxy settings

void TpkHTTPProxy::Assign(const TpkPersistent* source) {
    if (source == nullptr) {
        AccessType = atPreconfig;
        ProxyServer.clear();
        ProxyPort = 8080;
        ProxyBypass = "127.0.0.1;";
        ProxyUsername.clear();
        ProxyPassword.clear();
        return;
    }
    if (auto* other = dynamic_cast<const TpkHTTPProxy*>(source)) {
        AccessType = other->AccessType;
        ProxyServer = other->ProxyServer;
        ProxyPort = other->ProxyPort;
        ProxyBypass = other->ProxyBypass;
        ProxyUsername = other->ProxyUsername;
        ProxyPassword = other->ProxyPassword;
        return;
    }
    TpkPersistent::Assign(source);
}

// ---------------------------------------------------------------------------------------------
// Construction

TpkCustomHTTP::TpkCustomHTTP(TpkComponent* owner, std::unique_ptr<TInternetApi> internet)
    : TpkCustomHTTP(owner, std::move(internet), kDefaultHTTPOptions) {}

TpkCustomHTTP::TpkCustomHTTP(TpkComponent* owner, std::unique_ptr<TInternetApi> internet, TpkHTTPOptions options)
    : TpkLoginComponent(owner),
      Options(options),
      internet_(internet ? std::move(internet) : CreatePlatformInternet()),
      session_(*internet_),
      connection_(*internet_),
      request_(*internet_) {
    thread_ = std::make_unique<TpkCustomThread>(this);
    thread_->OnExecute = [this](TpkCustomThread&) { Execute(); };
    thread_->OnTerminate = [this](TpkCustomThread&) { Complete(); };
    thread_->OnException = [this](TpkCustomThread&, std::exception_ptr) { WorkerFailed(); };
    thread_->OnWaitTimeoutExpired = [this](TpkComponent&, bool& terminate) { WaitTimedOut(terminate); };
    // A worker given up by force (hard abort, a wait that timed out, destruction) may be blocked
    // in an internet call: closing the handles lets that call return.
    thread_->OnUnblock = [this] { UnblockTransfer(); };
}

TpkCustomHTTP::~TpkCustomHTTP() {
    Destroying();
    // The worker reaches this component's members until it ends, thread_ included, so it ends
    // while they are all still there; handlers are skipped from here on.
    thread_->EndWorker();
    thread_.reset();
    CloseHandles();
    CleanUp();
}

// ---------------------------------------------------------------------------------------------
// Starting and stopping (main thread)

bool TpkCustomHTTP::Get(bool wait) { return Start(0, 0, wait); }

bool TpkCustomHTTP::Start(std::uint32_t resumeOffset, std::uint32_t endOffset, bool wait) {
    if (busy_) return false;
    busy_ = true;
    running_ = true;
    TakeSettings();
    transferRate_ = -1.0f;
    failure_ = hfNone;
    platformError_ = 0;
    permanentURL_.clear();
    responseHeaders_.clear();
    resumeOffset_ = resumeOffset;
    endOffset_ = endOffset;
    uploading_ = false;
    const bool savedWait = thread_->WaitThread;
    if (wait) thread_->WaitThread = true;
    const bool result = thread_->Run();
    if (thread_) thread_->WaitThread = savedWait;
    return result;
}

void TpkCustomHTTP::TakeSettings() {
    job_.URL = URL;
    job_.OutputFileName = OutputFileName;
    job_.Agent = Agent;
    job_.AcceptTypes = AcceptTypes;
    job_.Referer = Referer;
    job_.PostData = PostData;
    job_.Username = Username();
    job_.Password = Password();
    job_.RequestHeaders = RequestHeaders;
    job_.RequestMethod = RequestMethod;
    job_.AccessType = Proxy.AccessType;
    job_.ProxyServer = Proxy.ProxyServer;
    job_.ProxyBypass = Proxy.ProxyBypass;
    job_.ProxyUsername = Proxy.ProxyUsername;
    job_.ProxyPassword = Proxy.ProxyPassword;
    job_.ProxyPort = Proxy.ProxyPort;
    job_.Range = Range;
    job_.Timeouts = Timeouts;
    job_.BufferSize = TransferBufferSize > 0 ? static_cast<std::uint32_t>(TransferBufferSize) : 4096u;
    job_.OutputFileAttributes = OutputFileAttributes;
    job_.Options = Options;
    job_.OpenOffline = OpenOffline;
    job_.GoOnline = GoOnline;
    job_.MaxMemorySize = MaxMemorySize;
    job_.TransferDeadline = TransferDeadline;
    job_.AcceptCompression = AcceptCompression;
    job_.RefuseInsecureRedirects = RefuseInsecureRedirects;
}

bool TpkCustomHTTP::Resume() {
    std::uint64_t size = 0;
    std::unique_ptr<TpkStream> existing = OutputFileName.empty() ? nullptr : internet_->OpenLocalFile(OutputFileName);
    if (existing) size = static_cast<std::uint64_t>(existing->Size());
    existing.reset();
    const std::uint32_t buffer = TransferBufferSize > 0 ? static_cast<std::uint32_t>(TransferBufferSize) : 4096u;
    return Start(ResumeOffsetFor(size, buffer), 0, false);
}

void TpkCustomHTTP::Abort(bool deleteFile, bool hard) {
    if (!running_) return;
    deleteFileOnAbort_ = deleteFile;
    failure_ = hfCancelled;
    if (!hard) {
        thread_->Terminate(false);
        return;
    }
    thread_->Terminate(true);  // given up, its handles closed (OnUnblock), waited for
    const bool removeFile = deleteFile && writingToFile_;
    CloseHandles();
    CleanUp();
    if (removeFile) RemoveOutputFile();
    if (OnAborted) OnAborted(*this);
}

bool TpkCustomHTTP::IsGlobalOffline() { return internet_->IsGlobalOffline(); }

// ---------------------------------------------------------------------------------------------
// Worker flow

// Runs a handler on the main thread and looks for a stop request as soon as it returns, since
// the handler may have aborted the transfer.
void TpkCustomHTTP::Raise(const std::function<void()>& handler) {
    thread_->Synchronize(handler);
    if (thread_->StopRequested() && TpkEventThread::Current() != nullptr && TpkEventThread::Current()->Abandoned())
        throw TpkThreadEnd{};
}

void TpkCustomHTTP::Check() {
    if (thread_->StopRequested()) {
        TpkEventThread* current = TpkEventThread::Current();
        if (current != nullptr && current->Abandoned()) throw TpkThreadEnd{};  // cleaned up by the main thread
        // A soft abort: the main thread closes and cleans up while this thread waits, then it ends.
        thread_->Synchronize([this] { FinishSoftAbort(); });
        throw TpkThreadEnd{};
    }
    if (deadlineTick_ != 0 && NowMs() >= deadlineTick_) throw DeadlinePassed{};
}

// Sets the address asked next (the URL, or a redirect's target). False when it cannot be split.
bool TpkCustomHTTP::TakeTarget(const std::string& url) {
    TpkURLParts parts;
    if (!SplitURL(url, parts)) return false;
    currentURL_ = url;
    scheme_ = parts.Scheme;
    host_ = parts.Host;
    port_ = parts.Port;
    path_ = parts.Path;
    extra_ = EscapeURLPart(parts.Extra);
    user_ = parts.UserName.empty() ? job_.Username : parts.UserName;
    password_ = parts.Password.empty() ? job_.Password : parts.Password;
    return true;
}

void TpkCustomHTTP::Execute() {
    startTick_ = NowMs();
    deadlineTick_ = job_.TransferDeadline != 0 ? startTick_ + job_.TransferDeadline : 0;
    deadlinePassed_ = false;
    try {
        Transfer();
    } catch (const DeadlinePassed&) {
        deadlinePassed_ = true;
    }
    // A platform time-out held to the deadline ends the blocked call about when the deadline
    // passes (under Wine as a lost connection, 12030): that is the deadline too.
    constexpr std::uint64_t kTimeoutSlackMs = 100;
    timedOut_ = deadlinePassed_ || (deadlineTick_ != 0 && NowMs() + kTimeoutSlackMs >= deadlineTick_);
    success_ = !deadlinePassed_ && !overflowed_ && !badContent_ && !cutShort_ && reachedEnd_ &&
               TransferSucceeded(status_, contentLength_, bytesReceived_, result_ != nullptr);
}

void TpkCustomHTTP::Transfer() {
    reachedEnd_ = false;
    uploading_ = false;
    status_ = -1;
    contentType_.clear();
    contentLength_ = 0;
    bytesReceived_ = 0;
    bufferSize_ = job_.BufferSize;
    continueDownload_ = true;
    success_ = false;
    alreadyComplete_ = false;
    overflowed_ = false;
    failureReported_ = false;
    writingToFile_ = false;
    createdOutputFile_ = false;
    redirectedToGet_ = false;
    restarts_ = 0;
    redirects_ = 0;
    verifyBlock_.clear();
    verifyLength_ = 0;
    inflater_.reset();
    platformDecodes_ = false;
    badContent_ = false;
    cutShort_ = false;
    insecureRedirect_ = false;
    permanentRun_ = true;

    if (!TakeTarget(job_.URL)) return;  // no status: reported as an unreachable host
    Check();

    if (EqualsIgnoringAsciiCase(scheme_, "file")) {
        localFile_ = internet_->OpenLocalFile(LocalPathOf(path_));
        if (!localFile_) {
            status_ = 404;
            contentLength_ = 0;
        } else {
            status_ = 200;
            const std::int64_t size = localFile_->Size();
            std::int64_t start = 0;
            if (resumeOffset_ != 0) {
                start = localFile_->Seek(resumeOffset_, TSeekOrigin::soBeginning);
            } else if (job_.Range.StartRange != 0) {
                start = localFile_->Seek(job_.Range.StartRange, TSeekOrigin::soBeginning);
            }
            // The length of what is read, as a server's 206 would announce it; the whole file's
            // size here would make every resumed or ranged read look cut short.
            const std::int64_t rest = size > start ? size - start : 0;
            contentLength_ = rest > 0x7fffffff ? 0 : static_cast<std::int32_t>(rest);
        }
        lastCallOk_ = localFile_ != nullptr;
        if (OpenResult() != Step::Next) return;
        ReadBody();
    } else {
        RunNetwork();
    }
    reachedEnd_ = true;
}

TpkCustomHTTP::Step TpkCustomHTTP::RunNetwork() {
    const std::string proxy = ProxyNameFor(job_.AccessType, job_.ProxyServer, job_.ProxyPort);
    const std::string bypass = job_.AccessType == atUseProxy ? job_.ProxyBypass : std::string();
    session_.Reset(internet_->Open(job_.Agent, AccessTypeToOpenType(job_.AccessType), proxy, bypass,
                                   job_.OpenOffline ? kOpenFlagOffline : 0u));
    if (!session_) return Failed();
    internet_->InstallStatusCallback(session_.Get(), true);

    for (;;) {
        Step step = ConnectAndOpenRequest();
        if (step == Step::Next) step = AddHeaders(false);
        if (step == Step::Next) step = SendLoop();
        if (step == Step::Next) step = FollowRedirect();
        if (step == Step::Redirect) continue;
        if (step == Step::Next) step = ReadResponseHeaders();
        if (step == Step::Next) step = OpenResult();
        if (step == Step::Next) step = ReadBody();
        if (step != Step::Restart) return step;
        if (++restarts_ > kMaxTransferRestarts) {
            status_ = -1;
            return Step::End;
        }
    }
}

// A time-out no longer than what is left of the deadline (0 = the platform's own, no deadline).
std::uint32_t TpkCustomHTTP::Limited(std::uint32_t timeout) const {
    if (deadlineTick_ == 0) return timeout;
    const std::uint64_t now = NowMs();
    const std::uint32_t left = now >= deadlineTick_ ? 1u : static_cast<std::uint32_t>(deadlineTick_ - now);
    return timeout == 0 ? left : std::min(timeout, left);
}

bool TpkCustomHTTP::SendsPost() const {
    if (redirectedToGet_) return false;
    return job_.RequestMethod == rmPost || (job_.RequestMethod == rmAutomatic && !job_.PostData.empty());
}

TpkCustomHTTP::Step TpkCustomHTTP::ConnectAndOpenRequest() {
    Check();
    connection_.Reset(internet_->Connect(session_.Get(), host_, port_, user_, password_, this));
    if (!connection_) return Failed();
    Check();
    // Redirects are followed by FollowRedirect, where they can be counted; the platform's own
    // following happens inside one send and knows no bound.
    request_.Reset(internet_->OpenRequest(connection_.Get(), SendsPost() ? "POST" : "GET", path_ + extra_,
                                          job_.Referer, job_.AcceptTypes,
                                          OptionFlags(job_.Options, scheme_) | kRequestFlagNoAutoRedirect));
    if (!request_) return Failed();
    Check();
    const TpkInetHandle request = request_.Get();
    platformDecodes_ = AsksCompression() && internet_->EnableDecoding(request);
    if (job_.AccessType != atDirect && !job_.ProxyUsername.empty() && !job_.ProxyPassword.empty()) {
        internet_->SetOptionText(request, kOptionProxyUsername, job_.ProxyUsername);
        internet_->SetOptionText(request, kOptionProxyPassword, job_.ProxyPassword);
    }
    // With a deadline a stalled server ends the blocked call by the time the deadline passes
    // (under Wine the receive time-out is what ends a send that waits for an answer).
    if (std::uint32_t t = Limited(job_.Timeouts.ConnectTimeout)) internet_->SetOptionNumber(request, kOptionConnectTimeout, t);
    if (std::uint32_t t = Limited(job_.Timeouts.ReceiveTimeout)) internet_->SetOptionNumber(request, kOptionReceiveTimeout, t);
    if (std::uint32_t t = Limited(job_.Timeouts.SendTimeout)) internet_->SetOptionNumber(request, kOptionSendTimeout, t);
    if (std::uint32_t security = SecurityFlagsFor(job_.Options)) internet_->SetOptionNumber(request, kOptionSecurityFlags, security);
    if (job_.GoOnline && internet_->IsGlobalOffline()) internet_->GoOnline(currentURL_);
    if (OnBeforeSendRequest) OnBeforeSendRequest(*this, request);
    return Step::Next;
}

TpkCustomHTTP::Step TpkCustomHTTP::AddHeaders(bool replace) {
    const std::string range = BuildRangeLine(resumeOffset_, endOffset_, job_.Range.StartRange, job_.Range.EndRange);
    const std::string headers =
        BuildRequestHeaders(job_.RequestHeaders, range) + (AsksCompression() ? kAcceptEncodingLine : "");
    if (headers.empty()) return Step::Next;
    const std::uint32_t flag = replace || status_ == 416 ? kAddRequestHeadersReplace : kAddRequestHeadersAdd;
    return internet_->AddRequestHeaders(request_.Get(), headers, flag) ? Step::Next : Failed();
}

// A compressed body is asked for only whole: a range of compressed bytes is no range of the body.
bool TpkCustomHTTP::AsksCompression() const {
    return job_.AcceptCompression && resumeOffset_ == 0 && endOffset_ == 0 && job_.Range.StartRange == 0 &&
           job_.Range.EndRange == 0;
}

// Keeps the platform's reason for the call that just failed.
TpkCustomHTTP::Step TpkCustomHTTP::Failed() {
    platformError_ = internet_->LastError();
    return Step::End;
}

TpkCustomHTTP::Step TpkCustomHTTP::SendLoop() {
    static const std::string kFormHeader = "Content-Type: application/x-www-form-urlencoded";
    for (;;) {
        Check();
        tryAgain_ = false;
        const TpkInetHandle request = request_.Get();
        const bool sent = SendsPost() ? internet_->SendRequest(request, kFormHeader, job_.PostData)
                                      : internet_->SendRequest(request, std::string(), std::string());
        if (!sent) return Failed();  // status stays -1
        Check();
        std::string statusText;
        lastCallOk_ = internet_->QueryInfo(request, kQueryStatusCode, statusText);
        status_ = lastCallOk_ ? ParseContentLength(statusText) : -1;
        if (status_ == 0) status_ = -1;
        uploading_ = false;

        if (status_ == 416 && resumeOffset_ != 0) return CheckWholeFileAfter416();
        if (status_ == 401 && OnPasswordRequest) AskForLogin();
        else if (status_ == 407 && OnProxyAuthenticationRequest) AskForProxyLogin();
        if (!tryAgain_) return Step::Next;
    }
}

// Is the file already whole? Ask for everything and compare the length with the resume offset.
TpkCustomHTTP::Step TpkCustomHTTP::CheckWholeFileAfter416() {
    const TpkInetHandle request = request_.Get();
    internet_->AddRequestHeaders(request, "RANGE: bytes=0-\r\n", kAddRequestHeadersReplace);
    std::string length;
    if (internet_->SendRequest(request, std::string(), std::string())) {
        std::string again;
        int second = internet_->QueryInfo(request, kQueryStatusCode, again) ? ParseContentLength(again) : -1;
        if ((second == 200 || second == 206) && internet_->QueryInfo(request, kQueryContentLength, length) &&
            ParseContentLength(length) == static_cast<std::int32_t>(resumeOffset_)) {
            status_ = second;
            alreadyComplete_ = true;
            return Step::End;
        }
    }
    status_ = -1;
    resumeOffset_ = 0;
    request_.Reset();
    connection_.Reset();
    return Step::Restart;
}

void TpkCustomHTTP::AskForLogin() {
    const TpkInetHandle request = request_.Get();
    std::string challenge;
    contentType_ = internet_->QueryInfo(request, kQueryWWWAuthenticate, challenge) ? ExtractRealm(challenge) : std::string();
    // The login the handler sets is read on the main thread, where it is set.
    Raise([this] {
        OnPasswordRequest(*this, contentType_, tryAgain_);
        job_.Username = Username();
        job_.Password = Password();
    });
    internet_->SetOptionText(request, kOptionUsername, job_.Username);
    internet_->SetOptionText(request, kOptionPassword, job_.Password);
}

void TpkCustomHTTP::AskForProxyLogin() {
    const TpkInetHandle request = request_.Get();
    Raise([this] {
        OnProxyAuthenticationRequest(*this, job_.ProxyUsername, job_.ProxyPassword, tryAgain_);
        Proxy.ProxyUsername = job_.ProxyUsername;  // the answer is kept for later transfers
        Proxy.ProxyPassword = job_.ProxyPassword;
    });
    internet_->SetOptionText(request, kOptionProxyUsername, job_.ProxyUsername);
    internet_->SetOptionText(request, kOptionProxyPassword, job_.ProxyPassword);
}

// A redirect answer: the request goes again to the address its Location names, at most
// kMaxRedirects times; after that (or without a usable Location) the answer is the result.
TpkCustomHTTP::Step TpkCustomHTTP::FollowRedirect() {
    if (!IsRedirectStatus(status_) || job_.Options.Contains(hoNoAutoRedirect) || redirects_ >= kMaxRedirects)
        return Step::Next;
    std::string location;
    if (!internet_->QueryInfo(request_.Get(), kQueryLocation, location)) return Step::Next;
    const std::string target = ResolveLocation(currentURL_, location);
    TpkURLParts parts;
    if (target.empty() || !SplitURL(target, parts) || EqualsIgnoringAsciiCase(parts.Scheme, "file")) return Step::Next;
    if (job_.RefuseInsecureRedirects && IsInsecureRedirect(scheme_, target)) {
        insecureRedirect_ = true;  // the redirect's answer is the result; nothing goes to `target`
        return Step::Next;
    }
    permanentRun_ = permanentRun_ && IsPermanentRedirectStatus(status_);
    if (permanentRun_) permanentURL_ = target;
    ++redirects_;
    // As browsers do: a 303, and a 301 or 302 after a POST, continue as a GET.
    if (status_ != 307 && status_ != 308) redirectedToGet_ = true;
    InternetStatus(110, target);
    Check();
    request_.Reset();
    connection_.Reset();
    TakeTarget(target);
    status_ = -1;
    return Step::Redirect;
}

TpkCustomHTTP::Step TpkCustomHTTP::ReadResponseHeaders() {
    Check();
    const TpkInetHandle request = request_.Get();
    std::string value;
    if (internet_->QueryInfo(request, kQueryContentType, value)) contentType_ = value;
    lastCallOk_ = internet_->QueryInfo(request, kQueryContentLength, value);
    contentLength_ = lastCallOk_ ? ParseContentLength(value) : 0;
    if (!internet_->QueryInfo(request, kQueryContentRange, value)) resumeOffset_ = 0;  // the whole entity came
    if (!internet_->QueryInfo(request, kQueryRawHeadersCRLF, responseHeaders_)) responseHeaders_.clear();
    if (AsksCompression()) StartDecoding();
    if (!OnHeaderInfo) return Step::Next;
    RaiseHeaderInfo();
    return continueDownload_ ? Step::Next : Step::End;
}

// A body sent in a coding we asked for is decoded as it is read, by the platform or here. Its
// Content-Length counts the compressed bytes, so it says nothing about the body's end.
void TpkCustomHTTP::StartDecoding() {
    std::string encoding;
    if (!internet_->QueryInfo(request_.Get(), kQueryContentEncoding, encoding)) return;
    const TpkContentCoding coding = ContentCodingOf(encoding);
    if (coding != TpkContentCoding::Gzip && coding != TpkContentCoding::Deflate) return;
    contentLength_ = 0;
    if (!platformDecodes_) inflater_ = std::make_unique<TpkInflater>(coding);
}

void TpkCustomHTTP::RaiseHeaderInfo() {
    const TpkInetHandle request = request_.Get();
    auto text = [&](std::uint32_t query) {
        std::string v;
        return internet_->QueryInfo(request, query, v) ? v : std::string();
    };
    auto date = [&](std::uint32_t query) {
        std::string v;
        return internet_->QueryInfo(request, query, v) ? RFC822ToDateTime(v) : 0.0;
    };
    const std::string language = text(kQueryContentLanguage);
    const std::string encoding = text(kQueryContentEncoding);
    const std::string location = text(kQueryLocation);
    const std::string etag = text(kQueryETag);
    const double when = date(kQueryDate);
    const double modified = date(kQueryLastModified);
    const double expires = date(kQueryExpires);
    const std::int32_t length = static_cast<std::int32_t>(contentLength_ + static_cast<std::int64_t>(resumeOffset_));
    Raise([&] {
        OnHeaderInfo(*this, status_, responseHeaders_, contentType_, language, encoding, length, location, when,
                     modified, expires, etag, continueDownload_);
    });
}

TpkCustomHTTP::Step TpkCustomHTTP::RestartFromScratch() {
    // The partial file does not fit what the server sends now: start the whole entity again.
    // (Restarting at the same offset would meet the same bytes every time.)
    status_ = -1;
    resumeOffset_ = 0;
    result_.reset();
    writingToFile_ = false;
    verifyBlock_.clear();
    verifyLength_ = 0;
    bytesReceived_ = 0;
    request_.Reset();
    connection_.Reset();
    return Step::Restart;
}

TpkCustomHTTP::Step TpkCustomHTTP::OpenResult() {
    Check();
    const bool network = localFile_ == nullptr && !EqualsIgnoringAsciiCase(scheme_, "file");
    if ((status_ == 200 || status_ == 206) && !job_.OutputFileName.empty()) {
        try {
            const bool existed = resumeOffset_ != 0 && internet_->OpenLocalFile(job_.OutputFileName) != nullptr;
            auto file = std::make_unique<TpkFileStream>(
                job_.OutputFileName,
                resumeOffset_ == 0 ? TpkFileStreamMode::fsmCreate : TpkFileStreamMode::fsmOpenOrCreate, true);
            if (!existed) createdOutputFile_ = true;
            if (resumeOffset_ != 0) {
                const std::int64_t size = file->Size();
                if (size < resumeOffset_) {
                    file.reset();
                    if (!network) {
                        resumeOffset_ = 0;  // a local source cannot be asked again; read it whole
                        localFile_->SetPosition(0);
                        return OpenResult();
                    }
                    return RestartFromScratch();
                }
                file->SetPosition(resumeOffset_);
                verifyLength_ = static_cast<std::uint32_t>(
                    std::min<std::int64_t>(bufferSize_, size - static_cast<std::int64_t>(resumeOffset_)));
            }
            result_ = std::move(file);
            if (!(job_.OutputFileAttributes.Incomplete == TpkFileAttributes{atrArchive}))
                internet_->ApplyFileAttributes(job_.OutputFileName, job_.OutputFileAttributes.Incomplete);
            writingToFile_ = true;
            return Step::Next;
        } catch (const EpkFileCreateError&) {
            if (network) return Step::End;  // no result stream: OnFailed then OnOutputFileError
            // A local source falls back to memory.
        }
    }
    // One block beyond the cap is taken in, so a body larger than the cap is told apart from
    // one that fills it exactly.
    auto memory = std::make_unique<BoundedMemoryStream>(job_.MaxMemorySize + bufferSize_);
    if (lastCallOk_ && contentLength_ > 0) {
        // Room set aside without changing the size: a short body must not come out padded.
        memory->Reserve(static_cast<std::size_t>(std::min<std::int64_t>(contentLength_, kMaxPreallocation)));
    }
    result_ = std::move(memory);
    return Step::Next;
}

// Writes one block to the result, doing the resume check on the first bytes of a resumed file.
// False when the check failed.
bool TpkCustomHTTP::WriteBlock(const char* data, std::uint32_t size) {
    if (verifyLength_ > 0) {
        const std::uint32_t take = std::min<std::uint32_t>(size, verifyLength_ - static_cast<std::uint32_t>(verifyBlock_.size()));
        verifyBlock_.append(data, take);
        data += take;
        size -= take;
        if (verifyBlock_.size() < verifyLength_) return true;
        std::string onDisk(verifyLength_, '\0');
        result_->SetPosition(resumeOffset_);
        const std::size_t got = result_->Read(onDisk.data(), onDisk.size());
        if (got != onDisk.size() || onDisk != verifyBlock_) return false;
        // Equal: the block is already there and is not written again.
        result_->SetPosition(static_cast<std::int64_t>(resumeOffset_) + verifyLength_);
        verifyLength_ = 0;
        verifyBlock_.clear();
    }
    if (size > 0) result_->WriteBuffer(data, size);
    return true;
}

void TpkCustomHTTP::RaiseProgress() {
    if (!OnProgress) return;
    const auto elapsed = static_cast<std::uint32_t>(NowMs() - startTick_);
    const TpkProgressFigures f = ComputeProgress(resumeOffset_, bytesReceived_, contentLength_, elapsed);
    transferRate_ = f.TransferRate;
    TpkStream* stream = writingToFile_ ? nullptr : result_.get();
    if (writingToFile_) stream = result_.get();
    Raise([&] {
        OnProgress(*this, contentType_, f.DataSize, f.BytesRead, f.ElapsedTime, f.EstimatedTimeLeft, f.PercentsDone,
                   f.TransferRate, stream);
    });
}

TpkCustomHTTP::Step TpkCustomHTTP::ReadBody() {
    buffer_.assign(bufferSize_, '\0');
    for (;;) {
        Check();
        std::uint32_t got = 0;
        if (!ReadRaw(got) || got == 0) break;
        const Kept kept = inflater_ ? Inflate(buffer_.data(), got) : Keep(buffer_.data(), got);
        if (kept == Kept::Stop) break;
        if (kept == Kept::Mismatch) {
            buffer_.clear();
            return localFile_ ? RereadLocalFile() : RestartFromScratch();
        }
    }
    buffer_.clear();
    if (inflater_ && !inflater_->Ended() && !overflowed_ && !badContent_) cutShort_ = true;
    return VerifyTail();
}

// The next block as it came: from the local file, or only what has arrived from the network
// (a whole-buffer read of a trickling body would wait for its whole buffer, past any deadline).
// False at a failure, `got` 0 at the end.
bool TpkCustomHTTP::ReadRaw(std::uint32_t& got) {
    got = 0;
    if (localFile_) {
        got = static_cast<std::uint32_t>(localFile_->Read(buffer_.data(), bufferSize_));
        return true;
    }
    std::uint32_t ready = 0;
    const bool ok = internet_->QueryDataAvailable(request_.Get(), ready) &&
                    (ready == 0 || internet_->Read(request_.Get(), buffer_.data(), std::min(ready, bufferSize_), got));
    if (!ok) Failed();
    return ok;
}

// Decodes one block of a compressed body into the result. The decoded blocks go through Keep
// one by one, so the cap and the deadline stop a body that inflates without end.
TpkCustomHTTP::Kept TpkCustomHTTP::Inflate(const char* data, std::uint32_t size) {
    Kept kept = Kept::Ok;
    const TpkInflater::Result r = inflater_->Feed(data, size, [&](const char* out, std::size_t n) {
        Check();
        kept = Keep(out, static_cast<std::uint32_t>(n));
        return kept == Kept::Ok;
    });
    switch (r) {
        case TpkInflater::Result::Corrupt: badContent_ = true; return Kept::Stop;
        case TpkInflater::Result::Stopped: return kept;
        case TpkInflater::Result::End: return Kept::Stop;  // whatever follows the data is not read
        case TpkInflater::Result::More: break;
    }
    return Kept::Ok;
}

// One block of the body into the result; Stop when it would pass the memory cap (the block is
// not kept), Mismatch when a resumed file's first bytes differ from what the server sends.
TpkCustomHTTP::Kept TpkCustomHTTP::Keep(const char* data, std::uint32_t size) {
    bytesReceived_ += size;
    if (!writingToFile_ && result_->Size() + size > job_.MaxMemorySize) {
        overflowed_ = true;  // ended as a lost connection
        return Kept::Stop;
    }
    if (!WriteBlock(data, size)) return Kept::Mismatch;
    RaiseProgress();
    return Kept::Ok;
}

// A local source whose bytes differ from the partial file is read again from its start.
TpkCustomHTTP::Step TpkCustomHTTP::RereadLocalFile() {
    resumeOffset_ = 0;
    localFile_->SetPosition(0);
    result_.reset();
    verifyBlock_.clear();
    verifyLength_ = 0;
    bytesReceived_ = 0;
    if (OpenResult() != Step::Next) return Step::End;
    return ReadBody();
}

// The body ended inside the resume check's block: what came must match what is on disk.
TpkCustomHTTP::Step TpkCustomHTTP::VerifyTail() {
    if (verifyLength_ == 0 || verifyBlock_.empty()) return Step::Next;
    std::string onDisk(verifyBlock_.size(), '\0');
    result_->SetPosition(resumeOffset_);
    const std::size_t n = result_->Read(onDisk.data(), onDisk.size());
    if (n != onDisk.size() || onDisk != verifyBlock_) return localFile_ ? Step::End : RestartFromScratch();
    return Step::Next;
}

void TpkCustomHTTP::InternetStatus(std::uint32_t code, const std::string& info) {
    if (OnStatus) OnStatus(*this, code, StatusText(code));
    if (code == 110 && OnRedirect) OnRedirect(*this, info);
}

// ---------------------------------------------------------------------------------------------
// Completion and clean-up (main thread)

void TpkCustomHTTP::UnblockTransfer() {
    // Child handles keep the callback they were made with; each is told to stop, so closing
    // (often on the main thread) reports nothing. Each handle is taken first, so the worker
    // closing it at the same moment cannot close it twice.
    for (UniqueInetHandle* handle : {&request_, &connection_, &session_}) {
        UniqueInetHandle taken(*internet_, handle->Release());
        if (taken) internet_->InstallStatusCallback(taken.Get(), false);
    }
}

void TpkCustomHTTP::CloseHandles() {
    localFile_.reset();
    UnblockTransfer();
}

void TpkCustomHTTP::FinishSoftAbort() {
    const bool removeFile = deleteFileOnAbort_ && writingToFile_;
    CloseHandles();
    CleanUp();
    if (removeFile) RemoveOutputFile();
    if (OnAborted) OnAborted(*this);
}

void TpkCustomHTTP::CleanUp() {
    buffer_.clear();
    buffer_.shrink_to_fit();
    verifyBlock_.clear();
    const bool hadFile = writingToFile_;
    result_.reset();
    if (hadFile) internet_->ApplyFileAttributes(job_.OutputFileName, job_.OutputFileAttributes.Incomplete);
    writingToFile_ = false;
    running_ = false;
    busy_ = false;
}

void TpkCustomHTTP::RemoveOutputFile() {
    if (!job_.OutputFileName.empty()) internet_->RemoveFile(job_.OutputFileName);
}

void TpkCustomHTTP::WorkerFailed() {
    failureReported_ = true;
    failure_ = hfOther;
    if (OnFailed) OnFailed(*this);
}

void TpkCustomHTTP::Complete() {
    CloseHandles();
    if (result_) result_->SetPosition(0);
    running_ = false;
    bool deleteFile = false;
    bool cancelled = false;
    try {
        if (!failureReported_) {
            const TpkCompletionPlan plan =
                PlanCompletion(continueDownload_, success_, result_ != nullptr, status_, uploading_, alreadyComplete_);
            failure_ = ClassifyThisTransfer();
            // A file this transfer did not make (a partial download it was to resume) stays.
            deleteFile = plan.deleteOutputFile && createdOutputFile_;
            RaiseResult(plan, cancelled);
        }
    } catch (...) {
        // A handler raised: the component still cleans up so that it can start again.
        CleanUp();
        if (deleteFile) RemoveOutputFile();
        throw;
    }
    CleanUp();
    if (deleteFile) RemoveOutputFile();
    if (cancelled && OnCancelled) OnCancelled(*this);
}

TpkHTTPFailure TpkCustomHTTP::ClassifyThisTransfer() const {
    TpkTransferFacts facts;
    const bool hasResult = result_ != nullptr || alreadyComplete_;
    facts.Cancelled = !continueDownload_;
    facts.Succeeded = success_ && hasResult;
    facts.OutputFileError = success_ && !hasResult;
    facts.InsecureRedirect = insecureRedirect_;
    facts.DeadlinePassed = timedOut_;
    facts.TooLarge = overflowed_;
    facts.BadContent = badContent_;
    facts.Status = status_;
    facts.PlatformError = platformError_;
    return ClassifyFailure(facts);
}

// The plan's events, in order (OnCancelled is raised by the caller, after clean-up).
void TpkCustomHTTP::RaiseResult(const TpkCompletionPlan& plan, bool& cancelled) {
    TpkStream* stream = writingToFile_ ? nullptr : result_.get();
    const std::int32_t dataSize = static_cast<std::int32_t>(bytesReceived_ + resumeOffset_);
    for (TpkHTTPEvent event : plan.events) {
        switch (event) {
            case TpkHTTPEvent::Done:
                if (writingToFile_ || alreadyComplete_) CloseFileResult();
                if (OnDone) OnDone(*this, contentType_, alreadyComplete_ ? static_cast<std::int32_t>(resumeOffset_) : dataSize, stream);
                break;
            case TpkHTTPEvent::Failed:
                if (OnFailed) OnFailed(*this);
                break;
            case TpkHTTPEvent::OutputFileError:
                if (OnOutputFileError) OnOutputFileError(*this);
                break;
            case TpkHTTPEvent::ConnLost:
                if (OnConnLost) OnConnLost(*this, contentType_, contentLength_, static_cast<std::int32_t>(bytesReceived_), result_.get());
                break;
            case TpkHTTPEvent::HostUnreachable:
                if (OnHostUnreachable) OnHostUnreachable(*this);
                break;
            case TpkHTTPEvent::UploadFailed:
                if (OnUploadFailed) OnUploadFailed(*this);
                break;
            case TpkHTTPEvent::Error:
                if (OnError) OnError(*this, status_, result_.get());
                break;
            case TpkHTTPEvent::Cancelled:
                cancelled = true;
                break;
        }
    }
}

// Closes a finished output file and gives it its Complete attributes.
void TpkCustomHTTP::CloseFileResult() {
    result_.reset();
    writingToFile_ = false;
    const TpkOutputFileAttributes& a = job_.OutputFileAttributes;
    internet_->ApplyFileAttributes(job_.OutputFileName, a.Incomplete);
    if (!(a.Complete == a.Incomplete)) internet_->ApplyFileAttributes(job_.OutputFileName, a.Complete);
}

void TpkCustomHTTP::WaitTimedOut(bool& terminate) {
    terminate = true;
    if (OnWaitTimeoutExpired) OnWaitTimeoutExpired(*this, terminate);
    if (!terminate) return;
    failure_ = hfTimeout;
    thread_->Terminate(true);  // the worker goes first: it may be using what is closed next
    CloseHandles();
    CleanUp();
}

}  // namespace tw
