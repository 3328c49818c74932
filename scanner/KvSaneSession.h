#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// One scanner as the scanner library names it.
struct TKvScannerSource {
    QByteArray deviceName;  // the library's unique name, used to open it
    QString displayName;    // what the user sees: vendor, model and device name
};

// Holds the process's scanner library session, from initialisation to exit,
// and lists the scanners it finds. The library allows one session per
// process: a second one stays closed while the first lives.
class TKvSaneSession
{
public:
    TKvSaneSession();
    ~TKvSaneSession();
    TKvSaneSession(const TKvSaneSession&) = delete;
    TKvSaneSession& operator=(const TKvSaneSession&) = delete;

    bool IsOpen() const { return m_open; }

    // The scanners attached now, local and on the network; none when closed.
    QList<TKvScannerSource> Sources() const;

private:
    bool m_open = false;
};
