#include "quarvel/pathfind.h"

#include <algorithm>

#include "pathfind/planner.h"
#include "values/truncate.h"

namespace quarvel {

namespace {

// Closed-table exponent for a grid: 2^8 buckets at least, and enough that
// every cell of the grid has a bucket of its own, so that a lookup walks at
// most one node. The table's cap and a limit of four buckets per cell (for
// long thin grids) come first; the buckets then share their cells evenly.
int32_t closed_exponent_for(int32_t width, int32_t height) {
  const int64_t side = std::max(width, height);
  const int64_t cells = int64_t{width} * height;
  int32_t half = 4;
  while (half < NodeHashTable::kMaxExponent / 2 && (int64_t{1} << half) < side &&
         (int64_t{1} << (2 * half + 2)) <= 4 * cells)
    ++half;
  return 2 * half;
}

}  // namespace

double find_path(const NumberArray& map, NumberArray& path, double weight, double start_x, double start_y,
                 double goal_x, double goal_y) {
  PlannerConfig config;
  config.start_x = truncate_to_int32(start_x);
  config.start_y = truncate_to_int32(start_y);
  config.goal_x = truncate_to_int32(goal_x);
  config.goal_y = truncate_to_int32(goal_y);
  config.flags = PlannerConfig::kDiagonalCostFactor;
  config.node_capacity = 0;
  config.open_capacity = 0;
  config.width = map.size_0;
  config.height = map.size_1;
  config.closed_exponent = closed_exponent_for(config.width, config.height);
  config.weight = weight > 0 ? static_cast<float>(std::min(weight, 1.0)) : 0.0f;
  config.map = map.elements;

  AStarPlanner planner;
  if (!planner.configure(config)) return 0;
  planner.start_search();
  planner.search();

  int32_t n = 0;
  for (const Node* node = planner.result(); node != nullptr; node = node->parent) ++n;
  if (n > 0) {
    redim_array(path, n, 2);
    int32_t i = n;
    for (const Node* node = planner.result(); node != nullptr; node = node->parent) {
      --i;
      array_element(path, i, 0) = node->x;
      array_element(path, i, 1) = node->y;
    }
    planner.clear_search();
    return array_size(path, 0);
  }
  redim_array(path, 0);
  return 0;
}

}  // namespace quarvel
