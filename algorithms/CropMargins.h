// What a crop cuts away from a picture, kept so that undo can put the
// whole picture back: the four bands around the kept rectangle (above and
// below at full width, left and right at the kept height), never the kept
// part itself, which stays in the document. A crop command keeps one for
// the picture and one for the original picture, so that a crop costs
// memory for the removed pixels only.
#pragma once

#include "KvBitmap.h"

#include <array>
#include <cstddef>

class TCropMargins {
public:
    // Copies the pixels of picture outside keep (cut to the picture).
    // False, and nothing kept, when keep misses the picture or the memory
    // cannot be had.
    bool Take(const TKvPixels& picture, const TRect& keep);
    // Frees the bands.
    void Release();
    bool IsEmpty() const { return m_whole.IsEmpty(); }

    // The picture's rectangle before the crop, and the part it kept.
    TRect Whole() const { return m_whole; }
    TRect Kept() const { return m_kept; }
    // Bytes the bands hold.
    std::size_t Size() const;

    // Makes whole the picture as it was before the crop: the bands, and the
    // kept part taken from kept (the cropped picture, its top-left pixel
    // standing for Kept()'s). False when nothing is kept, kept does not have
    // the kept part's size or format, or the memory cannot be had.
    bool Restore(const TKvPixels& kept, TKvPixelBuffer& whole) const;

private:
    TRect m_whole;
    TRect m_kept;
    std::array<TKvPixelBuffer, 4> m_bands;
};
