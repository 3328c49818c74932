#include "PageAllocator.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstring>
#include <mutex>
#include <vector>

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

namespace {

// Freed blocks kept for AllocatePagesForOverwrite: the last few large
// ones, so that a picture turned or cut after another one takes the pages
// the earlier one left, already in memory.
class TKeptPages {
public:
    static constexpr std::size_t MinimumSize = std::size_t(4) << 20;
    static constexpr std::size_t MaximumCount = 2;

    // A kept block of exactly this page-rounded size; null when none is.
    uint8_t* Take(std::size_t size)
    {
        const std::lock_guard lock(m_mutex);
        for (auto it = m_blocks.begin(); it != m_blocks.end(); ++it)
            if (it->Size == size) {
                uint8_t* block = it->Block;
                m_blocks.erase(it);
                return block;
            }
        return nullptr;
    }
    // Keeps the block, unmapping the oldest kept one beyond the count.
    void Keep(uint8_t* block, std::size_t size)
    {
        std::vector<TBlock> unmapped;
        {
            const std::lock_guard lock(m_mutex);
            m_blocks.push_back({block, size});
            while (m_blocks.size() > MaximumCount) {
                unmapped.push_back(m_blocks.front());
                m_blocks.erase(m_blocks.begin());
            }
        }
        for (const TBlock& old : unmapped)
            munmap(old.Block, old.Size);
    }
    ~TKeptPages()
    {
        for (const TBlock& old : m_blocks)
            munmap(old.Block, old.Size);
    }

private:
    struct TBlock {
        uint8_t* Block;
        std::size_t Size;
    };
    std::mutex m_mutex;
    std::vector<TBlock> m_blocks;
};

TKeptPages& KeptPages()
{
    static TKeptPages kept;
    return kept;
}

std::size_t PageRounded(std::size_t size)
{
    const std::size_t page = std::size_t(sysconf(_SC_PAGESIZE));
    return (size + page - 1) / page * page;
}

} // namespace

uint8_t* AllocatePagesForOverwrite(std::size_t size)
{
    if (size == 0)
        return nullptr;
    if (uint8_t* kept = KeptPages().Take(PageRounded(size)))
        return kept;
    return AllocatePages(size);
}

void ZeroPages(uint8_t* block, std::size_t size)
{
    // Private anonymous pages read as zeros once given back.
    if (block && size != 0 && madvise(block, PageRounded(size), MADV_DONTNEED) != 0)
        std::memset(block, 0, size);
}

void FreePages(uint8_t* block, std::size_t size)
{
    if (block)
        munmap(block, size);
}

void RecyclePages(uint8_t* block, std::size_t size)
{
    const std::size_t rounded = PageRounded(size);
    if (block && rounded >= TKeptPages::MinimumSize)
        KeptPages().Keep(block, rounded);
    else
        FreePages(block, size);
}
