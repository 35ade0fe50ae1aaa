// A plain search by the path finder's rules, written for the tests only:
// vectors, linear scans and nothing clever, so that it is easy to check by
// eye against the rules in pathfind/planner.h.
#pragma once

#include <cstdint>
#include <cstdlib>
#include <utility>
#include <vector>

namespace quarvel::test {

struct ReferenceQuery {
  int width = 0, height = 0;
  std::vector<double> map;  // map[x + y * width]
  int start_x = 0, start_y = 0, goal_x = 0, goal_y = 0;
  float weight = 0.5f;
  bool diagonal_moves = false;
  bool diagonal_factor = true;
};

// The cells of the path from start to goal; empty when there is none.
inline std::vector<std::pair<int, int>> reference_search(const ReferenceQuery& q) {
  // Costs: walls -1, the others c / max + 1 in single precision.
  std::vector<float> cost(q.map.size());
  float max = 0;
  for (size_t i = 0; i < q.map.size(); ++i) {
    const double v = q.map[i];
    const float c = v > 0 ? static_cast<float>(v) : 0.0f;
    cost[i] = c > 0 ? c : -1.0f;
    if (c > max) max = c;
  }
  for (float& c : cost)
    if (c > 0) c = c / max + 1.0f;

  struct Rec {
    int x, y;
    float f, g;
    int parent;
  };
  std::vector<Rec> nodes;
  std::vector<int> open;    // front at index 0, sorted by f from high to low
  std::vector<int> closed;  // any order
  auto insert_open = [&](int id) {
    size_t pos = 0;
    while (pos < open.size() && nodes[open[pos]].f > nodes[id].f) ++pos;
    open.insert(open.begin() + static_cast<long>(pos), id);
  };

  nodes.push_back({q.start_x, q.start_y, 0, 0, -1});
  open.push_back(0);
  const int order[8][2] = {{-1, -1}, {0, -1}, {1, -1}, {1, 0}, {-1, 0}, {-1, 1}, {0, 1}, {1, 1}};
  const float d = q.diagonal_factor ? 1.4142137f : 1.0f;
  int found = -1;
  while (!open.empty()) {
    const int n = open.back();
    open.pop_back();
    if (nodes[n].x == q.goal_x && nodes[n].y == q.goal_y) {
      found = n;
      break;
    }
    for (const auto& step : order) {
      const bool diagonal = step[0] != 0 && step[1] != 0;
      if (diagonal && !q.diagonal_moves) continue;
      const int mx = nodes[n].x + step[0];
      const int my = nodes[n].y + step[1];
      if (mx < 0 || my < 0 || mx >= q.width || my >= q.height) continue;
      const float c = cost[static_cast<size_t>(mx + my * q.width)];
      if (c == -1.0f) continue;
      const float g = diagonal ? nodes[n].g + c * d : nodes[n].g + c;
      const float h = static_cast<float>(std::abs(q.goal_x - mx) + std::abs(q.goal_y - my));
      const float blend = q.weight * (h - g);
      const float f = g + blend;

      int in_closed = -1;
      for (size_t i = 0; i < closed.size(); ++i)
        if (nodes[closed[i]].x == mx && nodes[closed[i]].y == my) in_closed = static_cast<int>(i);
      if (in_closed >= 0) {
        const int m = closed[static_cast<size_t>(in_closed)];
        if (nodes[m].g <= g) continue;
        closed.erase(closed.begin() + in_closed);
        nodes[m].parent = n;
        nodes[m].g = g;
        nodes[m].f = f;
        insert_open(m);
        continue;
      }
      int in_open = -1;
      for (int i = static_cast<int>(open.size()) - 1; i >= 0 && in_open < 0; --i)
        if (nodes[open[static_cast<size_t>(i)]].x == mx && nodes[open[static_cast<size_t>(i)]].y == my) in_open = i;
      if (in_open >= 0) {
        const int m = open[static_cast<size_t>(in_open)];
        if (nodes[m].g <= g) continue;
        open.erase(open.begin() + in_open);
        nodes[m].parent = n;
        nodes[m].g = g;
        nodes[m].f = f;
        insert_open(m);
        continue;
      }
      nodes.push_back({mx, my, f, g, n});
      insert_open(static_cast<int>(nodes.size()) - 1);
    }
    closed.push_back(n);
  }

  std::vector<std::pair<int, int>> path;
  for (int n = found; n >= 0; n = nodes[static_cast<size_t>(n)].parent)
    path.insert(path.begin(), {nodes[static_cast<size_t>(n)].x, nodes[static_cast<size_t>(n)].y});
  return path;
}

}  // namespace quarvel::test
