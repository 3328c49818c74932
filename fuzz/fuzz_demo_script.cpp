// Feeds arbitrary bytes to the demonstration-script reader: encoding
// detection, the sections, the texts of every language, and every line
// split into its command word and parsed into arguments; then the script
// is written and read back, and a recorded line is inserted.
#include "KvDemoScript.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TKvDemoScript script;
    script.LoadFromBytes(QByteArray(reinterpret_cast<const char*>(data), qsizetype(size)));
    script.Title();
    script.InfoValue("Image");
    for (size_t i = 0; i < script.Sections().size(); ++i)
        script.SectionText(int(i));
    for (int i = 0; i < script.LineCount(); ++i) {
        const TKvScriptLineParts parts = SplitScriptLine(script.Line(i));
        TKvProperties params;
        ParseScriptArguments(parts.Arguments, params);
        if (parts.Arguments.startsWith(QLatin1Char('%')))
            script.LocalizedText(parts.Arguments.sliced(1).toUtf8(), 1049, 1033);
    }
    TKvDemoScript again;
    again.LoadFromBytes(script.ToBytes());
    again.InsertLine(again.LineCount() / 2, QStringLiteral("MouseClick \"\u00e9\", 1"));
    return 0;
}
