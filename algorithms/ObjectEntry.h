// Building a library entry from the object the clipping work shows: the
// picture cut to the object's bounding rectangle as JPEG, the matte of that
// rectangle compressed, and a thumbnail of the object on the checkerboard.
// The clipping tool's Save Object and orvane-cut --save-object build entries
// here, from the picture and the region alone (the document is not touched),
// and write them with WriteObjectEntry.
#pragma once

#include "Files.h"
#include "MarkedRegion.h"
#include "Thumbnail.h"

#include <cstdint>
#include <functional>
#include <vector>

// Encodes the picture cut to the object's rectangle as the entry's JPEG:
// cut's bounds are that rectangle in picture coordinates.  The editor and
// orvane-cut pass the same encoder for the same source, the lossless codec's
// for a JPEG it holds, otherwise one at a chosen quality.  Called on a
// worker thread while the matte is built; false when it fails.
using TEntryJpegEncoder = std::function<bool(const TKvPixels& cut, std::vector<std::uint8_t>& jpeg)>;

// The bounding rectangle of the pixels labelled as object (8..39); empty when
// there is none.
TRect ObjectBounds(const TMarkedRegion& region);

// The object in bounds scaled into a StandardSize square with its aspect
// kept, on the checkerboard: every thumbnail pixel whose source pixel is
// labelled as object shows that pixel of the picture.
TThumbnail MakeObjectThumbnail(const TMarkedRegion& region, const TRect& bounds);

enum class TEntryBuild {
    Built,
    NoObject,      // no pixel is labelled as object: nothing to save
    EncodingFailed // the encoder refused
};

// The files of an entry for the object shown on the region's picture.
TEntryBuild BuildObjectEntry(const TMarkedRegion& region, const TEntryJpegEncoder& encode, TObjectEntryFiles& files);
