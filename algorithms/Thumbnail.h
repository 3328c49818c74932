// One library entry's thumbnail: a small picture of the object on the
// transparency checkerboard, shown in the paste tool's grid.  Saving an
// object draws it; the library list reads it from the entry's .tmb file.
//
// The .tmb file: byte 0 the format version 1, byte 1 the width TW and byte 2
// the height TH (1..255 each), then the pixels column by column (x = 0 ..
// TW - 1, within a column y = 0 .. TH - 1), three bytes red, green, blue
// each: exactly 3 + 3 * TW * TH bytes.
#pragma once

#include "KvBitmap.h"

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// A thumbnail of up to 255 x 255 pixels with the name of its entry; one that
// could not be read is invalid and shows black.
class TThumbnail {
public:
    static constexpr int StandardSize = 72; // the size of every thumbnail saved
    static constexpr int MaxSize = 255;
    static constexpr std::size_t MaxFileBytes = 3 + 3 * std::size_t(MaxSize) * MaxSize;

    // A valid black thumbnail of width x height (each clamped to 1..255).
    TThumbnail(int width, int height);
    // The thumbnail of the .tmb bytes; an invalid StandardSize one when they
    // are not a sound .tmb.
    static TThumbnail FromBytes(const std::uint8_t* data, std::size_t size);
    // Reads the entry's .tmb file in folder.
    static TThumbnail ReadThumbnail(const std::filesystem::path& folder, const std::string& name);

    bool IsValid() const { return m_valid; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    const std::string& Name() const { return m_name; }
    void SetName(std::string name) { m_name = std::move(name); }

    // Every pixel gets the colour of the 4-pixel transparency checkerboard.
    void FillChecker();
    // Pixels outside the thumbnail are ignored (set) or black (get); an
    // invalid thumbnail is black throughout.
    void SetPixel(int x, int y, TColorTriple color);
    TColorTriple GetPixel(int x, int y) const;

    // The .tmb file's bytes.
    std::vector<std::uint8_t> FileBytes() const;

private:
    bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < m_width && y < m_height; }
    std::size_t Index(int x, int y) const { return std::size_t(x) * std::size_t(m_height) + std::size_t(y); }

    bool m_valid = true;
    int m_width;
    int m_height;
    std::vector<TColorTriple> m_pixels; // column after column ([x][y])
    std::string m_name;
};
