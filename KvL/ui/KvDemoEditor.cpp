#include "KvDemoEditor.h"

#include "KvDemoEditorForm.h"
#include "KvDemonstration.h"
#include "KvShell.h"

#include <QAction>
#include <QKeySequence>
#include <QMenu>

TKvDemoEditorModule::TKvDemoEditorModule(IKvShell* shell, TKvDemonstrationModule* demonstrations)
    : m_shell(shell), m_demonstrations(demonstrations)
{
    setObjectName(QStringLiteral("DemoEditorModule"));
    if (shell) {
        const TKvShellItems items = shell->Items();
        DemoEditorMenuItem = shell->AddMenuItem(QStringLiteral("Demo"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_D),
                                                TKvMethod(this, &TKvDemoEditorModule::CmDemoEditor), -1,
                                                items.FileMenuItem, items.FileMenuSeparator);
        DemoEditorMenuItem->setObjectName(QStringLiteral("DemoEditorMenuItem"));
        DemoEditorMenuItem->setVisible(false);
    }
    // A hidden item's shortcut does not fire; the demonstration module's
    // shortcut of the whole program does.
    if (demonstrations)
        connect(demonstrations, &TKvDemonstrationModule::DemoEditorRequested, this, &TKvDemoEditorModule::CmDemoEditor);
}

TKvDemoEditorModule::~TKvDemoEditorModule()
{
    delete m_form.data();
}

void TKvDemoEditorModule::CmDemoEditor()
{
    if (!m_demonstrations)
        return;
    if (!m_form)
        m_form = NewInitialized<TKvDemoEditorForm>(*m_demonstrations, m_shell ? m_shell->Window() : nullptr);
    m_form->show();
    m_form->raise();
    m_form->activateWindow();
}
