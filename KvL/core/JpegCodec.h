// The lossless JPEG codec of a graphics document: it holds the JPEG file a
// picture was loaded from and writes the edited picture back as JPEG while
// keeping the file's DCT coefficients wherever the pixels are unchanged.
//
// Quarter turns, flips and crops are followed as a geometry (an orientation
// of the source plus a region of it), not applied to pixels: on save, every
// output block that lies on the source's block grid and whose pixels still
// equal the original picture takes the source's coefficients bit for bit
// (turned or mirrored exactly, as a transposition and sign changes of the
// DCT coefficients); every other block is encoded from the current pixels
// with the source's quantisation tables and sampling.  When the written
// picture cannot lie on the source's block grid (a crop off the grid, a flip
// of a picture whose size is not a whole number of blocks), the whole
// picture is encoded from its pixels: the file written always shows exactly
// the picture given to the save, never a shifted one.
//
// Markers of the source (APP1 Exif, APP2 ICC profile, other APPn and
// comments) are written back unchanged.  Grayscale, YCbCr and RGB JPEGs of
// 8-bit precision are supported; CMYK and YCCK files, files with damaged
// data and files with invalid tables are refused (a plain decoder may still
// show them, without lossless saving).
//
// How a document keeps the codec in step:
// - open: LoadFromFile, size the image to Width x Height, CopyPixels; when
//   either fails, load the file another way (the codec then holds nothing);
// - every quarter turn and flip of the image and the original: the same
//   operation here; undo applies the inverse operation (they are exact);
// - a crop of the image and the original to a rectangle R: CropTo(R), the
//   exact rectangle, not one moved onto the block grid;
// - undo and redo of a crop (or of anything the codec cannot replay): the
//   command keeps GetGeometry() from before and after and hands it back with
//   SetGeometry;
// - save: SetCropRect(image rectangle), SaveToFile with the image rectangle
//   of the image and of the original, FinishSave.
// The original must stay the picture as decoded, moved only by the turns,
// flips and crops the codec was told about: blocks whose pixels equal it are
// written from the source's coefficients.
#pragma once

#include "KvBitmap.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

// One saved JPEG marker: its code (0xE0..0xEF for APP0..APP15, 0xFE for a
// comment) and its bytes after the length field.
struct TJpegMarker {
    int Code = 0;
    std::vector<std::uint8_t> Data;

    friend bool operator==(const TJpegMarker&, const TJpegMarker&) = default;
};

// Where the codec's picture lies in its source: the source turned by an
// orientation (a transposition followed by mirrors), then the region of that
// turned source which is the document's picture, and the rectangle of the
// picture that the next save writes.  Undo of a crop, turn or flip restores
// the geometry taken before it.
struct TJpegGeometry {
    bool Transposed = false; // x and y of the source exchanged
    bool MirroredX = false;  // then mirrored left to right
    bool MirroredY = false;  // then mirrored top to bottom
    TRect Region;            // the picture, in the turned source
    TRect CropRect;          // what a save writes, in picture coordinates; empty = all

    friend bool operator==(const TJpegGeometry&, const TJpegGeometry&) = default;
};

// What the save writes and what it compares against.  Picture is the part of
// the current image that is written (its bounds are the crop rectangle in
// image coordinates, Data its first pixel); Original is the same rectangle of
// the original picture, which underwent the same turns, flips and crops.
// Both are 24-bit BGR with their own strides.  Without an Original (no
// Data) the whole picture is encoded from its pixels with the source's tables
// and sampling: the plain save for a picture the codec cannot vouch for.
struct TJpegSaveParameters {
    TKvPixels Picture;
    TKvPixels Original;
    // Quality 1..100 for tables the source does not have: the chrominance
    // tables when a grayscale source must be written in colour.  The document
    // passes the larger half of GetSaveParameter; 0 means "estimate".
    int Quality = 0;
};

// How the last save was made.
struct TJpegSaveReport {
    bool FromCoefficients = false; // the source's coefficients were used
    long long KeptUnits = 0;       // block units (MCUs) copied from the source
    long long EncodedUnits = 0;    // block units encoded from pixels
};

// Whether JPEG data hold more than JpegCodec::MaxScans scans, counted by
// walking the markers (a pass over the bytes, nothing decoded): such data
// are refused before any decoder sees them.
bool HasTooManyJpegScans(const std::uint8_t* data, std::size_t size);

class JpegCodec {
public:
    // Pictures with more pixels than this are refused before anything is
    // allocated for them.
    static constexpr std::uint64_t DefaultPixelLimit = std::uint64_t(1) << 28;
    // A progressive file may split its data into any number of scans; real
    // encoders use a dozen.  Each scan costs a pass over the coefficients, so
    // a file with thousands of them would keep any decoder busy for ages.
    static constexpr int MaxScans = 500;

    JpegCodec();
    ~JpegCodec();
    JpegCodec(const JpegCodec&) = delete;
    JpegCodec& operator=(const JpegCodec&) = delete;

    void SetPixelLimit(std::uint64_t pixels) { m_pixelLimit = pixels; }

    // Reads the file and checks its header; the picture's pixels are decoded
    // by CopyPixels, which drops the source again if the data is damaged.
    // False (and no source held) for anything that is not a sound JPEG this
    // codec can keep; LastError says why.
    bool LoadFromFile(const std::filesystem::path& path);
    bool LoadFromMemory(std::vector<std::uint8_t> bytes);
    // Drops the source.
    void Clear();
    bool HasImage() const { return m_source != nullptr; }

    // Size of the picture as currently turned and cropped.
    int Width() const;
    int Height() const;
    // The source's block unit (MCU) in the current orientation: a crop whose
    // left and top are multiples of it stays lossless.
    int BlockWidth() const;
    int BlockHeight() const;

    // Decodes the picture as currently turned and cropped into destination, a
    // 24-bit BGR rectangle of Width() x Height().  On damaged data the
    // source is dropped and false is returned.
    bool CopyPixels(const TKvPixels& destination);

    // The rectangle of the picture that the next save writes (picture
    // coordinates); empty or the whole picture writes everything.
    void SetCropRect(const TRect& rect);
    TRect GetCropRect() const { return m_geometry.CropRect; }
    // The picture becomes its part rect (picture coordinates, clipped to the
    // picture); an empty clip changes nothing and returns false.  The crop
    // rectangle is emptied, as the document does.
    bool CropTo(const TRect& rect);
    void FlipHorizontal();
    void FlipVertical();
    void RotateLeft();  // 90 degrees counter-clockwise
    void RotateRight(); // 90 degrees clockwise

    TJpegGeometry GetGeometry() const { return m_geometry; }
    // False (nothing changed) when the geometry does not fit the source.
    bool SetGeometry(const TJpegGeometry& geometry);
    // True when a save of the current crop can keep source coefficients: its
    // left and top edges lie on the source's block grid once turned back.
    bool IsLosslessCapable() const;
    // True when the next save writes the source the way it is stored: not
    // turned, mirrored or cropped.
    bool SavesSourceAsStored() const;

    // Estimated qualities (1..100) of the source's luminance table (high 16
    // bits) and chrominance table (low 16 bits; the luminance one again for
    // a grayscale source); 0 without a source.
    std::uint32_t GetSaveParameter() const;

    // Writes the crop rectangle of the picture as JPEG.  The source's
    // coefficients are decoded on the first save and kept until FinishSave.
    // The file is written beside path and renamed over it when complete, so
    // a failed save leaves an existing file as it was.
    bool SaveToFile(const std::filesystem::path& path, const TJpegSaveParameters& parameters);
    bool SaveToMemory(std::vector<std::uint8_t>& output, const TJpegSaveParameters& parameters);
    // Ends a save: frees the coefficients decoded for it.
    void FinishSave();
    const TJpegSaveReport& LastSaveReport() const { return m_report; }

    const std::vector<TJpegMarker>& Markers() const;
    const std::string& LastError() const { return m_error; }

    struct SourceInfo;
    struct SourceCoefficients;

private:
    bool Fail(const std::string& message);
    bool SaveLossless(std::vector<std::uint8_t>& output, const TJpegSaveParameters& parameters);
    bool SaveFromPixels(std::vector<std::uint8_t>& output, const TJpegSaveParameters& parameters);
    bool ParametersFitGeometry(const TJpegSaveParameters& parameters) const;
    void TurnGeometry(bool clockwise);
    void FlipGeometry(bool horizontal);

    std::uint64_t m_pixelLimit = DefaultPixelLimit;
    std::unique_ptr<SourceInfo> m_source;
    std::unique_ptr<SourceCoefficients> m_coefficients;
    TJpegGeometry m_geometry;
    TJpegSaveReport m_report;
    std::string m_error;
};
