#pragma once
// TNetDetect: tells its owner whether the internet can be reached and reports when that
// changes. It polls on a timer; each poll opens one web address on a short-lived thread of its
// own, and the result comes back on the main thread. The decisions (which result is the initial
// one, when a change is reported, which intervals are accepted) live here; the timer and the
// check threads are the host's (NetDetect_win32.cpp on Windows, a test double natively).
#include <cstdint>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <string_view>

namespace tw {

class TNetDetect;

// What the detector needs of the system.
class INetDetectHost {
public:
    virtual ~INetDetectHost() = default;
    // Called once by the detector's constructor, before anything else; the host reports ticks
    // and finished checks to it on the main thread (TNetDetect::Tick, TNetDetect::CheckDone).
    virtual void Bind(TNetDetect& detector) = 0;
    // Runs the repeating timer every intervalMs while enabled, restarting the period; stops it
    // otherwise. Throws std::system_error when the system refuses the timer.
    virtual void SetTimer(bool enabled, int intervalMs) = 0;
    // Starts one check of `url` on a thread of its own, with the connect time-out; when it ends,
    // the host calls detector.CheckDone(checkId, reachable) on the main thread. Checks may end
    // in any order. A host destroyed before a check ends drops that check's report.
    virtual void StartCheck(std::uint64_t checkId, const std::string& url, int timeoutMs) = 0;
};

// A reliable public page; tests and the end-to-end runs point the detector at loopback instead.
inline constexpr std::string_view kDefaultNetDetectUrl = "http://www.msftconnecttest.com/connecttest.txt";

class TNetDetect {
public:
    using TConnectionStatusEvent = std::function<void(TNetDetect& sender, bool isConnected)>;

    static constexpr int kDefaultTimeOut = 500;
    static constexpr int kDefaultInterval = 5000;
    static constexpr int kMinimumInterval = 1000;

    // Binds the host and starts the initial check of `url` at once (unless startInitialCheck is
    // false, which stands for a component that exists at design time only). The timer stays off
    // until Enabled is set.
    explicit TNetDetect(std::unique_ptr<INetDetectHost> host, std::string url = std::string(kDefaultNetDetectUrl),
                        bool startInitialCheck = true);
    ~TNetDetect();
    TNetDetect(const TNetDetect&) = delete;
    TNetDetect& operator=(const TNetDetect&) = delete;

    bool Enabled() const { return enabled_; }
    void SetEnabled(bool value);
    int TimeOut() const { return timeOut_; }
    void SetTimeOut(int value) { timeOut_ = value; }
    // Values below 1000 and the current value are ignored.
    int Interval() const { return interval_; }
    void SetInterval(int value);
    const std::string& Url() const { return url_; }
    void SetUrl(std::string value) { url_ = std::move(value); }

    // The last result; false until a check has ended.
    bool Connected() const { return lastResult_; }

    // Raised when an ordinary check's result differs from the previous one.
    TConnectionStatusEvent OnConnectionStatusChanged;
    // Raised once, with the initial check's result.
    TConnectionStatusEvent OnConnectionStatus;

    // For the host: the timer ticked (ignored while disabled: a tick already queued when the
    // timer was stopped must not start a check).
    void Tick();
    // For the host: check `checkId` ended. Ids the detector did not start, or has already
    // heard about, are ignored.
    void CheckDone(std::uint64_t checkId, bool reachable);

    // The id of the check most recently started (0 before any).
    std::uint64_t LastCheckId() const { return lastCheckId_; }

private:
    void StartCheck(bool initial);

    std::unique_ptr<INetDetectHost> host_;
    std::string url_;
    int timeOut_ = kDefaultTimeOut;
    int interval_ = kDefaultInterval;
    bool enabled_ = false;
    bool lastResult_ = false;
    std::uint64_t initialCheckId_ = 0;   // 0 once the initial check has reported
    std::uint64_t lastCheckId_ = 0;
    std::set<std::uint64_t> pending_;    // checks started and not yet reported
};

// Windows build only: the host with a message-only window for the timer and the reports, and a
// thread per check running IsUrlReachable.
std::unique_ptr<INetDetectHost> MakeSystemNetDetectHost();

// Windows build only: opens `url` through the internet API with the given connect time-out and
// answers whether a handle came back (the HTTP status is not examined). Every failure gives false.
bool IsUrlReachable(const std::string& url, int timeoutMs);

// Windows build only: whether the system reports a modem connection (internet traffic then goes
// out directly). Safe on any thread; the answer may be up to a minute old.
bool ModemConnection();

}  // namespace tw
