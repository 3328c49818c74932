#include "KvEditor.h"

#include "KvDialogs.h"
#include "KvForms.h"
#include "KvLocalizer.h"
#include "KvSDF.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QMenu>
#include <QToolBar>
#include <QVBoxLayout>
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
    // What is written is what the saved state stands for: a change still
    // open becomes part of the history first.
    CommitOrCancelOpenChanges();
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
    CommitOrCancelOpenChanges();
    BeforeClose();
    bool mayClose = m_noSavePrompt || Saved();
    if (!mayClose && m_editor) {
        switch (m_editor->AskSaveChanges(DisplayName())) {
        case idYes:
            mayClose = m_editor->SaveDocumentAs(this);
            break;
        case idNo:
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

// ---------------------------------------------------------------------------
// Editor module

const QUuid TKvEditor::SettingsGuid{QStringLiteral("{C0F4C248-34D7-4014-8116-24BEE9AB5C30}")};

TKvEditor::TKvEditor(const TKvShellMaker& makeShell)
{
    setObjectName(QStringLiteral("Editor"));
    m_shell = makeShell();
    m_window = m_shell->Window();
    MergeIntoMainForm();
    KvApplication->OnTitleChange = TKvMethod(this, &TKvEditor::UpdateCaption);
    m_window->OnCloseQuery = [this](QObject* sender, bool& canClose) { MainFormCloseQuery(sender, canClose); };
    UpdateCaption();
}

TKvEditor::~TKvEditor()
{
    if (KvApplication && KvApplication->OnTitleChange == TKvMethod(this, &TKvEditor::UpdateCaption))
        KvApplication->OnTitleChange = TKvMethod();
    if (m_window)
        m_window->OnCloseQuery = nullptr;
    // Last first, as they were opened.
    while (!m_documents.empty())
        m_documents.pop_back();
}

namespace {

QAction* Named(QAction* item, const char* name)
{
    item->setObjectName(QLatin1String(name));
    return item;
}

QString WithEllipsis(const QString& caption)
{
    return caption + QStringLiteral("...");
}

} // namespace

IKvShell* TKvEditor::Shell() const
{
    return m_window ? m_shell : nullptr;
}

TKvFormOf<QMainWindow>* TKvEditor::MainWindow() const
{
    return m_window;
}

void TKvEditor::MergeIntoMainForm()
{
    IKvShell* shell = m_shell;
    const TKvShellItems main = shell->Items();
    QMenu* file = main.FileMenuItem;
    QAction* fileSeparator = main.FileMenuSeparator;
    OpenMenuItem = Named(shell->AddMenuItem(WithEllipsis(LocalStr(12)), QKeySequence(Qt::CTRL | Qt::Key_O),
                                            TKvMethod(this, &TKvEditor::OpenClick), 1, file, fileSeparator),
                         "OpenMenuItem");
    SaveMenuItem = Named(shell->AddMenuItem(LocalStr(15), QKeySequence(), TKvMethod(this, &TKvEditor::SaveAsClick),
                                            2, file, fileSeparator),
                         "SaveMenuItem");
    SaveMenuItem->setVisible(false);
    SaveAsMenuItem = Named(shell->AddMenuItem(WithEllipsis(LocalStr(16)), QKeySequence(Qt::CTRL | Qt::Key_S),
                                              TKvMethod(this, &TKvEditor::SaveAsClick), 2, file, fileSeparator),
                           "SaveAsMenuItem");
    CloseMenuItem = Named(shell->AddMenuItem(LocalStr(13), QKeySequence(), TKvMethod(this, &TKvEditor::CloseClick),
                                             -1, file, fileSeparator),
                          "CloseMenuItem");
    RecentFilesMenuSeparator = Named(shell->AddSeparator(file, main.ExitMenuItem), "RecentFilesMenuSeparator");

    StandardToolbar = shell->AddToolbar(LocalStr(162));
    StandardToolbar->setObjectName(QStringLiteral("StandardToolbar"));
    shell->AddToolButton(StandardToolbar, nullptr, nullptr, LocalStr(12), 1, TKvMethod(this, &TKvEditor::OpenClick),
                         OpenToolButton);
    Named(OpenToolButton, "OpenToolButton");
    shell->AddToolButton(StandardToolbar, nullptr, nullptr, LocalStr(16), 2,
                         TKvMethod(this, &TKvEditor::SaveAsClick), SaveToolButton);
    Named(SaveToolButton, "SaveToolButton");

    View = m_window->centralWidget();
    View->setObjectName(QStringLiteral("View"));
    EditMenuItem = shell->AddSubmenu(LocalStr(24), nullptr, main.ViewMenuItem->menuAction());
    EditMenuItem->setObjectName(QStringLiteral("EditMenuItem"));
    UndoMenuItem = Named(shell->AddMenuItem(LocalStr(25), QKeySequence(Qt::CTRL | Qt::Key_Z),
                                            TKvMethod(this, &TKvEditor::UndoClick), 8, EditMenuItem),
                         "UndoMenuItem");
    UndoAllMenuItem = Named(shell->AddMenuItem(LocalStr(168), QKeySequence(),
                                               TKvMethod(this, &TKvEditor::UndoAllClick), -1, EditMenuItem),
                            "UndoAllMenuItem");
    RedoMenuItem = Named(shell->AddMenuItem(LocalStr(26), QKeySequence(Qt::CTRL | Qt::Key_Y),
                                            TKvMethod(this, &TKvEditor::RedoClick), 9, EditMenuItem),
                         "RedoMenuItem");
    RedoAllMenuItem = Named(shell->AddMenuItem(LocalStr(169), QKeySequence(),
                                               TKvMethod(this, &TKvEditor::RedoAllClick), -1, EditMenuItem),
                            "RedoAllMenuItem");
    EditToolbarSeparator = Named(shell->AddSeparator(StandardToolbar), "EditToolbarSeparator");
    shell->AddToolButton(StandardToolbar, nullptr, nullptr, LocalStr(25), 8, TKvMethod(this, &TKvEditor::UndoClick),
                         UndoToolButton);
    Named(UndoToolButton, "UndoToolButton");
    shell->AddToolButton(StandardToolbar, nullptr, nullptr, LocalStr(26), 9, TKvMethod(this, &TKvEditor::RedoClick),
                         RedoToolButton);
    Named(RedoToolButton, "RedoToolButton");
}

void TKvEditor::Localize()
{
    OpenMenuItem->setText(PlainCaption(WithEllipsis(LocalStr(12))));
    SaveMenuItem->setText(PlainCaption(LocalStr(15)));
    SaveAsMenuItem->setText(PlainCaption(WithEllipsis(LocalStr(16))));
    CloseMenuItem->setText(PlainCaption(LocalStr(13)));
    StandardToolbar->setWindowTitle(LocalStr(162));
    EditMenuItem->setTitle(PlainCaption(LocalStr(24)));
    UndoMenuItem->setText(PlainCaption(LocalStr(25)));
    UndoAllMenuItem->setText(PlainCaption(LocalStr(168)));
    RedoMenuItem->setText(PlainCaption(LocalStr(26)));
    RedoAllMenuItem->setText(PlainCaption(LocalStr(169)));
    const std::pair<QAction*, QString> hints[] = {
        {OpenToolButton, LocalStr(12)}, {SaveToolButton, LocalStr(16)},
        {UndoToolButton, LocalStr(25)}, {RedoToolButton, LocalStr(26)}};
    for (const auto& [button, hint] : hints) {
        button->setText(PlainCaption(hint));
        button->setToolTip(hint);
    }
    UpdateCaption();
}

void TKvEditor::UpdateControls()
{
    const TKvDocument* document = ActiveDocument();
    SaveMenuItem->setEnabled(document && !document->Saved());
    SaveAsMenuItem->setEnabled(document != nullptr);
    SaveToolButton->setEnabled(document != nullptr);
    CloseMenuItem->setEnabled(document != nullptr);
    const bool canUndo = CanUndo();
    const bool canRedo = CanRedo();
    UndoMenuItem->setEnabled(canUndo);
    UndoAllMenuItem->setEnabled(canUndo);
    UndoToolButton->setEnabled(canUndo);
    RedoMenuItem->setEnabled(canRedo);
    RedoAllMenuItem->setEnabled(canRedo);
    RedoToolButton->setEnabled(canRedo);
}

// ---------------------------------------------------------------------------
// Settings: node (1, GUID) > node (1, n) > n wide strings, id 1 the most recent.

void TKvEditor::SaveSettings(TKvSDFWriter& writer)
{
    writer.BeginNode(1, SettingsGuid);
    writer.BeginNode(1, static_cast<qint32>(m_recentFiles.size()));
    for (qsizetype i = 0; i < m_recentFiles.size(); ++i)
        writer.WriteWideString(static_cast<quint32>(i + 1), m_recentFiles[i]);
    writer.EndNode();
    writer.EndNode();
}

void TKvEditor::LoadSettings(TKvSDFReader& reader)
{
    if (!reader.EnterNode(1, SettingsGuid))
        return;
    if (reader.EnterNode(1)) {
        qint32 count = 0;
        reader.ReadInteger(0, count);
        // No stream holds more elements than the reader keeps; a damaged
        // count must not make this loop long.
        for (qint32 id = qMin(count, qint32(TKvSDFReader::MaxItems)); id >= 1; --id) {
            QString path;
            if (reader.ReadWideString(static_cast<quint32>(id), path) && !path.isEmpty())
                AddRecentFile(path);
        }
        reader.LeaveNode();
    }
    reader.LeaveNode();
}

void TKvEditor::Start()
{
    if (!CommandLineFile)
        OpenCommandLineFile(QCoreApplication::arguments());
    else if (!CommandLineFile->isEmpty())
        OpenCommandLineFile({QCoreApplication::applicationFilePath(), *CommandLineFile});
}

void TKvEditor::OpenCommandLineFile(const QStringList& arguments)
{
    if (arguments.size() < 2 || !QFileInfo(arguments[1]).isFile())
        return;
    TKvDocument* document = nullptr;
    OpenFile(arguments[1], document, true);
}

// ---------------------------------------------------------------------------
// Documents

TKvDocument* TKvEditor::ActiveDocument() const
{
    return m_documents.empty() ? nullptr : m_documents.back().get();
}

void TKvEditor::ActivateDocument(TKvDocument* document)
{
    const auto found = std::find_if(m_documents.begin(), m_documents.end(),
                                    [document](const auto& owned) { return owned.get() == document; });
    if (found != m_documents.end())
        std::rotate(found, found + 1, m_documents.end());
    UpdateCaption();
}

void TKvEditor::UpdateCaption()
{
    if (!m_window)
        return;
    const QString title = KvApplication ? KvApplication->Title() : QString();
    const TKvDocument* document = ActiveDocument();
    m_window->setWindowTitle(document ? document->DisplayName() + QStringLiteral(" - ") + title : title);
}

void TKvEditor::RemoveDocument(TKvDocument* document)
{
    std::erase_if(m_documents, [document](const auto& owned) { return owned.get() == document; });
}

TKvCommandHistoryList* TKvEditor::History()
{
    TKvDocument* document = ActiveDocument();
    return document ? &document->History() : nullptr;
}

bool TKvEditor::ShowDocument(TKvDocument* document, QWidget*& view)
{
    if (!document)
        return false;
    view = document->GetView();
    if (view && View) {
        if (!View->layout()) {
            auto* fill = new QVBoxLayout(View);
            fill->setContentsMargins(0, 0, 0, 0);
        }
        View->layout()->addWidget(view);
        view->show();
    }
    return true;
}

bool TKvEditor::MayReplaceDocument()
{
    TKvDocument* active = ActiveDocument();
    return !active || active->CloseQuery();
}

bool TKvEditor::OpenFile(const QString& fileName, TKvDocument*& document, bool addToRecent)
{
    document = nullptr;
    if (!MayReplaceDocument())
        return false;
    std::unique_ptr<TKvDocument> created = CreateDocument();
    QWidget* view = nullptr;
    if (!created->LoadFromFile(fileName) || !ShowDocument(created.get(), view)) {
        created.reset();
        KvApplication->MessageBox(LocalFormat(1030, {QDir::toNativeSeparators(fileName)}), 16);
        return false;
    }
    document = created.get();
    m_documents.push_back(std::move(created));
    ActivateDocument(document);
    document->AfterOpen();
    if (addToRecent)
        AddRecentDocument(document);
    return true;
}

bool TKvEditor::NewDocument(TKvDocument*& document)
{
    document = nullptr;
    if (!MayReplaceDocument())
        return false;
    std::unique_ptr<TKvDocument> created = CreateDocument();
    QWidget* view = nullptr;
    if (!ShowDocument(created.get(), view))
        return false;
    document = created.get();
    m_documents.push_back(std::move(created));
    ActivateDocument(document);
    return true;
}

bool TKvEditor::OpenDialog()
{
    TKvOpenDialog dialog(m_window, *Formats());
    // Start where the user last opened a file.
    if (!m_recentFiles.isEmpty())
        dialog.setDirectory(QFileInfo(m_recentFiles.first()).absolutePath());
    const bool confirmed = dialog.Execute();
    QCoreApplication::processEvents();
    if (!confirmed)
        return false;
    TKvDocument* document = nullptr;
    return OpenFile(dialog.FileName(), document, true);
}

QString WithFormatExtension(const QString& fileName, const TKvFileFormatInfo& format)
{
    const QString name = QFileInfo(fileName).fileName();
    const qsizetype dot = name.lastIndexOf(QLatin1Char('.'));
    const QString extension = dot < 0 ? QString() : name.mid(dot);
    if (extension.compare(format.DefaultExtension, Qt::CaseInsensitive) == 0)
        return fileName;
    for (const QString& pattern : format.Patterns.split(QLatin1Char(';'), Qt::SkipEmptyParts))
        if (!extension.isEmpty() && pattern.compare(QLatin1Char('*') + extension, Qt::CaseInsensitive) == 0)
            return fileName;
    return fileName + format.DefaultExtension;
}

bool TKvEditor::SaveDocumentAs(TKvDocument* document)
{
    if (!document || !document->CanSave())
        return false;
    TKvFileFormatList formats;
    Formats()->SaveFormats(formats);
    if (formats.empty())
        return false;

    TKvSaveDialog dialog(m_window, *Formats());
    if (!document->FileName().isEmpty()) {
        const QFileInfo file(document->FileName());
        dialog.SetFileName(QDir(file.absolutePath()).filePath(file.completeBaseName()));
    }
    dialog.SetFilterIndex(FindFormat(formats, document->FormatKey()) + 1);
    const bool confirmed = dialog.Execute();
    QCoreApplication::processEvents();
    if (!confirmed)
        return false;

    const int chosen = qBound(0, dialog.FilterIndex() - 1, static_cast<int>(formats.size()) - 1);
    const TKvFileFormatInfo& format = formats[static_cast<size_t>(chosen)];
    const QString fileName = WithFormatExtension(dialog.FileName(), format);
    if (QFileInfo::exists(fileName) && AskOverwrite(fileName) != idYes)
        return false;
    return SaveDocumentUnder(document, fileName, format.Key);
}

bool TKvEditor::SaveDocumentUnder(TKvDocument* document, const QString& fileName, qint32 formatKey)
{
    m_saveCancelled = false;
    if (document->SaveToFile(fileName, formatKey))
        return true;
    if (!m_saveCancelled)
        KvApplication->MessageBox(LocalFormat(1031, {QDir::toNativeSeparators(fileName)}), 16);
    return false;
}

int TKvEditor::AskSaveChanges(const QString& name)
{
    return KvApplication->MessageBox(LocalFormat(94, {name}), 51);
}

int TKvEditor::AskOverwrite(const QString& fileName)
{
    return KvApplication->MessageBox(LocalFormat(164, {QDir::toNativeSeparators(fileName)}), 52);
}

void TKvEditor::MainFormCloseQuery(QObject*, bool& canClose)
{
    // Each successful close frees its document and takes it off the list.
    while (TKvDocument* document = ActiveDocument()) {
        canClose = document->CloseQuery();
        if (!canClose)
            return;
    }
}

// ---------------------------------------------------------------------------
// Recent files

void TKvEditor::AddRecentDocument(TKvDocument* document)
{
    AddRecentFile(document->FileName());
}

void TKvEditor::AddRecentFile(const QString& path)
{
    // File names differ by case on this platform's file systems.
    const qsizetype present = m_recentFiles.indexOf(path);
    if (present >= 0)
        m_recentFiles.move(present, 0);
    else {
        m_recentFiles.prepend(path);
        while (m_recentFiles.size() > qMax(MaxRecentFiles, 0))
            m_recentFiles.removeLast();
    }

    // Items are made as the list grows and never removed (the list never
    // shrinks); new ones go right after the File-menu separator.
    const TKvShellItems main = m_shell->Items();
    QMenu* file = main.FileMenuItem;
    for (qsizetype missing = m_recentFiles.size() - qsizetype(RecentFileItems().size()); missing > 0; --missing) {
        const QList<QAction*> items = file->actions();
        const qsizetype separator = items.indexOf(main.FileMenuSeparator);
        m_shell->AddMenuItem(QString(), QKeySequence(), TKvMethod(this, &TKvEditor::RecentFileClick), -1, file,
                           items.value(separator + 1));
    }
    const std::vector<QAction*> items = RecentFileItems();
    for (qsizetype i = 0; i < m_recentFiles.size() && i < qsizetype(items.size()); ++i) {
        QAction* item = items[size_t(i)];
        item->setText(QLatin1Char('&') + QString::number(i + 1) + QLatin1Char(' ')
                      + PlainCaption(QDir::toNativeSeparators(m_recentFiles[i])));
        item->setData(m_recentFiles[i]);
    }
}

std::vector<QAction*> TKvEditor::RecentFileItems() const
{
    const TKvShellItems main = m_shell->Items();
    const QList<QAction*> items = main.FileMenuItem->actions();
    const qsizetype first = items.indexOf(main.FileMenuSeparator) + 1;
    const qsizetype end = items.indexOf(RecentFilesMenuSeparator);
    if (first <= 0 || end < first)
        return {};
    return {items.begin() + first, items.begin() + end};
}

void TKvEditor::RecentFileClick(QObject* sender)
{
    const auto* item = qobject_cast<QAction*>(sender);
    if (!item || item->data().toString().isEmpty())
        return;
    TKvDocument* document = nullptr;
    OpenFile(item->data().toString(), document, true);
}

// ---------------------------------------------------------------------------
// Undo and redo

bool TKvEditor::CanUndo()
{
    const TKvCommandHistoryList* history = History();
    return history && history->CanUndo();
}

bool TKvEditor::CanRedo()
{
    const TKvCommandHistoryList* history = History();
    return history && history->CanRedo();
}

void TKvEditor::Undo()
{
    if (TKvDocument* document = ActiveDocument())
        document->CommitOrCancelOpenChanges();
    if (TKvCommandHistoryList* history = History(); history && history->CanUndo())
        history->Undo();
}

void TKvEditor::Redo()
{
    if (TKvDocument* document = ActiveDocument())
        document->CommitOrCancelOpenChanges();
    if (TKvCommandHistoryList* history = History(); history && history->CanRedo())
        history->Redo();
}

// Whether the document counts as saved afterwards follows from where its
// history stands (TKvDocument::Saved).
void TKvEditor::UndoClick(QObject*)
{
    if (!CanUndo())
        return;
    RecordCommand(QStringLiteral("Undo"));
    Undo();
}

void TKvEditor::UndoAllClick(QObject*)
{
    while (CanUndo())
        Undo();
}

void TKvEditor::RedoClick(QObject*)
{
    if (!CanRedo())
        return;
    RecordCommand(QStringLiteral("Redo"));
    Redo();
}

void TKvEditor::RedoAllClick(QObject*)
{
    while (CanRedo())
        Redo();
}

// ---------------------------------------------------------------------------
// Commands

void TKvEditor::OpenClick(QObject*)
{
    if (!m_pluginMode)
        OpenDialog();
}

void TKvEditor::SaveClick(QObject* sender)
{
    SaveAsClick(sender);
}

void TKvEditor::SaveAsClick(QObject*)
{
    if (!m_pluginMode)
        SaveDocumentAs(ActiveDocument());
}

void TKvEditor::CloseClick(QObject*)
{
    if (TKvDocument* document = ActiveDocument())
        document->CloseQuery();
}

void TKvEditor::SetPluginMode(bool on)
{
    if (!on || m_pluginMode)
        return;
    OpenToolButton->setVisible(false);
    SaveToolButton->setVisible(false);
    EditToolbarSeparator->setVisible(false);
    m_pluginMode = true;
    KvApplication->SetExitCode(-1);
}

// ---------------------------------------------------------------------------
// Demonstration scripts

void TKvEditor::ExecuteScriptCommand(const QString& command, bool& handled, const TKvCustomProperties&)
{
    if (command == QStringLiteral("UNDO")) {
        UndoClick(UndoToolButton);
        handled = true;
    } else if (command == QStringLiteral("REDO")) {
        RedoClick(RedoToolButton);
        handled = true;
    }
}

void TKvEditor::GetScriptTarget(const TKvCustomProperties& parameters, bool& found, QPoint& screenPoint)
{
    const QString name = ScriptParamText(parameters, 0).toUpper();
    QAction* button = name == QStringLiteral("UNDO")   ? UndoToolButton
                      : name == QStringLiteral("REDO") ? RedoToolButton
                                                       : nullptr;
    QWidget* widget = button ? StandardToolbar->widgetForAction(button) : nullptr;
    if (!widget)
        return;
    screenPoint = widget->mapToGlobal(widget->rect().center());
    found = true;
}

void TKvEditor::StartRecording(IKvScriptRecorder* recorder)
{
    m_recorder = recorder;
}

void TKvEditor::StopRecording()
{
    m_recorder = nullptr;
}

void TKvEditor::RecordCommand(const QString& name)
{
    if (!m_recorder)
        return;
    m_recorder->RecordLine(QStringLiteral("MouseCurvedMove ") + name);
    if (m_recorder->RecordMessages())
        m_recorder->RecordLine(QStringLiteral("Message \"") + name + QLatin1Char('"'));
    m_recorder->RecordLine(name);
}
