#include "KvModule.h"

#include "KvLocalizer.h"

TKvModule::TKvModule() = default;

TKvModule::~TKvModule()
{
    RemoveLocalizeHandler(TKvMethod(this, &TKvModule::Localize));
}

void TKvModule::Initialize()
{
    AddLocalizeHandler(TKvMethod(this, &TKvModule::Localize), this);
}

TKvModuleWithControls::~TKvModuleWithControls()
{
    if (KvApplication)
        KvApplication->RemoveIdleHandler(TKvMethod(this, &TKvModuleWithControls::UpdateControls));
}

void TKvModuleWithControls::Initialize()
{
    TKvModule::Initialize();
    if (KvApplication)
        KvApplication->AddIdleHandler(TKvMethod(this, &TKvModuleWithControls::UpdateControls), this);
}
