// Writing a picture file from 24-bit pixels for the command-line tools
// (orvane-cut's --out, and orvane-paste's): a JPEG goes straight from the
// pixels through libjpeg-turbo, any other format through Qt's writers over
// the pixels as they lie. The file is written whole or not at all.
#pragma once

#include "KvBitmap.h"
#include "KvImageMetadata.h"

#include <QString>

// Writes the pixels to path in the format its extension names (PNG when it
// names none Qt writes), keeping the resolution the metadata state; a JPEG
// at quality 1..100. False, with nothing left at path, when it cannot.
bool WritePictureFile(const QString& path, const TKvPixels& pixels, const TKvGraphicsDocumentProperties& metadata,
                      int jpegQuality);
