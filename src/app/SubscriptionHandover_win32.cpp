#include "app/SubscriptionHandover_win32.h"

#include "app/fMain.h"
#include "base/ProgramPath_win32.h"
#include "base/TextConvert_win32.h"
#include "base/UniqueHandle_win32.h"
#include "base/Win32Window_win32.h"
#include "desktop/pkOnlyOne.h"

#include <chrono>
#include <thread>

namespace tw {
namespace {

constexpr wchar_t kReplyClass[] = L"TidewireSubscriptionReply";
constexpr wchar_t kTickerClass[] = L"TfrMain";
// A large import is read, checked and written in well under this; a ticker that hangs longer
// has failed.
constexpr UINT kAnswerTimeoutMs = 60000;
// A ticker that has just started holds its guard before its window exists.
constexpr auto kWindowWait = std::chrono::seconds(15);

// Receives the running ticker's message while this process waits for its answer.
class ReplyWindow final : public Win32Window {
public:
    bool Create() { return CreateFor(kReplyClass, 0, 0, L"", 0, 0, 0, 0, HWND_MESSAGE) != nullptr; }
    const std::string& Message() const { return message_; }

private:
    LRESULT HandleMessage(UINT msg, WPARAM wp, LPARAM lp) override {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lp);
        if (msg != WM_COPYDATA || data->dwData != kSubscriptionRequestId + 1) return Default(msg, wp, lp);
        message_.assign(static_cast<const char*>(data->lpData), data->cbData);
        return 1;
    }
    std::string message_;
};

std::wstring AbsolutePath(const std::string& path) {
    const std::wstring wide = ToWide(path);
    const DWORD size = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (size == 0) return wide;
    std::wstring full(size, L'\0');
    const DWORD length = GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    full.resize(length < size ? length : 0);
    return full.empty() ? wide : full;
}

// The running ticker's window, when a ticker holds the single-instance guard.
HWND RunningTicker() {
    const std::wstring title = ToWide(std::string(kApplicationTitle));
    const KernelHandle guard(OpenMutexW(SYNCHRONIZE, FALSE, ToWide(std::string(kOnlyOneName)).append(title).c_str()));
    if (!guard) return nullptr;
    const auto until = std::chrono::steady_clock::now() + kWindowWait;
    for (;;) {
        if (const HWND window = FindWindowW(kTickerClass, title.c_str())) return window;
        if (std::chrono::steady_clock::now() > until) return nullptr;
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
    }
}

TSubscriptionResult HandOver(HWND ticker, const TSubscriptionCommand& command) {
    ReplyWindow reply;
    if (!reply.Create()) return {false, "The running ticker cannot be asked; nothing was done."};
    const std::string text = EncodeSubscriptionCommand(command);
    COPYDATASTRUCT data{kSubscriptionRequestId, DWORD(text.size()), const_cast<char*>(text.data())};
    DWORD_PTR answer = 0;
    // The ticker's answer comes in while this thread waits here.
    if (!SendMessageTimeoutW(ticker, WM_COPYDATA, reinterpret_cast<WPARAM>(reply.Handle()),
                             reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG, kAnswerTimeoutMs, &answer) ||
        answer == 0)
        return {false, "The running ticker did not answer; nothing was done."};
    return {answer == 1, reply.Message()};
}

TSubscriptionResult RunHere(const TSubscriptionCommand& command) {
    const std::wstring exe = RunningExecutableWidePath();
    const std::string config = FromWide(exe.substr(0, exe.find_last_of(L"\\/") + 1)) + std::string(kConfigFileName);
    const auto store = CreateSystemProfileStore(config);
    return RunSubscriptionCommand(command, *store);
}

// A GUI program has no console of its own: the line goes to a redirected standard output, else
// to the console of the program that started it (a command prompt), else nowhere.
void TellConsole(const std::string& message) {
    const std::string line = message + "\r\n";
    DWORD written = 0;
    const HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    const DWORD type = out && out != INVALID_HANDLE_VALUE ? GetFileType(out) : FILE_TYPE_UNKNOWN;
    if (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) {
        WriteFile(out, line.data(), DWORD(line.size()), &written, nullptr);
        return;
    }
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
    const KernelHandle console(CreateFileW(L"CONOUT$", GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                           OPEN_EXISTING, 0, nullptr));
    if (console) {
        const std::wstring wide = ToWide(line);
        WriteConsoleW(console.Get(), wide.data(), DWORD(wide.size()), &written, nullptr);
    }
    FreeConsole();
}

}  // namespace

std::optional<int> RunSubscriptionCommandLine(const std::vector<std::string>& arguments) {
    auto command = ParseSubscriptionCommand(arguments);
    if (!command) return std::nullopt;
    // The running ticker has its own working folder.
    command->Path = FromWide(AbsolutePath(command->Path));
    const HWND ticker = RunningTicker();
    const TSubscriptionResult result = ticker ? HandOver(ticker, *command) : RunHere(*command);
    TellConsole(result.Message);
    return result.Done ? 0 : 1;
}

LRESULT AnswerSubscriptionRequest(WPARAM sender, LPARAM data,
                                  const std::function<TSubscriptionResult(const TSubscriptionCommand&)>& run) {
    const auto* request = reinterpret_cast<const COPYDATASTRUCT*>(data);
    if (request == nullptr || request->dwData != kSubscriptionRequestId || request->lpData == nullptr) return 0;
    const auto command =
        DecodeSubscriptionCommand(std::string_view(static_cast<const char*>(request->lpData), request->cbData));
    if (!command) return 0;
    const TSubscriptionResult result = run(*command);
    const HWND replyTo = reinterpret_cast<HWND>(sender);
    wchar_t cls[64] = {};
    if (IsWindow(replyTo) && GetClassNameW(replyTo, cls, 64) > 0 && std::wstring_view(cls) == kReplyClass) {
        COPYDATASTRUCT reply{kSubscriptionRequestId + 1, DWORD(result.Message.size()),
                             const_cast<char*>(result.Message.data())};
        DWORD_PTR ignored = 0;
        SendMessageTimeoutW(replyTo, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&reply), SMTO_ABORTIFHUNG, 5000, &ignored);
    }
    return result.Done ? 1 : 2;
}

}  // namespace tw
