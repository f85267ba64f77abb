#pragma once
// The start-up step that registers the feed: and feeds: schemes in the current user's classes
// (HKEY_CURRENT_USER\Software\Classes) for the running executable.
#include <string>

namespace tw {

// Writes each scheme where FeedSchemeValues says, unless another program handles it; a key
// that cannot be written leaves that scheme unregistered (the program works without it).
void RegisterFeedSchemesAtStart(const std::string& serviceName, const std::string& topicName);

}  // namespace tw
