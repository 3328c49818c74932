// Test helpers for JPEG work: synthetic pictures, JPEG files made from them
// with chosen sampling and markers, and readers for a file's pixels and DCT
// coefficients (through libjpeg, independent of the codec under test).
#pragma once

#include "JpegCodec.h"
#include "KvBitmap.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

using TBytes = std::vector<std::uint8_t>;

// A 24-bit picture with smooth gradients and some texture, the same for the
// same arguments.  With gray every pixel has blue = green = red.
TKvPixelBuffer MakeTestPicture(int width, int height, unsigned seed = 1, bool gray = false);

enum class TJpegKind { Subsampled420, Subsampled422, Full444, Gray, Cmyk };

struct TJpegFixtureOptions {
    TJpegKind Kind = TJpegKind::Subsampled420;
    int Quality = 90;
    bool Progressive = false;
    bool Jfif = true;                 // write the JFIF segment
    std::vector<TJpegMarker> Markers; // written after the header
};

TBytes EncodeJpeg(const TKvPixels& picture, const TJpegFixtureOptions& options = {});

// The JPEG with its last scan repeated until it has `scans` scans in all
// (decoders warn about the repeats and go on).
TBytes WithLastScanRepeated(const TBytes& jpeg, int scans);

// Decodes a JPEG to 24-bit BGR (libjpeg's default decoding).  Throws on error.
TKvPixelBuffer DecodeJpeg(const TBytes& jpeg);

// Everything of a JPEG that lossless work must keep.
struct TJpegContent {
    struct Component {
        int Id = 0;
        int H = 0;
        int V = 0;
        int BlocksWide = 0; // blocks that carry picture data
        int BlocksHigh = 0;
        std::vector<std::int16_t> Coefficients; // BlocksWide x BlocksHigh blocks, row by row
        std::vector<std::uint16_t> Table;
    };
    int Width = 0;
    int Height = 0;
    std::vector<Component> Components;
    std::vector<TJpegMarker> Markers;

    // Coefficient i of block (bx, by) of a component.
    int At(int component, int bx, int by, int i) const
    {
        const Component& c = Components[std::size_t(component)];
        return c.Coefficients[(std::size_t(by) * std::size_t(c.BlocksWide) + std::size_t(bx)) * 64 + std::size_t(i)];
    }
};

// Throws on error.
TJpegContent ReadJpegContent(const TBytes& jpeg);

// Whether two JPEGs have the same size, component layout, quantisation
// tables and every DCT coefficient; the first difference otherwise.
::testing::AssertionResult SameCoefficients(const TJpegContent& a, const TJpegContent& b);

TBytes ReadFileBytes(const std::filesystem::path& path);
void WriteFileBytes(const std::filesystem::path& path, const TBytes& bytes);

// A fresh folder under the system's temporary folder, removed with the object.
class TTemporaryFolder {
public:
    TTemporaryFolder();
    ~TTemporaryFolder();
    TTemporaryFolder(const TTemporaryFolder&) = delete;
    TTemporaryFolder& operator=(const TTemporaryFolder&) = delete;
    std::filesystem::path operator/(const std::string& name) const { return Path / name; }
    const std::filesystem::path& GetPath() const { return Path; }

private:
    std::filesystem::path Path;
};

// Runs jpegtran with the arguments on input and returns what it wrote;
// empty when it failed.
TBytes RunJpegtran(const std::string& arguments, const TBytes& input);
