#pragma once
// The application-wide answer to an exception that reached a place it must not pass: a window
// procedure, a timer or a worker's hand-over. Nothing unwinds through the system's callbacks;
// such places catch everything and call ReportUnhandled.
#include <exception>
#include <functional>
#include <string>

namespace tw {

using UnhandledHandler = std::function<void(std::exception_ptr error)>;

// Installs the handler (the program's: a message box); null restores the default, which only
// counts. Main thread only.
void SetUnhandledHandler(UnhandledHandler handler);

// Hands `error` to the installed handler; an exception thrown by the handler itself is dropped.
// Any thread may report (a worker's callback does); the handler then runs on that thread.
void ReportUnhandled(std::exception_ptr error) noexcept;

// How many errors have been reported since the start (tests check that none was).
int UnhandledCount() noexcept;

// Answers `handler()`; when it throws, the error goes to ReportUnhandled and `fallback()` answers
// instead. The one guard of every window, dialog and hook procedure and every callback of the
// system, which nothing may unwind through. `fallback` must not throw.
template <class Handler, class Fallback>
decltype(auto) CallReportingErrors(Handler&& handler, Fallback&& fallback) noexcept {
    try {
        return handler();
    } catch (...) {
        ReportUnhandled(std::current_exception());
    }
    return fallback();
}

template <class Handler>
void CallReportingErrors(Handler&& handler) noexcept {
    CallReportingErrors(handler, [] {});
}

// The error's text: what() of a standard exception, else "Unexpected error".
std::string UnhandledText(std::exception_ptr error);

}  // namespace tw
