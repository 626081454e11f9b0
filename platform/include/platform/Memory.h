#pragma once

namespace platform {

// Hands the pages of memory freed so far back to the system. The allocator
// keeps freed blocks that lie below others still in use; a run calls this
// once its scratch is gone, so that what it builds next does not stack its
// pages on those kept ones. Costs a walk over the free blocks.
void ReturnFreedMemory();

} // namespace platform
