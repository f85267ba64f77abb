#include "desktop/DDEHandler.h"

#include "base/AsciiText.h"

#include <filesystem>
#include <system_error>
#include <utility>

namespace tw {
namespace {

// The longest path the system's wide functions accept, counted in bytes of UTF-8 here: a longer
// one cannot name a file, whatever it holds.
constexpr std::size_t kMaxPathBytes = 32767 * 3;

}  // namespace

void TDDEHandler::ExecuteMacro(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) SplitCommands(line);
    FlushCommands();
}

void TDDEHandler::SplitCommands(std::string_view line) {
    // One pass from the front: a line of a million "][" pairs is cut in linear time.
    for (std::size_t cut = line.find("]["); cut != std::string_view::npos; cut = line.find("][")) {
        Append(std::string(TrimControlsAndBlanks(line.substr(0, cut + 1))));
        line.remove_prefix(cut + 1);
    }
    Append(std::string(line));
}

void TDDEHandler::Append(std::string command) {
    if (pending_.size() < kMaxPendingCommands) pending_.push_back(std::move(command));
}

void TDDEHandler::FlushCommands() {
    if (!handler_ || pending_.empty()) return;
    // Taken out first: the handler may run a message loop in which the next transaction arrives.
    const std::vector<std::string> commands = std::exchange(pending_, {});
    handler_(*this, commands);
}

void TDDEHandler::SetExecuteHandler(TExecuteHandler handler) {
    handler_ = std::move(handler);
    FlushCommands();
}

std::vector<std::string> SplitExecuteLines(std::string_view text) {
    std::vector<std::string> lines;
    while (!text.empty()) {
        const std::size_t end = text.find_first_of("\r\n");
        lines.emplace_back(text.substr(0, end));
        if (end == std::string_view::npos) break;
        const std::size_t next = text.compare(end, 2, "\r\n") == 0 ? end + 2 : end + 1;
        text.remove_prefix(next);
    }
    return lines;
}

std::optional<std::string> OpenCommandPath(std::string_view command) {
    if (!command.starts_with("[Open(")) return std::nullopt;
    const std::size_t open = command.find('"');
    if (open == std::string_view::npos) return std::nullopt;
    const std::size_t close = command.find('"', open + 1);
    if (close == std::string_view::npos) return std::nullopt;
    const std::string_view path = command.substr(open + 1, close - open - 1);
    if (path.size() > kMaxPathBytes) return std::nullopt;
    return std::string(path);
}

std::string DDEServiceName(std::string_view executablePath) {
    const std::size_t slash = executablePath.find_last_of("\\/");
    std::string_view name = slash == std::string_view::npos ? executablePath : executablePath.substr(slash + 1);
    return std::string(name.substr(0, name.find('.')));
}

bool OpenedFileTooLarge(const std::string& path) {
    std::error_code error;
    const std::filesystem::path file(std::u8string(path.begin(), path.end()));
    const auto size = std::filesystem::file_size(file, error);
    return !error && size > kMaxOpenedFeedBytes;
}

}  // namespace tw
