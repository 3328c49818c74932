#pragma once

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

// The graphics editor's scanner component: finds the attached scanners, lets
// the user choose the one Acquire uses, and acquires a picture on a worker
// thread into a BMP transfer file, which it announces with ImageReady. The
// receiver opens the file and deletes it.
//
// One component per process: the scanner library has one session per process.
// Scanners are looked for when the component is created and on RefreshSources;
// until the first search ends the component is unavailable.
class TKvScanner : public QObject
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
    bool IsAvailable() const;
    bool IsBusy() const { return busy_; }

    // The names of the attached scanners, for the user (the Import submenu).
    QStringList SourceNames() const;
    // The scanner Acquire uses: the one the user chose when it is still
    // attached, otherwise the first one; empty when there is none.
    QString DefaultSource() const;
    void SetDefaultSource(const QString& sourceName);
    // Shows the dialog in which the user chooses the default source; true
    // when the user confirmed a choice.
    bool SelectSource(QWidget* parent = nullptr);

    // Starts acquiring from the default source, or from the named one (one of
    // SourceNames(), or a device name of the scanner library). False when
    // nothing was started: busy, or no such source.
    bool Acquire();
    bool AcquireFrom(const QString& sourceName);
    // Stops the running acquisition; it then announces no picture.
    void Cancel();

    // Looks for scanners again (in the background); SourcesChanged follows.
    void RefreshSources();

signals:
    // IsAvailable() changed: the editor enables or disables its scanner items.
    void AvailabilityChanged(bool available);
    // A search for scanners ended; SourceNames() holds its result.
    void SourcesChanged();
    // Share of the running acquisition done, 0 to 100.
    void Progress(int percent);
    // An acquisition ended (finished, failed or cancelled); emitted before
    // ImageReady or AcquireFailed, so a progress display can go first.
    void AcquireFinished();
    // A picture was scanned completely and stored in the transfer file.
    void ImageReady(const QString& transferFile);
    // An acquisition failed; nothing was stored. The message is for the user.
    void AcquireFailed(const QString& message);

private:
    void OnSourcesListed(const QList<TKvScannerSource>& sources);
    void OnProgress(int percent);
    void OnAcquired(const TKvAcquireResult& result);
    void UpdateAvailability();
    const TKvScannerSource* FindSource(const QString& sourceName) const;
    // The user's message for a failed acquisition from acquiringFrom_.
    QString FailureMessage(const TKvAcquireResult& result) const;

    QString settingsFile_;
    QByteArray defaultDevice_;
    QList<TKvScannerSource> sources_;
    QString acquiringFrom_;   // the source of the running or last acquisition
    QString transferFolder_;  // where it stores its transfer file
    bool busy_ = false;
    bool announcedAvailable_ = false;
    bool destroying_ = false;
    std::atomic<bool> cancelRequested_{false};
    QThread thread_;
    std::unique_ptr<TKvScannerWorker> worker_;
};
