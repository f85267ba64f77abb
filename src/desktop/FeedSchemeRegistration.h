#pragma once
// The feed: and feeds: schemes (a browser's "subscribe" links) opened by this program: the keys
// of the current user's classes that name it as their handler, and when to write them. A
// handler the user chose before (another feed reader) is left alone.
#include "desktop/uFileAssociations.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

inline constexpr std::string_view kFeedSchemes[] = {"feed", "feeds"};

// One registry value under the user's classes; an empty Name is the key's default value.
struct TClassesValue {
    std::string Key;
    std::string Name;
    std::string Value;
    bool operator==(const TClassesValue&) const = default;
};

// The values that make `scheme` open with the target: a URL protocol whose open command runs the
// executable with the address, and whose DDE command hands it to a running ticker.
std::vector<TClassesValue> FeedSchemeValues(std::string_view scheme, const TAssociationTarget& target);

// Whether to write the scheme's values, given its open command as it is (nothing: no handler):
// when there is none, or when it runs this program (by its file name: this executable, or a
// copy moved or installed elsewhere, as the .rss association does); never over another's.
bool ShouldRegisterFeedScheme(const std::optional<std::string>& openCommand, const std::string& executablePath);

}  // namespace tw
