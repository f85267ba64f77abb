#include "config/uRSSLinkItem.h"

namespace tw {

TRSSLinkItem& TFeedsList::Add(std::string address, bool enabled) {
    items_.push_back(std::make_unique<TRSSLinkItem>(std::move(address), enabled));
    return *items_.back();
}

void TFeedsList::ReplaceAddress(std::size_t i, std::string address) {
    items_[i] = std::make_unique<TRSSLinkItem>(std::move(address), items_[i]->LinkEnabled);
}

std::vector<std::size_t> TFeedsList::DisabledIndexes() const {
    std::vector<std::size_t> out;
    for (std::size_t i = 0; i < items_.size(); ++i) {
        if (!items_[i]->LinkEnabled) out.push_back(i);
    }
    return out;
}

}  // namespace tw
