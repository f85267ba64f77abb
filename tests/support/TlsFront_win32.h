#pragma once
// An https address in front of a LoopbackHttpServer, for tests under Wine: tls_front.py (beside
// this file) runs as a Linux process, takes TLS with a self-signed certificate it makes, and
// passes each connection on to the plain server, so routes and the request log stay the
// server's. Needs python3 and openssl on the host.
#include <cstdint>
#include <string>
#include <string_view>

namespace tw::test {

class TlsFront {
public:
    // `names` are the certificate's alternative names ("DNS:wrong.example" for a wrong host).
    explicit TlsFront(std::uint16_t backendPort, std::string names = "IP:127.0.0.1,DNS:127.0.0.1,DNS:localhost");
    ~TlsFront();
    TlsFront(const TlsFront&) = delete;
    TlsFront& operator=(const TlsFront&) = delete;

    // 0 when the front did not start.
    std::uint16_t Port() const { return port_; }
    // "https://127.0.0.1:<port><path>".
    std::string Url(std::string_view path) const;

private:
    std::string portFile_;  // a Linux path
    std::uint16_t port_ = 0;
};

}  // namespace tw::test
