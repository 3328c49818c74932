// Asking the memory ahead for cells a loop will read soon: the engine's
// passes over arrays stored column after column read a short run of each of
// many columns that lie far apart, which the processor does not foresee on
// its own.  Used by the blur's mean and its preparation, and by the quarter
// turns of pictures.
#pragma once

#include <cstddef>

// Asks for the cache lines holding count elements from first on; a hint
// only, so an address outside the array does no harm.
template <typename T>
inline void PrefetchRange(const T* first, std::ptrdiff_t count)
{
    if (count <= 0)
        return;
    constexpr std::ptrdiff_t line = 64;
    const char* bytes = reinterpret_cast<const char*>(first);
    const char* last = bytes + count * std::ptrdiff_t(sizeof(T)) - 1;
    for (; bytes <= last; bytes += line)
        __builtin_prefetch(bytes);
    __builtin_prefetch(last);
}
