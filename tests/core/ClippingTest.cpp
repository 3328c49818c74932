// The clipping work's steps: band painting, Separate, Effect, Swap, refresh,
// Clear, Done and the object's matte, on small pictures.
#include "Clipping.h"
#include "RegionFixture.h"
#include "WorkerPool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <random>
#include <sstream>

namespace {

constexpr TColorTriple kDisc{40, 40, 220};       // red-ish
constexpr TColorTriple kBackground{200, 120, 10}; // blue-ish

// A picture with a region of the clipping work attached.
struct Scene {
    TKvPixelBuffer picture;
    TMarkedRegion region;
    std::vector<TPoint> outline; // what PaintBand reported

    Scene(int width, int height, TColorTriple fill = kBackground)
    {
        MakePicture(picture, width, height, fill);
        SetClippingLabelEffects(region);
        region.AttachImage(&picture);
    }

    // Paints the pixels for which covered(x, y) holds with one dab.
    template <typename Covered>
    bool Paint(std::uint8_t label, Covered covered)
    {
        TKvPixelMask dab;
        dab.SetBounds(0, 0, region.Width(), region.Height());
        for (int y = 0; y < region.Height(); ++y)
            for (int x = 0; x < region.Width(); ++x)
                dab.Data[std::size_t(y * region.Width() + x)] = covered(x, y) ? 255 : 0;
        return PaintBand(region, dab.GetBounds(), dab, label, [this](int x, int y) { outline.push_back({x, y}); });
    }

    // Runs Separate to the end; returns whether the band enclosed an area.
    bool Separate()
    {
        TSeparation separation(region);
        if (!separation.Encloses())
            return false;
        separation.RunGrowCut();
        return true;
    }
};

double DistanceFromCentre(int x, int y, double cx, double cy)
{
    return std::hypot(x - cx, y - cy);
}

// A disc of radius 6 centred in a 21 x 21 picture, a band from radius 3.5 to
// 9 over its edge.
struct DiscScene : Scene {
    static constexpr double kCentre = 10;
    static constexpr double kRadius = 6;

    DiscScene()
        : Scene(21, 21)
    {
        for (int y = 0; y < 21; ++y)
            for (int x = 0; x < 21; ++x)
                if (DistanceFromCentre(x, y, kCentre, kCentre) <= kRadius)
                    SetPixel(picture, x, y, kDisc);
        Paint(LabelBand, [](int x, int y) {
            const double d = DistanceFromCentre(x, y, kCentre, kCentre);
            return d >= 3.5 && d <= 9;
        });
    }
    static bool InDisc(int x, int y) { return DistanceFromCentre(x, y, kCentre, kCentre) <= kRadius; }
};

// ---------------------------------------------------------------------------
// Painting the band

TEST(Clipping, PaintingMarksTheBandAndItsOutline)
{
    Scene scene(6, 5);
    EXPECT_TRUE(scene.Paint(LabelBand, [](int x, int y) { return x >= 1 && x <= 4 && y >= 1 && y <= 3; }));
    EXPECT_EQ(LabelRows(scene.region), (std::vector<std::string>{
        "......",
        ".2222.",
        ".2112.",
        ".2222.",
        "......",
    }));
    EXPECT_EQ(scene.outline.size(), 10u);
    EXPECT_EQ(scene.outline.front(), (TPoint{1, 1})); // row by row, as the dab is stored
    EXPECT_FALSE(scene.Paint(LabelBand, [](int, int) { return false; }));
}

TEST(Clipping, ABandAlongThePictureEdgeHasNoOutlineThere)
{
    Scene scene(4, 3);
    scene.Paint(LabelBand, [](int, int y) { return y <= 1; });
    EXPECT_EQ(LabelRows(scene.region), (std::vector<std::string>{"1111", "2222", "...."}));
}

TEST(Clipping, ErasingAcrossTheBandOutlinesTheCut)
{
    Scene scene(7, 5);
    scene.Paint(LabelBand, [](int, int y) { return y >= 1 && y <= 3; });
    scene.outline.clear();
    EXPECT_TRUE(scene.Paint(LabelUnmarked, [](int x, int) { return x == 3; }));
    EXPECT_EQ(LabelRows(scene.region), (std::vector<std::string>{
        ".......",
        "222.222",
        "112.211",
        "222.222",
        ".......",
    }));
    EXPECT_EQ(scene.outline, (std::vector<TPoint>{{4, 2}, {2, 2}}));
}

TEST(Clipping, PaintingOverTheCutLineMakesItBandAgain)
{
    Scene scene(3, 3);
    PaintLabels(scene.region, {"333", "333", "333"});
    scene.Paint(LabelBand, [](int x, int) { return x == 0; });
    EXPECT_EQ(LabelRows(scene.region), (std::vector<std::string>{"133", "133", "133"}));
    EXPECT_EQ(PixelOf(scene.picture, 0, 1), kBackground);
}

// ---------------------------------------------------------------------------
// Separate

TEST(Clipping, SeparateFindsTheDiscInsideARing)
{
    DiscScene scene;
    {
        TSeparation separation(scene.region);
        EXPECT_EQ(separation.AreaCount(), 2);
        EXPECT_EQ(scene.region.LabelAt(0, 0), FirstSegment);       // outside
        EXPECT_EQ(scene.region.LabelAt(10, 10), ObjectSegment);    // inside
        ASSERT_TRUE(separation.Encloses());
        separation.StartGrowCut();
        TDirtyTiles dirty;
        dirty.SetSize(21, 21);
        int generations = 0;
        while (separation.Step(dirty) > 0)
            ++generations;
        EXPECT_GT(generations, 1);
    }
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 21; ++x)
            ASSERT_EQ(scene.region.SegmentAt(x, y), DiscScene::InDisc(x, y) ? ObjectSegment : FirstSegment)
                << x << ", " << y;
    // Only the band is left, with the cut line along the disc's edge.
    EXPECT_FALSE(HasObject(scene.region));
    EXPECT_TRUE(scene.region.HasLabel(LabelCutLine));
    for (int y = 0; y < 21; ++y) {
        for (int x = 0; x < 21; ++x) {
            const std::uint8_t label = scene.region.LabelAt(x, y);
            if (label != LabelCutLine)
                continue;
            const double d = DistanceFromCentre(x, y, DiscScene::kCentre, DiscScene::kCentre);
            EXPECT_NEAR(d, DiscScene::kRadius, 1.5) << x << ", " << y;
        }
    }
    EXPECT_TRUE(CountsAgree(scene.region));
}

TEST(Clipping, SeparateInPartsFindsTheSameCutAndShowsTheSamePixels)
{
    DiscScene whole;
    DiscScene parts;
    TDirtyTiles wholeDirty;
    TDirtyTiles partsDirty;
    wholeDirty.SetSize(21, 21);
    partsDirty.SetSize(21, 21);
    {
        TSeparation wholeSeparation(whole.region);
        TSeparation partSeparation(parts.region);
        wholeSeparation.StartGrowCut();
        partSeparation.StartGrowCut();
        while (wholeSeparation.Step(wholeDirty) > 0) {
        }
        int calls = 0;
        while (partSeparation.StepPart(partsDirty, 3) > 0)
            ++calls;
        EXPECT_GT(calls, 20);
    }
    for (int y = 0; y < 21; ++y)
        for (int x = 0; x < 21; ++x) {
            ASSERT_EQ(parts.region.LabelAt(x, y), whole.region.LabelAt(x, y)) << x << ", " << y;
            ASSERT_EQ(parts.region.SegmentAt(x, y), whole.region.SegmentAt(x, y)) << x << ", " << y;
        }
    EXPECT_EQ(partsDirty.Bounds(), wholeDirty.Bounds());
}

TEST(Clipping, EachGenerationReportsTheRectangleItChanged)
{
    DiscScene scene;
    TSeparation separation(scene.region);
    separation.StartGrowCut();
    TDirtyTiles dirty;
    dirty.SetSize(21, 21);
    ASSERT_GT(separation.Step(dirty), 0);
    // The first generation takes the band cells next to both areas.
    EXPECT_EQ(dirty.Bounds(), (TRect{0, 0, 21, 21}));
    while (separation.Step(dirty) > 0)
        dirty.Clear();
    // The call that finds the segmentation finished changes nothing.
    EXPECT_TRUE(dirty.IsEmpty());
}

TEST(Clipping, ABandFromEdgeToEdgeMakesTwoAreas)
{
    Scene scene(6, 4);
    for (int y = 0; y < 4; ++y)
        for (int x = 3; x < 6; ++x)
            SetPixel(scene.picture, x, y, kDisc);
    scene.Paint(LabelBand, [](int x, int) { return x == 2 || x == 3; });
    ASSERT_TRUE(scene.Separate());
    EXPECT_EQ(SegmentRows(scene.region), (std::vector<std::string>(4, "888999")));
}

TEST(Clipping, AnOpenBandFlashesTheOnlyAreaRed)
{
    Scene scene(7, 5);
    scene.Paint(LabelBand, [](int x, int y) { return y == 2 && x >= 2 && x <= 4; });
    TSeparation separation(scene.region);
    EXPECT_EQ(separation.AreaCount(), 1);
    EXPECT_FALSE(separation.Encloses());
    separation.ShowOpenOutline();
    EXPECT_EQ(scene.region.CountOf(LabelRedFlash), 7 * 5 - 3);
    EXPECT_EQ(PixelOf(scene.picture, 0, 0), (TColorTriple{0, 0, 255}));
    separation.HideOpenOutline();
    separation.Finish();
    EXPECT_EQ(PixelOf(scene.picture, 0, 0), kBackground);
    EXPECT_EQ(LabelRows(scene.region)[2], "..222..");
    EXPECT_EQ(scene.region.CountOf(0), 7 * 5 - 3);
}

TEST(Clipping, BandsCoveringEverythingOrNothingEncloseNoArea)
{
    struct Case {
        int width, height;
        bool band;
    };
    const Case cases[] = {{1, 1, true}, {1, 1, false}, {4, 3, true}, {4, 3, false}, {1, 6, true}};
    for (const Case& c : cases) {
        Scene scene(c.width, c.height);
        scene.Paint(LabelBand, [&](int, int) { return c.band; });
        EXPECT_FALSE(scene.Separate()) << c.width << " x " << c.height;
        EXPECT_FALSE(HasObject(scene.region));
        EXPECT_TRUE(CountsAgree(scene.region));
    }
}

TEST(Clipping, AOneColumnPictureCutInTwo)
{
    Scene scene(1, 5);
    SetPixel(scene.picture, 0, 3, kDisc);
    SetPixel(scene.picture, 0, 4, kDisc);
    scene.Paint(LabelBand, [](int, int y) { return y == 2 || y == 3; });
    EXPECT_EQ(LabelRows(scene.region), (std::vector<std::string>{".", ".", "2", "2", "."}));
    ASSERT_TRUE(scene.Separate());
    EXPECT_EQ(SegmentRows(scene.region), (std::vector<std::string>{"8", "8", "8", "9", "9"}));
    StartShowEffect(scene.region, BackgroundShadow).Run();
    EXPECT_EQ(LabelRows(scene.region), (std::vector<std::string>{"I", "I", "I", "9", "9"}));
}

TEST(Clipping, AreasBeyondTheThirtySecondStayUnmarkedAndCompete)
{
    // 35 one-column areas between band columns.
    const int areas = 35;
    Scene scene(2 * areas - 1, 3);
    scene.Paint(LabelBand, [](int x, int) { return x % 2 == 1; });
    TSeparation separation(scene.region);
    EXPECT_EQ(separation.AreaCount(), 32);
    EXPECT_EQ(scene.region.LabelAt(62, 1), LastSegment);
    EXPECT_EQ(scene.region.LabelAt(64, 1), 0);
    separation.RunGrowCut();
    separation.Finish();
    // The unmarked areas stay unmarked: the cut line is shown inside the
    // band only.
    for (int x = 0; x < scene.region.Width(); x += 2)
        for (int y = 0; y < 3; ++y)
            ASSERT_EQ(scene.region.LabelAt(x, y), 0) << x;
    // Band columns between two areas beyond the 32nd go to them (label 0).
    EXPECT_EQ(scene.region.SegmentAt(65, 1), 0);
    EXPECT_EQ(scene.region.SegmentAt(64, 1), 0);
    EXPECT_EQ(scene.region.SegmentAt(62, 1), LastSegment);
}

TEST(Clipping, SeparatingAgainTurnsTheCutLineBackIntoBand)
{
    DiscScene scene;
    ASSERT_TRUE(scene.Separate());
    const auto segments = SegmentRows(scene.region);
    const auto labels = LabelRows(scene.region);
    TSeparation again(scene.region);
    EXPECT_FALSE(scene.region.HasLabel(LabelCutLine));
    again.RunGrowCut();
    again.Finish();
    EXPECT_EQ(SegmentRows(scene.region), segments);
    EXPECT_EQ(LabelRows(scene.region), labels);
}

// ---------------------------------------------------------------------------
// Effect, Swap, refresh, Clear, Done

TEST(Clipping, EffectShowsTheInsideAsTheObject)
{
    DiscScene scene;
    const TKvPixelBuffer& picture = scene.picture;
    ASSERT_TRUE(scene.Separate());
    scene.region.SetBackgroundColor(0xFFFFFF);
    TColumnPass pass = StartShowEffect(scene.region, BackgroundColor);
    TRect rect;
    int columns = 0;
    while (pass.Next(rect)) {
        EXPECT_EQ(rect, (TRect{columns, 0, columns + 1, 21}));
        ++columns;
    }
    EXPECT_EQ(columns, 21);
    for (int y = 0; y < 21; ++y) {
        for (int x = 0; x < 21; ++x) {
            const bool inside = DiscScene::InDisc(x, y);
            ASSERT_EQ(scene.region.LabelAt(x, y), inside ? ObjectSegment : BackgroundBase + FirstSegment);
            ASSERT_EQ(PixelOf(picture, x, y), inside ? kDisc : (TColorTriple{255, 255, 255}));
        }
    }
    EXPECT_TRUE(HasObject(scene.region));
    EXPECT_TRUE(HasBackground(scene.region));
}

TEST(Clipping, SwapCyclesThroughTheSegmentsThatExist)
{
    // Three areas: left of the first band, between the bands, right.
    Scene scene(9, 2);
    scene.Paint(LabelBand, [](int x, int) { return x == 2 || x == 6; });
    ASSERT_TRUE(scene.Separate());
    StartShowEffect(scene.region, BackgroundShadow).Run();
    std::uint8_t object = ObjectSegment;
    std::vector<int> objects;
    for (int i = 0; i < 4; ++i) {
        StartSwap(scene.region, object, BackgroundShadow).Run();
        objects.push_back(object);
        int segmentPixels = 0;
        for (int x = 0; x < 9; ++x)
            for (int y = 0; y < 2; ++y)
                segmentPixels += scene.region.SegmentAt(x, y) == object;
        EXPECT_EQ(scene.region.CountOf(object), segmentPixels) << int(object);
    }
    EXPECT_EQ(objects, (std::vector<int>{10, 8, 9, 10}));
    EXPECT_TRUE(CountsAgree(scene.region));
}

TEST(Clipping, SwappingTwiceBetweenTwoSegmentsGivesThePictureBack)
{
    DiscScene scene;
    ASSERT_TRUE(scene.Separate());
    scene.region.SetBlurLevel(1);
    StartShowEffect(scene.region, BackgroundBlur).Run();
    TKvPixelBuffer shown;
    CopyPicture(shown, scene.picture);
    std::uint8_t object = ObjectSegment;
    StartSwap(scene.region, object, BackgroundBlur).Run();
    EXPECT_EQ(object, FirstSegment);
    EXPECT_EQ(PixelOf(scene.picture, 0, 0), kBackground);
    EXPECT_NE(PixelOf(scene.picture, 5, 10), kDisc); // blurred with the background
    StartSwap(scene.region, object, BackgroundBlur).Run();
    EXPECT_EQ(object, ObjectSegment);
    EXPECT_TRUE(SamePixels(scene.picture, shown));
}

TEST(Clipping, RefreshingRendersTheBackgroundWithTheNewParameter)
{
    DiscScene scene;
    ASSERT_TRUE(scene.Separate());
    scene.region.SetBackgroundColor(0xFFFFFF);
    StartShowEffect(scene.region, BackgroundColor).Run();
    scene.region.SetBackgroundColor(0x000000);
    EXPECT_EQ(PixelOf(scene.picture, 0, 0), (TColorTriple{255, 255, 255})); // setters do not repaint
    StartRefreshBackground(scene.region, BackgroundColor).Run();
    EXPECT_EQ(PixelOf(scene.picture, 0, 0), (TColorTriple{0, 0, 0}));
    StartRefreshBackground(scene.region, BackgroundMonochrome).Run();
    EXPECT_EQ(PixelOf(scene.picture, 0, 0), (TColorTriple{0, 0, 0}));
    EXPECT_EQ(PixelOf(scene.picture, 10, 10), kDisc);
}

TEST(Clipping, ClearGivesThePictureBack)
{
    DiscScene scene;
    TKvPixelBuffer original;
    CopyPicture(original, scene.picture);
    ASSERT_TRUE(scene.Separate());
    StartShowEffect(scene.region, BackgroundMonochrome).Run();
    StartClear(scene.region).Run();
    EXPECT_TRUE(scene.region.IsEmpty());
    EXPECT_TRUE(SamePixels(scene.picture, original));
}

TEST(Clipping, DoneKeepsTheRenderedPicture)
{
    DiscScene scene;
    ASSERT_TRUE(scene.Separate());
    scene.region.SetShadowLevel(2);
    StartShowEffect(scene.region, BackgroundShadow).Run();
    scene.region.ResetCurrent();
    EXPECT_TRUE(scene.region.IsEmpty());
    EXPECT_EQ(PixelOf(scene.picture, 0, 0), (TColorTriple{100, 60, 5}));
}

// ---------------------------------------------------------------------------
// The object's matte

TEST(Clipping, TheMatteIsOpaqueWhereTheObjectShows)
{
    DiscScene scene;
    ASSERT_TRUE(scene.Separate());
    StartShowEffect(scene.region, BackgroundColor).Run();
    TAlphaChanal matte;
    const TRect bounds = BuildObjectMatte(scene.region, matte);
    EXPECT_EQ(bounds, (TRect{4, 4, 17, 17}));
    EXPECT_EQ(matte.Width(), 13);
    EXPECT_EQ(matte.GetAlpha(6, 6), 255);
    EXPECT_EQ(matte.GetAlpha(0, 0), 0);
    EXPECT_EQ(matte.GetAlpha(0, 6), 51 * 2); // the disc's left-most pixel: itself and its right neighbour
}

TEST(Clipping, BackgroundPixelsOfAnyKindAreTransparentInTheMatte)
{
    // 'B' is a band pixel no area reached, shown with the background effect
    // like 'I', a pixel of segment 8: both are transparent, so the middle
    // cell smooths to 3 opaque cells of 5.
    Scene scene(3, 3);
    PaintLabels(scene.region, {"999", "9B9", "9I9"});
    TAlphaChanal matte;
    EXPECT_EQ(BuildObjectMatte(scene.region, matte), (TRect{0, 0, 3, 3}));
    EXPECT_EQ(matte.GetAlpha(1, 1), 153);
}

TEST(Clipping, WithoutAnObjectTheMatteIsEmpty)
{
    Scene scene(4, 4);
    TAlphaChanal matte;
    EXPECT_TRUE(BuildObjectMatte(scene.region, matte).IsEmpty());
    EXPECT_EQ(matte.Width(), 0);
}

} // namespace

// ---------------------------------------------------------------------------
// Threads

namespace {

// The picture, every mark and the label counts, as bytes.
std::string RegionState(const Scene& scene)
{
    std::string state;
    for (int y = 0; y < scene.picture.Height; ++y)
        state.append(reinterpret_cast<const char*>(scene.picture.PixelAt(0, y)), std::size_t(scene.picture.Width) * 3);
    for (int x = 0; x < scene.region.Width(); ++x)
        state.append(reinterpret_cast<const char*>(scene.region.MarksColumn(x)),
                     std::size_t(scene.region.Height()) * sizeof(TMarkedPoint));
    for (int label = 0; label < 256; ++label)
        state += std::to_string(scene.region.CountOf(std::uint8_t(label))) + ",";
    return state;
}

std::string Text(const TRect& r)
{
    std::ostringstream text;
    text << r.Left << " " << r.Top << " " << r.Right << " " << r.Bottom << ";";
    return text.str();
}

// Every step of the clipping work on the scene, with what each reports to
// repaint and the state after it: Separate in whole generations or in
// parts, then each background effect shown, swapped, refreshed and cleared
// column group by column group.
std::vector<std::string> EveryStep(Scene& scene, std::size_t partCells)
{
    std::vector<std::string> steps;
    TMarkedPointArray bandMarks;
    bandMarks.SetSize(scene.region.Width(), scene.region.Height());
    TLabelCounts bandCounts{};
    const TRect all{0, 0, scene.region.Width(), scene.region.Height()};
    scene.region.CopyCurrent(bandCounts, all, bandMarks);
    for (int effect = BackgroundColor; effect <= BackgroundMonochrome; ++effect) {
        scene.region.RestoreCurrent(bandCounts, all, bandMarks);
        {
            TSeparation separation(scene.region);
            if (!separation.Encloses())
                return {"encloses nothing"};
            separation.StartGrowCut();
            TDirtyTiles dirty;
            dirty.SetSize(scene.region.Width(), scene.region.Height());
            std::string generations;
            while ((partCells == 0 ? separation.Step(dirty) : separation.StepPart(dirty, partCells)) > 0) {
                for (const TRect& r : dirty.Rects())
                    generations += Text(r);
                generations += "|";
                dirty.Clear();
            }
            steps.push_back(generations);
        }
        steps.push_back(RegionState(scene));
        scene.region.SetBlurLevel(1);
        scene.region.SetShadowLevel(3);
        scene.region.SetBackgroundColor(0x336699);
        scene.region.SetMonochromeColor(0x20C0FF);
        StartShowEffect(scene.region, effect).Run();
        steps.push_back(RegionState(scene));
        std::uint8_t object = ObjectSegment;
        StartSwap(scene.region, object, effect).Run();
        steps.push_back(RegionState(scene));
        scene.region.SetBlurLevel(2);
        TColumnPass refresh = StartRefreshBackground(scene.region, effect);
        std::string rects;
        for (TRect r; refresh.Next(r, 7);)
            rects += Text(r);
        steps.push_back(rects + RegionState(scene));
        TColumnPass clear = StartClear(scene.region);
        rects.clear();
        for (TRect r; clear.Next(r, 5);)
            rects += Text(r);
        steps.push_back(rects + RegionState(scene));
    }
    return steps;
}

// A noisy picture (few grey levels, so that equal forces are common) with a
// band of the given pixels.
template <typename InBand>
void MakeNoisyScene(Scene& scene, InBand inBand)
{
    std::mt19937 random(11);
    for (int y = 0; y < scene.region.Height(); ++y)
        for (int x = 0; x < scene.region.Width(); ++x) {
            const std::uint8_t v = std::uint8_t(40 * (random() % 6));
            SetPixel(scene.picture, x, y, {v, std::uint8_t(255 - v), std::uint8_t(v / 2)});
        }
    scene.Paint(LabelBand, inBand);
}

} // namespace

TEST(Clipping, EveryThreadCountGivesOneThreadsResults)
{
    struct Case {
        const char* name;
        int width;
        int height;
        std::function<bool(int, int)> inBand;
    };
    const std::vector<Case> cases = {
        {"a ring", 61, 47,
         [](int x, int y) {
             const double d = DistanceFromCentre(x, y, 30, 23);
             return d >= 9 && d <= 17;
         }},
        {"one column", 1, 3000, [](int, int y) { return (y >= 1000 && y < 1100) || (y >= 2000 && y < 2050); }},
        {"one row", 3000, 1, [](int x, int) { return (x >= 700 && x < 900) || x == 2999; }},
    };
    for (const Case& c : cases) {
        for (const std::size_t partCells : {std::size_t(0), std::size_t(5)}) {
            SCOPED_TRACE(testing::Message() << c.name << ", parts of " << partCells << " cells");
            Scene alone(c.width, c.height);
            MakeNoisyScene(alone, c.inBand);
            const std::vector<std::string> expected = EveryStep(alone, partCells);
            ASSERT_GT(expected.size(), 1u);
            for (const int threads : {2, 3, 7}) {
                // Everything shared, however small.
                TWorkerPool pool(threads, 1);
                Scene shared(c.width, c.height);
                shared.region.SetWorkerPool(&pool);
                MakeNoisyScene(shared, c.inBand);
                const std::vector<std::string> steps = EveryStep(shared, partCells);
                ASSERT_EQ(steps.size(), expected.size()) << threads << " threads";
                for (std::size_t i = 0; i < steps.size(); ++i)
                    ASSERT_TRUE(steps[i] == expected[i]) << threads << " threads, step " << i;
                EXPECT_TRUE(CountsAgree(shared.region));
            }
        }
    }
}

TEST(Clipping, ASeparateInTheArraysAnEarlierOneLeftFindsTheSameCut)
{
    // The earlier Separate's box is larger, so that the later one runs in
    // arrays full of its cells.
    TGrowCut::TMemory memory;
    Scene earlier(61, 47);
    MakeNoisyScene(earlier, [](int x, int y) {
        const double d = DistanceFromCentre(x, y, 30, 23);
        return d >= 9 && d <= 17;
    });
    {
        TSeparation separation(earlier.region, nullptr, &memory);
        separation.RunGrowCut();
    }
    DiscScene fresh;
    DiscScene lent;
    ASSERT_TRUE(fresh.Separate());
    {
        TSeparation separation(lent.region, nullptr, &memory);
        ASSERT_TRUE(separation.Encloses());
        separation.RunGrowCut();
    }
    EXPECT_EQ(RegionState(lent), RegionState(fresh));
    EXPECT_EQ(SegmentRows(lent.region), SegmentRows(fresh.region));
}
