#include "config/PendingProfile.h"

#include "base/AtomicFile.h"

#include <fstream>
#include <iterator>
#include <string>

namespace tw {

namespace {

std::string Utf8(const std::filesystem::path& path) {
    const std::u8string s = path.u8string();
    return std::string(s.begin(), s.end());
}

std::filesystem::path FromUtf8(const std::string& s) { return std::filesystem::path(std::u8string(s.begin(), s.end())); }

bool ReadBytes(const std::filesystem::path& path, std::string& bytes) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    bytes.assign(std::istreambuf_iterator<char>(in), {});
    return !in.bad();
}

bool WriteBytes(const std::filesystem::path& path, std::string_view bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    out.close();
    return !out.fail();
}

}  // namespace

TPendingProfile::TPendingProfile(std::filesystem::path file)
    : file_(std::move(file)), copy_(FromUtf8(PendingFileFor(Utf8(file_)))) {}

TPendingProfile::~TPendingProfile() { Discard(); }

bool TPendingProfile::Write(std::string_view seed, const std::function<bool(const std::filesystem::path& copy)>& write) {
    if (Begin(seed) && write(copy_)) return true;
    failed_ = true;
    return false;
}

bool TPendingProfile::Begin(std::string_view seed) {
    if (copied_) return true;
    std::error_code error;
    std::string bytes(seed);
    // A file that is there but cannot be read is not begun anew: the commit would lose it.
    const bool exists = std::filesystem::exists(file_, error);
    const bool made = !error && (!exists || ReadBytes(file_, bytes)) && WriteBytes(copy_, bytes);
    if (!made) {
        std::filesystem::remove(copy_, error);
        return false;
    }
    copied_ = true;
    return true;
}

bool TPendingProfile::Commit() {
    const bool ok = !failed_ && (!copied_ || ReplaceFileInOneStep(Utf8(copy_), Utf8(file_)));
    if (ok) copied_ = false;
    Discard();
    return ok;
}

void TPendingProfile::Discard() {
    if (copied_) {
        std::error_code ignored;
        std::filesystem::remove(copy_, ignored);
    }
    copied_ = false;
    failed_ = false;
}

}  // namespace tw
