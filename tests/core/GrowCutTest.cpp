// GrowCut: forces, tie-breaks, seeds, unreachable cells, results, and the
// generation-by-generation course against a plain transcription of the rules.
#include "Clipping.h"
#include "GrowCut.h"
#include "RegionFixture.h"
#include "WorkerPool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace {

constexpr TColorTriple kBlack{0, 0, 0};
constexpr TColorTriple kWhite{255, 255, 255};

TColorTriple Grey(std::uint8_t v)
{
    return {v, v, v};
}

// A one-row or one-column picture of the given colours and labels (the band,
// labels 1 and 2, is undecided).
struct Line {
    TKvPixelBuffer picture;
    TMarkedRegion region;

    Line(const std::vector<TColorTriple>& colors, const std::string& labels, bool vertical = false)
    {
        const int n = int(colors.size());
        MakePicture(picture, vertical ? 1 : n, vertical ? n : 1);
        region.AttachImage(&picture);
        for (int i = 0; i < n; ++i) {
            const int x = vertical ? 0 : i;
            const int y = vertical ? i : 0;
            SetPixel(picture, x, y, colors[std::size_t(i)]);
            const char c = labels[std::size_t(i)];
            region.SetLabel(x, y, std::uint8_t(c == '.' ? 0 : c >= 'a' ? c - 'a' + 10 : c - '0'));
        }
        region.SetUnknownLabels(LabelRange(1, 2));
    }

    // Runs the automaton to the end and returns the segments, one character
    // per pixel.
    std::string Segments()
    {
        {
            TGrowCut growCut;
            growCut.Init(region);
            while (growCut.Step() > 0) {
            }
        }
        std::string segments;
        for (int x = 0; x < region.Width(); ++x)
            for (int y = 0; y < region.Height(); ++y)
                segments += LabelChar(region.SegmentAt(x, y));
        return segments;
    }
};

TEST(GrowCut, ABandCellGoesToTheRegionOfTheCloserColour)
{
    EXPECT_EQ(Line({kBlack, Grey(100), kWhite}, "819").Segments(), "889");
    EXPECT_EQ(Line({kBlack, Grey(160), kWhite}, "819").Segments(), "899");
}

TEST(GrowCut, OnEqualForcesTheAttackerPoppedFirstWins)
{
    // The rim seeds are pushed in column-major order and popped from the top,
    // so the seed scanned last attacks first and keeps the cell.
    struct Case {
        std::string labels;
        bool vertical;
        std::string expected;
    };
    const Case cases[] = {
        {"819", false, "899"},
        {"918", false, "988"},
        {"819", true, "899"},
        {"918", true, "988"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Line({Grey(0), Grey(100), Grey(200)}, c.labels, c.vertical).Segments(), c.expected)
            << c.labels << (c.vertical ? " down" : " across");
}

TEST(GrowCut, ABandCellOfTheSeedColourBecomesAsStrongAsASeed)
{
    Line line({Grey(40), Grey(40), Grey(90)}, "812");
    TGrowCut growCut;
    growCut.Init(line.region);
    EXPECT_EQ(growCut.Step(), 1);
    EXPECT_EQ(growCut.StrengthAt(1, 0), 1.0f);
    EXPECT_EQ(growCut.LabelAt(1, 0), 8);
    EXPECT_TRUE(growCut.ActiveChanged(0));
    EXPECT_EQ(growCut.Step(), 1);
    EXPECT_EQ(growCut.StrengthAt(2, 0), float(205 / 255.0));
}

TEST(GrowCut, BlackAgainstWhiteConquersNothingAndUnreachedCellsKeepTheirLabels)
{
    Line line({kBlack, kWhite, kWhite, kBlack}, "8129");
    EXPECT_EQ(line.Segments(), "8129");
}

TEST(GrowCut, SeedsLabelledZeroCompeteLikeAnyRegion)
{
    EXPECT_EQ(Line({kBlack, Grey(30), Grey(220), kWhite}, ".118").Segments(), "..88");
    EXPECT_EQ(Line({kWhite, Grey(30), Grey(30), kBlack}, ".118").Segments(), ".888");
}

TEST(GrowCut, WithoutUndecidedCellsItEndsAfterOneGeneration)
{
    Line line({kBlack, kWhite}, "89");
    TGrowCut growCut;
    growCut.Init(line.region);
    EXPECT_EQ(growCut.Step(), 0);
}

TEST(GrowCut, WithoutSeedsNothingHappens)
{
    Line line({kBlack, kBlack, kBlack}, "121");
    EXPECT_EQ(line.Segments(), "121");
}

TEST(GrowCut, IsBoundaryComparesTheFourNeighbours)
{
    TKvPixelBuffer picture;
    MakePicture(picture, 3, 3);
    TMarkedRegion region;
    region.AttachImage(&picture);
    PaintLabels(region, {"888", "889", "888"});
    TGrowCut growCut;
    growCut.Init(region);
    EXPECT_TRUE(growCut.IsBoundary(2, 1));
    EXPECT_TRUE(growCut.IsBoundary(1, 1));
    EXPECT_TRUE(growCut.IsBoundary(2, 0));
    EXPECT_FALSE(growCut.IsBoundary(0, 0));
    EXPECT_FALSE(growCut.IsBoundary(1, 0)); // diagonal neighbours do not count
}

// ---------------------------------------------------------------------------
// The rules written out plainly: a cell array per column, every weight
// computed, explicit neighbour checks, two stacks of points.
class ReferenceGrowCut {
public:
    struct Cell {
        float Strength = 0;
        float NextStrength = -1;
        std::uint8_t Label = 0;
        std::uint8_t NextLabel = 0;
        std::uint8_t WeightRight = 0;
        std::uint8_t WeightDown = 0;
        bool Queued = false;
        bool Changed = false;
    };

    explicit ReferenceGrowCut(const TMarkedRegion& region)
        : width(region.Width())
        , height(region.Height())
        , cells(std::size_t(width), std::vector<Cell>(std::size_t(height)))
    {
        const auto weight = [&](int x1, int y1, int x2, int y2) {
            const std::uint8_t* p = region.UnaffectedColor(x1, y1);
            const std::uint8_t* q = region.UnaffectedColor(x2, y2);
            int difference = 0;
            for (int c = 0; c < 3; ++c)
                difference = std::max(difference, std::abs(p[c] - q[c]));
            return std::uint8_t(255 - difference);
        };
        for (int x = 0; x < width; ++x) {
            for (int y = 0; y < height; ++y) {
                Cell& cell = At(x, y);
                cell.Label = region.LabelAt(x, y);
                cell.Strength = region.UnknownLabels().test(cell.Label) ? 0.0f : 1.0f;
                if (x < width - 1)
                    cell.WeightRight = weight(x, y, x + 1, y);
                if (y < height - 1)
                    cell.WeightDown = weight(x, y, x, y + 1);
            }
        }
        for (int x = 0; x < width; ++x)
            for (int y = 0; y < height; ++y)
                if (!region.UnknownLabels().test(At(x, y).Label) && IsBoundary(x, y))
                    active.push_back({x, y});
    }

    int Step()
    {
        while (!active.empty()) {
            const TPoint a = active.back();
            active.pop_back();
            const Cell& attacker = At(a.X, a.Y);
            if (a.Y + 1 < height)
                Attack(attacker, a.X, a.Y + 1, attacker.WeightDown);
            if (a.X + 1 < width)
                Attack(attacker, a.X + 1, a.Y, attacker.WeightRight);
            if (a.Y > 0)
                Attack(attacker, a.X, a.Y - 1, At(a.X, a.Y - 1).WeightDown);
            if (a.X > 0)
                Attack(attacker, a.X - 1, a.Y, At(a.X - 1, a.Y).WeightRight);
        }
        while (!next.empty()) {
            const TPoint p = next.back();
            next.pop_back();
            active.push_back(p);
            Cell& cell = At(p.X, p.Y);
            cell.Strength = cell.NextStrength;
            cell.NextStrength = -1;
            cell.Changed = cell.Label != cell.NextLabel;
            cell.Label = cell.NextLabel;
            cell.Queued = false;
        }
        return int(active.size());
    }

    Cell& At(int x, int y) { return cells[std::size_t(x)][std::size_t(y)]; }

    bool IsBoundary(int x, int y)
    {
        const std::uint8_t label = At(x, y).Label;
        return (x > 0 && At(x - 1, y).Label != label) || (x + 1 < width && At(x + 1, y).Label != label)
            || (y > 0 && At(x, y - 1).Label != label) || (y + 1 < height && At(x, y + 1).Label != label);
    }

    int width;
    int height;
    std::vector<std::vector<Cell>> cells;
    std::vector<TPoint> active;
    std::vector<TPoint> next;

private:
    void Attack(const Cell& attacker, int x, int y, std::uint8_t weight)
    {
        const float force = float(weight / 255.0 * attacker.Strength);
        Cell& target = At(x, y);
        if (force > std::max(target.Strength, target.NextStrength)) {
            target.NextStrength = force;
            target.NextLabel = attacker.Label;
            if (!target.Queued) {
                next.push_back({x, y});
                target.Queued = true;
            }
        }
    }
};

// Runs random pictures through the automaton and the plain rules side by
// side, with the region's work shared among threads (none: one thread).
void ExpectEveryGenerationFollowsThePlainRules(TWorkerPool* pool)
{
    std::mt19937 random(3);
    // Few distinct grey levels make equal weights, and so equal forces,
    // common: the tie-breaks are exercised on every picture.
    const std::uint8_t levels[] = {0, 60, 120, 180, 255};
    const std::uint8_t seeds[] = {0, 8, 9, 10};
    for (int round = 0; round < 80; ++round) {
        const int width = 1 + int(random() % 14);
        const int height = 1 + int(random() % 11);
        TKvPixelBuffer picture;
        MakePicture(picture, width, height);
        TMarkedRegion region;
        SetClippingLabelEffects(region);
        region.SetWorkerPool(pool);
        region.AttachImage(&picture);
        // Every other picture keeps its undecided cells inside a smaller
        // rectangle, as a band does, with only seeds around it.
        TRect band{0, 0, width, height};
        if (round % 2 == 1) {
            band.Left = int(random() % unsigned(width));
            band.Top = int(random() % unsigned(height));
            band.Right = band.Left + 1 + int(random() % unsigned(width - band.Left));
            band.Bottom = band.Top + 1 + int(random() % unsigned(height - band.Top));
        }
        for (int x = 0; x < width; ++x) {
            for (int y = 0; y < height; ++y) {
                const std::uint8_t v = levels[random() % 5];
                SetPixel(picture, x, y, {v, std::uint8_t(v / 2), v});
                const int kind = band.Contains(TPoint{x, y}) ? int(random() % 10) : 6 + int(random() % 4);
                region.SetLabel(x, y, kind < 6 ? std::uint8_t(1 + kind % 2) : seeds[kind - 6]);
            }
        }
        region.SetUnknownLabels(LabelRange(1, 2));

        ReferenceGrowCut reference(region);
        {
            TGrowCut growCut;
            growCut.Init(region);
            // Every third picture runs its generations in parts of a few
            // attackers, as the editor does on large pictures.
            const std::size_t part = round % 3 == 2 ? 1 + std::size_t(random() % 7) : 0;
            for (int generation = 0;; ++generation) {
                int n = 0;
                if (part == 0) {
                    n = growCut.Step();
                } else {
                    while (!growCut.AttackPart(part)) {
                    }
                    n = growCut.Commit();
                }
                ASSERT_EQ(n, reference.Step()) << "round " << round << " generation " << generation;
                for (int i = 0; i < n; ++i) {
                    const TPoint p = reference.active[std::size_t(i)];
                    ASSERT_EQ(growCut.ActivePoint(i), p);
                    ASSERT_EQ(growCut.ActiveChanged(i), reference.At(p.X, p.Y).Changed);
                    ASSERT_EQ(growCut.StrengthAt(p.X, p.Y), reference.At(p.X, p.Y).Strength);
                }
                for (int x = 0; x < width; ++x)
                    for (int y = 0; y < height; ++y)
                        ASSERT_EQ(growCut.IsBoundary(x, y), reference.IsBoundary(x, y)) << x << ", " << y;
                if (n == 0)
                    break;
            }
        }
        for (int x = 0; x < width; ++x)
            for (int y = 0; y < height; ++y)
                ASSERT_EQ(region.SegmentAt(x, y), reference.At(x, y).Label) << "round " << round;
    }
}

TEST(GrowCut, EveryGenerationFollowsThePlainRules)
{
    ExpectEveryGenerationFollowsThePlainRules(nullptr);
}

TEST(GrowCut, EveryGenerationFollowsThePlainRulesWithAnyNumberOfThreads)
{
    // Every generation shared, however small, so that strips that are empty,
    // that hold one column or that cut a column in the middle all occur.
    for (const int threads : {2, 3, 7}) {
        SCOPED_TRACE(testing::Message() << threads << " threads");
        TWorkerPool pool(threads, 1);
        ExpectEveryGenerationFollowsThePlainRules(&pool);
    }
}

TEST(GrowCut, ReadsTheUnaffectedColoursOfPixelsShowingAnEffect)
{
    // The middle cell shows the cut line's inversion (white here); its own
    // colour is near the left seed's.
    Line line({kBlack, Grey(20), kWhite}, "819");
    SetClippingLabelEffects(line.region);
    line.region.SetLabel(1, 0, LabelCutLine);
    line.region.SetUnknownLabels(LabelRange(1, 3));
    EXPECT_EQ(PixelOf(line.picture, 1, 0), kWhite);
    EXPECT_EQ(line.Segments(), "889");
}

} // namespace
