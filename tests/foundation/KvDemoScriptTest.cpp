#include "KvDemoScript.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>
#include <QVariant>

#include <variant>

namespace {

// One expected argument: an integer, a double or a string.
using Argument = std::variant<qint32, double, QString>;

std::vector<Argument> Arguments(const TKvCustomProperties& params)
{
    std::vector<Argument> arguments;
    for (int i = 0; i < params.Count(); ++i) {
        const QVariant value = params.GetAsVariant(i);
        switch (value.typeId()) {
        case QMetaType::Int: arguments.emplace_back(qint32(value.toInt())); break;
        case QMetaType::Double: arguments.emplace_back(value.toDouble()); break;
        default: arguments.emplace_back(QString::fromUtf8(value.toByteArray())); break;
        }
    }
    return arguments;
}

std::string Describe(const std::vector<Argument>& arguments)
{
    std::string text;
    for (const Argument& argument : arguments) {
        if (const auto* integer = std::get_if<qint32>(&argument))
            text += "int " + std::to_string(*integer);
        else if (const auto* real = std::get_if<double>(&argument))
            text += "double " + std::to_string(*real);
        else
            text += "string '" + std::get<QString>(argument).toStdString() + "'";
        text += "; ";
    }
    return text;
}

struct ParsedLine {
    QString Command;
    std::vector<Argument> Arguments;
    bool Valid;
};

ParsedLine Parse(const QString& line)
{
    const TKvScriptLineParts parts = SplitScriptLine(line);
    TKvProperties params;
    const bool valid = ParseScriptArguments(parts.Arguments, params);
    return {parts.Command, Arguments(params), valid};
}

} // namespace

// ---------------------------------------------------------------------------
// Lines

TEST(KvDemoScriptLineTest, LinesSplitIntoCommandAndArguments)
{
    struct Case {
        const char* Line;
        const char* Command;
        std::vector<Argument> Arguments;
    };
    const Case cases[] = {
        {"mousecurvedmove 100, 200", "MOUSECURVEDMOVE", {100, 200}},
        {"MouseCurvedMove 100,200", "MOUSECURVEDMOVE", {100, 200}},
        // The bracket ends the word and stays with the first argument, which
        // is then a name, not a number.
        {"MOUSETO(100,200)", "MOUSETO", {QStringLiteral("(100"), 200}},
        {"\t  Pause \t 2", "PAUSE", {2}},
        {"Pause", "PAUSE", {}},
        {"MouseClick Image, 10, 20", "MOUSECLICK", {QStringLiteral("Image"), 10, 20}},
        {"EdgeIndicationBackgroundColor 16777215", "EDGEINDICATIONBACKGROUNDCOLOR", {16777215}},
    };
    for (const Case& c : cases) {
        const ParsedLine parsed = Parse(QString::fromUtf8(c.Line));
        EXPECT_EQ(parsed.Command, QString::fromUtf8(c.Command)) << c.Line;
        EXPECT_TRUE(parsed.Valid) << c.Line;
        EXPECT_EQ(Describe(parsed.Arguments), Describe(c.Arguments)) << c.Line;
    }
}

TEST(KvDemoScriptLineTest, CommentsAndEmptyLinesHaveNoCommand)
{
    for (const char* line : {"; comment", "# comment", "// comment", "* comment", "#MouseClick 1, 2", "", "   \t"})
        EXPECT_TRUE(SplitScriptLine(QString::fromUtf8(line)).Command.isEmpty()) << line;
    // A ";" after the word is part of the arguments, not a comment.
    EXPECT_EQ(SplitScriptLine(u"Pause ;1").Command, QStringLiteral("PAUSE"));
}

TEST(KvDemoScriptLineTest, ArgumentsOfEveryKind)
{
    struct Case {
        const char* Text;
        std::vector<Argument> Arguments;
    };
    const Case cases[] = {
        // A quoted text with the two characters backslash and n, and seconds.
        {"'Line one\\nline two', 2.5", {QStringLiteral("Line one\nline two"), 2.5}},
        {"\"double \\t 'quoted'\"", {QStringLiteral("double \\t 'quoted'")}},
        {"\"unterminated, 5", {QStringLiteral("unterminated, 5")}},
        {"\"\"", {QString()}},
        // Only an upper-case E makes a double; "1e5" is 1 and then text that
        // ends the list.
        {"1E5", {100000.0}},
        {"1e5", {1}},
        {"-0.5, +7, -12", {-0.5, 7, -12}},
        {"2147483647, -2147483648", {2147483647, qint32(-2147483647 - 1)}},
        {"true, false", {-1, 0}},
        {"trueish, 3", {-1}},
        {"TRUE", {QStringLiteral("TRUE")}},
        {"a b, c", {QStringLiteral("a")}},
        {" , 5", {QString(), 5}},
        {"5,", {5}},
        {"5 6", {5}},
        {".5", {QStringLiteral(".5")}},
        {"%intro, 4, 2", {QStringLiteral("%intro"), 4, 2}},
        {"", {}},
    };
    for (const Case& c : cases) {
        TKvProperties params;
        EXPECT_TRUE(ParseScriptArguments(QString::fromUtf8(c.Text), params)) << c.Text;
        EXPECT_EQ(Describe(Arguments(params)), Describe(c.Arguments)) << c.Text;
    }
}

TEST(KvDemoScriptLineTest, NumbersThatDoNotConvertAreRefused)
{
    for (const char* text : {"-", "+", "1.2.3", "--5", "+-5", "5-3", "1E", "1E400", "2147483648", "-2147483649",
                             "99999999999999999999", "10, 1.2.3"}) {
        TKvProperties params;
        EXPECT_FALSE(ParseScriptArguments(QString::fromUtf8(text), params)) << text;
    }
}

TEST(KvDemoScriptLineTest, AMillionArgumentsReadOnlyAsManyAsAnyCommandTakes)
{
    QString text;
    for (int i = 0; i < 1000000; ++i)
        text += QStringLiteral("1,");
    TKvProperties params;
    EXPECT_TRUE(ParseScriptArguments(text, params));
    EXPECT_EQ(params.Count(), MaxScriptArguments);
}

// ---------------------------------------------------------------------------
// Files

namespace {

QByteArray Cp1251(const char16_t* text)
{
    // The Cyrillic letters of the test texts, in Windows code page 1251.
    QByteArray bytes;
    for (const char16_t* c = text; *c; ++c)
        bytes += *c < 0x80 ? char(*c) : char(0xC0 + (*c - u'А'));
    return bytes;
}

} // namespace

TEST(KvDemoScriptFileTest, SectionsLinesAndTheBlanksAroundEquals)
{
    TKvDemoScript script;
    script.LoadFromBytes("dropped before any section\r\n"
                         "[ info ]\r\n"
                         "  Title =  A cup  \r\n"
                         "\r\n"
                         "; a comment line\r\n"
                         "[SCRIPT]\n"
                         "  Message \"2 + 2 = 4\", 3  \n"
                         "MouseClick 10, 20\n"
                         "[Extra]\n"
                         "kept as it is\n");
    ASSERT_EQ(script.Sections().size(), 3u);
    EXPECT_EQ(script.Sections()[0].Name, "info");
    EXPECT_EQ(script.Sections()[0].Lines, std::vector<QByteArray>{"Title=A cup"});
    EXPECT_EQ(script.InfoValue("TITLE"), QStringLiteral("A cup"));
    // A command line keeps the blanks of its text.
    ASSERT_EQ(script.LineCount(), 2);
    EXPECT_EQ(script.Line(0), QStringLiteral("Message \"2 + 2 = 4\", 3"));
    EXPECT_EQ(script.Line(1), QStringLiteral("MouseClick 10, 20"));
    EXPECT_EQ(script.Line(2), QString());
    EXPECT_EQ(script.Sections()[2].Lines, std::vector<QByteArray>{"kept as it is"});
}

TEST(KvDemoScriptFileTest, InfoAndScriptExistAfterLoadingAScriptWithoutThem)
{
    TKvDemoScript script;
    script.LoadFromBytes("[1033]\nTitle=Only texts\n");
    ASSERT_EQ(script.Sections().size(), 3u);
    EXPECT_EQ(script.Sections()[0].Name, "1033");
    EXPECT_GE(script.IndexOfSection("Info"), 0);
    EXPECT_GE(script.IndexOfSection("script"), 0);
    EXPECT_EQ(script.LineCount(), 0);
}

TEST(KvDemoScriptFileTest, EncodingsOfTheFile)
{
    const QByteArray utf8Russian = QStringLiteral("Привет").toUtf8();
    struct Case {
        const char* What;
        QByteArray Bytes;
        bool Utf8;
    };
    const Case cases[] = {
        {"byte order mark", "\xEF\xBB\xBF[1049]\nhello=" + utf8Russian + "\n", true},
        {"UTF-8 without a mark", "[1049]\nhello=" + utf8Russian + "\n", true},
        {"code page 1251", "[1049]\nhello=" + Cp1251(u"Привет") + "\n", false},
    };
    for (const Case& c : cases) {
        TKvDemoScript script;
        script.LoadFromBytes(c.Bytes);
        EXPECT_EQ(script.Utf8(), c.Utf8) << c.What;
        EXPECT_EQ(script.LocalizedText("hello", 1049, 1033), QStringLiteral("Привет")) << c.What;
    }
    TKvDemoScript ascii;
    ascii.LoadFromBytes("[Script]\nPause 1\n");
    EXPECT_FALSE(ascii.Utf8());
    EXPECT_FALSE(ascii.ToBytes().startsWith("\xEF\xBB\xBF"));
}

TEST(KvDemoScriptFileTest, LocalizedTextComesFromTheCurrentLanguageElseTheDefault)
{
    TKvDemoScript script;
    script.LoadFromBytes("[1033]\nintro=Hello\nTitle=English title\n"
                         "[1031]\nintro=Hallo\n"
                         "[Info]\nTitle=Info title\n");
    EXPECT_EQ(script.LocalizedText("intro", 1031, 1033), QStringLiteral("Hallo"));
    EXPECT_EQ(script.LocalizedText("INTRO", 1049, 1033), QStringLiteral("Hello"));
    // The current language has a section without the key: nothing, not the
    // default language's text.
    EXPECT_EQ(script.LocalizedText("Title", 1031, 1033), QString());
    EXPECT_EQ(script.LocalizedText("intro", 1049, 1036), QString());
}

TEST(KvDemoScriptFileTest, TitleFallsBackToInfoThenToTheFileName)
{
    TKvDemoScript script;
    script.LoadFromBytes("[Info]\nTitle=Info title\n");
    script.SetFileName(QStringLiteral("/somewhere/Cutting out.dsc"));
    EXPECT_EQ(script.Title(), QStringLiteral("Info title"));
    script.LoadFromBytes("[Info]\nImage=cup.png\n");
    script.SetFileName(QStringLiteral("/somewhere/Cutting out.dsc"));
    EXPECT_EQ(script.Title(), QStringLiteral("Cutting out"));
}

TEST(KvDemoScriptFileTest, SavedScriptReadsBackTheSame)
{
    TKvDemoScript script;
    script.LoadFromBytes("\xEF\xBB\xBF[Info]\nTitle=Tasse\n[Script]\nMessage \"%intro\", 4\n[1031]\nintro=Grüß dich\n");
    const QByteArray saved = script.ToBytes();
    EXPECT_TRUE(saved.startsWith("\xEF\xBB\xBF[Info]\r\nTitle=Tasse\r\n[Script]\r\n"));
    TKvDemoScript again;
    again.LoadFromBytes(saved);
    EXPECT_EQ(again.ToBytes(), saved);
    EXPECT_EQ(again.LocalizedText("intro", 1031, 1033), QStringLiteral("Grüß dich"));

    const QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("saved.dsc"));
    ASSERT_TRUE(script.SaveToFile(path));
    TKvDemoScript loaded;
    ASSERT_TRUE(loaded.LoadFromFile(path));
    EXPECT_EQ(loaded.ToBytes(), saved);
    EXPECT_EQ(loaded.FileName(), path);
}

TEST(KvDemoScriptFileTest, RecordedLinesGoWhereAsked)
{
    TKvDemoScript script;
    script.LoadFromBytes("[Script]\nB\n");
    script.InsertLine(0, QStringLiteral("A"));
    script.InsertLine(script.LineCount(), QStringLiteral("C"));
    script.InsertLine(99, QStringLiteral("D"));
    ASSERT_EQ(script.LineCount(), 4);
    EXPECT_EQ(script.Line(0), QStringLiteral("A"));
    EXPECT_EQ(script.Line(1), QStringLiteral("B"));
    EXPECT_EQ(script.Line(3), QStringLiteral("D"));
}

TEST(KvDemoScriptFileTest, ALineACodePageCannotHoldTurnsTheScriptIntoUtf8WithoutLosingText)
{
    TKvDemoScript script;
    script.LoadFromBytes("[Script]\nPause 1\n[1049]\nintro=" + Cp1251(u"Привет") + "\n");
    ASSERT_FALSE(script.Utf8());
    script.InsertLine(1, QStringLiteral("ImageOpen \"café 東京.jpg\""));
    EXPECT_TRUE(script.Utf8());
    EXPECT_EQ(script.Line(1), QStringLiteral("ImageOpen \"café 東京.jpg\""));
    EXPECT_EQ(script.LocalizedText("intro", 1049, 1033), QStringLiteral("Привет"));
    TKvDemoScript again;
    again.LoadFromBytes(script.ToBytes());
    EXPECT_EQ(again.LocalizedText("intro", 1049, 1033), QStringLiteral("Привет"));
}

TEST(KvDemoScriptFileTest, SectionTextReplacesTheLinesOfOneSection)
{
    TKvDemoScript script;
    const int texts = script.AddSection("1033");
    EXPECT_EQ(script.AddSection("1033"), texts);
    script.SetSectionText(texts, QStringLiteral("intro = Hello\n\n; note\r\nTitle=Cup\n"));
    EXPECT_EQ(script.Sections()[size_t(texts)].Lines, (std::vector<QByteArray>{"intro=Hello", "Title=Cup"}));
    EXPECT_EQ(script.SectionText(texts), QStringLiteral("intro=Hello\nTitle=Cup\n"));
    script.DeleteSection(texts);
    EXPECT_LT(script.IndexOfSection("1033"), 0);
}

TEST(KvDemoScriptFileTest, MissingAndOversizedFilesAreNotRead)
{
    const QTemporaryDir folder;
    TKvDemoScript script;
    EXPECT_FALSE(script.LoadFromFile(folder.filePath(QStringLiteral("missing.dsc"))));
    EXPECT_FALSE(script.LoadFromFile(folder.path()));

    QFile huge(folder.filePath(QStringLiteral("huge.dsc")));
    ASSERT_TRUE(huge.open(QIODevice::WriteOnly));
    huge.write("[Script]\nPause 1\n");
    ASSERT_TRUE(huge.resize(TKvDemoScript::MaxFileSize + 1));
    huge.close();
    EXPECT_FALSE(script.LoadFromFile(huge.fileName()));
    EXPECT_EQ(script.LineCount(), 0);
    EXPECT_TRUE(script.FileName().isEmpty());
}

TEST(KvDemoScriptFileTest, AnsiCodePagesOfLanguages)
{
    const std::pair<quint16, int> cases[] = {{1033, 1252}, {1031, 1252}, {1049, 1251}, {0x0C1A, 1251},
                                             {0x081A, 1250}, {0x0404, 950}, {0x0804, 936}, {0x0439, 0}};
    for (const auto& [langId, codePage] : cases)
        EXPECT_EQ(AnsiCodePageOfLanguage(langId), codePage) << langId;
}
