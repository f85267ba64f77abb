#pragma once
// "/import FILE" and "/export FILE" on Windows: when a ticker runs, this second process hands
// the command to its window (WM_COPYDATA) and waits for the answer, so that the running ticker,
// which writes its lists at exit, is the one that changes them; otherwise it does the work on
// app.config itself. The outcome is the exit code (0 done, 1 failed) and one line on the
// console the program was started from, if any.
#include "app/SubscriptionCommands.h"

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace tw {

// Marks our WM_COPYDATA requests (and, one higher, their answers) among any other program's.
inline constexpr ULONG_PTR kSubscriptionRequestId = 0x54574331;

// The exit code when `arguments` (after the program's name, UTF-8) are a subscription command;
// nothing for any other command line, which starts the ticker as before.
std::optional<int> RunSubscriptionCommandLine(const std::vector<std::string>& arguments);

// The running ticker's side of WM_COPYDATA: a request of ours is run by `run` and its message
// sent back to the requesting window; answers 1 when done, 2 when failed, 0 for anything that is
// not our request.
LRESULT AnswerSubscriptionRequest(WPARAM sender, LPARAM data,
                                  const std::function<TSubscriptionResult(const TSubscriptionCommand&)>& run);

}  // namespace tw
