#include "KvScannerTexts.h"

#include <array>

namespace KvScannerText {

QString Text(int /*id*/, const char* fallback)
{
    // The language files are not read yet: every text is its English fallback.
    return QString::fromUtf8(fallback);
}

QString Format(int id, const char* fallback, const QString& argument)
{
    return Text(id, fallback).replace(QLatin1String("%s"), argument);
}

QString StatusText(int status)
{
    // Indexed by the library's status numbers 1 to 11.
    static constexpr std::array<const char*, 12> texts = {
        nullptr,
        "The operation is not supported.",
        "The operation was cancelled.",
        "The device is busy.",
        "The device rejected the request.",
        "No more data is available.",
        "The document feeder is jammed.",
        "The document feeder is out of documents.",
        "The scanner cover is open.",
        "Error during device I/O.",
        "Out of memory.",
        "Access to the device has been denied.",
    };
    if (status <= 0 || status >= int(texts.size()))
        return Format(UnknownStatus, "The scanner reported error %s.", QString::number(status));
    return Text(StatusBase + status, texts[std::size_t(status)]);
}

} // namespace KvScannerText
