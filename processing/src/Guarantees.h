#pragma once

// Checks of what an earlier stage guarantees, made in debug and sanitizer
// builds only. A failed check is a fault of the program, not of the data:
// it ends the run with the fatal error, naming the guarantee.

#include "platform/FatalError.h"

#include <string>

namespace modQuorvale::detail {

#ifdef QUORVALE_CHECK_INVARIANTS
inline constexpr bool CheckGuarantees = true;
#else
inline constexpr bool CheckGuarantees = false;
#endif

inline void Expect(bool holds, const char* guarantee) {
    if (CheckGuarantees && !holds) {
        platform::Raise(std::string("broken guarantee: ") + guarantee);
    }
}

} // namespace modQuorvale::detail
