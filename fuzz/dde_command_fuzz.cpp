// The DDE execute text from any program on the desktop: cutting it into lines and commands and
// taking the Open command's path never crash, deliver at most the bounded number of commands,
// and give only paths without a double quote that the command holds.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "desktop/DDEHandler.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    tw::TDDEHandler handler;
    std::size_t delivered = 0;
    handler.SetExecuteHandler([&](tw::TDDEHandler&, const std::vector<std::string>& commands) {
        delivered += commands.size();
        for (const std::string& command : commands) {
            if (command.size() > text.size()) std::abort();
            const auto path = tw::OpenCommandPath(command);
            if (!path) continue;
            if (path->find('"') != std::string::npos || command.find(*path) == std::string::npos ||
                !command.starts_with("[Open("))
                std::abort();
        }
    });
    const std::vector<std::string> lines = tw::SplitExecuteLines(text);
    for (const std::string& line : lines)
        if (line.find_first_of("\r\n") != std::string::npos) std::abort();
    handler.ExecuteMacro(lines);
    if (delivered > tw::kMaxPendingCommands || !handler.PendingCommands().empty()) std::abort();
    return 0;
}
