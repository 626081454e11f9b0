#pragma once

// Whether a sanitizer's allocator stands in for the C library's: it takes
// no heap settings, and ends the run rather than fail a huge allocation.

namespace platform {

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool SanitizerAllocator = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer) ||                         \
    __has_feature(memory_sanitizer)
inline constexpr bool SanitizerAllocator = true;
#else
inline constexpr bool SanitizerAllocator = false;
#endif
#else
inline constexpr bool SanitizerAllocator = false;
#endif

} // namespace platform
