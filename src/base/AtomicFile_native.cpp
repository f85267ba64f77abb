#include "base/AtomicFile.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <unistd.h>

namespace tw {

namespace {

// The folder's entry for the renamed file reaches the disk only when the folder is flushed too.
void FlushFolderOf(const std::string& path) {
    const std::string::size_type slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY);
    if (fd < 0) return;
    ::fsync(fd);
    ::close(fd);
}

bool WriteAll(int fd, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd, bytes.data(), bytes.size());
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

// Without this, a machine losing power just after the rename may show the new name over
// contents that never reached the disk.
bool FlushContents(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return false;
    const bool flushed = ::fsync(fd) == 0;
    ::close(fd);
    return flushed;
}

}  // namespace

bool ReplaceFileInOneStep(const std::string& from, const std::string& to) {
    if (!FlushContents(from) || std::rename(from.c_str(), to.c_str()) != 0) return false;
    FlushFolderOf(to);
    return true;
}

bool WriteFileInOneStep(const std::string& path, std::string_view bytes) {
    const std::string pending = PendingFileFor(path);
    const int fd = ::open(pending.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return false;
    const bool written = WriteAll(fd, bytes);
    const bool closed = ::close(fd) == 0;
    if (!written || !closed || !ReplaceFileInOneStep(pending, path)) {
        ::unlink(pending.c_str());
        return false;
    }
    return true;
}

}  // namespace tw
