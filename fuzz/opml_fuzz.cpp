// Reads arbitrary bytes as OPML. What is read must hold together (no more feeds than the bound,
// folder indexes in range with parents before children, addresses trimmed and not empty,
// nothing kept unless the document was read); imported into empty lists it must give distinct
// http and https addresses; and those, exported and imported again into empty lists, must come
// back the same, in the same order, none skipped. Any crash, leak, hang or escaping exception
// is a fault too.
#include "app/FeedImport.h"
#include "base/AsciiText.h"
#include "net/FeedAddress.h"
#include "rss/Opml.h"

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>

namespace {

void Check(bool holds) {
    if (!holds) std::abort();
}

void CheckShape(const tw::TOpmlReadResult& read) {
    const tw::TOpmlOutlines& o = read.Outlines;
    if (read.Status != tw::TOpmlStatus::osRead) return Check(o.Feeds.empty() && o.Folders.empty());
    Check(read.OpmlRoot && o.Feeds.size() <= tw::kOpmlMaxFeeds);
    for (size_t i = 0; i < o.Folders.size(); ++i) Check(o.Folders[i].Parent >= -1 && o.Folders[i].Parent < static_cast<int>(i));
    for (const tw::TOpmlFeed& f : o.Feeds) {
        Check(f.Folder >= -1 && f.Folder < static_cast<int>(o.Folders.size()));
        Check(!f.Address.empty() && tw::TrimAsciiWhitespace(f.Address) == f.Address);
    }
}

std::vector<std::string> AddressesOf(const tw::TFeedsList& list) {
    std::vector<std::string> addresses;
    for (size_t i = 0; i < list.Count(); ++i) addresses.push_back(list.Strings(i));
    return addresses;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const tw::TOpmlReadResult read = tw::ReadOpml(std::string_view(reinterpret_cast<const char*>(data), size));
    CheckShape(read);

    const tw::TFeedsList none;
    tw::TFeedsList imported;
    tw::TFeedNotes notes;
    tw::ApplyFeedImport(tw::PlanFeedImport(read, none, imported), imported, &notes);
    std::set<std::string> keys;
    for (const std::string& address : AddressesOf(imported))
        Check(tw::IsHttpFeedAddress(address) && keys.insert(tw::FeedAddressKey(address)).second);

    const std::string exported = tw::ExportFeeds(none, imported, notes);
    if (exported.size() > tw::kOpmlMaxFileBytes) return 0;
    const tw::TOpmlReadResult again = tw::ReadOpml(exported);
    CheckShape(again);
    tw::TFeedsList reimported;
    const tw::TFeedImport plan = tw::PlanFeedImport(again, none, reimported);
    Check(plan.Status == tw::TOpmlStatus::osRead && plan.AlreadyListed == 0 && plan.NotFeedAddresses == 0);
    tw::ApplyFeedImport(plan, reimported);
    Check(AddressesOf(reimported) == AddressesOf(imported));
    return 0;
}
