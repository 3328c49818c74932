#include "KvSystemInfo.h"

#include <QSysInfo>

TKvSystemVersion ReadSystemVersion()
{
    return {QSysInfo::prettyProductName(), QSysInfo::productType(),    QSysInfo::productVersion(),
            QSysInfo::kernelType(),        QSysInfo::kernelVersion(), QSysInfo::currentCpuArchitecture()};
}

TKvSystemInfoModule::TKvSystemInfoModule() : m_version(ReadSystemVersion()) {}
