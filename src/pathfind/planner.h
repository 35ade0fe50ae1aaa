// Best-first search over a cost grid: the planner family behind find_path.
//
// A Planner is configured with a grid and a start and goal cell, then
// searched once: start_search puts the start node on the open list,
// search expands nodes until the goal is taken off it (result() is then the
// goal node, its parents lead back to the start) or the open list runs
// empty (result() stays null). clear_search returns every node to the pool.
//
// The order of the search is fixed, so the same grid always gives the same
// path:
// - the open list is sorted by f, highest at the front; the back node (the
//   lowest f, and among equal f the one that went in first) is expanded;
// - neighbours are examined in the order (x-1, y-1), (x, y-1), (x+1, y-1),
//   (x+1, y), (x-1, y), (x-1, y+1), (x, y+1), (x+1, y+1), the diagonal ones
//   only when diagonal moves are allowed;
// - a step costs the entered cell's normalised cost (times 1.4142137 for a
//   diagonal step when the diagonal factor is on), g' = g + step,
//   h = Manhattan distance to the goal in cells, f' = g' + weight * (h - g');
// - a neighbour whose cell already has a node (closed or open) with g <= g'
//   is ignored; one with a higher g takes the new parent, g and f and goes
//   (back) onto the open list.
#pragma once

#include <cstdint>
#include <memory>

#include "pathfind/fixed_deque.h"
#include "pathfind/nodes.h"

namespace quarvel {

struct PlannerConfig {
  // Flags of the flags word.
  static constexpr uint32_t kDiagonalCostFactor = 1u << 0;  // diagonal steps cost 1.4142137 times as much
  static constexpr uint32_t kDiagonalMoves = 1u << 1;       // eight neighbours instead of four

  int32_t start_x = 0, start_y = 0;
  int32_t goal_x = 0, goal_y = 0;
  uint32_t flags = 0;
  int32_t node_capacity = 0;    // 0: width x height
  int32_t open_capacity = 0;    // 0: width x height
  int32_t closed_exponent = 8;  // closed table of 2^exponent buckets
  float weight = 0.5f;          // 0 .. 1
  int32_t width = 0, height = 0;
  // width x height costs, first index fastest: the cell (x, y) is
  // map[x + y * width]. A cost of 0 or less (or not a number) is a wall.
  const double* map = nullptr;
};

// The diagonal step factor, 0x3FB504F4 as a single-precision float.
inline constexpr float kDiagonalFactor = 1.4142137f;
// Cost-grid entry of a wall.
inline constexpr float kBlockedCell = -1.0f;

class Planner {
 public:
  Planner() = default;
  Planner(const Planner&) = delete;
  Planner& operator=(const Planner&) = delete;
  virtual ~Planner() = default;

  // Takes the grid and sizes the pool, the open list and the closed table.
  // Fails, leaving the planner unconfigured, when the start or the goal is
  // outside the grid, they are the same cell, no cell has a positive cost,
  // or the storage cannot be had.
  bool configure(const PlannerConfig& config);

  virtual void start_search() = 0;
  // True when the search has ended (found or not); success is told by
  // result().
  virtual bool search() = 0;
  virtual void clear_search();

  const Node* result() const { return result_; }
  bool idle() const { return idle_; }
  bool configured() const { return costs_ != nullptr; }

  const PlannerConfig& config() const { return config_; }
  float weight() const { return weight_; }
  int32_t width() const { return width_; }
  int32_t height() const { return height_; }
  // Normalised cost of entering the cell: 1 .. 2 (above 1 unless the
  // largest cost dwarfs it), or kBlockedCell.
  float cost(int32_t x, int32_t y) const { return costs_[cell(x, y)]; }

  // The open list: per node, the bits of its f (high half) and its place
  // in the pool (low half). The bits of a float that is not negative
  // compare as the float does, so the sorted search reads the list alone.
  const FixedDeque<uint64_t>& open_list() const { return open_; }
  Node* open_node(int32_t pos) const { return pool_.node(static_cast<uint32_t>(open_.at(pos))); }
  const NodeHashTable& closed_table() const { return closed_; }
  const NodeFactory& node_pool() const { return pool_; }

 protected:
  size_t cell(int32_t x, int32_t y) const { return static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x); }

  // The open list proper: a node goes in front of every node of equal f,
  // so that among equal f the one that went in first leaves first.
  bool open_insert(Node* node);
  void open_remove(Node* node);
  Node* open_take_back();

  // The node of the cell, on the open list or in the closed table, or null.
  Node* node_at(size_t cell) const { return cell_node_[cell]; }
  // A fresh node for the cell from the pool; null when the pool is out.
  Node* new_node(int32_t x, int32_t y);
  // Takes the node out of the closed table.
  void unclose(Node* node);

  bool idle_ = true;
  NodeFactory pool_;
  PlannerConfig config_;
  float weight_ = 0;
  int32_t width_ = 0;
  int32_t height_ = 0;
  std::unique_ptr<float[]> costs_;
  FixedDeque<uint64_t> open_;
  NodeHashTable closed_;
  Node* result_ = nullptr;
  // Insertion number of the next node that goes onto the open list.
  uint32_t next_order_ = 0;

 private:
  // The bits of the node's f, for the high half of its entry.
  static uint64_t f_bits(const Node* node);
  // Position of the first entry whose f is at most (at_most) or below
  // (!at_most) the given one.
  int32_t open_position(uint64_t f_bits, bool at_most) const;
  // Numbers the open nodes 0, 1, ... from the back, keeping their order,
  // when the insertion numbers run out.
  void renumber_open_list();

  // Per cell, its node while that node is on the open list or in the
  // closed table (each cell has at most one): looking a cell up in either
  // is one load instead of a scan of the list or a walk of a bucket.
  std::unique_ptr<Node*[]> cell_node_;
};

class AStarPlanner : public Planner {
 public:
  void start_search() override;
  bool search() override;
};

}  // namespace quarvel
