#pragma once

// Checks of what one part of the program guarantees another, made only in
// Debug builds and where QUORVALE_CHECK_INVARIANTS is set (the sanitizer
// presets). A failed check is a fault of the program, not of the data: it
// ends the run with the fatal error, naming the guarantee.

#include "platform/FatalError.h"

#include <string>

namespace platform {

#ifdef QUORVALE_CHECK_INVARIANTS
inline constexpr bool CheckGuarantees = true;
#else
inline constexpr bool CheckGuarantees = false;
#endif

inline void Expect(bool holds, const char* guarantee) {
    if (CheckGuarantees && !holds) {
        Raise(std::string("broken guarantee: ") + guarantee);
    }
}

} // namespace platform
