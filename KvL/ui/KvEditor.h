// Generic documents and the editor module that owns them.
//
// A document knows its file, its format, whether its file holds it as it
// stands, its listeners and its undo history, and loads and saves itself
// through the format registry of the editor that owns it. Documents know
// nothing about what they hold; the graphics document derives from
// TKvDocument and fills in the view.
//
// The editor (TKvEditor) owns the open document and offers the File and
// Edit commands: open, save as, close, recent files, undo, redo, undo all,
// redo all; it keeps the main window's title and answers its close query.
// It knows nothing about pictures either: the graphics editor derives from
// it and supplies the document class, the formats and the view.
#pragma once

#include "KvCommandHistory.h"
#include "KvFileFormats.h"
#include "KvModule.h"
#include "KvScriptClient.h"
#include "KvShell.h"

#include <QPointer>
#include <QString>
#include <QStringList>
#include <QUuid>
#include <QtGlobal>

#include <memory>
#include <optional>
#include <vector>

class QAction;
class QMenu;
class QPoint;
class QToolBar;
class QWidget;
class TKvDocument;

// Told about every change of a document's contents and about its closing
// (views implement it).
class IKvDocumentListener {
public:
    virtual void DocumentChanged(TKvDocument* document) = 0;
    virtual void DocumentClosed(TKvDocument* document) = 0;

protected:
    ~IKvDocumentListener() = default;
};

// A registry of the file formats an editor's documents are read from and
// written in.
class TKvDocumentFormats : public TKvFileFormats {
public:
    // Loads the file into the document; formatKey receives the key of the
    // format it was read as.
    virtual bool LoadDocument(TKvDocument* document, const QString& fileName, qint32& formatKey) = 0;
    virtual bool SaveDocument(TKvDocument* document, const QString& fileName, qint32 formatKey) = 0;
    // Whether documents of that format may be written.
    virtual bool CanSaveFormat(qint32 formatKey) const = 0;
};

// What a document asks of the editor that owns it.
class IKvDocumentEditor {
public:
    virtual TKvDocumentFormats* Formats() = 0;
    // Re-captions the main window after the active document's name changed.
    virtual void UpdateCaption() = 0;
    // The save-changes question about a document of that display name:
    // idYes, idNo, or anything else for Cancel.
    virtual int AskSaveChanges(const QString& name) = 0;
    // Save As: the save dialog, the overwrite question, then SaveToFile.
    virtual bool SaveDocumentAs(TKvDocument* document) = 0;
    // Takes the document out of the editor's list and frees it.
    virtual void RemoveDocument(TKvDocument* document) = 0;

protected:
    ~IKvDocumentEditor() = default;
};

class TKvDocument {
public:
    // The editor may be none (a document on its own cannot load, save or
    // ask questions).
    explicit TKvDocument(IKvDocumentEditor* editor = nullptr);
    virtual ~TKvDocument();
    TKvDocument(const TKvDocument&) = delete;
    TKvDocument& operator=(const TKvDocument&) = delete;

    IKvDocumentEditor* Editor() const { return m_editor; }

    // The document's view, created by CreateView on first use and freed with
    // the document (or earlier by whoever it was handed to).
    QWidget* GetView();
    // The view if it exists; never creates one.
    QWidget* ExistingView() const;

    // Settles whatever change is still open on the document (a tool's
    // adjustment waiting for Ok) before the document is read or written as
    // a whole: SaveToFile, CloseQuery and the editor's undo and redo call
    // it first.
    virtual void CommitOrCancelOpenChanges() {}
    // Hooks: the start of CloseQuery, before the format registry writes a
    // file, after the editor opened and showed the document.
    virtual void BeforeClose() {}
    virtual void BeforeSave() {}
    virtual void AfterOpen() {}

    // Listeners are kept in the order added, each once.
    virtual void AddListener(IKvDocumentListener* listener);
    virtual void RemoveListener(IKvDocumentListener* listener);
    // Every listener's DocumentChanged, the last added first; the document
    // then counts as changed since its file was written.
    void NotifyChanged();

    // Reads the file through the editor's formats; on success the file
    // holds the document (Saved).
    virtual bool LoadFromFile(const QString& fileName);
    // Writes the document through the editor's formats; on success the
    // document takes the name and format and counts as saved.
    virtual bool SaveToFile(const QString& fileName, qint32 formatKey);
    // Whether the editor's formats may write the document's format.
    virtual bool CanSave() const;
    // SaveToFile with the document's own file and format; false without a file.
    virtual bool Save();
    // Asks to save unsaved changes (unless NoSavePrompt); when closing may
    // go on, tells the listeners, has the editor free the document and
    // returns true. The document must not be used after a true answer when
    // it has an editor.
    virtual bool CloseQuery();

    // True exactly when the document has a file and holds what it held when
    // it was last loaded or saved: no change outside the history since, and
    // the history back where it stood then (undoing past a save, or
    // redoing beyond it, makes it unsaved; a picture without a file, from a
    // scanner for example, is never saved).
    bool Saved() const;
    // Records that the document's file holds the document as it stands now.
    void MarkSaved();

    bool NoSavePrompt() const { return m_noSavePrompt; }
    void SetNoSavePrompt(bool value) { m_noSavePrompt = value; }
    const QString& FileName() const { return m_fileName; }
    void SetFileName(const QString& fileName) { m_fileName = fileName; }
    qint32 FormatKey() const { return m_formatKey; }
    void SetFormatKey(qint32 key) { m_formatKey = key; }
    // The file name without its folder, or the "untitled" text.
    QString DisplayName() const;

    TKvCommandHistoryList& History() { return m_history; }
    const TKvCommandHistoryList& History() const { return m_history; }

protected:
    // Creates the document's view (not yet placed anywhere).
    virtual QWidget* CreateView() = 0;
    // Frees the view now; derived documents call it from their destructor
    // so that a view never outlives the part of the document it shows.
    void DestroyView();
    void NotifyClosed();

private:
    IKvDocumentEditor* m_editor;
    QPointer<QWidget> m_view;
    std::vector<IKvDocumentListener*> m_listeners;
    TKvCommandHistoryList m_history;
    QString m_fileName;
    qint32 m_formatKey = 0;
    bool m_noSavePrompt = false;
    bool m_changedOutsideHistory = false;
};

// The document editor module. It has the main form made (it is the first
// module the program creates) and merges its menu items and its standard
// toolbar into it. The documents are kept in a list
// whose last element is the active one; opening a file closes the active
// document first, so at most one is open.
class TKvEditor : public TKvModuleWithControls, public virtual IKvDocumentEditor, public IKvScriptClient {
    Q_OBJECT
public:
    static const QUuid SettingsGuid;

    // makeShell makes the main window the editor's items go into.
    explicit TKvEditor(const TKvShellMaker& makeShell);
    ~TKvEditor() override;

    // The main window; none once it is gone.
    IKvShell* Shell() const;
    TKvFormOf<QMainWindow>* MainWindow() const;

    // Items merged into the main form (their objectName is the field's name).
    QAction* OpenMenuItem = nullptr;
    QAction* SaveMenuItem = nullptr;
    QAction* SaveAsMenuItem = nullptr;
    QAction* CloseMenuItem = nullptr;
    QMenu* EditMenuItem = nullptr;
    QAction* UndoMenuItem = nullptr;
    QAction* RedoMenuItem = nullptr;
    QAction* UndoAllMenuItem = nullptr;
    QAction* RedoAllMenuItem = nullptr;
    QToolBar* StandardToolbar = nullptr;
    QAction* OpenToolButton = nullptr;
    QAction* SaveToolButton = nullptr;
    QAction* UndoToolButton = nullptr;
    QAction* RedoToolButton = nullptr;
    // The recent files are listed between the main form's File-menu
    // separator and this one.
    QAction* RecentFilesMenuSeparator = nullptr;
    QAction* EditToolbarSeparator = nullptr;
    // The area of the main form that shows the active document's view.
    QWidget* View = nullptr;

    // Length limit of the recent files list.
    int MaxRecentFiles = 5;

    void Localize() override;
    // The recent files, in a node of their own.
    void LoadSettings(TKvSDFReader& reader) override;
    void SaveSettings(TKvSDFWriter& writer) override;
    // Opens the file named as the program's first argument.
    void Start() override;
    void UpdateControls() override;

    // Makes the document the active one (the last of the list).
    virtual void ActivateDocument(TKvDocument* document);
    // The main form's caption: the active document's display name, " - "
    // and the application title; the title alone without a document.
    void UpdateCaption() override;
    void RemoveDocument(TKvDocument* document) override;
    // The active document's history; none without a document.
    virtual TKvCommandHistoryList* History();
    TKvDocumentFormats* Formats() override = 0;
    // A new, empty document of the editor's class.
    virtual std::unique_ptr<TKvDocument> CreateDocument() = 0;
    // Places the document's view on the main form, filling the view area;
    // false only without a document.
    virtual bool ShowDocument(TKvDocument* document, QWidget*& view);
    // The open dialog; opens the chosen file (adding it to the recent files).
    virtual bool OpenDialog();
    // The save dialog, the extension rule, the overwrite question, then the
    // document's SaveToFile. A save that fails for another reason than the
    // user's cancelling a question it asked is reported.
    bool SaveDocumentAs(TKvDocument* document) override;
    int AskSaveChanges(const QString& name) override;
    virtual int AskOverwrite(const QString& fileName);
    // Closes the documents last to first; the first refusal keeps the main
    // form open.
    virtual void MainFormCloseQuery(QObject* sender, bool& canClose);

    // What demonstration scripts ask of the editor: the commands "UNDO" and
    // "REDO", and the same names as targets (their toolbar buttons). While
    // a script is recorded, Undo and Redo are written to it.
    void ExecuteScriptCommand(const QString& command, bool& handled, const TKvCustomProperties& parameters) override;
    void GetScriptTarget(const TKvCustomProperties& parameters, bool& found, QPoint& screenPoint) override;
    void StartRecording(IKvScriptRecorder* recorder) override;
    void StopRecording() override;
    IKvScriptRecorder* Recorder() const { return m_recorder; }

    virtual void AddRecentDocument(TKvDocument* document);
    // Plug-in mode hides the Open and Save buttons, makes Open and Save As
    // do nothing and makes the exit code -1 until the edit is confirmed.
    virtual void SetPluginMode(bool on);
    virtual bool NewDocument(TKvDocument*& document);
    // Closes the active document (asking to save it), then loads the file
    // into a new document and shows it; says so when it cannot be loaded.
    virtual bool OpenFile(const QString& fileName, TKvDocument*& document, bool addToRecent);
    virtual bool CanUndo();
    virtual bool CanRedo();
    virtual void Undo();
    virtual void Redo();

    virtual void OpenClick(QObject* sender);
    virtual void CloseClick(QObject* sender);
    virtual void SaveClick(QObject* sender);
    virtual void SaveAsClick(QObject* sender);
    virtual void UndoClick(QObject* sender);
    virtual void UndoAllClick(QObject* sender);
    virtual void RedoClick(QObject* sender);
    virtual void RedoAllClick(QObject* sender);

    // Puts the path at the top of the recent files (once; the oldest drops
    // out beyond MaxRecentFiles) and captions the menu items after it.
    void AddRecentFile(const QString& path);
    const QStringList& RecentFiles() const { return m_recentFiles; }
    // Opens the recent file the item stands for.
    void RecentFileClick(QObject* sender);
    // The menu items of the recent files, top first.
    std::vector<QAction*> RecentFileItems() const;

    // Opens the file named by the first argument after the program's name,
    // when it names an existing file.
    void OpenCommandLineFile(const QStringList& arguments);
    // The file Start opens instead of the command line's first argument
    // (none when empty), for a program whose command line says more.
    std::optional<QString> CommandLineFile;
    // Closes the active document, if any; false when that was refused.
    bool MayReplaceDocument();

    TKvDocument* ActiveDocument() const;
    int DocumentCount() const { return static_cast<int>(m_documents.size()); }
    bool PluginMode() const { return m_pluginMode; }

protected:
    // Called by derived editors when the user cancelled a question asked
    // while a document was being written (the save then failed on purpose).
    void NoteSaveCancelled() { m_saveCancelled = true; }

private:
    void MergeIntoMainForm();
    // "MouseCurvedMove <name>", the message line when asked for, "<name>".
    void RecordCommand(const QString& name);
    bool SaveDocumentUnder(TKvDocument* document, const QString& fileName, qint32 formatKey);

    IKvShell* m_shell = nullptr;
    QPointer<TKvFormOf<QMainWindow>> m_window;
    std::vector<std::unique_ptr<TKvDocument>> m_documents;
    QStringList m_recentFiles;
    IKvScriptRecorder* m_recorder = nullptr;
    bool m_pluginMode = false;
    bool m_saveCancelled = false;
};

// The file name as Save As writes it in the format: kept when its extension
// is the format's default extension or one of its patterns' extensions
// (without regard to case: "photo.JPEG" stays a JPEG), otherwise with the
// default extension appended.
QString WithFormatExtension(const QString& fileName, const TKvFileFormatInfo& format);
