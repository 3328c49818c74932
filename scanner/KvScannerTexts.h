#pragma once

#include <QString>

// The texts the scanner component shows, by string id, in the user's language.
namespace KvScannerText {

enum Id : int {
    Ok = 1,
    Cancel = 2,
    SelectSourceCaption = 2900,
    SelectSourcePrompt = 2901,
    OpenFailed = 2902,        // %s: the scanner
    StartFailed = 2903,       // %s: the scanner
    TransferFailed = 2904,    // %s: the scanner
    Incomplete = 2905,        // %s: the scanner
    UnsupportedFormat = 2906, // %s: the scanner
    WriteFailed = 2907,       // %s: the folder of the transfer files
    UnknownStatus = 2909,     // %s: the status number
    StatusBase = 2910,        // 2910 + a scanner status number: what it means
};

// The text of an id in the user's language, or the English fallback.
QString Text(int id, const char* fallback);

// Text(id, fallback) with its one "%s" replaced by the argument.
QString Format(int id, const char* fallback, const QString& argument);

// What a scanner status number (as the scanner library reports it) means.
QString StatusText(int status);

} // namespace KvScannerText
