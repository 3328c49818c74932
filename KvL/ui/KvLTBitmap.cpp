#include "KvLTBitmap.h"

#include <QByteArray>
#include <QImageWriter>
#include <QPainter>
#include <QString>

#include <algorithm>
#include <cstring>

namespace {

constexpr int Step = 3; // bytes of a 24-bit pixel

// Side of the square blocks the turns move pixels in, so that the rows read
// and the rows written both stay in the cache.
constexpr int Tile = 64;

// Fills every pixel of dest with the source pixel sourceOf(x, y) names.
template <typename SourceOf>
void MovePixels(TKvPixels& dest, const TKvPixels& source, SourceOf sourceOf)
{
    for (int top = 0; top < dest.Height; top += Tile)
        for (int left = 0; left < dest.Width; left += Tile) {
            const int right = std::min(left + Tile, dest.Width);
            const int bottom = std::min(top + Tile, dest.Height);
            for (int y = top; y < bottom; ++y) {
                uint8_t* to = dest.PixelAt(left, y);
                for (int x = left; x < right; ++x, to += Step) {
                    const TPoint from = sourceOf(x, y);
                    std::memcpy(to, source.PixelAt(from.X, from.Y), Step);
                }
            }
        }
}

} // namespace

// ---------------------------------------------------------------------------
// Sizing

bool TKvLTBitmap::SetSize(int width, int height, TKvPixelFormat format)
{
    Release();
    if (width <= 0 || height <= 0)
        return false;
    return Buffer.SetFormat(format, RectOfSize(0, 0, width, height));
}

void TKvLTBitmap::Release() { Buffer.Release(); }

std::unique_ptr<TKvLTBitmap> TKvLTBitmap::Clone() const
{
    auto copy = std::make_unique<TKvLTBitmap>();
    if (!IsEmpty() && !copy->AssignPixels(Buffer))
        return nullptr;
    return copy;
}

bool TKvLTBitmap::AssignPixels(const TKvPixels& pixels)
{
    if (!SetSize(pixels.Width, pixels.Height, pixels.Format))
        return false;
    Buffer.CopyFrom(0, 0, pixels.GetBounds(), pixels);
    return true;
}

// ---------------------------------------------------------------------------
// Transformations

template <typename Fill>
bool TKvLTBitmap::Transform(int width, int height, Fill fill)
{
    if (Buffer.Format != PixelFormatBGR24 || IsEmpty())
        return false;
    TKvPixelBuffer fresh;
    if (!fresh.SetFormat(Buffer.Format, RectOfSize(0, 0, width, height)))
        return false;
    fill(fresh, Buffer);
    Buffer = std::move(fresh);
    return true;
}

bool TKvLTBitmap::Crop(const TRect& rect)
{
    const TRect r = IntersectRect(rect, GetBounds());
    if (r.IsEmpty())
        return false;
    return Transform(r.Width(), r.Height(),
                     [r](TKvPixels& to, const TKvPixels& from) { to.CopyFrom(0, 0, r, from); });
}

bool TKvLTBitmap::FlipHorizontal()
{
    const int w = Width();
    return Transform(w, Height(), [w](TKvPixels& to, const TKvPixels& from) {
        MovePixels(to, from, [w](int x, int y) { return TPoint{w - 1 - x, y}; });
    });
}

bool TKvLTBitmap::FlipVertical()
{
    const int h = Height();
    return Transform(Width(), h, [h](TKvPixels& to, const TKvPixels& from) {
        for (int y = 0; y < h; ++y)
            std::memcpy(to.PixelAt(0, y), from.PixelAt(0, h - 1 - y), std::size_t(to.Width) * Step);
    });
}

bool TKvLTBitmap::RotateLeft()
{
    // Old (x, y) goes to new (y, W - 1 - x).
    const int w = Width();
    return Transform(Height(), w, [w](TKvPixels& to, const TKvPixels& from) {
        MovePixels(to, from, [w](int x, int y) { return TPoint{w - 1 - y, x}; });
    });
}

bool TKvLTBitmap::RotateRight()
{
    // Old (x, y) goes to new (H - 1 - y, x).
    const int h = Height();
    return Transform(h, Width(), [h](TKvPixels& to, const TKvPixels& from) {
        MovePixels(to, from, [h](int x, int y) { return TPoint{y, h - 1 - x}; });
    });
}

// ---------------------------------------------------------------------------
// Painting and printing

QImage TKvLTBitmap::Image()
{
    const QImage::Format format = PixelFormatToQImage(Buffer.Format);
    if (IsEmpty() || format == QImage::Format_Invalid)
        return {};
    return QImage(Buffer.Data, Width(), Height(), Buffer.Stride, format);
}

QImage TKvLTBitmap::Image() const
{
    const QImage::Format format = PixelFormatToQImage(Buffer.Format);
    if (IsEmpty() || format == QImage::Format_Invalid)
        return {};
    return QImage(static_cast<const uchar*>(Buffer.Data), Width(), Height(), Buffer.Stride, format);
}

bool TKvLTBitmap::Draw(QPainter& dc, const TRect& destRect, std::optional<TRect> destClip,
                       std::optional<TRect> sourceRect) const
{
    const QImage image = Image();
    if (image.isNull() || !dc.isActive())
        return false;
    dc.save();
    if (destClip)
        dc.setClipRect(ToQRect(*destClip), Qt::IntersectClip);
    dc.setCompositionMode(QPainter::CompositionMode_Source); // a plain copy, alpha included
    dc.drawImage(QRectF(ToQRect(destRect)), image, QRectF(ToQRect(sourceRect.value_or(GetBounds()))));
    dc.restore();
    return true;
}

bool TKvLTBitmap::Print(QPainter& dc, const TRect& rect) const
{
    const QImage image = Image();
    if (image.isNull() || !dc.isActive())
        return false;
    dc.save();
    dc.setRenderHint(QPainter::SmoothPixmapTransform); // paper resolution differs from the picture's
    dc.drawImage(QRectF(ToQRect(rect)), image);
    dc.restore();
    return true;
}

// ---------------------------------------------------------------------------
// Conversions

QImage::Format PixelFormatToQImage(TKvPixelFormat format)
{
    switch (format) {
    case PixelFormatBGR24: return QImage::Format_BGR888;
    // A 32-bit ARGB word in little-endian memory is the bytes blue, green, red, alpha.
    case PixelFormatBGRA32: return QImage::Format_ARGB32;
    default: return QImage::Format_Invalid;
    }
}

int FindImageEncoder(const QString& mimeType, QByteArray& format)
{
    const int index = int(QImageWriter::supportedMimeTypes().indexOf(mimeType.toLatin1()));
    if (index >= 0)
        format = QImageWriter::imageFormatsForMimeType(mimeType.toLatin1()).value(0);
    return index;
}
