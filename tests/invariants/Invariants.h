#pragma once

#include <string>

namespace testing_support {

// Checks what must hold after any complete run, on the module state, and
// with KeepReasons that every rejected and unplaced record has a reason that
// fits the table. Returns "" when all holds, or a description of the first
// violation.
std::string CheckRunInvariants();

} // namespace testing_support
