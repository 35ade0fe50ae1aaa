// find_path on 512 x 512 random weighted grids, corner to corner, against a
// textbook A* over the same normalised costs: a binary heap
// (std::priority_queue) with lazy deletion, g and parent arrays and a
// closed flag per cell. Both take the map array and give the path.
//
// BM_FindPath and BM_HeapAStar time each alone; BM_Compare runs both on the
// same grids in turns and reports both times per search and the ratio
// find_path / baseline (the goal is at most 1.5).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <queue>
#include <random>
#include <utility>
#include <vector>

#include "quarvel/arrays.h"
#include "quarvel/pathfind.h"

namespace {

using namespace quarvel;

constexpr int kSide = 512;
constexpr int kGrids = 4;
constexpr double kWeight = 0.5;  // A*: f ordered as g + h

// Costs uniform in 1 .. 10, about one cell in eight a wall; the corners open.
NumberArray make_grid(unsigned seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> cost(1, 10);
  std::uniform_int_distribution<int> wall(0, 7);
  NumberArray map;
  dim_array(map, kSide, kSide);
  for (int y = 0; y < kSide; ++y)
    for (int x = 0; x < kSide; ++x) map(x, y) = wall(rng) == 0 ? 0 : cost(rng);
  map(0, 0) = 1;
  map(kSide - 1, kSide - 1) = 1;
  return map;
}

const std::vector<NumberArray>& grids() {
  static const std::vector<NumberArray> all = [] {
    std::vector<NumberArray> v;
    for (int i = 0; i < kGrids; ++i) v.push_back(make_grid(1000u + static_cast<unsigned>(i)));
    return v;
  }();
  return all;
}

// The baseline. Returns the number of cells on the path (0: none) and
// leaves the path's cell indices in path, goal first.
int heap_astar(const NumberArray& map, float weight, int sx, int sy, int gx, int gy, std::vector<int>& path) {
  const int w = map.size_0;
  const int h = map.size_1;
  const size_t cells = static_cast<size_t>(w) * static_cast<size_t>(h);
  std::vector<float> cost(cells);
  float max = 0;
  for (size_t i = 0; i < cells; ++i) {
    const double v = map.elements[i];
    const float c = v > 0 ? static_cast<float>(v) : 0.0f;
    cost[i] = c > 0 ? c : -1.0f;
    if (c > max) max = c;
  }
  for (float& c : cost)
    if (c > 0) c = c / max + 1.0f;

  std::vector<float> g(cells, INFINITY);
  std::vector<int> parent(cells, -1);
  std::vector<unsigned char> closed(cells, 0);
  using Entry = std::pair<float, int>;
  std::priority_queue<Entry, std::vector<Entry>, std::greater<Entry>> open;
  const int start = sx + sy * w;
  const int goal = gx + gy * w;
  g[static_cast<size_t>(start)] = 0;
  open.push({0.0f, start});
  const int dx[4] = {0, 1, -1, 0};
  const int dy[4] = {-1, 0, 0, 1};
  while (!open.empty()) {
    const int c = open.top().second;
    open.pop();
    if (closed[static_cast<size_t>(c)]) continue;
    closed[static_cast<size_t>(c)] = 1;
    if (c == goal) break;
    const int x = c % w;
    const int y = c / w;
    for (int k = 0; k < 4; ++k) {
      const int mx = x + dx[k];
      const int my = y + dy[k];
      if (mx < 0 || my < 0 || mx >= w || my >= h) continue;
      const int m = mx + my * w;
      const float mc = cost[static_cast<size_t>(m)];
      if (mc < 0 || closed[static_cast<size_t>(m)]) continue;
      const float ng = g[static_cast<size_t>(c)] + mc;
      if (ng >= g[static_cast<size_t>(m)]) continue;
      g[static_cast<size_t>(m)] = ng;
      parent[static_cast<size_t>(m)] = c;
      const float hh = static_cast<float>(std::abs(gx - mx) + std::abs(gy - my));
      open.push({ng + weight * (hh - ng), m});
    }
  }
  path.clear();
  if (!closed[static_cast<size_t>(goal)]) return 0;
  for (int c = goal; c >= 0; c = parent[static_cast<size_t>(c)]) path.push_back(c);
  return static_cast<int>(path.size());
}

// Sum of the normalised costs of the cells after the start.
double path_cost(const NumberArray& map, const std::vector<std::pair<int, int>>& cells) {
  double max = 0;
  for (int i = 0; i < kSide * kSide; ++i) max = std::max(max, map.elements[i]);
  double sum = 0;
  for (size_t i = 1; i < cells.size(); ++i) {
    const float c = static_cast<float>(map(cells[i].first, cells[i].second));
    sum += c / static_cast<float>(max) + 1.0f;
  }
  return sum;
}

double run_find_path(const NumberArray& map, NumberArray& path) {
  return find_path(map, path, kWeight, 0, 0, kSide - 1, kSide - 1);
}

int run_baseline(const NumberArray& map, std::vector<int>& path) {
  return heap_astar(map, static_cast<float>(kWeight), 0, 0, kSide - 1, kSide - 1, path);
}

// Both searches find a path of the same (least) cost on every grid.
bool same_cost_paths() {
  for (const NumberArray& map : grids()) {
    NumberArray path;
    std::vector<int> base;
    const double n = run_find_path(map, path);
    if (n == 0 || run_baseline(map, base) == 0) return false;
    std::vector<std::pair<int, int>> a, b;
    for (int i = 0; i < static_cast<int>(n); ++i) a.emplace_back(static_cast<int>(path(i, 0)), static_cast<int>(path(i, 1)));
    for (auto it = base.rbegin(); it != base.rend(); ++it) b.emplace_back(*it % kSide, *it / kSide);
    if (std::abs(path_cost(map, a) - path_cost(map, b)) > 1e-3) return false;
  }
  return true;
}

void BM_FindPath(benchmark::State& state) {
  NumberArray path;
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(run_find_path(grids()[i++ % kGrids], path));
}
BENCHMARK(BM_FindPath)->Unit(benchmark::kMillisecond);

void BM_HeapAStar(benchmark::State& state) {
  std::vector<int> path;
  size_t i = 0;
  for (auto _ : state) benchmark::DoNotOptimize(run_baseline(grids()[i++ % kGrids], path));
}
BENCHMARK(BM_HeapAStar)->Unit(benchmark::kMillisecond);

void BM_Compare(benchmark::State& state) {
  if (!same_cost_paths()) {
    state.SkipWithError("find_path and the baseline disagree on the path cost");
    return;
  }
  using Clock = std::chrono::steady_clock;
  NumberArray path;
  std::vector<int> base;
  Clock::duration ours{}, theirs{};
  int64_t searches = 0;
  for (auto _ : state) {
    for (const NumberArray& map : grids()) {
      const auto t0 = Clock::now();
      benchmark::DoNotOptimize(run_baseline(map, base));
      const auto t1 = Clock::now();
      benchmark::DoNotOptimize(run_find_path(map, path));
      const auto t2 = Clock::now();
      theirs += t1 - t0;
      ours += t2 - t1;
      ++searches;
    }
  }
  const double ours_ms = std::chrono::duration<double, std::milli>(ours).count() / static_cast<double>(searches);
  const double theirs_ms = std::chrono::duration<double, std::milli>(theirs).count() / static_cast<double>(searches);
  state.counters["find_path_ms"] = ours_ms;
  state.counters["heap_astar_ms"] = theirs_ms;
  state.counters["ratio"] = ours_ms / theirs_ms;
}
BENCHMARK(BM_Compare)->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
