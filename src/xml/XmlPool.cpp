// Small-block pool for the model's objects and arrays.
//
// A parsed feed is tens of thousands of small objects freed together; taking them from per-thread
// free lists of 16-byte size classes avoids the general allocator's per-block overhead and its
// consolidation work, and keeps the memory of one document for the next instead of returning it
// to the system and faulting it in again. Blocks freed on another thread join that thread's lists.
// Under AddressSanitizer the pool steps aside so that use-after-free stays visible.
#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>

#include "xml/XmlInternal.h"

#if defined(__SANITIZE_ADDRESS__)
#define TW_XML_POOL 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define TW_XML_POOL 0
#endif
#endif
#ifndef TW_XML_POOL
#define TW_XML_POOL 1
#endif
#if !TW_XML_POOL
#include <sanitizer/asan_interface.h>
#endif

namespace tw {

#if TW_XML_POOL

namespace {

constexpr size_t kGrain = 16;
constexpr size_t kClasses = kXmlPoolMaxBlock / kGrain;
constexpr size_t kSlabSize = 64 * 1024;

struct FreeBlock {
    FreeBlock* next;
};

// Every slab stays reachable from here, so leak checkers see pooled memory as in use.
struct Slab {
    Slab* next;
};
std::atomic<Slab*> g_slabs{nullptr};

struct ThreadLists {
    FreeBlock* heads[kClasses] = {};
};
thread_local ThreadLists t_lists;

FreeBlock* Refill(size_t cls) {
    const size_t block = (cls + 1) * kGrain;
    auto* slab = static_cast<Slab*>(std::malloc(kSlabSize));
    if (!slab) throw std::bad_alloc();
    slab->next = g_slabs.load(std::memory_order_relaxed);
    while (!g_slabs.compare_exchange_weak(slab->next, slab, std::memory_order_release, std::memory_order_relaxed)) {
    }
    char* first = reinterpret_cast<char*>(slab) + kGrain;  // the link keeps 16-byte alignment
    const size_t count = (kSlabSize - kGrain) / block;
    FreeBlock* head = nullptr;
    for (size_t i = count; i > 0; --i) {
        auto* b = reinterpret_cast<FreeBlock*>(first + (i - 1) * block);
        b->next = head;
        head = b;
    }
    return head;
}

}  // namespace

void* XmlPoolAlloc(size_t n) {
    if (n == 0 || n > kXmlPoolMaxBlock) return ::operator new(n ? n : 1);
    const size_t cls = (n - 1) / kGrain;
    FreeBlock*& head = t_lists.heads[cls];
    if (!head) head = Refill(cls);
    FreeBlock* b = head;
    head = b->next;
    return b;
}

void XmlPoolFree(void* p, size_t n) noexcept {
    if (!p) return;
    if (n == 0 || n > kXmlPoolMaxBlock) {
        ::operator delete(p);
        return;
    }
    const size_t cls = (n - 1) / kGrain;
    auto* b = static_cast<FreeBlock*>(p);
    b->next = t_lists.heads[cls];
    t_lists.heads[cls] = b;
}

namespace {

// Arena blocks given back, for the next document of this thread; freed when the thread ends.
struct ArenaBlocks {
    FreeBlock* head = nullptr;
    size_t count = 0;
    bool ended = false;  // an arena freed during the exit of the process frees its blocks at once
    ~ArenaBlocks() {
        while (head) std::free(std::exchange(head, head->next));
        ended = true;
    }
};
thread_local ArenaBlocks t_arenaBlocks;

}  // namespace

void* XmlArenaBlockAlloc() {
    ArenaBlocks& kept = t_arenaBlocks;
    if (!kept.head) {
        void* p = std::malloc(kXmlArenaBlock);
        if (!p) throw std::bad_alloc();
        return p;
    }
    --kept.count;
    return std::exchange(kept.head, kept.head->next);
}

void XmlArenaBlockFree(void* p) noexcept {
    ArenaBlocks& kept = t_arenaBlocks;
    if (kept.ended || kept.count * kXmlArenaBlock >= kXmlArenaKeep) {
        std::free(p);
        return;
    }
    auto* b = static_cast<FreeBlock*>(p);
    b->next = kept.head;
    kept.head = b;
    ++kept.count;
}

void XmlArenaObjectEnded(const void*, size_t) noexcept {}

#else

void* XmlPoolAlloc(size_t n) { return ::operator new(n ? n : 1); }
void XmlPoolFree(void* p, size_t) noexcept { ::operator delete(p); }
void* XmlArenaBlockAlloc() { return ::operator new(kXmlArenaBlock); }
void XmlArenaBlockFree(void* p) noexcept {
    ASAN_UNPOISON_MEMORY_REGION(p, kXmlArenaBlock);
    ::operator delete(p);
}
void XmlArenaObjectEnded(const void* p, size_t n) noexcept { ASAN_POISON_MEMORY_REGION(p, n); }

#endif

void* TXmlBase::operator new(std::size_t n) { return XmlPoolAlloc(n); }
void TXmlBase::operator delete(void* p, std::size_t n) noexcept { XmlPoolFree(p, n); }
void TXmlBase::Dispose() const noexcept { delete this; }

}  // namespace tw
