#include "PageAllocator.h"

#include <sys/mman.h>

// Blocks of a few megabytes and more ask for huge pages: touching a fresh
// 24-megapixel picture then costs a few dozen page faults instead of tens
// of thousands.
uint8_t* AllocatePages(std::size_t size)
{
    constexpr std::size_t HugePageSize = std::size_t(2) << 20;
    if (size == 0)
        return nullptr;
    void* block = mmap(nullptr, size, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (block == MAP_FAILED)
        return nullptr;
    if (size >= 2 * HugePageSize)
        madvise(block, size, MADV_HUGEPAGE); // a hint: without huge pages the block works the same
    return static_cast<uint8_t*>(block);
}

void FreePages(uint8_t* block, std::size_t size)
{
    if (block)
        munmap(block, size);
}
