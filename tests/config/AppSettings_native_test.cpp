// A settings save killed at any moment, natively: the writer is a forked child ended by SIGKILL.
#include "config/IniProfileStore.h"

#include "InterruptedSave.h"

#include <csignal>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace tw::test {
namespace {

std::unique_ptr<IProfileStore> PlainFileStore(const std::string& path) {
    return std::make_unique<IniProfileStore>(std::filesystem::u8path(path));
}

std::chrono::microseconds CutForkedWriter(const std::string& path, std::chrono::microseconds delay) {
    using Clock = std::chrono::steady_clock;
    int ready[2];
    if (::pipe(ready) != 0) return {};
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ready[0]);
        const char go = 1;
        if (::write(ready[1], &go, 1) == 1) SaveGeneration(PlainFileStore, path, 1);
        ::_exit(0);
    }
    ::close(ready[1]);
    char go = 0;
    const bool begun = child > 0 && ::read(ready[0], &go, 1) == 1;
    ::close(ready[0]);
    EXPECT_TRUE(begun) << "the writer did not start";
    const auto start = Clock::now();
    int status = 0;
    while (child > 0 && ::waitpid(child, &status, WNOHANG) == 0) {
        if (Clock::now() - start >= delay) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::microseconds(100));
    }
    return std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
}

TEST(InterruptedSave, KilledWriterLeavesTheOldSettingsOrTheNewWhole) {
    ExpectWholeSettingsAfterEveryCut(PlainFileStore, CutForkedWriter, 20);
}

}  // namespace
}  // namespace tw::test
