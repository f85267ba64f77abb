#pragma once
// What a screen reader or another accessibility client is told about the bar: the bar is a
// toolbar named "Tidewire" with five elements in the order they stand on it. The texts are made
// here from the bar's state; the window's accessible object (fMain_win32) only hands them out.
#include <string>
#include <string_view>

namespace tw {

inline constexpr std::string_view kAccessibleBarName = "Tidewire";
inline constexpr std::string_view kAccessibleFeeds = "Feeds";
inline constexpr std::string_view kAccessiblePrevious = "Previous headline";
inline constexpr std::string_view kAccessibleNext = "Next headline";
inline constexpr std::string_view kAccessiblePress = "Press";
inline constexpr std::string_view kAccessibleOpen = "Open";

// The bar's elements by their accessible child id (0 is the bar itself), left to right; Tab
// moves through them in this order.
enum class TBarElement : int { Bar = 0, Feeds, Title, Previous, Ticker, Next };
inline constexpr int kBarElementCount = 5;

enum class TAccessibleRole { Toolbar, PushButton, Link };

struct TAccessibleElement {
    TAccessibleRole Role = TAccessibleRole::PushButton;
    std::string Name;
    std::string Value;
    std::string DefaultAction;  // "" when it has none
};

// The ticker's state as a reader should hear it.
struct TTickerReading {
    std::string Headline;      // the current item's title, or the ticker's line when none is shown
    std::string Source;        // where the headline comes from, when the ticker shows several feeds
    std::string ChannelTitle;  // the title label's caption
    int Position = 0;          // 1-based; 0 when no item is shown
    int Count = 0;
    bool Paused = false;
};

// "3 of 12", with ", paused" while paused; "paused" or "" when no item is shown.
std::string TickerValue(const TTickerReading& reading);

// The element's role and texts; an id outside the bar's gives the bar.
TAccessibleElement AccessibleElement(TBarElement element, const TTickerReading& reading);

// The element after (forward) or before `element` in Tab order, wrapping; the bar itself is
// followed by the first element.
TBarElement NextFocus(TBarElement element, bool forward);

}  // namespace tw
