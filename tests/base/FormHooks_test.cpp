#include "base/FormHooks.h"

#include "base/Unhandled.h"
#include "support/HookPlatformModel.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace tw {
namespace {

using test::HookPlatformModel;
using test::ModelForm;

constexpr std::uint32_t kProbe = 0x8001;

// A hook that writes its name into a shared journal before and after the window's procedure.
class JournalHook : public TpkCustomAppHookComponent {
public:
    JournalHook(TpkComponent* owner, std::string name, std::vector<std::string>& journal)
        : TpkCustomAppHookComponent(owner), name_(std::move(name)), journal_(journal) {}
    bool swallow = false;
    bool throwBefore = false;
    int rehooked = 0;

protected:
    void BeforeFormMessage(TMessage& message, bool& handled) override {
        TpkCustomAppHookComponent::BeforeFormMessage(message, handled);
        if (message.Msg != kProbe) return;
        if (throwBefore) throw std::runtime_error("hook failed");
        journal_.push_back(name_ + " before");
        handled = swallow;
    }
    void AfterFormMessage(TMessage& message) override {
        if (message.Msg == kProbe) journal_.push_back(name_ + " after");
    }
    void FormRehooked() override {
        ++rehooked;
        TpkCustomAppHookComponent::FormRehooked();
    }
    void BeforeAppMessage(TMessage& message, bool& handled) override {
        (void)handled;
        if (message.Msg == kProbe) journal_.push_back(name_ + " app");
    }

private:
    std::string name_;
    std::vector<std::string>& journal_;
};

class FormHooksTest : public ::testing::Test {
protected:
    HookPlatformModel model;
    std::vector<std::string> journal;
    ModelForm form{model, [this](TWindowId, TMessage& m) -> std::intptr_t {
                       if (m.Msg == kProbe) journal.push_back("form");
                       return m.Msg == kProbe ? 42 : 0;
                   }};
    std::intptr_t Probe() { return model.Dispatch(form.WindowHandle(), kProbe); }
    int RehookPosts() const {
        int n = 0;
        for (const auto& p : model.PostedMessages()) n += p.msg == kRehookMessage ? 1 : 0;
        return n;
    }
};

TEST_F(FormHooksTest, LatestHookSeesEachMessageFirstAndRemovalRechains) {
    auto first = std::make_unique<JournalHook>(&form, "first", journal);
    auto second = std::make_unique<JournalHook>(&form, "second", journal);
    EXPECT_EQ(Probe(), 42);
    EXPECT_EQ(journal, (std::vector<std::string>{"second before", "first before", "form", "first after",
                                                 "second after"}));

    journal.clear();
    first.reset();
    EXPECT_EQ(Probe(), 42);
    EXPECT_EQ(journal, (std::vector<std::string>{"second before", "form", "second after"}));

    journal.clear();
    second.reset();
    EXPECT_FALSE(HookListExists());
    EXPECT_EQ(Probe(), 42);
    EXPECT_EQ(journal, (std::vector<std::string>{"form"}));
    EXPECT_EQ(model.liveProcs(), 0);
}

TEST_F(FormHooksTest, HandledMessageSkipsTheWindowButNotTheOuterHooks) {
    JournalHook first(&form, "first", journal);
    JournalHook second(&form, "second", journal);
    first.swallow = true;
    EXPECT_EQ(Probe(), 0);
    EXPECT_EQ(journal, (std::vector<std::string>{"second before", "first before", "first after", "second after"}));
}

TEST_F(FormHooksTest, RecreatedWindowIsRehookedOnceWithOrderAndTopmostKept) {
    JournalHook first(&form, "first", journal);
    JournalHook second(&form, "second", journal);
    first.SetAlwaysOnTop(true);
    const TWindowId old = form.Window();

    form.RecreateWindow();
    EXPECT_EQ(RehookPosts(), 1);
    model.zOrders.clear();
    model.DeliverPosted();

    EXPECT_NE(form.Window(), old);
    EXPECT_EQ(first.HookedWindow(), form.Window());
    EXPECT_EQ(second.HookedWindow(), form.Window());
    EXPECT_EQ(first.rehooked, 1);
    EXPECT_EQ(second.rehooked, 1);
    // Both hooks heard of the topmost band; the new window was put back in it once.
    EXPECT_TRUE(first.AlwaysOnTop());
    ASSERT_EQ(model.zOrders.size(), 1u);
    EXPECT_EQ(model.zOrders[0], std::make_pair(form.Window(), TZOrder::Topmost));

    journal.clear();
    EXPECT_EQ(Probe(), 42);
    EXPECT_EQ(journal, (std::vector<std::string>{"second before", "first before", "form", "first after",
                                                 "second after"}));
}

// Fault mended: on a window created topmost, setting always-on-top to true stored nothing (the
// value was already the window's), so a rehook took the new window out of the topmost band.
TEST_F(FormHooksTest, WindowCreatedTopmostStaysTopmostAcrossARehook) {
    constexpr std::uint32_t kTopmost = 0x8;
    form.exStyle = kTopmost;
    for (const bool recreatedTopmost : {true, false}) {
        JournalHook bar(&form, "bar", journal);
        bar.SetAlwaysOnTop(true);
        EXPECT_TRUE(model.sent.empty() && model.zOrders.empty()) << "an unchanged value is not sent";

        form.exStyle = recreatedTopmost ? kTopmost : 0;
        form.RecreateWindow();
        model.DeliverPosted();
        ASSERT_EQ(bar.rehooked, 1);
        EXPECT_TRUE(bar.AlwaysOnTop()) << "recreated " << (recreatedTopmost ? "topmost" : "not topmost");
        model.sent.clear();
        model.zOrders.clear();
    }
}

// Fault mended: a hook whose Hook raised (no procedure left) stayed in the list, dangling once
// its construction had failed.
TEST_F(FormHooksTest, AHookThatCannotBeBoundLeavesTheListAsItWas) {
    model.procSlots = 1;
    {
        JournalHook first(&form, "first", journal);
        EXPECT_THROW(JournalHook(&form, "second", journal), std::runtime_error);
        EXPECT_EQ(Probe(), 42);
        EXPECT_EQ(journal, (std::vector<std::string>{"first before", "form", "first after"}));
        form.RecreateWindow();
        model.DeliverPosted();
        EXPECT_EQ(first.rehooked, 1);
    }
    EXPECT_FALSE(HookListExists());

    model.procSlots = 0;
    EXPECT_THROW(JournalHook(&form, "alone", journal), std::runtime_error);
    EXPECT_FALSE(HookListExists()) << "a list made for the hook goes with it";
    EXPECT_EQ(model.liveProcs(), 0);
}

TEST_F(FormHooksTest, DestroyingHooksPostNoRehook) {
    auto hook = std::make_unique<JournalHook>(&form, "only", journal);
    hook->Destroying();  // as when the form tears down its components before its window
    model.DestroyWindowNow(form.Window());
    EXPECT_EQ(RehookPosts(), 0);
}

TEST_F(FormHooksTest, AlwaysOnTopMovesAndTellsOnlyOnChange) {
    JournalHook first(&form, "first", journal);
    JournalHook second(&form, "second", journal);
    auto told = [&] {
        int n = 0;
        for (const auto& s : model.sent) n += s.msg == kAlwaysOnTopMessage ? 1 : 0;
        return n;
    };
    first.SetAlwaysOnTop(false);
    EXPECT_EQ(told(), 0);
    EXPECT_TRUE(model.zOrders.empty());

    first.SetAlwaysOnTop(true);
    EXPECT_EQ(told(), 1);
    EXPECT_TRUE(second.AlwaysOnTop());
    first.SetAlwaysOnTop(true);
    EXPECT_EQ(told(), 1);
    second.SetAlwaysOnTop(false);
    EXPECT_EQ(told(), 2);
    EXPECT_EQ(model.zOrders.back().second, TZOrder::NoTopmost);
}

TEST_F(FormHooksTest, ApplicationHookComesWithTheFirstShowAndGoesWithTheComponent) {
    auto hook = std::make_unique<JournalHook>(&form, "app", journal);
    const TWindowId app = model.ApplicationWindow();
    model.Dispatch(app, kProbe);
    EXPECT_TRUE(journal.empty());

    model.Dispatch(form.WindowHandle(), kWmShowWindow, 1);
    EXPECT_TRUE(hook->ApplicationHooked());
    model.Dispatch(app, kProbe);
    EXPECT_EQ(journal, (std::vector<std::string>{"app app"}));

    hook.reset();
    journal.clear();
    model.Dispatch(app, kProbe);
    EXPECT_TRUE(journal.empty());
    EXPECT_EQ(model.liveProcs(), 0);
}

TEST_F(FormHooksTest, ErrorsGoToTheApplicationHandlerNotTheWindowSystem) {
    JournalHook hook(&form, "bad", journal);
    hook.throwBefore = true;
    const int before = UnhandledCount();
    EXPECT_NO_THROW(Probe());
    EXPECT_EQ(UnhandledCount(), before + 1);
}

TEST_F(FormHooksTest, OwnerMustHaveAWindow) {
    TpkComponent plain;
    try {
        JournalHook hook(&plain, "x", journal);
        FAIL() << "a plain component was accepted";
    } catch (const EpkInvalidOperation& e) {
        EXPECT_STREQ(e.what(), "Owner must be TWinControl or its descendant!");
    }
    EXPECT_FALSE(HookListExists());
}

TEST_F(FormHooksTest, HookMovesToAnotherControl) {
    ModelForm other(model);
    JournalHook hook(&form, "moved", journal);
    hook.SetHookedControl(&other);
    EXPECT_EQ(Probe(), 42);
    EXPECT_EQ(journal, (std::vector<std::string>{"form"}));
    journal.clear();
    model.Dispatch(other.WindowHandle(), kProbe);
    EXPECT_EQ(journal, (std::vector<std::string>{"moved before", "moved after"}));
    EXPECT_EQ(hook.OwnerForm(), &other);
}

}  // namespace
}  // namespace tw
