// The exchange file through which a host program hands a picture to the
// editor and takes it back (plug-in mode): a 36-byte header and the rows of
// an 8-bit RGB picture.  All integers are 32-bit little-endian:
//
//   0  "PSPF"            20  width in pixels
//   4  header size (32)  24  height in pixels
//   8  pixel kind (3)    28  row stride in bytes
//   12 0                 32  bytes per pixel
//   16 0                 36  rows top to bottom, red, green, blue first in
//                            each pixel, padded up to the stride
//
// The file comes from another program, so every field is checked before
// anything is allocated or read for it.
#pragma once

#include "KvBitmap.h"

#include <cstddef>
#include <cstdint>
#include <vector>

constexpr std::size_t ExchangeHeaderSize = 36;

struct TExchangeFileHeader {
    int Width = 0;
    int Height = 0;
    int Stride = 0;        // bytes from one row to the next in the file
    int BytesPerPixel = 0; // step from one pixel to the next; the first three bytes are used
};

enum class TExchangeFileCheck {
    NotExchangeFile, // does not start with "PSPF" and pixel kind 3
    Damaged,         // an exchange file whose header does not fit its data
    Valid,
};

// Reads and checks the header.  A valid file has a width and a height above
// 0 whose product is at most pixelLimit, 3 <= bytes per pixel <= 16, a stride
// of at least width x bytes per pixel, and 36 + stride x height bytes or more.
TExchangeFileCheck ReadExchangeHeader(const std::uint8_t* data, std::size_t size,
                                      std::uint64_t pixelLimit, TExchangeFileHeader& header);

// Copies the rows of a file whose header ReadExchangeHeader accepted into
// dest, a 24-bit picture of the header's width and height, turning red,
// green, blue into the picture's blue, green, red.
void CopyExchangePixels(const std::uint8_t* data, const TExchangeFileHeader& header, TKvPixels& dest);

// The exchange file of a 24-bit picture: header size 32, kind 3, the
// picture's width, height and padded stride, 3 bytes per pixel, and exactly
// 36 + stride x height bytes.
std::vector<std::uint8_t> WriteExchangeFile(const TKvPixels& image);
