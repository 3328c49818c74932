#include "KvScanner.h"

#include "KvScannerSourceDialog.h"
#include "KvScannerTexts.h"
#include "KvScannerWorker.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSettings>
#include <QStandardPaths>

namespace {

const QString defaultSourceKey = QStringLiteral("DefaultSource");

} // namespace

TKvScanner::TKvScanner(QObject* owner, const QString& settingsFile)
    : TKvImportSource(owner),
      settingsFile_(settingsFile),
      worker_(std::make_unique<TKvScannerWorker>(cancelRequested_))
{
    defaultDevice_ = QSettings(settingsFile_, QSettings::IniFormat).value(defaultSourceKey).toByteArray();
    thread_.setObjectName(QStringLiteral("Scanner"));
    worker_->moveToThread(&thread_);
    connect(worker_.get(), &TKvScannerWorker::SourcesListed, this, &TKvScanner::OnSourcesListed);
    connect(worker_.get(), &TKvScannerWorker::Progress, this, &TKvScanner::OnProgress);
    connect(worker_.get(), &TKvScannerWorker::Acquired, this, &TKvScanner::OnAcquired);
    thread_.start();
    RefreshSources();
}

TKvScanner::~TKvScanner()
{
    destroying_ = true;
    cancelRequested_ = true;
    thread_.quit();
    thread_.wait();
    // A result the worker sent before it stopped may hold a transfer file
    // that nobody will open: OnAcquired removes it and announces nothing.
    QCoreApplication::sendPostedEvents(this, QEvent::MetaCall);
}

QString TKvScanner::DefaultSettingsFile()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppConfigLocation)
           + QLatin1String("/scanner.ini");
}

bool TKvScanner::IsAvailable() const
{
    return !busy_ && !sources_.isEmpty();
}

QStringList TKvScanner::SourceNames() const
{
    QStringList names;
    for (const TKvScannerSource& source : sources_)
        names.append(source.displayName);
    return names;
}

QString TKvScanner::DefaultSource() const
{
    for (const TKvScannerSource& source : sources_)
        if (source.deviceName == defaultDevice_)
            return source.displayName;
    return sources_.isEmpty() ? QString() : sources_.first().displayName;
}

void TKvScanner::SetDefaultSource(const QString& sourceName)
{
    const TKvScannerSource* source = FindSource(sourceName);
    if (!source)
        return;
    defaultDevice_ = source->deviceName;
    QSettings(settingsFile_, QSettings::IniFormat).setValue(defaultSourceKey, defaultDevice_);
}

bool TKvScanner::SelectSource(QWidget* parent)
{
    TKvScannerSourceDialog dialog(SourceNames(), DefaultSource(), parent);
    if (dialog.exec() != QDialog::Accepted || dialog.ChosenSource().isEmpty())
        return false;
    SetDefaultSource(dialog.ChosenSource());
    return true;
}

bool TKvScanner::Acquire()
{
    return AcquireFrom(DefaultSource());
}

bool TKvScanner::AcquireFrom(const QString& sourceName)
{
    if (busy_ || sourceName.isEmpty())
        return false;
    const TKvScannerSource* source = FindSource(sourceName);
    const QByteArray deviceName = source ? source->deviceName : sourceName.toUtf8();
    acquiringFrom_ = source ? source->displayName : sourceName;
    transferFolder_ = QDir::tempPath();
    cancelRequested_ = false;
    busy_ = true;
    UpdateAvailability();
    QMetaObject::invokeMethod(worker_.get(), [worker = worker_.get(), deviceName, folder = transferFolder_] {
        worker->Acquire(deviceName, folder);
    });
    return true;
}

void TKvScanner::Cancel()
{
    if (busy_)
        cancelRequested_ = true;
}

void TKvScanner::RefreshSources()
{
    QMetaObject::invokeMethod(worker_.get(), &TKvScannerWorker::ListSources);
}

void TKvScanner::OnSourcesListed(const QList<TKvScannerSource>& sources)
{
    if (destroying_)
        return;
    sources_ = sources;
    UpdateAvailability();
    emit SourcesChanged();
}

void TKvScanner::OnProgress(int percent)
{
    if (!destroying_ && busy_)
        emit Progress(percent);
}

void TKvScanner::OnAcquired(const TKvAcquireResult& result)
{
    if (destroying_) {
        if (!result.transferFile.isEmpty())
            QFile::remove(result.transferFile);
        return;
    }
    busy_ = false;
    cancelRequested_ = false;
    UpdateAvailability();
    emit AcquireFinished();
    if (!result.transferFile.isEmpty())
        emit ImageReady(result.transferFile);
    else if (result.scan.outcome != TKvScanOutcome::Cancelled)
        emit AcquireFailed(FailureMessage(result));
}

void TKvScanner::UpdateAvailability()
{
    const bool available = IsAvailable();
    if (available == announcedAvailable_)
        return;
    announcedAvailable_ = available;
    emit AvailabilityChanged(available);
}

const TKvScannerSource* TKvScanner::FindSource(const QString& sourceName) const
{
    for (const TKvScannerSource& source : sources_)
        if (source.displayName == sourceName || source.deviceName == sourceName.toUtf8())
            return &source;
    return nullptr;
}

QString TKvScanner::FailureMessage(const TKvAcquireResult& result) const
{
    using namespace KvScannerText;
    if (result.writeFailed)
        return LocalFormat(WriteFailed, {QDir::toNativeSeparators(transferFolder_)},
                           QStringLiteral("The scanned picture could not be stored in the folder %s."));
    const QStringList scanner{acquiringFrom_};
    const QString cause = QLatin1Char('\n') + StatusText(result.scan.status);
    switch (result.scan.outcome) {
    case TKvScanOutcome::OpenFailed:
        return LocalFormat(OpenFailed, scanner, QStringLiteral("The scanner %s cannot be opened.")) + cause;
    case TKvScanOutcome::StartFailed:
        return LocalFormat(StartFailed, scanner, QStringLiteral("The scanner %s could not start scanning."))
               + cause;
    case TKvScanOutcome::TransferFailed:
        return LocalFormat(TransferFailed, scanner,
                           QStringLiteral("Scanning with %s failed; no picture was taken."))
               + cause;
    case TKvScanOutcome::Incomplete:
        return LocalFormat(Incomplete, scanner,
                           QStringLiteral("The scanner %s delivered an incomplete picture; it was discarded."));
    case TKvScanOutcome::UnsupportedFormat:
        return LocalFormat(UnsupportedFormat, scanner,
                           QStringLiteral("The scanner %s delivers pictures in a form this program cannot read."));
    case TKvScanOutcome::Done:
    case TKvScanOutcome::Cancelled:
        break;
    }
    return {};
}
