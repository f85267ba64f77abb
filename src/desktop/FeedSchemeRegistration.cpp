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

bool ShouldRegisterFeedScheme(const std::optional<std::string>& openCommand, const std::string& executablePath) {
    if (!openCommand || TrimAsciiWhitespace(*openCommand).empty()) return true;
    const std::string_view command = TrimAsciiWhitespace(*openCommand);
    const bool quoted = !command.empty() && command.front() == '"';
    const std::string_view rest = command.substr(quoted ? 1 : 0);
    if (!StartsWithIgnoringAsciiCase(rest, executablePath)) return false;
    const std::string_view after = rest.substr(executablePath.size());
    if (quoted) return !after.empty() && after.front() == '"';
    return after.empty() || after.front() == ' ';
}

}  // namespace tw
