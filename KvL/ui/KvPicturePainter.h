// Paints a picture at a view's zoom into the pixels of the view's canvas.
// Only the pixels asked for are computed: at 1:1 rows are copied, enlarged
// pictures show each picture pixel as a block (nearest neighbour, so that
// the pixel under the mouse is the one the status bar reports), and reduced
// pictures are resampled (Lanczos, or the mean for strong reductions) into a
// scaled copy that is kept, region by region, until the zoom, the picture or
// its pixels change. While a tonal curve is being tried on the picture, the
// kept copy follows each new curve at once (the curve applied to the copy
// scaled from the picture as it was), until it is made exact again.
#pragma once

#include "KvBitmap.h"
#include "KvCurves.h"
#include "KvMapMode.h"

#include <QRegion>

#include <cstdint>

class TKvPicturePainter {
public:
    // Scaled copies with more pixels than this are not kept: such zooms are
    // resampled straight into the canvas at every paint.
    static constexpr std::int64_t MaxCachedPixels = std::int64_t(48) << 20;

    // Paints the device pixels of region that show sourceRect of picture
    // (mapped by mapMode; views keep its logical origin at (0, 0)) into target, whose
    // pixel (x, y) is device pixel (x, y). Both are 24-bit.
    void Paint(TKvPixels& target, const QRegion& region, const TKvPixels& picture, const TRect& sourceRect,
               const TKvMapMode& mapMode);

    // The picture's pixels inside rect (picture coordinates) changed.
    void Invalidate(const TRect& rect);
    // The picture was replaced or changed its size: nothing kept is valid.
    void Reset();

    // The filter a reduction by these extents is resampled with.
    static const TPixelResampler& ReductionKernel(const QPoint& deviceExtent, const QPoint& logicalExtent);

    // A run of tone changes: the picture's pixels become table(p) of what
    // they were when the run began. BeginTone remembers the scaled copy;
    // ShowTone makes it table(remembered) without reading the picture (the
    // table applied after the scaling instead of before, which differs only
    // where the curve bends) and returns false when nothing was
    // remembered; Exact forgets the shortcut's result, so that the next
    // paint scales the picture again; EndTone ends the run.
    void BeginTone();
    bool ShowTone(const TKvLUT& table);
    void EndTone();
    bool ShowsTone() const { return m_toneBase.Data != nullptr; }

    // Whether a scaled copy is kept (for tests and measurements).
    bool HasScaledCopy() const { return m_scaled.Data != nullptr; }

private:
    // One axis of the map mode (its logical origin is 0):
    // device = origin + floor(logical * deviceExtent / logicalExtent).
    struct TAxis {
        int Origin;
        int DeviceExtent;
        int LogicalExtent;
        int ToLogical(int device) const;
        int ToDevice(int logical) const;
        bool Reduces() const { return DeviceExtent < LogicalExtent; }
    };

    void CopyUnscaled(TKvPixels& target, const TRect& rect, const TKvPixels& picture, const TAxis& x,
                      const TAxis& y) const;
    void CopyEnlarged(TKvPixels& target, const TRect& rect, const TKvPixels& picture, const TAxis& x,
                      const TAxis& y) const;
    void PaintReduced(TKvPixels& target, const QRegion& region, const TKvPixels& picture, const TAxis& x,
                      const TAxis& y);
    // Makes the scaled copy fit the picture, whose device rectangle is
    // whole, and the zoom; false when it is too large to keep.
    bool PrepareScaledCopy(const TKvPixels& picture, const TRect& whole, const TAxis& x, const TAxis& y);

    // The scaled copy of the whole picture: its pixel (x, y) is device pixel
    // (x + x origin, y + y origin). m_valid holds the parts computed.
    TKvPixelBuffer m_scaled;
    QRegion m_valid;
    // The scaled copy and its computed parts when the tone run began.
    TKvPixelBuffer m_toneBase;
    QRegion m_toneValid;
    const uint8_t* m_scaledFrom = nullptr;
    int m_pictureWidth = 0;
    int m_pictureHeight = 0;
    QPoint m_deviceExtent;
    QPoint m_logicalExtent;
};
