#pragma once
// The words a user cares about: the lists Exclude_Words, Include_Words and Highlight_Words and
// what they say of one item. Matching is by whole words and without regard to case in every
// script; words of scripts written without spaces (Japanese, Chinese, Thai...) match inside a
// run of letters; an entry of several words matches them as a phrase (docs/stream.md).
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// The entries of a comma-separated list, each trimmed of blanks; empty entries are dropped.
std::vector<std::string> SplitWordList(std::string_view list);

class TWordRules {
public:
    // No lists: every item is shown and none is highlighted.
    TWordRules() = default;
    // Each list comma-separated, as stored. With `matchDescription` the description is searched
    // as well as the title. An entry with no letter, number or mark in it matches nothing.
    TWordRules(std::string_view excludeWords, std::string_view includeWords, std::string_view highlightWords,
               bool matchDescription);

    // True when no list has an entry: Judge then always answers the default verdict.
    bool Empty() const { return exclude_.empty() && include_.empty() && highlight_.empty(); }

    struct TVerdict {
        bool Excluded = false;    // an Exclude_Words entry is in the item
        bool Included = true;     // the include list is empty, or one of its entries is in the item
        bool Highlighted = false; // a Highlight_Words entry is in the item
        bool Shown() const { return Included && !Excluded; }
    };
    // `title` and `description` as the ticker shows them (markup already stripped), UTF-8.
    TVerdict Judge(std::string_view title, std::string_view description) const;

private:
    // An entry or a text in the form matching compares: case-folded, every run of characters
    // that belong to no word turned into one space. A text also gets a space at each end.
    using TMatchForm = std::u32string;
    struct TTexts;
    static bool AnyFound(const std::vector<TMatchForm>& entries, const TTexts& texts);
    static bool Found(const TMatchForm& entry, const TMatchForm& text);
    static std::vector<TMatchForm> Entries(std::string_view list);
    static TMatchForm FormOf(std::string_view text, bool padded);

    std::vector<TMatchForm> exclude_, include_, highlight_;
    bool matchDescription_ = false;
};

}  // namespace tw
