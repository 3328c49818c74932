// Pasting a library object into a picture, without Qt: the seven resampling
// filters, the sampling of the object at a fractional position, the mapping
// of a paste rectangle onto the object (stretched to fill it, turned about
// its centre, mirrored), the paste into the picture's pixels and the live
// preview drawn at the view's resolution.  The paste tool's commit and
// orvane-paste run RenderPaste, so both give the same pixels.
//
// Soft edges: the object's colours are averaged weighted by their matte, so
// the black margins around the object never darken its edge; an object
// copied at its own size without a turn is copied exactly, blended by its
// matte.
#pragma once

#include "BGRAlpha.h"
#include "KvBitmap.h"
#include "ViewPixels.h"

// The filters by index, as the paste tool and orvane-paste number them.
enum TPasteFilter : int {
    pfNearest = 0, // the live preview: the nearest pixel, opaque where the matte is at least 128
    pfTriangle = 1,
    pfHermite = 2, // the committed paste
    pfBell = 3,
    pfBSpline = 4,
    pfMitchell = 5,
    pfLanczos3 = 6,
};
constexpr int PasteFilterCount = 7;

// The filter's name ("Hermite") and support radius; the weight it gives a
// sample at distance d >= 0 (the kernel is radial).  Nearest has radius 0
// and weight 1 at distance 0 only.
const char* PasteFilterName(int filter);
double PasteFilterRadius(int filter);
double PasteFilterWeight(int filter, double d);

// Whole degrees brought into 0..359 (-1 is 359, 720 is 0).
int NormalizedRotation(long long degrees);

// Where and how the object is pasted.
struct TPastePlacement {
    // The rectangle the object is stretched into, in picture coordinates
    // (right and bottom exclusive); it may reach outside the picture.
    TRect Rect;
    // Clockwise on screen, 0..359.
    int Rotation = 0;
    // Mirrored left to right, top to bottom.
    bool FlipX = false;
    bool FlipY = false;
};

// The angle the object is sampled turned by: the rotation, or 360 minus it
// when exactly one axis is mirrored, so that a mirrored paste is the mirror
// image of the object turned by the rotation.
int SamplingAngle(const TPastePlacement& placement);

// The object's position each pixel of the paste rectangle shows, before the
// mirroring (the object's bounds stretched onto the rectangle and turned
// about its centre by the sampling angle); an affine map evaluated exactly
// per pixel.
class TPasteMapping {
public:
    TPasteMapping(const TBGRWithAlpha& object, const TPastePlacement& placement);
    TPointF MapPoint(int x, int y) const
    {
        const double dx = x - m_left;
        const double dy = y - m_top;
        return {m_origin.X + dx * m_stepX.X + dy * m_stepY.X, m_origin.Y + dx * m_stepX.Y + dy * m_stepY.Y};
    }

private:
    int m_left;
    int m_top;
    TPointF m_origin; // what (m_left, m_top) maps to
    TPointF m_stepX;  // the change one pixel to the right
    TPointF m_stepY;  // the change one pixel down
};

// Samples the object with one filter, mirrored as given.
class TPasteSampler {
public:
    TPasteSampler(const TBGRWithAlpha& object, int filter, bool flipX, bool flipY);
    // The object's colour at (x, y) (object pixels, before mirroring)
    // blended over background by its matte; the background where the object
    // is transparent or the filter finds no sample.
    TColorTriple Sample(TColorTriple background, double x, double y) const;

private:
    const TBGRWithAlpha& m_object;
    int m_filter;
    bool m_flipX;
    bool m_flipY;
};

// Draws the object into the picture over the part of placement.Rect inside
// the picture with the filter.  Returns the bounding rectangle of the pixels
// that changed: empty when none did (an empty object, a rectangle off the
// picture, a transparent part of the object).
TRect RenderPaste(TKvPixels& picture, const TBGRWithAlpha& object, const TPastePlacement& placement,
                  int filter = pfHermite);

// The live preview: every canvas pixel of view.Clip that shows a picture
// pixel of placement.Rect inside pictureBounds shows the nearest object
// pixel where that is opaque.  The picture itself is not touched.
void RenderPastePreview(TKvPixels& canvas, const TViewPixels& view, const TRect& pictureBounds,
                        const TBGRWithAlpha& object, const TPastePlacement& placement);
