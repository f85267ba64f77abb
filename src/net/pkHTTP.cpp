#include "net/pkHTTP.h"

#include "net/pkInetUtils.h"
#include "base/pkUtils.h"

#include <algorithm>
#include <chrono>
#include <cstring>

namespace tw {

namespace {

std::uint64_t NowMs() {
    using namespace std::chrono;
    return static_cast<std::uint64_t>(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
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

TpkCustomHTTP::TpkCustomHTTP(TpkComponent* owner, std::unique_ptr<TpkInternetApi> internet)
    : TpkCustomHTTP(owner, std::move(internet), kDefaultHTTPOptions) {}

TpkCustomHTTP::TpkCustomHTTP(TpkComponent* owner, std::unique_ptr<TpkInternetApi> internet, TpkHTTPOptions options)
    : TpkLoginComponent(owner), Options(options), internet_(std::move(internet)) {
    if (!internet_) internet_ = CreatePlatformInternet();
    thread_ = std::make_unique<TpkCustomThread>(this);
    thread_->OnExecute = [this](TpkCustomThread&) { Execute(); };
    thread_->OnTerminate = [this](TpkCustomThread&) { Complete(); };
    thread_->OnException = [this](TpkCustomThread&, std::exception_ptr) { WorkerFailed(); };
    thread_->OnWaitTimeoutExpired = [this](TpkComponent&, bool& terminate) { WaitTimedOut(terminate); };
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
    transferRate_ = -1.0f;
    resumeOffset_ = resumeOffset;
    endOffset_ = endOffset;
    uploading_ = false;
    const bool savedWait = thread_->WaitThread;
    if (wait) thread_->WaitThread = true;
    const bool result = thread_->Run();
    if (thread_) thread_->WaitThread = savedWait;
    return result;
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
    if (!hard) {
        thread_->Terminate(false);
        return;
    }
    thread_->Terminate(true);
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
    if (!thread_->StopRequested()) return;
    TpkEventThread* current = TpkEventThread::Current();
    if (current != nullptr && current->Abandoned()) throw TpkThreadEnd{};  // cleaned up by the main thread
    const bool removeFile = deleteFileOnAbort_ && writingToFile_;
    CloseHandles();
    CleanUp();
    if (removeFile) RemoveOutputFile();
    if (OnAborted) thread_->Synchronize([this] { OnAborted(*this); });
    throw TpkThreadEnd{};
}

void TpkCustomHTTP::Execute() {
    uploading_ = false;
    status_ = -1;
    contentType_.clear();
    contentLength_ = 0;
    bytesReceived_ = 0;
    bufferSize_ = TransferBufferSize > 0 ? static_cast<std::uint32_t>(TransferBufferSize) : 4096u;
    startTick_ = NowMs();
    continueDownload_ = true;
    success_ = false;
    alreadyComplete_ = false;
    overflowed_ = false;
    failureReported_ = false;
    writingToFile_ = false;
    restarts_ = 0;
    verifyBlock_.clear();
    verifyLength_ = 0;

    TpkURLParts parts;
    if (!SplitURL(URL, parts)) return;  // no status: reported as an unreachable host
    scheme_ = parts.Scheme;
    host_ = parts.Host;
    port_ = parts.Port;
    path_ = parts.Path;
    extra_ = EscapeURLPart(parts.Extra);
    user_ = parts.UserName.empty() ? Username() : parts.UserName;
    password_ = parts.Password.empty() ? Password() : parts.Password;
    Check();

    if (EqualNoCase(scheme_, "file")) {
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
            } else if (Range.StartRange != 0) {
                start = localFile_->Seek(Range.StartRange, TSeekOrigin::soBeginning);
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
    success_ = !overflowed_ && TransferSucceeded(status_, contentLength_, bytesReceived_, result_ != nullptr);
}

TpkCustomHTTP::Step TpkCustomHTTP::RunNetwork() {
    const std::string proxy = ProxyNameFor(Proxy.AccessType, Proxy.ProxyServer, Proxy.ProxyPort);
    const std::string bypass = Proxy.AccessType == atUseProxy ? Proxy.ProxyBypass : std::string();
    session_ = internet_->Open(Agent, AccessTypeToOpenType(Proxy.AccessType), proxy, bypass,
                               OpenOffline ? kOpenFlagOffline : 0u);
    if (session_ == nullptr) return Step::End;
    internet_->InstallStatusCallback(session_, true);

    for (;;) {
        Step step = ConnectAndOpenRequest();
        if (step == Step::Next) step = AddHeaders(false);
        if (step == Step::Next) step = SendLoop();
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

TpkCustomHTTP::Step TpkCustomHTTP::ConnectAndOpenRequest() {
    Check();
    connection_ = internet_->Connect(session_, host_, port_, user_, password_, this);
    if (connection_ == nullptr) return Step::End;
    Check();
    const bool post = RequestMethod == rmPost || (RequestMethod == rmAutomatic && !PostData.empty());
    request_ = internet_->OpenRequest(connection_, post ? "POST" : "GET", path_ + extra_, Referer, AcceptTypes,
                                      OptionFlags(Options, scheme_));
    if (request_ == nullptr) return Step::End;
    Check();
    if (Proxy.AccessType != atDirect && !Proxy.ProxyUsername.empty() && !Proxy.ProxyPassword.empty()) {
        internet_->SetOptionText(request_, kOptionProxyUsername, Proxy.ProxyUsername);
        internet_->SetOptionText(request_, kOptionProxyPassword, Proxy.ProxyPassword);
    }
    if (Timeouts.ConnectTimeout != 0) internet_->SetOptionNumber(request_, kOptionConnectTimeout, Timeouts.ConnectTimeout);
    if (Timeouts.ReceiveTimeout != 0) internet_->SetOptionNumber(request_, kOptionReceiveTimeout, Timeouts.ReceiveTimeout);
    if (Timeouts.SendTimeout != 0) internet_->SetOptionNumber(request_, kOptionSendTimeout, Timeouts.SendTimeout);
    if (std::uint32_t security = SecurityFlagsFor(Options)) internet_->SetOptionNumber(request_, kOptionSecurityFlags, security);
    if (GoOnline && internet_->IsGlobalOffline()) internet_->GoOnline(URL);
    if (OnBeforeSendRequest) OnBeforeSendRequest(*this, request_);
    return Step::Next;
}

TpkCustomHTTP::Step TpkCustomHTTP::AddHeaders(bool replace) {
    const std::string range = BuildRangeLine(resumeOffset_, endOffset_, Range.StartRange, Range.EndRange);
    const std::string headers = BuildRequestHeaders(RequestHeaders, range);
    if (headers.empty()) return Step::Next;
    const std::uint32_t flag = replace || status_ == 416 ? kAddRequestHeadersReplace : kAddRequestHeadersAdd;
    return internet_->AddRequestHeaders(request_, headers, flag) ? Step::Next : Step::End;
}

TpkCustomHTTP::Step TpkCustomHTTP::SendLoop() {
    static const std::string kFormHeader = "Content-Type: application/x-www-form-urlencoded";
    for (;;) {
        Check();
        tryAgain_ = false;
        const bool post = RequestMethod == rmPost || (RequestMethod == rmAutomatic && !PostData.empty());
        const bool sent = post ? internet_->SendRequest(request_, kFormHeader, PostData)
                               : internet_->SendRequest(request_, std::string(), std::string());
        if (!sent) return Step::End;  // status stays -1
        Check();
        std::string statusText;
        lastCallOk_ = internet_->QueryInfo(request_, kQueryStatusCode, statusText);
        status_ = lastCallOk_ ? ParseContentLength(statusText) : -1;
        if (status_ == 0) status_ = -1;
        uploading_ = false;

        if (status_ == 416 && resumeOffset_ != 0) {
            // Is the file already whole? Ask for everything and compare the length.
            internet_->AddRequestHeaders(request_, "RANGE: bytes=0-\r\n", kAddRequestHeadersReplace);
            std::string length;
            if (internet_->SendRequest(request_, std::string(), std::string())) {
                std::string again;
                int second = internet_->QueryInfo(request_, kQueryStatusCode, again) ? ParseContentLength(again) : -1;
                if ((second == 200 || second == 206) && internet_->QueryInfo(request_, kQueryContentLength, length) &&
                    ParseContentLength(length) == static_cast<std::int32_t>(resumeOffset_)) {
                    status_ = second;
                    alreadyComplete_ = true;
                    return Step::End;
                }
            }
            status_ = -1;
            resumeOffset_ = 0;
            internet_->Close(request_);
            request_ = nullptr;
            internet_->Close(connection_);
            connection_ = nullptr;
            return Step::Restart;
        }
        if (status_ == 401 && OnPasswordRequest) {
            std::string challenge;
            contentType_ = internet_->QueryInfo(request_, kQueryWWWAuthenticate, challenge) ? ExtractRealm(challenge)
                                                                                          : std::string();
            Raise([this] { OnPasswordRequest(*this, contentType_, tryAgain_); });
            internet_->SetOptionText(request_, kOptionUsername, Username());
            internet_->SetOptionText(request_, kOptionPassword, Password());
        } else if (status_ == 407 && OnProxyAuthenticationRequest) {
            Raise([this] { OnProxyAuthenticationRequest(*this, Proxy.ProxyUsername, Proxy.ProxyPassword, tryAgain_); });
            internet_->SetOptionText(request_, kOptionProxyUsername, Proxy.ProxyUsername);
            internet_->SetOptionText(request_, kOptionProxyPassword, Proxy.ProxyPassword);
        }
        if (!tryAgain_) return Step::Next;
    }
}

TpkCustomHTTP::Step TpkCustomHTTP::ReadResponseHeaders() {
    Check();
    std::string value;
    if (internet_->QueryInfo(request_, kQueryContentType, value)) contentType_ = value;
    lastCallOk_ = internet_->QueryInfo(request_, kQueryContentLength, value);
    contentLength_ = lastCallOk_ ? ParseContentLength(value) : 0;
    if (!internet_->QueryInfo(request_, kQueryContentRange, value)) resumeOffset_ = 0;  // the whole entity came
    if (!OnHeaderInfo) return Step::Next;

    auto text = [this](std::uint32_t query) {
        std::string v;
        return internet_->QueryInfo(request_, query, v) ? v : std::string();
    };
    auto date = [&](std::uint32_t query) {
        std::string v;
        return internet_->QueryInfo(request_, query, v) ? RFC822ToDateTime(v) : 0.0;
    };
    const std::string raw = text(kQueryRawHeadersCRLF);
    const std::string language = text(kQueryContentLanguage);
    const std::string encoding = text(kQueryContentEncoding);
    const std::string location = text(kQueryLocation);
    const std::string etag = text(kQueryETag);
    const double when = date(kQueryDate);
    const double modified = date(kQueryLastModified);
    const double expires = date(kQueryExpires);
    const std::int32_t length = static_cast<std::int32_t>(contentLength_ + static_cast<std::int64_t>(resumeOffset_));
    Raise([&] {
        OnHeaderInfo(*this, status_, raw, contentType_, language, encoding, length, location, when, modified, expires,
                     etag, continueDownload_);
    });
    return continueDownload_ ? Step::Next : Step::End;
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
    internet_->Close(request_);
    request_ = nullptr;
    internet_->Close(connection_);
    connection_ = nullptr;
    return Step::Restart;
}

TpkCustomHTTP::Step TpkCustomHTTP::OpenResult() {
    Check();
    const bool network = localFile_ == nullptr && !EqualNoCase(scheme_, "file");
    if ((status_ == 200 || status_ == 206) && !OutputFileName.empty()) {
        try {
            auto file = std::make_unique<TpkFileStream>(
                OutputFileName, resumeOffset_ == 0 ? TpkFileStreamMode::fsmCreate : TpkFileStreamMode::fsmOpenOrCreate,
                true);
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
            if (!(OutputFileAttributes.Incomplete == TpkFileAttributes{atrArchive}))
                internet_->ApplyFileAttributes(OutputFileName, OutputFileAttributes.Incomplete);
            writingToFile_ = true;
            return Step::Next;
        } catch (const EpkFileCreateError&) {
            if (network) return Step::End;  // no result stream: OnFailed then OnOutputFileError
            // A local source falls back to memory.
        }
    }
    auto memory = std::make_unique<TpkMemoryStream>();
    if (lastCallOk_ && contentLength_ > 0) {
        // Set the room aside without changing the size: a short body must not come out padded.
        memory->SetSize(std::min<std::int64_t>(contentLength_, kMaxPreallocation));
        memory->SetSize(0);
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
        if (localFile_) {
            got = static_cast<std::uint32_t>(localFile_->Read(buffer_.data(), bufferSize_));
        } else if (!internet_->Read(request_, buffer_.data(), bufferSize_, got)) {
            break;
        }
        if (got == 0) break;
        bytesReceived_ += got;
        if (!WriteBlock(buffer_.data(), got)) {
            buffer_.clear();
            if (localFile_) {  // a local source is read again from its start
                resumeOffset_ = 0;
                localFile_->SetPosition(0);
                result_.reset();
                verifyBlock_.clear();
                verifyLength_ = 0;
                bytesReceived_ = 0;
                if (OpenResult() != Step::Next) return Step::End;
                return ReadBody();
            }
            return RestartFromScratch();
        }
        if (!writingToFile_ && result_->Size() > MaxMemorySize) {
            overflowed_ = true;
            break;
        }
        RaiseProgress();
    }
    buffer_.clear();
    if (verifyLength_ > 0 && !verifyBlock_.empty()) {
        // The body ended inside the check block: what came must match what is on disk.
        std::string onDisk(verifyBlock_.size(), '\0');
        result_->SetPosition(resumeOffset_);
        const std::size_t n = result_->Read(onDisk.data(), onDisk.size());
        if (n != onDisk.size() || onDisk != verifyBlock_) return localFile_ ? Step::End : RestartFromScratch();
    }
    return Step::Next;
}

void TpkCustomHTTP::InternetStatus(std::uint32_t code, const std::string& info) {
    if (OnStatus) OnStatus(*this, code, StatusText(code));
    if (code == 110 && OnRedirect) OnRedirect(*this, info);
}

// ---------------------------------------------------------------------------------------------
// Completion and clean-up (main thread)

void TpkCustomHTTP::CloseHandles() {
    localFile_.reset();
    // Child handles keep the callback they were made with; each is told to stop, so closing
    // (often on the main thread) reports nothing.
    for (TpkInetHandle h : {request_, connection_, session_})
        if (h != nullptr) internet_->InstallStatusCallback(h, false);
    if (request_ != nullptr) internet_->Close(request_);
    if (connection_ != nullptr) internet_->Close(connection_);
    if (session_ != nullptr) internet_->Close(session_);
    request_ = connection_ = session_ = nullptr;
}

void TpkCustomHTTP::CleanUp() {
    buffer_.clear();
    buffer_.shrink_to_fit();
    verifyBlock_.clear();
    const bool hadFile = writingToFile_;
    result_.reset();
    if (hadFile) internet_->ApplyFileAttributes(OutputFileName, OutputFileAttributes.Incomplete);
    writingToFile_ = false;
    running_ = false;
    busy_ = false;
}

void TpkCustomHTTP::RemoveOutputFile() {
    if (!OutputFileName.empty()) internet_->RemoveFile(OutputFileName);
}

void TpkCustomHTTP::WorkerFailed() {
    failureReported_ = true;
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
            deleteFile = plan.deleteOutputFile;
            TpkStream* stream = writingToFile_ ? nullptr : result_.get();
            const std::int32_t dataSize = static_cast<std::int32_t>(bytesReceived_ + resumeOffset_);
            for (TpkHTTPEvent event : plan.events) {
                switch (event) {
                    case TpkHTTPEvent::Done:
                        if (writingToFile_ || alreadyComplete_) {
                            result_.reset();  // closing the file
                            writingToFile_ = false;
                            internet_->ApplyFileAttributes(OutputFileName, OutputFileAttributes.Incomplete);
                            if (!(OutputFileAttributes.Complete == OutputFileAttributes.Incomplete))
                                internet_->ApplyFileAttributes(OutputFileName, OutputFileAttributes.Complete);
                        }
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

void TpkCustomHTTP::WaitTimedOut(bool& terminate) {
    terminate = true;
    if (OnWaitTimeoutExpired) OnWaitTimeoutExpired(*this, terminate);
    if (!terminate) return;
    thread_->Terminate(true);  // the worker goes first: it may be using what is closed next
    CloseHandles();
    CleanUp();
}

}  // namespace tw
