#pragma once
// TpkOnlyOne: keeps a program to one running instance per application title. The first
// instance holds a named mutex and records its private message window in the registry; a
// second one finds the mutex, asks the recorded window to bring the first instance to the front
// (and, if so set, to end), and ends itself. The system side is IOnlyOnePlatform
// (pkOnlyOne_win32.h has the real one).
#include "base/pkClasses.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

namespace tw {

// The hand-over messages, sent to the first instance's private window.
inline constexpr std::uint32_t WM_SWITCH_TO_FIRST = 14951;
inline constexpr std::uint32_t WM_CLOSE_FIRST = 14952;
inline constexpr std::string_view kOnlyOneName = "TpkOnlyOne";

// What the guard needs of the system. Window values are the system's window handles as numbers;
// 0 is no window.
class IOnlyOnePlatform {
public:
    enum class TMutexResult { Created, AlreadyExists, Failed };

    virtual ~IOnlyOnePlatform() = default;
    // Creates the named mutex, not owned; on Created the platform holds it until CloseMutex.
    virtual TMutexResult CreateNamedMutex(const std::string& name) = 0;
    virtual void CloseMutex() = 0;
    // The window recorded under `title`; 0 when there is no record.
    virtual std::uintptr_t ReadRecord(const std::string& title) = 0;
    // Records `window` under `title`; false when the registry refuses (the instance then cannot be
    // found by a later one).
    virtual bool WriteRecord(const std::string& title, std::uintptr_t window) = 0;
    virtual void DeleteRecord(const std::string& title) = 0;
    // Sends `message` (parameters 0) and waits until it was handled; nothing for window 0 or a
    // window that is gone.
    virtual void SendToWindow(std::uintptr_t window, std::uint32_t message) = 0;
    // This instance's private message window, which the guard records.
    virtual std::uintptr_t OwnWindow() = 0;
    // Passes WM_SWITCH_TO_FIRST to the owner form's window, then restores the application if
    // minimised, else brings it to the top, and makes it the foreground.
    virtual void SwitchToFront() = 0;
    // Closes the application's main form, if there is one, and asks the application to end.
    virtual void TerminateApplication() = 0;
};

class TpkOnlyOne : public TpkComponent {
public:
    using TpkOnlyOneForcedTermination = std::function<void(TpkOnlyOne& sender, bool& Close)>;

    // `title` is the application title; the mutex is "TpkOnlyOne" followed by it.
    TpkOnlyOne(TpkComponent* owner, std::string title, std::unique_ptr<IOnlyOnePlatform> platform);
    // Closes the mutex if held; removes the record if it still names this instance's window.
    ~TpkOnlyOne() override;
    const char* ClassName() const override { return "TpkOnlyOne"; }

    bool CloseSecond = true;
    bool CloseFirst = false;
    bool SwitchToFirst = true;
    std::function<void(TpkOnlyOne& sender)> OnAlreadyExist;
    TpkOnlyOneForcedTermination OnForcedTermination;

    // Whether another instance with this title runs (the answer is kept).
    bool AlreadyExists();
    // The decision, as the owning form has been read (also through EndLoading).
    void Loaded() override;
    // The private window's messages: the two requests are answered with 1.
    void HookMessage(TMessage& message) override;

    // Whether this instance asked to end because of the guard.
    bool TerminationRequested() const { return terminationRequested_; }
    const std::string& MutexName() const { return mutexName_; }

private:
    bool ForcedTerminationAllowed();

    std::string title_;
    std::string mutexName_;
    std::unique_ptr<IOnlyOnePlatform> platform_;
    bool holdsMutex_ = false;
    bool exists_ = false;
    bool terminationRequested_ = false;
    std::uintptr_t recorded_ = 0;
};

}  // namespace tw
