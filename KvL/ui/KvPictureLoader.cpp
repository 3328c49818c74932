#include "KvPictureLoader.h"

#include "KvExchangeFile.h"
#include "KvGraphicsFormats.h"

#include <QFileInfo>
#include <QtEndian>

#include <array>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <type_traits>

namespace {

constexpr int KviHeaderSize = 16;

// Only regular files hold pictures: opening a pipe would wait for a writer,
// and a device can be read without end.
bool IsRegularFile(const QString& path)
{
    return QFileInfo(path).isFile();
}

std::optional<QByteArray> ReadFile(const QString& path)
{
    QFile file(path);
    if (!IsRegularFile(path) || !file.open(QIODevice::ReadOnly) || file.size() > MaxPictureFileBytes)
        return std::nullopt;
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return std::nullopt;
    return bytes;
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

enum class TCodecLoad { NotTaken, Damaged, Loaded };

// A JPEG whose header the codec takes but whose data do not decode (cut
// short, corrupted) is damaged: it is not handed to a more lenient decoder
// that would show a made-up remainder.
//
// A picture stored turned is turned upright by the codec's lossless turns
// before it is decoded: the upright picture is the original, and a save
// without edits keeps every coefficient.
TCodecLoad LoadThroughCodec(JpegCodec& codec, const QByteArray& bytes, int orientation, std::uint64_t pixelLimit,
                            TKvLTBitmap& picture)
{
    codec.SetPixelLimit(pixelLimit);
    if (!codec.LoadFromMemory(std::vector<std::uint8_t>(bytes.begin(), bytes.end())))
        return TCodecLoad::NotTaken;
    TurnUpright(codec, orientation);
    if (picture.SetSize(codec.Width(), codec.Height(), PixelFormatBGR24) && codec.CopyPixels(picture.Pixels()))
        return TCodecLoad::Loaded;
    codec.Clear();
    return TCodecLoad::Damaged;
}

bool LoadThroughQt(const QByteArray& bytes, int orientation, std::uint64_t pixelLimit, TKvLTBitmap& picture,
                   qint32& formatKey)
{
    QBuffer buffer(const_cast<QByteArray*>(&bytes));
    buffer.open(QIODevice::ReadOnly);
    TKvPictureReader reader(&buffer);
    if (!reader.CanRead(pixelLimit))
        return false;
    const QByteArray format = reader.Reader.format();
    if ((format == "bmp" || format == "dib") && IsTruncatedBitmap(bytes, bytes.size()))
        return false;
    const QImage image = reader.Reader.read();
    if (image.isNull() || std::uint64_t(image.width()) * std::uint64_t(image.height()) > pixelLimit
        || !CopyIntoBitmap(ToBgr24(image), picture) || !TurnUpright(picture, orientation))
        return false;
    formatKey = KeyOfQtFormat(format);
    return true;
}

// The bytes of a file read whole, as a picture.
bool LoadPictureBytes(QByteArray& bytes, TKvLTBitmap& picture, TKvPictureLoad& load)
{
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    TExchangeFileHeader header;
    switch (ReadExchangeHeader(data, size_t(bytes.size()), load.PixelLimit, header)) {
    case TExchangeFileCheck::Damaged:
        return false;
    case TExchangeFileCheck::Valid:
        if (!picture.SetSize(header.Width, header.Height, PixelFormatBGR24))
            return false;
        CopyExchangePixels(data, header, picture.Pixels());
        load.FormatKey = FormatKeyExchange;
        return true;
    case TExchangeFileCheck::NotExchangeFile:
        break;
    }

    // A .kvi file is complemented in memory only: the file is never changed.
    const bool kvi = IsKviFile(bytes);
    if (kvi)
        ComplementKviHeader(bytes);
    if (HasTooManyJpegScans(reinterpret_cast<const std::uint8_t*>(bytes.constData()), size_t(bytes.size())))
        return false;
    ReadImageMetadata(bytes, load.Metadata);
    // Pictures are shown and kept upright: once turned, their metadata say
    // so.
    const int orientation = ImageOrientation(load.Metadata);
    qint32 key = FormatKeyJpeg;
    JpegCodec ownCodec;
    switch (LoadThroughCodec(load.Codec ? *load.Codec : ownCodec, bytes, orientation, load.PixelLimit, picture)) {
    case TCodecLoad::Damaged:
        return false;
    case TCodecLoad::NotTaken:
        if (!LoadThroughQt(bytes, orientation, load.PixelLimit, picture, key))
            return false;
        break;
    case TCodecLoad::Loaded:
        break;
    }
    SetUprightPictureItems(load.Metadata, picture.Width(), picture.Height());
    load.FormatKey = kvi ? FormatKeyKvi : key;
    return true;
}

} // namespace

bool LoadUprightPicture(const QString& path, TKvLTBitmap& picture, TKvPictureLoad& load)
{
    if (load.Codec)
        load.Codec->Clear();
    std::optional<QByteArray> bytes = ReadFile(path);
    return bytes && LoadPictureBytes(*bytes, picture, load);
}

bool LoadUprightPicture(const QString& path, TKvLTBitmap& picture)
{
    TKvPictureLoad load;
    return LoadUprightPicture(path, picture, load);
}

// ---------------------------------------------------------------------------
// TKvPictureFile

TKvPictureFile::TKvPictureFile(const QString& path) : m_path(path), m_file(path)
{
    if (!IsRegularFile(path) || !m_file.open(QIODevice::ReadOnly) || m_file.size() > MaxPictureFileBytes)
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

void TKvPictureFile::ReadMetadataItems(TKvCustomProperties& items) const
{
    if (m_device == &m_buffer)
        ::ReadMetadataItems(m_bytes, items);
    else
        ::ReadMetadataItems(m_path, items);
}
