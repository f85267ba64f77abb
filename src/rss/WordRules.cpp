#include "rss/WordRules.h"

#include "base/AsciiText.h"
#include "base/UnicodeText.h"

namespace tw {

std::vector<std::string> SplitWordList(std::string_view list) {
    std::vector<std::string> entries;
    while (!list.empty()) {
        const std::size_t comma = list.find(',');
        const std::string_view entry = TrimAsciiWhitespace(list.substr(0, comma));
        if (!entry.empty()) entries.emplace_back(entry);
        list.remove_prefix(comma == std::string_view::npos ? list.size() : comma + 1);
    }
    return entries;
}

struct TWordRules::TTexts {
    TMatchForm title, description;
};

TWordRules::TWordRules(std::string_view excludeWords, std::string_view includeWords,
                       std::string_view highlightWords, bool matchDescription)
    : exclude_(Entries(excludeWords)),
      include_(Entries(includeWords)),
      highlight_(Entries(highlightWords)),
      matchDescription_(matchDescription) {}

std::vector<TWordRules::TMatchForm> TWordRules::Entries(std::string_view list) {
    std::vector<TMatchForm> entries;
    for (const std::string& entry : SplitWordList(list))
        if (TMatchForm form = FormOf(entry, false); !form.empty()) entries.push_back(std::move(form));
    return entries;
}

TWordRules::TMatchForm TWordRules::FormOf(std::string_view text, bool padded) {
    TMatchForm form;
    form.reserve(text.size() + 2);
    // A padded form starts with a gap, so the first word has a boundary before it to look at.
    bool inGap = true;
    if (padded) form.push_back(U' ');
    for (char32_t cp : Utf8ToUtf32(text)) {
        if (IsWordCharacter(cp)) {
            AppendCaseFolded(cp, form);
            inGap = false;
        } else if (!inGap) {
            form.push_back(U' ');
            inGap = true;
        }
    }
    if (padded) {
        if (!inGap) form.push_back(U' ');
    } else if (!form.empty() && form.back() == U' ') {
        form.pop_back();
    }
    return form;
}

bool TWordRules::Found(const TMatchForm& entry, const TMatchForm& text) {
    // A word of a spaceless script may begin or end anywhere in a run of letters; any other word
    // needs a gap, or a change to or from such a script, on each side.
    const auto boundary = [](char32_t inEntry, char32_t beside) {
        return beside == U' ' || IsOfSpacelessScript(inEntry) || IsOfSpacelessScript(beside);
    };
    for (std::size_t at = text.find(entry); at != TMatchForm::npos; at = text.find(entry, at + 1)) {
        // The text is padded, so a match never touches either end of it.
        if (boundary(entry.front(), text[at - 1]) && boundary(entry.back(), text[at + entry.size()])) return true;
    }
    return false;
}

bool TWordRules::AnyFound(const std::vector<TMatchForm>& entries, const TTexts& texts) {
    for (const TMatchForm& entry : entries)
        if (Found(entry, texts.title) || (!texts.description.empty() && Found(entry, texts.description))) return true;
    return false;
}

TWordRules::TVerdict TWordRules::Judge(std::string_view title, std::string_view description) const {
    TVerdict verdict;
    if (Empty()) return verdict;
    TTexts texts{FormOf(title, true), matchDescription_ ? FormOf(description, true) : TMatchForm()};
    verdict.Excluded = AnyFound(exclude_, texts);
    verdict.Included = include_.empty() || AnyFound(include_, texts);
    verdict.Highlighted = AnyFound(highlight_, texts);
    return verdict;
}

}  // namespace tw
