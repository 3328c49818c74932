// Compresses a text in one zlib stream at level 9, the way a matte file from
// elsewhere would be, for the tests of the object library's readers.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

inline std::vector<std::uint8_t> Deflate(const std::string& text)
{
    uLongf size = compressBound(uLong(text.size()));
    std::vector<std::uint8_t> out(size);
    compress2(out.data(), &size, reinterpret_cast<const Bytef*>(text.data()), uLong(text.size()), 9);
    out.resize(size);
    return out;
}
