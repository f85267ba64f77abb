#include "desktop/uFileAssociations.h"

#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>

namespace tw {
namespace {

// Two classes roots in memory; a root can refuse every write, as HKEY_CLASSES_ROOT does for a
// normal user.
class MemoryClasses final : public IClassesRegistry {
public:
    std::optional<std::string> ReadDefault(TClassesRoot root, const std::string& path) override {
        const auto it = keys[root].find(Upper(path));
        if (it == keys[root].end()) return std::nullopt;
        return it->second;
    }
    bool WriteDefault(TClassesRoot root, const std::string& path, const std::string& value) override {
        if (refusing.count(root)) return false;
        keys[root][Upper(path)] = value;
        return true;
    }
    static std::string Upper(std::string s) {  // key names ignore case
        for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        return s;
    }

    std::map<TClassesRoot, std::map<std::string, std::string>> keys;
    std::set<TClassesRoot> refusing;
};

const TAssociationTarget kTarget{R"(C:\Apps\Tidewire.exe)", "Tidewire", "Macros"};

struct Fixture : ::testing::Test {
    TAssociationOutcome Register() {
        return RegisterRssAssociation(classes, kTarget, [this] { ++notified; });
    }
    MemoryClasses classes;
    int notified = 0;
};

using FileAssociation = Fixture;

TEST_F(FileAssociation, AFreshMachineGetsEveryEntryAndTheShellIsTold) {
    EXPECT_EQ(Register(), TAssociationOutcome::RegisteredForMachine);
    EXPECT_EQ(notified, 1);
    const std::map<std::string, std::string> expected = {
        {".RSS", "rssfile"},
        {"RSSFILE", "RSS File"},
        {R"(RSSFILE\SHELL\OPEN\COMMAND)", R"("C:\Apps\Tidewire.exe" "%1")"},
        {R"(RSSFILE\SHELL\OPEN\DDEEXEC)", R"([Open("%1")])"},
        {R"(RSSFILE\SHELL\OPEN\DDEEXEC\APPLICATION)", "Tidewire"},
        {R"(RSSFILE\SHELL\OPEN\DDEEXEC\TOPIC)", "Macros"},
        {R"(RSSFILE\DEFAULTICON)", R"(C:\Apps\Tidewire.exe,1)"},
    };
    EXPECT_EQ(classes.keys[TClassesRoot::Machine], expected);
    EXPECT_TRUE(DDEAvailableAfter(TAssociationOutcome::RegisteredForMachine));

    // The next start finds it and writes nothing.
    EXPECT_EQ(Register(), TAssociationOutcome::AlreadyRegistered);
    EXPECT_EQ(notified, 1);
}

TEST_F(FileAssociation, RegisteredCommandsAreRecognisedByTheirExecutable) {
    const struct {
        std::string extensionClass;
        std::string command;
        bool registered;
    } cases[] = {
        {"rssfile", R"(C:\Apps\Tidewire.exe "%1")", true},          // unquoted, as older versions wrote it
        {"RSSFILE", R"("c:\apps\TIDEWIRE.EXE" "%1")", true},        // letter case aside
        {"rssfile", R"(C:\Apps\Tidewire.exe)", true},
        {"rssfile", R"(C:\Old\Tidewire.exe "%1")", false},          // the program was moved
        {"rssfile", R"(C:\Apps\Tidewire.exe2 "%1")", false},        // another program's name
        {"rssfile", R"("C:\Apps\Tidewire.exe "%1")", false},        // an unclosed quote
        {"otherfeed", R"(C:\Apps\Tidewire.exe "%1")", false},      // .rss belongs to another class
    };
    for (const auto& c : cases) {
        MemoryClasses classes;
        classes.keys[TClassesRoot::Machine][".RSS"] = c.extensionClass;
        classes.keys[TClassesRoot::Machine][R"(RSSFILE\SHELL\OPEN\COMMAND)"] = c.command;
        EXPECT_EQ(IsFileTypeRegistered(classes, kTarget.ExecutablePath, ".rss", "rssfile"), c.registered) << c.command;
    }
}

TEST_F(FileAssociation, AMovedProgramOrAForeignClassIsWrittenAgain) {
    classes.keys[TClassesRoot::Machine][".RSS"] = "otherfeed";
    EXPECT_EQ(Register(), TAssociationOutcome::RegisteredForMachine);
    EXPECT_EQ(classes.keys[TClassesRoot::Machine][".RSS"], "rssfile");

    classes.keys[TClassesRoot::Machine][R"(RSSFILE\SHELL\OPEN\COMMAND)"] = R"(D:\Old\Tidewire.exe "%1")";
    EXPECT_EQ(Register(), TAssociationOutcome::RegisteredForMachine);
    EXPECT_EQ(classes.keys[TClassesRoot::Machine][R"(RSSFILE\SHELL\OPEN\COMMAND)"], R"("C:\Apps\Tidewire.exe" "%1")");
    EXPECT_EQ(notified, 2);
}

TEST_F(FileAssociation, ARefusedMachineRootGoesToTheUsersOwnClasses) {
    classes.refusing.insert(TClassesRoot::Machine);
    EXPECT_EQ(Register(), TAssociationOutcome::RegisteredForUser);
    EXPECT_EQ(classes.keys[TClassesRoot::User][R"(RSSFILE\SHELL\OPEN\DDEEXEC)"], R"([Open("%1")])");
    EXPECT_EQ(notified, 1);
    // The user's entry decides from now on, as it does for the shell.
    EXPECT_EQ(Register(), TAssociationOutcome::AlreadyRegistered);
    classes.refusing.clear();
    classes.keys[TClassesRoot::User][R"(RSSFILE\SHELL\OPEN\COMMAND)"] = R"(D:\Old\Tidewire.exe "%1")";
    EXPECT_EQ(Register(), TAssociationOutcome::RegisteredForUser);
}

TEST_F(FileAssociation, NoWritableRootLeavesTheProgramWithoutDDEAndRaisesNothing) {
    classes.refusing = {TClassesRoot::Machine, TClassesRoot::User};
    EXPECT_EQ(Register(), TAssociationOutcome::Failed);
    EXPECT_FALSE(DDEAvailableAfter(TAssociationOutcome::Failed));
    EXPECT_EQ(notified, 0);
}

TEST_F(FileAssociation, ARefusedKeyRaisesTheRegistryErrorNamingIt) {
    classes.refusing.insert(TClassesRoot::Machine);
    try {
        RegisterDefaultIcon(classes, TClassesRoot::Machine, "rssfile", "x.exe", 1);
        FAIL() << "no error";
    } catch (const ERegistryException& e) {
        EXPECT_STREQ(e.what(), "Cannot create key rssfile\\DefaultIcon, the user account may not have the required "
                               "rights to create registry keys under HKEY_CLASSES_ROOT.");
    }
}

TEST_F(FileAssociation, AnEmptyTemplateIsTheQuotedPlaceholder) {
    RegisterFileType(classes, TClassesRoot::User, "x.exe", ".feed", "feedfile", "Feed", "", "view");
    EXPECT_EQ(classes.keys[TClassesRoot::User][R"(FEEDFILE\SHELL\VIEW\COMMAND)"], R"("x.exe" "%1")");
}

}  // namespace
}  // namespace tw
