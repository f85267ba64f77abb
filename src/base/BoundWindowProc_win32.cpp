#include "base/BoundWindowProc_win32.h"

#include "base/Unhandled.h"

#include <array>
#include <stdexcept>
#include <utility>

namespace tw {
namespace {

// More than the program ever binds at once: a few form hooks and their application hooks.
constexpr std::size_t kSlotCount = 64;

std::array<BoundWindowFunction, kSlotCount> g_slots;

template <std::size_t N>
LRESULT CALLBACK SlotProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
    return CallReportingErrors(
        [&] {
            // A copy: the function may release its own slot.
            const BoundWindowFunction function = g_slots[N];
            return function ? function(hwnd, msg, wp, lp) : DefWindowProcW(hwnd, msg, wp, lp);
        },
        [&] { return DefWindowProcW(hwnd, msg, wp, lp); });
}

template <std::size_t... N>
constexpr std::array<WNDPROC, kSlotCount> MakeSlotProcs(std::index_sequence<N...>) {
    return {&SlotProc<N>...};
}

constexpr std::array<WNDPROC, kSlotCount> kSlotProcs = MakeSlotProcs(std::make_index_sequence<kSlotCount>{});

}  // namespace

WNDPROC BindWindowProc(BoundWindowFunction function) {
    for (std::size_t i = 0; i < kSlotCount; ++i) {
        if (!g_slots[i]) {
            g_slots[i] = std::move(function);
            return kSlotProcs[i];
        }
    }
    throw std::runtime_error("No window procedure left to bind");
}

void ReleaseWindowProc(WNDPROC proc) {
    for (std::size_t i = 0; i < kSlotCount; ++i) {
        if (kSlotProcs[i] == proc) g_slots[i] = nullptr;
    }
}

}  // namespace tw
