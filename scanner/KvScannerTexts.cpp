#include "KvScannerTexts.h"

#include <array>

namespace KvScannerText {

QString StatusText(int status)
{
    struct Text {
        qint32 id;
        const char* english;
    };
    // Indexed by the library's status numbers 1 to 11; the id is 2910 + the number.
    static constexpr std::array<Text, 12> texts = {{
        {0, nullptr},
        {StringId(2911), "The operation is not supported."},
        {StringId(2912), "The operation was cancelled."},
        {StringId(2913), "The device is busy."},
        {StringId(2914), "The device rejected the request."},
        {StringId(2915), "No more data is available."},
        {StringId(2916), "The document feeder is jammed."},
        {StringId(2917), "The document feeder is out of documents."},
        {StringId(2918), "The scanner cover is open."},
        {StringId(2919), "Error during device I/O."},
        {StringId(2920), "Out of memory."},
        {StringId(2921), "Access to the device has been denied."},
    }};
    if (status <= 0 || status >= int(texts.size()))
        return LocalFormat(UnknownStatus, {QString::number(status)},
                           QStringLiteral("The scanner reported error %s."));
    const Text& text = texts[std::size_t(status)];
    return LocalStr(text.id, QString::fromUtf8(text.english));
}

} // namespace KvScannerText
