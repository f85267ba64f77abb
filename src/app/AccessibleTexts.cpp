#include "app/AccessibleTexts.h"

namespace tw {

std::string TickerValue(const TTickerReading& reading) {
    std::string value;
    if (reading.Position > 0) value = std::to_string(reading.Position) + " of " + std::to_string(reading.Count);
    if (reading.Paused) value += value.empty() ? "paused" : ", paused";
    return value;
}

TAccessibleElement AccessibleElement(TBarElement element, const TTickerReading& reading) {
    const auto button = [](std::string_view name) {
        return TAccessibleElement{TAccessibleRole::PushButton, std::string(name), {}, std::string(kAccessiblePress)};
    };
    switch (element) {
        case TBarElement::Feeds: return button(kAccessibleFeeds);
        case TBarElement::Title: return button(reading.ChannelTitle);
        case TBarElement::Previous: return button(kAccessiblePrevious);
        case TBarElement::Next: return button(kAccessibleNext);
        case TBarElement::Ticker: {
            std::string name = reading.Headline;
            if (!reading.Source.empty()) name += " (" + reading.Source + ")";
            return {TAccessibleRole::Link, name, TickerValue(reading),
                    reading.Position > 0 ? std::string(kAccessibleOpen) : std::string()};
        }
        case TBarElement::Bar: break;
    }
    return {TAccessibleRole::Toolbar, std::string(kAccessibleBarName), {}, {}};
}

TBarElement NextFocus(TBarElement element, bool forward) {
    int id = static_cast<int>(element);
    if (id < 1 || id > kBarElementCount) return forward ? TBarElement::Feeds : TBarElement::Next;
    id = forward ? id % kBarElementCount + 1 : (id + kBarElementCount - 2) % kBarElementCount + 1;
    return static_cast<TBarElement>(id);
}

}  // namespace tw
