#include "game/world/GPathGrid.h"

#include "engine/script/lua/luanumber.h"
#include "game/world/GGameObject.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

// Far beyond any play area; keeps every index of the search arrays an int.
constexpr int64_t kMaxSearchCells = int64_t{1} << 24;

constexpr float kDiagonalFactor = 1.4f;

} // namespace

GPathGrid::GPathGrid(float areaWidth, float areaHeight, float cellSize)
    : mAreaWidth(areaWidth), mAreaHeight(areaHeight), mCellSize(cellSize) {}

int GPathGrid::CellOf(float coordinate) const {
    return LuaNumberToInt(coordinate / mCellSize);
}

float GPathGrid::CellCentre(int index) const {
    return (static_cast<float>(index) + 0.5f) * mCellSize;
}

bool GPathGrid::Inside(int column, int row) const {
    return column >= 0 && column < mColumns && row >= 0 && row < mRows;
}

uint8_t GPathGrid::GetWalkValue(int column, int row) const {
    return Inside(column, row) ? mWalk[WalkIndex(column, row)] : 0;
}

void GPathGrid::Allocate() {
    mColumns = 0;
    mRows = 0;
    mHeapCount = 0;
    mWalk = {};
    mListState = {};
    mParentColumn = {};
    mParentRow = {};
    mCost = {};
    mHeap = {};
    mItems = {};

    // A partial cell at the right or bottom edge counts as a whole one.
    auto cellCount = [this](float extent) {
        const int whole = CellOf(extent);
        if (whole < 0) {
            return 0;
        }
        return extent > mCellSize * static_cast<float>(whole) ? whole + 1 : whole;
    };
    const int columns = cellCount(mAreaWidth);
    const int rows = cellCount(mAreaHeight);
    if (columns <= 0 || rows <= 0 ||
        (int64_t{columns} + 1) * (int64_t{rows} + 1) > kMaxSearchCells) {
        return;
    }
    mColumns = columns;
    mRows = rows;
    const auto cells = static_cast<size_t>(columns) * static_cast<size_t>(rows);
    const auto searchCells = static_cast<size_t>(columns + 1) * static_cast<size_t>(rows + 1);
    mWalk.assign(cells, 0);
    mListState.assign(searchCells, kNotListed);
    mParentColumn.assign(searchCells, 0);
    mParentRow.assign(searchCells, 0);
    mCost.assign(searchCells, 0.0f);
    // Every cell is put on the open list at most once; both arrays are 1-based.
    mHeap.assign(cells + 3, 0);
    mItems.assign(cells + 3, GItem{});
}

void GPathGrid::Clear(uint8_t value) {
    std::fill(mWalk.begin(), mWalk.end(), value);
}

void GPathGrid::Fill(const std::vector<GGameObject*>& objects) {
    Clear(0);
    for (const GGameObject* object : objects) {
        if (object == nullptr) {
            continue;
        }
        const std::vector<int8_t>& cells = object->GetWalkMaskCells();
        const int width = object->GetWalkMaskWidth();
        const int height = object->GetWalkMaskHeight();
        if (cells.empty() || static_cast<int64_t>(cells.size()) != int64_t{width} * height) {
            continue;
        }
        StampMask(object->GetPosition().x, object->GetPosition().y, width, height, cells.data());
    }
}

void GPathGrid::StampMask(float x, float y, int width, int height, const int8_t* cells) {
    if (width <= 0 || height <= 0 || cells == nullptr) {
        return;
    }
    const int64_t baseColumn = CellOf(x);
    const int64_t baseRow = CellOf(y);
    // Only the part of the mask over the table is visited, however large the mask.
    const int64_t firstColumn = std::max<int64_t>(0, -baseColumn);
    const int64_t endColumn = std::min<int64_t>(width, mColumns - baseColumn);
    const int64_t firstRow = std::max<int64_t>(0, -baseRow);
    const int64_t endRow = std::min<int64_t>(height, mRows - baseRow);
    for (int64_t r = firstRow; r < endRow; ++r) {
        for (int64_t c = firstColumn; c < endColumn; ++c) {
            mWalk[WalkIndex(static_cast<int>(baseColumn + c), static_cast<int>(baseRow + r))] =
                static_cast<uint8_t>(cells[(r * width) + c]);
        }
    }
}

TVec2 GPathGrid::SnapToCell(const TVec2& point) const {
    return TVec2((std::trunc(point.x / mCellSize) + 0.5f) * mCellSize,
                 (std::trunc(point.y / mCellSize) + 0.5f) * mCellSize);
}

void GPathGrid::SiftUp(int position, bool onTies) {
    while (position != 1) {
        const int parent = position / 2;
        const float parentF = mItems[mHeap[parent]].f;
        const float f = mItems[mHeap[position]].f;
        if (onTies ? parentF < f : parentF <= f) {
            break;
        }
        std::swap(mHeap[parent], mHeap[position]);
        position = parent;
    }
}

void GPathGrid::SiftDown() {
    int v = 1;
    for (;;) {
        const int u = v;
        const int left = 2 * u;
        const int right = left + 1;
        // A child moves up over an equal parent, and the right child over an equal left one.
        if (left <= mHeapCount && mItems[mHeap[u]].f >= mItems[mHeap[left]].f) {
            v = left;
        }
        if (right <= mHeapCount && mItems[mHeap[v]].f >= mItems[mHeap[right]].f) {
            v = right;
        }
        if (u == v) {
            return;
        }
        std::swap(mHeap[u], mHeap[v]);
    }
}

bool GPathGrid::FindPath(int startColumn, int startRow, int goalColumn, int goalRow,
                         std::vector<GPathCell>& out, bool smooth) {
    out.clear();
    if (mColumns == 0 || !Inside(startColumn, startRow) || !Inside(goalColumn, goalRow) ||
        (startColumn == goalColumn && startRow == goalRow)) {
        return false;
    }
    std::fill(mListState.begin(), mListState.end(), kNotListed);
    const int goal = SearchIndex(goalColumn, goalRow);
    int itemCount = 1;
    mItems[1] = GItem{startColumn, startRow, 0.0f, 0.0f};
    mCost[SearchIndex(startColumn, startRow)] = 0.0f;
    mHeap[1] = 1;
    mHeapCount = 1;

    while (mListState[goal] != kOpen) {
        if (mHeapCount == 0) {
            return false;
        }
        const int currentColumn = mItems[mHeap[1]].column;
        const int currentRow = mItems[mHeap[1]].row;
        const int current = SearchIndex(currentColumn, currentRow);
        mListState[current] = kClosed;
        mHeap[1] = mHeap[mHeapCount];
        --mHeapCount;
        SiftDown();

        for (int row = currentRow - 1; row <= currentRow + 1; ++row) {
            for (int column = currentColumn - 1; column <= currentColumn + 1; ++column) {
                if (!Inside(column, row)) {
                    continue;
                }
                const int cell = SearchIndex(column, row);
                if (mListState[cell] == kClosed) {
                    continue;
                }
                const bool diagonal = column != currentColumn && row != currentRow;
                if (diagonal && (mWalk[WalkIndex(column, currentRow)] == kWall ||
                                 mWalk[WalkIndex(currentColumn, row)] == kWall)) {
                    continue;
                }
                float step = static_cast<float>(mWalk[WalkIndex(column, row)]) + 1.0f;
                if (diagonal) {
                    step *= kDiagonalFactor;
                }
                const float cost = mCost[current] + step;
                if (mListState[cell] != kOpen) {
                    ++itemCount;
                    GItem& item = mItems[itemCount];
                    item.column = column;
                    item.row = row;
                    item.h =
                        static_cast<float>(std::abs(column - goalColumn) + std::abs(row - goalRow));
                    item.f = cost + item.h;
                    mCost[cell] = cost;
                    mParentColumn[cell] = currentColumn;
                    mParentRow[cell] = currentRow;
                    ++mHeapCount;
                    mHeap[mHeapCount] = itemCount;
                    SiftUp(mHeapCount, true);
                    mListState[cell] = kOpen;
                } else if (mCost[cell] > cost) {
                    mCost[cell] = cost;
                    mParentColumn[cell] = currentColumn;
                    mParentRow[cell] = currentRow;
                    int position = 1;
                    while (mItems[mHeap[position]].column != column ||
                           mItems[mHeap[position]].row != row) {
                        ++position;
                    }
                    GItem& item = mItems[mHeap[position]];
                    item.f = cost + item.h;
                    SiftUp(position, false);
                }
            }
        }
    }

    // The parents lead back from the goal to the start, which has none.
    GPathCell cell{goalColumn, goalRow};
    while (cell.column != startColumn || cell.row != startRow) {
        out.push_back(cell);
        const int index = SearchIndex(cell.column, cell.row);
        cell = GPathCell{mParentColumn[index], mParentRow[index]};
    }
    out.push_back(cell);
    std::reverse(out.begin(), out.end());
    if (smooth) {
        SmoothPath(out);
    }
    return true;
}

bool GPathGrid::LineIsClear(const GPathCell& from, const GPathCell& to) const {
    const double dx = static_cast<double>(to.column) - from.column;
    const double dy = static_cast<double>(to.row) - from.row;
    const double length = std::hypot(dx, dy);
    // One sample per cell length, the start included; at the whole length the sample is exact.
    for (int t = 0; t <= length; ++t) {
        const double along = length > 0.0 ? t / length : 0.0;
        const auto column = static_cast<int>(std::floor(from.column + (dx * along)));
        const auto row = static_cast<int>(std::floor(from.row + (dy * along)));
        if (GetWalkValue(column, row) > kSmoothLimit) {
            return false;
        }
    }
    return true;
}

void GPathGrid::SmoothPath(std::vector<GPathCell>& cells) const {
    size_t anchor = 0;
    while (anchor + 2 < cells.size()) {
        if (LineIsClear(cells[anchor], cells[anchor + 2])) {
            cells.erase(cells.begin() + static_cast<std::ptrdiff_t>(anchor + 1));
        } else {
            ++anchor;
        }
    }
}

void GPathGrid::PlanPath(const TVec2& from, const TVec2& to, GPathPoints& out) {
    out.clear();
    FindPath(CellOf(from.x), CellOf(from.y), CellOf(to.x), CellOf(to.y), mPlanCells, true);
    out.push_back(from);
    // The centres of the start and goal cells give way to the exact ends.
    for (size_t i = 1; i + 1 < mPlanCells.size(); ++i) {
        out.emplace_back(CellCentre(mPlanCells[i].column), CellCentre(mPlanCells[i].row));
    }
    out.push_back(to);
}
