#pragma once
// A scripted fake of the internet operations for the HTTP component's flow: each send takes the
// next scripted answer (the last one again when the script runs out), and the log records the
// request the component shaped. Each transfer waits for its worker, so its events are all in
// when Get returns.
#include "net/pkHTTP.h"

#include <algorithm>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace tw::test {

struct FakeResponse {
    int status = 200;
    std::map<std::uint32_t, std::string> headers;  // query -> value
    std::string body;
};

struct FakeLog {
    std::string agent, proxy, bypass, verb, object, sentHeaders, sentBody;
    std::uint32_t accessType = 99, openFlags = 99, requestFlags = 0;
    std::vector<std::pair<std::uint32_t, std::string>> options;  // option -> value as text
    std::vector<std::pair<std::string, std::uint32_t>> added;    // header text, flag
    int sends = 0, closes = 0, opened = 0;
    std::size_t bodyBytesRead = 0;
};

class FakeInternet : public TInternetApi {
public:
    FakeInternet(FakeLog& log, std::vector<FakeResponse> script) : log_(log), script_(std::move(script)) {}
    bool failOpen = false, failSend = false;
    std::uint32_t sendError = 0;  // LastError after a failed send

    TpkInetHandle Open(const std::string& agent, std::uint32_t type, const std::string& proxy, const std::string& bypass,
                       std::uint32_t flags) override {
        log_.agent = agent;
        log_.accessType = type;
        log_.proxy = proxy;
        log_.bypass = bypass;
        log_.openFlags = flags;
        return failOpen ? nullptr : New();
    }
    bool InstallStatusCallback(TpkInetHandle, bool) override { return true; }
    TpkInetHandle Connect(TpkInetHandle, const std::string&, std::uint16_t, const std::string&, const std::string&,
                          TInternetStatusSink*) override {
        return New();
    }
    TpkInetHandle OpenRequest(TpkInetHandle, const std::string& verb, const std::string& object, const std::string&,
                              const std::string&, std::uint32_t flags) override {
        log_.verb = verb;
        log_.object = object;
        log_.requestFlags = flags;
        return New();
    }
    bool SetOptionNumber(TpkInetHandle, std::uint32_t option, std::uint32_t value) override {
        log_.options.emplace_back(option, std::to_string(value));
        return true;
    }
    bool SetOptionText(TpkInetHandle, std::uint32_t option, const std::string& value) override {
        log_.options.emplace_back(option, value);
        return true;
    }
    bool IsGlobalOffline() override { return false; }
    bool GoOnline(const std::string&) override { return true; }
    bool AddRequestHeaders(TpkInetHandle, const std::string& headers, std::uint32_t flags) override {
        log_.added.emplace_back(headers, flags);
        return true;
    }
    bool SendRequest(TpkInetHandle, const std::string& headers, const std::string& body) override {
        if (failSend) {
            error_ = sendError;
            return false;
        }
        log_.sentHeaders = headers;
        log_.sentBody = body;
        current_ = script_.at(std::min<std::size_t>(static_cast<std::size_t>(log_.sends), script_.size() - 1));
        ++log_.sends;
        pos_ = 0;
        return true;
    }
    bool QueryInfo(TpkInetHandle, std::uint32_t query, std::string& value) override {
        if (query == kQueryStatusCode) {
            value = std::to_string(current_.status);
            return true;
        }
        auto it = current_.headers.find(query);
        if (it == current_.headers.end()) return false;
        value = it->second;
        return true;
    }
    bool Read(TpkInetHandle, char* buffer, std::uint32_t size, std::uint32_t& read) override {
        read = static_cast<std::uint32_t>(std::min<std::size_t>(size, current_.body.size() - pos_));
        std::copy_n(current_.body.data() + pos_, read, buffer);
        pos_ += read;
        log_.bodyBytesRead += read;
        return true;
    }
    void Close(TpkInetHandle h) override {
        if (h != nullptr) ++log_.closes;
    }
    std::uint32_t LastError() override { return error_; }
    std::unique_ptr<TpkStream> OpenLocalFile(const std::string&) override { return nullptr; }
    bool ApplyFileAttributes(const std::string&, TpkFileAttributes) override { return true; }
    bool RemoveFile(const std::string&) override { return true; }

private:
    TpkInetHandle New() {
        ++log_.opened;
        return reinterpret_cast<TpkInetHandle>(static_cast<std::uintptr_t>(0x1000 + log_.opened));
    }
    FakeLog& log_;
    std::vector<FakeResponse> script_;
    FakeResponse current_;
    std::size_t pos_ = 0;
    std::uint32_t error_ = 0;
};

inline FakeResponse Ok(std::string body) {
    FakeResponse r;
    r.body = std::move(body);
    r.headers[kQueryContentLength] = std::to_string(r.body.size());
    r.headers[kQueryContentType] = "text/xml";
    return r;
}

struct Flow {
    FakeLog log;
    FakeInternet* fake;
    TpkCustomHTTP http;
    std::vector<std::string> events;
    std::string body;
    explicit Flow(std::vector<FakeResponse> script)
        : fake(new FakeInternet(log, std::move(script))),
          http(nullptr, std::unique_ptr<TInternetApi>(fake)) {
        http.URL = "http://feeds.example/rss?id=a b";
        http.OnDone = [this](TpkComponent&, const std::string&, std::int32_t, TpkStream* s) {
            events.push_back("Done");
            body.assign(static_cast<std::size_t>(s->Size()), '\0');
            s->Read(body.data(), body.size());
        };
        http.OnFailed = [this](TpkComponent&) { events.push_back("Failed"); };
        http.OnHostUnreachable = [this](TpkComponent&) { events.push_back("HostUnreachable"); };
        http.OnError = [this](TpkComponent&, int code, TpkStream*) { events.push_back("Error " + std::to_string(code)); };
        http.OnConnLost = [this](TpkComponent&, const std::string&, std::int32_t, std::int32_t, TpkStream*) {
            events.push_back("ConnLost");
        };
        http.OnAborted = [this](TpkComponent&) { events.push_back("Aborted"); };
        http.OnCancelled = [this](TpkComponent&) { events.push_back("Cancelled"); };
    }
    std::string Option(std::uint32_t option) const {
        for (auto it = log.options.rbegin(); it != log.options.rend(); ++it)
            if (it->first == option) return it->second;
        return "<unset>";
    }
};

}  // namespace tw::test
