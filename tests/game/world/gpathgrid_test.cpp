// The path grid: its sizing, the walk values stamped from masks, the cell snapping, the A* search
// (costs, the corner rule, the heap's tie rules and the neighbour order, worked out by hand), the
// smoothing and the planned point lists.

#include "game/world/GPathGrid.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <utility>
#include <vector>

namespace gpathgrid_test {
namespace {

using Cells = std::vector<GPathCell>;

// A grid of columns x rows cells of 20 units, every cell free.
GPathGrid SizedGrid(int columns, int rows) {
    GPathGrid grid(static_cast<float>(columns) * 20.0f, static_cast<float>(rows) * 20.0f);
    grid.Allocate();
    return grid;
}

void SetCell(GPathGrid& grid, int column, int row, uint8_t value) {
    const auto cell = static_cast<int8_t>(value);
    grid.StampMask((static_cast<float>(column) * 20.0f) + 1.0f,
                   (static_cast<float>(row) * 20.0f) + 1.0f, 1, 1, &cell);
}

// The points as (x, y) pairs, for comparing whole lists.
std::vector<std::pair<float, float>> Xy(const GPathPoints& points) {
    std::vector<std::pair<float, float>> pairs;
    for (const TVec2& point : points) {
        pairs.emplace_back(point.x, point.y);
    }
    return pairs;
}

std::vector<uint8_t> Row(const GPathGrid& grid, int row) {
    std::vector<uint8_t> values;
    for (int column = 0; column < grid.GetColumns(); ++column) {
        values.push_back(grid.GetWalkValue(column, row));
    }
    return values;
}

TEST(GPathGridTest, AllocateCountsAPartialCellWhole) {
    struct Case {
        float width;
        float height;
        int columns;
        int rows;
    };
    const Case cases[] = {
        {800.0f, 600.0f, 40, 30},
        {810.0f, 600.0f, 41, 30},
        {800.0f, 601.0f, 40, 31},
        {19.0f, 1.0f, 1, 1},
        {0.0f, 600.0f, 0, 0},
        {-40.0f, 600.0f, 0, 0},
        {std::numeric_limits<float>::quiet_NaN(), 600.0f, 0, 0},
    };
    for (const Case& c : cases) {
        GPathGrid grid(c.width, c.height);
        grid.Allocate();
        EXPECT_EQ(grid.GetColumns(), c.columns) << c.width << " x " << c.height;
        EXPECT_EQ(grid.GetRows(), c.rows) << c.width << " x " << c.height;
    }
}

TEST(GPathGridTest, ConstructedEmptyOnTheDefaultAreaWithItsSwitchesOff) {
    GPathGrid grid;
    EXPECT_EQ(grid.GetColumns(), 0);
    EXPECT_EQ(grid.GetCellSize(), 20.0f);
    EXPECT_FALSE(grid.GetShowGrid());
    EXPECT_FALSE(grid.GetShowWalkability());
    EXPECT_FALSE(grid.GetShowPathPoints());
    grid.SetShowWalkability(true);
    EXPECT_TRUE(grid.GetShowWalkability());
    EXPECT_FALSE(grid.GetShowGrid());

    Cells cells{{1, 1}};
    EXPECT_FALSE(grid.FindPath(0, 0, 3, 3, cells, false));
    EXPECT_TRUE(cells.empty());

    grid.Allocate();
    EXPECT_EQ(grid.GetColumns(), 40);
    EXPECT_EQ(grid.GetRows(), 30);
}

TEST(GPathGridTest, ClearSetsEveryCellAndAllocateFreesThemAgain) {
    GPathGrid grid = SizedGrid(4, 3);
    grid.Clear(7);
    for (int row = 0; row < 3; ++row) {
        EXPECT_EQ(Row(grid, row), (std::vector<uint8_t>{7, 7, 7, 7}));
    }
    grid.Allocate();
    EXPECT_EQ(Row(grid, 2), (std::vector<uint8_t>{0, 0, 0, 0}));
    EXPECT_EQ(grid.GetWalkValue(-1, 0), 0);
    EXPECT_EQ(grid.GetWalkValue(4, 0), 0);
}

TEST(GPathGridTest, MasksStampFromTheCellOfTheirPositionRowAfterRow) {
    GPathGrid grid;
    grid.Allocate();
    const int8_t mask[] = {1, 2, 3, 4};
    grid.StampMask(30.0f, 50.0f, 2, 2, mask);
    EXPECT_EQ(grid.GetWalkValue(1, 2), 1);
    EXPECT_EQ(grid.GetWalkValue(2, 2), 2);
    EXPECT_EQ(grid.GetWalkValue(1, 3), 3);
    EXPECT_EQ(grid.GetWalkValue(2, 3), 4);
    EXPECT_EQ(grid.GetWalkValue(0, 2), 0);
    EXPECT_EQ(grid.GetWalkValue(3, 3), 0);
    EXPECT_EQ(grid.GetWalkValue(1, 4), 0);

    // Later masks overwrite, negative bytes are the high values.
    const int8_t wall[] = {-1};
    grid.StampMask(45.0f, 75.0f, 1, 1, wall);
    EXPECT_EQ(grid.GetWalkValue(2, 3), 255);
}

TEST(GPathGridTest, MasksPastTheTableStampOnlyTheCellsInside) {
    struct Case {
        float x;
        float y;
        int column;
        int row;
        uint8_t value;
    };
    // A 3 x 2 mask whose bytes say where in it they are: 10 x row + column.
    const int8_t mask[] = {0, 1, 2, 10, 11, 12};
    const Case cases[] = {
        {790.0f, 590.0f, 39, 29, 0}, {770.0f, 590.0f, 39, 29, 1}, {-30.0f, -30.0f, 0, 0, 11},
        {-50.0f, 0.0f, 0, 0, 2},     {-50.0f, 0.0f, 0, 1, 12},
    };
    for (const Case& c : cases) {
        GPathGrid grid(800.0f, 600.0f);
        grid.Allocate();
        grid.Clear(99);
        grid.StampMask(c.x, c.y, 3, 2, mask);
        int stamped = 0;
        for (int row = 0; row < grid.GetRows(); ++row) {
            for (int column = 0; column < grid.GetColumns(); ++column) {
                stamped += grid.GetWalkValue(column, row) != 99 ? 1 : 0;
            }
        }
        EXPECT_EQ(grid.GetWalkValue(c.column, c.row), c.value) << c.x << ", " << c.y;
        EXPECT_LE(stamped, 2) << c.x << ", " << c.y;
    }

    // Positions no cell can hold stamp nothing.
    GPathGrid grid;
    grid.Allocate();
    for (float position : {std::numeric_limits<float>::quiet_NaN(), 1e30f, -1e30f}) {
        grid.StampMask(position, position, 3, 2, mask);
        grid.StampMask(position, 10.0f, 3, 2, mask);
    }
    for (int row = 0; row < grid.GetRows(); ++row) {
        EXPECT_EQ(Row(grid, row), std::vector<uint8_t>(40, 0));
    }
}

TEST(GPathGridTest, SnapToCellGivesTheCentreOfTheCellHoldingThePoint) {
    const GPathGrid grid;
    struct Case {
        TVec2 point;
        TVec2 centre;
    };
    const Case cases[] = {
        {{30.0f, 50.0f}, {30.0f, 50.0f}},
        {{0.0f, 39.9f}, {10.0f, 30.0f}},
        {{799.0f, 600.0f}, {790.0f, 610.0f}},
        // Truncation toward zero: a little left of the area is still the first column.
        {{-5.0f, -25.0f}, {10.0f, -10.0f}},
    };
    for (const Case& c : cases) {
        const TVec2 snapped = grid.SnapToCell(c.point);
        EXPECT_EQ(snapped.x, c.centre.x) << c.point.x;
        EXPECT_EQ(snapped.y, c.centre.y) << c.point.y;
    }
}

TEST(GPathGridTest, NoPathFromAnEndOutsideTheTableOrFromTheGoalItself) {
    GPathGrid grid = SizedGrid(5, 4);
    struct Case {
        int startColumn;
        int startRow;
        int goalColumn;
        int goalRow;
    };
    const Case cases[] = {
        {2, 2, 2, 2}, {-1, 0, 3, 3}, {0, -1, 3, 3}, {5, 0, 3, 3},
        {0, 4, 3, 3}, {0, 0, 5, 3},  {0, 0, 3, 4},  {0, 0, -1, 0},
    };
    for (const Case& c : cases) {
        Cells cells{{9, 9}};
        EXPECT_FALSE(grid.FindPath(c.startColumn, c.startRow, c.goalColumn, c.goalRow, cells, true))
            << c.startColumn << "," << c.startRow << " -> " << c.goalColumn << "," << c.goalRow;
        EXPECT_TRUE(cells.empty());
    }
}

TEST(GPathGridTest, DiagonalStepsMayNotCutTheCornerOfAWall) {
    // From (0, 0) to (1, 1) on 2 x 2 cells whose other two cells have the given values.
    struct Case {
        uint8_t right;
        uint8_t below;
        Cells path;
    };
    const Case cases[] = {
        {0, 0, {{0, 0}, {1, 1}}},
        {254, 254, {{0, 0}, {1, 1}}},
        // Both walls: the only way is straight through one of them. The step into (1, 0) comes
        // first in the neighbour order and the later (0, 1), equal in cost, rises over it.
        {255, 255, {{0, 0}, {0, 1}, {1, 1}}},
        {255, 0, {{0, 0}, {0, 1}, {1, 1}}},
        {0, 255, {{0, 0}, {1, 0}, {1, 1}}},
    };
    for (const Case& c : cases) {
        GPathGrid grid = SizedGrid(2, 2);
        SetCell(grid, 1, 0, c.right);
        SetCell(grid, 0, 1, c.below);
        Cells cells;
        EXPECT_TRUE(grid.FindPath(0, 0, 1, 1, cells, false));
        EXPECT_EQ(cells, c.path) << int{c.right} << ", " << int{c.below};
    }
}

TEST(GPathGridTest, AStraightStepIntoAWallCosts256) {
    // S W G over a detour row of value v: going round takes three steps of v + 1 and one of 1,
    // cheaper than 256 + 1 up to v = 84. The diagonals beside the wall are refused.
    struct Case {
        uint8_t detour;
        Cells path;
    };
    const Case cases[] = {
        {84, {{0, 0}, {0, 1}, {1, 1}, {2, 1}, {2, 0}}},
        {85, {{0, 0}, {1, 0}, {2, 0}}},
    };
    for (const Case& c : cases) {
        GPathGrid grid = SizedGrid(3, 2);
        SetCell(grid, 1, 0, 255);
        for (int column = 0; column < 3; ++column) {
            SetCell(grid, column, 1, c.detour);
        }
        Cells cells;
        EXPECT_TRUE(grid.FindPath(0, 0, 2, 0, cells, false));
        EXPECT_EQ(cells, c.path) << int{c.detour};
    }
}

// 5 x 5 cells with a wall at (1, 1) and (2, 1); from (1, 3) to (2, 0). The routes round the left
// end and round the right end cost the same; the left one wins because every item whose F equals
// its parent's rises over it (going in) and the right child of two equal ones comes out first.
// Worked by hand: after (1, 3), (2, 2), (1, 2) and (2, 3) are expanded, (0, 2) at F 5.4 is on
// top; its neighbour (0, 1) (F 5.4) rises over (3, 2) (F 5.4) to the top, then (0, 0) and (1, 0)
// do the same, and (1, 0) opens the goal.
TEST(GPathGridTest, AWorkedSearchFollowsTheHeapsTieRulesAndTheNeighbourOrder) {
    GPathGrid grid = SizedGrid(5, 5);
    SetCell(grid, 1, 1, 255);
    SetCell(grid, 2, 1, 255);
    Cells cells;
    ASSERT_TRUE(grid.FindPath(1, 3, 2, 0, cells, false));
    EXPECT_EQ(cells, (Cells{{1, 3}, {0, 2}, {0, 1}, {0, 0}, {1, 0}, {2, 0}}));

    // Smoothed: (1, 3) sees (0, 1) and then (0, 0) past (0, 2); the line on to (1, 0) crosses the
    // wall at (1, 1), so (0, 0) stays and sees the goal along the free top row.
    ASSERT_TRUE(grid.FindPath(1, 3, 2, 0, cells, true));
    EXPECT_EQ(cells, (Cells{{1, 3}, {0, 0}, {2, 0}}));

    GPathPoints points;
    grid.PlanPath(TVec2(25.0f, 75.0f), TVec2(55.0f, 3.0f), points);
    EXPECT_EQ(Xy(points), (std::vector<std::pair<float, float>>{{25, 75}, {10, 10}, {55, 3}}));

    // A search reuses the arrays of the one before.
    ASSERT_TRUE(grid.FindPath(1, 3, 2, 0, cells, false));
    EXPECT_EQ(cells.size(), 6u);
}

// 5 x 5 cells; the goal (4, 4) lies in a corner closed by walls at (3, 4) and (4, 3), which the
// diagonal from (3, 3) may not cut. Worked by hand from (3, 2): both walls are opened from (3, 3)
// at F 258, (3, 4) first; the search then closes all 22 free cells, and the last heap holds
// (3, 4) on top with (4, 3) as its left child. A left child equal to its parent moves up, so
// (4, 3) is expanded first and opens the goal.
TEST(GPathGridTest, AWorkedSearchTakesTheEqualLeftChildFirst) {
    GPathGrid grid = SizedGrid(5, 5);
    SetCell(grid, 3, 4, 255);
    SetCell(grid, 4, 3, 255);
    Cells cells;
    ASSERT_TRUE(grid.FindPath(3, 2, 4, 4, cells, false));
    EXPECT_EQ(cells, (Cells{{3, 2}, {3, 3}, {4, 3}, {4, 4}}));
}

TEST(GPathGridTest, SmoothingKeepsBothEndsAndStopsAtACellAbove10) {
    struct Case {
        uint8_t middle;
        Cells smoothed;
    };
    const Case cases[] = {
        {10, {{0, 0}, {4, 0}}},
        // Every line from or through the cell is blocked, its own first sample included.
        {11, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}},
        {255, {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}}},
    };
    for (const Case& c : cases) {
        GPathGrid grid = SizedGrid(5, 1);
        SetCell(grid, 2, 0, c.middle);
        Cells cells{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}};
        grid.SmoothPath(cells);
        EXPECT_EQ(cells, c.smoothed) << int{c.middle};
    }

    // The ends stay even where they lie in blocked cells; short lists are left alone.
    GPathGrid grid = SizedGrid(5, 5);
    SetCell(grid, 0, 0, 200);
    SetCell(grid, 4, 4, 200);
    Cells blockedStart{{0, 0}, {1, 1}, {2, 2}, {3, 3}, {4, 4}};
    grid.SmoothPath(blockedStart);
    EXPECT_EQ(blockedStart, (Cells{{0, 0}, {1, 1}, {4, 4}}));
    for (Cells cells : {Cells{}, Cells{{1, 1}}, Cells{{1, 1}, {3, 2}}}) {
        const Cells before = cells;
        grid.SmoothPath(cells);
        EXPECT_EQ(cells, before);
    }
}

TEST(GPathGridTest, PlanPathGoesFromTheExactStartToTheExactGoal) {
    GPathGrid grid;
    grid.Allocate();
    struct Case {
        TVec2 from;
        TVec2 to;
    };
    // No search (same cell, an end outside the table) or a free straight row: a straight walk.
    const Case cases[] = {
        {{5.0f, 5.0f}, {15.0f, 12.0f}},
        {{30.0f, 50.0f}, {370.0f, 55.0f}},
        {{-30.0f, 50.0f}, {370.0f, 55.0f}},
        {{30.0f, 50.0f}, {900.0f, 55.0f}},
    };
    for (const Case& c : cases) {
        GPathPoints points{{1.0f, 1.0f}};
        grid.PlanPath(c.from, c.to, points);
        EXPECT_EQ(Xy(points), Xy({c.from, c.to})) << c.from.x << " -> " << c.to.x;
    }

    GPathPoints points;
    grid.PlanPath(TVec2(std::numeric_limits<float>::quiet_NaN(), 50.0f), TVec2(370.0f, 55.0f),
                  points);
    ASSERT_EQ(points.size(), 2u);
    EXPECT_TRUE(std::isnan(points[0].x));
    EXPECT_EQ(points[1].x, 370.0f);

    GPathGrid unsized;
    unsized.PlanPath(TVec2(30.0f, 50.0f), TVec2(370.0f, 250.0f), points);
    EXPECT_EQ(Xy(points), (std::vector<std::pair<float, float>>{{30, 50}, {370, 250}}));
}

TEST(GPathGridTest, PlanPathTurnsAtCellCentresRoundAWall) {
    // A wall down column 5 from row 0 to row 9; from cell (2, 1) to cell (7, 1). The start sees
    // (5, 10), under the wall's end, but not (6, 10) past it: the line passes (5, 9). From
    // (5, 10) every line up to the right also passes (5, 9); (6, 10) sees the goal up column 6.
    GPathGrid grid;
    grid.Allocate();
    for (int row = 0; row < 10; ++row) {
        SetCell(grid, 5, row, 255);
    }
    GPathPoints points;
    grid.PlanPath(TVec2(50.0f, 30.0f), TVec2(150.0f, 30.0f), points);
    EXPECT_EQ(Xy(points),
              (std::vector<std::pair<float, float>>{{50, 30}, {110, 210}, {130, 210}, {150, 30}}));
}

} // namespace
} // namespace gpathgrid_test
