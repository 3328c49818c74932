#include "CropMargins.h"

#include "CropRectangle.h"

bool TCropMargins::Take(const TKvPixels& picture, const TRect& keep)
{
    Release();
    const TRect whole = picture.GetBounds();
    const TRect kept = IntersectRect(keep, whole);
    if (kept.IsEmpty() || !picture.Data)
        return false;
    const std::array<TRect, 4> bands = CropShadeBands(whole, kept);
    for (std::size_t i = 0; i < bands.size(); ++i) {
        if (bands[i].IsEmpty())
            continue;
        if (!m_bands[i].SetFormatForOverwrite(picture.Format, bands[i])) {
            Release();
            return false;
        }
        m_bands[i].Assign(picture);
    }
    m_whole = whole;
    m_kept = kept;
    return true;
}

void TCropMargins::Release()
{
    for (TKvPixelBuffer& band : m_bands)
        band.Release();
    m_whole = {};
    m_kept = {};
}

std::size_t TCropMargins::Size() const
{
    std::size_t bytes = 0;
    for (const TKvPixelBuffer& band : m_bands)
        if (band.Data)
            bytes += std::size_t(band.Stride) * std::size_t(band.Height);
    return bytes;
}

bool TCropMargins::Restore(const TKvPixels& kept, TKvPixelBuffer& whole) const
{
    if (IsEmpty() || !kept.Data || kept.Width != m_kept.Width() || kept.Height != m_kept.Height())
        return false;
    for (const TKvPixelBuffer& band : m_bands)
        if (band.Data && band.Format != kept.Format)
            return false;
    if (!whole.SetFormatForOverwrite(kept.Format, m_whole))
        return false;
    for (const TKvPixelBuffer& band : m_bands)
        whole.Assign(band);
    whole.CopyFrom(m_kept.Left, m_kept.Top, kept.GetBounds(), kept);
    return true;
}
