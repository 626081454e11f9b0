#pragma once

#include <string>

namespace testing_support {

// Checks what must hold after any complete run, on the module state. Returns
// "" when all holds, or a description of the first violation.
std::string CheckRunInvariants();

} // namespace testing_support
