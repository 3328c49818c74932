// The lossless quarter turns and mirrors of 24-bit pictures: every pixel is
// moved, none is resampled. The document's bitmaps turn and mirror
// themselves with these, and the rotate tool's preview turns its thumbnail
// with them. They are fast enough for a 24-megapixel photo to turn at a
// click: blocks of 4 x 4 pixels are exchanged in vector registers where the
// processor has them, and large pictures are split among the processor's
// cores.
#pragma once

#include "KvBitmap.h"

#include <vector>

// What is done to the picture.
enum class TPixelTurn {
    Left,           // a quarter turn counter-clockwise
    Right,          // a quarter turn clockwise
    MirrorX,        // left and right exchanged
    MirrorY,        // top and bottom exchanged
};

// The size of the picture after the turn (width and height exchanged for
// quarter turns).
TRect TurnedBounds(TPixelTurn turn, int width, int height);

// Writes the turned source into to, which must already have the turned size
// (TurnedBounds) and both must be 24-bit with their own storage; to's
// position is ignored. False, with nothing written, otherwise.
bool TurnPixels(TPixelTurn turn, const TKvPixels& from, TKvPixels& to);

// A sequence of turns and mirrors kept as the one orientation they make: a
// transposition (x and y exchanged) or none, then left and right
// exchanged or not, then top and bottom. Turning a picture by Steps() does
// what the sequence did, in at most two passes. The document keeps the
// turns of its original picture this way until the original is looked at.
struct TPixelOrientation {
    bool Transposed = false;
    bool MirroredX = false;
    bool MirroredY = false;

    bool IsIdentity() const { return !Transposed && !MirroredX && !MirroredY; }
    // The orientation of the sequence followed by turn.
    void Then(TPixelTurn turn);
    // The passes that turn a picture by the orientation (none for the
    // identity, at most two).
    std::vector<TPixelTurn> Steps() const;

    friend bool operator==(const TPixelOrientation&, const TPixelOrientation&) = default;
};
