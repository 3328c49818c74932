#include "KvImageMetadata.h"

#include <exiv2/exiv2.hpp>

#include <QFile>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

namespace {

constexpr double InchesPerMetre = 1 / 0.0254;

// Exiv2 is quiet (failures are reported by results, not on the terminal),
// and its XMP parser, which is not thread-safe to set up, is set up once.
void PrepareExiv2()
{
    static std::once_flag once;
    std::call_once(once, [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        Exiv2::XmpParser::initialize();
    });
}

// Tags that describe the layout of the file they are in, or point into it.
bool IsFileLayoutTag(quint16 tag)
{
    switch (tag) {
    case 0x00FE: case 0x00FF: // subfile types
    case 0x0100: case 0x0101: case 0x0102: case 0x0103: // size, depth, compression
    case 0x0106: case 0x010A: // photometric interpretation, fill order
    case 0x0111: case 0x0115: case 0x0116: case 0x0117: // strips, samples per pixel
    case 0x011C: case 0x013D: case 0x0140: // planar configuration, predictor, colour map
    case 0x0142: case 0x0143: case 0x0144: case 0x0145: // tiles
    case 0x014A: case 0x0152: case 0x0153: case 0x015B: // sub-IFDs, extra samples, sample format, JPEG tables
    case 0x0201: case 0x0202: // embedded JPEG stream
    case 0x8769: case 0x8825: case 0xA005: // pointers to the Exif, GPS and interoperability directories
    case 0x927C: // maker note
        return true;
    default:
        return false;
    }
}

// The thumbnail directory's tags and the numbers its items are kept under.
struct TThumbnailTag {
    quint16 Tag;
    qint32 Id;
};
constexpr TThumbnailTag ThumbnailTags[] = {
    {0x0100, 0x5020}, {0x0101, 0x5021}, {0x0102, 0x5022}, {0x0103, 0x5023}, {0x0106, 0x5024},
    {0x010E, 0x5025}, {0x010F, 0x5026}, {0x0110, 0x5027}, {0x0111, 0x5028}, {0x0112, 0x5029},
    {0x0115, 0x502A}, {0x0116, 0x502B}, {0x0117, 0x502C}, {0x011A, 0x502D}, {0x011B, 0x502E},
    {0x011C, 0x502F}, {0x0128, 0x5030}, {0x012D, 0x5031}, {0x0131, 0x5032}, {0x0132, 0x5033},
    {0x013B, 0x5034}, {0x013E, 0x5035}, {0x013F, 0x5036}, {0x0211, 0x5037}, {0x0212, 0x5038},
    {0x0213, 0x5039}, {0x0214, 0x503A}, {0x8298, 0x503B},
};

qint32 ThumbnailItemId(quint16 tag)
{
    for (const TThumbnailTag& t : ThumbnailTags)
        if (t.Tag == tag)
            return t.Id;
    return -1;
}

// The item number of a datum, -1 for data that are not kept.
qint32 ItemId(const Exiv2::Exifdatum& datum)
{
    const std::string group = datum.groupName();
    const quint16 tag = datum.tag();
    if (group == "Thumbnail")
        return ThumbnailItemId(tag);
    if (IsFileLayoutTag(tag))
        return -1;
    if (group == "Image" || group == "Photo" || group == "GPSInfo")
        return tag;
    return -1;
}

std::set<quint16> TagsOfGroup(const char* group)
{
    std::set<quint16> tags;
    for (const Exiv2::TagInfo* info = Exiv2::ExifTags::tagList(group); info && info->tag_ != 0xFFFF; ++info)
        tags.insert(info->tag_);
    return tags;
}

// The EXIF key an item is written under: GPS tags are the smallest numbers,
// tags the Exif directory knows go there, everything else into the main
// directory.
Exiv2::ExifKey KeyOfItem(qint32 id)
{
    static const std::set<quint16> photoTags = TagsOfGroup("Photo");
    const quint16 tag = quint16(id);
    if (tag <= 0x001F)
        return Exiv2::ExifKey(tag, "GPSInfo");
    return Exiv2::ExifKey(tag, photoTags.count(tag) ? "Photo" : "Image");
}

// --- Resolution

const TKvPropertyEntry* FindItem(const TKvCustomProperties& properties, qint32 id)
{
    const int index = properties.IndexOf(id);
    return index < 0 ? nullptr : properties.Items(index);
}

// The first rational of an item, 0 when there is none.
double RationalItem(const TKvCustomProperties& properties, qint32 id)
{
    const TKvPropertyEntry* entry = FindItem(properties, id);
    if (!entry || entry->Size < 8 || (entry->Type != Exiv2::unsignedRational && entry->Type != Exiv2::signedRational))
        return 0;
    const auto* bytes = static_cast<const uchar*>(entry->Value);
    const double numerator = entry->Type == Exiv2::signedRational ? double(qFromLittleEndian<qint32>(bytes))
                                                                   : double(qFromLittleEndian<quint32>(bytes));
    const double denominator = entry->Type == Exiv2::signedRational ? double(qFromLittleEndian<qint32>(bytes + 4))
                                                                     : double(qFromLittleEndian<quint32>(bytes + 4));
    return denominator > 0 && numerator > 0 ? numerator / denominator : 0;
}

qint32 RoundedDpi(double dpi)
{
    return dpi > 0 && dpi < 1e6 ? qint32(std::nearbyint(dpi)) : 0;
}

// The resolution the EXIF items give (unit inch unless they say centimetre).
bool ExifResolution(const TKvGraphicsDocumentProperties& properties, qint32& x, qint32& y)
{
    const double rx = RationalItem(properties, TagXResolution);
    const double ry = RationalItem(properties, TagYResolution);
    if (rx <= 0 || ry <= 0)
        return false;
    double perInch = 1;
    if (const TKvPropertyEntry* unit = FindItem(properties, TagResolutionUnit);
        unit && unit->Type == Exiv2::unsignedShort && unit->Size >= 2
        && qFromLittleEndian<quint16>(unit->Value) == 3)
        perInch = 2.54;
    x = RoundedDpi(rx * perInch);
    y = RoundedDpi(ry * perInch);
    return x > 0 && y > 0;
}

// The density of a JPEG's JFIF segment, when it gives one in dots per inch
// or per centimetre.
bool JfifResolution(const QByteArray& file, qint32& x, qint32& y)
{
    const auto* p = reinterpret_cast<const uchar*>(file.constData());
    // FF D8, FF E0, length, "JFIF\0", version (2), units, x density, y density
    if (file.size() < 20 || p[0] != 0xFF || p[1] != 0xD8 || p[2] != 0xFF || p[3] != 0xE0
        || std::memcmp(p + 6, "JFIF\0", 5) != 0)
        return false;
    const int units = p[13];
    const double perInch = units == 1 ? 1 : units == 2 ? 2.54 : 0;
    x = RoundedDpi(qFromBigEndian<quint16>(p + 14) * perInch);
    y = RoundedDpi(qFromBigEndian<quint16>(p + 16) * perInch);
    return x > 0 && y > 0;
}

// The pHYs chunk of a PNG, when its unit is the metre.
bool PngResolution(const QByteArray& file, qint32& x, qint32& y)
{
    static const QByteArray signature("\x89PNG\r\n\x1a\n", 8);
    if (!file.startsWith(signature))
        return false;
    qsizetype at = signature.size();
    const auto* p = reinterpret_cast<const uchar*>(file.constData());
    while (at + 12 <= file.size()) {
        const quint32 length = qFromBigEndian<quint32>(p + at);
        const QByteArray type = file.mid(at + 4, 4);
        if (type == "IDAT" || type == "IEND" || length > quint32(file.size() - at - 12))
            return false;
        if (type == "pHYs" && length == 9) {
            if (p[at + 16] != 1)
                return false;
            x = RoundedDpi(qFromBigEndian<quint32>(p + at + 8) / InchesPerMetre);
            y = RoundedDpi(qFromBigEndian<quint32>(p + at + 12) / InchesPerMetre);
            return x > 0 && y > 0;
        }
        at += 12 + qsizetype(length);
    }
    return false;
}

// The pixels per metre of a Windows bitmap's information header.
bool BmpResolution(const QByteArray& file, qint32& x, qint32& y)
{
    const auto* p = reinterpret_cast<const uchar*>(file.constData());
    if (file.size() < 46 || p[0] != 'B' || p[1] != 'M' || qFromLittleEndian<quint32>(p + 14) < 40)
        return false;
    x = RoundedDpi(qFromLittleEndian<qint32>(p + 38) / InchesPerMetre);
    y = RoundedDpi(qFromLittleEndian<qint32>(p + 42) / InchesPerMetre);
    return x > 0 && y > 0;
}

// Reads the EXIF items of the picture that open() gives.
template <typename Open>
void ReadExifItems(Open open, TKvCustomProperties& properties)
{
    PrepareExiv2();
    try {
        Exiv2::Image::AutoPtr image = open();
        image->readMetadata();
        Exiv2::ExifData& exif = image->exifData();
        for (const Exiv2::Exifdatum& datum : exif) {
            const qint32 id = ItemId(datum);
            const long size = datum.size();
            if (id < 0 || size <= 0)
                continue;
            std::vector<Exiv2::byte> bytes(static_cast<size_t>(size));
            datum.copy(bytes.data(), Exiv2::littleEndian);
            properties.SetValue(id, quint32(datum.typeId()), qint32(size), bytes.data());
        }
        const Exiv2::ExifThumbC thumbnail(exif);
        const Exiv2::DataBuf data = thumbnail.copy();
        if (data.size_ > 0)
            properties.SetValue(TagThumbnailData, Exiv2::undefined, qint32(data.size_), data.pData_);
    } catch (const std::exception&) {
        // Unreadable metadata: the picture is kept without it.
    }
}

// An unsigned integer item (SHORT or LONG); none for anything else.
std::optional<quint32> UnsignedItem(const TKvCustomProperties& properties, qint32 id)
{
    const TKvPropertyEntry* entry = FindItem(properties, id);
    if (entry && entry->Type == Exiv2::unsignedShort && entry->Size == 2)
        return qFromLittleEndian<quint16>(entry->Value);
    if (entry && entry->Type == Exiv2::unsignedLong && entry->Size == 4)
        return qFromLittleEndian<quint32>(entry->Value);
    return std::nullopt;
}

void SetUnsignedItem(TKvCustomProperties& properties, qint32 id, quint32 value, bool asShort)
{
    uchar bytes[4];
    if (asShort)
        qToLittleEndian<quint16>(quint16(value), bytes);
    else
        qToLittleEndian<quint32>(value, bytes);
    properties.SetValue(id, asShort ? Exiv2::unsignedShort : Exiv2::unsignedLong, asShort ? 2 : 4, bytes);
}

// Sets an EXIF tag that is present to one unsigned number; true when that
// changed it.
bool SetUnsignedTag(Exiv2::ExifData& exif, const char* key, quint32 value, bool asShort)
{
    const auto datum = exif.findKey(Exiv2::ExifKey(key));
    if (datum == exif.end())
        return false;
    if (datum->typeId() == (asShort ? Exiv2::unsignedShort : Exiv2::unsignedLong) && datum->count() == 1
        && datum->toLong() == long(value))
        return false;
    if (asShort)
        *datum = quint16(value);
    else
        *datum = quint32(value);
    return true;
}

// Writes the image's metadata and gives back the whole file.
bool WriteBack(Exiv2::Image& image, QByteArray& file)
{
    image.writeMetadata();
    Exiv2::BasicIo& io = image.io();
    io.seek(0, Exiv2::BasicIo::beg);
    const Exiv2::DataBuf written = io.read(long(io.size()));
    if (written.size_ != long(io.size()))
        return false;
    file = QByteArray(reinterpret_cast<const char*>(written.pData_), written.size_);
    return true;
}

} // namespace

void TKvGraphicsDocumentProperties::Assign(const TKvCustomProperties* source)
{
    TKvCustomProperties::Assign(source);
    const auto* picture = dynamic_cast<const TKvGraphicsDocumentProperties*>(source);
    XResolution = picture ? picture->XResolution : 0;
    YResolution = picture ? picture->YResolution : 0;
}

bool IsEmbeddedThumbnailItem(qint32 id)
{
    return (id >= 0x5012 && id <= 0x5019) || (id >= 0x501B && id <= 0x503B);
}

void RemoveEmbeddedThumbnail(TKvCustomProperties& properties)
{
    for (int i = properties.Count() - 1; i >= 0; --i)
        if (const qint32 id = properties.Items(i)->Id; IsEmbeddedThumbnailItem(id))
            properties.Remove(id);
}

void ReadImageMetadata(const QByteArray& file, TKvGraphicsDocumentProperties& properties)
{
    properties.Clear();
    properties.XResolution = 0;
    properties.YResolution = 0;
    ReadMetadataItems(file, properties);
    // A picture that states no sound resolution (none, a zero, a negative
    // one, a damaged item) is taken at the screen's 96 dots per inch.
    qint32 x = UnstatedResolution;
    qint32 y = UnstatedResolution;
    if (!ExifResolution(properties, x, y) && !JfifResolution(file, x, y) && !PngResolution(file, x, y)
        && !BmpResolution(file, x, y))
        x = y = UnstatedResolution;
    properties.XResolution = x;
    properties.YResolution = y;
}

void ReadMetadataItems(const QByteArray& file, TKvCustomProperties& items)
{
    ReadExifItems(
        [&] {
            return Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(file.constData()),
                                             long(file.size()));
        },
        items);
}

void ReadMetadataItems(const QString& path, TKvCustomProperties& items)
{
    ReadExifItems([&] { return Exiv2::ImageFactory::open(QFile::encodeName(path).toStdString(), false); }, items);
}

bool WriteImageMetadata(QByteArray& file, const TKvCustomProperties& properties)
{
    PrepareExiv2();
    try {
        Exiv2::Image::AutoPtr image =
            Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(file.constData()), long(file.size()));
        if (image->checkMode(Exiv2::mdExif) != Exiv2::amReadWrite)
            return false;
        image->readMetadata();
        Exiv2::ExifData exif;
        for (int i = 0; i < properties.Count(); ++i) {
            const TKvPropertyEntry* entry = properties.Items(i);
            if (entry->Id < 0 || entry->Id > 0xFFFF || IsFileLayoutTag(quint16(entry->Id))
                || IsEmbeddedThumbnailItem(entry->Id))
                continue;
            Exiv2::Value::AutoPtr value = Exiv2::Value::create(Exiv2::TypeId(entry->Type));
            if (Exiv2::TypeInfo::typeSize(Exiv2::TypeId(entry->Type)) == 0
                || value->read(static_cast<const Exiv2::byte*>(entry->Value), entry->Size, Exiv2::littleEndian) != 0)
                continue;
            exif.add(KeyOfItem(entry->Id), value.get());
        }
        image->setExifData(exif);
        return WriteBack(*image, file);
    } catch (const std::exception&) {
        return false;
    }
}

int ImageOrientation(const TKvCustomProperties& properties)
{
    const std::optional<quint32> orientation = UnsignedItem(properties, TagOrientation);
    return orientation && *orientation >= 1 && *orientation <= 8 ? int(*orientation) : 1;
}

void SetUprightPictureItems(TKvCustomProperties& properties, int width, int height)
{
    if (FindItem(properties, TagOrientation))
        SetUnsignedItem(properties, TagOrientation, 1, true);
    const std::pair<qint32, int> dimensions[] = {{TagPixelXDimension, width}, {TagPixelYDimension, height}};
    for (const auto& [id, size] : dimensions)
        if (const TKvPropertyEntry* entry = FindItem(properties, id))
            SetUnsignedItem(properties, id, quint32(size), entry->Type == Exiv2::unsignedShort && size <= 0xFFFF);
}

bool SetUprightPictureTags(QByteArray& jpeg, int width, int height, bool dropThumbnail)
{
    PrepareExiv2();
    try {
        Exiv2::Image::AutoPtr image =
            Exiv2::ImageFactory::open(reinterpret_cast<const Exiv2::byte*>(jpeg.constData()), long(jpeg.size()));
        image->readMetadata();
        Exiv2::ExifData& exif = image->exifData();
        bool changed = SetUnsignedTag(exif, "Exif.Image.Orientation", 1, true);
        for (const auto& [key, size] : {std::pair{"Exif.Photo.PixelXDimension", width},
                                        std::pair{"Exif.Photo.PixelYDimension", height}})
            if (const auto datum = exif.findKey(Exiv2::ExifKey(key)); datum != exif.end())
                changed |= SetUnsignedTag(exif, key, quint32(size),
                                          datum->typeId() == Exiv2::unsignedShort && size <= 0xFFFF);
        if (dropThumbnail && std::any_of(exif.begin(), exif.end(), [](const Exiv2::Exifdatum& datum) {
                return datum.groupName() == "Thumbnail";
            })) {
            Exiv2::ExifThumb(exif).erase();
            changed = true;
        }
        if (!changed)
            return true;
        // Only the EXIF is to change: the XMP packet goes back as it came.
        image->writeXmpFromPacket(true);
        return WriteBack(*image, jpeg);
    } catch (const std::exception&) {
        return false;
    }
}

QString ItemText(const TKvCustomProperties& properties, qint32 id)
{
    const TKvPropertyEntry* entry = FindItem(properties, id);
    if (!entry || entry->Size <= 0)
        return {};
    const auto* bytes = static_cast<const char*>(entry->Value);
    const qsizetype length = qsizetype(strnlen(bytes, size_t(entry->Size)));
    QString text = QString::fromUtf8(bytes, length);
    while (text.endsWith(QLatin1Char(' ')))
        text.chop(1);
    return text;
}
