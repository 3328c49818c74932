// The language files the program ships: every string id the code uses has
// an English text, every translation is complete and keeps the
// placeholders, and each file's encoding path works.
//
// The code is scanned for LocalStr(<number>, LocalFormat(<number> and
// StringId(<number>) (the marker for ids kept in tables), so code added
// later is checked too.
#include "KvLanguageFile.h"
#include "KvLocalizer.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QRegularExpression>

#include "QtPrinters.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

QString SourceDir()
{
    return qEnvironmentVariable("ORVANE_SOURCE_DIR");
}

QString LanguagesDir()
{
    return SourceDir() + QStringLiteral("/Languages");
}

// id -> text of one shipped language file.
std::map<qint32, QByteArray> Strings(const QString& fileName)
{
    const TKvLanguageFile file(LanguagesDir() + QLatin1Char('/') + fileName);
    std::map<qint32, QByteArray> strings;
    for (const TKvMemIniFile::Line& line : file.SectionLines("Strings"))
        if (const std::optional<qint32> id = ParseInteger(line.Name))
            strings[*id] = line.Value;
    return strings;
}

struct IdUse {
    QString where;
    qint32 id;
};

std::vector<IdUse> StringIdsUsedInCode()
{
    static const QRegularExpression use(QStringLiteral(R"(\b(?:LocalStr|LocalFormat|StringId)\s*\(\s*(\d+)\b)"));
    std::vector<IdUse> uses;
    for (const char* folder : {"KvL", "algorithms", "app", "cli", "scanner"}) {
        QDirIterator files(SourceDir() + QLatin1Char('/') + QLatin1String(folder),
                           {QStringLiteral("*.cpp"), QStringLiteral("*.h")}, QDir::Files,
                           QDirIterator::Subdirectories);
        while (files.hasNext()) {
            const QString path = files.next();
            QFile file(path);
            if (!file.open(QIODevice::ReadOnly))
                continue;
            const QString text = QString::fromUtf8(file.readAll());
            for (auto match = use.globalMatch(text); match.hasNext();) {
                const QRegularExpressionMatch found = match.next();
                const int line = int(text.left(found.capturedStart()).count(QLatin1Char('\n'))) + 1;
                uses.push_back({QDir(SourceDir()).relativeFilePath(path) + QLatin1Char(':') + QString::number(line),
                                found.captured(1).toInt()});
            }
        }
    }
    return uses;
}

int Placeholders(const QByteArray& text)
{
    return int(text.count("%s") + text.count("%d"));
}

} // namespace

TEST(ShippedLanguages, EveryStringIdUsedInTheCodeHasAnEnglishText)
{
    const std::map<qint32, QByteArray> english = Strings(QStringLiteral("English.ini"));
    const std::vector<IdUse> uses = StringIdsUsedInCode();
    std::set<qint32> seen;
    for (const IdUse& use : uses) {
        seen.insert(use.id);
        const auto text = english.find(use.id);
        EXPECT_TRUE(text != english.end() && !text->second.isEmpty())
            << use.where.toStdString() << " uses string " << use.id << ", which English.ini lacks";
    }
    // The scan itself works: the format registry's two labels are found.
    EXPECT_TRUE(seen.count(146) && seen.count(147));
}

TEST(ShippedLanguages, TranslationsAreCompleteAndKeepPlaceholders)
{
    const std::map<qint32, QByteArray> english = Strings(QStringLiteral("English.ini"));
    ASSERT_GT(english.size(), 100u);
    for (const char* name : {"German.ini", "Russian.ini"}) {
        const std::map<qint32, QByteArray> translation = Strings(QString::fromLatin1(name));
        for (const auto& [id, text] : english) {
            const auto translated = translation.find(id);
            ASSERT_TRUE(translated != translation.end()) << name << " lacks string " << id;
            EXPECT_FALSE(DecodeUtf8(translated->second).isEmpty()) << name << " string " << id;
            EXPECT_EQ(Placeholders(translated->second), Placeholders(text)) << name << " string " << id;
        }
        EXPECT_EQ(translation.size(), english.size()) << name << " has strings English lacks";
    }
}

TEST(ShippedLanguages, LoadThroughTheirOwnEncodings)
{
    TKvLocalizer localizer(LanguagesDir(), 1049);
    EXPECT_EQ(localizer.DefaultLanguage(), 1049);
    EXPECT_EQ(localizer.LanguageName(1049), QStringLiteral("Русский"));
    EXPECT_EQ(localizer.LocalStr(2), QStringLiteral("Отмена"));
    localizer.SetLanguage(1031);
    EXPECT_EQ(localizer.LanguageName(1031), QStringLiteral("Deutsch"));
    EXPECT_EQ(localizer.LocalStr(2), QStringLiteral("Abbrechen"));
    localizer.SetLanguage(1033);
    EXPECT_EQ(localizer.LocalStr(2), QStringLiteral("Cancel"));
    QLocale::setDefault(QLocale::c());
}

TEST(ShippedLanguages, ProgramFindsTheFolderBesideItsExecutable)
{
    const QString beside = qEnvironmentVariable("ORVANE_BIN_DIR") + QStringLiteral("/Languages");
    EXPECT_EQ(TKvLocalizer::DefaultLanguagesFolder(), QDir::cleanPath(beside));
    EXPECT_TRUE(QFile::exists(beside + QStringLiteral("/English.ini")));
}
