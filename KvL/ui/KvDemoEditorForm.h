// The demo editor's window: a small always-on-top window in which a script
// author edits the sections of a demonstration script (one tab each: Info,
// Script and a section of texts per language), plays the script against
// the program, and records new lines at the end of Script by using the
// program while its modules write down what is done. The demo editor
// module creates it once and shows it on Ctrl+Shift+D; closing only hides
// it, with the script kept.
//
// Its texts are fixed English texts for authors, not taken from the
// language files.
#pragma once

#include "KvDemoScript.h"
#include "KvForms.h"

#include <QString>

#include <functional>
#include <utility>
#include <vector>

class QAction;
class QComboBox;
class QMenuBar;
class QPlainTextEdit;
class QStatusBar;
class QTabBar;
class QToolBar;
class TKvDemoPlayback;
class TKvDemonstrationModule;

class TKvDemoEditorForm : public TKvForm {
    Q_OBJECT
public:
    explicit TKvDemoEditorForm(TKvDemonstrationModule& demonstrations, QWidget* parent = nullptr);
    ~TKvDemoEditorForm() override;

    QMenuBar* Menu;
    QAction* NewMenuItem;
    QAction* OpenMenuItem;
    QAction* SaveAsMenuItem;
    QAction* ExitMenuItem;
    QAction* AddLanguageMenuItem;
    QAction* DeleteLanguageMenuItem;
    QAction* PlayMenuItem;
    QAction* RecordMenuItem;
    QAction* StopMenuItem;
    QToolBar* Toolbar;
    QAction* OpenToolButton;
    QAction* SaveToolButton;
    QAction* PlayToolButton;
    QAction* RecordToolButton;
    QAction* StopToolButton;
    QComboBox* MessageComboBox;
    QAction* MessageToolButton;
    QAction* UIToolButton;
    QTabBar* SectionsTabControl;
    QPlainTextEdit* ScriptMemo;
    QStatusBar* StatusBar;

    // The script as edited (the memo's text is stored into it first).
    const TKvDemoScript& Script();

    void UpdateControls() override;

    // Commands.
    void CmNew();
    void CmOpen();
    void CmSave();
    void CmExit();
    void CmAddLanguage();
    void CmDeleteLanguage();
    void CmPlay();
    void CmRecord();
    void CmStop();
    // What Open and Save As do with the file the dialog chose.
    bool OpenFile(const QString& fileName);
    bool SaveFile(const QString& fileName);
    // What Add Language does with the id the dialog was given.
    void AddLanguage(const QString& langId);

    // The section the selected tab shows; -1 without tabs.
    int SelectedSection() const;
    // Whether the section is one of texts (neither Info nor Script).
    bool IsLanguageSection(int section) const;

private:
    void CreateMenus();
    void CreateToolbar();
    void PlaceInMainWindow();
    void StoreMemo();
    void ShowSection(int section);
    void RefreshTabs();
    void SelectTab(int section);
    void SectionsTabControlChange(int index);
    void MessageComboBoxAcceptText();
    void PlaybackEnded();
    void RecordingStopped();
    void ShowStatus();

    TKvDemonstrationModule& m_demonstrations;
    TKvDemoPlayback& m_playback;
    TKvDemoScript m_script;
    // Per section, the memo's selection (start, length) when it was last
    // shown.
    std::vector<std::pair<int, int>> m_selections;
    int m_shownSection = -1;
    bool m_refreshing = false;
    // The handlers of the demonstration module while the editor plays.
    bool m_playing = false;
    bool m_stopped = false;
    std::function<void()> m_previousFinished;
    std::function<void(bool&)> m_previousQueryStop;
    std::function<void(const QString&, bool&, const QString&)> m_previousError;
};
