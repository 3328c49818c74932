#include "KvLTBitmap.h"

#include <QByteArray>
#include <QImageWriter>
#include <QPainter>
#include <QString>

#include <algorithm>

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

bool TKvLTBitmap::Turned(TPixelTurn turn, TKvPixelBuffer& into) const
{
    into.Release();
    if (Buffer.Format != PixelFormatBGR24 || IsEmpty())
        return false;
    if (!into.SetFormatForOverwrite(Buffer.Format, TurnedBounds(turn, Width(), Height())) || !TurnPixels(turn, Buffer, into)) {
        into.Release();
        return false;
    }
    return true;
}

bool TKvLTBitmap::Cropped(const TRect& rect, TKvPixelBuffer& into) const
{
    into.Release();
    const TRect r = IntersectRect(rect, GetBounds());
    if (r.IsEmpty() || IsEmpty() || Buffer.Format != PixelFormatBGR24
        || !into.SetFormatForOverwrite(Buffer.Format, RectOfSize(0, 0, r.Width(), r.Height())))
        return false;
    into.CopyFrom(0, 0, r, Buffer);
    return true;
}

bool TKvLTBitmap::CropInPlace(const TRect& rect)
{
    const TRect r = IntersectRect(rect, GetBounds());
    if (r.IsEmpty() || IsEmpty() || Buffer.Format != PixelFormatBGR24)
        return false;
    Buffer.ShrinkTo(r);
    return true;
}

void TKvLTBitmap::Adopt(TKvPixelBuffer&& pixels)
{
    Buffer = std::move(pixels);
    Buffer.Left = 0;
    Buffer.Top = 0;
}

bool TKvLTBitmap::Turn(TPixelTurn turn)
{
    TKvPixelBuffer turned;
    if (!Turned(turn, turned))
        return false;
    Adopt(std::move(turned));
    return true;
}

bool TKvLTBitmap::Crop(const TRect& rect)
{
    TKvPixelBuffer cut;
    if (!Cropped(rect, cut))
        return false;
    Adopt(std::move(cut));
    return true;
}

bool TKvLTBitmap::FlipHorizontal() { return Turn(TPixelTurn::MirrorX); }

bool TKvLTBitmap::FlipVertical() { return Turn(TPixelTurn::MirrorY); }

bool TKvLTBitmap::RotateLeft() { return Turn(TPixelTurn::Left); }

bool TKvLTBitmap::RotateRight() { return Turn(TPixelTurn::Right); }

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
