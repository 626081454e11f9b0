#pragma once

// Two independent pieces of work on two cores.

#include <functional>

namespace platform {

// Runs `main` on this thread and `side` on another when `worthIt`, else
// both here, main first. The two must touch disjoint data. An error of main
// wins; side's is raised once main has finished. Where no thread can be
// started, side simply runs here afterwards.
void RunAlongside(bool worthIt, const std::function<void()>& main,
                  const std::function<void()>& side);

} // namespace platform
