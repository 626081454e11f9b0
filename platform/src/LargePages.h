#pragma once

namespace platform {

// Starts the program again, once, with glibc's malloc asking the kernel for
// 2 MiB pages where the kernel grants them only on request. A big file's
// tables then cost one page fault per 2 MiB instead of per 4 KiB, and fewer
// misses in the processor's address cache. Returns when there is nothing to
// do (another system, a kernel that gives large pages always or never, a
// run that has them already, a sanitizer's allocator) or the restart failed.
// Runs before anything else, so that the restarted run sees the process as
// it was started: its standard streams, arguments and signals.
void UseLargePages(char** argv);

} // namespace platform
