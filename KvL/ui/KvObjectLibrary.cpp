#include "KvObjectLibrary.h"

#include "JpegEncode.h"
#include "KvImageMetadata.h"
#include "KvLocalizer.h"

#include <QDir>
#include <QStandardPaths>

#include <algorithm>

namespace {

// The part rect of pixels (image coordinates), without a copy.
TKvPixels PartOf(const TKvPixels& pixels, const TRect& rect)
{
    TKvPixels part;
    part.Init(rect, pixels.PixelAt(rect.Left, rect.Top), pixels.Format, pixels.Stride);
    return part;
}

bool EncodeThroughCodec(JpegCodec& codec, const TKvPixels* original, const TKvPixels& cut,
                        std::vector<std::uint8_t>& jpeg)
{
    const TJpegGeometry geometry = codec.GetGeometry();
    const TRect rect = cut.GetBounds();
    codec.SetCropRect(rect);
    TJpegSaveParameters parameters;
    parameters.Picture = cut;
    if (original)
        parameters.Original = PartOf(*original, rect);
    const std::uint32_t qualities = codec.GetSaveParameter();
    parameters.Quality = int(std::max(qualities >> 16, qualities & 0xFFFF));
    const bool written = codec.SaveToMemory(jpeg, parameters);
    codec.FinishSave();
    codec.SetGeometry(geometry);
    if (!written)
        return false;
    // The source's EXIF describes the whole photograph as stored.
    QByteArray bytes(reinterpret_cast<const char*>(jpeg.data()), qsizetype(jpeg.size()));
    if (SetUprightPictureTags(bytes, rect.Width(), rect.Height(), true))
        jpeg.assign(bytes.begin(), bytes.end());
    return true;
}

// The message of a save that failed; detail, the system's own words on
// what failed, follows on a line of its own.
QString LibraryFailure(const std::filesystem::path& folder, const std::string& detail = {})
{
    QString message = LocalFormat(3100, {QString::fromStdString(folder.string())},
                                  QStringLiteral("The object could not be saved in the object library %s."));
    if (!detail.empty())
        message += QStringLiteral("\n\n") + QString::fromStdString(detail);
    return message;
}

} // namespace

std::filesystem::path ObjectLibraryFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return std::filesystem::path(QDir(data).filePath(QStringLiteral("orvane/library")).toStdString());
}

TEntryJpegEncoder EntryJpegEncoder(JpegCodec* codec, const TKvPixels* original, int quality)
{
    if (codec && codec->HasImage())
        return [codec, original](const TKvPixels& cut, std::vector<std::uint8_t>& jpeg) {
            return EncodeThroughCodec(*codec, original, cut, jpeg);
        };
    return [quality](const TKvPixels& cut, std::vector<std::uint8_t>& jpeg) {
        return EncodeJpegAtQuality(cut, quality, jpeg);
    };
}

TKvObjectSave SaveObjectToLibrary(const TMarkedRegion& region, const TEntryJpegEncoder& encode,
                                  const std::filesystem::path& folder)
{
    TKvObjectSave save;
    TObjectEntryFiles files;
    switch (BuildObjectEntry(region, encode, files)) {
    case TEntryBuild::Built:
        break;
    case TEntryBuild::NoObject:
        save.Result = TKvObjectSave::NoObject;
        return save;
    case TEntryBuild::EncodingFailed:
        save.Message = LibraryFailure(folder);
        return save;
    }
    const TEntryWriteResult written = WriteObjectEntry(folder, files);
    switch (written.Status) {
    case TEntryWriteResult::Written:
        save.Result = TKvObjectSave::Saved;
        save.Name = QString::fromStdString(written.Name);
        break;
    case TEntryWriteResult::LibraryFull:
        save.Message = LocalStr(3101, QStringLiteral("The object library is full: every entry name up to 999999 "
                                                     "is taken. Delete objects you no longer need, then save again."));
        break;
    case TEntryWriteResult::Failed:
        save.Message = LibraryFailure(folder, written.Error);
        break;
    }
    return save;
}

bool DeleteLibraryEntry(TThumbnailList& list, int index, QString& message)
{
    const std::string name = list.NameOf(index);
    if (name.empty())
        return false;
    if (!DeleteObjectFiles(list.Folder(), name)) {
        message = LocalFormat(3102, {QString::fromStdString(name)},
                              QStringLiteral("The files of the object %s could not all be removed from the "
                                             "object library. It stays in the list."));
        return false;
    }
    list.Delete(index);
    return true;
}
