#pragma once

#include "KvSaneScan.h"
#include "KvSaneSession.h"

#include <QList>
#include <QObject>
#include <QString>

#include <atomic>
#include <memory>

// What one acquisition produced: the transfer file of a finished scan, or how
// it failed.
struct TKvAcquireResult {
    TKvScanResult scan;
    bool writeFailed = false;  // scanned, but the transfer file could not be written
    QString transferFile;      // set only when the picture was stored completely
};

// Makes every scanner library call of the scanner component, one after the
// other on the component's worker thread: lists the scanners and acquires
// pictures into transfer files.
class TKvScannerWorker : public QObject
{
    Q_OBJECT

public:
    explicit TKvScannerWorker(const std::atomic<bool>& cancelRequested);
    ~TKvScannerWorker() override;

public slots:
    // Starts a fresh library session, so that scanners attached since the
    // last listing are found, and lists them.
    void ListSources();
    // Scans from the device and stores the picture as a BMP file in the folder.
    void Acquire(const QByteArray& deviceName, const QString& transferFolder);

signals:
    void SourcesListed(const QList<TKvScannerSource>& sources);
    void Progress(int percent);
    void Acquired(const TKvAcquireResult& result);

private:
    const std::atomic<bool>& m_cancelRequested;
    std::unique_ptr<TKvSaneSession> m_session;
};
