// Writing a picture from 24-bit pixels for the command-line tools
// (orvane-cut's --out, and orvane-paste's): a JPEG goes straight from the
// pixels through libjpeg-turbo, any other format through Qt's writers over
// the pixels as they lie.
#pragma once

#include "KvBitmap.h"
#include "KvImageMetadata.h"

#include <QIODevice>
#include <QString>

// Writes the pixels into device in the format the extension of name names
// (PNG when it names none Qt writes), keeping the resolution the metadata
// state; a JPEG at quality 1..100. False, with error saying why, when it
// cannot.
bool WritePicture(QIODevice& device, const QString& name, const TKvPixels& pixels,
                  const TKvGraphicsDocumentProperties& metadata, int jpegQuality, QString& error);
