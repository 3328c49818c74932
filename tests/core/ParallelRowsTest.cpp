// Whole-picture copies in bands of rows: the same pixels as one copy, on a
// picture large enough to be split among threads and on one that is not.
#include "ParallelRows.h"
#include "RegionFixture.h"

#include <gtest/gtest.h>

namespace {

TEST(AssignInBands, CopiesTheOverlapAsAssignDoes)
{
    const TRect targets[] = {{0, 0, 1200, 1000}, {-30, 40, 1100, 1500}, {5, 5, 9, 8}, {2000, 0, 2100, 10}};
    TKvPixelBuffer source;
    MakePicture(source, 1200, 1000);
    for (int y = 0; y < source.Height; ++y)
        for (int x = 0; x < source.Width; ++x)
            SetPixel(source, x, y, {std::uint8_t(x), std::uint8_t(y), std::uint8_t(x ^ y)});
    for (const TRect& rect : targets) {
        TKvPixelBuffer banded;
        TKvPixelBuffer whole;
        ASSERT_TRUE(banded.SetFormat(PixelFormatBGR24, rect));
        ASSERT_TRUE(whole.SetFormat(PixelFormatBGR24, rect));
        AssignInBands(banded, source);
        whole.Assign(source);
        EXPECT_TRUE(SamePixels(banded, whole)) << rect.Left << ", " << rect.Top;
    }
}

} // namespace
