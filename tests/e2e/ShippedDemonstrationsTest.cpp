// Every demonstration shipped in Demo/ plays from a fresh start to its end
// on the default window size, run by `orvane --play` on an X server of its
// own (real pointer and button events): in English, and the first one also
// in German and in Russian. A few run at once, each with its own server and
// user folders (most of a demonstration is spent showing balloons and
// waiting). A screenshot of the whole screen is taken in the middle of
// each (build/screenshots/demo_<name>_<language>.png) for people to look
// at; the test checks that each run ends with status 0.
#include "ProgramTestSupport.h"
#include "ShellTestSupport.h"
#include "XvfbServer.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

QString BinFolder()
{
    return qEnvironmentVariable("ORVANE_BIN_DIR");
}

QString ScriptPath(const QString& name)
{
    return QDir(BinFolder()).filePath(QStringLiteral("Demo/") + name);
}

QStringList ShippedScripts()
{
    return QDir(QDir(BinFolder()).filePath(QStringLiteral("Demo"))).entryList({QStringLiteral("*.dsc")}, QDir::Files,
                                                                               QDir::Name);
}

// The seconds a script spends in its pauses and balloons, which is most of
// its time.
double WaitingSeconds(const QString& name)
{
    TKvDemoScript script;
    if (!script.LoadFromFile(ScriptPath(name)))
        return 0;
    double seconds = 0;
    for (int i = 0; i < script.LineCount(); ++i) {
        const QStringList words = script.Line(i).split(QRegularExpression(QStringLiteral("[\\s,]+")), Qt::SkipEmptyParts);
        const QString command = words.value(0).toUpper();
        if (command == QStringLiteral("PAUSE"))
            seconds += words.size() > 1 ? words[1].toDouble() : 1.0;
        else if (command == QStringLiteral("MESSAGE"))
            seconds += words.size() > 2 ? words[2].toDouble() : 3.0;
    }
    return seconds;
}

// One run of `orvane --play` on a server and in user folders of its own.
class TPlay {
public:
    TPlay(const QString& script, const QString& locale, const QString& language)
        : Script(script), Shot(QStringLiteral("demo_%1_%2").arg(QFileInfo(script).completeBaseName(), language)),
          m_locale(locale)
    {
    }

    void Start()
    {
        m_server = std::make_unique<TXvfbServer>(QStringLiteral("1280x1024x24"));
        QProcessEnvironment environment = m_server->Environment();
        environment.insert(QStringLiteral("LANG"), m_locale);
        environment.insert(QStringLiteral("LC_ALL"), m_locale);
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "HOME", "XDG_RUNTIME_DIR"}) {
            const QString path = m_home.filePath(QString::fromLatin1(name).toLower());
            QDir().mkpath(path);
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            environment.insert(QLatin1String(name), path);
        }
        // The screenshot in the middle of the waiting, after the start-up.
        m_shotAfter = 3000 + qint64(WaitingSeconds(Script) * 500);
        m_environment = environment;
        m_program.setProcessEnvironment(environment);
        m_program.start(QDir(BinFolder()).filePath(QStringLiteral("orvane")), {QStringLiteral("--play"), ScriptPath(Script)});
        m_clock.start();
        if (m_server->Display().isEmpty() || !m_program.waitForStarted(10000))
            Finish();
    }

    // Lets the run go on for a moment; takes the screenshot when it is due,
    // notes the result when the run has ended (or is killed past a guard
    // against a run that hangs).
    void Poll()
    {
        if (Done)
            return;
        // A run whose end was seen while another process was waited for is
        // no longer running, and waiting for it answers false at once.
        if (m_program.waitForFinished(50) || m_program.state() == QProcess::NotRunning) {
            Status = m_program.exitStatus() == QProcess::NormalExit ? m_program.exitCode() : -1;
            Errors = QString::fromLocal8Bit(m_program.readAllStandardError());
            Finish();
            return;
        }
        if (!m_focused)
            m_focused = FocusTheMainWindow();
        if (!Screenshot && m_clock.elapsed() >= m_shotAfter)
            TakeScreenshot();
        if (m_clock.elapsed() > 300000) {
            m_program.kill();
            m_program.waitForFinished(10000);
            Finish();
        }
    }

    const QString Script;
    const QString Shot;
    bool Done = false;
    int Status = -1;
    QString Errors;
    bool Screenshot = false;

private:
    // Gives the main window the keyboard once it is shown, as a window
    // manager would. Without one the keyboard follows the pointer, and a
    // balloon shown under the pointer would take it from the program, which
    // then counts as inactive and holds the demonstration until it is
    // active again.
    bool FocusTheMainWindow()
    {
        QProcess xdotool;
        xdotool.setProcessEnvironment(m_environment);
        xdotool.start(QStringLiteral("xdotool"), {QStringLiteral("search"), QStringLiteral("--onlyvisible"),
                                                  QStringLiteral("--name"), QStringLiteral("Orvane"),
                                                  QStringLiteral("windowfocus")});
        return xdotool.waitForFinished(10000) && xdotool.exitStatus() == QProcess::NormalExit && xdotool.exitCode() == 0;
    }

    void TakeScreenshot()
    {
        const QString path = QDir(BinFolder()).filePath(QStringLiteral("../screenshots/%1.png").arg(Shot));
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile::remove(path);
        QProcess::execute(QStringLiteral("/usr/bin/import"),
                          {QStringLiteral("-display"), m_server->Display(), QStringLiteral("-window"),
                           QStringLiteral("root"), path});
        Screenshot = !QImage(path).isNull();
    }

    void Finish()
    {
        Done = true;
        m_server.reset();
    }

    QString m_locale;
    QTemporaryDir m_home;
    std::unique_ptr<TXvfbServer> m_server;
    QProcessEnvironment m_environment;
    QProcess m_program;
    QElapsedTimer m_clock;
    bool m_focused = false;
    qint64 m_shotAfter = 0;
};

// Plays them all, a few at a time.
void PlayAll(std::vector<std::unique_ptr<TPlay>>& plays)
{
    constexpr std::size_t AtOnce = 3;
    std::size_t started = 0;
    const auto running = [&] {
        std::size_t count = 0;
        for (std::size_t i = 0; i < started; ++i)
            count += plays[i]->Done ? 0 : 1;
        return count;
    };
    while (started < plays.size() || running() > 0) {
        while (started < plays.size() && running() < AtOnce)
            plays[started++]->Start();
        for (std::size_t i = 0; i < started; ++i)
            plays[i]->Poll();
    }
}

void ExpectEachPlayedToItsEnd(const std::vector<std::unique_ptr<TPlay>>& plays)
{
    for (const auto& play : plays) {
        EXPECT_EQ(play->Status, 0) << play->Shot.toStdString() << ": " << play->Errors.toStdString();
        EXPECT_TRUE(play->Screenshot) << play->Shot.toStdString();
    }
}

} // namespace

TEST(ShippedDemonstrations, EveryDemonstrationPlaysToItsEndInEnglish)
{
    const QStringList scripts = ShippedScripts();
    ASSERT_GE(scripts.size(), 11);
    std::vector<std::unique_ptr<TPlay>> plays;
    for (const QString& script : scripts)
        plays.push_back(std::make_unique<TPlay>(script, QStringLiteral("en_US.UTF-8"), QStringLiteral("1033")));
    PlayAll(plays);
    ExpectEachPlayedToItsEnd(plays);
}

TEST(ShippedDemonstrations, TheFirstDemonstrationPlaysToItsEndInGermanAndRussian)
{
    const QStringList scripts = ShippedScripts();
    ASSERT_FALSE(scripts.isEmpty());
    std::vector<std::unique_ptr<TPlay>> plays;
    plays.push_back(std::make_unique<TPlay>(scripts.front(), QStringLiteral("de_DE.UTF-8"), QStringLiteral("1031")));
    plays.push_back(std::make_unique<TPlay>(scripts.front(), QStringLiteral("ru_RU.UTF-8"), QStringLiteral("1049")));
    PlayAll(plays);
    ExpectEachPlayedToItsEnd(plays);
}

TEST(ShippedDemonstrationTexts, EveryScriptHasItsTitleAndEveryMessageInEachLanguage)
{
    for (const QString& name : ShippedScripts()) {
        TKvDemoScript script;
        ASSERT_TRUE(script.LoadFromFile(ScriptPath(name)));
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
