// The download queue's own decisions: names, the complete/partial check, finding, deleting,
// clearing, link callbacks, the state file, and transfers of "file" URLs (which need no network
// and run in both builds).
#include "rss/pkHTTPDownloadQueue.h"

#include "support/MessagePump.h"
#include "rss/FeedText.h"
#include "support/TestPaths.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>
#include <vector>

namespace tw {
namespace {

namespace fs = std::filesystem;

using test::FileUrl;
using test::Utf8Path;

void WriteFile(const fs::path& p, const std::string& bytes) {
    std::ofstream out(p, std::ios::binary);
    out << bytes;
}

struct Recorder {
    std::vector<std::string> events;
    void Attach(TpkHTTPDownloadQueue& q) {
        q.OnItemQueued = [this](TpkHTTPDownloadQueue&, TpkDownloadQueueItem& i) { events.push_back("queued " + i.URL); };
        q.OnAlreadyDownloaded = [this](TpkHTTPDownloadQueue&, const std::string& f) { events.push_back("already " + f); };
        q.OnItemDone = [this](TpkHTTPDownloadQueue&, TpkDownloadQueueItem& i, const std::string&, std::int32_t size,
                              TpkStream*) { events.push_back("done " + std::to_string(size) + " " + std::to_string(i.Size)); };
        q.OnItemDownloaded = [this](TpkHTTPDownloadQueue&, TpkDownloadQueueItem&) { events.push_back("downloaded"); };
        q.OnItemFailed = [this](TpkHTTPDownloadQueue&, TpkDownloadQueueItem&) { events.push_back("failed"); };
        q.OnItemError = [this](TpkHTTPDownloadQueue&, TpkDownloadQueueItem&, int status, TpkStream*) {
            events.push_back("error " + std::to_string(status));
        };
        q.OnActiveCountChanged = [this](TpkHTTPDownloadQueue&, int n) { events.push_back("active " + std::to_string(n)); };
    }
};

TEST(TpkHTTPDownloadQueueNames, TargetComesFromTheURLInsideTheDownloadFolder) {
    test::TempDir dir;
    TpkHTTPDownloadQueue queue;
    queue.DownloadFolder = Utf8Path(dir.Path());
    TpkDownloadQueueItem* item = queue.EnqueueURL("http://www.pods.example.com/media/ep 1.mp3?x=1");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(fs::path(item->Target).filename(), fs::path("pods-example-com_media_ep_1.mp3"));
    EXPECT_EQ(PathFromUtf8(item->Target).parent_path(), dir.Path());
    EXPECT_EQ(item->Priority, 3);
    EXPECT_EQ(item->TempTarget, "") << "temporary names are off by default";
    EXPECT_EQ(item->Size, -1);
    EXPECT_EQ(item->Received, -1);
    EXPECT_EQ(item->StartCount, 0);
    EXPECT_EQ(item->HTTP(), nullptr) << "the transfer component is made at the first start";
}

TEST(TpkHTTPDownloadQueueNames, WithoutAFolderTheNameIsBare) {
    TpkHTTPDownloadQueue queue;
    TpkDownloadQueueItem* item = queue.Enqueue("http://host.example/a/b.ogg", "", 1, false, "");
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->Target, "host-example_a_b.ogg");
    EXPECT_EQ(item->Priority, 1);
}

TEST(TpkHTTPDownloadQueueNames, TemporaryNamesTakeRandomLettersAndTheExtension) {
    TpkHTTPDownloadQueue queue;
    queue.TempNames.SetEnabled(true);
    queue.TempNames.RandomLength = 6;
    queue.TempNames.Extension = "tmp";
    TpkDownloadQueueItem* a = queue.Enqueue("http://h.example/x.mp3", "some/where/report.mp3", 3, false, "");
    TpkDownloadQueueItem* b = queue.Enqueue("http://h.example/y.mp3", "other/report.mp3", 3, false, "");
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    const std::regex shape(R"(report\.mp3\.[a-z]{6}\.tmp)");
    EXPECT_TRUE(std::regex_match(a->TempTarget, shape)) << a->TempTarget;
    EXPECT_TRUE(std::regex_match(b->TempTarget, shape)) << b->TempTarget;
    EXPECT_NE(a->TempTarget, b->TempTarget) << "the generator is seeded once, not per name";
}

TEST(TpkHTTPDownloadQueueNames, TemporaryNameVariants) {
    struct Case {
        std::string folder, extension;
        int randomLength;
        std::string given, target, expected;
    } cases[] = {
        {"", ".part", 0, "", "dir/file.bin", "file.bin.part"},
        {"", "", 0, "", "dir\\file.bin", "file.bin"},
        {"tmpdir", "tmp", 0, "", "file.bin", std::string("tmpdir") + char(fs::path::preferred_separator) + "file.bin.tmp"},
        {"tmpdir/", "", 0, "", "file.bin", "tmpdir/file.bin"},
        {"", "tmp", 0, "given.name", "file.bin", "given.name"},
    };
    for (const auto& c : cases) {
        TpkHTTPDownloadQueue queue;
        queue.TempNames.SetEnabled(true);
        queue.TempNames.Folder = c.folder;
        queue.TempNames.Extension = c.extension;
        queue.TempNames.RandomLength = static_cast<std::uint8_t>(c.randomLength);
        TpkDownloadQueueItem* item = queue.Enqueue("http://h.example/f", c.target, 3, false, c.given);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->TempTarget, c.expected) << c.target;
    }
}

TEST(TpkHTTPDownloadQueueNames, AURLThatGivesNoNameMakesNoEntry) {
    TpkHTTPDownloadQueue queue;
    EXPECT_EQ(queue.EnqueueURL("http://"), nullptr);
    EXPECT_EQ(queue.Count(), 0);
}

TEST(TpkHTTPDownloadQueueFind, IsExactAndByteWise) {
    TpkHTTPDownloadQueue queue;
    Recorder rec;
    rec.Attach(queue);
    TpkDownloadQueueItem* a = queue.EnqueueURL("http://h.example/A.mp3");
    EXPECT_EQ(queue.EnqueueURL("http://h.example/A.mp3"), a) << "a queued URL gives its entry back";
    TpkDownloadQueueItem* b = queue.EnqueueURL("http://h.example/a.mp3");
    EXPECT_NE(b, a);
    EXPECT_EQ(queue.FindByURL("http://h.example/A.mp3"), a);
    EXPECT_EQ(queue.FindByURL("http://h.example/A.mp3 "), nullptr);
    EXPECT_EQ(queue.Count(), 2);
    EXPECT_EQ(rec.events, (std::vector<std::string>{"queued http://h.example/A.mp3", "queued http://h.example/a.mp3"}));
}

TEST(TpkHTTPDownloadQueueTarget, CompleteFileIsReportedAndMakesNoEntry) {
    test::TempDir dir;
    const std::string target = Utf8Path(dir / "done.mp3");
    WriteFile(target, "whole");
    TpkHTTPDownloadQueue queue;
    Recorder rec;
    rec.Attach(queue);
    EXPECT_EQ(queue.Enqueue("http://h.example/done.mp3", target, 3, false, ""), nullptr);
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_EQ(rec.events, (std::vector<std::string>{"already " + target}));
}

TEST(TpkHTTPDownloadQueueTarget, AttributesDecideBetweenPartialAndComplete) {
    test::TempDir dir;
    const std::string target = Utf8Path(dir / "part.mp3");
    WriteFile(target, "12345");
    struct Case {
        TpkFileAttributes present;
        TpkOutputFileAttributes sets;
        bool partial;
        const char* what;
    } cases[] = {
        {{atrArchive, atrTemporary}, {}, true, "incomplete attributes"},
        {{atrTemporary}, {}, true, "archive is ignored"},
        {{atrArchive}, {}, false, "complete attributes"},
        {{atrArchive, atrHidden}, {}, false, "other attributes read as complete"},
        {{atrTemporary}, {{atrArchive, atrTemporary}, {atrTemporary}}, false, "sets equal apart from archive"},
    };
    for (const auto& c : cases) {
        TpkHTTPDownloadQueue queue;
        queue.OutputFileAttributes = c.sets;
        queue.ReadAttributes = [&](const std::string& name, TpkFileAttributes& a) {
            if (name != target) return false;
            a = c.present;
            return true;
        };
        TpkDownloadQueueItem* item = queue.Enqueue("http://h.example/part.mp3", target, 3, false, "");
        if (c.partial) {
            ASSERT_NE(item, nullptr) << c.what;
            EXPECT_EQ(item->Received, 5) << c.what;
            EXPECT_EQ(item->ReceivedAtStart, 5) << c.what;
        } else {
            EXPECT_EQ(item, nullptr) << c.what;
        }
    }
}

TEST(TpkHTTPDownloadQueueLinks, EveryCallbackRunsWhenItsEntryGoes) {
    std::vector<std::string> told;
    const auto callback = [&](TpkDownloadQueueItem& item, void* data) {
        told.push_back(item.URL + " " + static_cast<const char*>(data));
    };
    static const char a[] = "a", b[] = "b", c[] = "c";
    {
        TpkHTTPDownloadQueue queue;
        TpkDownloadQueueItem* one = queue.EnqueueURL("http://h.example/1");
        TpkDownloadQueueItem* two = queue.EnqueueURL("http://h.example/2");
        TpkDownloadQueueItem* three = queue.EnqueueURL("http://h.example/3");
        one->AddLink(a, callback, const_cast<char*>(a));
        one->AddLink(b, callback, const_cast<char*>(b));
        two->AddLink(c, callback, const_cast<char*>(c));
        three->AddLink(c, callback, const_cast<char*>(c));
        EXPECT_TRUE(one->RemoveLink(b));
        EXPECT_FALSE(one->RemoveLink(b));
        queue.DeleteItem(one);
        EXPECT_EQ(told, (std::vector<std::string>{"http://h.example/1 a"}));
        queue.Delete(0);  // the second entry
        EXPECT_EQ(queue.Count(), 1);
        told.clear();
    }  // the queue goes with its last entry
    EXPECT_EQ(told, (std::vector<std::string>{"http://h.example/3 c"}));
}

TEST(TpkHTTPDownloadQueueState, SavedDocumentHasEveryEntryInOrder) {
    test::TempDir dir;
    TpkHTTPDownloadQueue queue;
    TpkDownloadQueueItem* a = queue.Enqueue("http://h.example/a?x=1&y=2", "a.mp3", 3, false, "");
    TpkDownloadQueueItem* b = queue.Enqueue("http://h.example/b", "b.mp3", 7, false, "b.tmp");
    a->Size = 100;
    b->Received = 40;
    b->StartCount = 2;
    const fs::path file = dir / "state.xml";
    ASSERT_TRUE(queue.SaveToFile(Utf8Path(file)));
    const std::string bytes = test::ReadWholeFile(file);
    ASSERT_EQ(bytes.size() % 2, 0u);
    std::u16string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2)
        text.push_back(char16_t(static_cast<unsigned char>(bytes[i]) | (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    EXPECT_EQ(Utf16ToUtf8(text),
              "<?xml version=\"1.0\" encoding=\"iso-8859-1\"?>\r\n<downloads>"
              "\r\n\t<download target=\"a.mp3\" size=\"100\" priority=\"3\" startcount=\"0\">"
              "\r\n\t\t<source url=\"http://h.example/a?x=1&amp;y=2\"/>\r\n\t</download>"
              "\r\n\t<download target=\"b.mp3\" temptarget=\"b.tmp\" received=\"40\" priority=\"7\" startcount=\"2\">"
              "\r\n\t\t<source url=\"http://h.example/b\"/>\r\n\t</download>"
              "\r\n</downloads>");
}

TEST(TpkHTTPDownloadQueueState, UnwritableFileAnswersFalse) {
    test::TempDir dir;
    TpkHTTPDownloadQueue queue;
    queue.EnqueueURL("http://h.example/a");
    EXPECT_FALSE(queue.SaveToFile(Utf8Path(dir / "no-such-folder" / "state.xml")));
    EXPECT_FALSE(queue.SaveToFile(Utf8Path(dir.Path())));  // a folder, not a file
}

TEST(TpkHTTPDownloadQueueState, TriggersSaveAfterAddDeleteAndClear) {
    test::TempDir dir;
    const fs::path file = dir / "queue.xml";
    const auto entries = [&] {
        const std::string bytes = test::ReadWholeFile(file);
        int n = 0;
        for (size_t i = 0; (i = bytes.find(std::string("<\0d\0o\0w\0n\0l\0o\0a\0d\0 ", 20), i)) != std::string::npos; ++i) ++n;
        return n;
    };
    TpkHTTPDownloadQueue queue;
    queue.StateFile.FileName = Utf8Path(file);
    queue.EnqueueURL("http://h.example/0");
    EXPECT_FALSE(fs::exists(file)) << "not enabled";
    queue.StateFile.SetEnabled(true);
    queue.EnqueueURL("http://h.example/1");
    queue.EnqueueURL("http://h.example/2");
    EXPECT_EQ(entries(), 3);
    queue.DeleteItem(queue.Items(0));
    EXPECT_EQ(entries(), 2);
    queue.StateFile.SaveOnDelete = false;
    queue.DeleteItem(queue.Items(0));
    EXPECT_EQ(entries(), 2) << "delete trigger off";
    queue.Clear();
    EXPECT_EQ(entries(), 0);
    queue.StateFile.FileName.clear();
    queue.EnqueueURL("http://h.example/3");  // no name: nothing is written, nothing fails
    EXPECT_EQ(queue.Count(), 1);
}

TEST(TpkHTTPDownloadQueueTransfer, FileURLIsCopiedFromItsTemporaryNameAndTheEntryGoes) {
    test::TempDir dir;
    const fs::path source = dir / "source.mp3";
    WriteFile(source, std::string(10000, 'x') + "end");
    TpkHTTPDownloadQueue queue;
    Recorder rec;
    rec.Attach(queue);
    queue.TempNames.SetEnabled(true);
    queue.TempNames.Folder = Utf8Path(dir / "partial");
    queue.TempNames.RandomLength = 4;
    queue.TempNames.Extension = "tmp";
    const std::string target = Utf8Path(dir / "got" / "report.mp3");
    bool unlinked = false;
    TpkDownloadQueueItem* item = queue.Enqueue(FileUrl(source), target, 3, false, "");
    ASSERT_NE(item, nullptr);
    item->AddLink(&unlinked, [&](TpkDownloadQueueItem&, void*) { unlinked = true; }, nullptr);
    const std::string temp = item->TempTarget;
    rec.events.clear();
    EXPECT_TRUE(queue.StartItem(*item));
    test::PumpUntil([&] { return queue.Count() == 0; });
    ASSERT_EQ(queue.Count(), 0);
    EXPECT_TRUE(unlinked);
    EXPECT_EQ(test::ReadWholeFile(target), std::string(10000, 'x') + "end");
    EXPECT_FALSE(fs::exists(PathFromUtf8(temp))) << "the temporary file is deleted";
    ASSERT_GE(rec.events.size(), 2u);
    EXPECT_EQ(rec.events[rec.events.size() - 2], "done 10003 10003");
    EXPECT_EQ(rec.events.back(), "downloaded");
    EXPECT_EQ(queue.ActiveCount(), 0);
}

TEST(TpkHTTPDownloadQueueTransfer, MissingSourceFailsAndTheEntryStays) {
    test::TempDir dir;
    TpkHTTPDownloadQueue queue;
    Recorder rec;
    rec.Attach(queue);
    TpkDownloadQueueItem* item = queue.Enqueue(FileUrl(dir / "absent.mp3"), Utf8Path(dir / "out.mp3"), 3, false, "");
    ASSERT_NE(item, nullptr);
    rec.events.clear();
    EXPECT_TRUE(queue.StartItem(*item));
    test::PumpUntil([&] { return !rec.events.empty() && rec.events.back() == "failed"; });
    std::erase_if(rec.events, [](const std::string& e) { return e.rfind("active", 0) == 0; });
    EXPECT_EQ(queue.Count(), 1);
    EXPECT_EQ(item->StartCount, 1);
    EXPECT_EQ(queue.ActiveCount(), 0);
    ASSERT_GE(rec.events.size(), 2u);
    EXPECT_EQ(rec.events[rec.events.size() - 2], "error 404");
    EXPECT_EQ(rec.events.back(), "failed");
}

TEST(TpkHTTPDownloadQueueTransfer, DeletingTheEntryInsideItsOwnEventIsSafe) {
    test::TempDir dir;
    const fs::path source = dir / "s.bin";
    WriteFile(source, std::string(50000, 'y'));
    TpkHTTPDownloadQueue queue;
    queue.TransferBufferSize = 1024;
    int progress = 0;
    queue.OnItemProgress = [&](TpkHTTPDownloadQueue& q, TpkDownloadQueueItem& item, const std::string&, std::int32_t,
                               std::int32_t, std::int32_t, std::int32_t, std::uint8_t, float, TpkStream*) {
        if (++progress == 3) q.DeleteItem(&item);
    };
    bool told = false;
    TpkDownloadQueueItem* item = queue.Enqueue(FileUrl(source), Utf8Path(dir / "t.bin"), 3, false, "");
    ASSERT_NE(item, nullptr);
    item->AddLink(&told, [&](TpkDownloadQueueItem&, void*) { told = true; }, nullptr);
    queue.StartItem(*item);
    EXPECT_TRUE(test::PumpUntil([&] { return told; }));
    EXPECT_EQ(queue.Count(), 0);
    EXPECT_EQ(queue.ActiveCount(), 0);
    // The entry's component winds down (an abort under Windows) before the entry is freed.
    EXPECT_TRUE(test::PumpUntil([&] {
        queue.FreeRemoved();
        return queue.RemovedPending() == 0;
    }));
    TpkDownloadQueueItem* after = queue.EnqueueURL("http://h.example/after");
    EXPECT_NE(after, nullptr);
    EXPECT_EQ(queue.Items(0), after) << "the queue goes on working";
}

}  // namespace
}  // namespace tw
