// The program's help: the Help menu's Contents (F1), Getting Started and
// Technical Support, each opening a page of the HTML help shipped with the
// program (the Help folder, one folder per language id, English when the
// user's language has none) in a help window of the program's own, which
// needs no web browser and works in plug-in mode too.
#pragma once

#include "KvForms.h"
#include "KvModule.h"

#include <QPointer>
#include <QString>

class IKvShell;
class QAction;
class QTextBrowser;
class QToolButton;

// The help pages: one folder per language id in the help folder, and the
// page of each help context.
class TKvHelpPages {
public:
    static constexpr int ContentsContext = 0;
    static constexpr int GettingStartedContext = 20;
    static constexpr int TechnicalSupportContext = 30;
    static constexpr quint16 FallbackLanguage = 1033;

    explicit TKvHelpPages(const QString& helpFolder) : m_helpFolder(helpFolder) {}

    QString HelpFolder() const { return m_helpFolder; }
    // The folder of the language's pages, else of the English ones; empty
    // when neither exists.
    QString LanguageFolder(quint16 langId) const;
    // The page of a context in the language (a file that may not exist);
    // empty for a context without a page.
    QString Page(int context, quint16 langId) const;
    // The file name of a context's page; empty for an unknown context.
    static QString PageOfContext(int context);

private:
    QString m_helpFolder;
};

// A window showing help pages, with Back, Forward and Contents.
class TKvHelpWindow : public TKvForm {
    Q_OBJECT
public:
    TKvHelpWindow(const TKvHelpPages& pages, QWidget* owner = nullptr);

    // Shows the context's page in the current language, or a message that
    // the help is not installed.
    void ShowContext(int context);
    QTextBrowser* Browser() const { return m_browser; }

    // Captions, and the page shown again in the new language.
    void Localize() override;
    void UpdateControls() override;

private:
    void ShowFile(const QString& path);
    void UpdateTitle();

    TKvHelpPages m_pages;
    QTextBrowser* m_browser;
    QToolButton* m_backButton;
    QToolButton* m_forwardButton;
    QToolButton* m_contentsButton;
};

class TKvHelp : public TKvModule {
    Q_OBJECT
public:
    // The help folder is the program's "Help" data folder unless given.
    explicit TKvHelp(IKvShell* shell, const QString& helpFolder = QString());

    QAction* ContentsMenuItem = nullptr;
    QAction* ContentsMenuSeparator = nullptr;
    QAction* GettingStartedMenuItem = nullptr;
    QAction* TechnicalSupportMenuItem = nullptr;

    // Opens the help window on the context's page.
    void ShowHelp(int context);
    // The help window, once it was opened.
    TKvHelpWindow* Window() const { return m_window; }
    const TKvHelpPages& Pages() const { return m_pages; }

    void Localize() override;

private:
    // Appends the items to the Help menu.
    void CreateMenuItems();
    void ContentsClick(QObject*);
    void GettingStartedClick(QObject*);
    void TechnicalSupportClick(QObject*);

    IKvShell* m_shell;
    TKvHelpPages m_pages;
    QPointer<TKvHelpWindow> m_window;
};
