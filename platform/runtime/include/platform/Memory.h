#pragma once

#include <string>

namespace platform {

// Hands the pages of memory freed so far back to the system. The allocator
// keeps freed blocks that lie below others still in use; a run calls this
// once its scratch is gone, so that what it builds next does not stack its
// pages on those kept ones. Costs a walk over the free blocks.
void ReturnFreedMemory();

// Starts the program again, once, with glibc's malloc asking the kernel for
// 2 MiB pages where the kernel grants them only on request. A big file's
// tables then cost one page fault per 2 MiB instead of per 4 KiB, and fewer
// misses in the processor's address cache. Returns when there is nothing to
// gain (a data file of less than 8 MiB, or none; another system; a
// kernel that gives large pages always or never; a run that has them
// already; a sanitizer's allocator) or the restart failed. Called before
// anything is opened or changed, so that the restarted run sees the process
// as it was started: its standard streams, arguments and signals.
// "-" names standard input, which pays when it is a stream or a big file.
void UseLargePages(const std::string& dataPath, char** argv);

} // namespace platform
