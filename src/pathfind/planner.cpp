#include "pathfind/planner.h"

#include <algorithm>
#include <cfloat>
#include <cstdlib>
#include <cstring>
#include <new>

namespace quarvel {

namespace {

// Weight clamped to 0 .. 1; not a number counts as 0.
float clamp_weight(float w) {
  if (!(w > 0)) return 0;
  return w > 1 ? 1 : w;
}

// The map element as a single-precision cost; 0 or less for a wall. Not a
// number is a wall, and costs beyond the float range count as the largest
// float so that normalising never divides infinities.
float cell_cost(double v) {
  if (!(v > 0)) return 0;
  if (v > static_cast<double>(FLT_MAX)) return FLT_MAX;
  return static_cast<float>(v);
}

struct Step {
  int32_t dx, dy;
  bool diagonal;
};
constexpr Step kSteps[8] = {{-1, -1, true}, {0, -1, false}, {1, -1, true}, {1, 0, false},
                            {-1, 0, false}, {-1, 1, true},  {0, 1, false}, {1, 1, true}};

}  // namespace

bool Planner::configure(const PlannerConfig& config) {
  const int32_t w = config.width;
  const int32_t h = config.height;
  if (config.start_x < 0 || config.start_x >= w || config.start_y < 0 || config.start_y >= h) return false;
  if (config.goal_x < 0 || config.goal_x >= w || config.goal_y < 0 || config.goal_y >= h) return false;
  if (config.start_x == config.goal_x && config.start_y == config.goal_y) return false;
  if (config.map == nullptr) return false;
  const int64_t cells = int64_t{w} * h;
  if (cells > INT32_MAX) return false;

  // Nothing of the old configuration survives a failure from here on.
  costs_.reset();
  cell_node_.reset();
  result_ = nullptr;
  idle_ = true;
  width_ = height_ = 0;

  std::unique_ptr<float[]> costs(new (std::nothrow) float[static_cast<size_t>(cells)]);
  if (!costs) return false;
  float max = 0;
  for (int32_t y = 0; y < h; ++y) {
    const double* row = config.map + static_cast<size_t>(y) * static_cast<size_t>(w);
    float* out = costs.get() + static_cast<size_t>(y) * static_cast<size_t>(w);
    for (int32_t x = 0; x < w; ++x) {
      const float c = cell_cost(row[x]);
      if (c <= 0) {
        out[x] = kBlockedCell;
      } else {
        out[x] = c;
        if (c > max) max = c;
      }
    }
  }
  if (!(max > 0)) return false;
  for (int64_t i = 0; i < cells; ++i)
    if (costs[i] > 0) costs[i] = costs[i] / max + 1.0f;

  const int32_t node_capacity = config.node_capacity > 0 ? config.node_capacity : static_cast<int32_t>(cells);
  const int32_t open_capacity = config.open_capacity > 0 ? config.open_capacity : static_cast<int32_t>(cells);
  std::unique_ptr<Node*[]> cell_node(new (std::nothrow) Node*[static_cast<size_t>(cells)]());
  if (!cell_node || !pool_.set_capacity(node_capacity) || !open_.set_capacity(open_capacity) ||
      !closed_.set_size(config.closed_exponent))
    return false;

  config_ = config;
  weight_ = clamp_weight(config.weight);
  width_ = w;
  height_ = h;
  costs_ = std::move(costs);
  cell_node_ = std::move(cell_node);
  next_order_ = 0;
  result_ = nullptr;
  idle_ = true;
  return true;
}

void Planner::clear_search() {
  if (cell_node_) std::fill_n(cell_node_.get(), static_cast<size_t>(width_) * static_cast<size_t>(height_), nullptr);
  open_.clear();
  closed_.clear();
  pool_.give_back_all();
  idle_ = true;
}

uint64_t Planner::f_bits(const Node* node) {
  // f is never negative (g and h are not, the weight is 0 .. 1) nor NaN, so
  // its bits compare as the float does; adding 0 turns -0 into +0.
  const float f = node->f + 0.0f;
  uint32_t bits;
  std::memcpy(&bits, &f, sizeof bits);
  return bits;
}

int32_t Planner::open_position(uint64_t f_bits, bool at_most) const {
  // The entries' f falls from the front to the back. An entry's f is above
  // the given one exactly when the entry is above this bound.
  const uint64_t bound = at_most ? (f_bits << 32 | 0xFFFFFFFFu) : (f_bits << 32) - 1;
  int32_t n = open_.size();
  if (n == 0) return 0;
  int32_t base = 0;
  // The halving step is a select rather than a branch: which way it goes
  // is as good as random.
  while (n > 1) {
    const int32_t half = n / 2;
    base = open_.at(base + half) > bound ? base + half : base;
    n -= half;
  }
  return base + (open_.at(base) > bound ? 1 : 0);
}

void Planner::renumber_open_list() {
  uint32_t order = 0;
  for (int32_t i = open_.size() - 1; i >= 0; --i) open_node(i)->order = order++;
  next_order_ = order;
}

Node* Planner::new_node(int32_t x, int32_t y) {
  Node* n = pool_.take();
  if (n == nullptr) return nullptr;
  n->x = x;
  n->y = y;
  n->bucket_link = nullptr;
  n->open = false;
  cell_node_[cell(x, y)] = n;
  return n;
}

void Planner::unclose(Node* node) {
  if (closed_.find(node->x, node->y) == node) closed_.unlink_found();
}

bool Planner::open_insert(Node* node) {
  if (open_.full()) {
    // Only with an open list smaller than the grid: the node is dropped.
    cell_node_[cell(node->x, node->y)] = nullptr;
    return false;
  }
  if (next_order_ == UINT32_MAX) renumber_open_list();
  node->order = next_order_++;
  // In front of every node of equal f: the first position whose f is at
  // most the node's.
  const uint64_t bits = f_bits(node);
  open_.insert(open_position(bits, true), bits << 32 | pool_.index_of(node));
  node->open = true;
  return true;
}

void Planner::open_remove(Node* node) {
  // Nodes of equal f stand together, the later insertion numbers in front.
  const uint64_t bits = f_bits(node);
  int32_t lo = open_position(bits, true);
  int32_t hi = open_position(bits, false);
  while (lo < hi) {
    const int32_t mid = lo + (hi - lo) / 2;
    if (open_node(mid)->order > node->order)
      lo = mid + 1;
    else
      hi = mid;
  }
  open_.remove(lo);
  node->open = false;
}

Node* Planner::open_take_back() {
  Node* node = pool_.node(static_cast<uint32_t>(open_.back()));
  open_.pop_back();
  node->open = false;
  return node;
}

void AStarPlanner::start_search() {
  result_ = nullptr;
  if (!configured()) return;
  idle_ = false;
  Node* start = new_node(config_.start_x, config_.start_y);
  if (start == nullptr) return;
  start->parent = nullptr;
  start->g = 0;
  start->f = 0;
  open_insert(start);
}

bool AStarPlanner::search() {
  if (!configured()) return true;
  const int32_t goal_x = config_.goal_x;
  const int32_t goal_y = config_.goal_y;
  const float weight = weight_;
  const float diagonal = (config_.flags & PlannerConfig::kDiagonalCostFactor) ? kDiagonalFactor : 1.0f;
  const int step_count = (config_.flags & PlannerConfig::kDiagonalMoves) ? 8 : 4;
  // The four straight neighbours in their place of the order.
  static constexpr int kStraight[4] = {1, 3, 4, 6};

  while (!open_.empty()) {
    Node* n = open_take_back();
    if (n->x == goal_x && n->y == goal_y) {
      closed_.insert(n);
      result_ = n;
      idle_ = true;
      return true;
    }
    for (int k = 0; k < step_count; ++k) {
      const Step& s = kSteps[step_count == 8 ? k : kStraight[k]];
      const int32_t mx = n->x + s.dx;
      const int32_t my = n->y + s.dy;
      if (mx < 0 || mx >= width_ || my < 0 || my >= height_) continue;
      const float c = costs_[cell(mx, my)];
      if (c < 0) continue;
      const float step = s.diagonal ? c * diagonal : c;
      const float g = n->g + step;
      const float h = static_cast<float>(std::abs(goal_x - mx) + std::abs(goal_y - my));
      const float blend = weight * (h - g);
      const float f = g + blend;

      // The cell's node is closed or open (never both), so looking in the
      // closed table first and then on the open list finds the same node.
      if (Node* m = node_at(cell(mx, my))) {
        if (m->g <= g) continue;
        if (m->open)
          open_remove(m);
        else
          unclose(m);
        m->parent = n;
        m->g = g;
        m->f = f;
        open_insert(m);
        continue;
      }
      Node* m = new_node(mx, my);
      if (m == nullptr) continue;  // only with a pool smaller than the grid
      m->parent = n;
      m->g = g;
      m->f = f;
      open_insert(m);
    }
    closed_.insert(n);
  }
  idle_ = true;
  return true;
}

}  // namespace quarvel
