#include "app/AccessibleTexts.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

TEST(AccessibleTexts, EachElementsRoleNameValueAndAction) {
    const TTickerReading shown{"Harbour opens at dawn", "", "Tide News", 3, 12, false};
    const TTickerReading paused{"Harbour opens at dawn", "Tide News", "Tidewire 1.1", 3, 12, true};
    const TTickerReading none{"Loading RSS...", "", "Tidewire 1.1", 0, 0, false};
    using R = TAccessibleRole;
    const struct {
        TBarElement element;
        const TTickerReading& reading;
        TAccessibleRole role;
        const char* name;
        const char* value;
        const char* action;
    } cases[] = {
        {TBarElement::Bar, shown, R::Toolbar, "Tidewire", "", ""},
        {TBarElement::Feeds, shown, R::PushButton, "Feeds", "", "Press"},
        {TBarElement::Title, shown, R::PushButton, "Tide News", "", "Press"},
        {TBarElement::Previous, shown, R::PushButton, "Previous headline", "", "Press"},
        {TBarElement::Next, shown, R::PushButton, "Next headline", "", "Press"},
        {TBarElement::Ticker, shown, R::Link, "Harbour opens at dawn", "3 of 12", "Open"},
        {TBarElement::Ticker, paused, R::Link, "Harbour opens at dawn (Tide News)", "3 of 12, paused", "Open"},
        {TBarElement::Ticker, none, R::Link, "Loading RSS...", "", ""},
        {static_cast<TBarElement>(9), shown, R::Toolbar, "Tidewire", "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const TAccessibleElement e = AccessibleElement(c.element, c.reading);
        EXPECT_EQ(e.Role, c.role);
        EXPECT_EQ(e.Name, c.name);
        EXPECT_EQ(e.Value, c.value);
        EXPECT_EQ(e.DefaultAction, c.action);
    }
    EXPECT_EQ(TickerValue({"", "", "", 0, 0, true}), "paused");
}

TEST(AccessibleTexts, TabGoesAlongTheBarAndWraps) {
    using E = TBarElement;
    const struct {
        E from;
        bool forward;
        E to;
    } cases[] = {
        {E::Feeds, true, E::Title},   {E::Title, true, E::Previous}, {E::Previous, true, E::Ticker},
        {E::Ticker, true, E::Next},   {E::Next, true, E::Feeds},     {E::Feeds, false, E::Next},
        {E::Ticker, false, E::Previous}, {E::Bar, true, E::Feeds},   {E::Bar, false, E::Next},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.from) * 10 + c.forward);
        EXPECT_EQ(NextFocus(c.from, c.forward), c.to);
    }
}

}  // namespace
}  // namespace tw
