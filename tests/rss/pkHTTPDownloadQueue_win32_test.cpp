// Real queue downloads through WinInet against a loopback server.
#include "rss/pkHTTPDownloadQueue.h"

#include "support/MessagePump.h"
#include "support/LoopbackHttpServer.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>
#include <regex>

namespace tw {
namespace {

namespace fs = std::filesystem;

std::string Utf8Path(const fs::path& p) { return reinterpret_cast<const char*>(p.u8string().c_str()); }

std::string Body(size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i) s.push_back(static_cast<char>('a' + (i * 7) % 26));
    return s;
}

struct QueueLog {
    std::vector<std::string> events;
    std::vector<int> active;
    void Attach(TpkHTTPDownloadQueue& q) {
        q.OnItemContentLength = [this](TpkHTTPDownloadQueue&, TpkDownloadQueueItem&, int status, std::int32_t length) {
            events.push_back("length " + std::to_string(status) + " " + std::to_string(length));
        };
        q.OnItemDone = [this](TpkHTTPDownloadQueue&, TpkDownloadQueueItem&, const std::string&, std::int32_t size,
                              TpkStream*) { events.push_back("done " + std::to_string(size)); };
        q.OnItemDownloaded = [this](TpkHTTPDownloadQueue&, TpkDownloadQueueItem&) { events.push_back("downloaded"); };
        q.OnItemError = [this](TpkHTTPDownloadQueue&, TpkDownloadQueueItem&, int status, TpkStream*) {
            events.push_back("error " + std::to_string(status));
        };
        q.OnItemFailed = [this](TpkHTTPDownloadQueue&, TpkDownloadQueueItem&) { events.push_back("failed"); };
        q.OnActiveCountChanged = [this](TpkHTTPDownloadQueue&, int n) { active.push_back(n); };
    }
    bool Ended() const {
        return !events.empty() && (events.back() == "downloaded" || events.back() == "failed");
    }
};

TEST(TpkHTTPDownloadQueueWin32, DownloadsIntoATemporaryNameInTheCurrentFolderThenCopiesOverTheTarget) {
    test::LoopbackHttpServer server;
    ASSERT_NE(server.Port(), 0);
    const std::string body = Body(100000);
    server.Set("/media/report.mp3", test::HttpRoute::Ok(body, "audio/mpeg"));
    test::TempDir dir;
    const fs::path target = dir / "episodes" / "report.mp3";
    TpkHTTPDownloadQueue queue;
    QueueLog log;
    log.Attach(queue);
    queue.TempNames.SetEnabled(true);
    queue.TempNames.RandomLength = 6;
    queue.TempNames.Extension = "tmp";
    TpkDownloadQueueItem* item = queue.Enqueue(server.Url("/media/report.mp3"), Utf8Path(target), 3, false, "");
    ASSERT_NE(item, nullptr);
    const std::string temp = item->TempTarget;
    EXPECT_TRUE(std::regex_match(temp, std::regex(R"(report\.mp3\.[a-z]{6}\.tmp)"))) << temp;
    bool unlinked = false;
    item->AddLink(&unlinked, [&](TpkDownloadQueueItem&, void*) { unlinked = true; }, nullptr);

    ASSERT_TRUE(queue.StartItem(*item));
    EXPECT_EQ(queue.ActiveCount(), 1);
    ASSERT_TRUE(test::PumpUntil([&] { return log.Ended(); }, 20000));
    EXPECT_EQ(log.events.front(), "length 200 100000");
    EXPECT_EQ(log.events[log.events.size() - 2], "done 100000");
    EXPECT_EQ(log.events.back(), "downloaded");
    EXPECT_EQ(log.active, (std::vector<int>{1, 0}));
    EXPECT_EQ(test::ReadWholeFile(target), body);
    EXPECT_FALSE(fs::exists(fs::current_path() / temp)) << "the temporary file was in the current folder and is gone";
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_TRUE(unlinked);
}

TEST(TpkHTTPDownloadQueueWin32, ARefusedStartChangesNothing) {
    test::LoopbackHttpServer server;
    test::HttpRoute slow = test::HttpRoute::Ok(Body(2000), "application/octet-stream");
    slow.chunkSize = 200;
    slow.chunkDelayMs = 80;
    server.Set("/slow.bin", slow);
    test::TempDir dir;
    TpkHTTPDownloadQueue queue;
    QueueLog log;
    log.Attach(queue);
    TpkDownloadQueueItem* item = queue.Enqueue(server.Url("/slow.bin"), Utf8Path(dir / "slow.bin"), 3, false, "");
    ASSERT_NE(item, nullptr);
    ASSERT_TRUE(queue.StartItem(*item));
    EXPECT_EQ(log.active, (std::vector<int>{1}));
    EXPECT_FALSE(queue.StartItem(*item)) << "its HTTP component is busy";
    EXPECT_EQ(queue.ActiveCount(), 1);
    EXPECT_EQ(log.active, (std::vector<int>{1})) << "nothing raised for a refused start";
    EXPECT_EQ(item->StartCount, 1);
    ASSERT_TRUE(test::PumpUntil([&] { return log.Ended(); }, 20000));
    EXPECT_EQ(log.active, (std::vector<int>{1, 0}));
}

TEST(TpkHTTPDownloadQueueWin32, APartialTargetIsResumed) {
    test::LoopbackHttpServer server;
    const std::string body = Body(60000);
    test::HttpRoute ranged = test::HttpRoute::Ok(body, "audio/mpeg");
    ranged.honourRange = true;
    server.Set("/ep.mp3", ranged);
    test::TempDir dir;
    const fs::path target = dir / "ep.mp3";
    {
        std::ofstream out(target, std::ios::binary);
        out << body.substr(0, 25000);
    }
    // Mark the file incomplete with the first attribute this file system keeps (a Wine prefix on
    // a file system without extended attributes keeps only read-only).
    const struct {
        DWORD bit;
        TpkFileAttribute member;
    } marks[] = {{FILE_ATTRIBUTE_TEMPORARY, atrTemporary}, {FILE_ATTRIBUTE_HIDDEN, atrHidden},
                 {FILE_ATTRIBUTE_READONLY, atrReadOnly}};
    DWORD markBit = 0;
    TpkHTTPDownloadQueue queue;
    for (const auto& mark : marks) {
        ASSERT_TRUE(::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_ARCHIVE | mark.bit));
        if (::GetFileAttributesW(target.c_str()) & mark.bit) {
            markBit = mark.bit;
            queue.OutputFileAttributes.Incomplete = {atrArchive, mark.member};
            break;
        }
    }
    ASSERT_NE(markBit, 0u);
    QueueLog log;
    log.Attach(queue);
    TpkDownloadQueueItem* item = queue.Enqueue(server.Url("/ep.mp3"), Utf8Path(target), 3, false, "");
    ASSERT_NE(item, nullptr) << "a partial file is queued, not reported as downloaded";
    EXPECT_EQ(item->Received, 25000);
    ASSERT_TRUE(queue.StartItem(*item));
    ASSERT_TRUE(test::PumpUntil([&] { return log.Ended(); }, 20000));
    EXPECT_EQ(log.events.back(), "downloaded");
    EXPECT_EQ(test::ReadWholeFile(target), body);
    const auto requests = server.Requests();
    ASSERT_FALSE(requests.empty());
    EXPECT_EQ(requests.back().Header("Range"), "bytes=" + std::to_string(25000 - 4096) + "-");
    const DWORD attributes = ::GetFileAttributesW(target.c_str());
    EXPECT_EQ(attributes & markBit, 0u) << "the finished file has the complete attributes";
    ::SetFileAttributesW(target.c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(TpkHTTPDownloadQueueWin32, AnHTTPErrorLeavesTheEntryQueued) {
    test::LoopbackHttpServer server;
    server.Set("/gone.mp3", test::HttpRoute::Status(404, "not here"));
    test::TempDir dir;
    TpkHTTPDownloadQueue queue;
    QueueLog log;
    log.Attach(queue);
    TpkDownloadQueueItem* item = queue.Enqueue(server.Url("/gone.mp3"), Utf8Path(dir / "gone.mp3"), 3, true, "");
    ASSERT_NE(item, nullptr);
    ASSERT_TRUE(test::PumpUntil([&] { return log.Ended(); }, 20000));
    EXPECT_EQ(log.events[log.events.size() - 2], "error 404");
    EXPECT_EQ(log.events.back(), "failed");
    EXPECT_EQ(log.active, (std::vector<int>{1, 0}));
    EXPECT_EQ(queue.Count(), 1);
    EXPECT_EQ(item->StartCount, 1);
    EXPECT_FALSE(fs::exists(dir / "gone.mp3")) << "an error status deletes the partial output";
}

}  // namespace
}  // namespace tw
