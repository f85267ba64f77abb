#pragma once
// The configuration dialog's look at an address the user added: when it answers with a web page
// that links feeds, one found takes its place (a message box says so) and of several the user
// picks one in a small list.
#include <windows.h>

#include <optional>
#include <string>

namespace tw {

// The feed to keep in place of `address`; nothing when the address answers with no page that
// links feeds (it stays as typed and fails in the ticker as it would have), or when the user
// cancels the choice.
std::optional<std::string> FeedForAddedAddress(HWND owner, const std::string& address);

}  // namespace tw
