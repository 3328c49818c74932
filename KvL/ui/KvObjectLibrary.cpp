#include "KvObjectLibrary.h"

#include <QDir>
#include <QStandardPaths>

std::filesystem::path ObjectLibraryFolder()
{
    const QString data = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    return std::filesystem::path(QDir(data).filePath(QStringLiteral("orvane/library")).toStdString());
}
