#pragma once

// Two independent halves of one piece of work at once, on the machine's
// second core: the threads of the stage that splits its work.

#include <functional>

namespace platform {

// Runs `besides` on a second thread while `here` runs on this one, and
// returns once both have finished. Where no second thread can be had (a
// limit on threads or on address space), runs `besides` after `here` on
// this thread: the same work, only later. What either raises reaches the
// caller on this thread, `here`'s first.
void RunSideBySide(const std::function<void()>& here, const std::function<void()>& besides);

} // namespace platform
