// The localizer over temporary language folders: the choice of the default
// language, lookups and their fallbacks, switching language, re-caption
// handlers, and putting values into texts.
#include "KvLocalizer.h"

#include <QFile>
#include <QObject>
#include <QTemporaryDir>

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class LanguageFolder {
public:
    void Write(const QString& name, const QByteArray& content)
    {
        QFile file(m_folder.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    void Remove(const QString& name) { QFile::remove(m_folder.filePath(name)); }
    QString Path() const { return m_folder.path(); }

private:
    QTemporaryDir m_folder;
};

QByteArray LanguageFile(int langId, const QByteArray& name, const QByteArray& strings)
{
    return "[Language]\nLangId=" + QByteArray::number(langId) + "\nLanguage=" + name + "\n[Strings]\n" + strings;
}

// English, German and French with overlapping strings.
struct ThreeLanguages : ::testing::Test {
    void SetUp() override
    {
        folder.Write("a_french.ini", LanguageFile(1036, "Français", "1=Oui\n"));
        folder.Write("english.ini", LanguageFile(1033, "English", "1=OK\n2=Cancel\n3=English only\n"));
        folder.Write("german.ini", LanguageFile(1031, "Deutsch", "1=OK\n2=Abbrechen\n"));
    }
    LanguageFolder folder;
};

// Records the calls a localize handler receives.
class Recorder : public QObject {
public:
    void Localize(QObject* component) { calls.push_back(component); }
    void Other(QObject* component) { calls.push_back(component); }
    std::vector<QObject*> calls;
};

} // namespace

TEST_F(ThreeLanguages, DefaultIsTheSystemLanguageThenEnglishThenTheFirst)
{
    EXPECT_EQ(TKvLocalizer(folder.Path(), 1031).DefaultLanguage(), 1031);
    EXPECT_EQ(TKvLocalizer(folder.Path(), 0x0C07).DefaultLanguage(), 1031) << "German for Austria";
    EXPECT_EQ(TKvLocalizer(folder.Path(), 1049).DefaultLanguage(), 1033);
    EXPECT_EQ(TKvLocalizer(folder.Path(), 0).DefaultLanguage(), 1033);
    folder.Remove("english.ini");
    EXPECT_EQ(TKvLocalizer(folder.Path(), 1049).DefaultLanguage(), 1036) << "first by file name";
}

TEST_F(ThreeLanguages, ListsEveryLanguageFileFound)
{
    folder.Write("notes.ini", "[Language]\nLanguage=No id\n");
    folder.Write("zero.ini", LanguageFile(0, "Zero", "1=x\n"));
    folder.Write("readme.txt", LanguageFile(1049, "Not ini", "1=x\n"));
    const TKvLocalizer localizer(folder.Path(), 1033);
    std::vector<quint16> ids;
    for (const TKvLanguage& language : localizer.Languages())
        ids.push_back(language.LangId);
    EXPECT_EQ(ids, (std::vector<quint16>{1036, 1033, 1031}));
    EXPECT_EQ(localizer.LanguageName(1036), QStringLiteral("Français"));
    EXPECT_EQ(localizer.LanguageName(1049), QString());
    EXPECT_EQ(localizer.CurrentLanguage(), 1033);
}

TEST_F(ThreeLanguages, LookupFallsBackToDefaultLanguageThenToCallersText)
{
    TKvLocalizer localizer(folder.Path(), 1033);
    localizer.SetLanguage(1031);
    EXPECT_EQ(localizer.CurrentLanguage(), 1031);
    EXPECT_EQ(localizer.LocalStr(2), QStringLiteral("Abbrechen"));
    EXPECT_EQ(localizer.LocalStr(3), QStringLiteral("English only"));
    EXPECT_EQ(localizer.LocalStr(4, QStringLiteral("fallback")), QStringLiteral("fallback"));
    localizer.SetLanguage(1033);
    EXPECT_EQ(localizer.LocalStr(2), QStringLiteral("Cancel")) << "the default language clears the current strings";
}

TEST_F(ThreeLanguages, AbsentLanguageOnlyChangesTheLocale)
{
    TKvLocalizer localizer(folder.Path(), 1033);
    localizer.SetLanguage(1031);
    Recorder recorder;
    localizer.AddLocalizeHandler(TKvMethod(&recorder, &Recorder::Localize), &recorder);
    QLocale::setDefault(QLocale::c());
    localizer.SetLanguage(1049);
    EXPECT_EQ(QLocale().language(), QLocale::Russian);
    EXPECT_EQ(localizer.CurrentLanguage(), 1031);
    EXPECT_EQ(localizer.LocalStr(2), QStringLiteral("Abbrechen"));
    EXPECT_EQ(recorder.calls.size(), 1u) << "only the call at registration";
    QLocale::setDefault(QLocale::c());
}

TEST_F(ThreeLanguages, LanguageFileRemovedAfterTheScanFallsBackToDefault)
{
    TKvLocalizer localizer(folder.Path(), 1033);
    folder.Remove("german.ini");
    localizer.SetLanguage(1031);
    EXPECT_EQ(localizer.CurrentLanguage(), 1031);
    EXPECT_EQ(localizer.LocalStr(2), QStringLiteral("Cancel"));
}

TEST(Localizer, NoLanguageFilesGivesTheCallersTexts)
{
    LanguageFolder empty;
    const TKvLocalizer localizer(empty.Path(), 1033);
    EXPECT_EQ(localizer.DefaultLanguage(), 0);
    EXPECT_EQ(localizer.CurrentLanguage(), 0);
    EXPECT_EQ(localizer.LocalStr(1, QStringLiteral("OK")), QStringLiteral("OK"));
    const TKvLocalizer missing(QStringLiteral("/nonexistent/Languages"), 1033);
    EXPECT_EQ(missing.LocalStr(1), QString());
}

TEST(Localizer, StringIdsFollowTheFileRules)
{
    LanguageFolder folder;
    folder.Write("english.ini", LanguageFile(1033, "English",
                                             "5=first\n"
                                             "5=last wins\n"
                                             "$10=sixteen\n"
                                             "-1=minus one\n"
                                             "x7=not an id\n"
                                             "8=a=b=c\n"
                                             "9=\n"
                                             "10=caf\xE9\n"
                                             "11 =  padded  \n"));
    const TKvLocalizer localizer(folder.Path(), 1033);
    struct Case {
        qint32 id;
        QString expected;
    };
    const Case cases[] = {
        {5, "last wins"}, {16, "sixteen"}, {-1, "minus one"}, {7, "default"}, {8, "a=b=c"},
        {9, ""},          {10, ""},        {11, "padded"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(localizer.LocalStr(c.id, QStringLiteral("default")), c.expected) << c.id;
}

TEST(Localizer, RussianFileNeedsItsCodePageLine)
{
    // "Отмена" in code page 1251.
    const QByteArray cancel1251 = "\xCE\xF2\xEC\xE5\xED\xE0";
    const QByteArray strings = "1=OK\n2=" + cancel1251 + "\n";
    LanguageFolder withLine, withoutLine;
    withLine.Write("russian.ini", LanguageFile(1049, "\xD0\xF3\xF1\xF1\xEA\xE8\xE9", strings) + "[Language]\nCodePage=1251\n");
    withoutLine.Write("russian.ini", LanguageFile(1049, "Russian", strings));
    const TKvLocalizer converted(withLine.Path(), 1049);
    EXPECT_EQ(converted.LocalStr(2), QStringLiteral("Отмена"));
    EXPECT_EQ(converted.LanguageName(1049), QStringLiteral("Русский"));
    const TKvLocalizer unconverted(withoutLine.Path(), 1049);
    EXPECT_EQ(unconverted.LocalStr(2, QStringLiteral("default")), QString());
    EXPECT_EQ(unconverted.LocalStr(1), QStringLiteral("OK"));
}

TEST(Localizer, ByteOrderMarkMakesUtf8WithoutCodePage)
{
    LanguageFolder folder;
    folder.Write("german.ini", "\xEF\xBB\xBF" + LanguageFile(1031, "Deutsch", "1=Schließen\n"));
    const TKvLocalizer localizer(folder.Path(), 1031);
    EXPECT_EQ(localizer.DefaultLanguage(), 1031) << "the mark does not hide the first section";
    EXPECT_EQ(localizer.LocalStr(1), QStringLiteral("Schließen"));
}

TEST_F(ThreeLanguages, HandlersRunOnRegistrationAndOnEverySwitch)
{
    TKvLocalizer localizer(folder.Path(), 1033);
    Recorder first, second;
    QObject componentA, componentB;
    const TKvMethod firstLocalize(&first, &Recorder::Localize);
    localizer.AddLocalizeHandler(firstLocalize, &componentA);
    localizer.AddLocalizeHandler(TKvMethod(&second, &Recorder::Localize), &componentB);
    localizer.AddLocalizeHandler(firstLocalize, &componentB); // duplicates are allowed
    EXPECT_EQ(first.calls, (std::vector<QObject*>{&componentA, &componentB}));

    first.calls.clear();
    second.calls.clear();
    localizer.SetLanguage(1031);
    EXPECT_EQ(first.calls, (std::vector<QObject*>{&componentA, &componentB}));
    EXPECT_EQ(second.calls, (std::vector<QObject*>{&componentB}));

    localizer.RemoveLocalizeHandler(firstLocalize); // the last registration goes
    localizer.RemoveLocalizeHandler(TKvMethod(&first, &Recorder::Other)); // never registered
    first.calls.clear();
    localizer.SetLanguage(1033);
    EXPECT_EQ(first.calls, (std::vector<QObject*>{&componentA}));
    EXPECT_EQ(localizer.LocalizeHandlerCount(), 2);
}

TEST_F(ThreeLanguages, GlobalFunctionsUseTheInstalledLocalizer)
{
    EXPECT_EQ(LocalStr(2, QStringLiteral("none installed")), QStringLiteral("none installed"));
    auto previous = SetGlobalLocalizer(std::make_unique<TKvLocalizer>(folder.Path(), 1033));
    EXPECT_EQ(previous, nullptr);
    SetLanguage(1031);
    EXPECT_EQ(CurrentLanguage(), 1031);
    EXPECT_EQ(DefaultLanguage(), 1033);
    EXPECT_EQ(LocalStr(2), QStringLiteral("Abbrechen"));
    EXPECT_EQ(GetLanguages().size(), 3u);
    EXPECT_EQ(LanguageName(1031), QStringLiteral("Deutsch"));
    SetGlobalLocalizer(nullptr);
    EXPECT_EQ(LocalStr(2), QString());
    QLocale::setDefault(QLocale::c());
}

TEST(FormatText, PutsValuesInAsPlainText)
{
    struct Case {
        const char* pattern;
        QStringList values;
        const char* expected;
    };
    const Case cases[] = {
        {"Cannot open %s.", {"/tmp/a.jpg"}, "Cannot open /tmp/a.jpg."},
        {"%s and %s", {"one", "two"}, "one and two"},
        {"%d of %s", {"3", "5"}, "3 of 5"},
        {"100%% sure", {}, "100% sure"},
        {"%n %x %1 %", {"unused"}, "%n %x %1 %"},
        {"missing %s here", {}, "missing  here"},
        {"extra", {"ignored"}, "extra"},
        {"%s", {"%s%d%n"}, "%s%d%n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatText(QString::fromUtf8(c.pattern), c.values), QString::fromUtf8(c.expected)) << c.pattern;
}

TEST_F(ThreeLanguages, LocalFormatTakesItsPatternFromTheLanguageFile)
{
    folder.Write("english.ini", LanguageFile(1033, "English", "1030=Cannot open %s (%n%d%x).\n"));
    SetGlobalLocalizer(std::make_unique<TKvLocalizer>(folder.Path(), 1033));
    EXPECT_EQ(LocalFormat(1030, {QStringLiteral("a%s.png")}), QStringLiteral("Cannot open a%s.png (%n%x)."));
    EXPECT_EQ(LocalFormat(9999, {QStringLiteral("x")}, QStringLiteral("No %s")), QStringLiteral("No x"));
    SetGlobalLocalizer(nullptr);
}

TEST(LangId, MapsToLocalesAndBack)
{
    struct Case {
        quint16 langId;
        QLocale::Language language;
    };
    const Case cases[] = {{1033, QLocale::English}, {2057, QLocale::English}, {1031, QLocale::German},
                          {1049, QLocale::Russian}, {1036, QLocale::French},  {3082, QLocale::Spanish},
                          {2052, QLocale::Chinese}, {1041, QLocale::Japanese}};
    for (const Case& c : cases) {
        const QLocale locale = LocaleFromLangId(c.langId);
        EXPECT_EQ(locale.language(), c.language) << c.langId;
        EXPECT_EQ(LangIdFromLocale(locale), c.langId) << c.langId;
    }
    EXPECT_EQ(LangIdFromLocale(QLocale(QLocale::German, QLocale::Germany)), 1031);
    EXPECT_EQ(LocaleFromLangId(0x3FF), QLocale::c());
}
