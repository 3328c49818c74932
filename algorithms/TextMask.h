// The text tool's work without Qt: which lines of the memo make the text
// mask and how large it is (the text tool renders the lines into it with
// Qt, white on black), the cap on the mask's size, the stretch of the mask
// onto the text rectangle (mirrored as it was dragged), and the blending of
// the text's colour into the picture with the stretched mask as opacity,
// committed at the picture's resolution or previewed at the view's.  The
// preview shows at every pixel the same stretched mask value the commit
// blends there.
#pragma once

#include "KvBitmap.h"
#include "ViewPixels.h"

#include <cstdint>
#include <vector>

// One line of the memo: whether it holds any text, and its width in pixels
// in the mask's font.
struct TTextLine {
    bool Empty = true;
    int Width = 0;
};

// The lines drawn into the mask (0 .. Lines - 1, line i at y = i * line
// height) and the mask's size.
struct TTextMaskSize {
    int Lines = 0;
    int Width = 0;
    int Height = 0;

    bool IsEmpty() const { return Width <= 0 || Height <= 0; }
};

// The last line with text fixes the height: empty lines count only when a
// line with text follows them.  The width is that of the widest line with
// text.  Empty when no line has text.
TTextMaskSize MeasureTextMask(const std::vector<TTextLine>& lines, int lineHeight);

// The largest mask: a long line in a large font would otherwise ask for
// hundreds of megabytes, and the mask is stretched to the rectangle anyway.
constexpr std::int64_t MaxTextMaskPixels = std::int64_t(1) << 25;
constexpr int MaxTextMaskSide = 1 << 20;
// The factor (at most 1) by which the font must shrink for the mask to stay
// within the caps.
double TextMaskFit(const TTextMaskSize& size);

// The text's coverage, one byte per pixel (0 nothing, 255 fully covered),
// rows padded to 4 bytes.
class TTextMask {
public:
    // Width x height bytes, all 0; false, and an empty mask, when there is
    // no memory for them or the size exceeds the caps.
    bool SetSize(int width, int height);
    void Clear();
    bool IsEmpty() const { return m_width <= 0 || m_height <= 0; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    int Stride() const { return m_stride; }
    std::uint8_t* Data() { return m_data.data(); }
    const std::uint8_t* Row(int y) const { return m_data.data() + std::size_t(y) * std::size_t(m_stride); }
    std::uint8_t* Row(int y) { return m_data.data() + std::size_t(y) * std::size_t(m_stride); }

private:
    int m_width = 0;
    int m_height = 0;
    int m_stride = 0;
    std::vector<std::uint8_t> m_data;
};

// How the text's colour is chosen.
enum TTextColorMode : int {
    tcSelected = 0, // the chosen colour
    tcInverted = 1, // the inverse of the picture under the text
};

struct TTextColorRule {
    int ColorMode = tcSelected;
    TColor TextColor = 0; // $00BBGGRR
    // With tcInverted: each channel 255 below 128 and 0 from 128 up, the
    // strongest contrast, instead of 255 minus it.
    bool MaxInverse = false;
};

// The colour blended into a pixel of the given colour.
TColorTriple TextColorOver(const TTextColorRule& rule, TColorTriple under);

// The text rectangle (picture coordinates, right and bottom exclusive; it
// may reach outside the picture) and its mirroring.
struct TTextPlacement {
    TRect Rect;
    bool FlipX = false;
    bool FlipY = false;
};

// Blends the text into the picture over the part of the rectangle inside
// it.  Returns the bounding rectangle of the pixels that changed (empty for
// an empty mask or a rectangle off the picture).
TRect BlendText(TKvPixels& picture, const TTextMask& mask, const TTextPlacement& placement,
                const TTextColorRule& rule);

// The live preview: every canvas pixel of view.Clip that shows a picture
// pixel of the rectangle inside pictureBounds is blended as BlendText
// blends that picture pixel, over what the canvas shows there.
void BlendTextPreview(TKvPixels& canvas, const TViewPixels& view, const TRect& pictureBounds, const TTextMask& mask,
                      const TTextPlacement& placement, const TTextColorRule& rule);
