// The raster core: pixel rectangles over memory, pixel buffers that own
// their storage, coverage masks, the abstract document bitmap, Lanczos
// resampling in fixed-point arithmetic, and the small colour, point and
// rectangle helpers the rest of the program shares.
//
// Every picture of the program is 24 bits per pixel, bytes blue, green, red,
// rows top to bottom, each row padded to a multiple of 4 bytes.
#pragma once

#include "KvTypes.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

// Bitmaps draw through a QPainter; the raster core itself never uses Qt, it
// only names the type in the drawing interface its implementations provide.
class QPainter;

// ---------------------------------------------------------------------------
// Pixel formats

// A pixel format code: bits 0-3 colour model, 4-7 channel depth, 8-11 extra
// alpha channel (1 = present), 12-15 a flag without effect on the size.
using TKvPixelFormat = uint32_t;

constexpr TKvPixelFormat PixelFormatBGR24 = 0x1012;  // bytes blue, green, red
constexpr TKvPixelFormat PixelFormatBGRA32 = 0x1112; // bytes blue, green, red, alpha

// Bits one pixel of the format takes; 0 for an undefined colour model.
constexpr int BitsPerPixel(TKvPixelFormat format)
{
    int bits = 0;
    switch (format & 0xF) {
    case 1: bits = 8; break;
    case 2: case 3: case 4: case 5: case 7: case 8: bits = 24; break;
    case 6: bits = 32; break;
    default: return 0;
    }
    if (((format >> 8) & 0xF) == 1)
        bits += 8;
    switch ((format >> 4) & 0xF) {
    case 2: case 3: bits *= 2; break;
    case 4: bits *= 4; break;
    default: break;
    }
    return bits;
}

// Bytes of one row of `width` pixels, padded to whole 32-bit words; 0 for a
// width of 0 or less, -1 when the row would not fit a 32-bit stride.
int PaddedStride(TKvPixelFormat format, int width);
// a * b / c with a 64-bit intermediate, rounded half away from zero (the
// integer multiply-divide sizes and zooms are computed with); -1 when c is 0
// or the result does not fit an int.
int MulDiv(int a, int b, int c);

// ---------------------------------------------------------------------------
// Colour representations

// A user-interface colour, $00BBGGRR: red in the low byte.
using TColor = uint32_t;

// A packed pixel value is the three bytes of a 24-bit pixel read as a
// little-endian integer, $00RRGGBB: blue in the low byte.
using TPackedPixel = uint32_t;

// Three bytes as stored in a 24-bit pixel.
struct TColorTriple {
    uint8_t Blue = 0;  // byte 0
    uint8_t Green = 0; // byte 1
    uint8_t Red = 0;   // byte 2

    friend constexpr bool operator==(const TColorTriple&, const TColorTriple&) = default;
};
static_assert(sizeof(TColorTriple) == 3);

// A colour for summing and averaging: x, y, z hold bytes 0, 1, 2 of a triple
// (so x is blue).
struct TColorVector {
    float x = 0;
    float y = 0;
    float z = 0;

    friend constexpr bool operator==(const TColorVector&, const TColorVector&) = default;
};

constexpr TColorTriple RGBToTriple(uint8_t r, uint8_t g, uint8_t b) { return {b, g, r}; }

// Blends the packed colour into the 24-bit pixel with coverage alpha
// (0 leaves the pixel, 255 replaces it).
void BlendIntoPixel(uint8_t* pixel, uint8_t alpha, TPackedPixel packed);

double ClampFloat(double value, double lo, double hi);
// The value clamped to 0..255 and rounded to nearest, ties to even.
uint8_t ClampToByte(double value);
TColorVector ScaleVector(const TColorVector& v, float k);
TColorVector TripleToVector(const TColorTriple& triple);
TColorVector PackedToVector(TPackedPixel packed);
TColorTriple VectorToTriple(const TColorVector& v);

// ---------------------------------------------------------------------------
// Real-valued points

struct TPointF {
    double X = 0;
    double Y = 0;

    friend constexpr bool operator==(const TPointF&, const TPointF&) = default;
};

constexpr TPointF PointF(double x, double y) { return {x, y}; }
constexpr TPointF ToPointF(TPoint p) { return {double(p.X), double(p.Y)}; }
// p turned about centre by angle radians (clockwise on screen, y down).
TPointF RotatePoint(const TPointF& p, const TPointF& centre, double angle);
double Distance(const TPointF& a, const TPointF& b);
double Distance(const TPointF& a, TPoint b);

// ---------------------------------------------------------------------------
// Rectangles and the resize handles of a rectangle moved on screen

// Grows rect to cover pixel (x, y).  Starting from the inverted rectangle
// (width - 1, height - 1, 0, 0) it accumulates the bounds of the pixels added.
void IncludePoint(TRect& rect, int x, int y);
// The rectangle with its corners ordered (Left <= Right, Top <= Bottom).
TRect NormalizeRect(const TRect& rect);

// Handle numbers: what a point hits on a rectangle.
enum THandle : int {
    HandleNone = 0,
    HandleBody = 3,         // the inside: moves the whole rectangle
    HandleTop = 4,
    HandleTopRight = 5,
    HandleRight = 6,
    HandleBottomRight = 7,
    HandleBottom = 8,
    HandleBottomLeft = 9,
    HandleLeft = 10,
    HandleTopLeft = 11,
};

constexpr int DefaultHandleSize = 9;

// Where the handle sits on rect; (0, 0) for a number that is no handle.
TPoint HandlePoint(const TRect& rect, int handle);
// The square of side size (DefaultHandleSize when 0) centred on point.
TRect HandleRect(TPoint point, int size);
// The handle of rect under point: the first of 4..11 whose square contains
// it, else HandleBody inside rect, else HandleNone.
int HitHandle(const TRect& rect, TPoint point);
// rect with the edges the handle drags moved by (dx, dy); unchanged for a
// number that is no handle.
TRect MoveHandle(const TRect& rect, int handle, int dx, int dy);
// The colour of the transparency checkerboard at (x, y) for squares of side
// cell: grey $A9A9A9 or near-white $FFFFFE.
TColor CheckerColor(int x, int y, int cell);

// Fits width x height into the box keeping its proportions; false (outputs
// untouched) when the box or the picture has no area.
bool FitSize(int width, int height, int boxWidth, int boxHeight, int& newWidth, int& newHeight);

// ---------------------------------------------------------------------------
// Pixel rectangles

// A rectangle of pixels laid over memory it does not own.  Pixel (x, y), in
// image coordinates, starts at Data + (x - Left) * BytesPerPixel + (y - Top) *
// Stride; callers keep (x, y) within GetBounds().
class TKvPixels {
public:
    uint8_t* Data = nullptr; // the pixel at (Left, Top); null without storage
    int Left = 0;
    int Top = 0;
    int Width = 0;
    int Height = 0;
    int Stride = 0; // bytes from one row to the next
    TKvPixelFormat Format = 0;
    int BytesPerPixel = 0;

    TKvPixels() = default;
    TKvPixels(const TKvPixels&) = default;
    TKvPixels& operator=(const TKvPixels&) = default;
    virtual ~TKvPixels() = default;

    // Wraps foreign memory: rect gives the position and size.
    void Init(const TRect& rect, uint8_t* data, TKvPixelFormat format, int stride);
    TRect GetBounds() const { return RectOfSize(Left, Top, Width, Height); }
    uint8_t* PixelAt(int x, int y) const
    {
        return Data + std::ptrdiff_t(x - Left) * BytesPerPixel + std::ptrdiff_t(y - Top) * Stride;
    }

    // Copies the part of sourceRect that lies in source so that sourceRect's
    // top-left corner lands on (x, y); only pixels inside these bounds are
    // written.  Nothing happens when the formats differ.  Source and target
    // may share memory.
    void CopyFrom(int x, int y, const TRect& sourceRect, const TKvPixels& source);
    // Copies the overlap of the two rectangles at equal image coordinates.
    void Assign(const TKvPixels& source);
};

// A block of pages pixels live in, freed when the last pixel buffer (or
// other keeper) sharing it lets go.
class TKvPixelStorage {
public:
    TKvPixelStorage(uint8_t* block, std::size_t size) : m_block(block), m_size(size) {}
    TKvPixelStorage(const TKvPixelStorage&) = delete;
    TKvPixelStorage& operator=(const TKvPixelStorage&) = delete;
    ~TKvPixelStorage();

    uint8_t* Block() const { return m_block; }
    std::size_t Size() const { return m_size; }
    // Whether the rectangle of height rows of rowBytes bytes, stride apart,
    // starting at data lies wholly within the block.
    bool Holds(const uint8_t* data, std::ptrdiff_t stride, std::size_t rowBytes, int height) const;

private:
    uint8_t* m_block;
    std::size_t m_size;
};

// A pixel rectangle that owns its storage, zero-filled pages from the
// operating system, with rows padded to whole 32-bit words. The storage may
// be larger than the rectangle (a crop narrows the buffer to a window of
// it, moving no pixel) and may be shared with whatever keeps the rest of
// it (a crop's undo).
class TKvPixelBuffer : public TKvPixels {
public:
    TKvPixelBuffer() = default;
    TKvPixelBuffer(const TKvPixelBuffer&) = delete;
    TKvPixelBuffer& operator=(const TKvPixelBuffer&) = delete;
    TKvPixelBuffer(TKvPixelBuffer&& other) noexcept;
    TKvPixelBuffer& operator=(TKvPixelBuffer&& other) noexcept;
    ~TKvPixelBuffer() override;

    // Gives the buffer a new rectangle; with keepContents the pixels of the
    // overlap of old and new rectangle keep their image position, every other
    // pixel is 0.  The same rectangle again changes nothing.  A rectangle
    // without area gives a buffer without storage.  Returns false when the
    // storage cannot be obtained; the buffer is then empty.
    bool SetBounds(const TRect& rect, bool keepContents);
    bool SetBounds(const TRect& rect) { return SetBounds(rect, false); }
    // Sets the pixel format, then the rectangle, discarding the contents.
    bool SetFormat(TKvPixelFormat format, const TRect& rect);
    // The same for a caller that writes every pixel at once: the new
    // storage's contents are unspecified (the buffer's own storage when it
    // alone holds storage of that size, or a picture's freed a moment ago).
    bool SetFormatForOverwrite(TKvPixelFormat format, const TRect& rect);
    // Narrows the buffer to the part rect (within the bounds), placed at
    // (0, 0), without moving a pixel: the rows stay where they are in the
    // storage, which is kept whole. Needs no memory, so it cannot fail; an
    // empty part releases the buffer.
    void ShrinkTo(const TRect& rect);
    // Frees the storage (unless it is shared) and zeroes position, size and
    // stride; the format stays.
    void Release();

    // The storage the pixels live in; null without.
    const std::shared_ptr<TKvPixelStorage>& Storage() const { return m_storage; }
    // Becomes rect of storage, in format, with the pixel at (rect.Left,
    // rect.Top) at data and rows stride apart. False, the buffer unchanged,
    // when that window does not lie within the storage.
    bool ShareWindow(const std::shared_ptr<TKvPixelStorage>& storage, uint8_t* data, const TRect& rect,
                     TKvPixelFormat format, int stride);

private:
    void TakeFormat(TKvPixelFormat format);
    bool Reshape(const TRect& rect, bool keepContents, bool forOverwrite);
    // The storage for a picture of size bytes: this buffer's own when
    // reuse allows and it alone holds one of that size, else new.
    std::shared_ptr<TKvPixelStorage> StorageFor(std::size_t size, bool forOverwrite);

    std::shared_ptr<TKvPixelStorage> m_storage;
};

// A coverage mask, one byte per pixel (0 = not covered), that can grow.  The
// byte of (x, y) is Data[(y - Top) * Width + (x - Left)].
class TKvPixelMask {
public:
    int Left = 0;
    int Top = 0;
    int Width = 0; // never negative
    int Height = 0;
    std::vector<uint8_t> Data;

    // Sets the rectangle (a negative size becomes 0) with every byte 0.
    void SetBounds(int left, int top, int width, int height);
    TRect GetBounds() const { return RectOfSize(Left, Top, Width, Height); }
    // The byte of (x, y); null outside the rectangle or without storage.
    uint8_t* ValueAt(int x, int y);
    // Grows the mask to cover rect, keeping every byte at its image position.
    void Include(const TRect& rect);
    // Grows the mask to cover other, then keeps the larger byte under it.
    void MergeMax(const TKvPixelMask& other);
    void Release();
};

// ---------------------------------------------------------------------------
// Document bitmaps

// The abstract bitmap every document picture lives in: its size, its pixels
// (rectangle (0, 0, Width, Height)) and painting and printing of them.
class TKvBitmap {
public:
    virtual ~TKvBitmap() = default;
    virtual int Width() const = 0;
    virtual int Height() const = 0;
    virtual TKvPixels& Pixels() = 0;
    virtual const TKvPixels& Pixels() const = 0;
    // Paints sourceRect (the whole bitmap when absent) into destRect with
    // plain copy, limited to destClip when given.  True on success.
    virtual bool Draw(QPainter& dc, const TRect& destRect, std::optional<TRect> destClip = {},
                      std::optional<TRect> sourceRect = {}) const = 0;
    // Prints the bitmap stretched into rect of a printer's painter.
    virtual bool Print(QPainter& dc, const TRect& rect) const = 0;
};

// ---------------------------------------------------------------------------
// Resampling

// A resampling kernel.
class TPixelResampler {
public:
    virtual ~TPixelResampler() = default;
    // True when the kernel has negative lobes, so sums must be clamped.
    virtual bool NeedsClamping() const { return false; }
    // The weight at distance x.
    virtual double KernelValue(double x) const = 0;
    // The distance beyond which the weight is 0.
    virtual double SupportRadius() const = 0;
};

// sin(pi x) / (pi x), 1 at 0.
double Sinc(double x);

// A sinc kernel cut off by a window at Radius.
class TWindowedSincResampler : public TPixelResampler {
public:
    double Radius = 3.0;

    bool NeedsClamping() const override { return true; }
    double KernelValue(double x) const override;
    double SupportRadius() const override { return Radius; }
    virtual double WindowValue(double x) const = 0;
};

// The Lanczos kernel: sinc windowed by a stretched sinc (Lanczos-3 by default).
class TLanczosResampler : public TWindowedSincResampler {
public:
    double WindowValue(double x) const override { return Sinc(x / Radius); }
};

// One source pixel's share in a destination pixel, in units of 1/256.
struct TClusterEntry {
    int32_t Pos = 0;
    int32_t Weight = 0;

    friend constexpr bool operator==(const TClusterEntry&, const TClusterEntry&) = default;
};
// The weights of one destination pixel; they sum to exactly 256.
using TCluster = std::vector<TClusterEntry>;
// One cluster per destination pixel of one axis.
using TMappingTable = std::vector<TCluster>;

// The clusters of one axis when source span [sourceLo, sourceHi) is scaled
// onto [destLo, destHi), one per destination coordinate clipLo..clipHi - 1.
// Throws std::logic_error for an empty destination span with more than one
// clip pixel, which no caller may ask for.
TMappingTable MakeMappingTable(int destLo, int destHi, int clipLo, int clipHi, int sourceLo,
                               int sourceHi, const TPixelResampler& kernel);

// Scales sourceRect of source onto destRect of dest, writing only the pixels
// of destClip inside dest.  Both are 24-bit; anything else, and empty
// rectangles, do nothing.
void ResamplePixels(TKvPixels& dest, const TRect& destRect, const TRect& destClip,
                    const TPixelResampler& kernel, const TRect& sourceRect, const TKvPixels& source);
