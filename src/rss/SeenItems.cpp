#include "rss/SeenItems.h"

#include "base/AtomicFile.h"
#include "base/Hash64.h"
#include "base/pkUtils.h"

#include <algorithm>

namespace tw {

namespace {

// Layout, little-endian: "TWSN", version, count, 0, quiet-since time, checksum; then per entry
// its key and the last time its item was in its feed. The checksum covers every byte but its own.
constexpr std::string_view kMagic = "TWSN";
constexpr std::uint32_t kVersion = 1;
constexpr std::size_t kHeaderSize = 32;
constexpr std::size_t kChecksumAt = 24;
constexpr std::size_t kEntrySize = 16;

void PutLittle(std::string& out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>(value >> (8 * i) & 0xFF));
}

std::uint64_t GetLittle(std::string_view in, std::size_t at, int bytes) {
    std::uint64_t value = 0;
    for (int i = 0; i < bytes; ++i) value |= std::uint64_t{static_cast<unsigned char>(in[at + i])} << (8 * i);
    return value;
}

std::uint64_t Checksum(std::string_view bytes) {
    return Hash64(bytes.substr(kHeaderSize), Hash64(bytes.substr(0, kChecksumAt)));
}

}  // namespace

bool TSeenItems::Load(const std::string& path, TStreamTime now) {
    if (Parse(ReadFileToString(path))) return true;
    entries_.Clear();
    quietSince_ = now;
    modified_ = false;
    return false;
}

bool TSeenItems::Save(const std::string& path, TStreamTime now) {
    Prune(now);
    if (!WriteFileInOneStep(path, Serialize())) return false;
    modified_ = false;
    return true;
}

std::vector<TSeenItems::TEntry> TSeenItems::SortedEntries() const {
    std::vector<TEntry> entries;
    entries.reserve(entries_.Count());
    for (const auto& slot : entries_.Slots())
        if (slot.Key != 0) entries.push_back({slot.Key, slot.Data});
    std::sort(entries.begin(), entries.end(), [](const TEntry& a, const TEntry& b) { return a.Key < b.Key; });
    return entries;
}

void TSeenItems::Replace(const std::vector<TEntry>& entries) {
    TKeyTable<TStreamTime> table;
    table.Reserve(entries.size());
    bool added = false;
    for (const TEntry& entry : entries) table.Insert(entry.Key, entry.LastPresent, added);
    entries_ = std::move(table);
}

std::string TSeenItems::Serialize() const {
    const std::vector<TEntry> entries = SortedEntries();
    std::string out;
    out.reserve(kHeaderSize + entries.size() * kEntrySize);
    out += kMagic;
    PutLittle(out, kVersion, 4);
    PutLittle(out, entries.size(), 4);
    PutLittle(out, 0, 4);
    PutLittle(out, static_cast<std::uint64_t>(quietSince_), 8);
    PutLittle(out, 0, 8);  // the checksum's place
    for (const TEntry& entry : entries) {
        PutLittle(out, entry.Key, 8);
        PutLittle(out, static_cast<std::uint64_t>(entry.LastPresent), 8);
    }
    const std::uint64_t sum = Checksum(out);
    for (int i = 0; i < 8; ++i) out[kChecksumAt + i] = static_cast<char>(sum >> (8 * i) & 0xFF);
    return out;
}

bool TSeenItems::Parse(std::string_view bytes) {
    // The field version 1 writes as 0 must be 0: a file read is then always one written.
    if (bytes.size() < kHeaderSize || bytes.substr(0, 4) != kMagic || GetLittle(bytes, 4, 4) != kVersion ||
        GetLittle(bytes, 12, 4) != 0)
        return false;
    const std::uint64_t count = GetLittle(bytes, 8, 4);
    if (bytes.size() != kHeaderSize + count * kEntrySize || GetLittle(bytes, kChecksumAt, 8) != Checksum(bytes))
        return false;
    std::vector<TEntry> entries;
    entries.reserve(count);
    for (std::size_t at = kHeaderSize; at < bytes.size(); at += kEntrySize) {
        const TEntry entry{GetLittle(bytes, at, 8), static_cast<TStreamTime>(GetLittle(bytes, at + 8, 8))};
        // Ours are written ascending and never 0 (the table's free mark).
        if (entry.Key == 0 || (!entries.empty() && entries.back().Key >= entry.Key)) return false;
        entries.push_back(entry);
    }
    Replace(entries);
    quietSince_ = static_cast<TStreamTime>(GetLittle(bytes, 16, 8));
    modified_ = false;
    return true;
}

bool TSeenItems::Contains(std::uint64_t key) const { return entries_.Find(key) != nullptr; }

void TSeenItems::MarkSeen(std::uint64_t key, TStreamTime now) {
    if (key == 0) return;  // no key of ours (SeenKeyOf never gives 0), and the table's free mark
    bool added = false;
    TStreamTime& lastPresent = entries_.Insert(key, now, added);
    lastPresent = std::max(lastPresent, now);
    quietSince_ = now;
    modified_ = true;
}

void TSeenItems::NotePresent(std::span<const std::uint64_t> keys, TStreamTime now) {
    for (std::uint64_t key : keys) {
        TStreamTime* lastPresent = entries_.Find(key);
        if (!lastPresent || *lastPresent >= now) continue;
        *lastPresent = now;
        modified_ = true;
    }
}

void TSeenItems::Prune(TStreamTime now) {
    std::vector<TEntry> entries = SortedEntries();
    const std::size_t before = entries.size();
    std::erase_if(entries, [&](const TEntry& e) { return e.LastPresent < now - kForgetAfter; });
    if (entries.size() > kMaxEntries) {
        const auto longerPresent = [](const TEntry& a, const TEntry& b) {
            return a.LastPresent != b.LastPresent ? a.LastPresent > b.LastPresent : a.Key > b.Key;
        };
        std::nth_element(entries.begin(), entries.begin() + kMaxEntries, entries.end(), longerPresent);
        entries.resize(kMaxEntries);
    }
    if (entries.size() == before) return;
    Replace(entries);
    modified_ = true;
}

}  // namespace tw
