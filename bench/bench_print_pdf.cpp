// Printing a 24-megapixel photo into a PDF file at 300 dpi, side by side in
// the same run with ImageMagick's convert of the same JPEG to PDF:
//   print            the Print dialog's Print with the photo open, scaled to
//                    fit an A4 page: the page drawn and the PDF written
//   open and print   the same, with opening the JPEG first (convert has to
//                    decode it as well)
//   convert          /usr/bin/convert photo.jpg -density 300 EPDF:photo.pdf,
//                    the whole process (Debian's ImageMagick policy refuses
//                    the "PDF" name; EPDF is the same PDF writer under
//                    another name)
// Medians of three runs, run alternately; wall seconds.
// Target: print at most 1.0 x convert and under 3 s.
#include "BenchClock.h"
#include "KvForms.h"
#include "KvGraphicsDocument.h"
#include "KvGraphicsFormats.h"
#include "KvGraphicsPrint.h"
#include "KvPrinter.h"
#include "PhotoScene.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QPageLayout>
#include <QProcess>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <vector>

namespace {

constexpr int Runs = 3;

// The photo as a camera would write it: quality 90, 300 dpi.
void WritePhoto(const QString& path)
{
    TKvPixelBuffer picture;
    TKvPixelMask band;
    photo_scene::MakeScene(picture, band);
    QImage image(picture.Data, photo_scene::Width, photo_scene::Height, picture.Stride,
                 QImage::Format_BGR888);
    QImage copy = image.copy();
    copy.setDotsPerMeterX(11811);
    copy.setDotsPerMeterY(11811);
    if (!copy.save(path, "JPEG", 90)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

// What a document asks of the editor that opens it: the format registry;
// no view, no questions.
class TOpeningEditor : public IKvGraphicsDocumentEditor {
public:
    TKvDocumentFormats* Formats() override { return &m_formats; }
    void UpdateCaption() override {}
    int AskSaveChanges(const QString&) override { return idNo; }
    bool SaveDocumentAs(TKvDocument*) override { return false; }
    void RemoveDocument(TKvDocument*) override {}
    const std::vector<IKvGraphicsTool*>& GraphicsTools() const override { return m_tools; }
    void ShowImageSize(int, int) override {}
    QWidget* CreateView(TKvGraphicsDocument*) override { return nullptr; }

private:
    TKvGraphicsFormats m_formats;
    std::vector<IKvGraphicsTool*> m_tools;
};

class A4PdfPrinter : public TKvPrinter {
public:
    explicit A4PdfPrinter(const QString& file)
    {
        setOutputFormat(QPrinter::PdfFormat);
        setResolution(300);
        setPageLayout(QPageLayout(QPageSize(QPageSize::A4), QPageLayout::Portrait, QMarginsF(10, 10, 10, 10),
                                  QPageLayout::Millimeter));
        setOutputFileName(file);
    }
};

// Prints the open document into the file, fitted to the page.
void Print(TKvGraphicsDocument& document, const QString& pdf)
{
    A4PdfPrinter printer(pdf);
    const std::unique_ptr<TKvGraphicsPrintForm> form(NewInitialized<TKvGraphicsPrintForm>(printer));
    form->SetDocument(&document);
    form->ScaleToFitMediaCheckBox->setChecked(true);
    form->PrintButtonClick();
    if (form->result() != QDialog::Accepted || QFileInfo(pdf).size() == 0) {
        std::fprintf(stderr, "printing failed\n");
        std::exit(1);
    }
}

void Open(TKvGraphicsDocument& document, const QString& photo)
{
    if (!document.LoadFromFile(photo)) {
        std::fprintf(stderr, "cannot open %s\n", qPrintable(photo));
        std::exit(1);
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication application(argc, argv);
    TKvApplication program;
    QTemporaryDir folder;
    const QString photo = folder.filePath(QStringLiteral("photo.jpg"));
    WritePhoto(photo);
    const QString ours = folder.filePath(QStringLiteral("ours.pdf"));
    const QString peer = folder.filePath(QStringLiteral("convert.pdf"));

    TOpeningEditor editor;
    TKvGraphicsDocument open(&editor);
    Open(open, photo);
    std::vector<double> printTimes, openAndPrintTimes, convertTimes;
    for (int run = 0; run < Runs; ++run) {
        QFile::remove(ours);
        printTimes.push_back(WallSeconds([&] { Print(open, ours); }));
        QFile::remove(ours);
        openAndPrintTimes.push_back(WallSeconds([&] {
            TKvGraphicsDocument document(&editor);
            Open(document, photo);
            Print(document, ours);
        }));
        QFile::remove(peer);
        convertTimes.push_back(WallSeconds([&] {
            if (QProcess::execute(QStringLiteral("/usr/bin/convert"),
                                  {photo, QStringLiteral("-density"), QStringLiteral("300"), QStringLiteral("EPDF:") + peer})
                != 0) {
                std::fprintf(stderr, "convert failed\n");
                std::exit(1);
            }
        }));
    }
    const double print = Median(printTimes);
    const double openAndPrint = Median(openAndPrintTimes);
    const double convert = Median(convertTimes);
    std::printf("24-megapixel photo to a PDF page at 300 dpi (median of %d runs, wall seconds)\n", Runs);
    std::printf("  print (photo open)   %7.3f s   PDF %6.1f MB\n", print, QFileInfo(ours).size() / 1e6);
    std::printf("  open and print       %7.3f s\n", openAndPrint);
    std::printf("  convert              %7.3f s   PDF %6.1f MB\n", convert, QFileInfo(peer).size() / 1e6);
    std::printf("  ratio print / convert           %.2f x (target at most 1.0 x, under 3 s)\n", print / convert);
    std::printf("  ratio open and print / convert  %.2f x\n", openAndPrint / convert);
    return 0;
}
