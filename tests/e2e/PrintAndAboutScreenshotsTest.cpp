// The about box and the print dialog of the assembled program on a real X
// server (Xvfb), in each language: every label of the about box lies on its
// picture without touching another, and screenshots of each page and of the
// print dialog go to the build folder (screenshots/about_*, print_*) for
// people to look at. The test runs itself again as a child on the server.
#include "EditorTestSupport.h"
#include "KvAbout.h"
#include "KvGraphicsEditor.h"
#include "KvGraphicsPrint.h"
#include "KvMainForm.h"
#include "KvPrinter.h"
#include "ModalAnswers.h"
#include "ProgramTestSupport.h"
#include "ScreenDriver.h"
#include "ShellTestSupport.h"
#include "XvfbServer.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTabBar>

#include <gtest/gtest.h>

namespace {

constexpr char ChildVariable[] = "ORVANE_SCREENSHOT_CHILD";

// Every label shown lies inside the picture and touches no other.
void ExpectLabelsApart(const TKvAboutForm& form, const QString& where)
{
    std::vector<const QLabel*> shown;
    for (const QLabel* label : form.Labels())
        if (label->isVisible())
            shown.push_back(label);
    ASSERT_FALSE(shown.empty());
    const QRect picture = form.LogoBackground->rect();
    for (size_t i = 0; i < shown.size(); ++i) {
        EXPECT_TRUE(picture.contains(shown[i]->geometry()))
            << where.toStdString() << ": " << shown[i]->text().toStdString();
        for (size_t j = i + 1; j < shown.size(); ++j)
            EXPECT_FALSE(shown[i]->geometry().intersects(shown[j]->geometry()))
                << where.toStdString() << ": " << shown[i]->text().toStdString() << " / "
                << shown[j]->text().toStdString();
    }
}

const std::pair<quint16, const char*> Languages[] = {{1033, "en"}, {1031, "de"}, {1049, "ru"}};

} // namespace

// Runs on the X server the parent started.
TEST(PrintAndAboutOnScreen, ChildShowsTheAboutBoxAndThePrintDialogInEachLanguage)
{
    if (qEnvironmentVariableIsEmpty(ChildVariable))
        GTEST_SKIP() << "runs only as the child of the test below";
    TTempUserFolders folders;
    TTestLocalizer localizer;
    auto application = std::make_unique<TKvApplication>();
    application->SetTitle(QStringLiteral("Orvane"));
    TProgramModules program;
    program.CreateProgram(*application);
    program.MainForm->resize(900, 640);
    program.MainForm->show();
    TKvDocument* document = nullptr;
    ASSERT_TRUE(program.GraphicsEditor->OpenFile(
        QDir(qEnvironmentVariable("ORVANE_BIN_DIR")).filePath(QStringLiteral("Demo/coffee.png")), document, false));

    for (const auto& [language, code] : Languages) {
        SetLanguage(language);
        const QString suffix = QLatin1String(code);
        // The about box, each of its pages.
        {
            TModalAnswers answers;
            answers.Then([&](QWidget* modal) {
                auto* form = qobject_cast<TKvAboutForm*>(modal);
                ASSERT_NE(form, nullptr);
                for (int tab = 0; tab < form->AboutTabs->count(); ++tab) {
                    form->AboutTabs->setCurrentIndex(tab);
                    const QString name = QStringLiteral("about_%1_%2").arg(suffix).arg(tab);
                    ExpectLabelsApart(*form, name);
                    EXPECT_TRUE(TakeScreenshot(form, name)) << name.toStdString();
                }
                form->close();
            });
            program.About->AboutMenuItem->trigger();
            EXPECT_TRUE(answers.Done());
            EXPECT_EQ(answers.Unexpected, 0);
        }

        // The print dialog, reached through the offer of a PDF file when the
        // machine has no printer.
        TModalAnswers printing;
        if (!TKvPrinter::HasPrinters())
            printing.Then([&](QWidget* modal) {
                auto* box = qobject_cast<QMessageBox*>(modal);
                ASSERT_NE(box, nullptr);
                EXPECT_TRUE(TakeScreenshot(box, QStringLiteral("print_no_printer_%1").arg(suffix)));
                box->button(QMessageBox::Yes)->click();
            });
        printing.Then([&](QWidget* modal) {
            auto* form = qobject_cast<TKvGraphicsPrintForm*>(modal);
            ASSERT_NE(form, nullptr);
            EXPECT_TRUE(TakeScreenshot(form, QStringLiteral("print_dialog_%1").arg(suffix)));
            form->CancelButton->click();
        });
        program.GraphicsPrint->PrintCommand(nullptr);
        EXPECT_TRUE(printing.Done());
        EXPECT_EQ(printing.Unexpected, 0);
    }
    CloseEveryDocumentUnasked(program.GraphicsEditor);
    application.reset();
}

TEST(PrintAndAboutOnScreen, AboutBoxAndPrintDialogOnAnXServer)
{
    if (!qEnvironmentVariableIsEmpty(ChildVariable))
        GTEST_SKIP() << "the parent's part";
    TTempUserFolders folders;
    TXvfbServer server(QStringLiteral("1024x768x24"));
    ASSERT_FALSE(server.Display().isEmpty());
    EXPECT_EQ(RunThisProgramOn(server, ChildVariable,
                               QStringLiteral("PrintAndAboutOnScreen.ChildShowsTheAboutBoxAndThePrintDialogInEachLanguage")),
              0);
    server.Stop();
    for (const auto& [language, code] : Languages)
        EXPECT_TRUE(QFileInfo::exists(ScreenshotPath(QStringLiteral("about_%1_0").arg(QLatin1String(code)))));
}
