// Map modes: floor mapping both ways, the printer set-up, HiMetric units and
// point lists.
#include "KvMapMode.h"

#include <gtest/gtest.h>

namespace {

TKvMapMode Zoom(int device, int logical)
{
    TKvMapMode mode;
    mode.DeviceExtent = QPoint(device, device);
    mode.LogicalExtent = QPoint(logical, logical);
    return mode;
}

} // namespace

TEST(MapMode, MapsWithFloorDivision)
{
    struct Case {
        int device, logical;
        int from;
        bool toDevice;
        int expected;
    };
    const Case cases[] = {
        {3, 2, 5, true, 7},    {3, 2, 7, false, 4},   {2, 1, -1, false, -1}, {1, 2, -1, true, -1},
        {1, 3, -4, true, -2},  {1, 3, 4, true, 1},    {1, 1, -7, true, -7},  {4, 1, -3, false, -1},
    };
    for (const Case& c : cases) {
        const TKvMapMode mode = Zoom(c.device, c.logical);
        const QPoint mapped = c.toDevice ? mode.LogicalToDevice(QPoint(c.from, c.from))
                                         : mode.DeviceToLogical(QPoint(c.from, c.from));
        EXPECT_EQ(mapped, QPoint(c.expected, c.expected))
            << c.device << ":" << c.logical << " from " << c.from << (c.toDevice ? " to device" : " to logical");
    }
}

TEST(MapMode, OriginsShiftBothSpaces)
{
    TKvMapMode mode = Zoom(2, 1);
    mode.LogicalOrigin = QPoint(10, 20);
    mode.DeviceOrigin = QPoint(-5, 7);
    EXPECT_EQ(mode.LogicalToDevice(QPoint(13, 19)), QPoint(1, 5));
    EXPECT_EQ(mode.DeviceToLogical(QPoint(1, 5)), QPoint(13, 19));
    // Rectangles map their four edges, right and bottom exclusive.
    EXPECT_EQ(mode.LogicalToDevice(QRect(10, 20, 3, 4)), QRect(-5, 7, 6, 8));
}

TEST(MapMode, PrinterSetupMakesHiMetricFromThePapersCorner)
{
    TKvHiMetric mode;
    mode.SetupForPrinter({QSize(4800, 6600), QSize(203, 279), QPoint(100, 120)});
    EXPECT_EQ(mode.DeviceToLogical(QPoint(0, 0)), QPoint(422, 507));
    EXPECT_EQ(mode.LogicalToDevice(QPoint(0, 0)), QPoint(-100, -120));
    EXPECT_EQ(mode.DeviceToLogical(QPoint(4800, 6600)), QPoint(20300 + 422, 27900 + 507));
}

TEST(HiMetric, ConvertsUnits)
{
    EXPECT_EQ(InchToHiMetric(1.0f), 2540);
    EXPECT_EQ(PointToHiMetric(72.0f), 2540);
    EXPECT_EQ(PointToHiMetric(0.5f), 18);
    EXPECT_EQ(CmToHiMetric(2.5f), 2500);
    EXPECT_EQ(MmToHiMetric(0.125f), 12) << "halves to even";
    EXPECT_EQ(MmToHiMetric(0.375f), 38) << "halves to even";
    EXPECT_EQ(MmToHiMetric(-0.125f), -12);
    EXPECT_FLOAT_EQ(HiMetricToMm(2540), 25.4f);
    EXPECT_FLOAT_EQ(HiMetricToCm(1500), 1.5f);
    EXPECT_FLOAT_EQ(HiMetricToInch(1270), 0.5f);
    EXPECT_FLOAT_EQ(HiMetricToPoint(2540), 72.0f);
}

TEST(PointList, KeepsPointsInOrder)
{
    TKvPointList list;
    EXPECT_EQ(list.Add(QPoint(1, 2)), 0);
    EXPECT_EQ(list.Add(QPoint(-3, 4)), 1);
    QPoint point;
    EXPECT_TRUE(list.Get(1, point));
    EXPECT_EQ(point, QPoint(-3, 4));
    EXPECT_FALSE(list.Get(2, point));
    EXPECT_FALSE(list.Get(-1, point));
    list.Delete(0);
    EXPECT_TRUE(list.Get(0, point));
    EXPECT_EQ(point, QPoint(-3, 4));
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
}
