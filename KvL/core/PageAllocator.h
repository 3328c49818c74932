// The page allocator: zero-filled read-write pages straight from the kernel,
// for the pixel storage of pictures and the per-pixel working arrays of the
// algorithms, so that large blocks neither fragment the heap nor need
// clearing, and pages never touched cost nothing.
#pragma once

#include <cstddef>
#include <cstdint>

// Null when the pages cannot be had (or size is 0).
uint8_t* AllocatePages(std::size_t size);
// Returns a block of size bytes from AllocatePages (null does nothing).
void FreePages(uint8_t* block, std::size_t size);
