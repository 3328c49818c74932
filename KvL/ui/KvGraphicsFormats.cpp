#include "KvGraphicsFormats.h"

#include "KvExchangeFile.h"
#include "KvGraphicsDocument.h"
#include "KvImageMetadata.h"
#include "KvLocalizer.h"

#include <QBuffer>
#include <QCursor>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>
#include <QSaveFile>
#include <QTransform>
#include <QtEndian>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <cstring>
#include <type_traits>

namespace {

constexpr int KviHeaderSize = 16;
// Larger files are not read: no picture the program can hold needs them.
constexpr qint64 MaxFileBytes = qint64(1) << 31;
constexpr double MetresPerInch = 0.0254;

const TKvFileFormatInfo FormatTable[] = {
    {FormatKeyJpeg, QStringLiteral("JPEG"), QStringLiteral("*.jpg;*.jpeg"), QStringLiteral(".jpg")},
    {FormatKeyTiff, QStringLiteral("TIFF"), QStringLiteral("*.tif;*.tiff"), QStringLiteral(".tif")},
    {FormatKeyPng, QStringLiteral("PNG"), QStringLiteral("*.png"), QStringLiteral(".png")},
    {FormatKeyBmp, QStringLiteral("BMP"), QStringLiteral("*.bmp;*.rle;*.dib"), QStringLiteral(".bmp")},
    {FormatKeyKvi, QStringLiteral("KVI"), QStringLiteral("*.kvi"), QStringLiteral(".kvi")},
};
constexpr int FormatCount = int(std::size(FormatTable));
constexpr int SaveFormatCount = 4;

// The hourglass while a file is read or written (when there is a screen).
class TWaitCursor {
public:
    TWaitCursor() : m_shown(qobject_cast<QGuiApplication*>(QCoreApplication::instance()) != nullptr)
    {
        if (m_shown)
            QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    }
    ~TWaitCursor()
    {
        if (m_shown)
            QGuiApplication::restoreOverrideCursor();
    }
    TWaitCursor(const TWaitCursor&) = delete;
    TWaitCursor& operator=(const TWaitCursor&) = delete;

private:
    bool m_shown;
};

// Only regular files hold pictures: opening a pipe would wait for a writer,
// and a device can be read without end.
bool IsRegularFile(const QString& path)
{
    return QFileInfo(path).isFile();
}

std::optional<QByteArray> ReadFile(const QString& path)
{
    QFile file(path);
    if (!IsRegularFile(path) || !file.open(QIODevice::ReadOnly) || file.size() > MaxFileBytes)
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
}

// A picture file opened for a reader: the file itself, or the bytes of a
// .kvi file with the header complemented back into a JPEG's, so that only
// .kvi files are read whole.
class TPictureFile {
public:
    explicit TPictureFile(const QString& path) : m_path(path), m_file(path)
    {
        if (!IsRegularFile(path) || !m_file.open(QIODevice::ReadOnly) || m_file.size() > MaxFileBytes)
            return;
        if (!IsKviFile(m_file.peek(KviHeaderSize + 1))) {
            m_device = &m_file;
            return;
        }
        m_bytes = m_file.readAll();
        ComplementKviHeader(m_bytes);
        m_buffer.setBuffer(&m_bytes);
        m_buffer.open(QIODevice::ReadOnly);
        m_device = &m_buffer;
    }
    // None when the file cannot be read.
    QIODevice* Device() const { return m_device; }
    // Whether the file is a JPEG with more scans than any decoder should be
    // given. Reads the file through and goes back to its start, so it is
    // asked before a reader takes the device.
    bool HoldsTooManyJpegScans() const
    {
        if (!m_device || !m_device->peek(2).startsWith("\xFF\xD8"))
            return false;
        const QByteArray bytes = m_device->readAll();
        m_device->seek(0);
        return HasTooManyJpegScans(reinterpret_cast<const std::uint8_t*>(bytes.constData()), size_t(bytes.size()));
    }
    void ReadMetadataItems(TKvCustomProperties& items) const
    {
        if (m_device == &m_buffer)
            ::ReadMetadataItems(m_bytes, items);
        else
            ::ReadMetadataItems(m_path, items);
    }

private:
    QString m_path;
    QFile m_file;
    QByteArray m_bytes;
    QBuffer m_buffer;
    QIODevice* m_device = nullptr;
};

bool WriteFileSafely(const QString& path, const QByteArray& bytes)
{
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
}

qint32 KeyOfQtFormat(const QByteArray& format)
{
    if (format == "jpeg" || format == "jpg")
        return FormatKeyJpeg;
    if (format == "tiff" || format == "tif")
        return FormatKeyTiff;
    if (format == "bmp" || format == "dib")
        return FormatKeyBmp;
    return FormatKeyPng;
}

QString NameOfQtFormat(const QByteArray& format)
{
    if (format == "jpeg" || format == "jpg")
        return QStringLiteral("JPEG");
    if (format == "tiff" || format == "tif")
        return QStringLiteral("TIFF");
    if (format == "png")
        return QStringLiteral("PNG");
    if (format == "bmp" || format == "dib")
        return QStringLiteral("BMP");
    return {};
}

// A reader over the bytes that decides the format by content, does not turn
// pictures by their orientation tag, and knows the picture's size.
struct TPictureReader {
    explicit TPictureReader(QIODevice* device)
    {
        Reader.setDevice(device);
        Reader.setDecideFormatFromContent(true);
        Reader.setAutoTransform(false);
    }
    // True when a reader takes the file and its size is within the limit.
    bool CanRead(std::uint64_t pixelLimit)
    {
        if (!Reader.canRead())
            return false;
        const QSize size = Reader.size();
        // A reader that cannot tell the size in advance is left to Qt's own
        // allocation limit.
        return !size.isValid() || (size.width() > 0 && size.height() > 0
                                   && std::uint64_t(size.width()) * std::uint64_t(size.height()) <= pixelLimit);
    }

    QImageReader Reader;
};

// Bytes of a Windows bitmap's headers that tell whether its rows fit in it.
constexpr qint64 BitmapHeaderBytes = 34;

// An uncompressed Windows bitmap whose rows do not all fit in the file of
// fileSize bytes (header: the file's first bytes). Qt's reader shows such a
// file with a made-up remainder instead of failing, after allocating the
// whole picture a few bytes may claim.
bool IsTruncatedBitmap(const QByteArray& header, qint64 fileSize)
{
    const auto* p = reinterpret_cast<const uchar*>(header.constData());
    if (header.size() < 30 || p[0] != 'B' || p[1] != 'M' || qFromLittleEndian<quint32>(p + 14) < 40)
        return false;
    const quint32 compression = header.size() >= BitmapHeaderBytes ? qFromLittleEndian<quint32>(p + 30) : 0;
    if (compression != 0 && compression != 3) // run-length data end where they say
        return false;
    const std::int64_t offset = qFromLittleEndian<quint32>(p + 10);
    const std::int64_t width = qFromLittleEndian<qint32>(p + 18);
    const std::int64_t height = std::abs(std::int64_t(qFromLittleEndian<qint32>(p + 22)));
    const std::int64_t bits = qFromLittleEndian<quint16>(p + 28);
    const std::int64_t rowBytes = (width * bits + 31) / 32 * 4;
    // rowBytes x height > room, without a product that may overflow.
    const std::int64_t room = fileSize - offset;
    if (room < 0)
        return true;
    return rowBytes > 0 && height > room / rowBytes;
}

// A 24-bit copy of a decoded picture: colours as stored, any alpha dropped
// (not blended with anything).
QImage ToBgr24(QImage image)
{
    if (image.hasAlphaChannel()) {
        image.convertTo(QImage::Format_ARGB32);
        image.reinterpretAsFormat(QImage::Format_RGB32);
    }
    image.convertTo(QImage::Format_BGR888);
    return image;
}

bool CopyIntoBitmap(const QImage& image, TKvLTBitmap& bitmap)
{
    if (image.isNull() || !bitmap.SetSize(image.width(), image.height(), PixelFormatBGR24))
        return false;
    TKvPixels& pixels = bitmap.Pixels();
    const size_t rowBytes = size_t(image.width()) * 3;
    for (int y = 0; y < image.height(); ++y)
        std::memcpy(pixels.PixelAt(0, y), image.constScanLine(y), rowBytes);
    return true;
}

// The part rect of pixels (image coordinates), without a copy.
TKvPixels SubPixels(const TKvPixels& pixels, const TRect& rect)
{
    TKvPixels part;
    part.Init(rect, pixels.PixelAt(rect.Left, rect.Top), pixels.Format, pixels.Stride);
    return part;
}

// Turns a picture stored with an Exif orientation (2..8) upright, with its
// own exact quarter turns and mirrors: the lossless codec before it decodes,
// or a decoded bitmap. Any other orientation leaves it as it is.
template <typename Picture>
bool TurnUpright(Picture& picture, int orientation)
{
    using TStep = decltype(&Picture::RotateRight);
    const std::array<TStep, 2> steps[] = {
        {},                                                  // 0: not an orientation
        {},                                                  // 1: upright as stored
        {&Picture::FlipHorizontal},                          // 2: mirrored
        {&Picture::FlipHorizontal, &Picture::FlipVertical}, // 3: upside down
        {&Picture::FlipVertical},                            // 4: mirrored upside down
        {&Picture::RotateRight, &Picture::FlipHorizontal},  // 5: transposed
        {&Picture::RotateRight},                             // 6: turned left when taken
        {&Picture::RotateRight, &Picture::FlipVertical},    // 7: transverse
        {&Picture::RotateLeft},                              // 8: turned right when taken
    };
    if (orientation < 0 || orientation >= int(std::size(steps)))
        return true;
    for (const TStep step : steps[orientation]) {
        if (!step)
            continue;
        if constexpr (std::is_void_v<decltype((picture.*step)())>)
            (picture.*step)();
        else if (!(picture.*step)())
            return false;
    }
    return true;
}

int DotsPerMetre(qint32 dpi)
{
    return int(std::lround(dpi / MetresPerInch));
}

} // namespace

// ---------------------------------------------------------------------------
// .kvi files

bool IsKviFile(const QByteArray& bytes)
{
    if (bytes.size() <= KviHeaderSize)
        return false;
    QByteArray head = bytes.left(KviHeaderSize);
    ComplementKviHeader(head);
    return IsPlainJpegWithHeader(head);
}

void ComplementKviHeader(QByteArray& bytes)
{
    const qsizetype count = std::min<qsizetype>(KviHeaderSize, bytes.size());
    for (qsizetype i = 0; i < count; ++i)
        bytes[i] = char(~bytes[i]);
}

bool IsPlainJpegWithHeader(const QByteArray& bytes)
{
    return bytes.size() >= 10 && bytes.startsWith("\xFF\xD8\xFF") && (bytes[8] == 'I' || bytes[8] == 'i')
        && (bytes[9] == 'F' || bytes[9] == 'f');
}

// ---------------------------------------------------------------------------
// File descriptions and thumbnails

TKvGraphicsFileInfo::TKvGraphicsFileInfo(const QString& path) : TKvFileInfo(path)
{
    const TPictureFile file(path);
    if (!file.Device())
        return;
    TPictureReader reader(file.Device());
    if (!reader.Reader.canRead())
        return;
    const QString format = NameOfQtFormat(reader.Reader.format());
    if (!format.isEmpty())
        m_text = LocalStr(215, QStringLiteral("Format")) + QStringLiteral(": ") + format;
    const auto addLine = [this](qint32 id, const QString& label, const QString& value) {
        if (!value.isEmpty())
            m_text += QLatin1Char('\n') + LocalStr(id, label) + QStringLiteral(": ") + value;
    };
    TKvProperties metadata;
    file.ReadMetadataItems(metadata);
    // The size the picture opens with: upright.
    QSize size = reader.Reader.size();
    if (ImageOrientation(metadata) >= 5)
        size.transpose();
    if (size.isValid())
        addLine(504, QStringLiteral("Size"), QStringLiteral("%1 x %2").arg(size.width()).arg(size.height()));
    addLine(519, QStringLiteral("Date"), ItemText(metadata, TagDateTime));
    const QString make = ItemText(metadata, TagMake);
    const QString model = ItemText(metadata, TagModel);
    addLine(518, QStringLiteral("Camera"),
            make + (!make.isEmpty() && !model.isEmpty() ? QStringLiteral(" ") : QString()) + model);
}

bool TKvGraphicsThumbnail::Draw(QPainter& painter, const QRect& rect, QRect& drawn)
{
    drawn = QRect(rect.left() + (rect.width() - m_image.width()) / 2,
                  rect.top() + (rect.height() - m_image.height()) / 2, m_image.width(), m_image.height());
    painter.drawImage(drawn.topLeft(), m_image);
    return true;
}

// ---------------------------------------------------------------------------
// TKvGraphicsFormats

TKvGraphicsFormats::TKvGraphicsFormats()
{
    // Qt refuses pictures over its allocation limit (128 MB by default);
    // the pixel limit is the one that counts, in 4-byte pixels as Qt
    // decodes them.
    const std::uint64_t megabytes = (m_pixelLimit * 4 >> 20) + 1;
    if (std::uint64_t(QImageReader::allocationLimit()) < megabytes)
        QImageReader::setAllocationLimit(int(std::min<std::uint64_t>(megabytes, INT_MAX)));
}

int TKvGraphicsFormats::Count() const { return FormatCount; }

TKvFileFormatInfo TKvGraphicsFormats::Items(int index) const
{
    return index >= 0 && index < FormatCount ? FormatTable[index] : TKvFileFormatInfo{};
}

void TKvGraphicsFormats::SaveFormats(TKvFileFormatList& list) const
{
    list.assign(std::begin(FormatTable), std::begin(FormatTable) + SaveFormatCount);
}

bool TKvGraphicsFormats::GetFileInfo(const QString& path, std::unique_ptr<TKvFileInfo>& info) const
{
    if (!QFileInfo(path).isFile())
        return false;
    info = std::make_unique<TKvGraphicsFileInfo>(path);
    return true;
}

bool TKvGraphicsFormats::GetThumbnail(const QString& path, int width, int height,
                                      std::unique_ptr<TKvThumbnail>& thumbnail) const
{
    const TPictureFile file(path);
    if (!file.Device() || file.HoldsTooManyJpegScans()
        || IsTruncatedBitmap(file.Device()->peek(BitmapHeaderBytes), file.Device()->size()))
        return false;
    TPictureReader reader(file.Device());
    if (!reader.CanRead(m_pixelLimit))
        return false;
    // Previews stand upright as the pictures open; the reader scales the
    // picture as stored, before it turns it.
    reader.Reader.setAutoTransform(true);
    const bool turned = reader.Reader.transformation() & QImageIOHandler::TransformationRotate90;
    QSize size = reader.Reader.size();
    if (turned)
        size.transpose();
    int fitWidth = 0;
    int fitHeight = 0;
    if (size.isValid() && FitSize(size.width(), size.height(), width, height, fitWidth, fitHeight)) {
        const QSize fit(std::max(fitWidth, 1), std::max(fitHeight, 1));
        reader.Reader.setScaledSize(turned ? fit.transposed() : fit);
    }
    QImage image = reader.Reader.read();
    if (image.isNull())
        return false;
    if (!size.isValid() && FitSize(image.width(), image.height(), width, height, fitWidth, fitHeight))
        image = image.transformed(QTransform::fromScale(double(std::max(fitWidth, 1)) / image.width(),
                                                        double(std::max(fitHeight, 1)) / image.height()),
                                  Qt::SmoothTransformation);
    thumbnail = std::make_unique<TKvGraphicsThumbnail>(std::move(image));
    return true;
}

bool TKvGraphicsFormats::CanSaveFormat(qint32) const { return true; }

// --- Loading

bool TKvGraphicsFormats::LoadDocument(TKvDocument* document, const QString& fileName, qint32& formatKey)
{
    auto* graphics = dynamic_cast<TKvGraphicsDocument*>(document);
    if (!graphics)
        return false;
    const TWaitCursor wait;
    std::optional<QByteArray> bytes = ReadFile(fileName);
    return bytes && LoadPicture(*graphics, *bytes, formatKey);
}

bool TKvGraphicsFormats::LoadPicture(TKvGraphicsDocument& document, QByteArray& bytes, qint32& formatKey)
{
    document.Codec().Clear();
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    TExchangeFileHeader header;
    switch (ReadExchangeHeader(data, size_t(bytes.size()), m_pixelLimit, header)) {
    case TExchangeFileCheck::Damaged:
        return false;
    case TExchangeFileCheck::Valid:
        if (!document.Image().SetSize(header.Width, header.Height, PixelFormatBGR24))
            return false;
        CopyExchangePixels(data, header, document.Image().Pixels());
        formatKey = FormatKeyExchange;
        return document.ImageLoaded();
    case TExchangeFileCheck::NotExchangeFile:
        break;
    }

    // A .kvi file is complemented in memory only: the file is never changed.
    const bool kvi = IsKviFile(bytes);
    if (kvi)
        ComplementKviHeader(bytes);
    if (HasTooManyJpegScans(reinterpret_cast<const std::uint8_t*>(bytes.constData()), size_t(bytes.size())))
        return false;
    TKvGraphicsDocumentProperties metadata;
    ReadImageMetadata(bytes, metadata);
    // Pictures are shown and kept upright: once turned, their metadata say
    // so.
    const int orientation = ImageOrientation(metadata);
    qint32 key = FormatKeyJpeg;
    switch (LoadThroughCodec(document, bytes, orientation)) {
    case TCodecLoad::Damaged:
        return false;
    case TCodecLoad::NotTaken:
        if (!LoadThroughQt(document, bytes, orientation, key))
            return false;
        break;
    case TCodecLoad::Loaded:
        break;
    }
    SetUprightPictureItems(metadata, document.Image().Width(), document.Image().Height());
    document.Properties().Assign(&metadata);
    if (!document.ImageLoaded())
        return false;
    formatKey = kvi ? FormatKeyKvi : key;
    return true;
}

// A JPEG whose header the codec takes but whose data do not decode (cut
// short, corrupted) is damaged: it is not handed to a more lenient decoder
// that would show a made-up remainder.
//
// A picture stored turned is turned upright by the codec's lossless turns
// before it is decoded: the upright picture is the original, and a save
// without edits keeps every coefficient.
TKvGraphicsFormats::TCodecLoad TKvGraphicsFormats::LoadThroughCodec(TKvGraphicsDocument& document,
                                                                    const QByteArray& bytes, int orientation)
{
    JpegCodec& codec = document.Codec();
    codec.SetPixelLimit(m_pixelLimit);
    if (!codec.LoadFromMemory(std::vector<std::uint8_t>(bytes.begin(), bytes.end())))
        return TCodecLoad::NotTaken;
    TurnUpright(codec, orientation);
    if (document.Image().SetSize(codec.Width(), codec.Height(), PixelFormatBGR24)
        && codec.CopyPixels(document.Image().Pixels()))
        return TCodecLoad::Loaded;
    codec.Clear();
    return TCodecLoad::Damaged;
}

bool TKvGraphicsFormats::LoadThroughQt(TKvGraphicsDocument& document, const QByteArray& bytes, int orientation,
                                       qint32& formatKey)
{
    QBuffer buffer(const_cast<QByteArray*>(&bytes));
    buffer.open(QIODevice::ReadOnly);
    TPictureReader reader(&buffer);
    if (!reader.CanRead(m_pixelLimit))
        return false;
    const QByteArray format = reader.Reader.format();
    if ((format == "bmp" || format == "dib") && IsTruncatedBitmap(bytes, bytes.size()))
        return false;
    const QImage image = reader.Reader.read();
    if (image.isNull() || std::uint64_t(image.width()) * std::uint64_t(image.height()) > m_pixelLimit
        || !CopyIntoBitmap(ToBgr24(image), document.Image()) || !TurnUpright(document.Image(), orientation))
        return false;
    formatKey = KeyOfQtFormat(format);
    return true;
}

// --- Saving

bool TKvGraphicsFormats::SaveDocument(TKvDocument* document, const QString& fileName, qint32 formatKey)
{
    auto* graphics = dynamic_cast<TKvGraphicsDocument*>(document);
    if (!graphics || graphics->Image().IsEmpty())
        return false;
    const TWaitCursor wait;
    const bool jpegKey = formatKey == FormatKeyJpeg || formatKey == FormatKeyKvi;
    std::optional<int> jpegQuality;
    if (jpegKey && !graphics->Codec().HasImage()) {
        if (formatKey == FormatKeyKvi) {
            jpegQuality = 100;
        } else {
            jpegQuality = m_jpegOptions ? m_jpegOptions(JpegQuality) : JpegQuality;
            if (!jpegQuality)
                return false;
            JpegQuality = *jpegQuality;
        }
    }
    graphics->BeforeSave();
    QByteArray bytes;
    if (!EncodeDocument(*graphics, formatKey, jpegQuality, bytes))
        return false;
    if (formatKey == FormatKeyKvi && IsPlainJpegWithHeader(bytes))
        ComplementKviHeader(bytes);
    return WriteFileSafely(fileName, bytes);
}

bool TKvGraphicsFormats::EncodeDocument(TKvGraphicsDocument& document, qint32 formatKey,
                                        std::optional<int> jpegQuality, QByteArray& bytes)
{
    switch (formatKey) {
    case FormatKeyExchange: {
        const std::vector<std::uint8_t> file = WriteExchangeFile(document.Image().Pixels());
        bytes = QByteArray(reinterpret_cast<const char*>(file.data()), qsizetype(file.size()));
        return !bytes.isEmpty();
    }
    case FormatKeyJpeg:
    case FormatKeyKvi:
        if (!jpegQuality)
            return EncodeThroughCodec(document, bytes);
        return EncodeThroughQt(document, "image/jpeg", *jpegQuality, bytes);
    case FormatKeyTiff:
        return EncodeThroughQt(document, "image/tiff", -1, bytes);
    case FormatKeyPng:
        return EncodeThroughQt(document, "image/png", -1, bytes);
    case FormatKeyBmp:
        return EncodeThroughQt(document, "image/bmp", -1, bytes);
    default:
        return false;
    }
}

bool TKvGraphicsFormats::EncodeThroughCodec(TKvGraphicsDocument& document, QByteArray& bytes)
{
    JpegCodec& codec = document.Codec();
    const TRect rect = document.GetImageRect();
    codec.SetCropRect(rect);
    TJpegSaveParameters parameters;
    parameters.Picture = SubPixels(document.Image().Pixels(), rect);
    // Without the original to compare with, the codec writes every block
    // from the picture's pixels: that is what a codec that lost track of the
    // picture must do.
    if (document.CodecInStep())
        parameters.Original = SubPixels(document.Original().Pixels(), rect);
    const std::uint32_t qualities = codec.GetSaveParameter();
    parameters.Quality = int(std::max(qualities >> 16, qualities & 0xFFFF));
    std::vector<std::uint8_t> output;
    const bool written = codec.SaveToMemory(output, parameters);
    codec.FinishSave();
    if (!written)
        return false;
    bytes = QByteArray(reinterpret_cast<const char*>(output.data()), qsizetype(output.size()));
    // The source's EXIF is written back as it was, but for what describes
    // the picture's geometry: it is upright now, of the saved size, and an
    // embedded thumbnail of the source as stored no longer shows it. The
    // picture matters more than these tags: it is written even when they
    // cannot be.
    SetUprightPictureTags(bytes, rect.Width(), rect.Height(), !codec.SavesSourceAsStored());
    return true;
}

bool TKvGraphicsFormats::EncodeThroughQt(TKvGraphicsDocument& document, const QByteArray& mimeType, int quality,
                                         QByteArray& bytes)
{
    QByteArray format;
    if (FindImageEncoder(QString::fromLatin1(mimeType), format) < 0)
        return false;
    const TRect rect = document.GetImageRect();
    const TKvPixels& pixels = document.Image().Pixels();
    // Read-only over the document's pixels: the writer never changes them.
    QImage picture(static_cast<const uchar*>(pixels.PixelAt(rect.Left, rect.Top)), rect.Width(), rect.Height(),
                   pixels.Stride, QImage::Format_BGR888);
    TKvGraphicsDocumentProperties& properties = document.Properties();
    if (properties.XResolution > 0 && properties.YResolution > 0) {
        picture.setDotsPerMeterX(DotsPerMetre(properties.XResolution));
        picture.setDotsPerMeterY(DotsPerMetre(properties.YResolution));
    }
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    if (quality >= 0)
        writer.setQuality(quality);
    if (format == "tiff")
        writer.setCompression(1); // LZW
    if (!writer.write(picture))
        return false;
    buffer.close();
    RemoveEmbeddedThumbnail(properties);
    SetUprightPictureItems(properties, rect.Width(), rect.Height());
    // The picture matters more than its metadata: a file that cannot carry
    // them (BMP) is written without.
    if (properties.Count() > 0)
        WriteImageMetadata(bytes, properties);
    return true;
}
