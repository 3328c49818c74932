#include "CommonData.h"

#include <QFile>
#include <QImage>
#include <QPixmap>
#include <QStandardPaths>

#include <array>

namespace {

// A picture of the program: its resource name, the freedesktop name of the
// standard action it stands for (none for the program's own tools), and
// its place in the shared image list (-1: by name only).
struct TArtwork {
    int Index;
    const char* Name;
    const char* ThemeName;
};

constexpr std::array<TArtwork, 23> Artwork{{
    {1, "Open", "document-open"},
    {2, "Save", "document-save"},
    {3, "Print", "document-print"},
    {8, "Undo", "edit-undo"},
    {9, "Redo", "edit-redo"},
    {10, "ZoomIn", "zoom-in"},
    {11, "ZoomOut", "zoom-out"},
    {12, "ActualSize", "zoom-original"},
    {13, "BestFit", "zoom-fit-best"},
    {14, "PrevImage", "go-previous"},
    {15, "NextImage", "go-next"},
    {16, "Right", "object-rotate-right"},
    {17, "Left", "object-rotate-left"},
    {18, "FlipVertical", "object-flip-vertical"},
    {19, "FlipHorizontal", "object-flip-horizontal"},
    {31, "BrightnessUp", nullptr},
    {32, "BrightnessDown", nullptr},
    {33, "ContrastUp", nullptr},
    {34, "ContrastDown", nullptr},
    {77, "Clipping", nullptr},
    {78, "Paste", nullptr},
    {79, "Text", nullptr},
    {-1, "Contrast", nullptr},
}};

QString ResourcePath(const QString& name)
{
    for (const char* suffix : {".svg", ".png"}) {
        const QString path = QStringLiteral(":/images/") + name + QLatin1String(suffix);
        if (QFile::exists(path))
            return path;
    }
    return QString();
}

// A raster picture without transparency has its top-left pixel's colour as
// the transparent colour.
QPixmap MaskedPixmap(const QString& path)
{
    QImage image(path);
    if (!image.isNull() && !image.hasAlphaChannel()) {
        const QImage mask = image.createMaskFromColor(image.pixel(0, 0), Qt::MaskOutColor);
        image = image.convertToFormat(QImage::Format_ARGB32);
        image.setAlphaChannel(mask.convertToFormat(QImage::Format_Grayscale8));
    }
    return QPixmap::fromImage(image);
}

QIcon IconFromFile(const QString& path, QIcon::Mode mode, QIcon icon = QIcon())
{
    if (path.endsWith(QLatin1String(".svg")))
        icon.addFile(path, QSize(), mode);
    else
        icon.addPixmap(MaskedPixmap(path), mode);
    return icon;
}

const TArtwork* FindArtwork(const QString& name)
{
    for (const TArtwork& artwork : Artwork)
        if (name == QLatin1String(artwork.Name))
            return &artwork;
    return nullptr;
}

// The desktop's icons stand for the standard actions; without a desktop
// theme that has them, the Breeze theme the program installs with does,
// looked up in the system's icon folders (which Qt does not search when no
// desktop theme tells it to).
void ChooseIconTheme()
{
    if (QIcon::hasThemeIcon(QStringLiteral("document-open")))
        return;
    QStringList paths = QIcon::themeSearchPaths();
    const QStringList iconFolders = QStandardPaths::locateAll(QStandardPaths::GenericDataLocation,
                                                              QStringLiteral("icons"), QStandardPaths::LocateDirectory);
    for (const QString& folder : iconFolders)
        if (!paths.contains(folder))
            paths << folder;
    QIcon::setThemeSearchPaths(paths);
    QIcon::setThemeName(QStringLiteral("breeze"));
}

} // namespace

QIcon ResourceImage(const QString& name)
{
    RegisterProgramImages();
    const QString path = ResourcePath(name);
    if (path.isEmpty())
        return QIcon();
    QIcon drawn = IconFromFile(path, QIcon::Normal);
    const QString disabledPath = ResourcePath(name + QStringLiteral("Disabled"));
    if (!disabledPath.isEmpty())
        drawn = IconFromFile(disabledPath, QIcon::Disabled, drawn);
    const TArtwork* artwork = FindArtwork(name);
    if (artwork && artwork->ThemeName)
        return QIcon::fromTheme(QLatin1String(artwork->ThemeName), drawn);
    return drawn;
}

TCommonDataModule::TCommonDataModule() : New24TBXImageList(new TKvImageList(QSize(24, 24), this))
{
    ChooseIconTheme();
    std::array<QIcon, ImageCount> icons{};
    for (const TArtwork& artwork : Artwork)
        if (artwork.Index >= 0)
            icons[static_cast<size_t>(artwork.Index)] = ResourceImage(QLatin1String(artwork.Name));
    for (const QIcon& icon : icons)
        New24TBXImageList->Add(icon);
}

TCommonDataModule::~TCommonDataModule() = default;
