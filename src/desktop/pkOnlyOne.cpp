#include "desktop/pkOnlyOne.h"

#include <utility>

namespace tw {

TpkOnlyOne::TpkOnlyOne(TpkComponent* owner, std::string title, std::unique_ptr<IOnlyOnePlatform> platform)
    : TpkComponent(owner), title_(std::move(title)), mutexName_(std::string(kOnlyOneName) + title_),
      platform_(std::move(platform)) {}

TpkOnlyOne::~TpkOnlyOne() {
    if (holdsMutex_) platform_->CloseMutex();
    // A later first instance may have taken the record over after this one was thought gone.
    if (recorded_ != 0 && platform_->ReadRecord(title_) == recorded_) platform_->DeleteRecord(title_);
}

bool TpkOnlyOne::AlreadyExists() {
    if (holdsMutex_) return exists_;
    const auto result = platform_->CreateNamedMutex(mutexName_);
    // A mutex that cannot be made counts as taken: two guards failing alike must not both run.
    exists_ = result != IOnlyOnePlatform::TMutexResult::Created;
    holdsMutex_ = !exists_;
    return exists_;
}

bool TpkOnlyOne::ForcedTerminationAllowed() {
    bool close = true;
    if (OnForcedTermination) OnForcedTermination(*this, close);
    return close;
}

void TpkOnlyOne::Loaded() {
    if (IsDesigning()) return;
    if (AlreadyExists()) {
        if (OnAlreadyExist) OnAlreadyExist(*this);
        if (SwitchToFirst) platform_->SendToWindow(platform_->ReadRecord(title_), WM_SWITCH_TO_FIRST);
        if (CloseFirst) platform_->SendToWindow(platform_->ReadRecord(title_), WM_CLOSE_FIRST);
        if (CloseSecond && ForcedTerminationAllowed()) {
            terminationRequested_ = true;
            platform_->TerminateApplication();
            return;
        }
    }
    // Only a record that was written is removed at the end.
    const std::uintptr_t window = platform_->OwnWindow();
    if (window != 0 && platform_->WriteRecord(title_, window)) recorded_ = window;
}

void TpkOnlyOne::HookMessage(TMessage& message) {
    switch (message.Msg) {
        case WM_SWITCH_TO_FIRST:
            platform_->SwitchToFront();
            message.Result = 1;
            break;
        case WM_CLOSE_FIRST:
            if (ForcedTerminationAllowed()) {
                terminationRequested_ = true;
                platform_->TerminateApplication();
            }
            message.Result = 1;
            break;
        default: break;
    }
}

}  // namespace tw
