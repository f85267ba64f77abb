// Native internet operations: there is no internet API here, so every network call fails as an
// unreachable host would; "file" URLs and output files reach the file system.
#include "net/InternetApi.h"

#include <cerrno>
#include <cstdio>
#include <sys/stat.h>
#include <unistd.h>

namespace tw {

namespace {

constexpr std::uint32_t kNameNotResolved = 12007;  // ERROR_INTERNET_NAME_NOT_RESOLVED

class ReadOnlyFile : public TpkStream {
public:
    explicit ReadOnlyFile(std::FILE* f) : f_(f) {}
    ~ReadOnlyFile() override { std::fclose(f_); }
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;
    std::size_t Read(void* buffer, std::size_t count) override { return std::fread(buffer, 1, count, f_); }
    std::size_t Write(const void*, std::size_t) override { return 0; }
    std::int64_t Seek(std::int64_t offset, TSeekOrigin origin) override {
        int whence = origin == TSeekOrigin::soBeginning ? SEEK_SET : origin == TSeekOrigin::soCurrent ? SEEK_CUR : SEEK_END;
        if (::fseeko(f_, static_cast<off_t>(offset), whence) != 0 && origin == TSeekOrigin::soBeginning && offset < 0)
            ::fseeko(f_, 0, SEEK_SET);
        return static_cast<std::int64_t>(::ftello(f_));
    }
    void SetSize(std::int64_t) override {}

private:
    std::FILE* f_;
};

class NativeInternet : public TInternetApi {
public:
    TpkInetHandle Open(const std::string&, std::uint32_t, const std::string&, const std::string&, std::uint32_t) override {
        return Fail();
    }
    bool InstallStatusCallback(TpkInetHandle, bool) override { return false; }
    TpkInetHandle Connect(TpkInetHandle, const std::string&, std::uint16_t, const std::string&, const std::string&,
                          TInternetStatusSink*) override {
        return Fail();
    }
    TpkInetHandle OpenRequest(TpkInetHandle, const std::string&, const std::string&, const std::string&,
                              const std::string&, std::uint32_t) override {
        return Fail();
    }
    bool SetOptionNumber(TpkInetHandle, std::uint32_t, std::uint32_t) override { return false; }
    bool SetOptionText(TpkInetHandle, std::uint32_t, const std::string&) override { return false; }
    bool IsGlobalOffline() override { return false; }
    bool GoOnline(const std::string&) override { return false; }
    bool AddRequestHeaders(TpkInetHandle, const std::string&, std::uint32_t) override { return false; }
    bool SendRequest(TpkInetHandle, const std::string&, const std::string&) override { return false; }
    bool QueryInfo(TpkInetHandle, std::uint32_t, std::string&) override { return false; }
    bool Read(TpkInetHandle, char*, std::uint32_t, std::uint32_t& read) override {
        read = 0;
        return false;
    }
    void Close(TpkInetHandle) override {}
    std::uint32_t LastError() override { return error_; }

    std::unique_ptr<TpkStream> OpenLocalFile(const std::string& path) override {
        std::FILE* f = std::fopen(path.c_str(), "rb");
        if (f == nullptr) return nullptr;
        struct stat st {};
        if (::fstat(::fileno(f), &st) != 0 || !S_ISREG(st.st_mode)) {
            std::fclose(f);
            return nullptr;
        }
        return std::make_unique<ReadOnlyFile>(f);
    }
    bool ApplyFileAttributes(const std::string& path, TpkFileAttributes attributes) override {
        // The only attribute with a POSIX counterpart: read-only is a missing owner write bit.
        struct stat st {};
        if (::stat(path.c_str(), &st) != 0) return false;
        mode_t mode = attributes.Contains(atrReadOnly) ? (st.st_mode & ~S_IWUSR) : (st.st_mode | S_IWUSR);
        return ::chmod(path.c_str(), mode & 07777) == 0;
    }
    bool RemoveFile(const std::string& path) override { return ::unlink(path.c_str()) == 0; }

private:
    TpkInetHandle Fail() {
        error_ = kNameNotResolved;
        return nullptr;
    }
    std::uint32_t error_ = 0;
};

}  // namespace

std::unique_ptr<TInternetApi> CreatePlatformInternet() { return std::make_unique<NativeInternet>(); }

}  // namespace tw
