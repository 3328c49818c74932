// Reading language files: number syntax, ini rules and the encodings.
#include "KvLanguageFile.h"

#include "QtPrinters.h"

#include <gtest/gtest.h>

namespace {

QByteArray Cp1251(const QString& text)
{
    // The Cyrillic letters used in these tests, in code page 1251.
    QByteArray bytes;
    for (QChar c : text) {
        const ushort u = c.unicode();
        if (u < 0x80)
            bytes += char(u);
        else if (u >= 0x0410 && u <= 0x044F)
            bytes += char(0xC0 + (u - 0x0410));
        else
            ADD_FAILURE() << "no 1251 byte for U+" << std::hex << u;
    }
    return bytes;
}

const QString Cancel = QStringLiteral("Отмена");

} // namespace

TEST(ParseInteger, AcceptsDecimalAndHexadecimal)
{
    struct Case {
        const char* text;
        std::optional<qint32> expected;
    };
    const Case cases[] = {
        {"0", 0},           {"1033", 1033},      {"-5", -5},         {"+7", 7},
        {"$10", 16},        {"$ff", 255},        {"0x1F", 31},       {"-$10", -16},
        {"$FFFFFFFF", -1},  {"2147483647", 2147483647}, {"-2147483648", qint32(-2147483648LL)},
        {"2147483648", std::nullopt}, {"$100000000", std::nullopt}, {"", std::nullopt},
        {"-", std::nullopt}, {"$", std::nullopt}, {"12a", std::nullopt}, {" 12", std::nullopt},
        {"1.5", std::nullopt}, {"$g", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseInteger(c.text), c.expected) << '"' << c.text << '"';
}

TEST(MemIniFile, FollowsTheIniRules)
{
    TKvMemIniFile ini;
    ini.SetText("orphan=before any section\r\n"
                "  [ Strings ]  \n"
                "; a comment\r"
                "\n"
                "  1 =  one = with equals  \n"
                "no equals here\n"
                "[Other]\n"
                "Key=other\n"
                "[strings]\n"
                "2=two\n"
                "1=again\n");
    EXPECT_FALSE(ini.SectionExists("Missing"));
    EXPECT_TRUE(ini.SectionExists("STRINGS"));
    EXPECT_EQ(ini.ReadString("strings", "1"), QByteArray("one = with equals")) << "the first line wins";
    EXPECT_EQ(ini.ReadString("Strings", "2"), QByteArray("two")) << "a repeated section continues";
    EXPECT_EQ(ini.ReadString("OTHER", "key"), QByteArray("other"));
    EXPECT_EQ(ini.ReadString("Strings", "orphan", "none"), QByteArray("none"));
    const auto& lines = ini.SectionLines("Strings");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_FALSE(lines[1].HasValue);
    EXPECT_EQ(lines[1].Text, QByteArray("no equals here"));
    EXPECT_EQ(ini.ReadInteger("Other", "Key", -3), -3);
}

TEST(LanguageFile, ChoosesTheEncoding)
{
    const QByteArray bom = "\xEF\xBB\xBF";
    struct Case {
        const char* what;
        QByteArray raw;
        QString expected; // the text of string 2
    };
    const Case cases[] = {
        {"UTF-8 without mark", "[Strings]\n2=" + Cancel.toUtf8(), Cancel},
        {"UTF-8 with mark", bom + "[Strings]\n2=" + Cancel.toUtf8(), Cancel},
        {"code page line anywhere", "[Strings]\n2=" + Cp1251(Cancel) + "\n[Language]\nCodePage=1251", Cancel},
        {"name without regard to case", "codepage=1251\n[Strings]\n2=" + Cp1251(Cancel), Cancel},
        {"value with blanks", "CodePage= 1251 \n[Strings]\n2=" + Cp1251(Cancel), Cancel},
        {"no code page: not UTF-8, empty", "[Strings]\n2=" + Cp1251(Cancel), QString()},
        {"blank before = hides it", "CodePage =1251\n[Strings]\n2=" + Cp1251(Cancel), QString()},
        {"leading blank hides it", " CodePage=1251\n[Strings]\n2=" + Cp1251(Cancel), QString()},
        {"first line counts", "CodePage=0\nCodePage=1251\n[Strings]\n2=" + Cp1251(Cancel), QString()},
        {"mark wins over code page", bom + "CodePage=1251\n[Strings]\n2=" + Cancel.toUtf8(), Cancel},
        {"unknown code page: as UTF-8", "CodePage=64999\n[Strings]\n2=" + Cancel.toUtf8(), Cancel},
        {"code page 65001 is UTF-8", "CodePage=65001\n[Strings]\n2=" + Cancel.toUtf8(), Cancel},
        {"hexadecimal code page", "CodePage=$4E3\n[Strings]\n2=" + Cp1251(Cancel), Cancel},
    };
    for (const Case& c : cases) {
        TKvLanguageFile file;
        file.LoadFromBytes(c.raw);
        EXPECT_EQ(DecodeUtf8(file.ReadString("Strings", "2")), c.expected) << c.what;
    }
}

TEST(LanguageFile, UndefinedCodePageBytesBecomeReplacementCharacters)
{
    // 0x98 is the one byte code page 1251 leaves undefined.
    const std::optional<QByteArray> converted = CodePageToUtf8("a\x98" "b\xC0", 1251);
    ASSERT_TRUE(converted);
    EXPECT_EQ(QString::fromUtf8(*converted), QStringLiteral("a\uFFFDb\u0410"));
    EXPECT_FALSE(CodePageToUtf8("a", 0));
    EXPECT_FALSE(CodePageToUtf8("a", -1251));
    EXPECT_FALSE(CodePageToUtf8("a", 64999));
}

TEST(LanguageFile, LangIdMustBeAWindowsLanguageId)
{
    struct Case {
        const char* language;
        quint16 expected;
    };
    const Case cases[] = {
        {"LangId=1033", 1033}, {"LangId=$409", 1033}, {"LangId=65535", 65535}, {"LangId=0", 0},
        {"LangId=65536", 0},   {"LangId=66569", 0},   {"LangId=-1", 0},       {"LangId=English", 0},
        {"Language=English", 0},
    };
    for (const Case& c : cases) {
        TKvLanguageFile file;
        file.LoadFromBytes(QByteArray("[Language]\n") + c.language);
        EXPECT_EQ(file.LangId(), c.expected) << c.language;
    }
}

TEST(LanguageFile, InvalidUtf8DecodesToEmptyText)
{
    EXPECT_EQ(DecodeUtf8("caf\xC3\xA9"), QStringLiteral("café"));
    EXPECT_EQ(DecodeUtf8("caf\xE9"), QString());
    EXPECT_EQ(DecodeUtf8("\xC3"), QString()) << "a cut sequence";
    EXPECT_EQ(DecodeUtf8("\xED\xA0\x80"), QString()) << "an encoded surrogate";
    TKvLanguageFile file;
    file.LoadFromBytes("[Language]\nLangId=1031\nLanguage=Deutsch\xFF");
    EXPECT_EQ(file.LangId(), 1031);
    EXPECT_EQ(file.LanguageName(), QString());
}

TEST(LanguageFile, MissingFileIsEmpty)
{
    const TKvLanguageFile file(QStringLiteral("/nonexistent/folder/English.ini"));
    EXPECT_EQ(file.LangId(), 0);
    EXPECT_TRUE(file.SectionLines("Strings").empty());
}
