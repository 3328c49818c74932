#include "KvScannerWorker.h"

#include "KvSaneFrames.h"

#include <QFile>
#include <QImageWriter>
#include <QTemporaryFile>

#include <sane/sane.h>

#include <new>
#include <stdexcept>

namespace {

// Writes the picture to a new file in the folder; the file's name, or empty
// when it could not be written completely (nothing is left behind then).
QString WriteTransferFile(const QImage& picture, const QString& folder)
{
    // QTemporaryFile puts a unique part where the template has six X.
    QTemporaryFile file(folder + QLatin1String("/orvane-scan-") + QString(6, QLatin1Char('X'))
                        + QLatin1String(".bmp"));
    file.setAutoRemove(false);
    if (!file.open())
        return {};
    QImageWriter writer(&file, "bmp");
    const bool written = writer.write(picture) && file.flush();
    file.close();
    if (!written || file.error() != QFileDevice::NoError) {
        file.remove();
        return {};
    }
    return file.fileName();
}

} // namespace

TKvScannerWorker::TKvScannerWorker(const std::atomic<bool>& cancelRequested)
    : m_cancelRequested(cancelRequested)
{
}

TKvScannerWorker::~TKvScannerWorker() = default;

void TKvScannerWorker::ListSources()
{
    m_session.reset();  // the library allows one session at a time
    m_session = std::make_unique<TKvSaneSession>();
    emit SourcesListed(m_session->Sources());
}

void TKvScannerWorker::Acquire(const QByteArray& deviceName, const QString& transferFolder)
{
    TKvAcquireResult result;
    if (!m_session || !m_session->IsOpen()) {
        result.scan = {TKvScanOutcome::OpenFailed, SANE_STATUS_INVAL};
        emit Acquired(result);
        return;
    }
    TKvSaneImageAssembler image;
    try {
        result.scan = RunSaneScan(deviceName, image, m_cancelRequested,
                                  [this](int percent) { emit Progress(percent); });
    } catch (const std::bad_alloc&) {
        result.scan = {TKvScanOutcome::TransferFailed, SANE_STATUS_NO_MEM};
    } catch (const std::length_error&) {
        result.scan = {TKvScanOutcome::TransferFailed, SANE_STATUS_NO_MEM};
    }
    if (result.scan.outcome == TKvScanOutcome::Done && !m_cancelRequested) {
        result.transferFile = WriteTransferFile(image.Image(), transferFolder);
        result.writeFailed = result.transferFile.isEmpty();
    }
    if (m_cancelRequested && !result.transferFile.isEmpty()) {
        QFile::remove(result.transferFile);
        result.transferFile.clear();
    }
    if (m_cancelRequested && result.scan.outcome == TKvScanOutcome::Done)
        result.scan.outcome = TKvScanOutcome::Cancelled;
    emit Acquired(result);
}
