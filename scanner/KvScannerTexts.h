#pragma once

#include "KvLocalizer.h"

#include <QString>

// String ids of the texts the scanner component shows.
namespace KvScannerText {

enum Id : qint32 {
    Ok = StringId(1),
    Cancel = StringId(2),
    SelectSourceCaption = StringId(2900),
    SelectSourcePrompt = StringId(2901),
    OpenFailed = StringId(2902),         // %s: the scanner
    StartFailed = StringId(2903),        // %s: the scanner
    TransferFailed = StringId(2904),     // %s: the scanner
    Incomplete = StringId(2905),         // %s: the scanner
    UnsupportedFormat = StringId(2906),  // %s: the scanner
    WriteFailed = StringId(2907),        // %s: the folder of the transfer files
    UnknownStatus = StringId(2909),      // %s: the status number
};

// What a scanner status number (as the scanner library reports it) means, in
// the user's language.
QString StatusText(int status);

} // namespace KvScannerText
