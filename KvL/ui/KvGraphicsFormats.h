// The graphics editor's file formats: JPEG, TIFF, PNG, BMP, the program's
// own .kvi (a JPEG whose first 16 bytes are stored complemented) and the
// exchange file of plug-in mode. Loads pictures into graphics documents and
// saves them, describes files and makes previews for the file dialogs.
//
// Pictures are read by the picture loader (KvPictureLoader): upright, JPEG
// files through the document's lossless codec, which keeps them for a
// lossless save; they are encoded by the codec or by Qt's image writers;
// metadata goes through Exiv2 (KvImageMetadata). Once a picture is upright
// its metadata say orientation 1, and every save writes the saved size
// into the pixel dimension tags. Every save is written to a temporary file beside
// the target and renamed over it only once complete: a failed save leaves
// the old file as it was.
#pragma once

#include "JpegCodec.h"
#include "KvEditor.h"
#include "KvImageMetadata.h"

#include <QByteArray>
#include <QImage>

#include <cstdint>
#include <functional>
#include <optional>

class TKvGraphicsDocument;

// Keys of the formats. A picture Qt decodes that has no format of its own
// (GIF, for example) is loaded with the PNG key, so that it is saved as PNG
// unless the user chooses otherwise.
enum TKvGraphicsFormatKey : qint32 {
    FormatKeyExchange = -1,
    FormatKeyJpeg = 0,
    FormatKeyTiff = 1,
    FormatKeyPng = 2,
    FormatKeyBmp = 3,
    FormatKeyKvi = 4,
};

// A .kvi file: longer than 16 bytes, and its first 16 bytes, complemented,
// start with FF D8 FF and read "IF" (either case) at offsets 8 and 9.
bool IsKviFile(const QByteArray& bytes);
// Complements the first 16 bytes (both ways between .kvi and JPEG).
void ComplementKviHeader(QByteArray& bytes);
// The part rect of the pixels as a picture for Qt's writers and painters,
// read-only over the pixels (no copy), with the resolution the metadata give.
QImage PictureImage(const TKvPixels& pixels, const TRect& rect, const TKvGraphicsDocumentProperties& metadata);
// A JPEG as the encoders write it (FF D8 FF, "IF" of JFIF or Exif at 8 and 9).
bool IsPlainJpegWithHeader(const QByteArray& bytes);

// The description of one file for the open dialog: its format, size, date
// and camera, one line each, the lines that have a value.
class TKvGraphicsFileInfo : public TKvFileInfo {
public:
    explicit TKvGraphicsFileInfo(const QString& path);
    QString Text() const override { return m_text; }

private:
    QString m_text;
};

// A preview picture, drawn centred at its own size.
class TKvGraphicsThumbnail : public TKvThumbnail {
public:
    explicit TKvGraphicsThumbnail(QImage image) : m_image(std::move(image)) {}
    bool Draw(QPainter& painter, const QRect& rect, QRect& drawn) override;
    const QImage& Image() const { return m_image; }

private:
    QImage m_image;
};

// The JPEG options question: given the quality to start with, the quality
// the user chose, or none when they cancelled.
using TKvJpegOptionsDialog = std::function<std::optional<int>(int quality)>;

class TKvGraphicsFormats : public TKvDocumentFormats {
public:
    // Pictures with more pixels are refused before anything is allocated
    // for them.
    static constexpr std::uint64_t DefaultPixelLimit = JpegCodec::DefaultPixelLimit;

    TKvGraphicsFormats();

    int Count() const override;
    TKvFileFormatInfo Items(int index) const override;
    // JPEG, TIFF, PNG and BMP: .kvi is not offered under a new name.
    void SaveFormats(TKvFileFormatList& list) const override;
    bool GetFileInfo(const QString& path, std::unique_ptr<TKvFileInfo>& info) const override;
    // Safe on any thread: touches no document and no user interface.
    bool GetThumbnail(const QString& path, int width, int height,
                      std::unique_ptr<TKvThumbnail>& thumbnail) const override;
    bool LoadDocument(TKvDocument* document, const QString& fileName, qint32& formatKey) override;
    bool SaveDocument(TKvDocument* document, const QString& fileName, qint32 formatKey) override;
    bool CanSaveFormat(qint32 formatKey) const override;

    // The quality of JPEG files written from pixels; the editor keeps it in
    // its settings.
    int JpegQuality = 80;
    // Asked before a JPEG is written from pixels; without one, JpegQuality
    // is used as it is.
    void SetJpegOptionsDialog(TKvJpegOptionsDialog dialog) { m_jpegOptions = std::move(dialog); }
    void SetPixelLimit(std::uint64_t pixels) { m_pixelLimit = pixels; }
    std::uint64_t PixelLimit() const { return m_pixelLimit; }

private:
    // The file's bytes for the key; false when they cannot be made.
    bool EncodeDocument(TKvGraphicsDocument& document, qint32 formatKey, std::optional<int> jpegQuality,
                        QByteArray& bytes);
    bool EncodeThroughCodec(TKvGraphicsDocument& document, QByteArray& bytes);
    bool EncodeThroughQt(TKvGraphicsDocument& document, const QByteArray& format, int quality,
                         QByteArray& bytes);

    TKvJpegOptionsDialog m_jpegOptions;
    std::uint64_t m_pixelLimit = DefaultPixelLimit;
};
