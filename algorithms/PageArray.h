// Per-pixel working arrays in zero-filled pages from the page allocator.
#pragma once

#include "PageAllocator.h"

#include <cstddef>
#include <cstdint>
#include <limits>
#include <new>
#include <type_traits>
#include <utility>

// A fixed number of elements, all bytes 0 at first, in pages of their own:
// arrays of one element per pixel of a large picture neither fragment the
// heap nor need clearing, come in huge pages, and cost nothing for pages
// never touched.  Elements are plain data (all-zero bytes is a valid value).
template <typename T>
class TPageArray {
    static_assert(std::is_trivially_copyable_v<T> && std::is_trivially_destructible_v<T>);

public:
    TPageArray() = default;
    // count zero elements; throws std::bad_alloc when the pages cannot be had.
    explicit TPageArray(std::size_t count)
    {
        if (count == 0)
            return;
        if (count > std::numeric_limits<std::size_t>::max() / sizeof(T))
            throw std::bad_alloc();
        m_data = reinterpret_cast<T*>(AllocatePages(count * sizeof(T)));
        if (!m_data)
            throw std::bad_alloc();
        m_count = count;
    }
    TPageArray(TPageArray&& other) noexcept
        : m_data(std::exchange(other.m_data, nullptr))
        , m_count(std::exchange(other.m_count, 0))
    {
    }
    TPageArray& operator=(TPageArray&& other) noexcept
    {
        if (this != &other) {
            Release();
            m_data = std::exchange(other.m_data, nullptr);
            m_count = std::exchange(other.m_count, 0);
        }
        return *this;
    }
    ~TPageArray() { Release(); }

    T* data() { return m_data; }
    const T* data() const { return m_data; }
    std::size_t size() const { return m_count; }
    T& operator[](std::size_t i) { return m_data[i]; }
    const T& operator[](std::size_t i) const { return m_data[i]; }
    T* begin() { return m_data; }
    T* end() { return m_data + m_count; }

    // Every element zero again, without writing the pages (see ZeroPages).
    void Zero() { ZeroPages(reinterpret_cast<std::uint8_t*>(m_data), m_count * sizeof(T)); }

    // Frees the pages; the array is empty afterwards.
    void Release()
    {
        FreePages(reinterpret_cast<std::uint8_t*>(m_data), m_count * sizeof(T));
        m_data = nullptr;
        m_count = 0;
    }

private:
    T* m_data = nullptr;
    std::size_t m_count = 0;
};
