// Helpers for tests of the application shell: private user folders, the
// program-wide localizer over the build's language files or over strings of
// a test's own, and a way to let the event loop run.
#pragma once

#include "KvLocalizer.h"

#include <QByteArray>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QString>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

// Points the user's configuration, data, home and runtime folders at a
// temporary folder for the life of the object, so that nothing a test does
// touches the real user's files.
class TTempUserFolders {
public:
    TTempUserFolders()
    {
        for (const char* name : {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "HOME", "XDG_RUNTIME_DIR"}) {
            const QString path = m_root.filePath(QString::fromLatin1(name).toLower());
            QDir().mkpath(path);
            QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
            m_saved.emplace_back(name, qgetenv(name));
            qputenv(name, QFile::encodeName(path));
        }
    }
    ~TTempUserFolders()
    {
        for (const auto& [name, value] : m_saved)
            qputenv(name, value);
    }
    TTempUserFolders(const TTempUserFolders&) = delete;
    TTempUserFolders& operator=(const TTempUserFolders&) = delete;

    QString Root() const { return m_root.path(); }

private:
    QTemporaryDir m_root;
    std::vector<std::pair<const char*, QByteArray>> m_saved;
};

// The language files the build copies beside the executables.
inline QString BuildLanguagesFolder()
{
    return QDir(QString::fromLocal8Bit(qgetenv("ORVANE_BIN_DIR"))).filePath(QStringLiteral("Languages"));
}

// Installs a localizer (English by default) for the life of the object.
class TTestLocalizer {
public:
    explicit TTestLocalizer(const QString& folder = BuildLanguagesFolder(), quint16 systemLangId = 1033)
    {
        SetGlobalLocalizer(std::make_unique<TKvLocalizer>(folder, systemLangId));
    }
    ~TTestLocalizer() { SetGlobalLocalizer(nullptr); }
    TTestLocalizer(const TTestLocalizer&) = delete;
    TTestLocalizer& operator=(const TTestLocalizer&) = delete;
};

// A temporary language folder with one English file holding the given
// [Strings] lines ("12=Open it\n..."), installed as the program-wide
// localizer for the life of the object.
class TTestEnglishStrings {
public:
    explicit TTestEnglishStrings(const QByteArray& strings)
    {
        QFile english(m_folder.filePath(QStringLiteral("english.ini")));
        if (!english.open(QIODevice::WriteOnly) || english.write("[Language]\nLangId=1033\n[Strings]\n" + strings) < 0)
            ADD_FAILURE() << "cannot write the language file";
        english.close();
        m_localizer = std::make_unique<TTestLocalizer>(m_folder.path());
    }

    // A path in the folder, for other files a test wants there.
    QString FilePath(const QString& name) const { return m_folder.filePath(name); }

private:
    QTemporaryDir m_folder;
    std::unique_ptr<TTestLocalizer> m_localizer;
};

// Runs the event loop for about `milliseconds`.
inline void RunEventLoopFor(int milliseconds)
{
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

// Runs the event loop as the program's own runs, waiting for events (so
// that the idle updates run, which enable buttons), until the condition
// holds; false after the deadline.
template <class TCondition>
bool RunLoopUntil(TCondition condition, int deadlineMilliseconds = 60000)
{
    QEventLoop loop;
    QTimer poll;
    poll.callOnTimeout([&] {
        if (condition())
            loop.exit(0);
    });
    poll.start(20);
    QTimer::singleShot(deadlineMilliseconds, &loop, [&loop] { loop.exit(1); });
    return loop.exec() == 0;
}

// Runs the event loop until the condition holds; false after the deadline
// (a guard against hanging, not a measurement).
template <class TCondition>
bool WaitUntil(TCondition condition, int deadlineMilliseconds = 30000)
{
    QElapsedTimer timer;
    timer.start();
    while (!condition()) {
        if (timer.elapsed() > deadlineMilliseconds)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        QThread::msleep(2);
    }
    return true;
}
