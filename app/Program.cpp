#include "Program.h"

#include "CommonData.h"
#include "KvForms.h"
#include "KvLocalizer.h"
#include "Model.h"
#include "PlayRun.h"

#include <QApplication>
#include <QCoreApplication>
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

void PreferX11UnderWayland()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")
        && !qEnvironmentVariableIsEmpty("DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "xcb");
}

int RunProgram(const QString& languagesFolder)
{
    TKvApplication application;
    TLocalizerScope localizer(languagesFolder);
    QString usageError;
    const std::optional<TPlayOptions> play = ParsePlayArguments(QCoreApplication::arguments(), usageError);
    if (!usageError.isEmpty()) {
        PrintPlayMessage(usageError);
        return PlayUsageError;
    }
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
    std::unique_ptr<TPlayRun> playRun;
    if (play) {
        QString error;
        playRun = TPlayRun::Create(*play, *module->GraphicsEditor, *module->DemonstrationModule, error);
        if (!playRun) {
            PrintPlayMessage(error);
            application.DestroyComponents();
            return PlayUsageError;
        }
    }
    const int exitCode = application.Run();
    playRun.reset();
    // The components go while the localizer they are registered with is
    // still there.
    application.DestroyComponents();
    return exitCode;
}
