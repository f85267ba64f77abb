#include "support/LoopbackSocket.h"

#include <winsock2.h>
#include <ws2tcpip.h>

#include <mutex>

namespace tw::test::sock {

namespace {
SOCKET Raw(Socket s) { return static_cast<SOCKET>(s); }
}  // namespace

bool Startup() {
    static std::once_flag once;
    static bool ok = false;
    std::call_once(once, [] {
        WSADATA data{};
        ok = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    });
    return ok;
}

Socket Listen(std::uint16_t& port, int backlog) {
    if (!Startup()) return kInvalid;
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return kInvalid;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    int len = sizeof addr;
    if (::bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(s, backlog) != 0 ||
        ::getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len) != 0) {
        ::closesocket(s);
        return kInvalid;
    }
    port = ntohs(addr.sin_port);
    return static_cast<Socket>(s);
}

Socket Connect(std::uint16_t port) {
    if (!Startup()) return kInvalid;
    SOCKET s = ::socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    if (s == INVALID_SOCKET) return kInvalid;
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(port);
    if (::connect(s, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) {
        ::closesocket(s);
        return kInvalid;
    }
    return static_cast<Socket>(s);
}

int WaitReadable(Socket s, int timeoutMs) {
    fd_set set;
    FD_ZERO(&set);
    FD_SET(Raw(s), &set);
    timeval tv{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    int r = ::select(0, &set, nullptr, nullptr, &tv);
    if (r == SOCKET_ERROR) return -1;
    return r > 0 ? 1 : 0;
}

Socket Accept(Socket listener) {
    SOCKET s = ::accept(Raw(listener), nullptr, nullptr);
    if (s == INVALID_SOCKET) return kInvalid;
    u_long nonBlocking = 1;
    ::ioctlsocket(s, FIONBIO, &nonBlocking);
    return static_cast<Socket>(s);
}

long Receive(Socket s, char* buffer, std::size_t size) {
    int n = ::recv(Raw(s), buffer, static_cast<int>(size), 0);
    return n == SOCKET_ERROR ? -1 : n;
}

bool SendAll(Socket s, std::string_view data, const std::atomic<bool>* stop) {
    while (!data.empty()) {
        int chunk = data.size() > 65536 ? 65536 : static_cast<int>(data.size());
        int n = ::send(Raw(s), data.data(), chunk, 0);
        if (n == SOCKET_ERROR && WSAGetLastError() == WSAEWOULDBLOCK) {
            if (stop != nullptr && stop->load()) return false;
            fd_set set;
            FD_ZERO(&set);
            FD_SET(Raw(s), &set);
            timeval tv{0, 20000};
            ::select(0, nullptr, &set, nullptr, &tv);
            continue;
        }
        if (n == SOCKET_ERROR || n == 0) return false;
        data.remove_prefix(static_cast<std::size_t>(n));
    }
    return true;
}

void ShutdownSend(Socket s) { ::shutdown(Raw(s), SD_SEND); }

void ShutdownBoth(Socket s) { ::shutdown(Raw(s), SD_BOTH); }

void Close(Socket s, bool abortive) {
    if (s == kInvalid) return;
    if (abortive) {
        linger l{1, 0};
        ::setsockopt(Raw(s), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&l), sizeof l);
    }
    ::closesocket(Raw(s));
}

std::uint16_t UnusedPort() {
    std::uint16_t port = 0;
    Socket s = Listen(port, 1);
    Close(s);
    return port;
}

}  // namespace tw::test::sock
