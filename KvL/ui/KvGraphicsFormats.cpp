#include "KvGraphicsFormats.h"

#include "KvExchangeFile.h"
#include "KvGraphicsDocument.h"
#include "KvImageMetadata.h"
#include "KvLocalizer.h"
#include "KvOutputFiles.h"
#include "KvPictureLoader.h"
#include "KvWaitCursor.h"

#include <QBuffer>
#include <QFile>
#include <QFileInfo>
#include <QImageReader>
#include <QImageWriter>
#include <QPainter>

#include <algorithm>
#include <iterator>
#include <climits>
#include <cmath>

namespace {

constexpr int KviHeaderSize = 16;
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

// The part rect of pixels (image coordinates), without a copy.
TKvPixels SubPixels(const TKvPixels& pixels, const TRect& rect)
{
    TKvPixels part;
    part.Init(rect, pixels.PixelAt(rect.Left, rect.Top), pixels.Format, pixels.Stride);
    return part;
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

QImage PictureImage(const TKvPixels& pixels, const TRect& rect, const TKvGraphicsDocumentProperties& metadata)
{
    QImage picture(static_cast<const uchar*>(pixels.PixelAt(rect.Left, rect.Top)), rect.Width(), rect.Height(),
                   pixels.Stride, QImage::Format_BGR888);
    if (metadata.XResolution > 0 && metadata.YResolution > 0) {
        picture.setDotsPerMeterX(int(std::lround(metadata.XResolution / MetresPerInch)));
        picture.setDotsPerMeterY(int(std::lround(metadata.YResolution / MetresPerInch)));
    }
    return picture;
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
    const TKvPictureFile file(path);
    if (!file.Device())
        return;
    TKvPictureReader reader(file.Device());
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

// The preview is the picture as it opens, scaled to fit.
bool TKvGraphicsFormats::GetThumbnail(const QString& path, int width, int height,
                                      std::unique_ptr<TKvThumbnail>& thumbnail) const
{
    TKvLTBitmap picture;
    TKvPictureLoad load;
    load.PixelLimit = m_pixelLimit;
    if (!LoadUprightPicture(path, picture, load))
        return false;
    const QImage image = PictureImage(picture.Pixels(), picture.Pixels().GetBounds(), load.Metadata);
    int fitWidth = 0;
    int fitHeight = 0;
    if (!FitSize(image.width(), image.height(), width, height, fitWidth, fitHeight))
        return false;
    thumbnail = std::make_unique<TKvGraphicsThumbnail>(
        image.scaled(std::max(fitWidth, 1), std::max(fitHeight, 1), Qt::IgnoreAspectRatio, Qt::SmoothTransformation));
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
    TKvPictureLoad load;
    load.PixelLimit = m_pixelLimit;
    load.Codec = &graphics->Codec();
    if (!LoadUprightPicture(fileName, graphics->Image(), load))
        return false;
    // An exchange file carries no metadata.
    if (load.FormatKey != FormatKeyExchange)
        graphics->Properties().Assign(&load.Metadata);
    if (!graphics->ImageLoaded())
        return false;
    formatKey = load.FormatKey;
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
    return WriteWholeFile(fileName, bytes);
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
    TKvGraphicsDocumentProperties& properties = document.Properties();
    // Read-only over the document's pixels: the writer never changes them.
    const QImage picture = PictureImage(document.Image().Pixels(), rect, properties);
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
