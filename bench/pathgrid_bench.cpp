// Cost of one planned walk across the 40 x 30 play area when the grid is a serpentine maze: walls
// across every other row, open at alternate ends, so that the search opens nearly every cell and
// the walk runs the whole length of each corridor.
#include "game/world/GPathGrid.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

namespace {

void BuildMaze(GPathGrid& grid) {
    grid.Allocate();
    const int columns = grid.GetColumns();
    const std::vector<int8_t> wall(static_cast<size_t>(columns - 1), -1);
    for (int row = 1; row + 1 < grid.GetRows(); row += 2) {
        // The gap is at the right end of the first wall, then at the left end of the next.
        const int firstColumn = (row / 2) % 2 == 0 ? 0 : 1;
        grid.StampMask((static_cast<float>(firstColumn) + 0.5f) * grid.GetCellSize(),
                       (static_cast<float>(row) + 0.5f) * grid.GetCellSize(), columns - 1, 1,
                       wall.data());
    }
}

void BM_PlanPathThroughMaze(benchmark::State& state) {
    GPathGrid grid;
    BuildMaze(grid);
    GPathPoints points;
    const TVec2 from(10.0f, 10.0f);
    // The far end of the last corridor, which is entered at the left.
    const TVec2 to((static_cast<float>(grid.GetColumns()) - 0.5f) * grid.GetCellSize(),
                   (static_cast<float>(grid.GetRows()) - 0.5f) * grid.GetCellSize());
    for (auto _ : state) {
        grid.PlanPath(from, to, points);
        benchmark::DoNotOptimize(points.data());
    }
    state.counters["points"] = static_cast<double>(points.size());
}
BENCHMARK(BM_PlanPathThroughMaze)->Unit(benchmark::kMicrosecond);

} // namespace
