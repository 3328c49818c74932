// Feeds arbitrary bytes to the language-file reader: encoding detection and
// code-page conversion, the ini parser, the string table, and placeholder
// substitution with the texts as patterns.
#include "KvLanguageFile.h"
#include "KvLocalizer.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TKvLanguageFile file;
    file.LoadFromBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    file.LangId();
    file.LanguageName();
    TKvLocalStringList strings;
    for (const TKvMemIniFile::Line& line : file.SectionLines("Strings"))
        if (const std::optional<qint32> id = ParseInteger(line.Name))
            strings.Add(*id, line.Value);
    strings.Sort();
    for (int i = 0; i < strings.Count(); ++i) {
        const QByteArray* text = strings.Find(strings.Items(i).Id);
        FormatText(DecodeUtf8(*text), {QStringLiteral("value"), QStringLiteral("%s")});
    }
    return 0;
}
