#pragma once

// The program's memory policy, in one place: how the heap is set up for the
// run's data. Everything else takes memory with plain calls.

#include <string>

namespace platform {

// Sets the heap up for a run on this data before anything is loaded. For a
// big file or a stream (Linux, glibc): every block comes from the one heap
// and stays there when freed, so that a stage's freed scratch serves the next
// stage instead of going back to the system and coming again as fresh
// zeroed pages. Up to about a million records, room for what the run will
// hold is also taken at once and marked for 2 MiB pages, which the kernel
// here gives only on request: one page fault per 2 MiB instead of per 4 KiB,
// and fewer misses in the processor's address cache; beyond that, fresh
// large pages cost more than they save. Nothing changes for a small file,
// where 2 MiB rounding would cost more than it saves. "-" names standard
// input.
void PrepareMemory(const std::string& dataPath);

// One heap for every thread: the toolkit's helper threads would each reserve
// a heap of 64 MB of address space, which under an address-space limit
// starves the frame buffer of a large window. They allocate little.
void ShareOneHeap();

} // namespace platform
