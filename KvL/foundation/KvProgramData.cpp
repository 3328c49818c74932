#include "KvProgramData.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <array>

QString ProgramDataPath(const QString& name, const QString& executableFolder)
{
    const QDir folder(executableFolder);
    const std::array<QString, 4> places{QString(), QStringLiteral("../../"), QStringLiteral("../share/orvane/"),
                                        QStringLiteral("../share/doc/orvane/")};
    for (const QString& place : places) {
        const QString path = QDir::cleanPath(folder.filePath(place + name));
        if (QFileInfo::exists(path))
            return path;
    }
    return QDir::cleanPath(folder.filePath(name));
}

QString ProgramDataPath(const QString& name)
{
    // Without a Qt application object (early in start-up) the executable is
    // found through the process's own link.
    const QString executableFolder =
        QCoreApplication::instance()
            ? QCoreApplication::applicationDirPath()
            : QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(QLatin1Char('/'), 0, -2);
    return ProgramDataPath(name, executableFolder);
}
