// Native half of pkClasses: the POSIX file behind TpkFileStream. There is no registry here, so
// the platform registry opener opens nothing and a registry saver saves and loads nothing.
#include "base/pkClasses.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tw {

std::unique_ptr<TpkRegistryOpener> CreatePlatformRegistryOpener() { return nullptr; }

struct TpkFileStream::Impl {
    int fd = -1;
};

TpkFileStream::TpkFileStream(const std::string& fileName, TpkFileStreamMode mode, bool fixAttributes)
    : fileName_(fileName), impl_(std::make_unique<Impl>()) {
    struct stat before {};
    bool restore = false;
    // The POSIX counterpart of a read-only attribute is a missing owner write bit.
    if (fixAttributes && ::stat(fileName.c_str(), &before) == 0 && (before.st_mode & S_IWUSR) == 0 &&
        ::chmod(fileName.c_str(), before.st_mode | S_IWUSR) == 0)
        restore = true;
    int flags = O_RDWR | O_CREAT | O_CLOEXEC;
    if (mode == TpkFileStreamMode::fsmCreate) flags |= O_TRUNC;
    impl_->fd = ::open(fileName.c_str(), flags, 0666);
    const int error = errno;
    if (restore) ::chmod(fileName.c_str(), before.st_mode & 07777);
    if (impl_->fd < 0) {
        std::error_code ec;
        auto full = std::filesystem::absolute(fileName, ec);
        throw EpkFileCreateError(ec ? fileName : full.string(), std::strerror(error));
    }
}

TpkFileStream::~TpkFileStream() {
    if (impl_ && impl_->fd >= 0) ::close(impl_->fd);
}

std::size_t TpkFileStream::Read(void* buffer, std::size_t count) {
    std::size_t total = 0;
    auto* bytes = static_cast<char*>(buffer);
    while (total < count) {
        ssize_t n = ::read(impl_->fd, bytes + total, count - total);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        total += static_cast<std::size_t>(n);
    }
    return total;
}

std::size_t TpkFileStream::Write(const void* buffer, std::size_t count) {
    std::size_t total = 0;
    const auto* bytes = static_cast<const char*>(buffer);
    while (total < count) {
        ssize_t n = ::write(impl_->fd, bytes + total, count - total);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        total += static_cast<std::size_t>(n);
    }
    return total;
}

std::int64_t TpkFileStream::Seek(std::int64_t offset, TSeekOrigin origin) {
    int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET : origin == TSeekOrigin::soCurrent ? SEEK_CUR : SEEK_END;
    off_t result = ::lseek(impl_->fd, static_cast<off_t>(offset), whence);
    if (result < 0) result = ::lseek(impl_->fd, 0, SEEK_SET);  // a negative target clamps at 0
    return static_cast<std::int64_t>(result);
}

void TpkFileStream::SetSize(std::int64_t size) {
    if (::ftruncate(impl_->fd, static_cast<off_t>(size < 0 ? 0 : size)) != 0)
        throw EpkStreamError(std::string("Stream write error: ") + std::strerror(errno));
    if (Position() > size) Seek(size, TSeekOrigin::soBeginning);
}

}  // namespace tw
