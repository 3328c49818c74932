// The open and save dialogs of the document editor: Qt's own file dialog
// (not the desktop's, so that a preview area can sit on its right) with the
// file types, the preview picture and a short description of the selected
// file all taken from a file format registry. Previews are made on a worker
// thread so that moving through the list stays responsive; a preview that
// a newer selection overtook is thrown away unpainted.
#pragma once

#include "KvFileFormats.h"

#include <QFileDialog>
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <memory>

class QFrame;
class QLabel;
class TKvDialogPreviewThread;
class TKvPreviewBox;

// The name filters of a Qt file dialog for a filter in the registry's form
// "name (patterns)|patterns|...": one entry per name, its patterns
// separated by blanks, "*.*" (every file) as "*".
QStringList NameFiltersFromFilter(const QString& filter);

class TKvOpenDialog : public QFileDialog {
    Q_OBJECT
public:
    // Lists the registry's open formats with "all supported files"
    // selected. The registry must outlive the dialog.
    TKvOpenDialog(QWidget* owner, const TKvFileFormats& formats);
    ~TKvOpenDialog() override;

    // Sets the title and runs the dialog modally; true when the user
    // confirmed.
    bool Execute();

    // The chosen file (after Execute), or the file preset before it.
    QString FileName() const;
    void SetFileName(const QString& fileName);
    // Position of the selected file type in the list, counted from 1; 0
    // when none is selected.
    int FilterIndex() const;
    void SetFilterIndex(int index);

    QFrame* PreviewPanel() const { return m_panel; }
    QLabel* InfoLabel() const { return m_infoLabel; }
    QWidget* PreviewBox() const;

signals:
    // A finished preview was handed to the main thread, where it is shown,
    // or dropped when the selection has moved on. Emitted on the worker
    // thread: connect with a direct connection to learn of it at once.
    void PreviewPosted();

protected:
    enum class TKind { Open, Save };
    TKvOpenDialog(QWidget* owner, const TKvFileFormats& formats, TKind kind);

    void showEvent(QShowEvent* event) override;
    void done(int result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildPreviewArea();
    void FitPreviewBoxToPanel();
    void SelectionChanged(const QString& path);
    void DropPreview();
    void PreviewMade(quint64 generation, std::shared_ptr<TKvThumbnail> preview);

    const TKvFileFormats& m_formats;
    const TKind m_kind;
    QFrame* m_panel = nullptr;
    TKvPreviewBox* m_previewBox = nullptr;
    QLabel* m_infoLabel = nullptr;
    // Counts selection changes; a finished preview is shown only when it was
    // asked for by the latest one. Touched on the main thread only.
    quint64 m_selection = 0;
    std::unique_ptr<TKvDialogPreviewThread> m_previewThread;
};

// The save dialog: the registry's save formats, the caller presets the file
// type. It never asks about overwriting: the editor asks once it has
// settled the name's extension.
class TKvSaveDialog : public TKvOpenDialog {
    Q_OBJECT
public:
    TKvSaveDialog(QWidget* owner, const TKvFileFormats& formats);
};
