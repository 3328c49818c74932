// Every demonstration shipped in Demo/ plays from a fresh start to its end
// on the default window size, run by `orvane --play` on an X server of its
// own (real pointer and button events): in English, and the first one also
// in German and in Russian. A screenshot of the whole screen is taken while
// each plays (build/screenshots/demo_<name>_<language>.png) for people to
// look at; the test checks that each run ends with status 0.
#include "ProgramTestSupport.h"
#include "ShellTestSupport.h"
#include "XvfbServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QThread>

#include <gtest/gtest.h>

namespace {

QString BinFolder()
{
    return qEnvironmentVariable("ORVANE_BIN_DIR");
}

QStringList ShippedScripts()
{
    return QDir(QDir(BinFolder()).filePath(QStringLiteral("Demo"))).entryList({QStringLiteral("*.dsc")}, QDir::Files,
                                                                               QDir::Name);
}

struct TPlayed {
    int Status = -1;
    QString Errors;
    bool Screenshot = false;
};

// Plays the script under the locale; takes the screenshot once the run is
// some seconds in (the pictures are for looking at, not compared).
TPlayed Play(const TXvfbServer& server, const QString& script, const QString& locale, const QString& shot)
{
    QProcessEnvironment environment = server.Environment();
    environment.insert(QStringLiteral("LANG"), locale);
    environment.insert(QStringLiteral("LC_ALL"), locale);
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QDir(BinFolder()).filePath(QStringLiteral("orvane")),
                  {QStringLiteral("--play"), QDir(BinFolder()).filePath(QStringLiteral("Demo/") + script)});
    TPlayed played;
    if (!program.waitForStarted(10000))
        return played;
    program.waitForFinished(7000);
    if (program.state() == QProcess::Running) {
        const QString path = QDir(BinFolder()).filePath(QStringLiteral("../screenshots/%1.png").arg(shot));
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile::remove(path);
        QProcess::execute(QStringLiteral("/usr/bin/import"),
                          {QStringLiteral("-display"), server.Display(), QStringLiteral("-window"),
                           QStringLiteral("root"), path});
        played.Screenshot = !QImage(path).isNull();
    }
    if (!program.waitForFinished(180000)) {
        program.kill();
        program.waitForFinished(10000);
        return played;
    }
    played.Status = program.exitStatus() == QProcess::NormalExit ? program.exitCode() : -1;
    played.Errors = QString::fromLocal8Bit(program.readAllStandardError());
    return played;
}

class ShippedDemonstrations : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_FALSE(server.Display().isEmpty()) << "Xvfb did not start";
    }
    TTempUserFolders folders;
    TXvfbServer server{QStringLiteral("1280x1024x24")};
};

} // namespace

TEST_F(ShippedDemonstrations, EveryDemonstrationPlaysToItsEndInEnglish)
{
    const QStringList scripts = ShippedScripts();
    ASSERT_GE(scripts.size(), 8);
    for (const QString& script : scripts) {
        const TPlayed played = Play(server, script, QStringLiteral("en_US.UTF-8"),
                                    QStringLiteral("demo_%1_1033").arg(QFileInfo(script).completeBaseName()));
        EXPECT_EQ(played.Status, 0) << script.toStdString() << ": " << played.Errors.toStdString();
        EXPECT_TRUE(played.Screenshot) << script.toStdString();
    }
}

TEST_F(ShippedDemonstrations, TheFirstDemonstrationPlaysToItsEndInGermanAndRussian)
{
    const QStringList scripts = ShippedScripts();
    ASSERT_FALSE(scripts.isEmpty());
    for (const auto& [locale, language] : {std::pair{"de_DE.UTF-8", "1031"}, std::pair{"ru_RU.UTF-8", "1049"}}) {
        const TPlayed played = Play(server, scripts.front(), QLatin1String(locale),
                                    QStringLiteral("demo_%1_%2")
                                        .arg(QFileInfo(scripts.front()).completeBaseName(), QLatin1String(language)));
        EXPECT_EQ(played.Status, 0) << locale << ": " << played.Errors.toStdString();
        EXPECT_TRUE(played.Screenshot) << locale;
    }
}

TEST(ShippedDemonstrationTexts, EveryScriptHasItsTitleAndEveryMessageInEachLanguage)
{
    for (const QString& name : ShippedScripts()) {
        TKvDemoScript script;
        ASSERT_TRUE(script.LoadFromFile(QDir(BinFolder()).filePath(QStringLiteral("Demo/") + name)));
        EXPECT_TRUE(QFileInfo(QDir(BinFolder()).filePath(QStringLiteral("Demo/") + script.InfoValue("Image"))).isFile())
            << name.toStdString();
        for (const quint16 language : {1033, 1031, 1049}) {
            EXPECT_FALSE(script.LocalizedText("Title", language, 1033).isEmpty()) << name.toStdString();
            for (int i = 0; i < script.LineCount(); ++i) {
                const QString line = script.Line(i);
                const qsizetype percent = line.indexOf(QStringLiteral("\"%"));
                if (!line.startsWith(QStringLiteral("Message"), Qt::CaseInsensitive) || percent < 0)
                    continue;
                const QString key = line.mid(percent + 2).section(QLatin1Char('"'), 0, 0);
                EXPECT_FALSE(script.LocalizedText(key.toUtf8(), language, 0).isEmpty())
                    << name.toStdString() << " " << language << " " << key.toStdString();
            }
        }
    }
}
