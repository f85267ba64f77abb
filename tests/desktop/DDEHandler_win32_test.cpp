// A real DDE conversation: a client on another thread (its own DDEML instance) sends execute
// transactions to the server while this thread handles messages.
#include "desktop/DDEHandler_win32.h"

#include "support/MessagePump.h"

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace tw {
namespace {

HDDEDATA CALLBACK ClientCallback(UINT, UINT, HCONV, HSZ, HSZ, HDDEDATA, ULONG_PTR, ULONG_PTR) { return nullptr; }

// Connects to `service`/`topic` and sends each text as one execute transaction; the number of
// acknowledged transactions, or -1 when no conversation started.
int SendExecutes(const std::wstring& service, const std::wstring& topic, const std::vector<std::wstring>& texts) {
    DWORD instance = 0;
    if (DdeInitializeW(&instance, ClientCallback, APPCMD_CLIENTONLY, 0) != DMLERR_NO_ERROR) return -1;
    HSZ hService = DdeCreateStringHandleW(instance, service.c_str(), CP_WINUNICODE);
    HSZ hTopic = DdeCreateStringHandleW(instance, topic.c_str(), CP_WINUNICODE);
    int acknowledged = -1;
    if (HCONV conversation = DdeConnect(instance, hService, hTopic, nullptr)) {
        acknowledged = 0;
        for (const std::wstring& text : texts) {
            DWORD result = 0;
            const auto bytes = static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t));
            if (DdeClientTransaction(reinterpret_cast<LPBYTE>(const_cast<wchar_t*>(text.c_str())), bytes, conversation,
                                     nullptr, 0, XTYP_EXECUTE, 20000, &result))
                ++acknowledged;
        }
        DdeDisconnect(conversation);
    }
    DdeFreeStringHandle(instance, hTopic);
    DdeFreeStringHandle(instance, hService);
    DdeUninitialize(instance);
    return acknowledged;
}

TEST(TDDEServerWin32, ExecuteTextsReachTheHandlerInOrderAndHostileOnesEndAcknowledged) {
    TDDEServer server("TidewireDdeTest");
    ASSERT_TRUE(server.Active());
    EXPECT_EQ(ProcessDDEServer(), &server);
    std::vector<std::string> received;
    server.Handler().SetExecuteHandler([&](TDDEHandler&, const std::vector<std::string>& commands) {
        received.insert(received.end(), commands.begin(), commands.end());
    });

    const std::wstring huge = L"[Open(\"" + std::wstring(500000, L'x') + L"\")]";
    std::atomic<int> acknowledged{-2};
    std::atomic<int> wrongTopic{-2};
    std::thread client([&] {
        wrongTopic = SendExecutes(L"TidewireDdeTest", L"System", {L"[Open(\"x\")]"});
        acknowledged = SendExecutes(L"tidewireddetest", L"macros",
                                    {L"[Open(\"C:\\a \u00e9.rss\")][Open(\"C:\\b.rss\")]", L"[Open(\"unbalanced]][[\"\"",
                                     huge});
    });
    test::PumpUntil([&] { return acknowledged != -2; }, 30000);
    client.join();

    EXPECT_EQ(wrongTopic, -1);
    EXPECT_EQ(acknowledged, 3);
    ASSERT_EQ(received.size(), 5u);
    EXPECT_EQ(received[0], "[Open(\"C:\\a \xC3\xA9.rss\")]");  // UTF-8 from the wide text
    EXPECT_EQ(received[1], "[Open(\"C:\\b.rss\")]");
    EXPECT_EQ(received[4].size(), 500000u + 10u);
}

}  // namespace
}  // namespace tw
