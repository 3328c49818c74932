// The metadata of a picture file: its EXIF items as property entries (keyed
// by tag number, with the TIFF type code and the value bytes in little-endian
// order) and its resolution, read from and written into encoded files
// through Exiv2.
//
// Items of the picture's main directory, its Exif directory and its GPS
// directory keep their tag numbers; the items of the embedded thumbnail take
// the numbers 0x5020-0x503B (0x501B for the thumbnail's data), so that a save
// can leave the thumbnail out. Layout tags of the file itself (strip and tile
// offsets, sizes, compression) and the maker note are not taken: they
// describe the file they came from, not the picture.
#pragma once

#include "KvProperties.h"

#include <QByteArray>
#include <QString>

// A picture's metadata items and its resolution.
class TKvGraphicsDocumentProperties : public TKvCustomProperties {
public:
    // Copies the resolution too when the source is a picture's set.
    void Assign(const TKvCustomProperties* source) override;

    qint32 XResolution = 0; // dots per inch; 0 when unknown (no file read)
    qint32 YResolution = 0;
};

// Metadata tags used by name.
constexpr qint32 TagDateTime = 0x0132;
constexpr qint32 TagMake = 0x010F;
constexpr qint32 TagModel = 0x0110;
constexpr qint32 TagXResolution = 0x011A;
constexpr qint32 TagYResolution = 0x011B;
constexpr qint32 TagResolutionUnit = 0x0128;
constexpr qint32 TagOrientation = 0x0112;
constexpr qint32 TagPixelXDimension = 0xA002;
constexpr qint32 TagPixelYDimension = 0xA003;
constexpr qint32 TagThumbnailData = 0x501B;

// True for the items of an embedded thumbnail, which a save leaves out:
// 0x5012-0x5019 and 0x501B-0x503B.
bool IsEmbeddedThumbnailItem(qint32 id);
// Removes every embedded-thumbnail item.
void RemoveEmbeddedThumbnail(TKvCustomProperties& properties);

// The resolution, in dots per inch, of a picture file that states none that
// can be read.
constexpr qint32 UnstatedResolution = 96;

// Reads the items and the resolution of an encoded picture file (the
// resolution from its EXIF items, else from the format's own header: JFIF,
// PNG pHYs or the bitmap header, else UnstatedResolution). Clears the set
// first; a file without metadata, or whose metadata cannot be read, leaves
// it empty.
void ReadImageMetadata(const QByteArray& file, TKvGraphicsDocumentProperties& properties);
// Only the EXIF items (into a set that is not cleared first): of a picture
// in memory, or of a file on disk, which is read only as far as needed.
void ReadMetadataItems(const QByteArray& file, TKvCustomProperties& items);
void ReadMetadataItems(const QString& path, TKvCustomProperties& items);
// Writes the items into an encoded JPEG, PNG (a raw-profile text chunk) or
// TIFF file, replacing the EXIF the encoder wrote. False, file untouched,
// when the format cannot carry them or the writing fails.
bool WriteImageMetadata(QByteArray& file, const TKvCustomProperties& properties);

// The orientation item: 1..8, the Exif numbering of how the stored picture
// must be mirrored and turned to stand upright; 1 (as stored) when the item
// is absent or holds anything else.
int ImageOrientation(const TKvCustomProperties& properties);
// The items of a picture that is upright and width x height pixels large:
// the orientation, when present, becomes 1 and the pixel dimensions, when
// present, the size.
void SetUprightPictureItems(TKvCustomProperties& properties, int width, int height);
// The same for the EXIF an encoded JPEG carries, changing nothing else of
// the file (its coded data stay byte for byte); with dropThumbnail the
// embedded thumbnail goes too. A file without EXIF, or with nothing to
// change, is left as it is. False, file untouched, when the writing fails.
bool SetUprightPictureTags(QByteArray& jpeg, int width, int height, bool dropThumbnail);

// The text of a metadata item: its bytes up to the first zero, without
// trailing spaces; empty when the item is absent.
QString ItemText(const TKvCustomProperties& properties, qint32 id);
