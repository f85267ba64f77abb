#include "app/SubscriptionCommands.h"

#include "base/AsciiText.h"
#include "base/AtomicFile.h"
#include "config/AppSettings.h"
#include "net/FeedAddress.h"

#include <filesystem>

namespace tw {
namespace {

constexpr std::string_view kImportWord = "import";
constexpr std::string_view kExportWord = "export";
constexpr std::string_view kOpmlFolderKey = "Opml_Folder";
// A Windows path is never longer; a longer text is no command of ours.
constexpr std::size_t kMaxCommandPath = 32767;

std::optional<TSubscriptionVerb> VerbOf(std::string_view word) {
    if (word == kImportWord) return TSubscriptionVerb::Import;
    if (word == kExportWord) return TSubscriptionVerb::Export;
    return std::nullopt;
}

std::filesystem::path FilePath(const std::string& utf8) { return std::filesystem::path(std::u8string(utf8.begin(), utf8.end())); }

}  // namespace

std::optional<TSubscriptionCommand> ParseSubscriptionCommand(const std::vector<std::string>& arguments) {
    if (arguments.size() != 2 || arguments[0].size() < 2 || arguments[1].empty()) return std::nullopt;
    const std::string& option = arguments[0];
    if (option[0] != '/' && option[0] != '-') return std::nullopt;
    const auto verb = VerbOf(AsciiLowered(option.substr(1)));
    if (!verb) return std::nullopt;
    return TSubscriptionCommand{*verb, arguments[1]};
}

std::string EncodeSubscriptionCommand(const TSubscriptionCommand& command) {
    return std::string(command.Verb == TSubscriptionVerb::Import ? kImportWord : kExportWord) + "\n" + command.Path;
}

std::optional<TSubscriptionCommand> DecodeSubscriptionCommand(std::string_view text) {
    const std::size_t cut = text.find('\n');
    if (cut == std::string_view::npos) return std::nullopt;
    const auto verb = VerbOf(text.substr(0, cut));
    const std::string_view path = text.substr(cut + 1);
    if (!verb || path.empty() || path.size() > kMaxCommandPath) return std::nullopt;
    for (const char c : path)
        if (static_cast<unsigned char>(c) < 0x20) return std::nullopt;
    return TSubscriptionCommand{*verb, std::string(path)};
}

TSubscriptionResult ImportFeedsFile(const std::string& path, const TFeedsList& defaults, TFeedsList& customs,
                                    TFeedNotes* notes) {
    const TFeedImport plan = PlanFeedImport(ReadOpmlFile(FilePath(path)), defaults, customs);
    ApplyFeedImport(plan, customs, notes);
    return {plan.Status == TOpmlStatus::osRead, FeedImportMessage(plan)};
}

TSubscriptionResult ExportFeedsFile(const std::string& path, const TFeedsList& defaults, const TFeedsList& customs,
                                    const TFeedNotes& notes) {
    const std::size_t count = defaults.Count() + customs.Count();
    if (!WriteFileInOneStep(path, ExportFeeds(defaults, customs, notes)))
        return {false, "The file cannot be written; no feeds were exported."};
    return {true, "Exported " + std::to_string(count) + " feeds."};
}

bool ReplaceFeedAddress(TFeedsList& list, std::string_view page, std::string_view feed) {
    TFeedsList replaced;
    bool found = false, listed = false;
    for (std::size_t i = 0; i < list.Count(); ++i) listed = listed || SameFeedAddress(list.Strings(i), feed);
    for (std::size_t i = 0; i < list.Count(); ++i) {
        const TRSSLinkItem& item = list.Objects(i);
        if (found || !SameFeedAddress(item.Address, page)) {
            replaced.Add(item.Address, item.LinkEnabled);
            continue;
        }
        found = true;
        if (!listed) replaced.Add(std::string(feed), item.LinkEnabled);
    }
    if (found) list = std::move(replaced);
    return found;
}

std::string FeedImportQuestion(const TFeedImport& plan, std::string_view path) {
    const std::size_t count = plan.NewFeeds.Feeds.size();
    const std::string_view name = path.substr(path.find_last_of("\\/") + 1);
    return "Import " + std::to_string(count) + (count == 1 ? " feed" : " feeds") + " from " + std::string(name) +
           " into the custom list?";
}

std::string LastOpmlFolder(const IProfileStore& store) { return store.ReadString("Global", kOpmlFolderKey, ""); }

bool RememberOpmlFolder(IProfileStore& store, std::string_view file) {
    const std::size_t cut = file.find_last_of("\\/");
    if (cut == std::string_view::npos) return false;
    return store.WriteString("Global", kOpmlFolderKey, file.substr(0, cut)) && store.Commit();
}

TSubscriptionResult RunSubscriptionCommand(const TSubscriptionCommand& command, IProfileStore& store) {
    TFeedsList defaults, customs;
    const TAppSettings settings = LoadSettings(store, std::string(DefaultFeedUrls[1]), 5, defaults, customs);
    const TFeedNotes notes;  // none outlive a ticker's run
    if (command.Verb == TSubscriptionVerb::Export) return ExportFeedsFile(command.Path, defaults, customs, notes);
    const std::size_t before = customs.Count();
    TSubscriptionResult result = ImportFeedsFile(command.Path, defaults, customs, nullptr);
    if (result.Done && customs.Count() != before && !SaveSettings(store, settings, defaults, customs))
        return {false, "The settings file cannot be written; no feeds were imported."};
    return result;
}

}  // namespace tw
