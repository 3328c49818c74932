// What the program knows of the system it runs on, read once at start for
// the modules that ask: the operating system's name and version and the
// kernel's (the about box shows them).
#pragma once

#include "KvModule.h"

#include <QString>

struct TKvSystemVersion {
    QString ProductName;    // "Debian GNU/Linux 12 (bookworm)"
    QString ProductType;    // "debian"
    QString ProductVersion; // "12"
    QString KernelType;     // "linux"
    QString KernelVersion;
    QString Architecture;   // "x86_64"
};

class TKvSystemInfoModule : public TKvModule {
    Q_OBJECT
public:
    // Reads the version once, so that modules created after this one can
    // ask for it while the program is assembled.
    TKvSystemInfoModule();

    const TKvSystemVersion& Version() const { return m_version; }

private:
    TKvSystemVersion m_version;
};

// The system's version read now, for code that runs without the module.
TKvSystemVersion ReadSystemVersion();
