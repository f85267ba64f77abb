// The association in a real registry: both classes places under a scratch key of the current
// user, so the test leaves the machine's classes alone.
#include "desktop/uFileAssociations_win32.h"

#include <gtest/gtest.h>

namespace tw {
namespace {

constexpr wchar_t kScratch[] = L"Software\\TidewireAssociationTest";

struct ScratchClasses : ::testing::Test {
    void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kScratch); }
    void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kScratch); }
    std::unique_ptr<IClassesRegistry> registry = CreateSystemClassesRegistry(
        {HKEY_CURRENT_USER, std::wstring(kScratch) + L"\\Machine", HKEY_CURRENT_USER, std::wstring(kScratch) + L"\\User"});
};

using FileAssociationWin32 = ScratchClasses;

TEST_F(FileAssociationWin32, EntriesAreWrittenReadBackAndRecognised) {
    const TAssociationTarget target{"C:\\Program Files\\Tide\u00e9\\Tidewire.exe", "Tidewire", "Macros"};
    int notified = 0;
    EXPECT_EQ(RegisterRssAssociation(*registry, target, [&] { ++notified; }), TAssociationOutcome::RegisteredForMachine);
    EXPECT_EQ(notified, 1);
    EXPECT_EQ(registry->ReadDefault(TClassesRoot::Machine, "RSSFILE\\shell\\open\\command"),
              "\"C:\\Program Files\\Tide\u00e9\\Tidewire.exe\" \"%1\"");
    EXPECT_EQ(registry->ReadDefault(TClassesRoot::Machine, "rssfile\\shell\\open\\ddeexec\\topic"), "Macros");
    EXPECT_EQ(registry->ReadDefault(TClassesRoot::User, ".rss"), std::nullopt);
    EXPECT_EQ(RegisterRssAssociation(*registry, target, [&] { ++notified; }), TAssociationOutcome::AlreadyRegistered);
    EXPECT_EQ(notified, 1);
}

TEST_F(FileAssociationWin32, AKeyThatCannotBeCreatedIsRefused) {
    // A key name is at most 255 characters long.
    EXPECT_FALSE(registry->WriteDefault(TClassesRoot::User, std::string(300, 'k'), "x"));
    EXPECT_EQ(registry->ReadDefault(TClassesRoot::User, "missing"), std::nullopt);
}

}  // namespace
}  // namespace tw
