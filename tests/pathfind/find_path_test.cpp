#include "quarvel/pathfind.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "pathfind/planner.h"
#include "reference_search.h"

namespace quarvel {
namespace {

using Path = std::vector<std::pair<int, int>>;

NumberArray make_map(int width, int height, const std::vector<double>& costs) {
  NumberArray map;
  dim_array(map, width, height);
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) map(x, y) = costs[static_cast<size_t>(x + y * width)];
  return map;
}

NumberArray open_map(int width, int height, double cost = 1) {
  return make_map(width, height, std::vector<double>(static_cast<size_t>(width * height), cost));
}

// The cells in the path array, after checking its n x 2 shape.
Path read_path(const NumberArray& path, double n) {
  EXPECT_EQ(path.size_0, static_cast<int32_t>(n));
  EXPECT_EQ(path.size_1, 2);
  Path cells;
  for (int i = 0; i < path.size_0; ++i) cells.emplace_back(static_cast<int>(path(i, 0)), static_cast<int>(path(i, 1)));
  return cells;
}

Path find(const NumberArray& map, double weight, int sx, int sy, int gx, int gy) {
  NumberArray path;
  const double n = find_path(map, path, weight, sx, sy, gx, gy);
  if (n == 0) {
    EXPECT_EQ(path.size_0, 0);
    return {};
  }
  return read_path(path, n);
}

// A path array holding {7, 8, 9}: a call that must not touch it leaves it so.
NumberArray marked_path() {
  NumberArray path;
  fill_array(path, {7, 8, 9});
  return path;
}

void expect_marked(const NumberArray& path) {
  EXPECT_EQ(path.dimensions, 1);
  ASSERT_EQ(path.size_0, 3);
  EXPECT_EQ(path(0), 7);
  EXPECT_EQ(path(1), 8);
  EXPECT_EQ(path(2), 9);
}

TEST(FindPath, ThreeByOneGridGivesThreePointsInOrder) {
  const NumberArray map = open_map(3, 1);
  NumberArray path = marked_path();
  const double n = find_path(map, path, 0.5, 0, 0, 2, 0);
  EXPECT_EQ(n, 3);
  EXPECT_EQ(path.dimensions, 2);
  EXPECT_EQ(read_path(path, n), (Path{{0, 0}, {1, 0}, {2, 0}}));
  // Backwards, and with coordinates that truncate to the same cells.
  EXPECT_EQ(find(map, 0.5, 2, 0, 0, 0), (Path{{2, 0}, {1, 0}, {0, 0}}));
  NumberArray again;
  EXPECT_EQ(find_path(map, again, 0.5, 0.9, 0.7, 2.99, -0.5), 3);
}

TEST(FindPath, FourNeighboursTieBreakGoesThroughTheRightNeighbourFirst) {
  // (x+1, y) is examined before (x, y+1), and on equal f the node that went
  // in first leaves first.
  for (double weight : {0.0, 0.5, 1.0}) {
    EXPECT_EQ(find(open_map(2, 2), weight, 0, 0, 1, 1), (Path{{0, 0}, {1, 0}, {1, 1}})) << weight;
    EXPECT_EQ(find(open_map(6, 5), weight, 0, 0, 1, 1), (Path{{0, 0}, {1, 0}, {1, 1}})) << weight;
  }
  // From the other corner (x-1, y) comes after (x+1, y) and (x, y-1) first.
  EXPECT_EQ(find(open_map(2, 2), 0.5, 1, 1, 0, 0), (Path{{1, 1}, {1, 0}, {0, 0}}));
}

TEST(FindPath, PrefersCheapCellsAndScalingEveryCostKeepsThePath) {
  // Of two ways of the same length the cheaper one wins, whatever the
  // tie-break would have chosen.
  for (double weight : {0.0, 0.5})
    EXPECT_EQ(find(make_map(2, 2, {1, 9, 1, 1}), weight, 0, 0, 1, 1), (Path{{0, 0}, {0, 1}, {1, 1}}));

  std::mt19937 rng(11);
  std::uniform_int_distribution<int> cost(0, 9);
  std::vector<double> field(20 * 15);
  for (double& c : field) c = cost(rng) < 2 ? 0 : cost(rng) + 1;
  field[0] = field.back() = 1;
  const NumberArray base = make_map(20, 15, field);
  for (double weight : {0.0, 0.5, 0.8}) {
    const Path expected = find(base, weight, 0, 0, 19, 14);
    ASSERT_FALSE(expected.empty());
    for (double factor : {0.5, 10.0, 1000.0, 1.0 / 64}) {
      std::vector<double> scaled = field;
      for (double& c : scaled) c *= factor;
      EXPECT_EQ(find(make_map(20, 15, scaled), weight, 0, 0, 19, 14), expected) << weight << " x" << factor;
    }
  }
}

TEST(FindPath, WeightIsClampedToZeroToOne) {
  // A map on which weights 0 and 1 take different paths.
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> cost(1, 20);
  std::vector<double> field(16 * 16);
  for (double& c : field) c = cost(rng);
  const NumberArray map = make_map(16, 16, field);
  const Path by_cost = find(map, 0, 0, 0, 15, 15);
  const Path by_distance = find(map, 1, 0, 0, 15, 15);
  ASSERT_NE(by_cost, by_distance);
  EXPECT_EQ(find(map, -0.25, 0, 0, 15, 15), by_cost);
  EXPECT_EQ(find(map, -1e300, 0, 0, 15, 15), by_cost);
  EXPECT_EQ(find(map, std::numeric_limits<double>::quiet_NaN(), 0, 0, 15, 15), by_cost);
  EXPECT_EQ(find(map, 1.5, 0, 0, 15, 15), by_distance);
  EXPECT_EQ(find(map, 1e300, 0, 0, 15, 15), by_distance);
}

TEST(FindPath, InvalidQueriesLeaveThePathArrayAlone) {
  const NumberArray map = open_map(4, 3);
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    double sx, sy, gx, gy;
  } queries[] = {
      {1, 1, 1, 1},     {1.2, 1, 1.9, 1},  // start equal to goal
      {-1, 0, 3, 2},    {0, -1, 3, 2},     {4, 0, 3, 2}, {0, 3, 3, 2},  // start outside
      {0, 0, -1, 0},    {0, 0, 0, -1},     {0, 0, 4, 2}, {0, 0, 3, 3},  // goal outside
      {1e12, 0, 3, 2},  {0, 0, -1e12, 2},  {nan, 0, 0, 0},               // huge, and NaN as 0
  };
  for (const auto& q : queries) {
    NumberArray path = marked_path();
    EXPECT_EQ(find_path(map, path, 0.5, q.sx, q.sy, q.gx, q.gy), 0) << q.sx << "," << q.sy << " " << q.gx << "," << q.gy;
    expect_marked(path);
  }

  // No positive cost anywhere.
  for (double fill : {0.0, -1.0, std::numeric_limits<double>::quiet_NaN()}) {
    NumberArray path = marked_path();
    EXPECT_EQ(find_path(open_map(4, 3, fill), path, 0.5, 0, 0, 3, 2), 0);
    expect_marked(path);
  }
  NumberArray path = marked_path();
  EXPECT_EQ(find_path(make_map(3, 1, {0, -2, -0.5}), path, 0.5, 0, 0, 2, 0), 0);
  expect_marked(path);
}

TEST(FindPath, MapsOfOtherShapes) {
  NumberArray path = marked_path();
  // Never dimensioned, empty, one-dimensional (no height): nothing to search.
  NumberArray never;
  EXPECT_EQ(find_path(never, path, 0.5, 0, 0, 1, 0), 0);
  NumberArray empty;
  dim_array(empty, 0);
  EXPECT_EQ(find_path(empty, path, 0.5, 0, 0, 1, 0), 0);
  NumberArray row;
  fill_array(row, {1, 1, 1});
  EXPECT_EQ(find_path(row, path, 0.5, 0, 0, 2, 0), 0);
  NumberArray negative;
  dim_array(negative, 3, -2);
  EXPECT_EQ(find_path(negative, path, 0.5, 0, 0, 2, 0), 0);
  expect_marked(path);

  // A three-dimensional map is searched on its first layer.
  NumberArray layered;
  dim_array(layered, 3, 2, 2);
  for (int x = 0; x < 3; ++x) layered(x, 1, 0) = 1;  // layer 0: only the lower row is open
  for (int x = 0; x < 3; ++x) layered(x, 0, 1) = 1;  // layer 1: only the upper row
  layered(0, 0, 0) = 1;
  layered(2, 0, 0) = 1;
  EXPECT_EQ(find(layered, 0.5, 0, 0, 2, 0), (Path{{0, 0}, {0, 1}, {1, 1}, {2, 1}, {2, 0}}));

  // The map may be the path array.
  NumberArray both = open_map(3, 2);
  const double n = find_path(both, both, 0.5, 0, 1, 2, 1);
  EXPECT_EQ(read_path(both, n), (Path{{0, 1}, {1, 1}, {2, 1}}));
}

TEST(FindPath, NoWayToTheGoalEmptiesThePathArray) {
  // The goal in a corner behind two rows of walls.
  std::vector<double> costs(6 * 5, 1);
  for (auto [x, y] : {std::pair{5, 3}, {4, 3}, {3, 4}, {4, 4}}) costs[static_cast<size_t>(x + y * 6)] = 0;
  NumberArray path = marked_path();
  EXPECT_EQ(find_path(make_map(6, 5, costs), path, 0.5, 0, 0, 5, 4), 0);
  EXPECT_EQ(path.size_0, 0);
  EXPECT_EQ(path.dimensions, 0);

  // The goal cell itself a wall.
  path = marked_path();
  EXPECT_EQ(find_path(make_map(3, 1, {1, 1, -3}), path, 0.5, 0, 0, 2, 0), 0);
  EXPECT_EQ(path.size_0, 0);

  // A wall is also what is not a number.
  EXPECT_EQ(find(make_map(3, 1, {1, std::numeric_limits<double>::quiet_NaN(), 1}), 0.5, 0, 0, 2, 0), Path{});
}

TEST(FindPath, TheStartCellsOwnCostIsNeverUsed) {
  EXPECT_EQ(find(make_map(3, 1, {0, 1, 1}), 0.5, 0, 0, 2, 0), (Path{{0, 0}, {1, 0}, {2, 0}}));
  EXPECT_EQ(find(make_map(3, 1, {-5, 1, 1}), 0.5, 0, 0, 2, 0).size(), 3u);
}

TEST(FindPath, CostsBeyondTheFloatRangeCountAsTheLargestFloat) {
  // Normalising by an infinite maximum would make costs of 0/0; such costs
  // count as FLT_MAX instead, which makes every ordinary cell cost 1.
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> cost(1, 9);
  std::vector<double> field(12 * 12);
  for (double& c : field) c = cost(rng);
  std::vector<double> with_huge = field, with_max = field;
  for (size_t i : {5u, 40u, 77u, 100u}) {
    with_huge[i] = i % 2 ? std::numeric_limits<double>::infinity() : 1e300;
    with_max[i] = FLT_MAX;
  }
  const Path expected = find(make_map(12, 12, with_max), 0.5, 0, 0, 11, 11);
  ASSERT_EQ(expected.size(), 23u);
  EXPECT_EQ(find(make_map(12, 12, with_huge), 0.5, 0, 0, 11, 11), expected);
}

// ---------------------------------------------- against the reference ---

Path planner_path(const test::ReferenceQuery& q, int32_t closed_exponent) {
  PlannerConfig config;
  config.start_x = q.start_x;
  config.start_y = q.start_y;
  config.goal_x = q.goal_x;
  config.goal_y = q.goal_y;
  config.flags = (q.diagonal_factor ? PlannerConfig::kDiagonalCostFactor : 0) |
                 (q.diagonal_moves ? PlannerConfig::kDiagonalMoves : 0);
  config.closed_exponent = closed_exponent;
  config.weight = q.weight;
  config.width = q.width;
  config.height = q.height;
  config.map = q.map.data();
  AStarPlanner planner;
  if (!planner.configure(config)) return {};
  planner.start_search();
  planner.search();
  Path cells;
  for (const Node* n = planner.result(); n != nullptr; n = n->parent) cells.insert(cells.begin(), {n->x, n->y});
  return cells;
}

test::ReferenceQuery random_query(std::mt19937& rng, int max_side) {
  test::ReferenceQuery q;
  std::uniform_int_distribution<int> side(1, max_side);
  do {
    q.width = side(rng);
    q.height = side(rng);
  } while (q.width * q.height < 2);
  const double wall_share = std::uniform_real_distribution<double>(0, 0.4)(rng);
  const int kind = std::uniform_int_distribution<int>(0, 2)(rng);
  std::uniform_real_distribution<double> unit(0, 1);
  q.map.resize(static_cast<size_t>(q.width * q.height));
  for (double& c : q.map) {
    if (unit(rng) < wall_share) {
      c = unit(rng) < 0.5 ? 0 : -unit(rng) * 10;
    } else if (kind == 0) {
      c = 1;  // plain grid: everything is decided by the tie-breaks
    } else if (kind == 1) {
      c = std::uniform_int_distribution<int>(1, 9)(rng);
    } else {
      c = std::exp(unit(rng) * 8 - 4);
    }
  }
  std::uniform_int_distribution<int> xs(0, q.width - 1), ys(0, q.height - 1);
  do {
    q.start_x = xs(rng);
    q.start_y = ys(rng);
    q.goal_x = xs(rng);
    q.goal_y = ys(rng);
  } while (q.start_x == q.goal_x && q.start_y == q.goal_y);
  const float weights[] = {0.0f, 0.25f, 0.5f, 0.5f, 0.75f, 1.0f};
  q.weight = unit(rng) < 0.8 ? weights[std::uniform_int_distribution<int>(0, 5)(rng)] : static_cast<float>(unit(rng));
  return q;
}

bool has_positive_cost(const test::ReferenceQuery& q) {
  for (double c : q.map)
    if (c > 0) return true;
  return false;
}

TEST(FindPathReference, RandomGridsGiveTheReferencePath) {
  std::mt19937 rng(20240611);
  int found = 0;
  for (int round = 0; round < 600; ++round) {
    const test::ReferenceQuery q = random_query(rng, round < 500 ? 14 : 40);
    NumberArray map;
    dim_array(map, q.width, q.height);
    std::memcpy(map.elements, q.map.data(), q.map.size() * sizeof(double));
    NumberArray path = marked_path();
    const double n = find_path(map, path, q.weight, q.start_x, q.start_y, q.goal_x, q.goal_y);
    const Path expected = reference_search(q);
    SCOPED_TRACE(testing::Message() << "round " << round << ": " << q.width << "x" << q.height << " weight "
                                    << q.weight << " from " << q.start_x << "," << q.start_y << " to " << q.goal_x
                                    << "," << q.goal_y);
    if (!has_positive_cost(q)) {
      EXPECT_EQ(n, 0);
      expect_marked(path);
      continue;
    }
    ASSERT_EQ(n, static_cast<double>(expected.size()));
    if (n > 0) {
      ++found;
      EXPECT_EQ(read_path(path, n), expected);
    } else {
      EXPECT_EQ(path.size_0, 0);
    }
  }
  EXPECT_GT(found, 300);
}

TEST(FindPathReference, DiagonalMovesAndEveryClosedTableSize) {
  std::mt19937 rng(77);
  for (int round = 0; round < 300; ++round) {
    test::ReferenceQuery q = random_query(rng, 24);
    q.diagonal_moves = round % 3 != 0;
    q.diagonal_factor = round % 2 == 0;
    if (!has_positive_cost(q)) continue;
    const Path expected = reference_search(q);
    SCOPED_TRACE(testing::Message() << "round " << round);
    // One bucket, the size find_path's documentation started from, and one
    // bucket per cell: the table's size never changes the path.
    for (int32_t exponent : {0, 8, 9, 14})
      EXPECT_EQ(planner_path(q, exponent), expected) << "exponent " << exponent;
  }
}

TEST(FindPathReference, LargerGridsWithStrongEstimates) {
  // Weights above one half overrate the estimate, so expanded cells are
  // reached again more cheaply and go back onto the open list.
  std::mt19937 rng(4242);
  for (int round = 0; round < 6; ++round) {
    test::ReferenceQuery q;
    q.width = q.height = 64;
    q.map.resize(64 * 64);
    std::uniform_int_distribution<int> cost(-2, 9);
    for (double& c : q.map) c = cost(rng);
    q.start_x = q.start_y = 0;
    q.goal_x = q.goal_y = 63;
    q.map[0] = q.map.back() = 1;
    q.weight = 0.55f + 0.08f * static_cast<float>(round);
    EXPECT_EQ(planner_path(q, 12), reference_search(q)) << "round " << round;
  }
}

}  // namespace
}  // namespace quarvel
