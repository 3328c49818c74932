// Plain JPEG encoding of a 24-bit picture at a chosen quality (libjpeg's
// standard tables scaled to it, 4:2:0 sampling): how a library entry's
// picture is written when its source is no JPEG the lossless codec holds.
// The editor and orvane-cut call the same function, so that they write the
// same bytes.
#pragma once

#include "KvBitmap.h"

#include <cstdint>
#include <vector>

// The resolution a JPEG's header states, in dots per inch; 0 when unknown
// (the header then states none, only square pixels).
struct TJpegDensity {
    int X = 0;
    int Y = 0;
};

// Encodes the picture's pixels (24-bit BGR, read as they lie) at quality
// 1..100 (clamped); false, jpeg empty, when the picture is empty or the
// encoder fails.
bool EncodeJpegAtQuality(const TKvPixels& picture, int quality, std::vector<std::uint8_t>& jpeg,
                         TJpegDensity density = {});
