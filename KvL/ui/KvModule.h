// Modules: the non-visual components, owned by the application object, of
// which the program is assembled. Each owns one feature and adds its menu
// items, toolbar buttons and panels to the main form through the main
// form's merge operations, keeping every item it created in a field of its
// own; Localize captions them again from their string ids, and a module
// with controls sets their enabled and checked states in UpdateControls.
// Modules are created with KvApplication->CreateComponent.
#pragma once

#include "KvForms.h"

#include <QObject>

class TKvModule : public QObject, public IKvAppComponent {
    Q_OBJECT
public:
    TKvModule();
    ~TKvModule() override;

    // Re-captions every item the module created.
    virtual void Localize() {}
    void LoadSettings(TKvSDFReader&) override {}
    void SaveSettings(TKvSDFWriter&) override {}
    // Registers Localize with the localizer, which calls it once at once.
    void Initialize() override;
    // Runs once after every component was initialised.
    void Start() override {}
};

class TKvModuleWithControls : public TKvModule {
    Q_OBJECT
public:
    ~TKvModuleWithControls() override;

    // Idle-time update of the module's items: enabled, checked, visible.
    virtual void UpdateControls() {}
    // Registers Localize, then UpdateControls as an idle handler.
    void Initialize() override;
};
