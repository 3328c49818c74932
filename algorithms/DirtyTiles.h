// The changed parts of a picture, kept as the square tiles they touch: the
// scattered changes of a long step (the cut growing all along a band around
// an object) are repainted as those tiles, not as the one rectangle around
// them all, which would be most of the picture at every generation.
#pragma once

#include "KvTypes.h"

#include <cstdint>
#include <vector>

class TDirtyTiles {
public:
    static constexpr int TileSize = 32;

    // A picture of width x height pixels with nothing changed.
    void SetSize(int width, int height);
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    // The pixels of rect changed (clipped to the picture).
    void Add(const TRect& rect);
    // Everything other (of the same size) holds changed.
    void Add(const TDirtyTiles& other);
    void Clear();
    bool IsEmpty() const { return m_bounds.IsEmpty(); }
    // The smallest rectangle around every change.
    TRect Bounds() const { return m_bounds; }
    // The changed tiles, neighbouring tiles of a row joined into one
    // rectangle, cut to Bounds: together they cover every change.
    std::vector<TRect> Rects() const;

private:
    int m_width = 0;
    int m_height = 0;
    int m_columns = 0;
    std::vector<std::uint8_t> m_tiles; // row after row, 1 where changed
    TRect m_bounds;
};
