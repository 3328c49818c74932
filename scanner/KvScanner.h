// The graphics editor's scanner component: finds the attached scanners, lets
// the user choose the one Acquire uses, and acquires a picture on a worker
// thread into a BMP transfer file, which it announces with ImageReady. The
// receiver opens the file and deletes it.
//
// One component per process: the scanner library has one session per process.
// Scanners are looked for when the component is created and on RefreshSources;
// until the first search ends the component is unavailable.
#pragma once

#include "KvImportSource.h"
#include "KvSaneSession.h"

#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QThread>

#include <atomic>
#include <memory>

class QWidget;
class TKvScannerWorker;
struct TKvAcquireResult;

class TKvScanner : public TKvImportSource
{
    Q_OBJECT

public:
    // Settings (the chosen default source) are kept in settingsFile.
    explicit TKvScanner(QObject* owner = nullptr, const QString& settingsFile = DefaultSettingsFile());
    ~TKvScanner() override;

    // The per-user file the component keeps its settings in.
    static QString DefaultSettingsFile();

    // Whether a picture can be acquired now: a scanner is attached and no
    // acquisition is running.
    bool IsAvailable() const override;
    bool IsBusy() const override { return m_busy; }

    // The names of the attached scanners, for the user (the Import submenu).
    QStringList SourceNames() const override;
    // The scanner Acquire uses: the one the user chose when it is still
    // attached, otherwise the first one; empty when there is none.
    QString DefaultSource() const;
    void SetDefaultSource(const QString& sourceName);
    // Shows the dialog in which the user chooses the default source; true
    // when the user confirmed a choice.
    bool SelectSource(QWidget* parent = nullptr) override;

    // Starts acquiring from the default source, or from the named one (one of
    // SourceNames(), or a device name of the scanner library). False when
    // nothing was started: busy, or no such source.
    bool Acquire() override;
    bool AcquireFrom(const QString& sourceName) override;
    // Stops the running acquisition; it then announces no picture.
    void Cancel() override;

    // Looks for scanners again (in the background); SourcesChanged follows.
    void RefreshSources();

private:
    void OnSourcesListed(const QList<TKvScannerSource>& sources);
    void OnProgress(int percent);
    void OnAcquired(const TKvAcquireResult& result);
    void UpdateAvailability();
    const TKvScannerSource* FindSource(const QString& sourceName) const;
    // The user's message for a failed acquisition from m_acquiringFrom.
    QString FailureMessage(const TKvAcquireResult& result) const;

    QString m_settingsFile;
    QByteArray m_defaultDevice;
    QList<TKvScannerSource> m_sources;
    QString m_acquiringFrom;   // the source of the running or last acquisition
    QString m_transferFolder;  // where it stores its transfer file
    bool m_busy = false;
    bool m_announcedAvailable = false;
    bool m_destroying = false;
    std::atomic<bool> m_cancelRequested{false};
    QThread m_thread;
    std::unique_ptr<TKvScannerWorker> m_worker;
};
