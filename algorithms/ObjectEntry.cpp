#include "ObjectEntry.h"

#include "BGRAlpha.h"
#include "Clipping.h"
#include "RectToRect.h"

#include <future>

namespace {

bool IsObjectLabel(std::uint8_t label) { return label >= FirstSegment && label <= LastSegment; }

} // namespace

TRect ObjectBounds(const TMarkedRegion& region)
{
    const TRect bounds = region.LabelBounds(LabelRange(FirstSegment, LastSegment));
    return bounds.IsEmpty() ? TRect{} : bounds;
}

TThumbnail MakeObjectThumbnail(const TMarkedRegion& region, const TRect& bounds)
{
    TThumbnail thumbnail(TThumbnail::StandardSize, TThumbnail::StandardSize);
    thumbnail.FillChecker();
    const TRectToRect fit(bounds, true, {0, 0, TThumbnail::StandardSize, TThumbnail::StandardSize});
    const TRect& placed = fit.Placed();
    const TKvPixels& picture = *region.Image();
    for (int x = placed.Left; x < placed.Right; ++x)
        for (int y = placed.Top; y < placed.Bottom; ++y) {
            const TPoint p = fit.MapPointRounded(x, y);
            if (IsObjectLabel(region.LabelAt(p.X, p.Y))) {
                const std::uint8_t* pixel = picture.PixelAt(p.X, p.Y);
                thumbnail.SetPixel(x, y, {pixel[0], pixel[1], pixel[2]});
            }
        }
    return thumbnail;
}

TEntryBuild BuildObjectEntry(const TMarkedRegion& region, const TEntryJpegEncoder& encode, TObjectEntryFiles& files)
{
    const TRect bounds = ObjectBounds(region);
    if (bounds.IsEmpty())
        return TEntryBuild::NoObject;
    const TKvPixels& picture = *region.Image();
    TKvPixels cut;
    cut.Init(bounds, picture.PixelAt(bounds.Left, bounds.Top), picture.Format, picture.Stride);
    // The JPEG and the matte take about as long as each other: one of them
    // runs on a second thread.
    std::future<bool> encoded = std::async(std::launch::async, [&] { return encode(cut, files.Jpeg); });
    TAlphaChanal matte;
    BuildObjectMatte(region, bounds, matte);
    files.Alp = CompressMatte(matte);
    files.Tmb = MakeObjectThumbnail(region, bounds).FileBytes();
    return encoded.get() ? TEntryBuild::Built : TEntryBuild::EncodingFailed;
}
