#pragma once
// TDDEHandler: the process-wide receiver of the shell's DDE execute commands. The DDE layer
// (DDEHandler_win32.h) hands it the execute text of each transaction as lines; it splits them
// into commands, keeps them until the main window attaches its handler, and delivers them in
// order. The command texts come from any program on the desktop, so every step here is bounded.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tw {

// The DDE topic of the command conversation, and the execute string the shell is told to send.
inline constexpr std::string_view kDDETopic = "Macros";
inline constexpr std::string_view kOpenExecuteString = "[Open(\"%1\")]";

// At most this many commands wait for a handler that is not attached (yet); later ones are
// dropped, so a client cannot grow the list without end.
inline constexpr std::size_t kMaxPendingCommands = 256;

class TDDEHandler {
public:
    using TExecuteHandler = std::function<void(TDDEHandler& sender, const std::vector<std::string>& commands)>;

    // The execute transaction's lines: each is split, then everything pending is delivered.
    void ExecuteMacro(const std::vector<std::string>& lines);
    // Appends the commands of one line to the pending list: the line is cut after each "]" that
    // a "[" follows; every piece but the last is trimmed of blanks and control characters.
    void SplitCommands(std::string_view line);
    // Hands the pending commands to the handler, if there is one and something waits, and
    // empties the list. An exception from the handler passes through; the list is empty then.
    void FlushCommands();
    // Stores the handler and delivers what arrived before it.
    void SetExecuteHandler(TExecuteHandler handler);

    std::string TopicName() const { return std::string(kDDETopic); }
    const std::vector<std::string>& PendingCommands() const { return pending_; }

private:
    void Append(std::string command);

    std::vector<std::string> pending_;
    TExecuteHandler handler_;
};

// The lines of an execute text, cut at CR, LF or CR LF; an empty text gives no line.
std::vector<std::string> SplitExecuteLines(std::string_view text);

// The path inside an Open command: the command must begin with "[Open(" exactly; the path is
// what lies between its first two double quotes, possibly empty (it names no readable file, and
// loads as one). Nothing for any other command, for one without both quotes, and for a path
// longer than a Windows path can be.
std::optional<std::string> OpenCommandPath(std::string_view command);

// The DDE service name of an executable: its file name without folder and without everything
// from its first "." on ("C:\Apps\Tidewire.exe" gives "Tidewire").
std::string DDEServiceName(std::string_view executablePath);

// A file opened by a DDE command larger than this is not read: no feed comes near it, and
// reading a huge file whole would stall the ticker and take its memory.
inline constexpr unsigned long long kMaxOpenedFeedBytes = 32ull * 1024 * 1024;

// Whether the file at `path` (UTF-8) exists and is larger than kMaxOpenedFeedBytes.
bool OpenedFileTooLarge(const std::string& path);

}  // namespace tw
