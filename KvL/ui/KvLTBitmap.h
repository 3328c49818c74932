// The bitmap every document picture lives in, painted and printed through Qt.
#pragma once

#include "KvBitmap.h"
#include "PixelTurns.h"

#include <QImage>
#include <QRect>

#include <memory>

class QByteArray;
class QString;

// A picture of the program's own pixels (page-allocated, rows top to bottom)
// that paints itself with QPainter straight from those pixels, and turns,
// flips and crops itself by moving them.  The pixel rectangle is
// (0, 0, Width, Height); its storage changes with every size change and
// transformation, so callers ask for Pixels() again afterwards.
class TKvLTBitmap : public TKvBitmap {
public:
    TKvLTBitmap() = default;
    TKvLTBitmap(const TKvLTBitmap&) = delete;
    TKvLTBitmap& operator=(const TKvLTBitmap&) = delete;
    ~TKvLTBitmap() override = default;

    int Width() const override { return Buffer.Width; }
    int Height() const override { return Buffer.Height; }
    TKvPixels& Pixels() override { return Buffer; }
    const TKvPixels& Pixels() const override { return Buffer; }
    // The pixels with their storage, for a keeper that shares it.
    const TKvPixelBuffer& PixelBuffer() const { return Buffer; }
    bool Draw(QPainter& dc, const TRect& destRect, std::optional<TRect> destClip = {},
              std::optional<TRect> sourceRect = {}) const override;
    bool Print(QPainter& dc, const TRect& rect) const override;

    TRect GetBounds() const { return RectOfSize(0, 0, Width(), Height()); }
    bool IsEmpty() const { return Buffer.Data == nullptr; }

    // A new black picture; false, and the bitmap empty, when the size has no
    // area or the memory cannot be had.
    bool SetSize(int width, int height, TKvPixelFormat format);
    // Frees the pixels; the bitmap is empty.
    void Release();
    // A copy with its own pixels; null when the memory cannot be had.
    std::unique_ptr<TKvLTBitmap> Clone() const;
    // Becomes a copy of the pixel rectangle, whose top-left pixel becomes (0, 0).
    bool AssignPixels(const TKvPixels& pixels);

    // Keeps only the part of the picture inside rect, which becomes (0, 0);
    // and the lossless quarter turns and mirrors.  Each works on 24-bit
    // pictures only and returns false, the bitmap unchanged, for other
    // formats, when rect misses the picture or when the memory for the new
    // picture cannot be had.
    bool Crop(const TRect& rect);
    bool FlipHorizontal();
    bool FlipVertical();
    bool RotateLeft();  // a quarter turn counter-clockwise
    bool RotateRight(); // a quarter turn clockwise
    bool Turn(TPixelTurn turn);

    // The same, made into a new buffer (at (0, 0)) while the bitmap stays
    // as it is, so that a caller changing several bitmaps together can
    // prepare every result before it changes any: false, into empty, when
    // the bitmap cannot be turned or cut.
    bool Turned(TPixelTurn turn, TKvPixelBuffer& into) const;
    bool Cropped(const TRect& rect, TKvPixelBuffer& into) const;
    // Crop without new memory and without moving a pixel: the bitmap becomes
    // a window of its storage, whose rest stays until the storage is freed
    // (a crop's undo shares it). False, nothing changed, when rect misses
    // the picture or the format is not 24-bit.
    bool CropInPlace(const TRect& rect);
    // Takes over the buffer's pixels (placed at (0, 0)) without copying them.
    void Adopt(TKvPixelBuffer&& pixels);

    // A QImage over the pixels without a copy: painting into it changes the
    // picture.  Valid until the next size change or transformation; null
    // for an empty bitmap or a format QImage does not know.
    QImage Image();
    // The same for reading; a QImage change detaches into a copy.
    QImage Image() const;

private:
    TKvPixelBuffer Buffer; // placed at (0, 0)
};

// The QImage format with the same bytes in memory as the pixel format;
// QImage::Format_Invalid for formats without one.
QImage::Format PixelFormatToQImage(TKvPixelFormat format);

// The index in QImageWriter::supportedMimeTypes() of the MIME type (for
// example "image/jpeg") and, in format, the name QImageWriter writes it
// under; -1, format untouched, when no writer is installed for it.
int FindImageEncoder(const QString& mimeType, QByteArray& format);

inline QRect ToQRect(const TRect& r) { return QRect(r.Left, r.Top, r.Width(), r.Height()); }
inline TRect FromQRect(const QRect& r) { return RectOfSize(r.x(), r.y(), r.width(), r.height()); }
