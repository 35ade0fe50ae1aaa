// The planner's parts: the ring buffer of the open list, the closed table,
// the node pool and the cost grid.
#include <gtest/gtest.h>

#include <cstring>
#include <deque>
#include <limits>
#include <random>
#include <utility>
#include <vector>

#include "pathfind/fixed_deque.h"
#include "pathfind/nodes.h"
#include "pathfind/planner.h"

namespace quarvel {
namespace {

std::vector<int> contents(const FixedDeque<int>& d) {
  std::vector<int> v;
  for (int32_t i = 0; i < d.size(); ++i) v.push_back(d.at(i));
  return v;
}

TEST(FixedDeque, FullEmptyAndOutOfRangeOperationsChangeNothing) {
  FixedDeque<int> d;
  EXPECT_FALSE(d.push_back(1));  // capacity 0
  ASSERT_TRUE(d.set_capacity(3));
  EXPECT_FALSE(d.pop_back());
  EXPECT_FALSE(d.pop_front());
  EXPECT_FALSE(d.remove(0));
  EXPECT_FALSE(d.insert(1, 5));  // beyond the size
  EXPECT_FALSE(d.insert(-1, 5));
  EXPECT_TRUE(d.push_back(2));
  EXPECT_TRUE(d.push_front(1));
  EXPECT_TRUE(d.insert(2, 3));
  EXPECT_TRUE(d.full());
  EXPECT_FALSE(d.push_back(4));
  EXPECT_FALSE(d.push_front(0));
  EXPECT_FALSE(d.insert(1, 9));
  EXPECT_FALSE(d.remove(3));
  EXPECT_EQ(contents(d), (std::vector<int>{1, 2, 3}));
  EXPECT_EQ(d.back(), 3);
  d.clear();
  EXPECT_TRUE(d.empty());
  EXPECT_EQ(d.capacity(), 3);
}

TEST(FixedDeque, BehavesLikeADequeThroughEveryWrapOfTheRing) {
  // Random operations against std::deque on small capacities, so that
  // the ring wraps at every place and the shifted pieces cross its end.
  std::mt19937 rng(1);
  for (int32_t capacity : {1, 2, 5, 8, 13}) {
    FixedDeque<int> d;
    ASSERT_TRUE(d.set_capacity(capacity));
    std::deque<int> model;
    for (int step = 0; step < 4000; ++step) {
      const int op = std::uniform_int_distribution<int>(0, 5)(rng);
      const int pos = std::uniform_int_distribution<int>(-1, static_cast<int>(model.size()) + 1)(rng);
      const bool room = static_cast<int32_t>(model.size()) < capacity;
      switch (op) {
        case 0:
          ASSERT_EQ(d.push_back(step), room);
          if (room) model.push_back(step);
          break;
        case 1:
          ASSERT_EQ(d.push_front(step), room);
          if (room) model.push_front(step);
          break;
        case 2:
          ASSERT_EQ(d.pop_back(), !model.empty());
          if (!model.empty()) model.pop_back();
          break;
        case 3:
          ASSERT_EQ(d.pop_front(), !model.empty());
          if (!model.empty()) model.pop_front();
          break;
        case 4: {
          const bool ok = room && pos >= 0 && pos <= static_cast<int>(model.size());
          ASSERT_EQ(d.insert(pos, step), ok);
          if (ok) model.insert(model.begin() + pos, step);
          break;
        }
        case 5: {
          const bool ok = pos >= 0 && pos < static_cast<int>(model.size());
          ASSERT_EQ(d.remove(pos), ok);
          if (ok) model.erase(model.begin() + pos);
          break;
        }
      }
      ASSERT_EQ(contents(d), std::vector<int>(model.begin(), model.end())) << "capacity " << capacity << " step " << step;
    }
  }
}

Node node_at(int32_t x, int32_t y) {
  Node n;
  std::memset(&n, 0, sizeof n);
  n.x = x;
  n.y = y;
  return n;
}

TEST(NodeHashTable, SizeAndBuckets) {
  NodeHashTable t;
  ASSERT_TRUE(t.set_size(8));
  EXPECT_EQ(t.bucket_count(), 256u);
  // The low four bits of x and of y.
  EXPECT_EQ(t.bucket_of(0, 0), 0u);
  EXPECT_EQ(t.bucket_of(17, 0), 1u);
  EXPECT_EQ(t.bucket_of(3, 2), 3u + (2u << 4));
  EXPECT_EQ(t.bucket_of(15 + 64, 15 + 32), 255u);
  ASSERT_TRUE(t.set_size(9));  // rounded down to even
  EXPECT_EQ(t.exponent(), 8);
  ASSERT_TRUE(t.set_size(31));  // capped
  EXPECT_EQ(t.exponent(), 24);
  ASSERT_TRUE(t.set_size(-3));
  EXPECT_EQ(t.bucket_count(), 1u);
}

TEST(NodeHashTable, InsertFindAndUnlinkWithinOneBucket) {
  NodeHashTable t;
  ASSERT_TRUE(t.set_size(8));
  // Three cells of the same bucket, one of another.
  Node a = node_at(1, 2), b = node_at(17, 2), c = node_at(1, 18), other = node_at(2, 2);
  for (Node* n : {&a, &b, &c, &other}) t.insert(n);
  t.insert(&b);  // already there: no second link, no loop
  EXPECT_EQ(t.find(17, 2), &b);
  EXPECT_EQ(t.find(1, 18), &c);
  EXPECT_EQ(t.find(33, 2), nullptr);
  t.unlink_found();  // after a miss: nothing happens
  EXPECT_EQ(t.find(1, 2), &a);

  ASSERT_EQ(t.find(17, 2), &b);  // the middle of the bucket
  t.unlink_found();
  EXPECT_EQ(t.find(17, 2), nullptr);
  EXPECT_EQ(t.find(1, 2), &a);
  EXPECT_EQ(t.find(1, 18), &c);
  EXPECT_EQ(t.find(2, 2), &other);
  t.insert(&b);
  EXPECT_EQ(t.find(17, 2), &b);

  t.clear();
  for (auto [x, y] : {std::pair{1, 2}, {17, 2}, {1, 18}, {2, 2}}) EXPECT_EQ(t.find(x, y), nullptr);
}

TEST(NodeFactory, HandsOutEachNodeOnceUntilGivenBack) {
  NodeFactory pool;
  EXPECT_EQ(pool.take(), nullptr);
  ASSERT_TRUE(pool.set_capacity(3));
  Node* a = pool.take();
  Node* b = pool.take();
  Node* c = pool.take();
  EXPECT_NE(a, b);
  EXPECT_NE(b, c);
  EXPECT_EQ(pool.take(), nullptr);
  EXPECT_EQ(pool.handed_out(), 3);
  pool.give_back_all();
  EXPECT_EQ(pool.take(), a);
}

PlannerConfig config_for(const std::vector<double>& map, int32_t width, int32_t height) {
  PlannerConfig c;
  c.width = width;
  c.height = height;
  c.map = map.data();
  c.goal_x = width - 1;
  c.goal_y = height - 1;
  return c;
}

TEST(Planner, CostsAreNormalisedToTheLargestAndWallsMarked) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const std::vector<double> map = {2, 4, 0, -1, 1, nan};
  AStarPlanner p;
  ASSERT_TRUE(p.configure(config_for(map, 3, 2)));
  EXPECT_EQ(p.cost(0, 0), 1.5f);
  EXPECT_EQ(p.cost(1, 0), 2.0f);
  EXPECT_EQ(p.cost(2, 0), kBlockedCell);
  EXPECT_EQ(p.cost(0, 1), kBlockedCell);
  EXPECT_EQ(p.cost(1, 1), 1.25f);
  EXPECT_EQ(p.cost(2, 1), kBlockedCell);
  // Pool and open list one entry per cell unless configured otherwise.
  EXPECT_EQ(p.node_pool().capacity(), 6);
  EXPECT_EQ(p.open_list().capacity(), 6);
  EXPECT_EQ(p.closed_table().bucket_count(), 256u);
  EXPECT_TRUE(p.idle());

  uint32_t bits;
  std::memcpy(&bits, &kDiagonalFactor, sizeof bits);
  EXPECT_EQ(bits, 0x3FB504F4u);
}

TEST(Planner, RefusesGridsBeyondA32BitCellCountBeforeReadingThem) {
  const std::vector<double> small(4, 1);
  PlannerConfig c = config_for(small, 70000, 70000);  // the map is never read
  AStarPlanner p;
  EXPECT_FALSE(p.configure(c));
  EXPECT_FALSE(p.configured());
}

TEST(Planner, WeightIsClampedAgainAndConfigureCanBeRepeated) {
  const std::vector<double> map(4 * 4, 3);
  AStarPlanner p;
  PlannerConfig c = config_for(map, 4, 4);
  c.weight = 4;
  c.node_capacity = 7;
  c.closed_exponent = 4;
  ASSERT_TRUE(p.configure(c));
  EXPECT_EQ(p.weight(), 1.0f);
  EXPECT_EQ(p.node_pool().capacity(), 7);
  c.weight = -1;
  c.width = 2;
  c.goal_x = 1;
  ASSERT_TRUE(p.configure(c));
  EXPECT_EQ(p.weight(), 0.0f);
  EXPECT_EQ(p.width(), 2);
  EXPECT_EQ(p.closed_table().bucket_count(), 16u);
}

TEST(Planner, ASearchRunsFromBusyToIdleAndClearSearchReturnsEveryNode) {
  const std::vector<double> map(5 * 5, 1);
  AStarPlanner p;
  ASSERT_TRUE(p.configure(config_for(map, 5, 5)));
  p.start_search();
  EXPECT_FALSE(p.idle());
  EXPECT_EQ(p.open_list().size(), 1);
  p.search();
  EXPECT_TRUE(p.idle());
  ASSERT_NE(p.result(), nullptr);
  EXPECT_EQ(p.result()->x, 4);
  EXPECT_EQ(p.result()->y, 4);
  EXPECT_EQ(p.closed_table().find(4, 4), p.result());
  EXPECT_GT(p.node_pool().handed_out(), 9);
  p.clear_search();
  EXPECT_TRUE(p.open_list().empty());
  EXPECT_EQ(p.node_pool().handed_out(), 0);
  // Searching again after clear_search gives the same path.
  p.start_search();
  p.search();
  ASSERT_NE(p.result(), nullptr);
  int length = 0;
  for (const Node* n = p.result(); n != nullptr; n = n->parent) ++length;
  EXPECT_EQ(length, 9);
}

TEST(Planner, APoolOrOpenListSmallerThanTheGridNeverOverruns) {
  // Only a configuration that find_path never makes: nodes that find no
  // room are dropped, and the search ends instead of writing past its
  // storage.
  const std::vector<double> map(30 * 30, 1);
  for (auto [pool, open] : {std::pair{5, 0}, {0, 3}, {2, 2}}) {
    AStarPlanner p;
    PlannerConfig c = config_for(map, 30, 30);
    c.node_capacity = pool;
    c.open_capacity = open;
    ASSERT_TRUE(p.configure(c));
    p.start_search();
    p.search();
    EXPECT_TRUE(p.idle());
    const Node* n = p.result();
    if (n == nullptr) continue;
    while (n->parent != nullptr) n = n->parent;
    EXPECT_EQ(n->x + n->y, 0);
  }
}

// Starts the insertion numbers just below their end, so that a search
// renumbers its open list, perhaps more than once.
class WrappingPlanner : public AStarPlanner {
 public:
  void start_numbers_at(uint32_t first) { next_order_ = first; }
};

std::vector<std::pair<int, int>> path_of(const Planner& p) {
  std::vector<std::pair<int, int>> cells;
  for (const Node* n = p.result(); n != nullptr; n = n->parent) cells.emplace_back(n->x, n->y);
  return cells;
}

TEST(Planner, RunningOutOfInsertionNumbersKeepsTheOrderOfEqualF) {
  // Plain grids (every tie decided by the insertion order) and weighted
  // ones; the path is the same as with numbers that never run out.
  std::mt19937 rng(8);
  int checked = 0;
  for (int round = 0; round < 40; ++round) {
    std::vector<double> map(20 * 20, 1);
    if (round % 2) {
      for (double& c : map) c = std::uniform_int_distribution<int>(-1, 8)(rng);
    }
    map[0] = map[12 + 12 * 20] = 1;
    PlannerConfig c = config_for(map, 20, 20);
    c.goal_x = c.goal_y = 12;
    c.weight = static_cast<float>(round % 5) / 4;
    c.flags = round % 3 == 0 ? PlannerConfig::kDiagonalMoves : 0;
    AStarPlanner plain;
    WrappingPlanner wrapping;
    ASSERT_TRUE(plain.configure(c));
    ASSERT_TRUE(wrapping.configure(c));
    wrapping.start_numbers_at(UINT32_MAX - 1 - static_cast<uint32_t>(round) * 7);
    plain.start_search();
    plain.search();
    wrapping.start_search();
    wrapping.search();
    EXPECT_EQ(path_of(wrapping), path_of(plain)) << "round " << round;
    // What is left on the open list is sorted by f from the front, and
    // among equal f by insertion number.
    const int32_t left = wrapping.open_list().size();
    for (int32_t i = 1; i < left; ++i, ++checked) {
      const Node* front = wrapping.open_node(i - 1);
      const Node* back = wrapping.open_node(i);
      ASSERT_GE(front->f, back->f) << "round " << round << " position " << i;
      if (front->f == back->f) {
        ASSERT_GT(front->order, back->order) << "round " << round << " position " << i;
      }
    }
  }
  EXPECT_GT(checked, 200);
}

}  // namespace
}  // namespace quarvel
