#include "rss/FeedCache.h"

#include "base/AtomicFile.h"
#include "base/AsciiText.h"
#include "base/pkClasses.h"
#include "base/pkUtils.h"

#include <zlib.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

namespace tw {

namespace fs = std::filesystem;

namespace {

constexpr char kMagic[4] = {'T', 'W', 'K', 'C'};
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kHeaderSize = 4 + 4 + 4 + 8 + 8 + 5 * 4;
constexpr std::size_t kChecked = 12;  // the checksum covers everything from here on
constexpr const char* kSuffix = ".feed";
// No honest text of a kept copy is longer; a length beyond it marks a damaged file before
// anything is allocated for it.
constexpr std::uint32_t kMaxTextLength = 64 * 1024;
constexpr std::uint32_t kMaxBodyLength = 256u * 1024 * 1024;

void PutU32(std::string& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}
void PutI64(std::string& out, std::int64_t value) {
    const auto v = static_cast<std::uint64_t>(value);
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<char>((v >> (8 * i)) & 0xff));
}
std::uint64_t GetLE(std::string_view bytes, std::size_t at, int size) {
    std::uint64_t v = 0;
    for (int i = size - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(bytes[at + static_cast<std::size_t>(i)]);
    return v;
}
std::uint32_t Crc(std::string_view bytes) {
    uLong crc = crc32(0L, Z_NULL, 0);
    while (!bytes.empty()) {
        const auto n = static_cast<uInt>(std::min<std::size_t>(bytes.size(), 1u << 30));
        crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), n);
        bytes.remove_prefix(n);
    }
    return static_cast<std::uint32_t>(crc);
}

bool IsOurs(std::string_view header) {
    return header.size() >= kChecked && std::equal(kMagic, kMagic + 4, header.begin()) && GetLE(header, 4, 4) == kVersion;
}

std::string Utf8Of(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

}  // namespace

std::string EncodeKeptCopy(const TFeedKeptCopy& c) {
    std::string out(kMagic, 4);
    PutU32(out, kVersion);
    PutU32(out, 0);  // the checksum, once the rest is there
    PutI64(out, c.FetchedAt);
    PutI64(out, c.FreshUntil);
    for (const std::string* text : {&c.URL, &c.ETag, &c.LastModified, &c.Charset, &c.Body})
        PutU32(out, static_cast<std::uint32_t>(text->size()));
    for (const std::string* text : {&c.URL, &c.ETag, &c.LastModified, &c.Charset, &c.Body}) out += *text;
    const std::uint32_t crc = Crc(std::string_view(out).substr(kChecked));
    for (int i = 0; i < 4; ++i) out[8 + static_cast<std::size_t>(i)] = static_cast<char>((crc >> (8 * i)) & 0xff);
    return out;
}

std::optional<TFeedKeptCopy> DecodeKeptCopy(std::string_view bytes) {
    if (bytes.size() < kHeaderSize || !IsOurs(bytes)) return std::nullopt;
    std::uint32_t lengths[5];
    std::uint64_t total = kHeaderSize;
    for (int i = 0; i < 5; ++i) {
        lengths[i] = static_cast<std::uint32_t>(GetLE(bytes, 28 + 4 * static_cast<std::size_t>(i), 4));
        if (lengths[i] > (i == 4 ? kMaxBodyLength : kMaxTextLength)) return std::nullopt;
        total += lengths[i];
    }
    if (total != bytes.size()) return std::nullopt;  // cut short, or something after it
    if (Crc(bytes.substr(kChecked)) != GetLE(bytes, 8, 4)) return std::nullopt;
    TFeedKeptCopy c;
    c.FetchedAt = static_cast<TpkTimeMs>(GetLE(bytes, 12, 8));
    c.FreshUntil = static_cast<TpkTimeMs>(GetLE(bytes, 20, 8));
    std::size_t at = kHeaderSize;
    for (auto [text, i] : {std::pair{&c.URL, 0}, {&c.ETag, 1}, {&c.LastModified, 2}, {&c.Charset, 3}, {&c.Body, 4}}) {
        text->assign(bytes.substr(at, lengths[i]));
        at += lengths[i];
    }
    return c;
}

TFeedCache::TFeedCache(std::string folder, std::uint64_t maxTotalBytes)
    : folder_(std::move(folder)), maxTotalBytes_(maxTotalBytes) {}

// "<hash of the address>.feed".
static std::string NameFor(const std::string& url) {
    std::uint64_t hash = 14695981039346656037ull;  // FNV-1a
    for (unsigned char c : url) hash = (hash ^ c) * 1099511628211ull;
    static const char kHex[] = "0123456789abcdef";
    std::string name(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4) name[static_cast<std::size_t>(i)] = kHex[hash & 0xf];
    return name + kSuffix;
}

std::string TFeedCache::FileFor(const std::string& url) const {
    return Utf8Of(PathFromUtf8(folder_) / PathFromUtf8(NameFor(url)));
}

std::optional<TFeedKeptCopy> TFeedCache::Find(const std::string& url) const {
    std::optional<TFeedKeptCopy> copy = DecodeKeptCopy(ReadFileToString(FileFor(url)));
    if (copy && copy->URL != url) return std::nullopt;  // another address with the same hash
    return copy;
}

bool TFeedCache::Keep(const TFeedKeptCopy& copy) {
    const std::string bytes = EncodeKeptCopy(copy);
    if (bytes.size() > maxTotalBytes_) return false;
    std::error_code error;
    fs::create_directories(PathFromUtf8(folder_), error);
    const std::string file = FileFor(copy.URL);
    if (!WriteFileInOneStep(file, bytes)) return false;
    Evict(file);
    return true;
}

std::vector<TFeedCache::FileInfo> TFeedCache::Files() const {
    std::vector<FileInfo> files;
    std::error_code error;
    for (fs::directory_iterator it(PathFromUtf8(folder_), error), end; !error && it != end; it.increment(error)) {
        const std::string path = Utf8Of(it->path());
        if (!EndsWithIgnoringAsciiCase(path, kSuffix) || !it->is_regular_file(error)) continue;
        FileInfo info{path, it->file_size(error), 0};
        std::ifstream in(it->path(), std::ios::binary);
        char header[kHeaderSize];
        if (in.read(header, sizeof header) && IsOurs(std::string_view(header, sizeof header)))
            info.FetchedAt = static_cast<TpkTimeMs>(GetLE(std::string_view(header, sizeof header), 12, 8));
        files.push_back(std::move(info));
    }
    return files;
}

void TFeedCache::Evict(const std::string& keep) {
    std::vector<FileInfo> files = Files();
    std::uint64_t total = 0;
    for (const FileInfo& f : files) total += f.Size;
    // Oldest first; a file that cannot be read is the oldest of all.
    std::sort(files.begin(), files.end(), [](const FileInfo& a, const FileInfo& b) { return a.FetchedAt < b.FetchedAt; });
    std::error_code error;
    for (const FileInfo& f : files) {
        if (total <= maxTotalBytes_) break;
        if (f.Path == keep) continue;
        if (fs::remove(PathFromUtf8(f.Path), error)) total -= f.Size;
    }
}

void TFeedCache::Prune(const std::vector<std::string>& listed) {
    std::set<std::string> wanted;
    for (const std::string& url : listed) wanted.insert(NameFor(url));
    const std::string pendingSuffix = PendingFileFor(kSuffix);
    std::error_code error;
    std::vector<fs::path> doomed;
    for (fs::directory_iterator it(PathFromUtf8(folder_), error), end; !error && it != end; it.increment(error)) {
        const std::string name = Utf8Of(it->path().filename());
        const bool copy = EndsWithIgnoringAsciiCase(name, kSuffix);
        if ((copy && wanted.count(name) == 0) || EndsWithIgnoringAsciiCase(name, pendingSuffix))
            doomed.push_back(it->path());
    }
    for (const fs::path& path : doomed) fs::remove(path, error);
}

}  // namespace tw
