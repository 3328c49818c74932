#include "KvPluginMode.h"

#include "KvGraphicsEditor.h"
#include "KvLocalizer.h"

#include <QDir>
#include <QFontInfo>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

void TKvPluginMode::Enter()
{
    TKvGraphicsEditor& editor = m_editor;
    IKvShell* shell = editor.Shell();
    KvApplication->SetTitle(KvApplication->Title() + QStringLiteral(" Plug-in"));
    editor.PrevImageButton->setVisible(false);
    editor.NextImageButton->setVisible(false);
    shell->Items().FileMenuItem->menuAction()->setVisible(false);
    QToolBar* toolbar = editor.StandardToolbar;
    shell->AddSeparator(toolbar);
    const int h = std::abs(QFontInfo(editor.MainWindow()->font()).pixelSize());
    const auto addButton = [&](qint32 caption, void (TKvGraphicsEditor::*handler)(QObject*), QAction*& button,
                               const char* name) {
        shell->AddToolButton(toolbar, nullptr, nullptr, LocalStr(caption), -1, TKvMethod(&editor, handler), button);
        button->setObjectName(QLatin1String(name));
        // Wide buttons with their caption, not icons.
        if (auto* widget = qobject_cast<QToolButton*>(toolbar->widgetForAction(button))) {
            widget->setToolButtonStyle(Qt::ToolButtonTextOnly);
            widget->setMinimumWidth(6 * h);
        }
    };
    addButton(1, &TKvGraphicsEditor::OkClick, editor.OkButton, "OkButton");
    addButton(2, &TKvGraphicsEditor::CancelClick, editor.CancelButton, "CancelButton");
}

bool TKvPluginMode::Save(TKvDocument* document)
{
    if (document->Save()) {
        KvApplication->SetExitCode(0);
        return true;
    }
    KvApplication->MessageBox(LocalFormat(1031, {QDir::toNativeSeparators(document->FileName())}), 16);
    return false;
}

void TKvPluginMode::Ok()
{
    if (TKvGraphicsDocument* document = m_editor.ActiveGraphicsDocument()) {
        // The host gets what the user sees: an open adjustment is settled
        // before the lock of running work is dropped.
        document->CommitOrCancelOpenChanges();
        document->Unlock();
        if (document->CanSave() && !Save(document))
            return;
    }
    m_editor.MainWindow()->close();
}

void TKvPluginMode::Cancel()
{
    if (TKvGraphicsDocument* document = m_editor.ActiveGraphicsDocument()) {
        document->Unlock();
        document->MarkSaved();
    }
    m_editor.MainWindow()->close();
}
