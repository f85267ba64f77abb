#include "support/LoopbackSocket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <fcntl.h>

namespace tw::test::sock {

bool Startup() { return true; }

Socket Listen(std::uint16_t& port, int backlog) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return kInvalid;
    int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    socklen_t len = sizeof addr;
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, backlog) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::close(fd);
        return kInvalid;
    }
    port = ntohs(addr.sin_port);
    return fd;
}

Socket Connect(std::uint16_t port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    if (fd < 0) return kInvalid;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::close(fd);
        return kInvalid;
    }
    return fd;
}

int WaitReadable(Socket s, int timeoutMs) {
    pollfd p{static_cast<int>(s), POLLIN, 0};
    int r = ::poll(&p, 1, timeoutMs);
    if (r < 0) return errno == EINTR ? 0 : -1;
    return r > 0 ? 1 : 0;
}

Socket Accept(Socket listener) {
    int fd = ::accept(static_cast<int>(listener), nullptr, nullptr);
    if (fd < 0) return kInvalid;
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    return fd;
}

long Receive(Socket s, char* buffer, std::size_t size) {
    ssize_t n = ::recv(static_cast<int>(s), buffer, size, 0);
    return n < 0 ? -1 : static_cast<long>(n);
}

bool SendAll(Socket s, std::string_view data, const std::atomic<bool>* stop) {
    while (!data.empty()) {
        ssize_t n = ::send(static_cast<int>(s), data.data(), data.size(), MSG_NOSIGNAL);
        if (n <= 0) {
            if (n < 0 && errno == EINTR) continue;
            if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
                if (stop != nullptr && stop->load()) return false;
                pollfd p{static_cast<int>(s), POLLOUT, 0};
                ::poll(&p, 1, 20);
                continue;
            }
            return false;
        }
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void ShutdownSend(Socket s) { ::shutdown(static_cast<int>(s), SHUT_WR); }

void ShutdownBoth(Socket s) { ::shutdown(static_cast<int>(s), SHUT_RDWR); }

void Close(Socket s, bool abortive) {
    if (s == kInvalid) return;
    if (abortive) {
        linger l{1, 0};
        ::setsockopt(static_cast<int>(s), SOL_SOCKET, SO_LINGER, &l, sizeof l);
    }
    ::close(static_cast<int>(s));
}

std::uint16_t UnusedPort() {
    std::uint16_t port = 0;
    Socket s = Listen(port, 1);
    Close(s);
    return port;
}

}  // namespace tw::test::sock
