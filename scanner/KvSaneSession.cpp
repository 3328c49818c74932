#include "KvSaneSession.h"

#include <sane/sane.h>

#include <atomic>

namespace {

std::atomic<bool> sessionTaken{false};

QString DisplayName(const SANE_Device& device)
{
    const QString vendor = QString::fromUtf8(device.vendor ? device.vendor : "").trimmed();
    const QString model = QString::fromUtf8(device.model ? device.model : "").trimmed();
    const QString name = QString::fromUtf8(device.name);
    // Two scanners of one model are told apart by their device names.
    const QString product = QStringList{vendor, model}.join(QLatin1Char(' ')).trimmed();
    return product.isEmpty() ? name : product + QLatin1String(" (") + name + QLatin1Char(')');
}

} // namespace

TKvSaneSession::TKvSaneSession()
{
    if (sessionTaken.exchange(true))
        return;
    SANE_Int version = 0;
    m_open = sane_init(&version, nullptr) == SANE_STATUS_GOOD;
    if (!m_open)
        sessionTaken = false;
}

TKvSaneSession::~TKvSaneSession()
{
    if (!m_open)
        return;
    sane_exit();
    sessionTaken = false;
}

QList<TKvScannerSource> TKvSaneSession::Sources() const
{
    QList<TKvScannerSource> sources;
    const SANE_Device** devices = nullptr;
    if (!m_open || sane_get_devices(&devices, SANE_FALSE) != SANE_STATUS_GOOD || !devices)
        return sources;
    for (const SANE_Device** device = devices; *device; ++device)
        sources.append({QByteArray((*device)->name), DisplayName(**device)});
    return sources;
}
