#pragma once
// A feed address with its on/off switch, and the ordered lists of them that the main window keeps.
#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace tw {

// One feed of the default or custom list. The address never changes after creation; only the
// enabled flag does (the configuration dialog switches it).
class TRSSLinkItem {
public:
    TRSSLinkItem(std::string address, bool enabled) : Address(std::move(address)), LinkEnabled(enabled) {}

    const std::string Address;
    bool LinkEnabled;
};

// An ordered list of feed links: line i is the address, object i its link. Objects keep their
// place in memory for the life of the list, so menus may point at them.
class TFeedsList {
public:
    // Appends a new link and returns it.
    TRSSLinkItem& Add(std::string address, bool enabled);
    void Clear() { items_.clear(); }

    std::size_t Count() const { return items_.size(); }
    bool Empty() const { return items_.empty(); }
    // Line i; i must be below Count().
    const std::string& Strings(std::size_t i) const { return items_[i]->Address; }
    TRSSLinkItem& Objects(std::size_t i) { return *items_[i]; }
    const TRSSLinkItem& Objects(std::size_t i) const { return *items_[i]; }

    // Line i's feed moved for good (its publisher said so): a new link with the new address and
    // the same flag takes its place; the other lines' objects stay where they are.
    void ReplaceAddress(std::size_t i, std::string address);

    // Positions of the switched-off entries, ascending.
    std::vector<std::size_t> DisabledIndexes() const;

private:
    std::vector<std::unique_ptr<TRSSLinkItem>> items_;
};

}  // namespace tw
