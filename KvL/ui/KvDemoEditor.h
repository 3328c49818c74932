// The demo editor module: the authoring tool for demonstration scripts,
// built into the program but hidden from ordinary users. It adds an
// invisible item to the File menu, reached only through Ctrl+Shift+D (the
// demonstration module's shortcut asks for it), which shows the demo
// editor's window, created on first use and kept until the program ends.
#pragma once

#include "KvDemoEditorForm.h"
#include "KvModule.h"

#include <QPointer>

class IKvShell;
class QAction;
class TKvDemonstrationModule;

class TKvDemoEditorModule : public TKvModuleWithControls {
    Q_OBJECT
public:
    TKvDemoEditorModule(IKvShell* shell, TKvDemonstrationModule* demonstrations);
    ~TKvDemoEditorModule() override;

    // The invisible File menu item "Demo".
    QAction* DemoEditorMenuItem = nullptr;

    // Creates the editor's window on first use and shows it (not modally).
    void CmDemoEditor();
    // The window; none before the first use.
    TKvDemoEditorForm* EditorForm() const { return m_form; }

private:
    IKvShell* m_shell;
    TKvDemonstrationModule* m_demonstrations;
    QPointer<TKvDemoEditorForm> m_form;
};
