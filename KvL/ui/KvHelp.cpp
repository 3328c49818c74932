#include "KvHelp.h"

#include "KvProgramData.h"
#include "KvLocalizer.h"
#include "KvShell.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QKeySequence>
#include <QMainWindow>
#include <QMenu>
#include <QScreen>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

// ---------------------------------------------------------------------------
// Pages

QString TKvHelpPages::LanguageFolder(quint16 langId) const
{
    for (const quint16 language : {langId, FallbackLanguage}) {
        const QString folder = QDir(m_helpFolder).filePath(QString::number(language));
        if (QFileInfo(folder).isDir())
            return folder;
    }
    return {};
}

QString TKvHelpPages::PageOfContext(int context)
{
    switch (context) {
    case ContentsContext: return QStringLiteral("index.html");
    case GettingStartedContext: return QStringLiteral("getting-started.html");
    case TechnicalSupportContext: return QStringLiteral("support.html");
    default: return {};
    }
}

QString TKvHelpPages::Page(int context, quint16 langId) const
{
    const QString folder = LanguageFolder(langId);
    const QString page = PageOfContext(context);
    return folder.isEmpty() || page.isEmpty() ? QString() : QDir(folder).filePath(page);
}

// ---------------------------------------------------------------------------
// Window

TKvHelpWindow::TKvHelpWindow(const TKvHelpPages& pages, QWidget* owner)
    : TKvForm(owner), m_pages(pages), m_browser(new QTextBrowser(this)), m_backButton(new QToolButton(this)),
      m_forwardButton(new QToolButton(this)), m_contentsButton(new QToolButton(this))
{
    setObjectName(QStringLiteral("HelpWindow"));
    setWindowFlags(Qt::Window);
    m_browser->setObjectName(QStringLiteral("HelpBrowser"));
    m_browser->setOpenExternalLinks(true);
    // The pages' shared stylesheet, which the pages also name for other
    // viewers.
    QFile styleSheet(QDir(m_pages.HelpFolder()).filePath(QStringLiteral("help.css")));
    if (styleSheet.open(QIODevice::ReadOnly))
        m_browser->document()->setDefaultStyleSheet(QString::fromUtf8(styleSheet.readAll()));
    m_backButton->setObjectName(QStringLiteral("BackButton"));
    m_forwardButton->setObjectName(QStringLiteral("ForwardButton"));
    m_contentsButton->setObjectName(QStringLiteral("ContentsButton"));
    m_backButton->setIcon(QIcon::fromTheme(QStringLiteral("go-previous")));
    m_forwardButton->setIcon(QIcon::fromTheme(QStringLiteral("go-next")));
    m_contentsButton->setIcon(QIcon::fromTheme(QStringLiteral("go-home")));
    for (QToolButton* button : {m_backButton, m_forwardButton, m_contentsButton})
        button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    connect(m_backButton, &QToolButton::clicked, m_browser, &QTextBrowser::backward);
    connect(m_forwardButton, &QToolButton::clicked, m_browser, &QTextBrowser::forward);
    connect(m_contentsButton, &QToolButton::clicked, this, [this] { ShowContext(TKvHelpPages::ContentsContext); });
    connect(m_browser, &QTextBrowser::sourceChanged, this, &TKvHelpWindow::UpdateTitle);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_backButton);
    buttons->addWidget(m_forwardButton);
    buttons->addWidget(m_contentsButton);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(m_browser);

    const QScreen* screen = owner ? owner->screen() : nullptr;
    const QSize available = screen ? screen->availableGeometry().size() : QSize(1024, 768);
    resize(std::min(760, available.width() * 3 / 4), available.height() * 3 / 4);
}

void TKvHelpWindow::ShowContext(int context)
{
    ShowFile(m_pages.Page(context, CurrentLanguage()));
}

void TKvHelpWindow::ShowFile(const QString& path)
{
    if (path.isEmpty() || !QFileInfo(path).isFile()) {
        m_browser->clearHistory();
        m_browser->setSource(QUrl());
        m_browser->setPlainText(LocalFormat(3111, {QDir::toNativeSeparators(m_pages.HelpFolder())},
                                            QStringLiteral("The help pages are not installed. They are looked for in %s.")));
        UpdateTitle();
        return;
    }
    m_browser->setSource(QUrl::fromLocalFile(path));
}

void TKvHelpWindow::UpdateTitle()
{
    const QString help = LocalStr(46, QStringLiteral("Help"));
    const QString page = m_browser->documentTitle();
    setWindowTitle(page.isEmpty() ? help : page + QStringLiteral(" - ") + help);
}

void TKvHelpWindow::Localize()
{
    m_backButton->setText(LocalStr(3109, QStringLiteral("Back")));
    m_forwardButton->setText(LocalStr(3110, QStringLiteral("Forward")));
    m_contentsButton->setText(LocalStr(128, QStringLiteral("Contents")));
    // The page shown, in the new language.
    const QUrl source = m_browser->source();
    if (source.isLocalFile()) {
        const QString folder = m_pages.LanguageFolder(CurrentLanguage());
        const QString page = QDir(folder).filePath(QFileInfo(source.toLocalFile()).fileName());
        if (!folder.isEmpty() && QFileInfo(page).isFile() && page != source.toLocalFile())
            ShowFile(page);
    }
    UpdateTitle();
}

void TKvHelpWindow::UpdateControls()
{
    m_backButton->setEnabled(m_browser->isBackwardAvailable());
    m_forwardButton->setEnabled(m_browser->isForwardAvailable());
}

// ---------------------------------------------------------------------------
// Module

TKvHelp::TKvHelp(IKvShell* shell, const QString& helpFolder)
    : m_shell(shell), m_pages(helpFolder.isEmpty() ? ProgramDataPath(QStringLiteral("Help")) : helpFolder)
{
    setObjectName(QStringLiteral("Help"));
    CreateMenuItems();
}

void TKvHelp::CreateMenuItems()
{
    if (!m_shell)
        return;
    QMenu* menu = m_shell->Items().HelpMenuItem;
    ContentsMenuItem = m_shell->AddMenuItem(LocalStr(128), QKeySequence(Qt::Key_F1),
                                            TKvMethod(this, &TKvHelp::ContentsClick), -1, menu);
    ContentsMenuItem->setObjectName(QStringLiteral("ContentsMenuItem"));
    // F1 works in every window of the program, as help keys do.
    ContentsMenuItem->setShortcutContext(Qt::ApplicationShortcut);
    ContentsMenuSeparator = m_shell->AddSeparator(menu);
    ContentsMenuSeparator->setObjectName(QStringLiteral("ContentsMenuSeparator"));
    GettingStartedMenuItem = m_shell->AddMenuItem(LocalStr(165), QKeySequence(),
                                                  TKvMethod(this, &TKvHelp::GettingStartedClick), -1, menu);
    GettingStartedMenuItem->setObjectName(QStringLiteral("GettingStartedMenuItem"));
    TechnicalSupportMenuItem = m_shell->AddMenuItem(LocalStr(131), QKeySequence(),
                                                    TKvMethod(this, &TKvHelp::TechnicalSupportClick), -1, menu);
    TechnicalSupportMenuItem->setObjectName(QStringLiteral("TechnicalSupportMenuItem"));
}

void TKvHelp::Localize()
{
    const std::pair<QAction*, int> items[] = {
        {ContentsMenuItem, 128}, {GettingStartedMenuItem, 165}, {TechnicalSupportMenuItem, 131}};
    for (const auto& [item, id] : items)
        if (item)
            item->setText(PlainCaption(LocalStr(id)));
}

void TKvHelp::ShowHelp(int context)
{
    if (!m_window)
        m_window = NewInitialized<TKvHelpWindow>(m_pages, m_shell ? m_shell->Window() : nullptr);
    m_window->ShowContext(context);
    m_window->show();
    m_window->raise();
    m_window->activateWindow();
}

void TKvHelp::ContentsClick(QObject*)
{
    ShowHelp(TKvHelpPages::ContentsContext);
}

void TKvHelp::GettingStartedClick(QObject*)
{
    ShowHelp(TKvHelpPages::GettingStartedContext);
}

void TKvHelp::TechnicalSupportClick(QObject*)
{
    ShowHelp(TKvHelpPages::TechnicalSupportContext);
}
