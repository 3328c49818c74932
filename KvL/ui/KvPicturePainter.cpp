#include "KvPicturePainter.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

namespace {

constexpr int Step = 3; // bytes of a 24-bit pixel

// Scaled pixels further than this from a changed picture pixel do not
// depend on it: the kernels reach 3 scaled pixels at most, one more covers
// the rounding of the edges.
constexpr int KernelReach = 4;

// The mean of the picture pixels a scaled pixel covers.
class TBoxResampler : public TPixelResampler {
public:
    double KernelValue(double x) const override { return std::abs(x) <= 0.5 ? 1.0 : 0.0; }
    double SupportRadius() const override { return 0.5; }
};

// Reductions from this factor on average the picture pixels instead: the
// Lanczos kernel reads every picture pixel six times over, which a
// 600-megapixel picture makes seconds long, and at such reductions the
// mean is as sharp to the eye.
constexpr double BoxReduction = 6.0;

// floor(a / b) for b > 0.
std::int64_t FloorDiv(std::int64_t a, std::int64_t b)
{
    const std::int64_t q = a / b;
    return (a % b != 0 && a < 0) ? q - 1 : q;
}

TRect ToTRect(const QRect& r) { return RectOfSize(r.x(), r.y(), r.width(), r.height()); }
QRect ToQRect(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }

} // namespace

const TPixelResampler& TKvPicturePainter::ReductionKernel(const QPoint& deviceExtent, const QPoint& logicalExtent)
{
    static const TLanczosResampler lanczos;
    static const TBoxResampler box;
    const double reduction = std::min(double(logicalExtent.x()) / deviceExtent.x(),
                                      double(logicalExtent.y()) / deviceExtent.y());
    return reduction >= BoxReduction ? static_cast<const TPixelResampler&>(box) : lanczos;
}

int TKvPicturePainter::TAxis::ToLogical(int device) const
{
    return int(FloorDiv((std::int64_t(device) - Origin) * LogicalExtent, DeviceExtent));
}

int TKvPicturePainter::TAxis::ToDevice(int logical) const
{
    return int(Origin + FloorDiv(std::int64_t(logical) * DeviceExtent, LogicalExtent));
}

void TKvPicturePainter::Paint(TKvPixels& target, const QRegion& region, const TKvPixels& picture,
                              const TRect& sourceRect, const TKvMapMode& mapMode)
{
    if (!target.Data || !picture.Data || target.BytesPerPixel != Step || picture.BytesPerPixel != Step)
        return;
    const TAxis x{mapMode.DeviceOrigin.x(), mapMode.DeviceExtent.x(), mapMode.LogicalExtent.x()};
    const TAxis y{mapMode.DeviceOrigin.y(), mapMode.DeviceExtent.y(), mapMode.LogicalExtent.y()};
    if (x.DeviceExtent <= 0 || x.LogicalExtent <= 0 || y.DeviceExtent <= 0 || y.LogicalExtent <= 0)
        return;
    const TRect source = IntersectRect(sourceRect, picture.GetBounds());
    if (source.IsEmpty())
        return;
    const QRect shown = QRect(QPoint(x.ToDevice(source.Left), y.ToDevice(source.Top)),
                              QPoint(x.ToDevice(source.Right) - 1, y.ToDevice(source.Bottom) - 1))
        & ToQRect(target.GetBounds());
    if (shown.isEmpty())
        return;

    const bool unscaled = x.DeviceExtent == x.LogicalExtent && y.DeviceExtent == y.LogicalExtent;
    const bool reduced = x.Reduces() || y.Reduces();
    const QRegion painted = region & shown;
    if (!unscaled && reduced) {
        PaintReduced(target, painted, picture, x, y);
        return;
    }
    for (const QRect& r : painted) {
        const TRect rect = ToTRect(r);
        if (unscaled)
            CopyUnscaled(target, rect, picture, x, y);
        else
            CopyEnlarged(target, rect, picture, x, y);
    }
}

void TKvPicturePainter::CopyUnscaled(TKvPixels& target, const TRect& rect, const TKvPixels& picture,
                                     const TAxis& x, const TAxis& y) const
{
    const std::size_t bytes = std::size_t(rect.Width()) * Step;
    const int left = x.ToLogical(rect.Left);
    for (int row = rect.Top; row < rect.Bottom; ++row)
        std::memcpy(target.PixelAt(rect.Left, row), picture.PixelAt(left, y.ToLogical(row)), bytes);
}

// Each device pixel shows the picture pixel DeviceToLogical names; a row of
// device pixels that shows the same picture row as the one above is copied
// from it.
void TKvPicturePainter::CopyEnlarged(TKvPixels& target, const TRect& rect, const TKvPixels& picture,
                                     const TAxis& x, const TAxis& y) const
{
    const TRect bounds = picture.GetBounds();
    std::vector<std::ptrdiff_t> columnOffsets(std::size_t(rect.Width()));
    for (int column = rect.Left; column < rect.Right; ++column) {
        const int logical = std::clamp(x.ToLogical(column), bounds.Left, bounds.Right - 1);
        columnOffsets[std::size_t(column - rect.Left)] = std::ptrdiff_t(logical - bounds.Left) * Step;
    }
    const std::size_t bytes = std::size_t(rect.Width()) * Step;
    int previousSourceRow = bounds.Top - 1;
    for (int row = rect.Top; row < rect.Bottom; ++row) {
        const int sourceRow = std::clamp(y.ToLogical(row), bounds.Top, bounds.Bottom - 1);
        uint8_t* to = target.PixelAt(rect.Left, row);
        if (sourceRow == previousSourceRow) {
            std::memcpy(to, target.PixelAt(rect.Left, row - 1), bytes);
            continue;
        }
        previousSourceRow = sourceRow;
        const uint8_t* from = picture.PixelAt(bounds.Left, sourceRow);
        for (std::ptrdiff_t offset : columnOffsets) {
            std::memcpy(to, from + offset, Step);
            to += Step;
        }
    }
}

void TKvPicturePainter::PaintReduced(TKvPixels& target, const QRegion& region, const TKvPixels& picture,
                                     const TAxis& x, const TAxis& y)
{
    const TRect bounds = picture.GetBounds();
    // The whole picture's device rectangle: the resampler's destination.
    const TRect whole{x.ToDevice(bounds.Left), y.ToDevice(bounds.Top), x.ToDevice(bounds.Right),
                      y.ToDevice(bounds.Bottom)};
    const TPixelResampler& kernel = ReductionKernel({x.DeviceExtent, y.DeviceExtent}, {x.LogicalExtent, y.LogicalExtent});
    if (!PrepareScaledCopy(picture, whole, x, y)) {
        for (const QRect& r : region)
            ResamplePixels(target, whole, ToTRect(r), kernel, bounds, picture);
        return;
    }
    // The scaled copy is the whole device rectangle moved to (0, 0). The
    // region is worked on as one: a picture step's repaint asks for many
    // small rectangles, and each operation on the computed parts costs as
    // much as they have pieces.
    const QRegion wanted = region.translated(-whole.Left, -whole.Top) & ToQRect(m_scaled.GetBounds());
    const QRegion missing = wanted - m_valid;
    const TRect scaledBounds = m_scaled.GetBounds();
    for (const QRect& m : missing)
        ResamplePixels(m_scaled, scaledBounds, ToTRect(m), kernel, bounds, picture);
    m_valid += missing;
    for (const QRect& w : wanted) {
        const TRect copied = ToTRect(w);
        target.CopyFrom(copied.Left + whole.Left, copied.Top + whole.Top, copied, m_scaled);
    }
}

bool TKvPicturePainter::PrepareScaledCopy(const TKvPixels& picture, const TRect& whole, const TAxis& x,
                                          const TAxis& y)
{
    const QPoint deviceExtent(x.DeviceExtent, y.DeviceExtent);
    const QPoint logicalExtent(x.LogicalExtent, y.LogicalExtent);
    if (m_scaled.Data && m_scaledFrom == picture.Data && m_pictureWidth == picture.Width
        && m_pictureHeight == picture.Height && m_deviceExtent == deviceExtent && m_logicalExtent == logicalExtent)
        return true;
    Reset();
    const int width = whole.Width();
    const int height = whole.Height();
    if (width <= 0 || height <= 0 || std::int64_t(width) * height > MaxCachedPixels)
        return false;
    if (!m_scaled.SetFormat(picture.Format, RectOfSize(0, 0, width, height)))
        return false;
    m_scaledFrom = picture.Data;
    m_pictureWidth = picture.Width;
    m_pictureHeight = picture.Height;
    m_deviceExtent = deviceExtent;
    m_logicalExtent = logicalExtent;
    return true;
}

void TKvPicturePainter::Invalidate(const TRect& rect)
{
    if (!m_scaled.Data || m_valid.isEmpty() || rect.IsEmpty())
        return;
    const auto toScaled = [](int logical, int deviceExtent, int logicalExtent) {
        return int(FloorDiv(std::int64_t(logical) * deviceExtent, logicalExtent));
    };
    const int left = toScaled(rect.Left, m_deviceExtent.x(), m_logicalExtent.x()) - KernelReach;
    const int top = toScaled(rect.Top, m_deviceExtent.y(), m_logicalExtent.y()) - KernelReach;
    const int right = toScaled(rect.Right, m_deviceExtent.x(), m_logicalExtent.x()) + 1 + KernelReach;
    const int bottom = toScaled(rect.Bottom, m_deviceExtent.y(), m_logicalExtent.y()) + 1 + KernelReach;
    m_valid -= QRect(QPoint(left, top), QPoint(right - 1, bottom - 1));
}

void TKvPicturePainter::BeginTone()
{
    EndTone();
    if (!m_scaled.Data || m_valid.isEmpty())
        return;
    if (m_toneBase.SetFormatForOverwrite(m_scaled.Format, m_scaled.GetBounds())) {
        m_toneBase.Assign(m_scaled);
        m_toneValid = m_valid;
    }
}

bool TKvPicturePainter::ShowTone(const TKvLUT& table)
{
    if (!m_toneBase.Data || !m_scaled.Data || m_scaled.GetBounds() != m_toneBase.GetBounds())
        return false;
    ApplyLUT(m_toneBase, m_scaled, table);
    m_valid = m_toneValid;
    return true;
}

void TKvPicturePainter::EndTone()
{
    m_toneBase.Release();
    m_toneValid = QRegion();
}

void TKvPicturePainter::Reset()
{
    EndTone();
    m_scaled.Release();
    m_valid = QRegion();
    m_scaledFrom = nullptr;
    m_pictureWidth = 0;
    m_pictureHeight = 0;
    m_deviceExtent = {};
    m_logicalExtent = {};
}
