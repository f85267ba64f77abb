#pragma once
// Stand-ins for the main window's controls and for a feed component whose loads the test
// finishes by hand.
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/FeedRotation.h"

namespace tw::test {

class RecordingTickerView : public ITickerView {
public:
    void SetTitle(const std::string& caption, const std::string& hint) override {
        titleCaption = caption;
        titleHint = hint;
    }
    void SetTickerText(const std::string& text) override {
        tickerText = text;
        shownTexts.push_back(text);
    }
    void SetTickerHint(const std::string& hint) override { tickerHint = hint; }
    void StartLoadingAnimation() override {
        animating = true;
        ++animationStarts;
    }
    void StopLoadingAnimation() override { animating = false; }
    void LayoutTicker() override { ++layouts; }
    void RestartReloadTimer() override { ++timerRestarts; }
    void OpenLink(const std::string& url) override { openedLinks.push_back(url); }
    void ShowWelcomeBalloon(const std::string& title, const std::string& text) override {
        balloons.push_back(title + "|" + text);
    }

    std::string titleCaption = "Tidewire 1.1";
    std::string titleHint;
    std::string tickerText = "Loading RSS...";
    std::string tickerHint;
    std::vector<std::string> shownTexts;
    bool animating = false;
    int animationStarts = 0;
    int layouts = 0;
    int timerRestarts = 0;
    std::vector<std::string> openedLinks;
    std::vector<std::string> balloons;
};

struct FakeItem {
    std::string title;
    std::string link;
    std::string description;
};

// A feed whose network loads only record that they were asked for.
class ScriptedFeed : public ITickerFeed {
public:
    enum class StartResult { Started, Busy, Throws };

    std::string Url() const override { return url; }
    void SetUrl(const std::string& value) override { url = value; }
    bool LoadFromURL() override {
        if (startResult == StartResult::Throws) throw std::runtime_error("cannot start");
        if (url.empty() || startResult == StartResult::Busy) return false;
        requestedUrls.push_back(url);
        if (finishInside) finishInside();
        return true;
    }
    std::string ChannelTitle() const override { return channelTitle; }
    std::string ChannelLink() const override { return channelLink; }
    int ItemCount() const override { return static_cast<int>(items.size()); }
    std::uint64_t ItemIdAt(int index) const override { return ids.at(static_cast<size_t>(index)); }
    int IndexOfItemId(std::uint64_t id) const override {
        for (size_t i = 0; i < ids.size(); ++i)
            if (ids[i] == id) return static_cast<int>(i);
        return -1;
    }
    std::string ItemTitle(int index) const override { return items.at(static_cast<size_t>(index)).title; }
    std::string ItemLink(int index) const override { return items.at(static_cast<size_t>(index)).link; }
    std::string ItemDescription(int index) const override { return items.at(static_cast<size_t>(index)).description; }
    void ClearItems() override {
        items.clear();
        ids.clear();
    }

    // Replaces the content, with ids that never repeat (as a collection's ids do not).
    void SetItems(std::vector<FakeItem> newItems) {
        items = std::move(newItems);
        ids.clear();
        for (size_t i = 0; i < items.size(); ++i) ids.push_back(nextId++);
    }
    // n items titled "Item 1" ... "Item n".
    void SetNumberedItems(int n) {
        std::vector<FakeItem> list;
        for (int i = 1; i <= n; ++i)
            list.push_back({"Item " + std::to_string(i), "http://host/" + std::to_string(i), "About " + std::to_string(i)});
        SetItems(std::move(list));
    }

    std::string url;
    StartResult startResult = StartResult::Started;
    // Runs inside LoadFromURL: a load whose result events come before the call returns.
    std::function<void()> finishInside;
    std::vector<std::string> requestedUrls;
    std::string channelTitle = "Channel";
    std::string channelLink = "http://channel/";
    std::vector<FakeItem> items;
    std::vector<std::uint64_t> ids;
    std::uint64_t nextId = 100;
};

}  // namespace tw::test
