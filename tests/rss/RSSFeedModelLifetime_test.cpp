// Building, copying, assigning and destroying models in many orders, for the sanitizers to watch:
// every step checks the invariants that a dangling owner link or a lost item would break.
#include "rss/RSSFeedModel.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

namespace tw {
namespace {

void CheckLinks(const TpkRSSFeedItemCollection& items, const TpkComponent* feed) {
    ASSERT_EQ(items.CollectionOwner(), feed);
    for (int i = 0; i < items.Count(); ++i) {
        const TpkRSSFeedItem* item = items[i];
        ASSERT_EQ(item->Collection(), &items);
        ASSERT_EQ(item->Index(), i);
        ASSERT_EQ(items.FindItemID(item->ID()), item);
        ASSERT_EQ(item->Feed(), feed);
        std::uint32_t sum = 0;
        for (int k = 0; k < item->Enclosure().Count(); ++k) {
            const TpkRSSFeedItemEnclosure* e = item->Enclosure()[k];
            ASSERT_EQ(e->Item(), item);
            ASSERT_EQ(e->Feed(), feed);
            ASSERT_EQ(e->Index(), k);
            sum += e->ContentLength;
        }
        ASSERT_EQ(item->EnclosureSize(), sum);
    }
}

TEST(FeedModelLifetime, RandomOperationsKeepEveryLink) {
    std::mt19937 rng(20261208);
    TpkComponent feedA, feedB;
    auto a = std::make_unique<TpkRSSFeedItemCollection>(&feedA);
    auto b = std::make_unique<TpkRSSFeedItemCollection>(&feedB);
    std::vector<std::unique_ptr<TpkRSSFeedItem>> loose;
    for (int step = 0; step < 4000; ++step) {
        TpkRSSFeedItemCollection& x = rng() % 2 ? *a : *b;
        TpkRSSFeedItemCollection& y = &x == a.get() ? *b : *a;
        switch (rng() % 10) {
            case 0: case 1: {
                TpkRSSFeedItem* item = x.Insert(static_cast<int>(rng() % (x.Count() + 2)) - 1);
                item->Title = "t" + std::to_string(step);
                for (unsigned k = rng() % 3; k > 0; --k) item->Enclosure().Add()->ContentLength = rng();
                break;
            }
            case 2: x.Delete(static_cast<int>(rng() % (x.Count() + 1))); break;
            case 3: x.Assign(&y); break;
            case 4: if (x.Count()) x[0]->CopyFrom(*x[x.Count() - 1], rng() % 2); break;
            case 5: if (x.Count() && y.Count()) x[0]->Assign(y[y.Count() - 1]); break;
            case 6: {
                loose.push_back(std::make_unique<TpkRSSFeedItem>());
                if (x.Count()) loose.back()->CopyFrom(*x[0], false);
                break;
            }
            case 7: if (!loose.empty() && x.Count()) x[x.Count() - 1]->CopyFrom(*loose.back(), false); break;
            case 8: if (!loose.empty()) loose.erase(loose.begin()); break;
            case 9:
                if (rng() % 20 == 0) {
                    (&x == a.get() ? a : b) = std::make_unique<TpkRSSFeedItemCollection>(&x == a.get() ? &feedA : &feedB);
                } else if (x.Count() > 30) {
                    x.Clear();
                }
                break;
        }
        CheckLinks(*a, &feedA);
        CheckLinks(*b, &feedB);
        if (HasFatalFailure()) return;
    }
}

TEST(FeedModelLifetime, ElementsAndItemsOutliveOrPrecedeTheirFeedCleanly) {
    auto feed = std::make_unique<TpkComponent>();
    auto elements = std::make_unique<TpkRSSFeedElements>(feed.get());
    auto items = std::make_unique<TpkRSSFeedItemCollection>(feed.get());
    items->Add()->Enclosure().Add()->URL = "x";
    TpkRSSFeedElements copy;
    elements->Title = "T";
    copy.Assign(elements.get());
    elements.reset();
    items.reset();
    feed.reset();
    EXPECT_EQ(copy.Title, "T");
}

}  // namespace
}  // namespace tw
