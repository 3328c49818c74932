// Whole-picture pixel loops split among the processor's cores: the rows of
// a large picture are cut into bands, one per core (at most four), each
// worked on by its own thread while the caller waits. Small pictures stay
// on the calling thread. Used by the turns and mirrors, the tonal curve, the
// paste and text rendering, whole-picture copies and the lossless JPEG
// save's blocks, whose bands never share what they write.
#pragma once

#include "KvBitmap.h"

#include <functional>

// Pictures with fewer pixels than this are not split.
constexpr long long ParallelRowsMinimum = 1 << 20;

// Calls work(y0, y1) for bands of rows that together cover 0 .. height - 1,
// each band a whole number of 4-row blocks except the last; returns when
// every band is done. A band no thread can be had for is done by the caller.
void ForEachRowBand(int height, long long pixels, const std::function<void(int y0, int y1)>& work);

// TKvPixels::Assign in bands of rows: the overlap of source copied into
// target at equal image coordinates.
void AssignInBands(TKvPixels& target, const TKvPixels& source);
