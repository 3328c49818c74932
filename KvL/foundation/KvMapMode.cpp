#include "KvMapMode.h"

#include <cmath>
#include <limits>

namespace {

// Floors and saturates to the int range; a division by a zero extent (not a
// number or infinite) cannot produce an undefined conversion.
int FloorToInt(double value)
{
    if (std::isnan(value))
        return 0;
    value = std::floor(value);
    if (value <= std::numeric_limits<int>::min())
        return std::numeric_limits<int>::min();
    if (value >= std::numeric_limits<int>::max())
        return std::numeric_limits<int>::max();
    return static_cast<int>(value);
}

int Map(int value, int fromOrigin, int fromExtent, int toOrigin, int toExtent)
{
    return FloorToInt((double(value) - fromOrigin) * toExtent / fromExtent + toOrigin);
}

int RoundToInt(double value)
{
    return FloorToInt(std::nearbyint(value)); // the default rounding mode: halves to even
}

constexpr double HiMetricPerCm = 1000;
constexpr double HiMetricPerInch = 2540;
constexpr double HiMetricPerMm = 100;
constexpr double PointsPerInch = 72;

} // namespace

QPoint TKvMapMode::LogicalToDevice(const QPoint& point) const
{
    return {Map(point.x(), LogicalOrigin.x(), LogicalExtent.x(), DeviceOrigin.x(), DeviceExtent.x()),
            Map(point.y(), LogicalOrigin.y(), LogicalExtent.y(), DeviceOrigin.y(), DeviceExtent.y())};
}

QPoint TKvMapMode::DeviceToLogical(const QPoint& point) const
{
    return {Map(point.x(), DeviceOrigin.x(), DeviceExtent.x(), LogicalOrigin.x(), LogicalExtent.x()),
            Map(point.y(), DeviceOrigin.y(), DeviceExtent.y(), LogicalOrigin.y(), LogicalExtent.y())};
}

QRect TKvMapMode::LogicalToDevice(const QRect& rect) const
{
    const QPoint topLeft = LogicalToDevice(QPoint(rect.x(), rect.y()));
    const QPoint bottomRight = LogicalToDevice(QPoint(rect.x() + rect.width(), rect.y() + rect.height()));
    return {topLeft.x(), topLeft.y(), bottomRight.x() - topLeft.x(), bottomRight.y() - topLeft.y()};
}

void TKvMapMode::SetupForPrinter(const TKvPrinterMetrics& printer)
{
    DeviceExtent = QPoint(printer.PixelSize.width(), printer.PixelSize.height());
    DeviceOrigin = -printer.PhysicalOffset;
    LogicalExtent = QPoint(printer.SizeMm.width() * 100, printer.SizeMm.height() * 100);
    LogicalOrigin = QPoint(0, 0);
}

int CmToHiMetric(float cm) { return RoundToInt(double(cm) * HiMetricPerCm); }
int InchToHiMetric(float inches) { return RoundToInt(double(inches) * HiMetricPerInch); }
int MmToHiMetric(float mm) { return RoundToInt(double(mm) * HiMetricPerMm); }
int PointToHiMetric(float points) { return RoundToInt(double(points) * HiMetricPerInch / PointsPerInch); }
float HiMetricToCm(int hiMetric) { return float(hiMetric / HiMetricPerCm); }
float HiMetricToInch(int hiMetric) { return float(hiMetric / HiMetricPerInch); }
float HiMetricToMm(int hiMetric) { return float(hiMetric / HiMetricPerMm); }
float HiMetricToPoint(int hiMetric) { return float(hiMetric * PointsPerInch / HiMetricPerInch); }

int TKvPointList::Add(const QPoint& point)
{
    m_points.push_back(point);
    return Count() - 1;
}

bool TKvPointList::Get(int index, QPoint& point) const
{
    if (index < 0 || index >= Count())
        return false;
    point = m_points[static_cast<size_t>(index)];
    return true;
}

void TKvPointList::Delete(int index)
{
    if (index >= 0 && index < Count())
        m_points.erase(m_points.begin() + index);
}
