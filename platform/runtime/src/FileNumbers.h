#pragma once

// The numbered files' registry beyond what the program needs, for tests and
// fuzzers that run many loads in one process.

namespace platform {

// Closes every numbered file, as after a failed run.
void CloseAllFiles();

} // namespace platform
