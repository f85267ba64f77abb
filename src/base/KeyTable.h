#pragma once
// A hash table from 64-bit keys that are hashes already (so never 0, which marks a free slot)
// to small values, in one flat array: a lookup touches one or two cache lines and clearing keeps
// the memory, for tables rebuilt many times a second.
#include <cassert>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tw {

template <class Value>
class TKeyTable {
public:
    struct TSlot {
        std::uint64_t Key = 0;  // 0: free
        Value Data{};
    };

    std::size_t Count() const { return count_; }

    // Room for `count` keys without growing.
    void Reserve(std::size_t count) {
        if (!Fits(count)) Rehash(count);
    }
    // Forgets every key; keeps the room.
    void Clear() {
        for (TSlot& slot : slots_) slot = TSlot{};
        count_ = 0;
    }

    // The value of `key`, or null.
    Value* Find(std::uint64_t key) {
        if (slots_.empty()) return nullptr;
        for (std::size_t i = Home(key);; i = (i + 1) & mask_) {
            if (slots_[i].Key == key) return &slots_[i].Data;
            if (slots_[i].Key == 0) return nullptr;
        }
    }
    const Value* Find(std::uint64_t key) const { return const_cast<TKeyTable*>(this)->Find(key); }

    // The value of `key`, made from `data` when the key is new; `added` tells which.
    Value& Insert(std::uint64_t key, const Value& data, bool& added) {
        assert(key != 0);
        if (!Fits(count_ + 1)) Rehash(count_ + 1);
        std::size_t i = Home(key);
        while (slots_[i].Key != 0 && slots_[i].Key != key) i = (i + 1) & mask_;
        added = slots_[i].Key == 0;
        if (added) {
            slots_[i] = TSlot{key, data};
            ++count_;
        }
        return slots_[i].Data;
    }

    // Every slot, free ones (Key 0) among them, in no particular order.
    const std::vector<TSlot>& Slots() const { return slots_; }

private:
    // At most seven slots in ten in use, so that probes stay short.
    bool Fits(std::size_t count) const { return count * 10 <= slots_.size() * 7; }
    std::size_t Home(std::uint64_t key) const {
        // The keys are hashes, but their low bits alone may be poor (sequential test keys).
        return static_cast<std::size_t>((key * 0x9E3779B97F4A7C15ull) >> 32) & mask_;
    }
    void Rehash(std::size_t count) {
        std::size_t size = 16;
        while (count * 10 > size * 7) size *= 2;
        std::vector<TSlot> old;
        old.swap(slots_);
        slots_.assign(size, TSlot{});
        mask_ = size - 1;
        count_ = 0;
        bool added = false;
        for (const TSlot& slot : old)
            if (slot.Key != 0) Insert(slot.Key, slot.Data, added);
    }

    std::vector<TSlot> slots_;
    std::size_t mask_ = 0;
    std::size_t count_ = 0;
};

}  // namespace tw
