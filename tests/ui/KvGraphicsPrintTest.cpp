// Printing: the picture's natural size on paper, the units and how values
// are shown, the key filter of the edits, centring and Scale To Fit Media
// with symmetric margins, the out-of-page question's answers, typed values
// beyond reach, failures that keep the dialog open, and a page printed into
// a PDF file read back with pdftoppm: the picture at its place and size.
#include "GraphicsEditorFixture.h"
#include "KvGraphicsPrint.h"
#include "KvPrinter.h"
#include "ModalAnswers.h"
#include "QtPrinters.h"
#include "ShellTestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QLocale>
#include <QPageLayout>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

namespace {

TEST(PrintMeasures, NaturalSizeFollowsTheResolutionWithAFallbackForAbsurdOnes)
{
    struct Case {
        QSize pixels;
        int xDpi, yDpi;
        QSize natural;
    };
    const Case cases[] = {
        {{300, 200}, 300, 300, {2540, 1693}},
        {{300, 200}, 150, 600, {5080, 847}},
        {{96, 96}, 0, 0, {2540, 2540}},      // no resolution: 96 dpi
        {{96, 48}, -300, 0, {2540, 1270}},   // negative: 96 dpi
        {{2, 1}, 1, 1, {5080, 2540}},
        {{6000, 4000}, 1000000000, 1000000000, {1, 1}}, // far below 0.01 mm: at least 1
        {{0, 0}, 300, 300, {1, 1}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NaturalPrintSize(c.pixels, c.xDpi, c.yDpi), c.natural) << c.pixels.width() << " at " << c.xDpi;
}

TEST(PrintMeasures, UnitsConvertAndShowWithAtMostThreeDecimals)
{
    struct Case {
        int hiMetric;
        int unit;
        const char* shown;
    };
    const Case cases[] = {
        {2540, PrintUnitInch, "1"},    {1693, PrintUnitInch, "0.667"}, {2540, PrintUnitMm, "25.4"},
        {2540, PrintUnitPoint, "72"},  {1693, PrintUnitCm, "1.693"},   {1270, PrintUnitCm, "1.27"},
        {-500, PrintUnitMm, "-5"},     {0, PrintUnitCm, "0"},          {1, PrintUnitPoint, "0.028"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatPrintValue(HiMetricToPrintUnit(c.hiMetric, c.unit)), QLatin1String(c.shown)) << c.hiMetric;

    EXPECT_EQ(PrintUnitToHiMetric(0.5, PrintUnitInch), 1270);
    EXPECT_EQ(PrintUnitToHiMetric(72, PrintUnitPoint), 2540);
    EXPECT_EQ(PrintUnitToHiMetric(0.125, PrintUnitMm), 12); // 12.5: halves to even
    EXPECT_EQ(PrintUnitToHiMetric(0.135, PrintUnitMm), 14); // 13.5

    const std::pair<double, const char*> scales[] = {
        {100, "100%"}, {50, "50%"}, {100.0 / 3, "33.33%"}, {0.5, ".5%"}, {0, "%"}, {1234.567, "1234.57%"}};
    for (const auto& [percent, shown] : scales)
        EXPECT_EQ(FormatPrintScale(percent), QLatin1String(shown)) << percent;
}

TEST(PrintMeasures, ValuesFollowTheLocalesDecimalSeparator)
{
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(FormatPrintValue(0.667), QStringLiteral("0,667"));
    EXPECT_EQ(FormatPrintScale(33.333), QStringLiteral("33,33%"));
    EXPECT_EQ(FormatPrintScale(0.25), QStringLiteral(",25%"));
    QLocale::setDefault(saved);
}

TEST(PrintMeasures, ScaleToFitMediaMakesTheMarginsSymmetricAndCentres)
{
    const QSize a4(21000, 29700);
    // Left margin 500, right 1000: both become 1000; top 300, bottom 700:
    // both 700. The area is 19000 x 28300.
    EXPECT_EQ(ScaleToFitMedia(a4, QRect(500, 300, 19500, 28700), QSize(2540, 1693)), QRect(1000, 8518, 19000, 12664));
    // The larger margins on the other sides: right 1500 and bottom 2000.
    EXPECT_EQ(ScaleToFitMedia(a4, QRect(200, 100, 19300, 27600), QSize(1000, 2000)),
              QRect(4075, 2000, 12850, 25700));
    // A side of 0 counts as 1.
    EXPECT_EQ(ScaleToFitMedia(QSize(10000, 10000), QRect(0, 0, 10000, 10000), QSize(0, 0)),
              QRect(0, 0, 10000, 10000));
}

// A PDF printer on paper of 6 x 8 inches with half-inch margins, whose
// measures are whole in device pixels and in HiMetric: the paper is
// 15240 x 20320, the printable area from 1270 to 13970 and 19050.
class PdfPrinter : public TKvPrinter {
public:
    PdfPrinter()
    {
        setOutputFormat(QPrinter::PdfFormat);
        setPageLayout(QPageLayout(QPageSize(QSizeF(6, 8), QPageSize::Inch), QPageLayout::Portrait,
                                  QMarginsF(0.5, 0.5, 0.5, 0.5), QPageLayout::Inch));
    }
};

// A printer that reports a page of nothing, as a broken driver may.
class BrokenPrinter : public PdfPrinter {
public:
    TKvPrinterPage Page() const override { return {}; }
};

class GraphicsPrintForm : public ::testing::Test {
protected:
    // A picture of the size and resolution, one colour, in a document.
    TKvGraphicsDocument* Document(int width, int height, int dpi, QRgb colour = qRgb(200, 20, 30))
    {
        TKvGraphicsDocument* document = editor.NewDocument();
        EXPECT_TRUE(document->Image().SetSize(width, height, PixelFormatBGR24));
        TKvPixels& pixels = document->Image().Pixels();
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x) {
                std::uint8_t* p = pixels.PixelAt(x, y);
                p[0] = std::uint8_t(qBlue(colour));
                p[1] = std::uint8_t(qGreen(colour));
                p[2] = std::uint8_t(qRed(colour));
            }
        EXPECT_TRUE(document->ImageLoaded());
        document->Properties().XResolution = dpi;
        document->Properties().YResolution = dpi;
        return document;
    }

    std::unique_ptr<TKvGraphicsPrintForm> Form(TKvPrinter& printer, TKvGraphicsDocument* document, int unit)
    {
        std::unique_ptr<TKvGraphicsPrintForm> form(NewInitialized<TKvGraphicsPrintForm>(printer));
        for (QComboBox* box : {form->LeftUnitsComboBox, form->TopUnitsComboBox, form->WidthUnitsComboBox,
                               form->HeightUnitsComboBox})
            box->setCurrentIndex(unit);
        form->SetDocument(document);
        return form;
    }

    // Replaces an edit's text by typing it, through the key filter.
    static void Type(QLineEdit* edit, const QString& text)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, text);
    }

    TTempUserFolders folders;
    TTestLocalizer localizer;
    TKvApplication application;
    TestGraphicsEditor editor;
    PdfPrinter printer;
};

TEST_F(GraphicsPrintForm, OpensAtTheNaturalSizeCentredOnThePaper)
{
    const auto form = Form(printer, Document(300, 200, 300), PrintUnitInch);
    EXPECT_EQ(form->NaturalSize(), QSize(2540, 1693));
    EXPECT_EQ(form->Placement(), QRect(6350, 9313, 2540, 1693));
    EXPECT_EQ(form->WidthEdit->text(), QStringLiteral("1"));
    EXPECT_EQ(form->HeightEdit->text(), QStringLiteral("0.667"));
    EXPECT_EQ(form->ScaleEdit->text(), QStringLiteral("100%"));
    EXPECT_FALSE(form->CenterImageCheckBox->isChecked());
    EXPECT_FALSE(form->ScaleToFitMediaCheckBox->isChecked());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Print"));
    EXPECT_EQ(form->WidthUnitsComboBox->itemText(2), QStringLiteral("in."));
    EXPECT_EQ(form->PositionAndSizeGroupBox->title(), QStringLiteral(" Position and Size: "));

    // Another unit rewrites only its own value.
    form->WidthUnitsComboBox->setCurrentIndex(PrintUnitMm);
    EXPECT_EQ(form->WidthEdit->text(), QStringLiteral("25.4"));
    EXPECT_EQ(form->HeightEdit->text(), QStringLiteral("0.667"));
}

TEST_F(GraphicsPrintForm, ScaleWidthAndHeightKeepTheNaturalAspect)
{
    const auto form = Form(printer, Document(300, 200, 300), PrintUnitCm);
    Type(form->ScaleEdit, QStringLiteral("50%"));
    EXPECT_EQ(form->Placement().size(), QSize(1270, 846)); // 846.5: halves to even
    EXPECT_EQ(form->ScaleEdit->text(), QStringLiteral("50%"));
    EXPECT_EQ(form->WidthEdit->text(), QStringLiteral("1.27"));

    Type(form->WidthEdit, QStringLiteral("5.08"));
    EXPECT_EQ(form->Placement().size(), QSize(5080, 3386));
    EXPECT_EQ(form->ScaleEdit->text(), QStringLiteral("200%"));
    Type(form->HeightEdit, QStringLiteral("1.693"));
    EXPECT_EQ(form->Placement().size(), QSize(2540, 1693));

    // Centring follows a new size.
    form->CenterImageCheckBox->setChecked(true);
    EXPECT_FALSE(form->LeftEdit->isEnabled());
    Type(form->WidthEdit, QStringLiteral("10"));
    EXPECT_EQ(form->Placement(), QRect(2620, 6827, 10000, 6665));
}

TEST_F(GraphicsPrintForm, TheEditsTakeOnlyTheirKeys)
{
    const auto form = Form(printer, Document(300, 200, 300), PrintUnitCm);
    struct Case {
        QLineEdit* edit;
        const char* typed;
        const char* result;
    };
    const Case cases[] = {
        {form->WidthEdit, "-2", "2"},     // no minus in a size
        {form->LeftEdit, "-2", "-2"},     // a position may be negative
        {form->LeftEdit, "2-", "2"},      // only at the start
        {form->WidthEdit, ",5", "5"},     // no separator first
        {form->WidthEdit, "2,5", "2.5"},  // "," becomes the locale's separator
        {form->WidthEdit, "2x5", "25"},   // letters are refused
        {form->WidthEdit, "5%", "5"},     // "%" only in the scale
        {form->ScaleEdit, "50%%", "50%"}, // once, at the end
        {form->ScaleEdit, "%", ""},       // not in an empty text
        {form->ScaleEdit, "50%7", "50%"}, // no digit after a trailing "%"
    };
    for (const Case& c : cases) {
        Type(c.edit, QString::fromLatin1(c.typed));
        EXPECT_EQ(c.edit->text(), QLatin1String(c.result)) << c.edit->objectName().toStdString() << " " << c.typed;
    }
}

TEST_F(GraphicsPrintForm, ScaleToFitMediaDisablesTheEditsAndFillsThePrintableArea)
{
    const auto form = Form(printer, Document(300, 200, 300), PrintUnitMm);
    form->ScaleToFitMediaCheckBox->setChecked(true);
    EXPECT_TRUE(form->CenterImageCheckBox->isChecked());
    EXPECT_FALSE(form->CenterImageCheckBox->isEnabled());
    for (QLineEdit* edit : {form->LeftEdit, form->TopEdit, form->ScaleEdit, form->WidthEdit, form->HeightEdit})
        EXPECT_FALSE(edit->isEnabled()) << edit->objectName().toStdString();
    // 127 mm wide between the margins; the height follows the aspect.
    EXPECT_EQ(form->Placement(), QRect(1270, 5928, 12700, 8465));
    EXPECT_EQ(form->WidthEdit->text(), QStringLiteral("127"));

    form->ScaleToFitMediaCheckBox->setChecked(false);
    EXPECT_TRUE(form->CenterImageCheckBox->isEnabled());
    EXPECT_TRUE(form->WidthEdit->isEnabled());
    EXPECT_FALSE(form->LeftEdit->isEnabled()); // still centred
}

TEST_F(GraphicsPrintForm, ValuesBeyondThePapersReachAreKeptWithinIt)
{
    const auto form = Form(printer, Document(300, 200, 300), PrintUnitCm);
    Type(form->WidthEdit, QStringLiteral("9999999"));
    // Ten times the paper's longer side.
    EXPECT_EQ(form->Placement().width(), 203200);
    EXPECT_GT(form->Placement().height(), 0);
    form->EditExit(form->WidthEdit);
    EXPECT_EQ(form->WidthEdit->text(), QStringLiteral("203.2"));

    Type(form->LeftEdit, QStringLiteral("-99999999999"));
    EXPECT_EQ(form->Placement().left(), -15240);
    Type(form->ScaleEdit, QStringLiteral("99999999999%"));
    EXPECT_EQ(form->Placement().width(), 203200);
    EXPECT_LE(form->Placement().height(), 203200);

    // Only separators, or nothing: the value stays while typing, and leaving
    // the edit writes 0, which the value follows.
    const int height = form->Placement().height();
    Type(form->HeightEdit, QStringLiteral(".."));
    EXPECT_EQ(form->Placement().height(), height);
    form->EditExit(form->HeightEdit);
    EXPECT_EQ(form->HeightEdit->text(), QStringLiteral("0"));
    EXPECT_EQ(form->Placement().height(), 1);
    Type(form->ScaleEdit, QString());
    form->EditExit(form->ScaleEdit);
    EXPECT_EQ(form->ScaleEdit->text(), QStringLiteral("0%"));
}

// Reads a PDF's first page back as a picture at the resolution.
QImage RenderPdf(const QString& pdf, int dpi)
{
    QTemporaryDir folder;
    const QString prefix = folder.filePath(QStringLiteral("page"));
    if (QProcess::execute(QStringLiteral("pdftoppm"), {QStringLiteral("-r"), QString::number(dpi),
                                                       QStringLiteral("-singlefile"), QStringLiteral("-png"), pdf,
                                                       prefix})
        != 0)
        return {};
    return QImage(prefix + QStringLiteral(".png")).convertToFormat(QImage::Format_RGB32);
}

// The bounding box of the pixels close to the colour.
QRect AreaOfColour(const QImage& page, QRgb colour)
{
    QRect area;
    for (int y = 0; y < page.height(); ++y)
        for (int x = 0; x < page.width(); ++x) {
            const QRgb p = page.pixel(x, y);
            if (std::abs(qRed(p) - qRed(colour)) < 40 && std::abs(qGreen(p) - qGreen(colour)) < 40
                && std::abs(qBlue(p) - qBlue(colour)) < 40)
                area |= QRect(x, y, 1, 1);
        }
    return area;
}

TEST_F(GraphicsPrintForm, APdfPageHoldsThePictureAtItsPlaceAndSize)
{
    QTemporaryDir folder;
    const QString pdf = folder.filePath(QStringLiteral("page.pdf"));
    printer.setOutputFileName(pdf);
    TModalAnswers answers;
    const auto form = Form(printer, Document(300, 200, 300), PrintUnitCm);
    Type(form->LeftEdit, QStringLiteral("2.54"));
    Type(form->TopEdit, QStringLiteral("5.08"));
    Type(form->WidthEdit, QStringLiteral("7.62"));
    form->PrintButtonClick();
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_EQ(answers.Messages.size(), 0u);

    // At 100 dpi: 1 inch from the left, 2 from the top, 3 wide, 2 high.
    const QImage page = RenderPdf(pdf, 100);
    ASSERT_FALSE(page.isNull());
    EXPECT_EQ(page.size(), QSize(600, 800));
    const QRect picture = AreaOfColour(page, qRgb(200, 20, 30));
    EXPECT_NEAR(picture.left(), 100, 1);
    EXPECT_NEAR(picture.top(), 200, 1);
    EXPECT_NEAR(picture.width(), 300, 2);
    EXPECT_NEAR(picture.height(), 200, 2);

    // Centred, it has as much paper on its left as on its right, above as
    // below.
    const QString centredPdf = folder.filePath(QStringLiteral("centred.pdf"));
    printer.setOutputFileName(centredPdf);
    const auto centred = Form(printer, Document(300, 200, 300), PrintUnitCm);
    centred->CenterImageCheckBox->setChecked(true);
    centred->PrintButtonClick();
    const QImage centredPage = RenderPdf(centredPdf, 100);
    const QRect middle = AreaOfColour(centredPage, qRgb(200, 20, 30));
    EXPECT_NEAR(middle.left(), centredPage.width() - 1 - middle.right(), 1);
    EXPECT_NEAR(middle.top(), centredPage.height() - 1 - middle.bottom(), 1);
}

TEST_F(GraphicsPrintForm, OutsideThePageTheQuestionsAnswersMoveOrShrinkOrPrint)
{
    QTemporaryDir folder;
    printer.setOutputFileName(folder.filePath(QStringLiteral("page.pdf")));
    const auto form = Form(printer, Document(300, 200, 300), PrintUnitMm);

    // Partly off the page, but small enough: No moves it to the printable
    // corner and keeps the dialog open.
    Type(form->LeftEdit, QStringLiteral("-5"));
    {
        TModalAnswers answers;
        answers.Answer(QMessageBox::No);
        form->PrintButtonClick();
        ASSERT_EQ(answers.Messages.size(), 1u);
        EXPECT_EQ(answers.Messages[0].Text, QStringLiteral("The picture extends beyond the printable area of the "
                                                           "page. Print it anyway?"));
    }
    EXPECT_EQ(form->Placement().topLeft(), QPoint(1270, 1270));
    EXPECT_EQ(form->LeftEdit->text(), QStringLiteral("12.7"));
    EXPECT_NE(form->result(), QDialog::Accepted);

    // Larger than the page: No shrinks it to fit.
    Type(form->WidthEdit, QStringLiteral("500"));
    {
        TModalAnswers answers;
        answers.Answer(QMessageBox::No);
        form->PrintButtonClick();
    }
    EXPECT_EQ(form->Placement().width(), 12700);
    EXPECT_NE(form->result(), QDialog::Accepted);

    // Yes prints it as placed, cut by the page.
    Type(form->WidthEdit, QStringLiteral("500"));
    {
        TModalAnswers answers;
        answers.Answer(QMessageBox::Yes);
        form->PrintButtonClick();
        EXPECT_EQ(answers.Messages.size(), 1u);
    }
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_TRUE(QFileInfo(printer.outputFileName()).size() > 0);
}

TEST_F(GraphicsPrintForm, AFittedOrCorneredPictureIsInsideThePageAtAnyResolution)
{
    // Papers and margins whose measures are not whole device pixels.
    struct Case {
        QPageSize::PageSizeId paper;
        double marginMm;
        int dpi;
    };
    const Case cases[] = {{QPageSize::A4, 10, 300}, {QPageSize::A4, 4.2, 600}, {QPageSize::Letter, 6.35, 1200},
                          {QPageSize::A5, 3, 72},   {QPageSize::A4, 10, 3000}};
    QTemporaryDir folder;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.dpi);
        PdfPrinter paper;
        paper.setResolution(c.dpi);
        paper.setPageLayout(QPageLayout(QPageSize(c.paper), QPageLayout::Portrait,
                                        QMarginsF(c.marginMm, c.marginMm, c.marginMm, c.marginMm),
                                        QPageLayout::Millimeter));
        paper.setOutputFileName(folder.filePath(QStringLiteral("fitted.pdf")));
        for (const bool fit : {true, false}) {
            const auto form = Form(paper, Document(600, 400, 10), PrintUnitMm);
            TModalAnswers answers;
            if (fit) {
                form->ScaleToFitMediaCheckBox->setChecked(true);
            } else {
                // Off the page and answered No: moved into the corner.
                Type(form->LeftEdit, QStringLiteral("-1"));
                Type(form->WidthEdit, QStringLiteral("10"));
                answers.Answer(QMessageBox::No);
                form->PrintButtonClick();
                ASSERT_EQ(answers.Messages.size(), 1u);
            }
            form->PrintButtonClick();
            EXPECT_EQ(answers.Messages.size(), fit ? 0u : 1u) << (fit ? "fitted" : "cornered");
            EXPECT_EQ(form->result(), QDialog::Accepted) << (fit ? "fitted" : "cornered");
        }
    }
}

TEST_F(GraphicsPrintForm, AFailedPrintSaysSoAndKeepsTheDialogOpen)
{
    // A PDF file in a folder that does not exist cannot be written.
    QTemporaryDir folder;
    const QString pdf = folder.filePath(QStringLiteral("missing/page.pdf"));
    printer.setOutputFileName(pdf);
    const auto form = Form(printer, Document(30, 20, 300), PrintUnitMm);
    TModalAnswers answers;
    answers.Answer(QMessageBox::Ok);
    form->PrintButtonClick();
    ASSERT_EQ(answers.Messages.size(), 1u);
    EXPECT_EQ(answers.Messages[0].Text, QStringLiteral("Cannot write the PDF file %1.").arg(pdf));
    EXPECT_EQ(answers.Messages[0].Icon, QMessageBox::Critical);
    EXPECT_NE(form->result(), QDialog::Accepted);
    EXPECT_FALSE(QFileInfo::exists(pdf));
}

TEST_F(GraphicsPrintForm, APrinterWithoutPaperIsReportedInsteadOfPrintedOn)
{
    BrokenPrinter broken;
    const auto form = Form(broken, Document(300, 200, 0), PrintUnitMm);
    EXPECT_EQ(form->NaturalSize(), QSize(7938, 5292)); // 96 dpi
    form->ScaleToFitMediaCheckBox->setChecked(true);     // nothing to fit into: no crash
    TModalAnswers answers;
    answers.Answer(QMessageBox::Ok);
    form->PrintButtonClick();
    ASSERT_EQ(answers.Messages.size(), 1u);
    EXPECT_TRUE(answers.Messages[0].Text.startsWith(QStringLiteral("The printer reports no paper size.")));
    EXPECT_NE(form->result(), QDialog::Accepted);
}

TEST_F(GraphicsPrintForm, APdfPrinterWithoutAFileAsksForOne)
{
    QTemporaryDir folder;
    const QString pdf = folder.filePath(QStringLiteral("chosen.pdf"));
    printer.setOutputFileName(QString());
    const auto form = Form(printer, Document(30, 20, 300), PrintUnitMm);
    TModalAnswers answers;
    answers.Then([&](QWidget* modal) {
        auto* dialog = qobject_cast<QFileDialog*>(modal);
        ASSERT_NE(dialog, nullptr);
        EXPECT_EQ(dialog->objectName(), QStringLiteral("PdfFileDialog"));
        dialog->selectFile(pdf);
        QMetaObject::invokeMethod(dialog, "accept");
    });
    form->PrintButtonClick();
    EXPECT_TRUE(answers.Done());
    EXPECT_EQ(form->result(), QDialog::Accepted);
    EXPECT_GT(QFileInfo(pdf).size(), 0);
    EXPECT_EQ(printer.docName(), QStringLiteral("Untitled"));
}

} // namespace
