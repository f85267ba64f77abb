#pragma once
// A tiny HTTP answerer on 127.0.0.1 for the connectivity tests: every request gets one fixed
// response. Unlike a general test server it can stop and start again on the same port, which is
// how a network that goes down and comes back looks from the client.
#include <winsock2.h>
#include <ws2tcpip.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace tw::test {

class LoopbackListener {
public:
    LoopbackListener() {
        WSADATA data;
        wsaOk_ = WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }
    ~LoopbackListener() {
        Stop();
        if (wsaOk_) WSACleanup();
    }
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    // Listens on `port` (0: any free one) and answers with `status`; false when it cannot.
    bool Start(std::uint16_t port = 0, int status = 200, int delayMs = 0) {
        Stop();
        status_ = status;
        delayMs_ = delayMs;
        SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
        if (s == INVALID_SOCKET) return false;
        BOOL yes = TRUE;
        setsockopt(s, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&yes), sizeof(yes));
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        addr.sin_port = htons(port);
        if (bind(s, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) != 0 || listen(s, 16) != 0) {
            closesocket(s);
            return false;
        }
        int len = sizeof(addr);
        getsockname(s, reinterpret_cast<sockaddr*>(&addr), &len);
        port_ = ntohs(addr.sin_port);
        listener_ = s;
        thread_ = std::thread([this] { AcceptLoop(); });
        return true;
    }

    // Closes the listening socket (new connections are refused) and joins the thread.
    void Stop() {
        if (listener_ != INVALID_SOCKET) {
            closesocket(listener_);
            listener_ = INVALID_SOCKET;
        }
        if (thread_.joinable()) thread_.join();
    }

    std::uint16_t Port() const { return port_; }
    std::string Url(const std::string& path = "/") const {
        return "http://127.0.0.1:" + std::to_string(port_) + path;
    }
    int Requests() const { return requests_.load(); }
    std::string LastRequest() const {
        std::string copy;
        {
            while (busy_.exchange(true)) {}
            copy = lastRequest_;
            busy_ = false;
        }
        return copy;
    }

private:
    void AcceptLoop() {
        SOCKET listener = listener_;
        for (;;) {
            SOCKET c = accept(listener, nullptr, nullptr);
            if (c == INVALID_SOCKET) return;  // closed by Stop
            std::string request;
            char buf[1024];
            while (request.find("\r\n\r\n") == std::string::npos && request.size() < 16384) {
                int n = recv(c, buf, sizeof(buf), 0);
                if (n <= 0) break;
                request.append(buf, static_cast<size_t>(n));
            }
            {
                while (busy_.exchange(true)) {}
                lastRequest_ = request;
                busy_ = false;
            }
            ++requests_;
            if (delayMs_ > 0) Sleep(static_cast<DWORD>(delayMs_));
            std::string answer = "HTTP/1.1 " + std::to_string(status_) +
                                 " X\r\nContent-Length: 2\r\nConnection: close\r\n\r\nok";
            send(c, answer.data(), static_cast<int>(answer.size()), 0);
            shutdown(c, SD_SEND);
            closesocket(c);
        }
    }

    bool wsaOk_ = false;
    SOCKET listener_ = INVALID_SOCKET;
    std::uint16_t port_ = 0;
    int status_ = 200;
    int delayMs_ = 0;
    std::atomic<int> requests_{0};
    mutable std::atomic<bool> busy_{false};
    std::string lastRequest_;
    std::thread thread_;
};

}  // namespace tw::test
