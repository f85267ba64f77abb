// Native half of pkUtils: the C library's local offset, the clock and POSIX files.
#include "base/pkUtils.h"

#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tw {

double LocalTimeZoneBias() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    if (localtime_r(&now, &local) == nullptr) return 0;
    // tm_gmtoff is local minus UTC in seconds, daylight saving included.
    return -static_cast<double>(local.tm_gmtoff) / 86400.0;
}

TDateTime NowDateTime() {
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm local{};
    const std::time_t seconds = ts.tv_sec;
    localtime_r(&seconds, &local);
    TDateTime date = 0, time = 0;
    TryEncodeDate(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, date);
    TryEncodeTime(local.tm_hour, local.tm_min, local.tm_sec > 59 ? 59 : local.tm_sec,
                  static_cast<int>(ts.tv_nsec / 1000000), time);
    return ComposeDateTime(date, time);
}

std::string ReadFileToString(const std::string& fileName) {
    const int fd = ::open(fileName.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    std::string bytes;
    struct stat st {};
    // A file of 4 GiB or more cannot be taken whole; the low 32 bits of its size would give a
    // silently truncated text, so it reads as unreadable.
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && static_cast<std::uint64_t>(st.st_size) <= 0xFFFFFFFFull) {
        bytes.resize(static_cast<std::size_t>(st.st_size));
        std::size_t total = 0;
        bool failed = false;
        while (total < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + total, bytes.size() - total);
            if (n < 0) {
                failed = true;
                break;
            }
            if (n == 0) break;  // the file shrank meanwhile
            total += static_cast<std::size_t>(n);
        }
        bytes.resize(failed ? 0 : total);
    }
    ::close(fd);
    return bytes;
}

}  // namespace tw
