// The picture formats: round trips, .kvi and exchange files, descriptions,
// thumbnails, metadata, safe saves and damaged or hostile files.
#include "FileSizeLimit.h"
#include "GraphicsEditorFixture.h"
#include "JpegFixtures.h"
#include "KvExchangeFile.h"
#include "KvGraphicsCommandState.h"
#include "KvImageMetadata.h"

#include "QtPrinters.h"
#include "SmallFileSystem.h"

#include <QBuffer>
#include <QFileInfo>
#include <QImageWriter>
#include <QLoggingCategory>
#include <QPainter>
#include <QtConcurrent/QtConcurrentRun>

#include <exiv2/exiv2.hpp>

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <zlib.h>

namespace {

QByteArray Encode(const QImage& image, const char* format, int quality = -1)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    EXPECT_TRUE(writer.write(image)) << format;
    return bytes;
}

// A 1 x 1 GIF (Qt reads GIF but does not write it).
const QByteArray TinyGif("GIF89a\x01\x00\x01\x00\x80\x00\x00\xFF\xFF\xFF\x00\x00\x00"
                         "\x2C\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00\x3B",
                         35);

QByteArray Complemented(QByteArray bytes)
{
    ComplementKviHeader(bytes);
    return bytes;
}

// The file with EXIF items set on it by Exiv2.
QByteArray WithExif(const QByteArray& file, const std::function<void(Exiv2::ExifData&)>& set)
{
    Exiv2::Image::AutoPtr image =
        Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(file.constData()), long(file.size()));
    image->readMetadata();
    Exiv2::ExifData exif = image->exifData();
    set(exif);
    image->setExifData(exif);
    image->writeMetadata();
    Exiv2::BasicIo& io = image->io();
    io.seek(0, Exiv2::BasicIo::beg);
    const Exiv2::DataBuf data = io.read(long(io.size()));
    return QByteArray(reinterpret_cast<const char*>(data.pData_), data.size_);
}

// The EXIF datum of a file with the key; none when it has none.
std::optional<Exiv2::Exifdatum> ExifDatum(const QString& path, const char* key)
{
    Exiv2::Image::AutoPtr image = Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString());
    image->readMetadata();
    const Exiv2::ExifData& exif = image->exifData();
    const auto datum = exif.findKey(Exiv2::ExifKey(key));
    return datum == exif.end() ? std::nullopt : std::optional(*datum);
}

// A JPEG with the EXIF items of a camera photo: date, make, model, a
// resolution of 300 dpi and an embedded thumbnail.
QByteArray CameraJpeg(const QImage& picture)
{
    return WithExif(Encode(picture, "jpeg", 90), [&](Exiv2::ExifData& exif) {
        exif["Exif.Image.DateTime"] = "2021:06:05 14:30:00";
        exif["Exif.Image.Make"] = "Kestrel";
        exif["Exif.Image.Model"] = "K-7";
        exif["Exif.Image.XResolution"] = Exiv2::URational(300, 1);
        exif["Exif.Image.YResolution"] = Exiv2::URational(300, 1);
        exif["Exif.Image.ResolutionUnit"] = uint16_t(2);
        exif["Exif.Photo.ExposureTime"] = Exiv2::URational(1, 125);
        const QByteArray thumbnail = Encode(picture.scaled(16, 12), "jpeg", 50);
        Exiv2::ExifThumb(exif).setJpegThumbnail(reinterpret_cast<const Exiv2::byte*>(thumbnail.constData()),
                                                long(thumbnail.size()));
    });
}

// Sets the orientation item, as a camera does.
std::function<void(Exiv2::ExifData&)> Orientation(int value)
{
    return [value](Exiv2::ExifData& exif) { exif["Exif.Image.Orientation"] = uint16_t(value); };
}

// Six squares of 16 pixels in six colours, three across and two down: any
// turn or mirror of it shows.
QImage UprightSquares()
{
    const QColor colours[] = {{200, 40, 40}, {40, 180, 60},  {50, 60, 200},
                              {220, 200, 40}, {190, 50, 180}, {40, 190, 200}};
    QImage picture(48, 32, QImage::Format_RGB32);
    QPainter painter(&picture);
    for (int i = 0; i < 6; ++i)
        painter.fillRect(i % 3 * 16, i / 3 * 16, 16, 16, colours[i]);
    return picture;
}

// Where pixel (x, y) of an upright width x height picture is stored under an
// Exif orientation, from the sides the stored rows and columns start at.
QPoint StoredPosition(int orientation, int x, int y, int width, int height)
{
    switch (orientation) {
    case 2: return {width - 1 - x, y};              // row 0 at the top, column 0 at the right
    case 3: return {width - 1 - x, height - 1 - y}; // bottom, right
    case 4: return {x, height - 1 - y};             // bottom, left
    case 5: return {y, x};                          // left, top
    case 6: return {y, width - 1 - x};              // right, top
    case 7: return {height - 1 - y, width - 1 - x}; // right, bottom
    case 8: return {height - 1 - y, x};             // left, bottom
    default: return {x, y};
    }
}

// The upright picture as a camera stores it under the orientation.
QImage StoredAs(const QImage& upright, int orientation)
{
    const bool transposed = orientation >= 5 && orientation <= 8;
    const int width = upright.width();
    const int height = upright.height();
    QImage stored(transposed ? height : width, transposed ? width : height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            stored.setPixel(StoredPosition(orientation, x, y, width, height), upright.pixel(x, y));
    return stored;
}

// A file of the format holding the picture, with EXIF items set on it;
// JPEGs are written by the test encoder at quality 95.
QByteArray FileWithExif(const char* format, const QImage& picture, const std::function<void(Exiv2::ExifData&)>& set)
{
    if (qstrcmp(format, "jpeg") != 0)
        return WithExif(Encode(picture, format), set);
    QImage bgr = picture.convertToFormat(QImage::Format_BGR888);
    TKvPixels pixels;
    pixels.Init({0, 0, bgr.width(), bgr.height()}, bgr.bits(), PixelFormatBGR24, int(bgr.bytesPerLine()));
    TJpegFixtureOptions options;
    options.Quality = 95;
    const TBytes jpeg = EncodeJpeg(pixels, options);
    return WithExif(QByteArray(reinterpret_cast<const char*>(jpeg.data()), qsizetype(jpeg.size())), set);
}

struct Formats : ::testing::Test {
    QString Path(const std::string& name) const { return QString::fromStdString((folder / name).string()); }
    QString Write(const std::string& name, const QByteArray& bytes) const
    {
        EXPECT_TRUE(WriteBytes(Path(name), bytes));
        return Path(name);
    }
    // A fresh document of the editor; loading it returns it, or none.
    TKvGraphicsDocument* Load(const QString& path)
    {
        TKvGraphicsDocument* document = editor.NewDocument();
        return document->LoadFromFile(path) ? document : nullptr;
    }
    // A document holding the picture, as from a scanner (no file).
    TKvGraphicsDocument* Holding(const QImage& picture)
    {
        TKvGraphicsDocument* document = editor.NewDocument();
        const QImage bgr = picture.convertToFormat(QImage::Format_BGR888);
        EXPECT_TRUE(document->Image().SetSize(bgr.width(), bgr.height(), PixelFormatBGR24));
        for (int y = 0; y < bgr.height(); ++y)
            std::memcpy(document->Image().Pixels().PixelAt(0, y), bgr.constScanLine(y), size_t(bgr.width()) * 3);
        EXPECT_TRUE(document->ImageLoaded());
        return document;
    }

    TTemporaryFolder folder;
    TestGraphicsEditor editor;
    TKvGraphicsFormats& formats = editor.FormatRegistry;
    const QImage picture = PatternPicture(40, 30, true);
};

TEST_F(Formats, TableAndFormatLists)
{
    EXPECT_EQ(formats.Count(), 5);
    const char* names[] = {"JPEG", "TIFF", "PNG", "BMP", "KVI"};
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(formats.Items(i).Key, i);
        EXPECT_EQ(formats.Items(i).Name, QLatin1String(names[i]));
    }
    EXPECT_EQ(formats.Items(3).Patterns, QStringLiteral("*.bmp;*.rle;*.dib"));
    EXPECT_EQ(formats.Items(0).DefaultExtension, QStringLiteral(".jpg"));
    EXPECT_TRUE(formats.Items(5).Name.isEmpty());
    TKvFileFormatList save;
    formats.SaveFormats(save);
    ASSERT_EQ(save.size(), 4u);
    EXPECT_EQ(save.back().Name, QStringLiteral("BMP"));
    TKvFileFormatList open;
    formats.OpenFormats(open);
    EXPECT_EQ(open.size(), 7u);
}

// --- Round trips

struct RoundTrip {
    qint32 key;
    const char* file;
    qint32 loadedKey;
    double tolerance; // mean channel difference allowed; 0 for an exact copy
};

void ExpectClose(const QImage& actual, const QImage& expected, double tolerance, const char* what)
{
    if (tolerance == 0)
        EXPECT_EQ(MaxDifference(actual, expected), 0) << what;
    else
        EXPECT_LE(MeanDifference(actual, expected), tolerance) << what;
}

TEST_F(Formats, EveryFormatGivesItsPixelsBack)
{
    const RoundTrip cases[] = {
        {FormatKeyJpeg, "a.jpg", FormatKeyJpeg, 4}, {FormatKeyTiff, "a.tif", FormatKeyTiff, 0},
        {FormatKeyPng, "a.png", FormatKeyPng, 0},   {FormatKeyBmp, "a.bmp", FormatKeyBmp, 0},
        {FormatKeyKvi, "a.kvi", FormatKeyKvi, 2},   {FormatKeyExchange, "a.raw", FormatKeyExchange, 0},
    };
    for (const RoundTrip& c : cases) {
        TKvGraphicsDocument* source = Holding(picture);
        ASSERT_TRUE(source->SaveToFile(Path(c.file), c.key)) << c.file;
        TKvGraphicsDocument* loaded = Load(Path(c.file));
        ASSERT_TRUE(loaded) << c.file;
        EXPECT_EQ(loaded->FormatKey(), c.loadedKey) << c.file;
        ExpectClose(DocumentPicture(*loaded), picture, c.tolerance, c.file);
        EXPECT_TRUE(loaded->Saved()) << c.file;
    }
}

TEST_F(Formats, ACropRectangleLimitsWhatIsWrittenExceptInTheExchangeFile)
{
    const RoundTrip cases[] = {
        {FormatKeyPng, "crop.png", FormatKeyPng, 0},
        {FormatKeyExchange, "crop.raw", FormatKeyExchange, 0},
    };
    for (const RoundTrip& c : cases) {
        TKvGraphicsDocument* source = Holding(picture);
        source->SetCropRect({5, 6, 25, 16});
        ASSERT_TRUE(source->SaveToFile(Path(c.file), c.key));
        TKvGraphicsDocument* loaded = Load(Path(c.file));
        ASSERT_TRUE(loaded);
        const QImage expected = c.key == FormatKeyExchange ? picture : picture.copy(5, 6, 20, 10);
        ExpectClose(DocumentPicture(*loaded), expected, c.tolerance, c.file);
    }
}

TEST_F(Formats, AJpegKeepsItsCoefficientsThroughLoadAndSave)
{
    const QString path = Write("camera.jpg", CameraJpeg(picture));
    TKvGraphicsDocument* document = Load(path);
    ASSERT_TRUE(document);
    ASSERT_TRUE(document->CodecInStep());
    ASSERT_TRUE(document->SaveToFile(Path("again.jpg"), FormatKeyJpeg));
    EXPECT_TRUE(document->Codec().LastSaveReport().FromCoefficients);
    const TJpegContent before = ReadJpegContent(ReadFileBytes(folder / "camera.jpg"));
    const TJpegContent after = ReadJpegContent(ReadFileBytes(folder / "again.jpg"));
    ASSERT_EQ(before.Components.size(), after.Components.size());
    for (size_t c = 0; c < before.Components.size(); ++c)
        EXPECT_EQ(before.Components[c].Coefficients, after.Components[c].Coefficients);
}

TEST_F(Formats, PngWithAlphaLoadsAs24BitWithItsColoursAsStored)
{
    QImage translucent(4, 2, QImage::Format_ARGB32);
    translucent.fill(QColor(10, 20, 30, 0));
    translucent.setPixelColor(1, 1, QColor(200, 100, 50, 128));
    TKvGraphicsDocument* document = Load(Write("alpha.png", Encode(translucent, "png")));
    ASSERT_TRUE(document);
    EXPECT_EQ(document->Image().Pixels().Format, PixelFormatBGR24);
    const uint8_t* clear = document->Image().Pixels().PixelAt(0, 0);
    EXPECT_EQ((std::vector<int>{clear[2], clear[1], clear[0]}), (std::vector<int>{10, 20, 30}));
    const uint8_t* half = document->Image().Pixels().PixelAt(1, 1);
    EXPECT_EQ((std::vector<int>{half[2], half[1], half[0]}), (std::vector<int>{200, 100, 50}));
}

TEST_F(Formats, PicturesWithoutAFormatOfTheirOwnLoadAsPng)
{
    TKvGraphicsDocument* document = Load(Write("a.gif", TinyGif));
    ASSERT_TRUE(document);
    EXPECT_EQ(document->FormatKey(), FormatKeyPng);
    EXPECT_EQ(document->Image().Width(), 1);
}

// --- .kvi files

TEST_F(Formats, KviIsRecognisedByContentAndLoadingLeavesTheFileAsItWas)
{
    const QByteArray jpeg = Encode(picture, "jpeg", 95);
    ASSERT_TRUE(IsPlainJpegWithHeader(jpeg));
    const QString kviNamedJpg = Write("looks.jpg", Complemented(jpeg));
    const QString jpegNamedKvi = Write("looks.kvi", jpeg);
    const QDateTime modified = QFileInfo(kviNamedJpg).lastModified();

    TKvGraphicsDocument* kvi = Load(kviNamedJpg);
    ASSERT_TRUE(kvi);
    EXPECT_EQ(kvi->FormatKey(), FormatKeyKvi);
    EXPECT_EQ(ReadBytes(kviNamedJpg), Complemented(jpeg));
    EXPECT_EQ(QFileInfo(kviNamedJpg).lastModified(), modified);

    TKvGraphicsDocument* plain = Load(jpegNamedKvi);
    ASSERT_TRUE(plain);
    EXPECT_EQ(plain->FormatKey(), FormatKeyJpeg);

    // Saved back as .kvi, complemented.
    ASSERT_TRUE(kvi->RotateRight());
    ASSERT_TRUE(kvi->Save());
    const QByteArray written = ReadBytes(kviNamedJpg);
    EXPECT_TRUE(IsKviFile(written));
    EXPECT_FALSE(written.startsWith("\xFF\xD8"));
    TKvGraphicsDocument* again = Load(kviNamedJpg);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->FormatKey(), FormatKeyKvi);
    EXPECT_EQ(again->Image().Width(), 30);
}

TEST_F(Formats, KviRecognitionRules)
{
    QByteArray header("\xFF\xD8\xFF\xE0\x00\x10JFIF\x00\x01\x01\x00\x00\x01", 16);
    EXPECT_FALSE(IsKviFile(Complemented(header)));                  // 16 bytes: not longer than 16
    EXPECT_TRUE(IsKviFile(Complemented(header) + "x"));
    QByteArray lower = header;
    lower[8] = 'i';
    lower[9] = 'f';
    EXPECT_TRUE(IsKviFile(Complemented(lower) + "x"));
    QByteArray other = header;
    other[9] = 'X';
    EXPECT_FALSE(IsKviFile(Complemented(other) + "x"));
    EXPECT_FALSE(IsKviFile(header + "x")); // a plain JPEG
}

TEST_F(Formats, KviFromPixelsIsWrittenAtFullQualityWithoutAsking)
{
    int asked = 0;
    formats.SetJpegOptionsDialog([&](int quality) -> std::optional<int> {
        ++asked;
        return quality;
    });
    TKvGraphicsDocument* document = Holding(picture);
    ASSERT_TRUE(document->SaveToFile(Path("pixels.kvi"), FormatKeyKvi));
    EXPECT_EQ(asked, 0);
    QByteArray bytes = ReadBytes(Path("pixels.kvi"));
    ASSERT_TRUE(IsKviFile(bytes));
    ComplementKviHeader(bytes);
    QImage decoded;
    ASSERT_TRUE(decoded.loadFromData(bytes, "JPEG"));
    EXPECT_LE(MeanDifference(decoded, picture), 1);
}

// --- JPEG quality

TEST_F(Formats, JpegFromPixelsAsksForTheQualityAndKeepsTheAnswer)
{
    std::vector<int> offered;
    std::optional<int> answer = 15;
    formats.SetJpegOptionsDialog([&](int quality) {
        offered.push_back(quality);
        return answer;
    });
    TKvGraphicsDocument* document = Holding(picture);
    ASSERT_TRUE(document->SaveToFile(Path("low.jpg"), FormatKeyJpeg));
    EXPECT_EQ(formats.JpegQuality, 15);
    answer = 95;
    ASSERT_TRUE(document->SaveToFile(Path("high.jpg"), FormatKeyJpeg));
    EXPECT_EQ(offered, (std::vector<int>{80, 15}));
    EXPECT_LT(ReadBytes(Path("low.jpg")).size(), ReadBytes(Path("high.jpg")).size());

    // Cancelled: nothing written, the old file stays, the document unsaved.
    answer = std::nullopt;
    const QByteArray old = ReadBytes(Path("low.jpg"));
    document->History().Add(std::make_unique<TKvGraphicsCommandState>(nullptr, TRect{0, 0, 1, 1}, document));
    EXPECT_FALSE(document->SaveToFile(Path("low.jpg"), FormatKeyJpeg));
    EXPECT_EQ(ReadBytes(Path("low.jpg")), old);
    EXPECT_EQ(formats.JpegQuality, 95);
    EXPECT_FALSE(document->Saved());
}

TEST_F(Formats, WithoutADialogTheStoredQualityIsUsed)
{
    TKvGraphicsDocument* document = Holding(picture);
    formats.JpegQuality = 10;
    ASSERT_TRUE(document->SaveToFile(Path("ten.jpg"), FormatKeyJpeg));
    formats.JpegQuality = 95;
    ASSERT_TRUE(document->SaveToFile(Path("ninetyfive.jpg"), FormatKeyJpeg));
    EXPECT_LT(ReadBytes(Path("ten.jpg")).size(), ReadBytes(Path("ninetyfive.jpg")).size());
}

// --- Exchange files

TEST_F(Formats, ExchangeFilesCarryRedGreenBlueAndKind3Only)
{
    TKvGraphicsDocument* document = Holding(picture);
    ASSERT_TRUE(document->SaveToFile(Path("plugin.raw"), FormatKeyExchange));
    const QByteArray bytes = ReadBytes(Path("plugin.raw"));
    ASSERT_EQ(bytes.size(), 36 + 120 * 30);
    const QColor first = picture.pixelColor(0, 0);
    EXPECT_EQ(uint8_t(bytes[36]), first.red());
    EXPECT_EQ(uint8_t(bytes[37]), first.green());
    EXPECT_EQ(uint8_t(bytes[38]), first.blue());

    TKvGraphicsDocument* loaded = Load(Path("plugin.raw"));
    ASSERT_TRUE(loaded);
    EXPECT_EQ(loaded->FormatKey(), FormatKeyExchange);
    EXPECT_EQ(loaded->Properties().Count(), 0);

    QByteArray otherKind = bytes;
    otherKind[8] = 4;
    EXPECT_FALSE(Load(Write("kind4.raw", otherKind)));
}

// --- Descriptions

TEST_F(Formats, DescriptionLines)
{
    struct Case {
        const char* file;
        QByteArray bytes;
        QString text;
    };
    const Case cases[] = {
        {"plain.jpg", Encode(picture, "jpeg"), QStringLiteral("Format: JPEG\nSize: 40 x 30")},
        {"camera.jpg", CameraJpeg(picture),
         QStringLiteral("Format: JPEG\nSize: 40 x 30\nDate: 2021:06:05 14:30:00\nCamera: Kestrel K-7")},
        {"camera.kvi", Complemented(CameraJpeg(picture)),
         QStringLiteral("Format: JPEG\nSize: 40 x 30\nDate: 2021:06:05 14:30:00\nCamera: Kestrel K-7")},
        {"plain.png", Encode(picture, "png"), QStringLiteral("Format: PNG\nSize: 40 x 30")},
        {"plain.tif", Encode(picture, "tiff"), QStringLiteral("Format: TIFF\nSize: 40 x 30")},
        {"plain.bmp", Encode(picture, "bmp"), QStringLiteral("Format: BMP\nSize: 40 x 30")},
        {"plain.gif", TinyGif, QStringLiteral("\nSize: 1 x 1")},
        {"noise.bin", QByteArray(100, 'x'), QString()},
    };
    for (const Case& c : cases) {
        std::unique_ptr<TKvFileInfo> info;
        ASSERT_TRUE(formats.GetFileInfo(Write(c.file, c.bytes), info)) << c.file;
        EXPECT_EQ(info->Text(), c.text) << c.file;
    }
    std::unique_ptr<TKvFileInfo> info;
    EXPECT_FALSE(formats.GetFileInfo(Path("missing.jpg"), info));
}

// --- Thumbnails

TEST_F(Formats, ThumbnailsFitTheBoxAndAreDrawnCentred)
{
    const QString path = Write("wide.png", Encode(PatternPicture(400, 300), "png"));
    std::unique_ptr<TKvThumbnail> thumbnail;
    ASSERT_TRUE(formats.GetThumbnail(path, 100, 100, thumbnail));
    QImage canvas(200, 200, QImage::Format_RGB32);
    QPainter painter(&canvas);
    QRect drawn;
    EXPECT_TRUE(thumbnail->Draw(painter, QRect(10, 10, 100, 100), drawn));
    EXPECT_EQ(drawn, QRect(10, 22, 100, 75));
    EXPECT_FALSE(formats.GetThumbnail(Write("noise.png", QByteArray(50, 'n')), 100, 100, thumbnail));
    EXPECT_FALSE(formats.GetThumbnail(Path("missing.png"), 100, 100, thumbnail));
}

TEST_F(Formats, ThumbnailsAreMadeOnOtherThreads)
{
    const std::vector<QString> paths = {
        Write("t1.jpg", Encode(PatternPicture(300, 200), "jpeg")),
        Write("t2.kvi", Complemented(Encode(PatternPicture(200, 300), "jpeg"))),
        Write("t3.png", Encode(PatternPicture(120, 120), "png")),
        Write("t4.tif", Encode(PatternPicture(90, 30), "tiff")),
    };
    std::vector<QFuture<QSize>> futures;
    for (int round = 0; round < 3; ++round)
        for (const QString& path : paths)
            futures.push_back(QtConcurrent::run([this, path] {
                std::unique_ptr<TKvThumbnail> thumbnail;
                if (!formats.GetThumbnail(path, 60, 60, thumbnail))
                    return QSize();
                return static_cast<TKvGraphicsThumbnail*>(thumbnail.get())->Image().size();
            }));
    const QSize expected[] = {{60, 40}, {40, 60}, {60, 60}, {60, 20}};
    for (size_t i = 0; i < futures.size(); ++i)
        EXPECT_EQ(futures[i].result(), expected[i % 4]) << i;
}

// --- Metadata

TEST_F(Formats, CameraMetadataIsReadIntoItemsWithTheResolution)
{
    TKvGraphicsDocument* document = Load(Write("camera.jpg", CameraJpeg(picture)));
    ASSERT_TRUE(document);
    const TKvGraphicsDocumentProperties& items = document->Properties();
    EXPECT_EQ(ItemText(items, TagDateTime), QStringLiteral("2021:06:05 14:30:00"));
    EXPECT_EQ(ItemText(items, TagMake), QStringLiteral("Kestrel"));
    EXPECT_EQ(ItemText(items, TagModel), QStringLiteral("K-7"));
    EXPECT_EQ(items.XResolution, 300);
    EXPECT_EQ(items.YResolution, 300);
    const int exposure = items.IndexOf(0x829A);
    ASSERT_GE(exposure, 0);
    EXPECT_EQ(items.Items(exposure)->Type, 5u); // unsigned rational
    EXPECT_EQ(items.Items(exposure)->Size, 8);
    EXPECT_GE(items.IndexOf(TagThumbnailData), 0);
    // Pointers into the file's own layout are not items.
    EXPECT_LT(items.IndexOf(0x8769), 0);
}

TEST_F(Formats, MetadataSurvivesASaveInEveryFormatThatCanCarryIt)
{
    struct Case {
        qint32 key;
        const char* file;
        bool carriesItems; // BMP carries the resolution only
    };
    const Case cases[] = {
        {FormatKeyJpeg, "m.jpg", true}, {FormatKeyTiff, "m.tif", true}, {FormatKeyPng, "m.png", true},
        {FormatKeyKvi, "m.kvi", true},  {FormatKeyBmp, "m.bmp", false},
    };
    const QString camera = Write("camera.jpg", CameraJpeg(picture));
    for (const Case& c : cases) {
        TKvGraphicsDocument* document = Load(camera);
        ASSERT_TRUE(document);
        ASSERT_TRUE(document->SaveToFile(Path(c.file), c.key)) << c.file;
        TKvGraphicsDocument* loaded = Load(Path(c.file));
        ASSERT_TRUE(loaded) << c.file;
        const TKvGraphicsDocumentProperties& items = loaded->Properties();
        EXPECT_EQ(items.XResolution, 300) << c.file;
        EXPECT_EQ(items.YResolution, 300) << c.file;
        if (c.carriesItems) {
            EXPECT_EQ(ItemText(items, TagDateTime), QStringLiteral("2021:06:05 14:30:00")) << c.file;
            EXPECT_EQ(ItemText(items, TagMake), QStringLiteral("Kestrel")) << c.file;
            EXPECT_EQ(ItemText(items, TagModel), QStringLiteral("K-7")) << c.file;
        }
        EXPECT_LE(MeanDifference(DocumentPicture(*loaded), DocumentPicture(*document)), 4) << c.file;
    }
}

TEST_F(Formats, SavesThroughTheEncodersDropTheEmbeddedThumbnailOnly)
{
    TKvGraphicsDocument* camera = Load(Write("camera.jpg", CameraJpeg(picture)));
    ASSERT_TRUE(camera);
    ASSERT_TRUE(camera->SaveToFile(Path("step.png"), FormatKeyPng));
    EXPECT_LT(camera->Properties().IndexOf(TagThumbnailData), 0);
    // And from that PNG (no JPEG source) to a JPEG written from pixels.
    TKvGraphicsDocument* png = Load(Path("step.png"));
    ASSERT_TRUE(png);
    ASSERT_TRUE(png->SaveToFile(Path("step.jpg"), FormatKeyJpeg));
    TKvGraphicsDocument* jpeg = Load(Path("step.jpg"));
    ASSERT_TRUE(jpeg);
    EXPECT_LT(jpeg->Properties().IndexOf(TagThumbnailData), 0);
    EXPECT_EQ(ItemText(jpeg->Properties(), TagMake), QStringLiteral("Kestrel"));
    EXPECT_GE(jpeg->Properties().IndexOf(0x829A), 0);
    EXPECT_EQ(jpeg->Properties().XResolution, 300);
}

// --- Damaged metadata

QByteArray PutUInt32BE(QByteArray bytes, int offset, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = char(value >> (24 - 8 * i));
    return bytes;
}

QByteArray PutUInt32LE(QByteArray bytes, int offset, quint32 value)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = char(value >> (8 * i));
    return bytes;
}


// An entry of a little-endian TIFF directory; value is the value itself
// when it fits in four bytes, else its offset in the block.
struct TIfdEntry {
    quint16 tag;
    quint16 type;
    quint32 count;
    quint32 value;
};

// A little-endian TIFF block as EXIF carries it: the header, the first
// directory at offset 8 with the entries, the offset of the next directory,
// then data (at DataOffset(entries.size())).
quint32 DataOffset(std::size_t entries)
{
    return quint32(8 + 2 + 12 * entries + 4);
}

QByteArray TiffBlock(const std::vector<TIfdEntry>& entries, quint32 nextDirectory, const QByteArray& data)
{
    QByteArray block("II\x2A\x00\x08\x00\x00\x00", 8);
    const auto put16 = [&](quint16 v) { block.append(char(v & 0xFF)).append(char(v >> 8)); };
    const auto put32 = [&](quint32 v) { put16(quint16(v & 0xFFFF)), put16(quint16(v >> 16)); };
    put16(quint16(entries.size()));
    for (const TIfdEntry& e : entries) {
        put16(e.tag);
        put16(e.type);
        put32(e.count);
        put32(e.value);
    }
    put32(nextDirectory);
    return block + data;
}

// Two rationals (the X and Y resolutions) as data bytes.
QByteArray Rationals(quint32 numerator, quint32 denominator)
{
    QByteArray bytes;
    for (int i = 0; i < 2; ++i)
        for (const quint32 v : {numerator, denominator})
            for (int b = 0; b < 4; ++b)
                bytes.append(char(v >> (8 * b)));
    return bytes;
}

// The camera's name, then the resolution numerator / denominator per unit
// (2 inch, 3 centimetre).
QByteArray ExifBlock(quint32 numerator, quint32 denominator, quint16 unit, quint32 nextDirectory = 0,
                     quint32 makeCount = 8)
{
    const quint32 data = DataOffset(4);
    return TiffBlock({{TagMake, 2, makeCount, data},
                      {quint16(TagXResolution), 5, 1, data + 8},
                      {quint16(TagYResolution), 5, 1, data + 16},
                      {quint16(TagResolutionUnit), 3, 1, unit}},
                     nextDirectory, QByteArray("Kestrel\0", 8) + Rationals(numerator, denominator));
}

// The JPEG with an APP1 segment holding "Exif\0\0" and the block, after its
// JFIF segment.
QByteArray WithExifSegment(const QByteArray& jpeg, const QByteArray& block)
{
    const QByteArray payload = QByteArray("Exif\0\0", 6) + block;
    const qsizetype length = payload.size() + 2;
    QByteArray segment("\xFF\xE1", 2);
    segment.append(char(length >> 8)).append(char(length & 0xFF));
    const qsizetype afterJfif = 4 + ((quint8(jpeg[4]) << 8) | quint8(jpeg[5]));
    return jpeg.left(afterJfif) + segment + payload + jpeg.mid(afterJfif);
}

// The PNG with its pHYs chunk replaced by one of the given data (a
// well-formed chunk whose length is not the nine bytes pHYs has).
QByteArray WithPhysChunk(const QByteArray& png, const QByteArray& data)
{
    QByteArray bytes = png;
    const qsizetype at = bytes.indexOf("pHYs") - 4;
    if (at > 0)
        bytes.remove(at, 4 + 4 + 9 + 4);
    QByteArray chunk = QByteArray("pHYs") + data;
    const quint32 crc = quint32(crc32(0, reinterpret_cast<const Bytef*>(chunk.constData()), uInt(chunk.size())));
    QByteArray length(4, '\0');
    QByteArray check(4, '\0');
    for (int i = 0; i < 4; ++i) {
        length[i] = char(quint32(data.size()) >> (24 - 8 * i));
        check[i] = char(crc >> (24 - 8 * i));
    }
    const qsizetype afterHeader = 8 + 4 + 4 + 13 + 4; // signature, IHDR
    return bytes.left(afterHeader) + length + chunk + check + bytes.mid(afterHeader);
}

// Damaged metadata never costs the picture: it opens with its pixels, its
// resolution is the one the file states soundly or else 96 dots per inch,
// and it is saved in its own format even when its tags cannot be written
// back.
TEST_F(Formats, DamagedMetadataNeverCostsThePicture)
{
    const QImage smooth = PatternPicture(40, 30, true);
    const QByteArray jpeg = [&] {
        const QImage bgr = smooth.convertToFormat(QImage::Format_BGR888);
        TKvPixels pixels;
        pixels.Init({0, 0, bgr.width(), bgr.height()}, const_cast<uchar*>(bgr.constBits()), PixelFormatBGR24,
                    int(bgr.bytesPerLine()));
        const TBytes bytes = EncodeJpeg(pixels); // JFIF without a density unit
        return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    }();
    const QByteArray sound = ExifBlock(300, 1, 2);
    struct Case {
        const char* name;
        const char* file;
        QByteArray bytes;
        qint32 dpi;
        double tolerance; // mean channel difference from the picture
    };
    const Case cases[] = {
        {"jpeg, sound exif", "sound.jpg", WithExifSegment(jpeg, sound), 300, 3},
        {"jpeg, exif cut short", "cut.jpg", WithExifSegment(jpeg, sound.left(20)), 96, 3},
        {"jpeg, next directory is itself", "loop.jpg", WithExifSegment(jpeg, ExifBlock(300, 1, 2, 8)), 300, 3},
        {"jpeg, a count past the end", "count.jpg", WithExifSegment(jpeg, ExifBlock(300, 1, 2, 0, 100000)), 300, 3},
        {"jpeg, zero denominator", "zero.jpg", WithExifSegment(jpeg, ExifBlock(300, 0, 2)), 96, 3},
        // 118 dots per centimetre are 299.72 per inch.
        {"jpeg, centimetres", "cm.jpg", WithExifSegment(jpeg, ExifBlock(118, 1, 3)), 300, 3},
        {"png, pHYs of 4 bytes", "short.png", WithPhysChunk(Encode(smooth, "png"), QByteArray(4, '\x10')), 96, 0},
        {"png, pHYs of 13 bytes", "long.png", WithPhysChunk(Encode(smooth, "png"), QByteArray(13, '\x10')), 96, 0},
        // -3780 pixels per metre, as a signed header field.
        {"bmp, negative pixels per metre", "negative.bmp",
         PutUInt32LE(PutUInt32LE(Encode(smooth, "bmp"), 38, quint32(-3780)), 42, quint32(-3780)), 96, 0},
        {"tiff, resolution 0", "zero.tif", WithExif(Encode(smooth, "tiff"), [](Exiv2::ExifData& exif) {
             exif["Exif.Image.XResolution"] = Exiv2::URational(0, 1);
             exif["Exif.Image.YResolution"] = Exiv2::URational(0, 1);
         }), 96, 0},
    };
    for (const Case& c : cases) {
        TKvGraphicsDocument* document = Load(Write(c.file, c.bytes));
        ASSERT_TRUE(document) << c.name;
        ExpectClose(DocumentPicture(*document), smooth, c.tolerance, c.name);
        EXPECT_EQ(document->Properties().XResolution, c.dpi) << c.name;
        EXPECT_EQ(document->Properties().YResolution, c.dpi) << c.name;

        const QString saved = Path(std::string("saved-") + c.file);
        ASSERT_TRUE(document->SaveToFile(saved, document->FormatKey())) << c.name;
        TKvGraphicsDocument* again = Load(saved);
        ASSERT_TRUE(again) << c.name;
        ExpectClose(DocumentPicture(*again), smooth, c.tolerance + 1, c.name);
        EXPECT_EQ(again->Properties().XResolution, c.dpi) << c.name;
    }
}

// --- Safe saves

TEST_F(Formats, AFailedSaveLeavesTheOldFileAndNoLeftovers)
{
    const QString target = Write("keep.png", Encode(picture, "png"));
    const QByteArray old = ReadBytes(target);
    TKvGraphicsDocument* document = Load(target);
    ASSERT_TRUE(document);
    document->History().Add(std::make_unique<TKvGraphicsCommandState>(nullptr, TRect{0, 0, 1, 1}, document));

    EXPECT_FALSE(document->SaveToFile(target, 42)); // no such format
    formats.SetJpegOptionsDialog([](int) { return std::optional<int>(); });
    EXPECT_FALSE(document->SaveToFile(target, FormatKeyJpeg)); // cancelled
    EXPECT_FALSE(document->SaveToFile(Path("no/such/folder/x.png"), FormatKeyPng));
    EXPECT_FALSE(document->SaveToFile(Path(""), FormatKeyPng)); // a folder

    EXPECT_EQ(ReadBytes(target), old);
    EXPECT_FALSE(document->Saved());
    EXPECT_EQ(document->FileName(), target);
    EXPECT_EQ(QDir(Path("")).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("keep.png")});
}

// A full disk, as a write cut short by the file-size limit (EFBIG) and, when
// the tests may mount one, as a filled-up file system (ENOSPC). Every
// writer keeps the old file byte for byte and leaves no temporary file; the
// document stays unsaved under its own name and format; and once there is
// room it writes exactly what a document fresh from the same file writes,
// so the failed attempt changed nothing (a JPEG keeps the source's coding).
struct FullDisk {
    const char* name;
    const char* source; // the document's own file
    qint32 key;         // the format it is saved in
};

const FullDisk FullDiskCases[] = {
    {"jpeg through the lossless codec", "camera.jpg", FormatKeyJpeg},
    {"kvi through the lossless codec", "camera.kvi", FormatKeyKvi},
    {"jpeg from pixels", "camera.png", FormatKeyJpeg},
    {"png", "camera.png", FormatKeyPng},
    {"tiff", "camera.png", FormatKeyTiff},
    {"bmp", "camera.png", FormatKeyBmp},
    {"exchange file", "camera.png", FormatKeyExchange},
};

struct FormatsOnAFullDisk : Formats {
    void SetUp() override
    {
        const QByteArray camera = CameraJpeg(PatternPicture(64, 48, true));
        Write("camera.jpg", camera);
        Write("camera.kvi", Complemented(camera));
        Write("camera.png", Encode(PatternPicture(64, 48), "png"));
        formats.SetJpegOptionsDialog([](int) { return std::optional<int>(90); });
    }
    // What a document fresh from the case's file writes with room enough.
    QByteArray WrittenWithRoom(const FullDisk& c)
    {
        TKvGraphicsDocument* fresh = Load(Path(c.source));
        EXPECT_TRUE(fresh && fresh->SaveToFile(Path("with-room.bin"), c.key)) << c.name;
        const QByteArray bytes = ReadBytes(Path("with-room.bin"));
        QFile::remove(Path("with-room.bin"));
        return bytes;
    }
    // Saves the case's document over the old file at target while
    // runOutOfRoom is in force; then once more with room.
    void Check(const FullDisk& c, const QString& target, const std::function<void()>& runOutOfRoom,
               const std::function<void()>& makeRoom)
    {
        const QByteArray old = Encode(picture, "png");
        ASSERT_TRUE(WriteBytes(target, old)) << c.name;
        TKvGraphicsDocument* document = Load(Path(c.source));
        ASSERT_TRUE(document) << c.name;
        const qint32 sourceKey = document->FormatKey();
        document->History().Add(std::make_unique<TKvGraphicsCommandState>(nullptr, TRect{0, 0, 1, 1}, document));
        const QStringList before = QDir(QFileInfo(target).path()).entryList(QDir::AllEntries | QDir::Hidden);

        runOutOfRoom();
        EXPECT_FALSE(document->SaveToFile(target, c.key)) << c.name;
        makeRoom();
        EXPECT_EQ(ReadBytes(target), old) << c.name;
        EXPECT_EQ(QDir(QFileInfo(target).path()).entryList(QDir::AllEntries | QDir::Hidden), before) << c.name;
        EXPECT_FALSE(document->Saved()) << c.name;
        EXPECT_EQ(document->FileName(), Path(c.source)) << c.name;
        EXPECT_EQ(document->FormatKey(), sourceKey) << c.name;

        ASSERT_TRUE(document->SaveToFile(target, c.key)) << c.name;
        EXPECT_EQ(ReadBytes(target), WrittenWithRoom(c)) << c.name;
        EXPECT_TRUE(document->Saved()) << c.name;
    }
};

TEST_F(FormatsOnAFullDisk, AWriteCutShortKeepsTheOldFileInEveryFormat)
{
    for (const FullDisk& c : FullDiskCases) {
        std::optional<TFileSizeLimit> limit;
        Check(c, Path("old.bin"), [&] { limit.emplace(512); }, [&] { limit.reset(); });
    }
}

TEST_F(FormatsOnAFullDisk, AFullFileSystemKeepsTheOldFileInEveryFormat)
{
    TSmallFileSystem disk;
    if (!disk.Available())
        GTEST_SKIP() << disk.Reason();
    const QString target = QString::fromStdString((disk.Path() / "old.bin").string());
    for (const FullDisk& c : FullDiskCases)
        Check(c, target, [&] { ASSERT_TRUE(disk.Fill()); }, [&] { disk.Empty(); });
}

// --- Damaged and hostile files

// Every damaged or hostile file is refused without a change to it and gets
// no preview; its description names what its header soundly says (the
// format, the size when it is readable and within bounds), nothing more.
TEST_F(Formats, DamagedAndHostileFilesFailCleanly)
{
    QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio.jpeg.warning=false"));
    const QByteArray jpeg = Encode(PatternPicture(64, 64), "jpeg", 90);
    const QByteArray png = Encode(picture, "png");
    const QByteArray bmp = Encode(picture, "bmp");
    const QByteArray tiff = Encode(picture, "tiff");
    TKvPixelBuffer small;
    ASSERT_TRUE(small.SetFormat(PixelFormatBGR24, RectOfSize(0, 0, 4, 4)));
    const std::vector<uint8_t> exchangeVector = WriteExchangeFile(small);
    const QByteArray exchange(reinterpret_cast<const char*>(exchangeVector.data()), qsizetype(exchangeVector.size()));
    QByteArray corruptJpeg = jpeg;
    for (qsizetype i = jpeg.size() / 2; i < jpeg.size() / 2 + 40; ++i)
        corruptJpeg[i] = char(0xFF);
    // A JPEG the codec does not keep (CMYK) is decoded by Qt's reader, which
    // would spend minutes on thousands of scans; such files are refused
    // before any decoder sees them.
    const auto bytesOf = [](const TBytes& bytes) {
        return QByteArray(reinterpret_cast<const char*>(bytes.data()), qsizetype(bytes.size()));
    };
    TJpegFixtureOptions cmykOptions;
    cmykOptions.Kind = TJpegKind::Cmyk;
    cmykOptions.Progressive = true;
    const TBytes cmyk = EncodeJpeg(MakeTestPicture(64, 48), cmykOptions);

    const QString jpeg64 = QStringLiteral("Format: JPEG\nSize: 64 x 64");
    const QString jpegOnly = QStringLiteral("Format: JPEG");
    struct Case {
        const char* name;
        QByteArray bytes;
        QString description;
    };
    const Case cases[] = {
        {"empty", QByteArray(), QString()},
        {"noise", QByteArray(3000, '\x5A'), QString()},
        {"jpeg cut in half", jpeg.left(jpeg.size() / 2), jpeg64},
        {"jpeg header only", jpeg.left(200), jpegOnly},
        {"jpeg with corrupted data", corruptJpeg, jpeg64},
        {"jpeg claiming 65500 x 65500", [&] {
             QByteArray b = jpeg;
             const qsizetype sof = b.indexOf("\xFF\xC0");
             b[sof + 5] = b[sof + 6] = b[sof + 7] = b[sof + 8] = char(0xFF);
             return b;
         }(), jpegOnly},
        {"cmyk jpeg with one scan too many", bytesOf(WithLastScanRepeated(cmyk, JpegCodec::MaxScans + 1)),
         QStringLiteral("Format: JPEG\nSize: 64 x 48")},
        {"kvi cut short", Complemented(jpeg).left(17), jpegOnly},
        {"kvi cut in half", Complemented(jpeg).left(jpeg.size() / 2), jpeg64},
        {"png cut in half", png.left(png.size() / 2), QStringLiteral("Format: PNG\nSize: 40 x 30")},
        {"png claiming 100000 x 100000", PutUInt32BE(PutUInt32BE(png, 16, 100000), 20, 100000),
         QStringLiteral("Format: PNG")},
        // Qt's reader would make up the rows a bitmap lacks, after
        // allocating the whole picture its header claims.
        {"bmp cut in half", bmp.left(bmp.size() / 2), QStringLiteral("Format: BMP\nSize: 40 x 30")},
        {"bmp claiming 1000000 x 1000000", PutUInt32LE(PutUInt32LE(bmp, 18, 1000000), 22, 1000000),
         QStringLiteral("Format: BMP")},
        {"tiff cut in half", tiff.left(tiff.size() / 2), QStringLiteral("Format: TIFF")},
        {"tiff header only", tiff.left(8), QStringLiteral("Format: TIFF")},
        {"gif cut after its header", TinyGif.left(13), QString()},
        {"gif claiming 65535 x 65535", [] {
             QByteArray b = TinyGif;
             b[6] = b[7] = b[8] = b[9] = char(0xFF);
             b[0x16 - 3] = b[0x17 - 3] = b[0x18 - 3] = b[0x19 - 3] = char(0xFF);
             return b;
         }(), QString()},
        {"exchange cut short", exchange.left(exchange.size() - 1), QString()},
        {"exchange claiming 2^30 x 2^30", PutUInt32LE(PutUInt32LE(exchange, 20, 1u << 30), 24, 1u << 30), QString()},
        {"exchange with 0 bytes per pixel", PutUInt32LE(exchange, 32, 0), QString()},
        {"exchange header only", exchange.left(36), QString()},
    };
    for (const Case& c : cases) {
        const QString path = Write("hostile.bin", c.bytes);
        TKvGraphicsDocument* document = editor.NewDocument();
        qint32 key = 12345;
        EXPECT_FALSE(formats.LoadDocument(document, path, key)) << c.name;
        EXPECT_EQ(ReadBytes(path), c.bytes) << c.name;
        std::unique_ptr<TKvFileInfo> info;
        ASSERT_TRUE(formats.GetFileInfo(path, info)) << c.name;
        EXPECT_EQ(info->Text(), c.description) << c.name;
        std::unique_ptr<TKvThumbnail> thumbnail;
        EXPECT_FALSE(formats.GetThumbnail(path, 50, 50, thumbnail)) << c.name;
        EXPECT_FALSE(thumbnail) << c.name;
    }

    // The same files whole, or just within the limits, open and have a
    // preview: the refusals above are the damage's doing.
    const std::pair<const char*, QByteArray> sound[] = {
        {"cmyk jpeg with as many scans as allowed", bytesOf(WithLastScanRepeated(cmyk, JpegCodec::MaxScans))},
        {"bmp whole", bmp},
        {"jpeg whole", jpeg},
    };
    for (const auto& [name, bytes] : sound) {
        const QString path = Write("sound.bin", bytes);
        EXPECT_TRUE(Load(path)) << name;
        std::unique_ptr<TKvThumbnail> thumbnail;
        EXPECT_TRUE(formats.GetThumbnail(path, 20, 20, thumbnail)) << name;
    }
    QLoggingCategory::setFilterRules(QString());
}

TEST_F(Formats, OnlyRegularFilesAreOpened)
{
    // Opening a pipe would wait for a writer; a device reads without end.
    const QString pipe = Path("pipe.jpg");
    ASSERT_EQ(mkfifo(QFile::encodeName(pipe).constData(), 0600), 0);
    for (const QString& path : {pipe, Path(""), QStringLiteral("/dev/zero")}) {
        TKvGraphicsDocument* document = editor.NewDocument();
        qint32 key = 12345;
        EXPECT_FALSE(formats.LoadDocument(document, path, key)) << path.toStdString();
        std::unique_ptr<TKvThumbnail> thumbnail;
        EXPECT_FALSE(formats.GetThumbnail(path, 10, 10, thumbnail)) << path.toStdString();
    }
}

TEST_F(Formats, PicturesOverThePixelLimitAreRefusedInEveryReader)
{
    formats.SetPixelLimit(40 * 30 - 1);
    const std::vector<std::pair<const char*, QByteArray>> files = {
        {"limit.jpg", Encode(picture, "jpeg")},
        {"limit-turned.jpg", WithExif(Encode(picture, "jpeg"), Orientation(6))},
        {"limit.png", Encode(picture, "png")},
        {"limit.tif", Encode(picture, "tiff")},
    };
    for (const auto& [name, bytes] : files)
        EXPECT_FALSE(Load(Write(name, bytes))) << name;
    TKvGraphicsDocument* document = Holding(picture);
    ASSERT_TRUE(document->SaveToFile(Path("limit.raw"), FormatKeyExchange));
    EXPECT_FALSE(Load(Path("limit.raw")));
    std::unique_ptr<TKvThumbnail> thumbnail;
    EXPECT_FALSE(formats.GetThumbnail(Path("limit.png"), 10, 10, thumbnail));
    EXPECT_FALSE(formats.GetThumbnail(Path("limit-turned.jpg"), 10, 10, thumbnail));
    formats.SetPixelLimit(40 * 30);
    EXPECT_TRUE(Load(Path("limit.png")));
}

// --- Pictures stored turned: the Exif orientation

TEST_F(Formats, PicturesStoredTurnedOpenUprightAndAreSavedUpright)
{
    struct Case {
        std::string name;
        int storedAs; // the orientation the pixels are stored in
        std::function<void(Exiv2::ExifData&)> tag;
    };
    std::vector<Case> cases;
    for (int orientation = 1; orientation <= 8; ++orientation)
        cases.push_back({std::to_string(orientation), orientation, Orientation(orientation)});
    // Anything but an orientation leaves the picture as stored.
    cases.push_back({"zero", 1, Orientation(0)});
    cases.push_back({"nine", 1, Orientation(9)});
    cases.push_back({"text", 1, [](Exiv2::ExifData& exif) {
                         const Exiv2::AsciiValue text("6");
                         exif.add(Exiv2::ExifKey("Exif.Image.Orientation"), &text);
                     }});
    struct Format {
        const char* name;
        qint32 key;
        double tolerance;
    };
    const Format fileFormats[] = {{"jpeg", FormatKeyJpeg, 8}, {"tiff", FormatKeyTiff, 0}, {"png", FormatKeyPng, 0}};
    const QImage upright = UprightSquares();
    for (const Format& format : fileFormats)
        for (const Case& c : cases) {
            const std::string what = std::string(format.name) + " " + c.name;
            const std::string file = "stored-" + c.name + "." + format.name;
            TKvGraphicsDocument* document =
                Load(Write(file, FileWithExif(format.name, StoredAs(upright, c.storedAs), c.tag)));
            ASSERT_TRUE(document) << what;
            ExpectClose(DocumentPicture(*document), upright, format.tolerance, what.c_str());
            EXPECT_EQ(document->CodecInStep(), format.key == FormatKeyJpeg) << what;

            // Saved as it opened, the picture stays upright for every reader.
            ASSERT_TRUE(document->SaveToFile(Path("saved-" + file), format.key)) << what;
            const std::optional<Exiv2::Exifdatum> tag = ExifDatum(Path("saved-" + file), "Exif.Image.Orientation");
            EXPECT_TRUE(!tag || tag->toLong() == 1) << what;
            TKvGraphicsDocument* again = Load(Path("saved-" + file));
            ASSERT_TRUE(again) << what;
            ExpectClose(DocumentPicture(*again), upright, format.tolerance, what.c_str());
        }
}

TEST_F(Formats, AJpegStoredTurnedKeepsEveryCoefficientThroughOpenAndSave)
{
    const char* turnsOf[] = {"", "", "-flip horizontal", "-rotate 180", "-flip vertical",
                             "-transpose", "-rotate 90", "-transverse", "-rotate 270"};
    const QImage upright = UprightSquares();
    for (int orientation = 1; orientation <= 8; ++orientation) {
        const QByteArray source = FileWithExif("jpeg", StoredAs(upright, orientation), [&](Exiv2::ExifData& exif) {
            Orientation(orientation)(exif);
            const QByteArray thumbnail = Encode(StoredAs(upright, orientation).scaled(12, 12), "jpeg", 50);
            Exiv2::ExifThumb(exif).setJpegThumbnail(reinterpret_cast<const Exiv2::byte*>(thumbnail.constData()),
                                                    long(thumbnail.size()));
        });
        TKvGraphicsDocument* document = Load(Write("turned.jpg", source));
        ASSERT_TRUE(document) << orientation;
        ASSERT_TRUE(document->SaveToFile(Path("unedited.jpg"), FormatKeyJpeg)) << orientation;
        EXPECT_TRUE(document->Codec().LastSaveReport().FromCoefficients) << orientation;
        EXPECT_EQ(document->Codec().LastSaveReport().EncodedUnits, 0) << orientation;

        // The coefficients are the source's, turned upright exactly.
        const TBytes stored(source.begin(), source.end());
        const TJpegContent expected =
            ReadJpegContent(orientation == 1 ? stored : RunJpegtran(turnsOf[orientation], stored));
        const TJpegContent saved = ReadJpegContent(ReadFileBytes(folder / "unedited.jpg"));
        EXPECT_EQ(saved.Width, upright.width()) << orientation;
        ASSERT_EQ(saved.Components.size(), expected.Components.size()) << orientation;
        for (size_t c = 0; c < saved.Components.size(); ++c)
            EXPECT_EQ(saved.Components[c].Coefficients, expected.Components[c].Coefficients) << orientation;

        const std::optional<Exiv2::Exifdatum> tag = ExifDatum(Path("unedited.jpg"), "Exif.Image.Orientation");
        ASSERT_TRUE(tag) << orientation;
        EXPECT_EQ(tag->toLong(), 1) << orientation;
        // The embedded thumbnail shows the picture as stored: it goes once
        // that is no longer how the picture is written.
        EXPECT_EQ(bool(ExifDatum(Path("unedited.jpg"), "Exif.Thumbnail.JPEGInterchangeFormat")), orientation == 1)
            << orientation;
    }
}

TEST_F(Formats, EverySaveWritesTheSavedSizeIntoThePixelDimensionTags)
{
    TKvGraphicsDocument* document =
        Load(Write("sized.jpg", FileWithExif("jpeg", UprightSquares(), [](Exiv2::ExifData& exif) {
                       exif["Exif.Photo.PixelXDimension"] = uint16_t(48);
                       exif["Exif.Photo.PixelYDimension"] = uint32_t(32);
                   })));
    ASSERT_TRUE(document);
    ASSERT_TRUE(document->RotateRight());
    document->SetCropRect({0, 0, 32, 40});
    const std::pair<const char*, qint32> saves[] = {
        {"sized-saved.jpg", FormatKeyJpeg}, {"sized-saved.tif", FormatKeyTiff}, {"sized-saved.png", FormatKeyPng}};
    for (const auto& [name, key] : saves) {
        ASSERT_TRUE(document->SaveToFile(Path(name), key)) << name;
        const std::optional<Exiv2::Exifdatum> x = ExifDatum(Path(name), "Exif.Photo.PixelXDimension");
        const std::optional<Exiv2::Exifdatum> y = ExifDatum(Path(name), "Exif.Photo.PixelYDimension");
        ASSERT_TRUE(x && y) << name;
        EXPECT_EQ(x->toLong(), 32) << name;
        EXPECT_EQ(y->toLong(), 40) << name;
    }
}

TEST_F(Formats, PreviewsAndDescriptionsShowPicturesStoredTurnedUpright)
{
    const QImage upright = UprightSquares();
    for (const char* format : {"jpeg", "tiff"}) {
        const QString path =
            Write(std::string("preview.") + format, FileWithExif(format, StoredAs(upright, 6), Orientation(6)));
        std::unique_ptr<TKvThumbnail> thumbnail;
        ASSERT_TRUE(formats.GetThumbnail(path, 24, 24, thumbnail)) << format;
        const QImage preview = static_cast<TKvGraphicsThumbnail*>(thumbnail.get())->Image();
        ASSERT_EQ(preview.size(), QSize(24, 16)) << format;
        EXPECT_LE(MaxDifference(preview.copy(2, 2, 4, 4), upright.copy(0, 0, 4, 4).scaled(4, 4)), 24) << format;
        EXPECT_TRUE(TKvGraphicsFileInfo(path).Text().contains(QStringLiteral("48 x 32"))) << format;
    }
}

} // namespace
