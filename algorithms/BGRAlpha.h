// The library object selected for pasting: its colours and its matte, both
// enlarged by the matte's margins so that the object can be turned about its
// centre inside them; and the compressed form of the matte that the object
// library's .alp files hold (a zlib stream, level 9, of the matte's text
// form).  The paste tool loads entries through LoadObject; saving an object
// compresses its matte with CompressMatte.
#pragma once

#include "AlphaChanal.h"
#include "JpegCodec.h"
#include "KvBitmap.h"

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The .alp bytes of a matte; ComputeMargins runs on it first.
std::vector<std::uint8_t> CompressMatte(TAlphaChanal& matte);
// Inflates .alp bytes in pieces into the text reader, stopping as soon as
// the text is longer than its header allows; true and the matte read when
// the bytes are a sound .alp.
bool DecompressMatte(const std::uint8_t* data, std::size_t size, std::uint64_t pixelLimit, TAlphaChanal& matte);

// A library object of Width x Height pixels (the padded size): the colours of
// the entry's JPEG at (MarginX, MarginY), black around them, and the matte.
// Before anything is loaded, and after an entry fails to load, it is empty.
class TBGRWithAlpha {
public:
    // Pictures and mattes larger than this many pixels are refused.
    static constexpr std::uint64_t PixelLimit = JpegCodec::DefaultPixelLimit;

    // Loads the entry from folder.  An entry that is not sound (files
    // missing, of other kinds, damaged, not matching each other) leaves the
    // object empty: nothing to paste.  Returns whether the entry loaded.
    bool LoadObject(const std::filesystem::path& folder, const std::string& name);
    bool IsEmpty() const { return m_width == 0 && m_height == 0; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    TRect Bounds() const { return {0, 0, m_width, m_height}; }

    // The paste tool's preview must be drawn again.
    bool Changed() const { return m_changed; }
    void SetChanged(bool changed) { m_changed = changed; }
    // Mirror the object when it is sampled.
    bool FlipX() const { return m_flipX; }
    void SetFlipX(bool flip) { m_flipX = flip; }
    bool FlipY() const { return m_flipY; }
    void SetFlipY(bool flip) { m_flipY = flip; }

    // Black colours and a transparent matte of width x height (margins 0);
    // false, and the object empty, when there is no memory for them.
    bool SetSize(int width, int height);
    TColorTriple GetColor(int x, int y) const
    {
        const std::uint8_t* pixel = m_colors.PixelAt(x, y);
        return {pixel[0], pixel[1], pixel[2]};
    }
    std::uint8_t GetAlpha(int x, int y) const { return m_matte.GetAlpha(x, y); }
    // Objects made in memory (tests, benchmarks) set their pixels here.
    void SetColor(int x, int y, TColorTriple color)
    {
        std::uint8_t* pixel = m_colors.PixelAt(x, y);
        pixel[0] = color.Blue;
        pixel[1] = color.Green;
        pixel[2] = color.Red;
    }
    void SetAlpha(int x, int y, std::uint8_t value) { m_matte.SetAlpha(x, y, value); }
    const TAlphaChanal& Matte() const { return m_matte; }
    const TKvPixels& Colors() const { return m_colors; }

private:
    void MakeEmpty();
    bool Load(const std::filesystem::path& folder, const std::string& name);

    int m_width = 0;
    int m_height = 0;
    bool m_changed = false;
    bool m_flipX = false;
    bool m_flipY = false;
    TKvPixelBuffer m_colors;
    TAlphaChanal m_matte;
};
