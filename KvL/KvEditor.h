// Generic documents: a document knows its file, its format, whether its file
// holds it as it stands, its listeners and its undo history, and loads and
// saves itself through the format registry of the editor that owns it.
// Documents know nothing about what they hold; the graphics document
// derives from TKvDocument and fills in the view.
#pragma once

#include "KvCommandHistory.h"
#include "KvFileFormats.h"

#include <QPointer>
#include <QString>
#include <QtGlobal>

#include <vector>

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
    // 6 Yes, 7 No, anything else Cancel (the Windows message box results).
    virtual int AskSaveChanges(const QString& name) = 0;
    // Save As: the save dialog, the overwrite question, then SaveToFile.
    virtual bool SaveDocumentAs(TKvDocument* document) = 0;
    // Takes the document out of the editor's list and frees it.
    virtual void RemoveDocument(TKvDocument* document) = 0;

protected:
    ~IKvDocumentEditor() = default;
};

// Answers of the save-changes question.
constexpr int DocumentAnswerYes = 6;
constexpr int DocumentAnswerNo = 7;

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
