#include "desktop/uFileAssociations.h"

#include "base/AsciiText.h"
#include "desktop/DDEHandler.h"

namespace tw {
namespace {

// `command` starts the executable `path` (case aside): unquoted or quoted, then a blank or the end.
bool CommandRunsExecutable(std::string_view command, const std::string& path) {
    if (path.empty()) return false;
    const auto endsAt = [&](std::size_t end) {
        return end == command.size() || command[end] == ' ' || command[end] == '\t';
    };
    if (command.starts_with('"'))
        return StartsWithIgnoringAsciiCase(command.substr(1), path) && command.size() > path.size() + 1 &&
               command[path.size() + 1] == '"' && endsAt(path.size() + 2);
    return StartsWithIgnoringAsciiCase(command, path) && endsAt(path.size());
}

std::string CommandKey(std::string_view fileClass, std::string_view verb) {
    return std::string(fileClass) + "\\shell\\" + std::string(verb) + "\\command";
}

std::string DDEExecKey(std::string_view fileClass, std::string_view verb) {
    return std::string(fileClass) + "\\shell\\" + std::string(verb) + "\\ddeexec";
}

// Opens (creating) the key and sets its default value, or throws with the key's path.
void WriteClassesKey(IClassesRegistry& registry, TClassesRoot root, const std::string& path, std::string_view value) {
    if (!registry.WriteDefault(root, path, std::string(value))) throw ERegistryException(CannotCreateKeyText(path));
}

bool RegisteredUnder(IClassesRegistry& registry, TClassesRoot root, const std::string& executablePath,
                     std::string_view extension, std::string_view fileClass) {
    const auto cls = registry.ReadDefault(root, std::string(extension));
    if (!cls || !EqualsIgnoringAsciiCase(*cls, fileClass)) return false;
    const auto command = registry.ReadDefault(root, CommandKey(fileClass, kOpenVerb));
    return command && CommandRunsExecutable(*command, executablePath);
}

void WriteAll(IClassesRegistry& registry, TClassesRoot root, const TAssociationTarget& target) {
    RegisterFileType(registry, root, target.ExecutablePath, kRssExtension, kRssFileClass, kRssFileDescription,
                     kFileArgumentTemplate, kOpenVerb);
    RegisterDDEExec(registry, root, target, kRssFileClass, kOpenVerb, kOpenExecuteString);
    RegisterDefaultIcon(registry, root, kRssFileClass, target.ExecutablePath, 1);
}

}  // namespace

std::string CannotCreateKeyText(const std::string& keyPath) {
    return "Cannot create key " + keyPath +
           ", the user account may not have the required rights to create registry keys under HKEY_CLASSES_ROOT.";
}

bool IsFileTypeRegistered(IClassesRegistry& registry, const std::string& executablePath, std::string_view extension,
                          std::string_view fileClass) {
    // The shell takes the user's own entry over the machine's.
    const TClassesRoot root =
        registry.ReadDefault(TClassesRoot::User, std::string(extension)) ? TClassesRoot::User : TClassesRoot::Machine;
    return RegisteredUnder(registry, root, executablePath, extension, fileClass);
}

void RegisterFileType(IClassesRegistry& registry, TClassesRoot root, const std::string& executablePath,
                      std::string_view extension, std::string_view fileClass, std::string_view description,
                      std::string_view argumentTemplate, std::string_view verb) {
    if (argumentTemplate.empty()) argumentTemplate = kFileArgumentTemplate;
    // Quoted: an unquoted path with a blank ("C:\Program Files\...") lets the shell try to run
    // "C:\Program" first.
    const std::string command = "\"" + executablePath + "\" " + std::string(argumentTemplate);
    WriteClassesKey(registry, root, std::string(extension), fileClass);
    WriteClassesKey(registry, root, std::string(fileClass), description);
    WriteClassesKey(registry, root, CommandKey(fileClass, verb), command);
}

void RegisterDDEExec(IClassesRegistry& registry, TClassesRoot root, const TAssociationTarget& target,
                     std::string_view fileClass, std::string_view verb, std::string_view executeString) {
    const std::string key = DDEExecKey(fileClass, verb);
    WriteClassesKey(registry, root, key, executeString);
    WriteClassesKey(registry, root, key + "\\Application", target.ServiceName);
    WriteClassesKey(registry, root, key + "\\topic", target.TopicName);
}

void RegisterDefaultIcon(IClassesRegistry& registry, TClassesRoot root, std::string_view fileClass,
                         const std::string& filePath, int iconIndex) {
    WriteClassesKey(registry, root, std::string(fileClass) + "\\DefaultIcon", filePath + "," + std::to_string(iconIndex));
}

TAssociationOutcome RegisterRssAssociation(IClassesRegistry& registry, const TAssociationTarget& target,
                                           const std::function<void()>& notifyShell) {
    if (IsFileTypeRegistered(registry, target.ExecutablePath, kRssExtension, kRssFileClass))
        return TAssociationOutcome::AlreadyRegistered;
    const bool userFirst = registry.ReadDefault(TClassesRoot::User, std::string(kRssExtension)).has_value();
    auto outcome = TAssociationOutcome::Failed;
    if (!userFirst) {
        try {
            WriteAll(registry, TClassesRoot::Machine, target);
            outcome = TAssociationOutcome::RegisteredForMachine;
        } catch (const ERegistryException&) {
            // A normal user may not write the machine's classes: the association goes to the
            // user's own, which the shell reads first for this user.
        }
    }
    if (outcome == TAssociationOutcome::Failed) {
        try {
            WriteAll(registry, TClassesRoot::User, target);
            outcome = TAssociationOutcome::RegisteredForUser;
        } catch (const ERegistryException&) {
        }
    }
    if (outcome != TAssociationOutcome::Failed && notifyShell) notifyShell();
    return outcome;
}

}  // namespace tw
