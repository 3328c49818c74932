#include "KvPictureWriter.h"

#include "JpegEncode.h"
#include "KvGraphicsFormats.h"

#include <QFileInfo>
#include <QImageWriter>

namespace {

bool IsJpegName(const QString& name)
{
    const QString suffix = QFileInfo(name).suffix().toLower();
    return suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg") || suffix == QLatin1String("jpe")
        || suffix == QLatin1String("jfif");
}

bool WriteJpeg(QIODevice& device, const TKvPixels& pixels, const TKvGraphicsDocumentProperties& metadata,
               int quality, QString& error)
{
    // No 32-bit copy of the picture on the way, as Qt's writer would make.
    std::vector<std::uint8_t> jpeg;
    if (!EncodeJpegAtQuality(pixels, quality, jpeg, {metadata.XResolution, metadata.YResolution})) {
        error = QStringLiteral("the JPEG encoder failed");
        return false;
    }
    if (device.write(reinterpret_cast<const char*>(jpeg.data()), qint64(jpeg.size())) != qint64(jpeg.size())) {
        error = device.errorString();
        return false;
    }
    return true;
}

} // namespace

bool WritePicture(QIODevice& device, const QString& name, const TKvPixels& pixels,
                  const TKvGraphicsDocumentProperties& metadata, int jpegQuality, QString& error)
{
    if (IsJpegName(name))
        return WriteJpeg(device, pixels, metadata, jpegQuality, error);
    QByteArray format = QFileInfo(name).suffix().toLower().toLatin1();
    if (!QImageWriter::supportedImageFormats().contains(format))
        format = "png";
    QImageWriter writer(&device, format);
    if (writer.write(PictureImage(pixels, pixels.GetBounds(), metadata)))
        return true;
    error = writer.errorString();
    return false;
}
