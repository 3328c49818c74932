// The help in the program: the Help menu's three commands and F1, the page
// of every help context in every shipped language, links between the
// pages, the English pages for a language without its own, a message when
// the help is not installed, and the page following a change of language.
// Each language's contents page is saved as a screenshot of the help window
// (screenshots/help_<language id>.png in the build folder) for people to
// look at.
#include "KvHelp.h"
#include "KvMainForm.h"
#include "Model.h"
#include "ProgramTestSupport.h"
#include "ShellTestSupport.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QToolButton>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

const quint16 ShippedLanguages[] = {1033, 1031, 1049};

QString SourceHelpFolder()
{
    return qEnvironmentVariable("ORVANE_SOURCE_DIR") + QStringLiteral("/Help");
}

QString ScreenshotPath(const QString& name)
{
    const QString folder = qEnvironmentVariable("ORVANE_BIN_DIR") + QStringLiteral("/../screenshots");
    QDir().mkpath(folder);
    return QDir(folder).filePath(name);
}

// The links of the page the browser shows.
QStringList Links(const QTextBrowser& browser)
{
    QStringList links;
    for (QTextBlock block = browser.document()->begin(); block.isValid(); block = block.next())
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment)
            if (fragment.fragment().charFormat().isAnchor())
                links << fragment.fragment().charFormat().anchorHref();
    links.removeDuplicates();
    return links;
}

class KvHelpTest : public ::testing::Test, protected TProgramModules {
protected:
    void SetUp() override
    {
        CreateProgram(*application);
        application->LoadAllSettings();
    }
    void TearDown() override
    {
        SetLanguage(1033);
        application = nullptr;
    }

    TTempUserFolders folders;
    TTestLocalizer localizer;
    std::unique_ptr<TKvApplication> application = std::make_unique<TKvApplication>();
};

} // namespace

TEST(KvHelpPagesTest, EveryContextHasItsPageInEveryShippedLanguage)
{
    const TKvHelpPages pages(SourceHelpFolder());
    for (const quint16 language : ShippedLanguages) {
        EXPECT_TRUE(pages.LanguageFolder(language).endsWith(QString::number(language))) << language;
        for (const int context : {TKvHelpPages::ContentsContext, TKvHelpPages::GettingStartedContext,
                                  TKvHelpPages::TechnicalSupportContext})
            EXPECT_TRUE(QFileInfo(pages.Page(context, language)).isFile()) << language << " context " << context;
    }
    EXPECT_EQ(TKvHelpPages::PageOfContext(99), QString());
}

TEST(KvHelpPagesTest, EveryLanguageHasTheSamePages)
{
    const QStringList english = QDir(SourceHelpFolder() + QStringLiteral("/1033")).entryList({"*.html"}, QDir::Files);
    EXPECT_GE(english.size(), 15);
    for (const quint16 language : ShippedLanguages)
        EXPECT_EQ(QDir(SourceHelpFolder() + QLatin1Char('/') + QString::number(language)).entryList({"*.html"}, QDir::Files),
                  english)
            << language;
}

TEST(KvHelpPagesTest, ALanguageWithoutPagesGetsTheEnglishOnesAndNoHelpGetsNone)
{
    QTemporaryDir help;
    QDir(help.path()).mkpath(QStringLiteral("1033"));
    const TKvHelpPages pages(help.path());
    EXPECT_EQ(pages.LanguageFolder(1036), QDir(help.path()).filePath(QStringLiteral("1033")));
    const TKvHelpPages none(help.filePath(QStringLiteral("missing")));
    EXPECT_EQ(none.LanguageFolder(1033), QString());
    EXPECT_EQ(none.Page(TKvHelpPages::ContentsContext, 1033), QString());
}

TEST(KvHelpPagesTest, EveryLinkOfEveryPageLeadsToAPageInTheHelpWindow)
{
    const TKvHelpPages pages(SourceHelpFolder());
    TKvHelpWindow window(pages);
    QTextBrowser& browser = *window.Browser();
    for (const quint16 language : ShippedLanguages) {
        const QDir folder(pages.LanguageFolder(language));
        for (const QString& page : folder.entryList({"*.html"}, QDir::Files)) {
            const QUrl pageUrl = QUrl::fromLocalFile(folder.filePath(page));
            QFile file(folder.filePath(page));
            ASSERT_TRUE(file.open(QIODevice::ReadOnly));
            static const QRegularExpression image(QStringLiteral(R"re(<img\s+src="([^"]+)")re"));
            for (const QRegularExpressionMatch& match : image.globalMatch(QString::fromUtf8(file.readAll())))
                EXPECT_TRUE(QFileInfo(folder.filePath(match.captured(1))).isFile())
                    << language << "/" << page.toStdString() << " shows " << match.captured(1).toStdString();
            browser.setSource(pageUrl);
            EXPECT_FALSE(browser.documentTitle().isEmpty()) << language << "/" << page.toStdString();
            for (const QString& link : Links(browser)) {
                const QUrl target = pageUrl.resolved(QUrl(link));
                ASSERT_TRUE(target.isLocalFile()) << link.toStdString();
                EXPECT_TRUE(QFileInfo(target.toLocalFile()).isFile())
                    << language << "/" << page.toStdString() << " -> " << link.toStdString();
                browser.setSource(target);
                EXPECT_EQ(browser.source(), target);
                EXPECT_FALSE(browser.documentTitle().isEmpty()) << link.toStdString();
                browser.setSource(pageUrl);
            }
        }
    }
    // The pages use the stylesheet beside the language folders.
    EXPECT_TRUE(QFileInfo(SourceHelpFolder() + QStringLiteral("/help.css")).isFile());
}

TEST_F(KvHelpTest, TheHelpMenuHoldsTheThreeCommandsAndF1OpensTheContents)
{
    ASSERT_NE(Help, nullptr);
    const QList<QAction*> items = MainForm->HelpMenuItem->actions();
    ASSERT_GE(items.size(), 4);
    EXPECT_EQ(items.mid(0, 4), (QList<QAction*>{Help->ContentsMenuItem, Help->ContentsMenuSeparator,
                                                Help->GettingStartedMenuItem, Help->TechnicalSupportMenuItem}));
    EXPECT_EQ(Help->ContentsMenuItem->shortcut(), QKeySequence(Qt::Key_F1));
    MainForm->UpdateControls();
    EXPECT_TRUE(MainForm->HelpMenuItem->menuAction()->isVisible());

    MainForm->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(MainForm));
    for (const quint16 language : ShippedLanguages) {
        SetLanguage(language);
        EXPECT_EQ(Help->ContentsMenuItem->text(), LocalStr(128));
        MainForm->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(MainForm));
        QTest::keyClick(MainForm, Qt::Key_F1);
        TKvHelpWindow* window = Help->Window();
        ASSERT_NE(window, nullptr) << language;
        ASSERT_TRUE(QTest::qWaitForWindowExposed(window));
        const QString page = Help->Pages().Page(TKvHelpPages::ContentsContext, language);
        EXPECT_EQ(window->Browser()->source(), QUrl::fromLocalFile(page)) << language;
        EXPECT_TRUE(page.contains(QStringLiteral("/%1/").arg(language)));
        EXPECT_EQ(window->windowTitle(), window->Browser()->documentTitle() + QStringLiteral(" - ") + LocalStr(46));
        window->resize(760, 560);
        window->grab().save(ScreenshotPath(QStringLiteral("help_%1.png").arg(language)));
        window->close();
    }
}

TEST_F(KvHelpTest, GettingStartedAndTechnicalSupportOpenTheirPagesAndBackGoesBack)
{
    Help->GettingStartedMenuItem->trigger();
    ASSERT_NE(Help->Window(), nullptr);
    QTextBrowser* browser = Help->Window()->Browser();
    EXPECT_TRUE(browser->source().toLocalFile().endsWith(QStringLiteral("1033/getting-started.html")));
    Help->Window()->resize(760, 700);
    browser->scrollToAnchor(QString());
    browser->verticalScrollBar()->setValue(browser->verticalScrollBar()->maximum() / 3);
    Help->Window()->grab().save(ScreenshotPath(QStringLiteral("help_getting_started.png")));
    Help->TechnicalSupportMenuItem->trigger();
    EXPECT_TRUE(browser->source().toLocalFile().endsWith(QStringLiteral("1033/support.html")));
    Help->Window()->UpdateControls();
    auto* back = Help->Window()->findChild<QToolButton*>(QStringLiteral("BackButton"));
    ASSERT_NE(back, nullptr);
    ASSERT_TRUE(back->isEnabled());
    back->click();
    EXPECT_TRUE(browser->source().toLocalFile().endsWith(QStringLiteral("1033/getting-started.html")));
    // A change of language shows the same page in the new language.
    SetLanguage(1049);
    EXPECT_TRUE(browser->source().toLocalFile().endsWith(QStringLiteral("1049/getting-started.html")));
    EXPECT_TRUE(Help->Window()->windowTitle().endsWith(LocalStr(46)));
}

TEST_F(KvHelpTest, WithoutHelpPagesTheWindowSaysWhereTheyWereLookedFor)
{
    QTemporaryDir empty;
    TKvHelp help(nullptr, empty.filePath(QStringLiteral("Help")));
    help.ShowHelp(TKvHelpPages::ContentsContext);
    ASSERT_NE(help.Window(), nullptr);
    EXPECT_TRUE(help.Window()->Browser()->toPlainText().contains(QDir::toNativeSeparators(empty.filePath(QStringLiteral("Help")))));
    delete help.Window();
}
