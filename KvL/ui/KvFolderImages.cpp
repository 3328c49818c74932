#include "KvFolderImages.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace {

// The extensions of the picture files stepped through. An extension counts
// when it occurs anywhere in this text, so ".JP" does.
const QString FolderImageExtensions = QStringLiteral(".KVI;.JPG;.JPEG;.TIF;.TIFF;.PNG;.BMP;.RLE;.DIB");

} // namespace

bool TKvFolderImages::IsFolderImage(const QString& fileName)
{
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    if (dot < 0)
        return false;
    const QString extension = fileName.mid(dot).toUpper();
    return extension.size() > 2 && FolderImageExtensions.contains(extension);
}

void TKvFolderImages::Scan(const QString& path)
{
    if (path.isEmpty())
        return;
    const QFileInfo opened(path);
    const QDir folder = opened.absoluteDir();
    Images.clear();
    const QStringList names = folder.entryList(QDir::Files | QDir::Hidden | QDir::System, QDir::Name | QDir::IgnoreCase);
    for (const QString& name : names)
        if (IsFolderImage(name))
            Images << folder.filePath(name);
    Index = -1;
    const QString openedPath = opened.absoluteFilePath();
    for (qsizetype i = 0; i < Images.size(); ++i)
        if (Images[i].compare(openedPath, Qt::CaseInsensitive) == 0) {
            Index = int(i);
            break;
        }
}

void TKvFolderImages::Clear()
{
    Images.clear();
    Index = -1;
}

bool TKvFolderImages::CanStep(int step) const
{
    return !Images.isEmpty() && Index + step >= 0 && Index + step < Images.size();
}

TKvFolderImages::TStep TKvFolderImages::Step(int step)
{
    TStep result;
    result.Target = Images[Index + step];
    if (QFileInfo(result.Target).isFile())
        return result;
    result.Missing = result.Target;
    result.Target.clear();
    result.Rescanned = true;
    RescanAround(Index >= 0 ? Images[Index] : QString());
    const int index = Index + step;
    if (Index >= 0 && index >= 0 && index < Images.size())
        result.Target = Images[index];
    return result;
}

void TKvFolderImages::RescanAround(const QString& current)
{
    Scan(current);
    if (current.isEmpty() || Index >= 0)
        return;
    const QString name = QFileInfo(current).fileName();
    const auto after = std::find_if(Images.begin(), Images.end(), [&](const QString& path) {
        return QFileInfo(path).fileName().compare(name, Qt::CaseInsensitive) > 0;
    });
    Index = int(after - Images.begin());
    Images.insert(Index, current);
}
