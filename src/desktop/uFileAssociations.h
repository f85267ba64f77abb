#pragma once
// The ".rss" file association: at every start the program checks that the file class "rssfile"
// opens files with this very executable (by command line and by the DDE command of
// DDEHandler.h) and writes the class again where it does not. The registry is reached through
// IClassesRegistry; uFileAssociations_win32.h has the real one and the start-up step.
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>

namespace tw {

inline constexpr std::string_view kRssExtension = ".rss";
inline constexpr std::string_view kRssFileClass = "rssfile";
inline constexpr std::string_view kRssFileDescription = "RSS File";
inline constexpr std::string_view kOpenVerb = "open";
// The file-name placeholder in double quotes: the shell puts the file's path in its place.
inline constexpr std::string_view kFileArgumentTemplate = "\"%1\"";

// Where file classes live: the machine-wide view (HKEY_CLASSES_ROOT) or the current user's own
// classes (HKEY_CURRENT_USER\Software\Classes), which the shell prefers when both have a key.
enum class TClassesRoot { Machine, User };

class IClassesRegistry {
public:
    virtual ~IClassesRegistry() = default;
    // The default value of the key at `path` under `root`; nothing when the key cannot be opened
    // for reading. A key without a default value gives "".
    virtual std::optional<std::string> ReadDefault(TClassesRoot root, const std::string& path) = 0;
    // Opens the key at `path`, creating it (and its parents) if missing, and sets its default
    // value; false when the key cannot be created or the value cannot be written.
    virtual bool WriteDefault(TClassesRoot root, const std::string& path, const std::string& value) = 0;
};

// A key under the classes root could not be created or written.
class ERegistryException : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The error text for a key path that cannot be created.
std::string CannotCreateKeyText(const std::string& keyPath);

// What the registration needs to know of the running program.
struct TAssociationTarget {
    std::string ExecutablePath;  // full path of the running executable
    std::string ServiceName;     // its DDE service name
    std::string TopicName;       // the DDE topic
};

// Whether `extension` names `fileClass` (any letter case) and the class's open command begins
// with the executable's path, compared without regard to letter case, unquoted or in quotes
// and followed by a blank or the end. The user's own classes decide where they name the
// extension, as they do for the shell; otherwise the machine's.
bool IsFileTypeRegistered(IClassesRegistry& registry, const std::string& executablePath, std::string_view extension,
                          std::string_view fileClass);

// Writes the extension key, the class key with its description and the verb's command: the
// executable's path in double quotes, a blank and `argumentTemplate` (the quoted placeholder when
// empty). Throws ERegistryException at the first key it cannot write.
void RegisterFileType(IClassesRegistry& registry, TClassesRoot root, const std::string& executablePath,
                      std::string_view extension, std::string_view fileClass, std::string_view description,
                      std::string_view argumentTemplate, std::string_view verb);
// Writes the verb's DDE command with its service ("Application") and topic. Throws likewise.
void RegisterDDEExec(IClassesRegistry& registry, TClassesRoot root, const TAssociationTarget& target,
                     std::string_view fileClass, std::string_view verb, std::string_view executeString);
// Writes the class's icon: "<path>,<index>". Throws likewise.
void RegisterDefaultIcon(IClassesRegistry& registry, TClassesRoot root, std::string_view fileClass,
                         const std::string& filePath, int iconIndex);

// How the start-up check ended.
enum class TAssociationOutcome {
    AlreadyRegistered,  // nothing written
    RegisteredForMachine,
    RegisteredForUser,  // the machine's classes refused; the user's own classes hold it
    Failed,             // neither could be written: no DDE command will arrive
};

// The start-up step: checks the ".rss" association and, where needed, writes every entry,
// first where the shell looks for this user (the user's classes when they already name ".rss",
// else the machine's), then, if that is refused, in the user's own classes. `notifyShell` runs
// after anything was written. Never throws for a refused key.
TAssociationOutcome RegisterRssAssociation(IClassesRegistry& registry, const TAssociationTarget& target,
                                           const std::function<void()>& notifyShell);

// Whether DDE commands can arrive after that outcome.
inline bool DDEAvailableAfter(TAssociationOutcome outcome) { return outcome != TAssociationOutcome::Failed; }

}  // namespace tw
