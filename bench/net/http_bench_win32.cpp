// A 20 MB body over loopback into memory: through the HTTP component (worker thread, main-thread
// completion) and through a plain InternetReadFile loop on the calling thread, alternately in one
// run. Prints one BENCH line with the median times and the component's overhead ratio.
#include "net/pkHTTP.h"
#include "support/LoopbackHttpServer.h"

#include <windows.h>
#include <wininet.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

double Ms(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// The same work without the component: one session, one URL, reads of the same block size.
std::size_t PlainFetch(const std::string& url, std::size_t block) {
    HINTERNET session = InternetOpenA("bench", INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (session == nullptr) return 0;
    HINTERNET request = InternetOpenUrlA(session, url.c_str(), nullptr, 0,
                                         INTERNET_FLAG_RELOAD | INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_PRAGMA_NOCACHE, 0);
    std::string body;
    if (request != nullptr) {
        char length[32] = {};
        DWORD size = sizeof length, index = 0;
        if (HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, length, &size, &index)) body.reserve(std::stoul(length));
        std::vector<char> buffer(block);
        DWORD got = 0;
        while (InternetReadFile(request, buffer.data(), static_cast<DWORD>(block), &got) && got > 0) body.append(buffer.data(), got);
        InternetCloseHandle(request);
    }
    InternetCloseHandle(session);
    return body.size();
}

std::size_t ComponentFetch(const std::string& url) {
    tw::TpkHTTPPragmaNoCache http;
    std::size_t size = 0;
    http.OnDone = [&](tw::TpkComponent&, const std::string&, std::int32_t dataSize, tw::TpkStream* stream) {
        size = stream != nullptr ? static_cast<std::size_t>(stream->Size()) : static_cast<std::size_t>(dataSize);
    };
    http.URL = url;
    http.Get(true);
    return size;
}

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

}  // namespace

int main() {
    constexpr std::size_t kSize = 20u * 1024 * 1024;
    constexpr int kRuns = 7;
    tw::test::LoopbackHttpServer server;
    server.Set("/big", tw::test::HttpRoute::Ok(std::string(kSize, 'b'), "application/octet-stream"));
    const std::string url = server.Url("/big");

    // Warm-up of both paths (first WinInet use, page faults of the first large buffers).
    PlainFetch(url, 4096);
    ComponentFetch(url);

    std::vector<double> plain, component;
    for (int i = 0; i < kRuns; ++i) {
        auto t0 = Clock::now();
        std::size_t a = ComponentFetch(url);
        auto t1 = Clock::now();
        std::size_t b = PlainFetch(url, 4096);
        auto t2 = Clock::now();
        if (a != kSize || b != kSize) {
            std::printf("bench_http: short body (component %zu, plain %zu)\n", a, b);
            return 1;
        }
        component.push_back(Ms(t1 - t0));
        plain.push_back(Ms(t2 - t1));
    }
    const double c = Median(component), p = Median(plain);
    std::printf("BENCH http size=%zu runs=%d component_ms=%.1f plain_ms=%.1f component_mbps=%.1f plain_mbps=%.1f ratio=%.3f\n",
                kSize, kRuns, c, p, kSize / 1048576.0 / (c / 1000.0), kSize / 1048576.0 / (p / 1000.0), c / p);
    return 0;
}
