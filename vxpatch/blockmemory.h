// Memory for the engine's large buffers: decoded bodies, encoded programs, assembled files.
// They run to tens of megabytes and each lives for one step of an application. Taken from
// the C heap, one freed block of that size raises the heap's own mapping threshold, after
// which every later buffer stays resident after it is freed and grows by copying, so the
// peak of a whole patch becomes the sum of its steps. Blocks from kMappedBlockSize on are
// therefore mapped on their own: freeing one gives it back to the system at once, and
// growth remaps pages instead of copying them. Nothing here throws; failure is null.
#pragma once

#include <cstddef>

namespace vxpatch {

constexpr size_t kMappedBlockSize = 256 * 1024;

// Resizes `block` of `size` bytes (null and 0 for a new block), of which the first `used`
// bytes are kept, to `newSize` bytes. Returns the block, or null with `block` left intact.
void *ResizeBlock(void *block, size_t size, size_t used, size_t newSize);
// Frees a block that ResizeBlock returned with the size it was last given.
void FreeBlock(void *block, size_t size);

// Allocation with the size kept in front of the block, for callers such as a library's
// allocator hooks that free without saying how large the block was.
void *AllocateSized(size_t size);
void FreeSized(void *block);

} // namespace vxpatch
