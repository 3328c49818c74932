// The reading side of the formats layer: "load this file as an upright
// picture". The graphics formats load documents with it, the open dialog's
// previews and orvane-cut read their pictures with it, and so will the
// object library and the paste tool, so that a file opens everywhere as
// the editor shows it: turned by its orientation tag, in 24 bits, blue
// first. Only regular files are read, at most MaxPictureFileBytes, and
// pictures of at most a pixel limit; .kvi files read as the JPEGs they hold,
// exchange files as their pixels. JPEGs go through the lossless codec, every
// other format through Qt's readers.
#pragma once

#include "JpegCodec.h"
#include "KvImageMetadata.h"
#include "KvLTBitmap.h"

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImageReader>
#include <QString>

#include <cstdint>

// Larger files are not read: no picture the program can hold needs them.
constexpr qint64 MaxPictureFileBytes = qint64(1) << 31;

// What loading a picture file gives besides the pixels, and the limit it
// keeps to.
struct TKvPictureLoad {
    // The largest picture accepted, in pixels.
    std::uint64_t PixelLimit = JpegCodec::DefaultPixelLimit;
    // When given, a JPEG is read through this codec and stays in it, turned
    // upright losslessly, so that it can be saved again without loss.
    JpegCodec* Codec = nullptr;
    // The format the file was read as (a TKvGraphicsFormatKey).
    qint32 FormatKey = 0;
    // The file's metadata items, saying upright and the picture's size
    // (none for an exchange file).
    TKvGraphicsDocumentProperties Metadata;
};

// Reads the file into the picture, upright. False when the file cannot be
// read as a picture: not a regular file, too large, damaged (a JPEG the
// codec takes but cannot decode, a JPEG with more scans than any decoder
// should be given, a bitmap cut short), or of no format a reader takes; the
// picture is then in no particular state.
bool LoadUprightPicture(const QString& path, TKvLTBitmap& picture, TKvPictureLoad& load);
bool LoadUprightPicture(const QString& path, TKvLTBitmap& picture);

// A picture file opened for a reader without reading it whole: the file
// itself, or the bytes of a .kvi file with the header complemented back into
// a JPEG's. For describing files.
class TKvPictureFile {
public:
    explicit TKvPictureFile(const QString& path);
    // None when the file cannot be read.
    QIODevice* Device() const { return m_device; }
    void ReadMetadataItems(TKvCustomProperties& items) const;

private:
    QString m_path;
    QFile m_file;
    QByteArray m_bytes;
    QBuffer m_buffer;
    QIODevice* m_device = nullptr;
};

// A reader over the bytes that decides the format by content, does not turn
// pictures by their orientation tag, and knows the picture's size.
struct TKvPictureReader {
    explicit TKvPictureReader(QIODevice* device)
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
