// The lossless JPEG codec: coefficients against jpegtran's, blocks kept
// around an edit, pictures after turns of pictures with partial edge blocks,
// crops, markers, and files that must be refused.
#include "JpegCodec.h"
#include "JpegFixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

enum class TTurn { Right, Half, Left, FlipH, FlipV };

const char* Name(TTurn turn)
{
    switch (turn) {
    case TTurn::Right: return "right";
    case TTurn::Half: return "half";
    case TTurn::Left: return "left";
    case TTurn::FlipH: return "flip horizontal";
    case TTurn::FlipV: return "flip vertical";
    }
    return "";
}

const char* JpegtranArguments(TTurn turn)
{
    switch (turn) {
    case TTurn::Right: return "-rotate 90";
    case TTurn::Half: return "-rotate 180";
    case TTurn::Left: return "-rotate 270";
    case TTurn::FlipH: return "-flip horizontal";
    case TTurn::FlipV: return "-flip vertical";
    }
    return "";
}

void Apply(JpegCodec& codec, TTurn turn)
{
    switch (turn) {
    case TTurn::Right: codec.RotateRight(); break;
    case TTurn::Half: codec.RotateRight(); codec.RotateRight(); break;
    case TTurn::Left: codec.RotateLeft(); break;
    case TTurn::FlipH: codec.FlipHorizontal(); break;
    case TTurn::FlipV: codec.FlipVertical(); break;
    }
}

// The picture turned pixel by pixel.
TKvPixelBuffer TurnPixels(const TKvPixels& source, TTurn turn)
{
    const int w = source.Width;
    const int h = source.Height;
    const bool across = turn == TTurn::Right || turn == TTurn::Left;
    TKvPixelBuffer result;
    result.SetFormat(PixelFormatBGR24, {0, 0, across ? h : w, across ? w : h});
    for (int v = 0; v < result.Height; ++v)
        for (int u = 0; u < result.Width; ++u) {
            int x = u;
            int y = v;
            switch (turn) {
            case TTurn::Right: x = v; y = h - 1 - u; break;
            case TTurn::Half: x = w - 1 - u; y = h - 1 - v; break;
            case TTurn::Left: x = w - 1 - v; y = u; break;
            case TTurn::FlipH: x = w - 1 - u; break;
            case TTurn::FlipV: y = h - 1 - v; break;
            }
            std::memcpy(result.PixelAt(u, v), source.PixelAt(x, y), 3);
        }
    return result;
}

TKvPixelBuffer NewPicture(int width, int height)
{
    TKvPixelBuffer picture;
    picture.SetFormat(PixelFormatBGR24, {0, 0, width, height});
    return picture;
}

// The codec's current picture, decoded.
TKvPixelBuffer PixelsOf(JpegCodec& codec)
{
    TKvPixelBuffer picture = NewPicture(codec.Width(), codec.Height());
    EXPECT_TRUE(codec.CopyPixels(picture)) << codec.LastError();
    return picture;
}

TKvPixels Part(const TKvPixels& picture, const TRect& rect)
{
    TKvPixels part;
    part.Init(RectOfSize(0, 0, rect.Width(), rect.Height()), picture.PixelAt(rect.Left, rect.Top),
              PixelFormatBGR24, picture.Stride);
    return part;
}

TBytes Save(JpegCodec& codec, const TKvPixels& picture, const TKvPixels& original)
{
    TJpegSaveParameters parameters;
    parameters.Picture = picture;
    parameters.Original = original;
    TBytes output;
    EXPECT_TRUE(codec.SaveToMemory(output, parameters)) << codec.LastError();
    codec.FinishSave();
    return output;
}

// Saves the codec's picture unchanged.
TBytes SaveUnchanged(JpegCodec& codec)
{
    const TKvPixelBuffer picture = PixelsOf(codec);
    return Save(codec, picture, picture);
}

struct TDifference {
    int Max = 0;
    double Mean = 0;
};

TDifference Compare(const TKvPixels& a, const TKvPixels& b)
{
    TDifference result;
    long long sum = 0;
    for (int y = 0; y < a.Height; ++y)
        for (int x = 0; x < a.Width; ++x)
            for (int c = 0; c < 3; ++c) {
                const int d = std::abs(int(a.PixelAt(x, y)[c]) - int(b.PixelAt(x, y)[c]));
                result.Max = std::max(result.Max, d);
                sum += d;
            }
    result.Mean = double(sum) / (3.0 * a.Width * a.Height);
    return result;
}

TJpegFixtureOptions Options(TJpegKind kind)
{
    TJpegFixtureOptions options;
    options.Kind = kind;
    return options;
}

TBytes MakeJpeg(int width, int height, const TJpegFixtureOptions& options = {})
{
    const TKvPixelBuffer picture = MakeTestPicture(width, height, 7, options.Kind == TJpegKind::Gray);
    return EncodeJpeg(picture, options);
}

TJpegMarker TextMarker(int code, const std::string& text)
{
    return {code, TBytes(text.begin(), text.end())};
}

const std::vector<TJpegMarker> SampleMarkers = {
    TextMarker(0xE1, std::string("Exif\0\0MM\0*\0\0\0\x08\0\0", 16)),
    TextMarker(0xE2, std::string("ICC_PROFILE\0\x01\x01", 14) + std::string(300, 'p')),
    TextMarker(0xFE, "a comment"),
};

const char* KindName(TJpegKind kind)
{
    switch (kind) {
    case TJpegKind::Subsampled420: return "4:2:0";
    case TJpegKind::Subsampled422: return "4:2:2";
    case TJpegKind::Full444: return "4:4:4";
    case TJpegKind::Gray: return "gray";
    case TJpegKind::Cmyk: return "cmyk";
    }
    return "";
}

} // namespace

TEST(JpegCodecTest, TurnsAndFlipsGiveJpegtransCoefficients)
{
    struct Case {
        TJpegKind Kind;
        bool Progressive;
        int Width = 64;
        int Height = 48;
    };
    // The larger picture has enough block rows to be turned by several
    // threads at once.
    const Case cases[] = {{TJpegKind::Subsampled420, false}, {TJpegKind::Subsampled422, false},
                          {TJpegKind::Full444, false},       {TJpegKind::Gray, false},
                          {TJpegKind::Subsampled420, true},  {TJpegKind::Full444, false, 1032, 1032}};
    for (const Case& c : cases) {
        TJpegFixtureOptions options;
        options.Kind = c.Kind;
        options.Progressive = c.Progressive;
        const TBytes source = MakeJpeg(c.Width, c.Height, options);
        for (TTurn turn : {TTurn::Right, TTurn::Half, TTurn::Left, TTurn::FlipH, TTurn::FlipV}) {
            SCOPED_TRACE(std::string(KindName(c.Kind)) + (c.Progressive ? " progressive " : " ") + Name(turn) + " "
                         + std::to_string(c.Width) + " x " + std::to_string(c.Height));
            JpegCodec codec;
            ASSERT_TRUE(codec.LoadFromMemory(source)) << codec.LastError();
            Apply(codec, turn);
            EXPECT_TRUE(codec.IsLosslessCapable());
            const TBytes ours = SaveUnchanged(codec);
            EXPECT_TRUE(codec.LastSaveReport().FromCoefficients);
            EXPECT_EQ(codec.LastSaveReport().EncodedUnits, 0);
            const TBytes theirs = RunJpegtran(JpegtranArguments(turn), source);
            ASSERT_FALSE(theirs.empty()) << "jpegtran failed";
            EXPECT_TRUE(SameCoefficients(ReadJpegContent(ours), ReadJpegContent(theirs)));
        }
    }
}

TEST(JpegCodecTest, PaintingKeepsEveryUntouchedBlock)
{
    struct Case {
        TJpegKind Kind;
        bool Turned;
    };
    const Case cases[] = {{TJpegKind::Subsampled420, false}, {TJpegKind::Full444, false},
                          {TJpegKind::Gray, false},          {TJpegKind::Subsampled420, true},
                          {TJpegKind::Subsampled422, true}};
    const TRect square = RectOfSize(37, 21, 10, 10);
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(KindName(c.Kind)) + (c.Turned ? " turned" : ""));
        TJpegFixtureOptions options;
        options.Kind = c.Kind;
        const TBytes source = MakeJpeg(128, 96, options);
        JpegCodec codec;
        ASSERT_TRUE(codec.LoadFromMemory(source));
        if (c.Turned)
            codec.RotateRight();
        const TKvPixelBuffer original = PixelsOf(codec);
        TKvPixelBuffer picture = PixelsOf(codec);
        const std::uint8_t paint[3] = {40, 40, 40};
        for (int y = square.Top; y < square.Bottom; ++y)
            for (int x = square.Left; x < square.Right; ++x)
                for (int k = 0; k < 3; ++k)
                    picture.PixelAt(x, y)[k] = c.Kind == TJpegKind::Gray ? 90 : paint[k];

        const TBytes saved = Save(codec, picture, original);
        const int unitW = codec.BlockWidth();
        const int unitH = codec.BlockHeight();
        const TRect touched = {square.Left / unitW, square.Top / unitH, (square.Right - 1) / unitW + 1,
                               (square.Bottom - 1) / unitH + 1};
        EXPECT_TRUE(codec.LastSaveReport().FromCoefficients);
        EXPECT_EQ(codec.LastSaveReport().EncodedUnits, touched.Width() * touched.Height());

        const TJpegContent reference = ReadJpegContent(c.Turned ? RunJpegtran("-rotate 90", source) : source);
        const TJpegContent result = ReadJpegContent(saved);
        ASSERT_EQ(result.Components.size(), reference.Components.size());
        for (std::size_t ci = 0; ci < result.Components.size(); ++ci) {
            const auto& component = result.Components[ci];
            ASSERT_EQ(component.BlocksWide, reference.Components[ci].BlocksWide);
            ASSERT_EQ(component.Table, reference.Components[ci].Table);
            bool someTouchedBlockChanged = false;
            for (int by = 0; by < component.BlocksHigh; ++by)
                for (int bx = 0; bx < component.BlocksWide; ++bx) {
                    const int maxH = c.Kind == TJpegKind::Gray ? 1 : result.Components[0].H;
                    const int maxV = c.Kind == TJpegKind::Gray ? 1 : result.Components[0].V;
                    const int h = c.Kind == TJpegKind::Gray ? 1 : component.H;
                    const int v = c.Kind == TJpegKind::Gray ? 1 : component.V;
                    ASSERT_EQ(unitW, 8 * maxH);
                    ASSERT_EQ(unitH, 8 * maxV);
                    const bool inside = touched.Contains(TPoint{bx / h, by / v});
                    bool same = true;
                    for (int i = 0; i < 64; ++i)
                        same = same && result.At(int(ci), bx, by, i) == reference.At(int(ci), bx, by, i);
                    if (inside)
                        someTouchedBlockChanged = someTouchedBlockChanged || !same;
                    else
                        ASSERT_TRUE(same) << "component " << ci << " block " << bx << "," << by;
                }
            if (ci == 0) {
                EXPECT_TRUE(someTouchedBlockChanged);
            }
        }
        const TKvPixelBuffer decoded = DecodeJpeg(saved);
        EXPECT_LE(Compare(Part(decoded, square), Part(picture, square)).Mean, 6.0);
    }
}

TEST(JpegCodecTest, TurnsThatCancelOutGiveBackTheSourceCoefficients)
{
    using Sequence = std::vector<TTurn>;
    const Sequence sequences[] = {
        {TTurn::Left, TTurn::Left, TTurn::Left, TTurn::Left},
        {TTurn::Right, TTurn::Right, TTurn::Right, TTurn::Right},
        {TTurn::Left, TTurn::Right},
        {TTurn::FlipH, TTurn::FlipH},
        {TTurn::FlipH, TTurn::FlipV, TTurn::Half},
        {TTurn::Right, TTurn::FlipH, TTurn::Right, TTurn::FlipH},
    };
    for (const auto& [width, height] : {std::pair{64, 48}, std::pair{100, 75}}) {
        TJpegFixtureOptions options;
        options.Markers = SampleMarkers;
        const TBytes source = MakeJpeg(width, height, options);
        const TJpegContent expected = ReadJpegContent(source);
        for (std::size_t s = 0; s < std::size(sequences); ++s) {
            SCOPED_TRACE("size " + std::to_string(width) + "x" + std::to_string(height) + ", sequence "
                         + std::to_string(s));
            JpegCodec codec;
            ASSERT_TRUE(codec.LoadFromMemory(source));
            for (TTurn turn : sequences[s])
                Apply(codec, turn);
            EXPECT_EQ(codec.GetGeometry(), (TJpegGeometry{false, false, false, {0, 0, width, height}, {}}));
            const TJpegContent result = ReadJpegContent(SaveUnchanged(codec));
            EXPECT_EQ(codec.LastSaveReport().EncodedUnits, 0);
            EXPECT_TRUE(SameCoefficients(result, expected));
            EXPECT_EQ(result.Markers, expected.Markers);
        }
    }
}

TEST(JpegCodecTest, PictureWithPartialEdgeBlocksTurnsCorrectly)
{
    // 100 is not a whole number of 16-pixel units, 64 is: turns that mirror
    // the width cannot keep the grid and are encoded from pixels, the others
    // move every block, the partial ones included.
    const TBytes source = MakeJpeg(100, 64);
    const TKvPixelBuffer decoded = DecodeJpeg(source);
    struct Case {
        TTurn Turn;
        bool Lossless;
    };
    const Case cases[] = {{TTurn::Right, true}, {TTurn::FlipV, true}, {TTurn::Left, false},
                          {TTurn::Half, false}, {TTurn::FlipH, false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(Name(c.Turn));
        JpegCodec codec;
        ASSERT_TRUE(codec.LoadFromMemory(source));
        Apply(codec, c.Turn);
        EXPECT_EQ(codec.IsLosslessCapable(), c.Lossless);
        const TBytes saved = SaveUnchanged(codec);
        EXPECT_EQ(codec.LastSaveReport().FromCoefficients, c.Lossless);
        const TKvPixelBuffer expected = TurnPixels(decoded, c.Turn);
        const TKvPixelBuffer result = DecodeJpeg(saved);
        ASSERT_EQ(result.GetBounds(), expected.GetBounds());
        const TDifference difference = Compare(result, expected);
        EXPECT_LE(difference.Max, c.Lossless ? 4 : 40);
        EXPECT_LE(difference.Mean, c.Lossless ? 0.5 : 4.0);
        if (c.Lossless) {
            EXPECT_TRUE(SameCoefficients(ReadJpegContent(saved),
                                         ReadJpegContent(RunJpegtran(std::string("-perfect ") + JpegtranArguments(c.Turn), source))));
        }
    }
}

TEST(JpegCodecTest, CropsOnTheGridAreLosslessOthersAreEncodedUnshifted)
{
    const TBytes source = MakeJpeg(128, 96);
    const TKvPixelBuffer decoded = DecodeJpeg(source);

    // A crop of the picture (the document's CropTo) and a crop of the save
    // (the document's crop rectangle) on the grid: jpegtran's crop exactly.
    for (bool cropPicture : {true, false}) {
        JpegCodec codec;
        ASSERT_TRUE(codec.LoadFromMemory(source));
        if (cropPicture) {
            ASSERT_TRUE(codec.CropTo(RectOfSize(16, 32, 50, 40)));
        } else {
            codec.SetCropRect(RectOfSize(16, 32, 50, 40));
        }
        EXPECT_TRUE(codec.IsLosslessCapable());
        const TKvPixelBuffer whole = PixelsOf(codec);
        const TKvPixels saved = cropPicture ? TKvPixels(whole) : Part(whole, RectOfSize(16, 32, 50, 40));
        const TBytes ours = Save(codec, saved, saved);
        EXPECT_TRUE(codec.LastSaveReport().FromCoefficients);
        EXPECT_TRUE(SameCoefficients(ReadJpegContent(ours),
                                     ReadJpegContent(RunJpegtran("-crop 50x40+16+32", source))));
    }

    // Cropped, then turned: the region turns with the picture.
    {
        JpegCodec codec;
        ASSERT_TRUE(codec.LoadFromMemory(source));
        ASSERT_TRUE(codec.CropTo(RectOfSize(16, 16, 64, 48)));
        codec.RotateRight();
        EXPECT_EQ(codec.Width(), 48);
        EXPECT_EQ(codec.Height(), 64);
        const TBytes cropped = RunJpegtran("-crop 64x48+16+16", source);
        EXPECT_TRUE(SameCoefficients(ReadJpegContent(SaveUnchanged(codec)),
                                     ReadJpegContent(RunJpegtran("-rotate 90", cropped))));
    }

    // Off the grid: the file shows exactly the cropped picture, from pixels.
    {
        JpegCodec codec;
        ASSERT_TRUE(codec.LoadFromMemory(source));
        ASSERT_TRUE(codec.CropTo(RectOfSize(13, 5, 50, 40)));
        EXPECT_FALSE(codec.IsLosslessCapable());
        const TKvPixelBuffer picture = PixelsOf(codec);
        EXPECT_EQ(Compare(picture, Part(decoded, RectOfSize(13, 5, 50, 40))).Max, 0);
        const TBytes saved = Save(codec, picture, picture);
        EXPECT_FALSE(codec.LastSaveReport().FromCoefficients);
        const TKvPixelBuffer result = DecodeJpeg(saved);
        ASSERT_EQ(result.GetBounds(), RectOfSize(0, 0, 50, 40));
        EXPECT_LE(Compare(result, picture).Mean, 4.0);
    }
}

TEST(JpegCodecTest, PicturesTheCodecCannotMatchAreEncodedFromPixels)
{
    // A picture whose size does not match the codec's geometry (the document
    // lost step) cannot be matched with the source's blocks.
    const TBytes source = MakeJpeg(64, 48);
    JpegCodec codec;
    ASSERT_TRUE(codec.LoadFromMemory(source));
    const TKvPixelBuffer picture = MakeTestPicture(48, 64, 3);
    const TBytes saved = Save(codec, picture, picture);
    EXPECT_FALSE(codec.LastSaveReport().FromCoefficients);
    const TKvPixelBuffer result = DecodeJpeg(saved);
    ASSERT_EQ(result.GetBounds(), picture.GetBounds());
    EXPECT_LE(Compare(result, picture).Mean, 4.0);

    // Without an original, a picture of the right size is encoded from its
    // pixels, with the source's tables.
    const TKvPixelBuffer fitting = MakeTestPicture(64, 48, 3);
    const TBytes plain = Save(codec, fitting, TKvPixels());
    EXPECT_FALSE(codec.LastSaveReport().FromCoefficients);
    EXPECT_EQ(ReadJpegContent(plain).Components[0].Table, ReadJpegContent(source).Components[0].Table);
    EXPECT_LE(Compare(DecodeJpeg(plain), fitting).Mean, 4.0);
}

TEST(JpegCodecTest, CopyPixelsFollowsTheGeometry)
{
    const TBytes source = MakeJpeg(40, 24, Options(TJpegKind::Subsampled422));
    const TKvPixelBuffer decoded = DecodeJpeg(source);
    for (TTurn turn : {TTurn::Right, TTurn::Half, TTurn::Left, TTurn::FlipH, TTurn::FlipV}) {
        SCOPED_TRACE(Name(turn));
        JpegCodec codec;
        ASSERT_TRUE(codec.LoadFromMemory(source));
        Apply(codec, turn);
        const TKvPixelBuffer expected = TurnPixels(decoded, turn);
        ASSERT_EQ(codec.Width(), expected.Width);
        EXPECT_EQ(Compare(PixelsOf(codec), expected).Max, 0);
        ASSERT_TRUE(codec.CropTo(RectOfSize(3, 5, 11, 7)));
        EXPECT_EQ(Compare(PixelsOf(codec), Part(expected, RectOfSize(3, 5, 11, 7))).Max, 0);
    }
}

TEST(JpegCodecTest, GeometryFollowsTheDocumentsTurnsAndCanBeRestored)
{
    JpegCodec codec;
    ASSERT_TRUE(codec.LoadFromMemory(MakeJpeg(128, 96, Options(TJpegKind::Subsampled422))));
    EXPECT_EQ(codec.BlockWidth(), 16);
    EXPECT_EQ(codec.BlockHeight(), 8);
    codec.SetCropRect({10, 20, 50, 40});
    codec.RotateLeft();
    EXPECT_EQ(codec.BlockWidth(), 8);
    EXPECT_EQ(codec.BlockHeight(), 16);
    EXPECT_EQ(codec.GetCropRect(), (TRect{20, 78, 40, 118}));
    codec.RotateLeft();
    codec.RotateLeft();
    codec.RotateLeft();
    EXPECT_EQ(codec.GetCropRect(), (TRect{10, 20, 50, 40}));
    codec.SetCropRect({0, 0, 128, 96});
    EXPECT_EQ(codec.GetCropRect(), TRect{});

    // Undo of a crop and a turn: the geometry taken before them.
    const TJpegGeometry before = codec.GetGeometry();
    ASSERT_TRUE(codec.CropTo({13, 8, 77, 60}));
    codec.FlipHorizontal();
    codec.RotateRight();
    EXPECT_NE(codec.GetGeometry(), before);
    ASSERT_TRUE(codec.SetGeometry(before));
    EXPECT_EQ(codec.GetGeometry(), before);
    EXPECT_EQ(codec.Width(), 128);

    EXPECT_FALSE(codec.CropTo({200, 0, 300, 10}));
    EXPECT_FALSE(codec.SetGeometry({true, false, false, {0, 0, 128, 96}, {}})); // 96 x 128 when turned
    EXPECT_FALSE(codec.SetGeometry({false, false, false, {0, 0, 0, 0}, {}}));
    EXPECT_EQ(codec.GetGeometry(), before);
}

TEST(JpegCodecTest, MarkersSurviveEveryKindOfSave)
{
    for (bool jfif : {false, true}) {
        TJpegFixtureOptions options;
        options.Jfif = jfif;
        options.Markers = SampleMarkers;
        const TBytes source = MakeJpeg(64, 48, options);
        const std::vector<TJpegMarker> expected = ReadJpegContent(source).Markers;
        for (bool lossless : {true, false}) {
            SCOPED_TRACE(std::string(jfif ? "JFIF" : "Exif first") + (lossless ? ", lossless" : ", from pixels"));
            JpegCodec codec;
            ASSERT_TRUE(codec.LoadFromMemory(source));
            EXPECT_EQ(codec.Markers().size(), expected.size());
            codec.RotateRight();
            if (!lossless) {
                ASSERT_TRUE(codec.CropTo({3, 0, 40, 40}));
            }
            const TBytes saved = SaveUnchanged(codec);
            EXPECT_EQ(codec.LastSaveReport().FromCoefficients, lossless);
            EXPECT_EQ(ReadJpegContent(saved).Markers, expected);
            // An Exif file stays an Exif file: its APP1 follows the SOI.
            ASSERT_GE(saved.size(), 4u);
            EXPECT_EQ(saved[3], jfif ? 0xE0 : 0xE1);
        }
    }
}

TEST(JpegCodecTest, GrayscalePicturesStayGrayUntilColourIsPainted)
{
    const TBytes source = MakeJpeg(64, 48, Options(TJpegKind::Gray));
    for (bool colour : {false, true}) {
        SCOPED_TRACE(colour ? "colour paint" : "gray paint");
        JpegCodec codec;
        ASSERT_TRUE(codec.LoadFromMemory(source));
        const TKvPixelBuffer original = PixelsOf(codec);
        TKvPixelBuffer picture = PixelsOf(codec);
        for (int x = 10; x < 20; ++x) {
            std::uint8_t* pixel = picture.PixelAt(x, 10);
            pixel[0] = pixel[1] = pixel[2] = 250;
            if (colour)
                pixel[2] = 0;
        }
        const TBytes saved = Save(codec, picture, original);
        EXPECT_EQ(codec.LastSaveReport().FromCoefficients, !colour);
        EXPECT_EQ(ReadJpegContent(saved).Components.size(), colour ? 3u : 1u);
        EXPECT_LE(Compare(DecodeJpeg(saved), picture).Mean, 3.0);
    }
}

TEST(JpegCodecTest, SaveParameterEstimatesTheSourceQuality)
{
    for (int quality : {30, 75, 90, 100}) {
        JpegCodec codec;
        TJpegFixtureOptions options;
        options.Quality = quality;
        ASSERT_TRUE(codec.LoadFromMemory(MakeJpeg(16, 16, options)));
        EXPECT_EQ(codec.GetSaveParameter(), std::uint32_t(quality) << 16 | std::uint32_t(quality));
    }
    EXPECT_EQ(JpegCodec().GetSaveParameter(), 0u);
}

TEST(JpegCodecTest, DamagedAndHostileFilesFailCleanly)
{
    const TBytes good = MakeJpeg(64, 48);
    auto truncated = [&](std::size_t length) { return TBytes(good.begin(), good.begin() + long(length)); };
    TBytes corrupted = good;
    for (std::size_t i = good.size() / 2; i < good.size() / 2 + 40; ++i)
        corrupted[i] = std::uint8_t(corrupted[i] * 7 + 1);
    // Bytes of the first segment with the marker changed: offset 0 is the
    // marker's 0xFF.
    auto patched = [&](std::uint8_t marker, std::vector<std::pair<std::size_t, std::uint8_t>> changes) {
        TBytes bytes = good;
        for (std::size_t i = 0; i + 1 < bytes.size(); ++i)
            if (bytes[i] == 0xFF && bytes[i + 1] == marker) {
                for (const auto& [offset, value] : changes)
                    bytes[i + offset] = value;
                break;
            }
        return bytes;
    };
    const TBytes cmyk = EncodeJpeg(MakeTestPicture(16, 16), Options(TJpegKind::Cmyk));
    const std::string text = "this is not a picture";
    const TBytes png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A, 0, 0, 0, 13};

    struct Case {
        const char* Name;
        TBytes Bytes;
    };
    const Case cases[] = {
        {"empty", {}},
        {"text", TBytes(text.begin(), text.end())},
        {"png", png},
        {"only the start marker", truncated(2)},
        {"header cut", truncated(100)},
        {"data cut", truncated(good.size() * 6 / 10)},
        {"end marker missing", truncated(good.size() - 2)},
        {"data corrupted", corrupted},
        {"huge size", patched(0xC0, {{5, 0xEA}, {6, 0x60}, {7, 0xEA}, {8, 0x60}})},
        {"table number out of range", patched(0xC0, {{12, 200}})},
        {"zero quantisation step", patched(0xDB, {{5, 0}})},
        {"cmyk", cmyk},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.Name);
        JpegCodec codec;
        bool loaded = codec.LoadFromMemory(c.Bytes);
        if (loaded) {
            TKvPixelBuffer picture = NewPicture(codec.Width(), codec.Height());
            loaded = codec.CopyPixels(picture);
        }
        EXPECT_FALSE(loaded);
        EXPECT_FALSE(codec.HasImage());
        EXPECT_FALSE(codec.LastError().empty());
    }

    JpegCodec limited;
    limited.SetPixelLimit(64 * 48 - 1);
    EXPECT_FALSE(limited.LoadFromMemory(good));
    limited.SetPixelLimit(64 * 48);
    EXPECT_TRUE(limited.LoadFromMemory(good));
}

TEST(JpegCodecTest, ScansAreCountedWithoutDecoding)
{
    TJpegFixtureOptions progressive;
    progressive.Progressive = true;
    const TBytes baseline = MakeJpeg(64, 48);
    const TBytes atLimit = WithLastScanRepeated(MakeJpeg(64, 48, progressive), JpegCodec::MaxScans);
    const TBytes overLimit = WithLastScanRepeated(MakeJpeg(64, 48, progressive), JpegCodec::MaxScans + 1);
    auto cut = [](const TBytes& bytes, std::size_t length) { return TBytes(bytes.begin(), bytes.begin() + long(length)); };
    TBytes lengthBeyondEnd = baseline;
    lengthBeyondEnd[4] = lengthBeyondEnd[5] = 0xFF; // the first segment's length

    struct Case {
        const char* Name;
        TBytes Bytes;
        bool TooMany;
    };
    const Case cases[] = {
        {"baseline", baseline, false},
        {"progressive", MakeJpeg(64, 48, progressive), false},
        {"progressive with the most scans allowed", atLimit, false},
        {"progressive with one scan more", overLimit, true},
        {"one scan more, end marker missing", cut(overLimit, overLimit.size() - 2), true},
        {"cut in the first segment", cut(overLimit, 5), false},
        {"segment length beyond the end", lengthBeyondEnd, false},
        {"empty", {}, false},
        {"not a JPEG", TBytes(overLimit.begin() + 2, overLimit.end()), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HasTooManyJpegScans(c.Bytes.data(), c.Bytes.size()), c.TooMany) << c.Name;
}

TEST(JpegCodecTest, FilesAreReadAndWrittenByPath)
{
    TTemporaryFolder folder;
    const TBytes source = MakeJpeg(64, 48);
    WriteFileBytes(folder / "picture.jpg", source);
    JpegCodec codec;
    EXPECT_FALSE(codec.LoadFromFile(folder / "missing.jpg"));
    ASSERT_TRUE(codec.LoadFromFile(folder / "picture.jpg"));
    codec.RotateRight();
    const TKvPixelBuffer picture = PixelsOf(codec);
    TJpegSaveParameters parameters;
    parameters.Picture = picture;
    parameters.Original = picture;
    ASSERT_TRUE(codec.SaveToFile(folder / "turned.jpg", parameters));
    codec.FinishSave();
    EXPECT_TRUE(SameCoefficients(ReadJpegContent(ReadFileBytes(folder / "turned.jpg")),
                                 ReadJpegContent(RunJpegtran("-rotate 90", source))));

    EXPECT_FALSE(codec.SaveToFile(folder / "no such folder" / "x.jpg", parameters));
    EXPECT_FALSE(std::filesystem::exists(folder / "no such folder" / "x.jpg"));

    // A save that fails leaves the file it would have replaced as it was,
    // and leaves nothing beside it.
    TJpegSaveParameters nothing;
    EXPECT_FALSE(codec.SaveToFile(folder / "picture.jpg", nothing));
    EXPECT_EQ(ReadFileBytes(folder / "picture.jpg"), source);
    ASSERT_TRUE(codec.SaveToFile(folder / "picture.jpg", parameters));
    EXPECT_NE(ReadFileBytes(folder / "picture.jpg"), source);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder.GetPath()), {}), 2);
    // Nothing to save without a source.
    JpegCodec empty;
    EXPECT_FALSE(empty.SaveToFile(folder / "empty.jpg", parameters));
    EXPECT_FALSE(std::filesystem::exists(folder / "empty.jpg"));
}
