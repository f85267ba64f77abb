#include "support/LoopbackHttpServer.h"

#include "support/LoopbackSocket.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdlib>

namespace tw::test {

namespace {

constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
constexpr int kPollMs = 20;

bool EqualNoCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
           });
}

std::string Trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.remove_suffix(1);
    return std::string(s);
}

std::string Phrase(int status) {
    switch (status) {
        case 200: return "OK";
        case 206: return "Partial Content";
        case 301: return "Moved Permanently";
        case 302: return "Found";
        case 304: return "Not Modified";
        case 400: return "Bad Request";
        case 401: return "Unauthorized";
        case 403: return "Forbidden";
        case 404: return "Not Found";
        case 407: return "Proxy Authentication Required";
        case 416: return "Range Not Satisfiable";
        case 500: return "Internal Server Error";
        case 503: return "Service Unavailable";
        default: return "Status";
    }
}

// Whether an Accept-Encoding value names gzip (any case; a q of 0 is not looked at).
bool AcceptsGzip(std::string_view value) {
    std::string lower(value);
    for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return lower.find("gzip") != std::string::npos;
}

// Parses "bytes=a-" or "bytes=a-b"; false for anything else (then the whole body is sent).
bool ParseRange(std::string_view value, long long& first, long long& last) {
    std::string v = Trim(value);
    if (v.size() < 6 || !EqualNoCase(std::string_view(v).substr(0, 6), "bytes=")) return false;
    std::string bounds = v.substr(6);
    auto dash = bounds.find('-');
    if (dash == std::string::npos || dash == 0) return false;
    char* end = nullptr;
    first = std::strtoll(bounds.c_str(), &end, 10);
    if (end != bounds.c_str() + dash || first < 0) return false;
    if (dash + 1 == bounds.size()) {
        last = -1;
        return true;
    }
    last = std::strtoll(bounds.c_str() + dash + 1, &end, 10);
    return *end == '\0' && last >= first;
}

}  // namespace

HttpRoute HttpRoute::Ok(std::string body, std::string contentType) {
    HttpRoute r;
    r.body = std::move(body);
    r.headers.emplace_back("Content-Type", std::move(contentType));
    return r;
}

HttpRoute HttpRoute::Status(int status, std::string body) {
    HttpRoute r;
    r.status = status;
    r.body = std::move(body);
    r.headers.emplace_back("Content-Type", "text/html");
    return r;
}

HttpRoute HttpRoute::Of(Kind kind) {
    HttpRoute r;
    r.kind = kind;
    return r;
}

std::string HttpRequestRecord::Header(std::string_view name) const {
    for (const auto& [n, v] : headers)
        if (EqualNoCase(n, name)) return v;
    return {};
}

LoopbackHttpServer::LoopbackHttpServer() : listener_(sock::kInvalid) {
    std::uint16_t port = 0;
    listener_ = sock::Listen(port);
    if (listener_ == sock::kInvalid) return;
    port_ = port;
    acceptor_ = std::thread([this] { AcceptLoop(); });
}

LoopbackHttpServer::~LoopbackHttpServer() { Stop(); }

std::string LoopbackHttpServer::Url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void LoopbackHttpServer::Set(std::string path, HttpRoute route) {
    std::lock_guard lock(mutex_);
    routes_[std::move(path)] = std::move(route);
}

std::vector<HttpRequestRecord> LoopbackHttpServer::Requests() const {
    std::lock_guard lock(mutex_);
    return log_;
}

std::size_t LoopbackHttpServer::RequestCount(std::string_view path) const {
    std::lock_guard lock(mutex_);
    return static_cast<std::size_t>(
        std::count_if(log_.begin(), log_.end(), [&](const HttpRequestRecord& r) { return r.path == path; }));
}

std::uint16_t LoopbackHttpServer::UnusedPort() { return sock::UnusedPort(); }

void LoopbackHttpServer::Stop() {
    if (stopping_.exchange(true)) return;
    if (acceptor_.joinable()) acceptor_.join();
    {
        // Wake connection threads blocked in a send to a client that stopped reading.
        std::lock_guard lock(mutex_);
        for (auto s : live_) sock::ShutdownBoth(s);
    }
    Reap(true);
    sock::Close(listener_);
    listener_ = sock::kInvalid;
}

void LoopbackHttpServer::Reap(bool all) {
    for (auto it = workers_.begin(); it != workers_.end();) {
        if (all || it->done->load()) {
            it->thread.join();
            it = workers_.erase(it);
        } else {
            ++it;
        }
    }
}

void LoopbackHttpServer::AcceptLoop() {
    while (!stopping_.load()) {
        Reap(false);  // so finished connections hold no thread handle while the server runs
        int ready = sock::WaitReadable(listener_, kPollMs);
        if (ready <= 0) continue;
        sock::Socket s = sock::Accept(listener_);
        if (s == sock::kInvalid) continue;
        ++connections_;
        ++open_;
        {
            std::lock_guard lock(mutex_);
            live_.push_back(s);
        }
        auto done = std::make_shared<std::atomic<bool>>(false);
        workers_.push_back({std::thread([this, s, done] {
                                Serve(s);
                                {
                                    std::lock_guard lock(mutex_);
                                    live_.erase(std::find(live_.begin(), live_.end(), s));
                                }
                                sock::Close(s);
                                --open_;
                                done->store(true);
                            }),
                            done});
    }
}

bool LoopbackHttpServer::Pause(int ms) const {
    auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < until) {
        if (stopping_.load()) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(std::min(ms, 5)));
    }
    return !stopping_.load();
}

HttpRoute LoopbackHttpServer::RouteFor(const std::string& path) const {
    std::lock_guard lock(mutex_);
    auto it = routes_.find(path);
    if (it != routes_.end()) return it->second;
    return HttpRoute::Status(404, "<html><body>not found</body></html>");
}

void LoopbackHttpServer::Serve(std::intptr_t socket) {
    std::string pending;
    // The route is looked up before reading so that CloseAtOnce can refuse before any byte;
    // it applies to every path, so it is found under the special key "*".
    {
        std::lock_guard lock(mutex_);
        auto it = routes_.find("*");
        if (it != routes_.end() && it->second.kind == HttpRoute::Kind::CloseAtOnce) {
            sock::Close(socket, true);
            return;
        }
    }
    while (!stopping_.load()) {
        HttpRequestRecord request;
        if (!ReadRequest(socket, pending, request)) return;
        {
            std::lock_guard lock(mutex_);
            log_.push_back(request);
        }
        HttpRoute route = RouteFor(request.path);
        if (!Answer(socket, request, route)) return;
    }
}

bool LoopbackHttpServer::ReadRequest(std::intptr_t socket, std::string& pending, HttpRequestRecord& request) {
    char buffer[8192];
    std::size_t headerEnd;
    while ((headerEnd = pending.find("\r\n\r\n")) == std::string::npos) {
        if (pending.size() > kMaxHeaderBytes || stopping_.load()) return false;
        int ready = sock::WaitReadable(socket, kPollMs);
        if (ready < 0) return false;
        if (ready == 0) continue;
        long n = sock::Receive(socket, buffer, sizeof buffer);
        if (n <= 0) return false;
        pending.append(buffer, static_cast<std::size_t>(n));
    }
    std::string head = pending.substr(0, headerEnd);
    pending.erase(0, headerEnd + 4);

    auto lineEnd = head.find("\r\n");
    std::string first = head.substr(0, lineEnd);
    auto sp1 = first.find(' ');
    auto sp2 = first.rfind(' ');
    if (sp1 == std::string::npos || sp2 == sp1) return false;
    request.method = first.substr(0, sp1);
    request.target = first.substr(sp1 + 1, sp2 - sp1 - 1);
    request.version = first.substr(sp2 + 1);
    request.path = request.target.substr(0, request.target.find('?'));

    std::size_t pos = lineEnd == std::string::npos ? head.size() : lineEnd + 2;
    while (pos < head.size()) {
        auto end = head.find("\r\n", pos);
        if (end == std::string::npos) end = head.size();
        std::string line = head.substr(pos, end - pos);
        auto colon = line.find(':');
        if (colon != std::string::npos) request.headers.emplace_back(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
        pos = end + 2;
    }

    std::string lengthText = request.Header("Content-Length");
    if (!lengthText.empty()) {
        long long length = std::strtoll(lengthText.c_str(), nullptr, 10);
        if (length < 0 || length > 16 * 1024 * 1024) return false;
        while (pending.size() < static_cast<std::size_t>(length)) {
            if (stopping_.load()) return false;
            int ready = sock::WaitReadable(socket, kPollMs);
            if (ready < 0) return false;
            if (ready == 0) continue;
            long n = sock::Receive(socket, buffer, sizeof buffer);
            if (n <= 0) return false;
            pending.append(buffer, static_cast<std::size_t>(n));
        }
        request.body = pending.substr(0, static_cast<std::size_t>(length));
        pending.erase(0, static_cast<std::size_t>(length));
    }
    return true;
}

bool LoopbackHttpServer::SendBody(std::intptr_t socket, std::string_view body, const HttpRoute& route) {
    if (route.chunkSize == 0) {
        if (route.chunkDelayMs > 0 && !Pause(route.chunkDelayMs)) return false;
        return sock::SendAll(socket, body, &stopping_);
    }
    while (!body.empty()) {
        if (route.chunkDelayMs > 0 && !Pause(route.chunkDelayMs)) return false;
        std::size_t n = std::min(route.chunkSize, body.size());
        if (!sock::SendAll(socket, body.substr(0, n), &stopping_)) return false;
        body.remove_prefix(n);
    }
    return true;
}

// Returns true when the connection may carry another request.
bool LoopbackHttpServer::Answer(std::intptr_t socket, const HttpRequestRecord& request, const HttpRoute& route) {
    if (route.delayMs > 0 && !Pause(route.delayMs)) return false;
    switch (route.kind) {
        case HttpRoute::Kind::CloseAtOnce:
            sock::Close(socket, true);
            return false;
        case HttpRoute::Kind::Stall:
            // Hold the connection silently until the client gives up or the server stops.
            while (!stopping_.load()) {
                int ready = sock::WaitReadable(socket, kPollMs);
                if (ready < 0) return false;
                if (ready > 0) {
                    char b[512];
                    if (sock::Receive(socket, b, sizeof b) <= 0) return false;
                }
            }
            return false;
        case HttpRoute::Kind::Garbage:
            static constexpr char kGarbage[] = "\x01\x02garbage\xff\xfe no http here\r\n\r\n\x7f";
            sock::SendAll(socket, route.body.empty() ? std::string_view(kGarbage, sizeof kGarbage - 1)
                                                     : std::string_view(route.body),
                          &stopping_);
            sock::ShutdownSend(socket);
            return false;
        case HttpRoute::Kind::Raw:
            SendBody(socket, route.body, route);
            sock::ShutdownSend(socket);
            return false;
        case HttpRoute::Kind::Endless: {
            std::string head = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\n";
            if (route.endlessLength > 0) head += "Content-Length: " + std::to_string(route.endlessLength) + "\r\n";
            head += "Connection: close\r\n\r\n";
            if (!sock::SendAll(socket, head, &stopping_)) return false;
            std::string block(64 * 1024, 'x');
            while (!stopping_.load()) {
                if (route.chunkDelayMs > 0 && !Pause(route.chunkDelayMs)) break;
                if (!sock::SendAll(socket, block, &stopping_)) break;
            }
            return false;
        }
        case HttpRoute::Kind::Normal:
            break;
    }

    if (!route.requireAuthorization.empty() && request.Header("Authorization") != route.requireAuthorization) {
        HttpRoute challenge = HttpRoute::Status(401, "<html><body>authorization required</body></html>");
        challenge.headers.emplace_back("WWW-Authenticate", "Basic realm=\"" + route.authRealm + "\"");
        return Answer(socket, request, challenge);
    }
    int status = route.status;
    std::string_view body = route.body;
    std::vector<std::pair<std::string, std::string>> extra;
    long long first = 0, last = -1;
    if (route.refuseRanges && ParseRange(request.Header("Range"), first, last) && first > 0) {
        HttpRoute refused = HttpRoute::Status(416);
        refused.headers.emplace_back("Content-Range", "bytes */" + std::to_string(route.body.size()));
        return Answer(socket, request, refused);
    }
    if (route.honourRange && ParseRange(request.Header("Range"), first, last)) {
        long long size = static_cast<long long>(route.body.size());
        if (first >= size) {
            status = 416;
            body = {};
            extra.emplace_back("Content-Range", "bytes */" + std::to_string(size));
        } else {
            if (last < 0 || last >= size) last = size - 1;
            status = 206;
            body = body.substr(static_cast<std::size_t>(first), static_cast<std::size_t>(last - first + 1));
            extra.emplace_back("Content-Range",
                               "bytes " + std::to_string(first) + "-" + std::to_string(last) + "/" + std::to_string(size));
        }
    }
    if (!route.gzipBody.empty() && status == route.status && AcceptsGzip(request.Header("Accept-Encoding"))) {
        body = route.gzipBody;
        extra.emplace_back("Content-Encoding", "gzip");
    }
    if (request.method == "HEAD") body = {};

    bool closeAfter = !route.sendContentLength || route.cutAfter != std::string::npos ||
                      EqualNoCase(request.Header("Connection"), "close");
    std::string head = "HTTP/1.1 " + std::to_string(status) + " " + (route.reason.empty() ? Phrase(status) : route.reason) + "\r\n";
    if (route.sendContentLength) {
        long long announced = route.declaredLength >= 0 && status == route.status ? route.declaredLength
                                                                                   : static_cast<long long>(body.size());
        head += "Content-Length: " + std::to_string(announced) + "\r\n";
    }
    for (const auto& [n, v] : extra) head += n + ": " + v + "\r\n";
    for (const auto& [n, v] : route.headers) head += n + ": " + v + "\r\n";
    if (closeAfter) head += "Connection: close\r\n";
    head += "\r\n";
    if (!sock::SendAll(socket, head, &stopping_)) return false;
    if (route.cutAfter != std::string::npos) body = body.substr(0, std::min(route.cutAfter, body.size()));
    if (!SendBody(socket, body, route)) return false;
    if (closeAfter) {
        sock::ShutdownSend(socket);
        return false;
    }
    return true;
}

}  // namespace tw::test
