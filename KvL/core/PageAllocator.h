// The page allocator: zero-filled read-write pages straight from the kernel,
// for the pixel storage of pictures and the per-pixel working arrays of the
// algorithms, so that large blocks neither fragment the heap nor need
// clearing, and pages never touched cost nothing. Pictures written whole
// at once (turned, cut) may take the pages of a picture freed a moment ago
// instead, which spares clearing them.
#pragma once

#include <cstddef>
#include <cstdint>

// Null when the pages cannot be had (or size is 0).
uint8_t* AllocatePages(std::size_t size);
// Pages whose contents do not matter, because the caller writes every byte
// of them (a picture turned or cut into them): a block of the same page
// count freed a moment ago by RecyclePages is handed out again when one is
// kept, which spares the kernel clearing fresh pages; otherwise fresh pages
// as AllocatePages.
uint8_t* AllocatePagesForOverwrite(std::size_t size);
// Makes every byte of a block of size bytes from either allocation 0 again
// by giving its pages back: they cost nothing until touched, and then come
// cleared, so that clearing a large array that is mostly not used again
// takes no time.
void ZeroPages(uint8_t* block, std::size_t size);
// Returns a block of size bytes from either allocation (null does nothing).
void FreePages(uint8_t* block, std::size_t size);
// The same for pictures, which come and go in the same sizes: the last two
// large blocks are kept for AllocatePagesForOverwrite instead of going
// back at once.
void RecyclePages(uint8_t* block, std::size_t size);
