// What a crop cuts away from a picture, kept so that undo can put the
// whole picture back. A crop narrows the picture to a window of its own
// storage without moving a pixel, so at first the margins are simply the
// rest of that storage, which this keeps a share of. Once the picture lives
// elsewhere (turned into new storage, say), Compact copies the four bands
// around the kept rectangle (above and below at full width, left and right
// at the kept height) out and lets the old storage go: a crop never holds
// more than the removed pixels for long. A crop command keeps one for the
// picture and one for the original picture.
#pragma once

#include "KvBitmap.h"

#include <array>
#include <cstddef>
#include <memory>

class TCropMargins {
public:
    // Keeps what undo needs of picture cut to keep (cut to the picture): a
    // share of its storage. False, and nothing kept, when keep misses the
    // picture or the picture has no storage.
    bool Take(const TKvPixelBuffer& picture, const TRect& keep);
    // When nothing but this holds the storage any more, copies the bands out
    // and frees the storage; should the memory for the bands be lacking, the
    // storage stays.
    void Compact();
    // Frees the bands and the share of the storage.
    void Release();
    bool IsEmpty() const { return m_whole.IsEmpty(); }

    // The picture's rectangle before the crop, and the part it kept.
    TRect Whole() const { return m_whole; }
    TRect Kept() const { return m_kept; }
    // Bytes kept alive for undo beyond what the picture uses: the removed
    // part of a storage still shared with the picture, all of one held
    // alone, or the bands.
    std::size_t Size() const;

    // Makes whole the picture as it was before the crop, from the margins
    // and the kept part taken from kept (the cropped picture, its top-left
    // pixel standing for Kept()'s). While kept is still the window the crop
    // left, whole becomes the storage's whole window again without moving a
    // pixel. False when nothing is kept, kept does not have the kept part's
    // size or format, or the memory cannot be had.
    bool Restore(const TKvPixelBuffer& kept, TKvPixelBuffer& whole);

private:
    // The picture before the crop as a window of the held storage.
    bool WholeWindow(TKvPixelBuffer& whole) const;
    // Where the kept part starts in the held storage.
    uint8_t* KeptData() const;

    TRect m_whole;
    TRect m_kept;
    TKvPixelFormat m_format = 0;
    // The storage shared with the picture, and where the whole picture lay
    // in it; null once compacted.
    std::shared_ptr<TKvPixelStorage> m_storage;
    uint8_t* m_wholeData = nullptr;
    int m_wholeStride = 0;
    std::array<TKvPixelBuffer, 4> m_bands;
};
