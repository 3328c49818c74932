#include "KvPrinter.h"

#include <QPageLayout>
#include <QPrinterInfo>

namespace {

// The scale is given to the map mode as a reference square of five inches:
// a whole number of millimetres (127) and of pixels at any whole
// resolution, so no rounding enters it (the printable area's own size in
// millimetres is rarely whole).
constexpr int ReferenceInches = 5;
constexpr int ReferenceMm = 127;

} // namespace

TKvHiMetric HiMetricOf(const TKvPrinterPage& page)
{
    const int resolution = page.Resolution > 0 ? page.Resolution : 1;
    TKvPrinterMetrics metrics;
    metrics.PixelSize = QSize(resolution * ReferenceInches, resolution * ReferenceInches);
    metrics.SizeMm = QSize(ReferenceMm, ReferenceMm);
    metrics.PhysicalOffset = page.Printable.topLeft();
    TKvHiMetric hiMetric;
    hiMetric.SetupForPrinter(metrics);
    return hiMetric;
}

TKvPrinter::TKvPrinter() : QPrinter(QPrinter::HighResolution) {}

TKvPrinter::~TKvPrinter() = default;

TKvPrinterPage TKvPrinter::Page() const
{
    const QPageLayout layout = pageLayout();
    const int dpi = resolution();
    return {layout.fullRectPixels(dpi).size(), layout.paintRectPixels(dpi), dpi};
}

bool TKvPrinter::HasPage() const
{
    const TKvPrinterPage page = Page();
    return !page.Paper.isEmpty() && !page.Printable.isEmpty() && page.Resolution > 0;
}

const TKvHiMetric& TKvPrinter::HiMetric()
{
    m_hiMetric = HiMetricOf(Page());
    return m_hiMetric;
}

bool TKvPrinter::HasPrinters()
{
    return !QPrinterInfo::availablePrinterNames().isEmpty();
}
