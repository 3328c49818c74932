#include "KvPictureWriter.h"

#include "JpegEncode.h"
#include "KvGraphicsFormats.h"

#include <QFileInfo>
#include <QImageWriter>
#include <QSaveFile>

namespace {

bool IsJpegName(const QString& path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("jpg") || suffix == QLatin1String("jpeg") || suffix == QLatin1String("jpe")
        || suffix == QLatin1String("jfif");
}

} // namespace

bool WritePictureFile(const QString& path, const TKvPixels& pixels, const TKvGraphicsDocumentProperties& metadata,
                      int jpegQuality)
{
    QSaveFile file(path);
    if (IsJpegName(path)) {
        // No 32-bit copy of the picture on the way, as Qt's writer would make.
        std::vector<std::uint8_t> jpeg;
        return EncodeJpegAtQuality(pixels, jpegQuality, jpeg, {metadata.XResolution, metadata.YResolution})
            && file.open(QIODevice::WriteOnly)
            && file.write(reinterpret_cast<const char*>(jpeg.data()), qint64(jpeg.size())) == qint64(jpeg.size())
            && file.commit();
    }
    if (!file.open(QIODevice::WriteOnly))
        return false;
    QByteArray format = QFileInfo(path).suffix().toLower().toLatin1();
    if (!QImageWriter::supportedImageFormats().contains(format))
        format = "png";
    QImageWriter writer(&file, format);
    return writer.write(PictureImage(pixels, pixels.GetBounds(), metadata)) && file.commit();
}
