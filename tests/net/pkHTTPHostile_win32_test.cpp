// Waiting for a transfer, time-outs, hostile servers and resource use: the main thread stays
// responsive whatever the server does, a hard abort ends any transfer, and failed transfers leave
// no thread, handle or memory behind.
#include "HttpEvents_win32.h"
#include "support/LoopbackHttpServer.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>

namespace tw::test {
namespace {

using Events = std::vector<std::string>;

// Counts WM_TIMER ticks of a thread timer: proof that the main thread keeps handling messages.
struct Ticker {
    UINT_PTR id;
    static inline int ticks = 0;
    explicit Ticker(UINT ms) {
        ticks = 0;
        id = SetTimer(nullptr, 0, ms, [](HWND, UINT, UINT_PTR, DWORD) { ++ticks; });
    }
    ~Ticker() { KillTimer(nullptr, id); }
};

class HttpHostileTest : public ::testing::Test {
protected:
    void SetUp() override { log.Attach(http); }
    bool Wait(int ms = 20000) { return PumpUntil([&] { return !http.Busy(); }, ms); }
    // After a killed or aborted transfer the component must still work.
    void ExpectStillWorks() {
        server.Set("/ok", HttpRoute::Ok("still here"));
        HttpEventLog fresh;
        fresh.Attach(http);
        http.URL = server.Url("/ok");
        ASSERT_TRUE(http.Get(false));
        ASSERT_TRUE(Wait());
        EXPECT_EQ(fresh.events, (Events{"Done"}));
        EXPECT_EQ(fresh.body, "still here");
    }
    LoopbackHttpServer server;
    TpkCustomHTTP http;
    HttpEventLog log;
};

TEST_F(HttpHostileTest, WaitWithTimeoutSurvivesASlowTransferWhileMessagesArrive) {
    HttpRoute slow = HttpRoute::Ok(std::string(8000, 's'));
    slow.chunkSize = 1000;
    slow.chunkDelayMs = 100;  // about 0.8 s in all, far beyond the time-out
    server.Set("/slow", slow);
    int timeouts = 0;
    http.OnWaitTimeoutExpired = [&](TpkComponent&, bool&) { ++timeouts; };
    http.SetWaitTimeout(250);
    http.URL = server.Url("/slow");
    Ticker ticker(20);
    EXPECT_TRUE(http.Get(true));
    EXPECT_EQ(timeouts, 0);
    EXPECT_FALSE(http.Busy());
    EXPECT_EQ(log.events, (Events{"Done"}));
    EXPECT_EQ(log.body.size(), 8000u);
    EXPECT_GT(Ticker::ticks, 10);
    EXPECT_FALSE(http.WaitThread());  // forced on for that call only
}

TEST_F(HttpHostileTest, StalledServerWithTerminateEndsTheStartWithoutEvents) {
    server.Set("/stall", HttpRoute::Of(HttpRoute::Kind::Stall));
    int timeouts = 0;
    http.OnWaitTimeoutExpired = [&](TpkComponent&, bool& terminate) {
        ++timeouts;
        EXPECT_TRUE(terminate);  // preset
    };
    http.SetWaitTimeout(300);
    http.URL = server.Url("/stall");
    EXPECT_FALSE(http.Get(true));
    EXPECT_EQ(timeouts, 1);
    EXPECT_FALSE(http.Busy());
    PumpFor(300);
    EXPECT_TRUE(log.events.empty());
    ExpectStillWorks();
}

TEST_F(HttpHostileTest, StalledStartLeftRunningFinishesInTheBackground) {
    HttpRoute late = HttpRoute::Ok("late answer");
    late.delayMs = 900;
    server.Set("/late", late);
    int timeouts = 0;
    http.OnWaitTimeoutExpired = [&](TpkComponent&, bool& terminate) {
        ++timeouts;
        terminate = false;
    };
    http.SetWaitTimeout(200);
    http.URL = server.Url("/late");
    EXPECT_TRUE(http.Get(true));
    EXPECT_EQ(timeouts, 1);
    EXPECT_TRUE(http.Busy());
    EXPECT_TRUE(log.events.empty());
    ASSERT_TRUE(Wait());
    EXPECT_EQ(log.events, (Events{"Done"}));
    EXPECT_EQ(log.body, "late answer");
}

TEST_F(HttpHostileTest, ServerThatStallsForeverIsEndedByAHardAbort) {
    server.Set("/stall", HttpRoute::Of(HttpRoute::Kind::Stall));
    http.URL = server.Url("/stall");
    Ticker ticker(10);
    ASSERT_TRUE(http.Get(false));
    PumpFor(500);
    EXPECT_TRUE(http.Busy());
    EXPECT_GT(Ticker::ticks, 10);  // the main thread kept running
    http.Abort(false, true);
    EXPECT_FALSE(http.Busy());
    EXPECT_EQ(log.events, (Events{"Aborted"}));
    PumpFor(200);
    EXPECT_EQ(log.events, (Events{"Aborted"}));
    ExpectStillWorks();
}

TEST_F(HttpHostileTest, SoftAbortStopsAtTheNextCheck) {
    HttpRoute slow = HttpRoute::Ok(std::string(200000, 'a'));
    slow.chunkSize = 4096;
    slow.chunkDelayMs = 20;
    server.Set("/slow", slow);
    http.URL = server.Url("/slow");
    bool asked = false;
    http.OnProgress = [&](TpkComponent& sender, const std::string&, std::int32_t, std::int32_t, std::int32_t,
                          std::int32_t, std::uint8_t, float, TpkStream*) {
        if (!asked) static_cast<TpkCustomHTTP&>(sender).Abort();
        asked = true;
    };
    ASSERT_TRUE(http.Get(false));
    ASSERT_TRUE(Wait());
    // The worker's check cleans up (clearing Busy) before it hands OnAborted to this thread.
    PumpUntil([&] { return !log.events.empty(); }, 5000);
    EXPECT_EQ(log.events, (Events{"Aborted"}));
}

TEST_F(HttpHostileTest, HardAbortFromAProgressHandler) {
    HttpRoute slow = HttpRoute::Ok(std::string(200000, 'a'));
    slow.chunkSize = 4096;
    slow.chunkDelayMs = 10;
    server.Set("/slow", slow);
    http.URL = server.Url("/slow");
    int progress = 0;
    http.OnProgress = [&](TpkComponent& sender, const std::string&, std::int32_t, std::int32_t, std::int32_t,
                          std::int32_t, std::uint8_t, float, TpkStream*) {
        if (++progress == 2) static_cast<TpkCustomHTTP&>(sender).Abort(false, true);
    };
    ASSERT_TRUE(http.Get(false));
    ASSERT_TRUE(Wait());
    PumpFor(200);
    EXPECT_EQ(log.events, (Events{"Aborted"}));
    EXPECT_EQ(progress, 2);
    ExpectStillWorks();
}

TEST_F(HttpHostileTest, EndlessBodyIsCappedInMemory) {
    server.Set("/endless", HttpRoute::Of(HttpRoute::Kind::Endless));
    http.MaxMemorySize = 2 * 1024 * 1024;
    http.URL = server.Url("/endless");
    ASSERT_TRUE(http.Get(false));
    ASSERT_TRUE(Wait(60000));
    EXPECT_EQ(log.events, (Events{"ConnLost", "Failed"}));
    EXPECT_GT(log.bytesRead, 2 * 1024 * 1024);
    EXPECT_LE(log.body.size(), 2u * 1024 * 1024);  // the block past the cap is not kept
    EXPECT_EQ(http.FailureKind(), hfTooLarge);
}

// A whole-transfer deadline ends what no single time-out ends: a server that never answers and
// one that trickles its body. The failure is the one of a server gone at that point.
TEST_F(HttpHostileTest, DeadlineEndsStalledAndTricklingServers) {
    HttpRoute trickle = HttpRoute::Ok(std::string(100000, 't'));
    trickle.chunkSize = 1;
    trickle.chunkDelayMs = 200;
    server.Set("/trickle", trickle);
    server.Set("/stall", HttpRoute::Of(HttpRoute::Kind::Stall));
    struct Case { const char* path; Events events; };
    const Case cases[] = {{"/stall", {"HostUnreachable", "Failed"}}, {"/trickle", {"ConnLost", "Failed"}}};
    http.TransferDeadline = 1500;
    for (const auto& c : cases) {
        log.events.clear();
        http.URL = server.Url(c.path);
        const DWORD begun = GetTickCount();
        ASSERT_TRUE(http.Get(false));
        ASSERT_TRUE(Wait(15000)) << c.path;
        const DWORD took = GetTickCount() - begun;
        EXPECT_EQ(log.events, c.events) << c.path;
        EXPECT_EQ(http.FailureKind(), hfTimeout) << c.path << " error " << http.PlatformError();
        EXPECT_GE(took, 1400u) << c.path;
        EXPECT_LT(took, 5000u) << c.path;
    }
    http.TransferDeadline = 0;
    ExpectStillWorks();
}

TEST_F(HttpHostileTest, RedirectLoopCostsAtMostElevenRequests) {
    HttpRoute loop = HttpRoute::Status(302, "again");
    loop.headers.emplace_back("Location", "/loop");
    server.Set("/loop", loop);
    int redirects = 0;
    http.OnRedirect = [&](TpkComponent&, const std::string&) { ++redirects; };
    http.URL = server.Url("/loop");
    ASSERT_TRUE(http.Get(false));
    ASSERT_TRUE(Wait(20000));
    EXPECT_EQ(log.events, (Events{"Error 302", "Failed"}));
    EXPECT_EQ(server.RequestCount("/loop"), 11u);
    EXPECT_EQ(redirects, 10);
}

// The settings are the transfer's from its start: handlers may prepare the next one.
TEST_F(HttpHostileTest, SettingsChangedDuringATransferApplyToTheNextOne) {
    HttpRoute slow = HttpRoute::Ok(std::string(50000, 's'));
    slow.chunkSize = 5000;
    slow.chunkDelayMs = 10;
    server.Set("/slow", slow);
    server.Set("/next", HttpRoute::Ok("next"));
    http.URL = server.Url("/slow");
    http.OnProgress = [&](TpkComponent&, const std::string&, std::int32_t, std::int32_t, std::int32_t, std::int32_t,
                          std::uint8_t, float, TpkStream*) {
        http.URL = server.Url("/next");
        http.MaxMemorySize = 10;
        http.TransferBufferSize = 1;
    };
    ASSERT_TRUE(http.Get(false));
    ASSERT_TRUE(Wait());
    EXPECT_EQ(log.events, (Events{"Done"}));
    EXPECT_EQ(log.body, std::string(50000, 's'));
    EXPECT_EQ(server.RequestCount("/next"), 0u);
}

TEST_F(HttpHostileTest, EndlessBodyIsEndedByAHardAbort) {
    server.Set("/endless", HttpRoute::Of(HttpRoute::Kind::Endless));
    http.URL = server.Url("/endless");
    ASSERT_TRUE(http.Get(false));
    ASSERT_TRUE(PumpUntil([&] { return log.progressCount > 20; }, 20000));
    http.Abort(false, true);
    EXPECT_FALSE(http.Busy());
    EXPECT_EQ(log.events, (Events{"Aborted"}));
    ExpectStillWorks();
}

TEST_F(HttpHostileTest, GarbageInsteadOfHttpEndsTheTransfer) {
    server.Set("/garbage", HttpRoute::Of(HttpRoute::Kind::Garbage));
    http.URL = server.Url("/garbage");
    ASSERT_TRUE(http.Get(false));
    ASSERT_TRUE(Wait());
    ASSERT_FALSE(log.events.empty());
    // WinInet may read such an answer as a bodiless HTTP/0.9 response or fail it; either way
    // the transfer ends with one result and nothing else.
    const bool done = log.events == Events{"Done"};
    const bool failed = log.events.back() == "Failed" && log.events.size() == 2;
    EXPECT_TRUE(done || failed) << log.events.front();
    ExpectStillWorks();
}

TEST_F(HttpHostileTest, ServerThatClosesAtOnceIsUnreachable) {
    LoopbackHttpServer refusing;
    refusing.Set("*", HttpRoute::Of(HttpRoute::Kind::CloseAtOnce));
    http.URL = refusing.Url("/x");
    ASSERT_TRUE(http.Get(false));
    ASSERT_TRUE(Wait());
    EXPECT_EQ(log.events, (Events{"HostUnreachable", "Failed"}));
}

struct Resources {
    DWORD threads = 0;
    DWORD handles = 0;
    SIZE_T privateBytes = 0;
};

// Counted by probing rather than asked for: under Wine GetProcessHandleCount and the
// private-bytes counter answer 0.
Resources Measure() {
    Resources r;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0);
    THREADENTRY32 entry{};
    entry.dwSize = sizeof entry;
    for (BOOL ok = Thread32First(snapshot, &entry); ok; ok = Thread32Next(snapshot, &entry))
        if (entry.th32OwnerProcessID == GetCurrentProcessId()) ++r.threads;
    CloseHandle(snapshot);
    for (ULONG_PTR value = 4; value < 0x20000; value += 4) {
        DWORD flags = 0;
        if (GetHandleInformation(reinterpret_cast<HANDLE>(value), &flags)) ++r.handles;
    }
    HANDLE heaps[64];
    DWORD count = GetProcessHeaps(64, heaps);
    for (DWORD i = 0; i < count && i < 64; ++i) {
        PROCESS_HEAP_ENTRY e{};
        if (!HeapLock(heaps[i])) continue;
        while (HeapWalk(heaps[i], &e))
            if (e.wFlags & PROCESS_HEAP_ENTRY_BUSY) r.privateBytes += e.cbData;
        HeapUnlock(heaps[i]);
    }
    return r;
}

TEST_F(HttpHostileTest, TwoHundredFailedTransfersLeaveNothingBehind) {
    server.Set("/missing", HttpRoute::Status(404, std::string(2048, 'm')));
    HttpRoute cut = HttpRoute::Ok(std::string(5000, 'c'));
    cut.cutAfter = 100;
    server.Set("/cut", cut);
    const std::string closed = "http://127.0.0.1:" + std::to_string(LoopbackHttpServer::UnusedPort()) + "/x";
    const std::string urls[] = {server.Url("/missing"), server.Url("/cut"), closed};
    int failures = 0;
    http.OnFailed = [&](TpkComponent&) { ++failures; };
    auto run = [&](int count) {
        for (int i = 0; i < count; ++i) {
            http.URL = urls[i % 3];
            ASSERT_TRUE(http.Get(false)) << i;
            ASSERT_TRUE(Wait()) << i << " " << http.URL;
            if (std::getenv("TW_HTTP_TRACE")) std::printf("%d %s\n", i, http.URL.c_str());
        }
        PumpUntil([&] { return server.OpenConnections() == 0; }, 5000);
        PumpFor(200);  // lets the server join its finished threads
    };
    run(15);  // WinInet and the heap settle first
    const Resources before = Measure();
    failures = 0;
    run(200);
    const Resources after = Measure();
    EXPECT_EQ(failures, 200);
    EXPECT_LE(after.threads, before.threads) << before.threads << " -> " << after.threads;
    EXPECT_GT(before.handles, 0u);
    EXPECT_LE(after.handles, before.handles + 4) << before.handles << " -> " << after.handles;
    EXPECT_GT(before.privateBytes, 0u);
    EXPECT_LE(after.privateBytes, before.privateBytes + 256 * 1024)
        << before.privateBytes << " -> " << after.privateBytes;
    std::printf("resources before/after 200 failures: threads %lu/%lu handles %lu/%lu heap KB %lu/%lu\n",
                before.threads, after.threads, before.handles, after.handles,
                static_cast<unsigned long>(before.privateBytes / 1024), static_cast<unsigned long>(after.privateBytes / 1024));
}

TEST_F(HttpHostileTest, DestroyingTheComponentDuringATransfer) {
    server.Set("/stall", HttpRoute::Of(HttpRoute::Kind::Stall));
    auto* doomed = new TpkCustomHTTP();
    HttpEventLog own;
    own.Attach(*doomed);
    doomed->URL = server.Url("/stall");
    ASSERT_TRUE(doomed->Get(false));
    PumpFor(200);
    delete doomed;
    PumpFor(100);
    EXPECT_TRUE(own.events.empty());
    ExpectStillWorks();
}

// A worker whose call returns while the component is being destroyed goes on to look for a stop
// request; that must find the component's parts still there.
TEST_F(HttpHostileTest, DestroyingTheComponentAsItsWorkerWakes) {
    for (int delayMs : {20, 60, 120, 200}) {
        HttpRoute slow = HttpRoute::Ok(std::string(64, 's'));
        slow.delayMs = delayMs;
        server.Set("/slow", slow);
        auto* doomed = new TpkCustomHTTP();
        HttpEventLog own;
        own.Attach(*doomed);
        doomed->URL = server.Url("/slow");
        const std::size_t seen = server.Requests().size();
        ASSERT_TRUE(doomed->Get(false));
        ASSERT_TRUE(PumpUntil([&] { return server.Requests().size() > seen; }, 5000)) << delayMs;
        delete doomed;
        PumpFor(50);
        EXPECT_TRUE(own.events.empty()) << delayMs;
    }
    ExpectStillWorks();
}

}  // namespace
}  // namespace tw::test
