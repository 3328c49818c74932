#include "Program.h"

#include "CommonData.h"
#include "KvForms.h"
#include "KvLocalizer.h"
#include "Model.h"

#include <QApplication>
#include <QDir>
#include <QIcon>
#include <QLockFile>
#include <QStandardPaths>

#include <memory>

namespace {

// Installs the program-wide localizer for the life of the object.
class TLocalizerScope {
public:
    explicit TLocalizerScope(const QString& languagesFolder)
    {
        SetGlobalLocalizer(std::make_unique<TKvLocalizer>(languagesFolder, TKvLocalizer::SystemLangId()));
    }
    ~TLocalizerScope() { SetGlobalLocalizer(nullptr); }
    TLocalizerScope(const TLocalizerScope&) = delete;
    TLocalizerScope& operator=(const TLocalizerScope&) = delete;
};

// A lock file held while the program runs, which installers and other
// programs can test for; a second copy of the program runs without it.
QString RunningMarkPath()
{
    return QDir(QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation))
        .filePath(QStringLiteral("ClippingMutexName"));
}

} // namespace

int RunProgram(const QString& languagesFolder)
{
    TKvApplication application;
    TLocalizerScope localizer(languagesFolder);
    QLockFile runningMark(RunningMarkPath());
    runningMark.setStaleLockTime(0);
    runningMark.tryLock(0);

    application.Initialize();
    application.SetTitle(QStringLiteral("Orvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVANE_VERSION));
    // The desktop entry the windows belong to, and its icon: the installed
    // theme's, else the one compiled in.
    QGuiApplication::setDesktopFileName(QStringLiteral("org.orvane.Orvane"));
    QApplication::setWindowIcon(
        QIcon::fromTheme(QStringLiteral("org.orvane.Orvane"), QIcon(QStringLiteral(":/images/Orvane.svg"))));
    TCommonDataModule* commonData = nullptr;
    TModule* module = nullptr;
    application.CreateForm(commonData);
    application.CreateForm(module, commonData);
    const int exitCode = application.Run();
    // The components go while the localizer they are registered with is
    // still there.
    application.DestroyComponents();
    return exitCode;
}
