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
      m_settingsFile(settingsFile),
      m_worker(std::make_unique<TKvScannerWorker>(m_cancelRequested))
{
    m_defaultDevice = QSettings(m_settingsFile, QSettings::IniFormat).value(defaultSourceKey).toByteArray();
    m_thread.setObjectName(QStringLiteral("Scanner"));
    m_worker->moveToThread(&m_thread);
    connect(m_worker.get(), &TKvScannerWorker::SourcesListed, this, &TKvScanner::OnSourcesListed);
    connect(m_worker.get(), &TKvScannerWorker::Progress, this, &TKvScanner::OnProgress);
    connect(m_worker.get(), &TKvScannerWorker::Acquired, this, &TKvScanner::OnAcquired);
    m_thread.start();
    RefreshSources();
}

TKvScanner::~TKvScanner()
{
    m_destroying = true;
    m_cancelRequested = true;
    m_thread.quit();
    m_thread.wait();
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
    return !m_busy && !m_sources.isEmpty();
}

QStringList TKvScanner::SourceNames() const
{
    QStringList names;
    for (const TKvScannerSource& source : m_sources)
        names.append(source.displayName);
    return names;
}

QString TKvScanner::DefaultSource() const
{
    for (const TKvScannerSource& source : m_sources)
        if (source.deviceName == m_defaultDevice)
            return source.displayName;
    return m_sources.isEmpty() ? QString() : m_sources.first().displayName;
}

void TKvScanner::SetDefaultSource(const QString& sourceName)
{
    const TKvScannerSource* source = FindSource(sourceName);
    if (!source)
        return;
    m_defaultDevice = source->deviceName;
    QSettings(m_settingsFile, QSettings::IniFormat).setValue(defaultSourceKey, m_defaultDevice);
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
    if (m_busy || sourceName.isEmpty())
        return false;
    const TKvScannerSource* source = FindSource(sourceName);
    const QByteArray deviceName = source ? source->deviceName : sourceName.toUtf8();
    m_acquiringFrom = source ? source->displayName : sourceName;
    m_transferFolder = QDir::tempPath();
    m_cancelRequested = false;
    m_busy = true;
    UpdateAvailability();
    QMetaObject::invokeMethod(m_worker.get(), [worker = m_worker.get(), deviceName, folder = m_transferFolder] {
        worker->Acquire(deviceName, folder);
    });
    return true;
}

void TKvScanner::Cancel()
{
    if (m_busy)
        m_cancelRequested = true;
}

void TKvScanner::RefreshSources()
{
    QMetaObject::invokeMethod(m_worker.get(), &TKvScannerWorker::ListSources);
}

void TKvScanner::OnSourcesListed(const QList<TKvScannerSource>& sources)
{
    if (m_destroying)
        return;
    m_sources = sources;
    UpdateAvailability();
    emit SourcesChanged();
}

void TKvScanner::OnProgress(int percent)
{
    if (!m_destroying && m_busy)
        emit Progress(percent);
}

void TKvScanner::OnAcquired(const TKvAcquireResult& result)
{
    if (m_destroying) {
        if (!result.transferFile.isEmpty())
            QFile::remove(result.transferFile);
        return;
    }
    m_busy = false;
    m_cancelRequested = false;
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
    if (available == m_announcedAvailable)
        return;
    m_announcedAvailable = available;
    emit AvailabilityChanged(available);
}

const TKvScannerSource* TKvScanner::FindSource(const QString& sourceName) const
{
    for (const TKvScannerSource& source : m_sources)
        if (source.displayName == sourceName || source.deviceName == sourceName.toUtf8())
            return &source;
    return nullptr;
}

QString TKvScanner::FailureMessage(const TKvAcquireResult& result) const
{
    using namespace KvScannerText;
    if (result.writeFailed)
        return LocalFormat(WriteFailed, {QDir::toNativeSeparators(m_transferFolder)},
                           QStringLiteral("The scanned picture could not be stored in the folder %s."));
    const QStringList scanner{m_acquiringFrom};
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
