#pragma once
// Subscriptions from and to files outside the dialog: the "/import FILE" and "/export FILE"
// command lines, the one text a second instance hands the running ticker for them, and the
// work itself over the two feed lists (or over app.config when no ticker runs).
#include "app/FeedImport.h"
#include "config/ProfileStore.h"

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

enum class TSubscriptionVerb { Import, Export };

struct TSubscriptionCommand {
    TSubscriptionVerb Verb = TSubscriptionVerb::Import;
    std::string Path;  // UTF-8, as given (the caller makes it absolute before handing it over)
    bool operator==(const TSubscriptionCommand&) const = default;
};

// "/import FILE" or "/export FILE" (the switch in any letter case, "-" for "/" too) as the whole
// command line after the program's name; nothing for any other, so feeds and files still open.
std::optional<TSubscriptionCommand> ParseSubscriptionCommand(const std::vector<std::string>& arguments);

// The text handed to a running ticker: the verb, a line feed, the path. Decoding refuses anything
// else, since any program on the desktop may send it.
std::string EncodeSubscriptionCommand(const TSubscriptionCommand& command);
std::optional<TSubscriptionCommand> DecodeSubscriptionCommand(std::string_view text);

// An import that added feeds but could not write them to app.config.
inline constexpr std::string_view kSubscriptionSaveFailed =
    "The settings file cannot be written; the imported feeds last only until the ticker ends.";

struct TSubscriptionResult {
    bool Done = false;
    std::string Message;  // for the user: the import's counts, or what went wrong
};

// Imports the OPML file at `path` into `customs` by the import rules (nothing changes unless it
// was read); Done when it was read.
TSubscriptionResult ImportFeedsFile(const std::string& path, const TFeedsList& defaults, TFeedsList& customs,
                                    TFeedNotes* notes);
// Writes both lists to `path` as OPML, in one step.
TSubscriptionResult ExportFeedsFile(const std::string& path, const TFeedsList& defaults, const TFeedsList& customs,
                                    const TFeedNotes& notes);

// A page's address in `list` becomes the feed the page links, at its place and with its switch;
// where the feed is listed already, the page's entry goes. False when no entry names the page.
bool ReplaceFeedAddress(TFeedsList& list, std::string_view page, std::string_view feed);

// The question before importing a file that was opened or dropped: "Import N feeds from
// <file name> into the custom list?".
std::string FeedImportQuestion(const TFeedImport& plan, std::string_view path);

// The folder the import and export file dialogs open in: the one last used, kept in app.config
// ([Global] Opml_Folder); "" before the first use.
std::string LastOpmlFolder(const IProfileStore& store);
// Keeps the folder of `file` (a full path) as that folder.
bool RememberOpmlFolder(IProfileStore& store, std::string_view file);

// The command when no ticker runs: the lists are read from `store` (app.config), and an import
// that added feeds writes them back; a failed write is a failure.
TSubscriptionResult RunSubscriptionCommand(const TSubscriptionCommand& command, IProfileStore& store);

}  // namespace tw
