#include "desktop/NetDetect.h"

namespace tw {

TNetDetect::TNetDetect(std::unique_ptr<INetDetectHost> host, std::string url, bool startInitialCheck)
    : host_(std::move(host)), url_(std::move(url)) {
    host_->Bind(*this);
    if (startInitialCheck) StartCheck(true);
}

TNetDetect::~TNetDetect() {
    // The host goes first (it is a member): its timer stops and late reports are dropped.
    if (host_) host_->SetTimer(false, interval_);
}

void TNetDetect::SetEnabled(bool value) {
    if (value == enabled_) return;
    enabled_ = value;
    host_->SetTimer(enabled_, interval_);
}

void TNetDetect::SetInterval(int value) {
    if (value < kMinimumInterval || value == interval_) return;
    interval_ = value;
    if (enabled_) host_->SetTimer(true, interval_);
}

void TNetDetect::Tick() {
    if (enabled_) StartCheck(false);
}

void TNetDetect::StartCheck(bool initial) {
    std::uint64_t id = ++lastCheckId_;
    if (initial) initialCheckId_ = id;
    pending_.insert(id);
    host_->StartCheck(id, url_, timeOut_);
}

void TNetDetect::CheckDone(std::uint64_t checkId, bool reachable) {
    if (pending_.erase(checkId) == 0) return;
    // Only the check started as the initial one counts as initial, even when a poll started
    // later happens to end first.
    if (checkId == initialCheckId_) {
        initialCheckId_ = 0;
        lastResult_ = reachable;
        if (OnConnectionStatus) OnConnectionStatus(*this, reachable);
        return;
    }
    bool changed = reachable != lastResult_;
    lastResult_ = reachable;
    if (changed && OnConnectionStatusChanged) OnConnectionStatusChanged(*this, reachable);
}

}  // namespace tw
