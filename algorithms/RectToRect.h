// Mappings from destination pixels to fractional source positions, used to
// draw a library object scaled into its thumbnail when it is saved and
// scaled, mirrored and turned into a picture when it is pasted.
//
// The first and last destination pixel of each axis map exactly onto the
// first and last source pixel.  With the aspect kept, the source is fitted
// into the destination and centred; Placed is the part of the destination it
// covers, the spare pixels split between the two sides.
#pragma once

#include "KvBitmap.h"

// Maps the pixels of Placed() linearly onto a source rectangle.
class TRectToRect {
public:
    TRectToRect(const TRect& source, bool keepAspect, const TRect& destination);
    virtual ~TRectToRect() = default;

    // The source position destination pixel (x, y) shows.
    virtual TPointF MapPoint(double x, double y) const;
    // MapPoint rounded to the nearest pixel, halves to even.
    TPoint MapPointRounded(double x, double y) const;
    // The destination rectangle the source covers (right and bottom exclusive).
    const TRect& Placed() const { return m_placed; }
    double ScaleX() const { return m_scaleX; }
    double ScaleY() const { return m_scaleY; }

private:
    // Shrinks Placed along the axis the source leaves room on, so that both
    // axes get the same scale.
    void KeepAspect(const TRect& source);
    void ComputeScales(const TRect& source);

    double m_sourceLeft;
    double m_sourceTop;
    double m_scaleX = 0;
    double m_scaleY = 0;
    TRect m_placed;
};

// The same mapping with the source turned about its centre: on screen (y
// downwards) the object shows turned clockwise by the angle.
class TRectToRotatedRect : public TRectToRect {
public:
    TRectToRotatedRect(const TRect& source, double angleDegrees, bool keepAspect, const TRect& destination);

    TPointF MapPoint(double x, double y) const override;

private:
    double m_cos; // of the angle
    double m_sin;
    TPointF m_centre; // the source's centre, in source coordinates
};
