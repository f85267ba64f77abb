#include "desktop/FeedSchemeRegistration.h"

#include "base/AsciiText.h"
#include "desktop/DDEHandler.h"

namespace tw {

std::vector<TClassesValue> FeedSchemeValues(std::string_view scheme, const TAssociationTarget& target) {
    const std::string key(scheme);
    const std::string open = key + "\\shell\\open";
    return {
        {key, "", "URL:Feed Protocol"},
        {key, "URL Protocol", ""},
        {key + "\\DefaultIcon", "", target.ExecutablePath + ",1"},
        {open + "\\command", "", "\"" + target.ExecutablePath + "\" " + std::string(kFileArgumentTemplate)},
        {open + "\\ddeexec", "", std::string(kOpenExecuteString)},
        {open + "\\ddeexec\\Application", "", target.ServiceName},
        {open + "\\ddeexec\\topic", "", target.TopicName},
    };
}

namespace {

// The program a command runs: its first word, unquoted, or the text in its first quotes.
std::string_view CommandProgram(std::string_view command) {
    if (!command.empty() && command.front() == '"') {
        const std::size_t close = command.find('"', 1);
        return close == std::string_view::npos ? std::string_view{} : command.substr(1, close - 1);
    }
    return command.substr(0, command.find(' '));
}

std::string_view FileName(std::string_view path) { return path.substr(path.find_last_of("\\/") + 1); }

}  // namespace

bool ShouldRegisterFeedScheme(const std::optional<std::string>& openCommand, const std::string& executablePath) {
    if (!openCommand) return true;
    const std::string_view command = TrimAsciiWhitespace(*openCommand);
    // Unquoted, a path with blanks is ours only as a whole.
    if (StartsWithIgnoringAsciiCase(command, executablePath) &&
        (command.size() == executablePath.size() || command[executablePath.size()] == ' '))
        return true;
    const std::string_view program = CommandProgram(command);
    // This program, moved or another copy of it, like the .rss association; never another one.
    return program.empty() || EqualsIgnoringAsciiCase(FileName(program), FileName(executablePath));
}

}  // namespace tw
