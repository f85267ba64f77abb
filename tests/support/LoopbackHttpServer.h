#pragma once
// A small scriptable HTTP/1.1 server on 127.0.0.1 for tests: it listens on a free port, serves
// each connection on a thread of its own and answers by path with a scripted response. It keeps
// a log of every request. Stopping it (or destroying it) ends every connection, including the
// stalled and endless ones, and joins every thread.
//
//   tw::test::LoopbackHttpServer server;
//   server.Set("/feed.xml", tw::test::HttpRoute::Ok("<rss/>", "text/xml"));
//   std::string url = server.Url("/feed.xml");
//   ... fetch ...
//   EXPECT_EQ(server.RequestCount("/feed.xml"), 1u);
//
// It needs no test framework and can be compiled into benchmarks too.
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace tw::test {

// How one path is answered.
struct HttpRoute {
    enum class Kind {
        Normal,      // status line, headers, body (shaped by the fields below)
        Stall,       // read the request, then send nothing until the server stops
        CloseAtOnce, // read the request, then reset the connection without a byte of answer;
                     // set on the path "*", every connection is reset before anything is read
        Garbage,     // answer with bytes that are not HTTP, then close
        Endless,     // a 200 with Content-Length `endlessLength` (0 = none) and a body that never ends
        Raw,         // send `body` exactly as it stands (status line and headers included), then close
    };
    Kind kind = Kind::Normal;
    int status = 200;
    std::string reason;                                       // "" = the usual phrase for the status
    std::vector<std::pair<std::string, std::string>> headers; // sent after the automatic ones
    std::string body;
    bool sendContentLength = true;                            // false: no Content-Length, close ends the body
    long long declaredLength = -1;                            // Content-Length to announce (-1 = body size)
    std::size_t cutAfter = std::string::npos;                 // send only this many body bytes, then close
    std::size_t chunkSize = 0;                                // >0: send the body in pieces of this size...
    int chunkDelayMs = 0;                                     // ...with this pause before each piece
    int delayMs = 0;                                          // pause after reading the request
    bool honourRange = false;                                 // answer "Range: bytes=a-[b]" with 206 or 416
    long long endlessLength = 0;
    bool refuseRanges = false;     // any Range that does not start at 0 gets a 416
    // When set, a request whose Authorization header differs gets a 401 with
    // `WWW-Authenticate: Basic realm="<authRealm>"` instead of this route's answer.
    std::string requireAuthorization;
    std::string authRealm = "Tidewire test";
    // When set, a request whose Accept-Encoding names gzip gets these bytes (the body,
    // compressed) with "Content-Encoding: gzip" instead of `body`.
    std::string gzipBody;

    static HttpRoute Ok(std::string body, std::string contentType = "text/plain");
    static HttpRoute Status(int status, std::string body = {});
    static HttpRoute Of(Kind kind);
};

// One request as the server read it.
struct HttpRequestRecord {
    std::string method;
    std::string target;                          // as sent, with the query
    std::string path;                            // target without the query
    std::string version;
    std::vector<std::pair<std::string, std::string>> headers; // names as sent
    std::string body;
    std::string Header(std::string_view name) const;          // case-insensitive; "" when absent
};

class LoopbackHttpServer {
public:
    // Starts listening at once; Port() is 0 when no socket could be opened.
    LoopbackHttpServer();
    ~LoopbackHttpServer();
    LoopbackHttpServer(const LoopbackHttpServer&) = delete;
    LoopbackHttpServer& operator=(const LoopbackHttpServer&) = delete;

    std::uint16_t Port() const { return port_; }
    // "http://127.0.0.1:<port><path>".
    std::string Url(std::string_view path) const;

    // Scripts the answer for `path` (the target without its query). Unknown paths get a 404.
    void Set(std::string path, HttpRoute route);

    std::vector<HttpRequestRecord> Requests() const;
    std::size_t RequestCount(std::string_view path) const;
    // Connections accepted so far.
    std::size_t ConnectionCount() const { return connections_.load(); }
    // Connections currently being served.
    std::size_t OpenConnections() const { return open_.load(); }

    // Ends every connection and joins every thread; called by the destructor.
    void Stop();

    // A loopback port on which nothing listens.
    static std::uint16_t UnusedPort();

private:
    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    void Reap(bool all);
    void AcceptLoop();
    void Serve(std::intptr_t socket);
    bool ReadRequest(std::intptr_t socket, std::string& pending, HttpRequestRecord& request);
    bool Answer(std::intptr_t socket, const HttpRequestRecord& request, const HttpRoute& route);
    bool SendBody(std::intptr_t socket, std::string_view body, const HttpRoute& route);
    bool Pause(int ms) const;  // false when the server is stopping
    HttpRoute RouteFor(const std::string& path) const;

    std::intptr_t listener_;
    std::uint16_t port_ = 0;
    std::atomic<bool> stopping_{false};
    std::atomic<std::size_t> connections_{0};
    std::atomic<std::size_t> open_{0};
    mutable std::mutex mutex_;
    std::map<std::string, HttpRoute> routes_;
    std::vector<HttpRequestRecord> log_;
    std::vector<Worker> workers_;               // touched by the accepting thread and Stop only
    std::vector<std::intptr_t> live_;           // sockets being served, to wake them on Stop
    std::thread acceptor_;
};

}  // namespace tw::test
