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
        data_ = reinterpret_cast<T*>(AllocatePages(count * sizeof(T)));
        if (!data_)
            throw std::bad_alloc();
        count_ = count;
    }
    TPageArray(TPageArray&& other) noexcept
        : data_(std::exchange(other.data_, nullptr))
        , count_(std::exchange(other.count_, 0))
    {
    }
    TPageArray& operator=(TPageArray&& other) noexcept
    {
        if (this != &other) {
            Release();
            data_ = std::exchange(other.data_, nullptr);
            count_ = std::exchange(other.count_, 0);
        }
        return *this;
    }
    ~TPageArray() { Release(); }

    T* data() { return data_; }
    const T* data() const { return data_; }
    std::size_t size() const { return count_; }
    T& operator[](std::size_t i) { return data_[i]; }
    const T& operator[](std::size_t i) const { return data_[i]; }
    T* begin() { return data_; }
    T* end() { return data_ + count_; }

    // Frees the pages; the array is empty afterwards.
    void Release()
    {
        FreePages(reinterpret_cast<std::uint8_t*>(data_), count_ * sizeof(T));
        data_ = nullptr;
        count_ = 0;
    }

private:
    T* data_ = nullptr;
    std::size_t count_ = 0;
};
