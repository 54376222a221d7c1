// The walkability grid of the play area and the path finder of the walking characters: an A*
// search over the cells, whose path is then shortened where a straight line may skip cells. The
// logical manager owns one, sizes it when the game data is set and fills it from each loaded
// level's objects. All search memory is made by Allocate and reused by every search. Main thread
// only.
#pragma once

#include "engine/core/vec.h"

#include <cstdint>
#include <vector>

class GGameObject;

struct GPathCell {
    int column = 0;
    int row = 0;

    bool operator==(const GPathCell& other) const = default;
};

// The world points a walker goes through, start first.
using GPathPoints = std::vector<TVec2>;

class GPathGrid {
public:
    static constexpr float kAreaWidth = 800.0f;
    static constexpr float kAreaHeight = 600.0f;
    static constexpr float kCellSize = 20.0f;

    // Walk values: 0 is free; a step into a cell costs its value + 1 (x 1.4 diagonally); a
    // diagonal step may not cut the corner of a kWall cell; smoothing keeps out of cells above
    // kSmoothLimit.
    static constexpr uint8_t kWall = 255;
    static constexpr uint8_t kSmoothLimit = 10;

    // The table stays empty (every search fails) until Allocate.
    explicit GPathGrid(float areaWidth = kAreaWidth, float areaHeight = kAreaHeight,
                       float cellSize = kCellSize);

    // Sizes the table to cover the area (a partial cell counts whole): every walk value 0, the
    // search memory made for the new size. An area that gives no cells leaves the table empty.
    void Allocate();

    // Every walk value 0, then the walk mask of each object that has one stamped at its
    // position, later objects over earlier ones.
    void Fill(const std::vector<GGameObject*>& objects);
    // Stamps a mask of width x height bytes (row after row; negative bytes are the high values)
    // with its first cell at the cell holding (x, y); cells outside the table are skipped.
    void StampMask(float x, float y, int width, int height, const int8_t* cells);
    // Sets every walk value.
    void Clear(uint8_t value);

    // The centre of the cell that holds the point.
    TVec2 SnapToCell(const TVec2& point) const;

    // The cells from start to goal, both included, into out. False with out empty when the table
    // is empty, an end is outside it, or start is goal.
    bool FindPath(int startColumn, int startRow, int goalColumn, int goalRow,
                  std::vector<GPathCell>& out, bool smooth);
    // Drops each cell that a straight line from an earlier kept cell to the cell after it
    // makes needless; the first and the last cell stay.
    void SmoothPath(std::vector<GPathCell>& cells) const;
    // from, the centres of the smoothed path's inner cells, then to. Without a path: [from, to].
    void PlanPath(const TVec2& from, const TVec2& to, GPathPoints& out);

    int GetColumns() const { return mColumns; }
    int GetRows() const { return mRows; }
    float GetCellSize() const { return mCellSize; }
    // 0 outside the table.
    uint8_t GetWalkValue(int column, int row) const;

    // Developer switches; nothing draws from them.
    void SetShowGrid(bool on) { mShowGrid = on; }
    bool GetShowGrid() const { return mShowGrid; }
    void SetShowWalkability(bool on) { mShowWalkability = on; }
    bool GetShowWalkability() const { return mShowWalkability; }
    void SetShowPathPoints(bool on) { mShowPathPoints = on; }
    bool GetShowPathPoints() const { return mShowPathPoints; }

private:
    enum : uint8_t { kNotListed = 0, kOpen = 11, kClosed = 12 };

    // One search record: a cell put on the open list.
    struct GItem {
        int column = 0;
        int row = 0;
        float f = 0.0f;
        float h = 0.0f;
    };

    bool Inside(int column, int row) const;
    int WalkIndex(int column, int row) const { return column * mRows + row; }
    int SearchIndex(int column, int row) const { return column * (mRows + 1) + row; }
    // The cell (truncated quotient) that holds a coordinate; out-of-range values give INT32_MIN.
    int CellOf(float coordinate) const;
    float CellCentre(int index) const;

    void SiftUp(int position, bool onTies);
    void SiftDown();
    bool LineIsClear(const GPathCell& from, const GPathCell& to) const;

    float mAreaWidth;
    float mAreaHeight;
    float mCellSize;
    bool mShowGrid = false;
    bool mShowWalkability = false;
    bool mShowPathPoints = false;

    int mColumns = 0;
    int mRows = 0;
    // [column][row].
    std::vector<uint8_t> mWalk;
    // [column][row] over (columns + 1) x (rows + 1).
    std::vector<uint8_t> mListState;
    std::vector<int> mParentColumn;
    std::vector<int> mParentRow;
    std::vector<float> mCost;
    // 1-based: mHeap[1 .. mHeapCount] are item numbers, mItems[1 ..] the items.
    std::vector<int> mHeap;
    int mHeapCount = 0;
    std::vector<GItem> mItems;
    // The cells of the last plan, kept so that planning reuses its memory.
    std::vector<GPathCell> mPlanCells;
};
