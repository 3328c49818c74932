#include "KvDataFolders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <array>

QString ProgramDataFolder(const QString& name)
{
    const QString executableFolder = QCoreApplication::instance()
                                         ? QCoreApplication::applicationDirPath()
                                         : QFileInfo(QStringLiteral("/proc/self/exe")).canonicalFilePath().section(QLatin1Char('/'), 0, -2);
    const QDir folder(executableFolder);
    const std::array<QString, 3> candidates{name, QStringLiteral("../../") + name,
                                            QStringLiteral("../share/orvane/") + name};
    for (const QString& candidate : candidates)
        if (QFileInfo(folder.filePath(candidate)).isDir())
            return QDir::cleanPath(folder.filePath(candidate));
    return QDir::cleanPath(folder.filePath(candidates.front()));
}
