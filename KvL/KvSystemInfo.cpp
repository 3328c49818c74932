#include "KvSystemInfo.h"

#include <QSysInfo>

TKvSystemInfoModule* SystemInfoModule = nullptr;

TKvSystemVersion ReadSystemVersion()
{
    return {QSysInfo::prettyProductName(), QSysInfo::productType(),    QSysInfo::productVersion(),
            QSysInfo::kernelType(),        QSysInfo::kernelVersion(), QSysInfo::currentCpuArchitecture()};
}

TKvSystemInfoModule::TKvSystemInfoModule()
{
    SystemInfoModule = this;
}

TKvSystemInfoModule::~TKvSystemInfoModule()
{
    if (SystemInfoModule == this)
        SystemInfoModule = nullptr;
}

void TKvSystemInfoModule::Initialize()
{
    m_version = ReadSystemVersion();
    TKvModule::Initialize();
}
