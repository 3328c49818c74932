// An X server of a test's own (Xvfb) on a free display, and this test
// program run again as a child on it, for tests that need a real X server.
// Header-only: it needs QtCore, which the support library does not link.
#pragma once

#include "ShellTestSupport.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

class TXvfbServer {
public:
    // screen is "WIDTHxHEIGHTxDEPTH".
    explicit TXvfbServer(const QString& screen = QStringLiteral("1024x768x24"))
    {
        // Xvfb picks a free display itself and writes its number.
        m_server.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"), QStringLiteral("-screen"),
                                                QStringLiteral("0"), screen, QStringLiteral("-nolisten"),
                                                QStringLiteral("tcp")});
        if (!m_server.waitForStarted(10000)
            || !WaitUntil([&] { return m_server.canReadLine() || m_server.state() != QProcess::Running; }))
            return;
        const QString number = QString::fromLatin1(m_server.readLine()).trimmed();
        if (!number.isEmpty())
            m_display = QStringLiteral(":") + number;
    }
    ~TXvfbServer() { Stop(); }
    TXvfbServer(const TXvfbServer&) = delete;
    TXvfbServer& operator=(const TXvfbServer&) = delete;

    // ":N"; empty when the server did not start.
    QString Display() const { return m_display; }

    // The environment of a program shown on this server.
    QProcessEnvironment Environment() const
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("DISPLAY"), m_display);
        environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        return environment;
    }

    void Stop()
    {
        if (m_server.state() == QProcess::NotRunning)
            return;
        m_server.terminate();
        m_server.waitForFinished(10000);
    }

private:
    QProcess m_server;
    QString m_display;
};

// Runs this test program again on the server with childVariable set and
// only the tests gtestFilter names; its output goes with this program's.
// Returns its exit code, or -1 when it did not start, crashed or was still
// running after the timeout (it is killed then).
inline int RunThisProgramOn(const TXvfbServer& server, const char* childVariable, const QString& gtestFilter,
                            const QStringList& arguments = {}, int timeoutMilliseconds = 120000)
{
    QProcessEnvironment environment = server.Environment();
    environment.insert(QLatin1String(childVariable), QStringLiteral("1"));
    environment.insert(QStringLiteral("GTEST_FILTER"), gtestFilter);
    QProcess child;
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::ForwardedChannels);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    if (!child.waitForStarted(10000))
        return -1;
    if (!child.waitForFinished(timeoutMilliseconds)) {
        child.kill();
        child.waitForFinished(10000);
        return -1;
    }
    return child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
}
