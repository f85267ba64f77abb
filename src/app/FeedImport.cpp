#include "app/FeedImport.h"

#include "net/FeedAddress.h"

#include <set>
#include <utility>

namespace tw {

void TFeedNotes::SetTitle(std::string_view address, std::string title) {
    notes_[FeedAddressKey(address)].Title = std::move(title);
}

void TFeedNotes::SetFolder(std::string_view address, std::vector<std::string> path) {
    if (path.size() > kMaxFeedFolderDepth) path.resize(kMaxFeedFolderDepth);
    notes_[FeedAddressKey(address)].Folder = std::move(path);
}

const std::string& TFeedNotes::Title(std::string_view address) const {
    static const std::string none;
    const auto found = notes_.find(FeedAddressKey(address));
    return found == notes_.end() ? none : found->second.Title;
}

const std::vector<std::string>& TFeedNotes::Folder(std::string_view address) const {
    static const std::vector<std::string> none;
    const auto found = notes_.find(FeedAddressKey(address));
    return found == notes_.end() ? none : found->second.Folder;
}

TFeedImport PlanFeedImport(const TOpmlReadResult& read, const TFeedsList& defaults, const TFeedsList& customs) {
    TFeedImport plan;
    plan.Status = read.Status;
    if (read.Status != TOpmlStatus::osRead) return plan;
    std::set<std::string> listed;
    for (const TFeedsList* list : {&defaults, &customs})
        for (size_t i = 0; i < list->Count(); ++i) listed.insert(FeedAddressKey(list->Strings(i)));
    // The folder table is taken whole: a feed keeps its index, and unused folders cost nothing.
    plan.NewFeeds.Folders = read.Outlines.Folders;
    for (const TOpmlFeed& feed : read.Outlines.Feeds) {
        std::string address = NormalizeFeedAddress(feed.Address);
        if (!IsHttpFeedAddress(address)) ++plan.NotFeedAddresses;
        else if (!listed.insert(FeedAddressKey(address)).second) ++plan.AlreadyListed;
        else plan.NewFeeds.Feeds.push_back({std::move(address), feed.Title, false, feed.Folder});
    }
    plan.NotFeedAddresses += read.OtherTypes;
    plan.LeftOut = read.LeftOut;
    return plan;
}

void ApplyFeedImport(const TFeedImport& plan, TFeedsList& customs, TFeedNotes* notes) {
    if (plan.Status != TOpmlStatus::osRead) return;
    for (const TOpmlFeed& feed : plan.NewFeeds.Feeds) {
        customs.Add(feed.Address, true);
        if (!notes) continue;
        if (notes->Title(feed.Address).empty()) notes->SetTitle(feed.Address, feed.Title);
        // Cut before the titles are copied: a hostile file nests a thousand long ones.
        notes->SetFolder(feed.Address, plan.NewFeeds.FolderPath(feed.Folder, kMaxFeedFolderDepth));
    }
}

std::string FeedImportMessage(const TFeedImport& plan) {
    switch (plan.Status) {
    case TOpmlStatus::osRead: break;
    case TOpmlStatus::osNotOpml: return "The file is not an OPML document; no feeds were imported.";
    case TOpmlStatus::osUnreadable: return "The file cannot be read as OPML; no feeds were imported.";
    case TOpmlStatus::osTooLarge:
        return "The file is larger than " + std::to_string(kOpmlMaxFileBytes >> 20) + " MB; no feeds were imported.";
    case TOpmlStatus::osCannotOpen: return "The file cannot be opened; no feeds were imported.";
    }
    std::string message = "Imported " + std::to_string(plan.NewFeeds.Feeds.size()) + " feeds; skipped " +
                          std::to_string(plan.AlreadyListed) + " already in the list and " +
                          std::to_string(plan.NotFeedAddresses) + " that are not feed addresses.";
    if (plan.LeftOut > 0)
        message += " Only the first " + std::to_string(kOpmlMaxFeeds) + " feeds of the file were read.";
    return message;
}

namespace {

// Consecutive feeds of one folder share it, as the writer nests them; a folder met again
// after others is added again.
class TFolderRuns {
public:
    explicit TFolderRuns(TOpmlOutlines& outlines) : outlines_(outlines) {}

    int Folder(const std::vector<std::string>& path) {
        size_t kept = 0;
        while (kept < chain_.size() && kept < path.size() && outlines_.Folders[chain_[kept]].Title == path[kept]) ++kept;
        chain_.resize(kept);
        for (size_t i = kept; i < path.size(); ++i) {
            outlines_.Folders.push_back({path[i], chain_.empty() ? -1 : chain_.back()});
            chain_.push_back(static_cast<int>(outlines_.Folders.size()) - 1);
        }
        return chain_.empty() ? -1 : chain_.back();
    }

private:
    TOpmlOutlines& outlines_;
    std::vector<int> chain_;  // the folders of the last feed, top first
};

}  // namespace

std::string ExportFeeds(const TFeedsList& defaults, const TFeedsList& customs, const TFeedNotes& notes) {
    TOpmlOutlines outlines;
    TFolderRuns folders(outlines);
    for (const TFeedsList* list : {&defaults, &customs})
        for (size_t i = 0; i < list->Count(); ++i) {
            const std::string& address = list->Strings(i);
            outlines.Feeds.push_back({address, notes.Title(address), !list->Objects(i).LinkEnabled,
                                      folders.Folder(notes.Folder(address))});
        }
    return WriteOpml(outlines, "Tidewire feeds");
}

}  // namespace tw
