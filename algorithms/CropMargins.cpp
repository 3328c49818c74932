#include "CropMargins.h"

#include "CropRectangle.h"

bool TCropMargins::Take(const TKvPixelBuffer& picture, const TRect& keep)
{
    Release();
    const TRect whole = picture.GetBounds();
    const TRect kept = IntersectRect(keep, whole);
    if (kept.IsEmpty() || !picture.Storage())
        return false;
    m_whole = whole;
    m_kept = kept;
    m_format = picture.Format;
    m_storage = picture.Storage();
    m_wholeData = picture.Data;
    m_wholeStride = picture.Stride;
    return true;
}

bool TCropMargins::WholeWindow(TKvPixelBuffer& whole) const
{
    return whole.ShareWindow(m_storage, m_wholeData, m_whole, m_format, m_wholeStride);
}

uint8_t* TCropMargins::KeptData() const
{
    const int bytesPerPixel = BitsPerPixel(m_format) / 8;
    return m_wholeData + std::ptrdiff_t(m_kept.Top - m_whole.Top) * m_wholeStride
        + std::ptrdiff_t(m_kept.Left - m_whole.Left) * bytesPerPixel;
}

void TCropMargins::Compact()
{
    if (!m_storage || m_storage.use_count() > 1)
        return;
    TKvPixelBuffer whole;
    if (!WholeWindow(whole))
        return;
    const std::array<TRect, 4> bands = CropShadeBands(m_whole, m_kept);
    std::array<TKvPixelBuffer, 4> copies;
    for (std::size_t i = 0; i < bands.size(); ++i) {
        if (bands[i].IsEmpty())
            continue;
        if (!copies[i].SetFormatForOverwrite(m_format, bands[i]))
            return; // the storage still serves
        copies[i].Assign(whole);
    }
    m_bands = std::move(copies);
    m_storage.reset();
    m_wholeData = nullptr;
}

void TCropMargins::Release()
{
    for (TKvPixelBuffer& band : m_bands)
        band.Release();
    m_storage.reset();
    m_wholeData = nullptr;
    m_whole = {};
    m_kept = {};
}

std::size_t TCropMargins::Size() const
{
    if (m_storage) {
        if (m_storage.use_count() == 1)
            return m_storage->Size();
        const std::size_t keptBytes =
            std::size_t(m_kept.Width()) * std::size_t(BitsPerPixel(m_format) / 8) * std::size_t(m_kept.Height());
        return std::size_t(m_wholeStride) * std::size_t(m_whole.Height()) - keptBytes;
    }
    std::size_t bytes = 0;
    for (const TKvPixelBuffer& band : m_bands)
        if (band.Data)
            bytes += std::size_t(band.Stride) * std::size_t(band.Height);
    return bytes;
}

bool TCropMargins::Restore(const TKvPixelBuffer& kept, TKvPixelBuffer& whole)
{
    if (IsEmpty() || !kept.Data || kept.Format != m_format || kept.Width != m_kept.Width()
        || kept.Height != m_kept.Height())
        return false;
    if (m_storage) {
        // Still where the crop left it, the picture only widens again;
        // otherwise its pixels go back between the margins.
        const bool inPlace = kept.Storage() == m_storage && kept.Data == KeptData() && kept.Stride == m_wholeStride;
        TKvPixelBuffer window;
        if (!WholeWindow(window))
            return false;
        if (!inPlace)
            window.CopyFrom(m_kept.Left, m_kept.Top, kept.GetBounds(), kept);
        whole = std::move(window);
        return true;
    }
    if (!whole.SetFormatForOverwrite(kept.Format, m_whole))
        return false;
    for (const TKvPixelBuffer& band : m_bands)
        whole.Assign(band);
    whole.CopyFrom(m_kept.Left, m_kept.Top, kept.GetBounds(), kept);
    return true;
}
