#pragma once

// Asking for memory before it is used, where a pass touches places that the
// processor cannot foresee: the misses of a table larger than the cache
// then overlap instead of each waiting on its own. A hint only; where the
// compiler offers none, nothing.

#include <cstdint>

namespace platform {

// How many items ahead a pass asks for what it will touch.
inline constexpr std::int32_t PrefetchAhead = 16;

// For reading.
inline void Prefetch(const void* address) {
#if defined(__GNUC__)
    __builtin_prefetch(address, 0);
#else
    static_cast<void>(address);
#endif
}

// For writing.
inline void PrefetchForWrite(const void* address) {
#if defined(__GNUC__)
    __builtin_prefetch(address, 1);
#else
    static_cast<void>(address);
#endif
}

} // namespace platform
