#include "KvEditor.h"

#include "KvLocalizer.h"

#include <QFileInfo>
#include <QWidget>

#include <algorithm>

TKvDocument::TKvDocument(IKvDocumentEditor* editor) : m_editor(editor) {}

TKvDocument::~TKvDocument() { DestroyView(); }

QWidget* TKvDocument::GetView()
{
    if (!m_view)
        m_view = CreateView();
    return m_view.data();
}

QWidget* TKvDocument::ExistingView() const { return m_view.data(); }

void TKvDocument::DestroyView()
{
    // The view may have been handed to a parent widget, which then frees it
    // first; QPointer knows.
    QWidget* view = m_view.data();
    m_view = nullptr;
    delete view;
}

void TKvDocument::AddListener(IKvDocumentListener* listener)
{
    if (listener && std::find(m_listeners.begin(), m_listeners.end(), listener) == m_listeners.end())
        m_listeners.push_back(listener);
}

void TKvDocument::RemoveListener(IKvDocumentListener* listener)
{
    std::erase(m_listeners, listener);
}

void TKvDocument::NotifyChanged()
{
    // A copy: a listener may remove itself while it is told.
    const std::vector<IKvDocumentListener*> listeners = m_listeners;
    for (auto it = listeners.rbegin(); it != listeners.rend(); ++it)
        (*it)->DocumentChanged(this);
    m_changedOutsideHistory = true;
}

void TKvDocument::NotifyClosed()
{
    const std::vector<IKvDocumentListener*> listeners = m_listeners;
    for (auto it = listeners.rbegin(); it != listeners.rend(); ++it)
        (*it)->DocumentClosed(this);
}

bool TKvDocument::LoadFromFile(const QString& fileName)
{
    TKvDocumentFormats* formats = m_editor ? m_editor->Formats() : nullptr;
    if (!formats)
        return false;
    qint32 key = m_formatKey;
    if (!formats->LoadDocument(this, fileName, key))
        return false;
    m_formatKey = key;
    m_fileName = fileName;
    NotifyChanged();
    MarkSaved();
    return true;
}

bool TKvDocument::SaveToFile(const QString& fileName, qint32 formatKey)
{
    TKvDocumentFormats* formats = m_editor ? m_editor->Formats() : nullptr;
    if (!formats || !formats->SaveDocument(this, fileName, formatKey))
        return false;
    m_fileName = fileName;
    m_formatKey = formatKey;
    MarkSaved();
    m_editor->UpdateCaption();
    return true;
}

bool TKvDocument::CanSave() const
{
    const TKvDocumentFormats* formats = m_editor ? m_editor->Formats() : nullptr;
    return formats && formats->CanSaveFormat(m_formatKey);
}

bool TKvDocument::Save()
{
    return !m_fileName.isEmpty() && SaveToFile(m_fileName, m_formatKey);
}

bool TKvDocument::CloseQuery()
{
    BeforeClose();
    bool mayClose = m_noSavePrompt || Saved();
    if (!mayClose && m_editor) {
        switch (m_editor->AskSaveChanges(DisplayName())) {
        case DocumentAnswerYes:
            mayClose = m_editor->SaveDocumentAs(this);
            break;
        case DocumentAnswerNo:
            mayClose = true;
            break;
        default:
            break;
        }
    }
    if (!mayClose)
        return false;
    NotifyClosed();
    // RemoveDocument frees this document: nothing of it is touched after.
    if (IKvDocumentEditor* editor = m_editor) {
        editor->RemoveDocument(this);
        editor->UpdateCaption();
    }
    return true;
}

bool TKvDocument::Saved() const
{
    return !m_fileName.isEmpty() && !m_changedOutsideHistory && m_history.IsClean();
}

void TKvDocument::MarkSaved()
{
    m_changedOutsideHistory = false;
    m_history.MarkClean();
}

QString TKvDocument::DisplayName() const
{
    return m_fileName.isEmpty() ? LocalStr(74, QStringLiteral("Untitled")) : QFileInfo(m_fileName).fileName();
}
