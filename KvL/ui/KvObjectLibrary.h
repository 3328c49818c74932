// The object library as the program uses it: where the user's library lies,
// how an entry's picture is encoded, saving an entry with a message for the
// user when it fails, and deleting one.  The clipping tool's Save Object and
// orvane-cut --save-object save through SaveObjectToLibrary with the encoder
// EntryJpegEncoder picks, so that for the same picture, band and quality
// they write the same bytes; the paste tool deletes through
// DeleteLibraryEntry.
#pragma once

#include "JpegCodec.h"
#include "ObjectEntry.h"
#include "ThumbnailList.h"

#include <QString>

#include <filesystem>
#include <optional>

// $XDG_DATA_HOME/orvane/library (by default ~/.local/share/orvane/library);
// created with its parents by the first save.
std::filesystem::path ObjectLibraryFolder();

// The encoder of an entry's picture.  With a codec that holds the picture's
// source JPEG, the picture is written with the source's tables and sampling,
// the blocks whose pixels equal original's (the picture as decoded, in the
// picture's coordinates; none: compare with nothing) taken from the source's
// coefficients, and the EXIF saying upright and the entry's size without the
// source's embedded thumbnail.  Otherwise the picture is encoded from its
// pixels at the quality.  The codec's geometry is as it was afterwards.
TEntryJpegEncoder EntryJpegEncoder(JpegCodec* codec, const TKvPixels* original, int quality);

// What saving an object gave.
struct TKvObjectSave {
    enum TResult {
        Saved,
        NoObject, // no pixel is shown as the object: nothing written
        Failed    // Message says why; nothing of the entry is left
    };
    TResult Result = Failed;
    QString Name;    // the new entry's name
    QString Message; // for the user, from the language files
};

// Builds the entry of the object the region shows on its picture and writes
// it into the folder as the next entry.
TKvObjectSave SaveObjectToLibrary(const TMarkedRegion& region, const TEntryJpegEncoder& encode,
                                  const std::filesystem::path& folder);

// Removes the entry at index from its folder and from the list.  When its
// files cannot all be removed the entry stays listed, and the message for
// the user says so (false).
bool DeleteLibraryEntry(TThumbnailList& list, int index, QString& message);
