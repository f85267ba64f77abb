#pragma once
// Records the events of an HTTP component in order, with the thread each ran on and the
// figures the tests look at, and pumps the main thread's messages while a transfer runs.
#include "net/pkHTTP.h"
#include "support/MessagePump.h"

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace tw::test {

struct HttpEventLog {
    std::vector<std::string> events;  // "Done", "Failed", "Error 404", ...
    std::vector<DWORD> threads;           // the thread each event ran on
    std::string body;                 // the memory stream's bytes at OnDone / OnError / OnConnLost
    std::int32_t dataSize = -1;
    std::int32_t fileSize = -1;
    std::int32_t bytesRead = -1;
    std::string contentType;
    std::string realm;
    int progressCount = 0;
    std::int32_t lastProgressBytes = 0;
    std::uint8_t lastPercent = 0;
    bool streamAtDone = false;

    void Add(std::string e) {
        events.push_back(std::move(e));
        threads.push_back(GetCurrentThreadId());
    }
    static std::string Slurp(TpkStream* s) {
        if (s == nullptr) return {};
        std::string out(static_cast<std::size_t>(s->Size()), '\0');
        auto pos = s->Position();
        s->SetPosition(0);
        out.resize(s->Read(out.data(), out.size()));
        s->SetPosition(pos);
        return out;
    }

    // Assigns every main-thread result event of `http`.
    void Attach(TpkCustomHTTP& http) {
        http.OnDone = [this](TpkComponent&, const std::string& type, std::int32_t size, TpkStream* s) {
            Add("Done");
            contentType = type;
            dataSize = size;
            streamAtDone = s != nullptr;
            body = Slurp(s);
        };
        http.OnFailed = [this](TpkComponent&) { Add("Failed"); };
        http.OnError = [this](TpkComponent&, int code, TpkStream* s) {
            Add("Error " + std::to_string(code));
            body = Slurp(s);
        };
        http.OnConnLost = [this](TpkComponent&, const std::string&, std::int32_t size, std::int32_t read, TpkStream* s) {
            Add("ConnLost");
            fileSize = size;
            bytesRead = read;
            body = Slurp(s);
        };
        http.OnHostUnreachable = [this](TpkComponent&) { Add("HostUnreachable"); };
        http.OnOutputFileError = [this](TpkComponent&) { Add("OutputFileError"); };
        http.OnCancelled = [this](TpkComponent&) { Add("Cancelled"); };
        http.OnAborted = [this](TpkComponent&) { Add("Aborted"); };
        http.OnProgress = [this](TpkComponent&, const std::string&, std::int32_t, std::int32_t read, std::int32_t,
                                 std::int32_t, std::uint8_t percent, float, TpkStream*) {
            ++progressCount;
            lastProgressBytes = read;
            lastPercent = percent;
        };
    }
};

}  // namespace tw::test
