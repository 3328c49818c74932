// The document bitmap: sizing, copies, turns, flips, crops, painting,
// printing and the conversions towards Qt's image classes.
#include "KvLTBitmap.h"

#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QImageWriter>
#include <QPainter>
#include <QPdfWriter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <vector>

namespace {

// The colour every test pixel (x, y) gets: unique per position.
QRgb PatternColor(int x, int y) { return qRgb(10 + x, 100 + y, 7 * x + 3 * y); }

// A w x h 24-bit bitmap painted with PatternColor.
void MakePattern(TKvLTBitmap& bitmap, int w, int h)
{
    ASSERT_TRUE(bitmap.SetSize(w, h, PixelFormatBGR24));
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const QRgb c = PatternColor(x, y);
            uint8_t* p = bitmap.Pixels().PixelAt(x, y);
            p[0] = uint8_t(qBlue(c));
            p[1] = uint8_t(qGreen(c));
            p[2] = uint8_t(qRed(c));
        }
}

QRgb PixelColor(const TKvBitmap& bitmap, int x, int y)
{
    const uint8_t* p = bitmap.Pixels().PixelAt(x, y);
    return qRgb(p[2], p[1], p[0]);
}

// The pixels row by row, without the row padding.
std::vector<uint8_t> Bytes(const TKvBitmap& bitmap)
{
    std::vector<uint8_t> bytes;
    for (int y = 0; y < bitmap.Height(); ++y) {
        const uint8_t* row = bitmap.Pixels().PixelAt(0, y);
        bytes.insert(bytes.end(), row, row + bitmap.Width() * 3);
    }
    return bytes;
}

} // namespace

// ---------------------------------------------------------------------------
// Sizing and copies

TEST(LTBitmap, SetSizeGivesBlackPaddedRows)
{
    TKvLTBitmap bitmap;
    ASSERT_TRUE(bitmap.SetSize(5, 1, PixelFormatBGR24));
    EXPECT_EQ(bitmap.Width(), 5);
    EXPECT_EQ(bitmap.Height(), 1);
    EXPECT_EQ(bitmap.Pixels().Stride, 16);
    EXPECT_EQ(bitmap.Pixels().GetBounds(), (TRect{0, 0, 5, 1}));
    for (int i = 0; i < 16; ++i)
        EXPECT_EQ(bitmap.Pixels().Data[i], 0);
}

TEST(LTBitmap, SizesThatCannotBeHadLeaveItEmpty)
{
    const int sizes[][2] = {{0, 5}, {5, 0}, {-3, 4}, {1 << 28, 1 << 30}, {INT_MAX / 2, 1}};
    for (const auto& size : sizes) {
        TKvLTBitmap bitmap;
        MakePattern(bitmap, 3, 3);
        EXPECT_FALSE(bitmap.SetSize(size[0], size[1], PixelFormatBGR24));
        EXPECT_TRUE(bitmap.IsEmpty());
        EXPECT_EQ(bitmap.Width(), 0);
        EXPECT_EQ(bitmap.Height(), 0);
        // Nothing to transform, paint or copy.
        EXPECT_FALSE(bitmap.RotateLeft());
        EXPECT_FALSE(bitmap.Crop({0, 0, 2, 2}));
        EXPECT_TRUE(bitmap.Image().isNull());
        const auto copy = bitmap.Clone();
        ASSERT_NE(copy, nullptr);
        EXPECT_TRUE(copy->IsEmpty());
    }
}

TEST(LTBitmap, CloneHasItsOwnEqualPixels)
{
    TKvLTBitmap bitmap;
    MakePattern(bitmap, 7, 4);
    const auto copy = bitmap.Clone();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(Bytes(*copy), Bytes(bitmap));
    EXPECT_NE(copy->Pixels().Data, bitmap.Pixels().Data);
    bitmap.Pixels().Data[0] ^= 0xFF;
    EXPECT_NE(Bytes(*copy), Bytes(bitmap));
}

TEST(LTBitmap, AssignPixelsCopiesTheRectangleToTheOrigin)
{
    TKvPixelBuffer source;
    ASSERT_TRUE(source.SetFormat(PixelFormatBGR24, {20, 30, 24, 33}));
    for (int y = 30; y < 33; ++y)
        for (int x = 20; x < 24; ++x)
            std::memset(source.PixelAt(x, y), (x - 20) * 10 + (y - 30) + 1, 3);
    TKvLTBitmap bitmap;
    ASSERT_TRUE(bitmap.AssignPixels(source));
    ASSERT_EQ(bitmap.GetBounds(), (TRect{0, 0, 4, 3}));
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(bitmap.Pixels().PixelAt(x, y)[1], x * 10 + y + 1) << x << "," << y;
}

// ---------------------------------------------------------------------------
// Turns, flips, crops

TEST(LTBitmap, TurnsAndFlipsMoveEveryPixel)
{
    constexpr int W = 5;
    constexpr int H = 3;
    struct Case {
        const char* name;
        std::function<bool(TKvLTBitmap&)> apply;
        int newWidth, newHeight;
        std::function<TPoint(int, int)> oldToNew;
    };
    const Case cases[] = {
        {"FlipHorizontal", &TKvLTBitmap::FlipHorizontal, W, H, [](int x, int y) { return TPoint{W - 1 - x, y}; }},
        {"FlipVertical", &TKvLTBitmap::FlipVertical, W, H, [](int x, int y) { return TPoint{x, H - 1 - y}; }},
        {"RotateLeft", &TKvLTBitmap::RotateLeft, H, W, [](int x, int y) { return TPoint{y, W - 1 - x}; }},
        {"RotateRight", &TKvLTBitmap::RotateRight, H, W, [](int x, int y) { return TPoint{H - 1 - y, x}; }},
    };
    for (const Case& c : cases) {
        TKvLTBitmap bitmap;
        MakePattern(bitmap, W, H);
        ASSERT_TRUE(c.apply(bitmap)) << c.name;
        ASSERT_EQ(bitmap.GetBounds(), RectOfSize(0, 0, c.newWidth, c.newHeight)) << c.name;
        EXPECT_EQ(bitmap.Pixels().Stride, PaddedStride(PixelFormatBGR24, c.newWidth)) << c.name;
        for (int y = 0; y < H; ++y)
            for (int x = 0; x < W; ++x) {
                const TPoint to = c.oldToNew(x, y);
                EXPECT_EQ(PixelColor(bitmap, to.X, to.Y), PatternColor(x, y)) << c.name << " " << x << "," << y;
            }
    }
}

TEST(LTBitmap, TurnsAndFlipsUndoThemselves)
{
    struct Case {
        const char* name;
        std::vector<bool (TKvLTBitmap::*)()> steps;
    };
    const Case cases[] = {
        {"right, left", {&TKvLTBitmap::RotateRight, &TKvLTBitmap::RotateLeft}},
        {"four right", std::vector(4, &TKvLTBitmap::RotateRight)},
        {"four left", std::vector(4, &TKvLTBitmap::RotateLeft)},
        {"two horizontal", std::vector(2, &TKvLTBitmap::FlipHorizontal)},
        {"two vertical", std::vector(2, &TKvLTBitmap::FlipVertical)},
        {"both flips, two right", {&TKvLTBitmap::FlipHorizontal, &TKvLTBitmap::FlipVertical,
                                   &TKvLTBitmap::RotateRight, &TKvLTBitmap::RotateRight}},
    };
    // Larger than one block of the tiled turns, and not a multiple of it.
    const int sizes[][2] = {{7, 4}, {1, 1}, {130, 67}};
    for (const auto& size : sizes)
        for (const Case& c : cases) {
            TKvLTBitmap bitmap;
            MakePattern(bitmap, size[0], size[1]);
            const std::vector<uint8_t> before = Bytes(bitmap);
            for (const auto step : c.steps)
                ASSERT_TRUE((bitmap.*step)());
            EXPECT_EQ(bitmap.GetBounds(), RectOfSize(0, 0, size[0], size[1])) << c.name;
            EXPECT_EQ(Bytes(bitmap), before) << c.name << " " << size[0] << "x" << size[1];
        }
}

TEST(LTBitmap, FlippingOnePixelWideColumnChangesNothing)
{
    TKvLTBitmap bitmap;
    MakePattern(bitmap, 1, 6);
    const std::vector<uint8_t> before = Bytes(bitmap);
    ASSERT_TRUE(bitmap.FlipHorizontal());
    EXPECT_EQ(Bytes(bitmap), before);
}

TEST(LTBitmap, CropKeepsThePartInsideThePicture)
{
    struct Case {
        TRect rect;
        bool cropped;
        TRect kept; // in old coordinates
    };
    const Case cases[] = {
        {{1, 1, 4, 3}, true, {1, 1, 4, 3}},
        {{-2, 2, 3, 9}, true, {0, 2, 3, 4}},
        {{0, 0, 6, 4}, true, {0, 0, 6, 4}},
        {{6, 0, 9, 4}, false, {0, 0, 6, 4}},   // just right of the picture
        {{-5, -5, 0, 0}, false, {0, 0, 6, 4}},
        {{2, 2, 2, 3}, false, {0, 0, 6, 4}},   // no area
    };
    for (const Case& c : cases) {
        TKvLTBitmap bitmap;
        MakePattern(bitmap, 6, 4);
        EXPECT_EQ(bitmap.Crop(c.rect), c.cropped);
        ASSERT_EQ(bitmap.GetBounds(), RectOfSize(0, 0, c.kept.Width(), c.kept.Height()));
        for (int y = 0; y < c.kept.Height(); ++y)
            for (int x = 0; x < c.kept.Width(); ++x)
                EXPECT_EQ(PixelColor(bitmap, x, y), PatternColor(x + c.kept.Left, y + c.kept.Top));
    }
}

TEST(LTBitmap, TransformationsRefuseOtherFormats)
{
    const std::vector<std::function<bool(TKvLTBitmap&)>> operations = {
        &TKvLTBitmap::FlipHorizontal, &TKvLTBitmap::FlipVertical, &TKvLTBitmap::RotateLeft,
        &TKvLTBitmap::RotateRight, [](TKvLTBitmap& b) { return b.Crop({0, 0, 1, 1}); }};
    for (const auto& operation : operations) {
        TKvLTBitmap bitmap;
        ASSERT_TRUE(bitmap.SetSize(3, 2, PixelFormatBGRA32));
        bitmap.Pixels().Data[5] = 42;
        const uint8_t* storage = bitmap.Pixels().Data;
        EXPECT_FALSE(operation(bitmap));
        EXPECT_EQ(bitmap.Pixels().Data, storage);
        EXPECT_EQ(bitmap.GetBounds(), (TRect{0, 0, 3, 2}));
        EXPECT_EQ(bitmap.Pixels().Data[5], 42);
    }
}

// ---------------------------------------------------------------------------
// Painting and printing

TEST(LTBitmap, ImageWrapsThePixelsWithoutCopying)
{
    TKvLTBitmap bitmap;
    MakePattern(bitmap, 5, 3);
    QImage image = bitmap.Image();
    ASSERT_EQ(image.format(), QImage::Format_BGR888);
    EXPECT_EQ(image.constBits(), bitmap.Pixels().Data);
    EXPECT_EQ(image.bytesPerLine(), 16);
    EXPECT_EQ(image.pixel(4, 2), PatternColor(4, 2));
    {
        QPainter painter(&image);
        painter.fillRect(0, 0, 1, 1, QColor(1, 2, 3));
    }
    EXPECT_EQ(PixelColor(bitmap, 0, 0), qRgb(1, 2, 3)); // painted into the picture itself
}

TEST(LTBitmap, DrawCopiesStretchesAndClips)
{
    TKvLTBitmap bitmap;
    MakePattern(bitmap, 4, 3);
    const QRgb background = qRgb(200, 0, 200);
    struct Case {
        const char* name;
        TRect dest;
        std::optional<TRect> clip;
        std::optional<TRect> source;
        // The bitmap pixel expected at canvas (x, y), or none for background.
        std::function<std::optional<TPoint>(int, int)> expected;
    };
    const Case cases[] = {
        {"whole", {2, 1, 6, 4}, {}, {},
         [](int x, int y) -> std::optional<TPoint> {
             if (x >= 2 && x < 6 && y >= 1 && y < 4)
                 return TPoint{x - 2, y - 1};
             return {};
         }},
        {"doubled", {0, 0, 8, 6}, {}, {},
         [](int x, int y) -> std::optional<TPoint> {
             if (x < 8 && y < 6)
                 return TPoint{x / 2, y / 2};
             return {};
         }},
        {"part of the source", {0, 0, 2, 2}, {}, TRect{1, 1, 3, 3},
         [](int x, int y) -> std::optional<TPoint> {
             if (x < 2 && y < 2)
                 return TPoint{x + 1, y + 1};
             return {};
         }},
        {"clipped", {0, 0, 4, 3}, TRect{1, 0, 3, 2}, {},
         [](int x, int y) -> std::optional<TPoint> {
             if (x >= 1 && x < 3 && y < 2)
                 return TPoint{x, y};
             return {};
         }},
    };
    for (const Case& c : cases) {
        QImage canvas(10, 8, QImage::Format_RGB32);
        canvas.fill(background);
        {
            QPainter painter(&canvas);
            ASSERT_TRUE(bitmap.Draw(painter, c.dest, c.clip, c.source)) << c.name;
        }
        for (int y = 0; y < canvas.height(); ++y)
            for (int x = 0; x < canvas.width(); ++x) {
                const std::optional<TPoint> from = c.expected(x, y);
                const QRgb want = from ? PatternColor(from->X, from->Y) : background;
                EXPECT_EQ(canvas.pixel(x, y), want) << c.name << " at " << x << "," << y;
            }
    }
}

TEST(LTBitmap, DrawAndPrintNeedPixelsAndAnActivePainter)
{
    TKvLTBitmap empty;
    TKvLTBitmap bitmap;
    MakePattern(bitmap, 2, 2);
    QImage canvas(4, 4, QImage::Format_RGB32);
    QPainter inactive;
    EXPECT_FALSE(bitmap.Draw(inactive, {0, 0, 2, 2}));
    EXPECT_FALSE(bitmap.Print(inactive, {0, 0, 2, 2}));
    QPainter painter(&canvas);
    EXPECT_FALSE(empty.Draw(painter, {0, 0, 2, 2}));
    EXPECT_FALSE(empty.Print(painter, {0, 0, 2, 2}));
}

TEST(LTBitmap, PrintStretchesIntoTheRectangle)
{
    // Two flat halves, so that smooth scaling leaves the middle of each alone.
    TKvLTBitmap bitmap;
    ASSERT_TRUE(bitmap.SetSize(2, 1, PixelFormatBGR24));
    std::memset(bitmap.Pixels().PixelAt(0, 0), 0, 3);
    std::memset(bitmap.Pixels().PixelAt(1, 0), 255, 3);
    QImage page(100, 60, QImage::Format_RGB32);
    page.fill(Qt::red);
    {
        QPainter painter(&page);
        ASSERT_TRUE(bitmap.Print(painter, {10, 10, 90, 50}));
    }
    EXPECT_EQ(page.pixel(15, 30), qRgb(0, 0, 0));
    EXPECT_EQ(page.pixel(85, 30), qRgb(255, 255, 255));
    EXPECT_EQ(page.pixel(10, 10), qRgb(0, 0, 0));
    EXPECT_EQ(page.pixel(5, 30), qRgb(255, 0, 0));
    EXPECT_EQ(page.pixel(95, 30), qRgb(255, 0, 0));
    EXPECT_EQ(page.pixel(50, 55), qRgb(255, 0, 0));
}

TEST(LTBitmap, PrintsOntoAPdfPage)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("page.pdf");
    TKvLTBitmap bitmap;
    MakePattern(bitmap, 40, 30);
    {
        QPdfWriter pdf(path);
        QPainter painter(&pdf);
        EXPECT_TRUE(bitmap.Print(painter, {100, 100, 2100, 1600}));
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray content = file.readAll();
    EXPECT_TRUE(content.startsWith("%PDF"));
    EXPECT_TRUE(content.contains("/Subtype /Image")); // the picture went into the page
}

// ---------------------------------------------------------------------------
// Conversions

TEST(LTBitmap, PixelFormatsMapOntoQImageFormats)
{
    EXPECT_EQ(PixelFormatToQImage(PixelFormatBGR24), QImage::Format_BGR888);
    EXPECT_EQ(PixelFormatToQImage(PixelFormatBGRA32), QImage::Format_ARGB32);
    EXPECT_EQ(PixelFormatToQImage(0x0001), QImage::Format_Invalid);
    EXPECT_EQ(PixelFormatToQImage(0), QImage::Format_Invalid);

    // A 32-bit bitmap's bytes blue, green, red, alpha read back as that colour.
    TKvLTBitmap bitmap;
    ASSERT_TRUE(bitmap.SetSize(1, 1, PixelFormatBGRA32));
    const uint8_t bgra[] = {30, 20, 10, 255};
    std::memcpy(bitmap.Pixels().Data, bgra, 4);
    EXPECT_EQ(bitmap.Image().pixel(0, 0), qRgba(10, 20, 30, 255));
}

TEST(LTBitmap, FindImageEncoderByMimeType)
{
    const QList<QByteArray> installed = QImageWriter::supportedMimeTypes();
    const struct {
        const char* mime;
        const char* format;
    } cases[] = {{"image/jpeg", "jpeg"}, {"image/png", "png"}, {"image/bmp", "bmp"}, {"image/tiff", "tiff"}};
    for (const auto& c : cases) {
        QByteArray format;
        const int index = FindImageEncoder(c.mime, format);
        ASSERT_GE(index, 0) << c.mime;
        EXPECT_EQ(installed[index], c.mime);
        EXPECT_TRUE(format == c.format || QImageWriter::imageFormatsForMimeType(c.mime).contains(format))
            << c.mime << " " << format.constData();
        EXPECT_TRUE(QImageWriter::supportedImageFormats().contains(format)) << c.mime;
    }
    QByteArray untouched("none");
    EXPECT_EQ(FindImageEncoder("image/x-nothing", untouched), -1);
    EXPECT_EQ(FindImageEncoder("IMAGE/PNG", untouched), -1); // exact text, as the MIME list has it
    EXPECT_EQ(untouched, "none");
}
