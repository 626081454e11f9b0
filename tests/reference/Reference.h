#pragma once

// The stages exactly as first written: plain loops, quadratic, easy to check
// against their description. They work on the same module state as the
// stages in processing/, so that tests and benchmarks can run either and
// compare what they leave behind.

#include "modQuorvale.h"

#include <cstdint>

namespace reference {

bool IsInRange(std::int32_t position);
void ValidateAndSort();
void BuildGroups();
void PairGroups();

} // namespace reference
