// Array element access and random draws: the per-frame work of a game that
// moves its rocks from number arrays and throws dice.
#include <benchmark/benchmark.h>

#include <vector>

#include "quarvel/arrays.h"
#include "quarvel/maths.h"

namespace {

using namespace quarvel;

// Reads and writes every element of a 1-D array once per pass through one
// array_element call; items are those calls, so 1 / items_per_second is
// the time of one access.
void BM_ArrayElement1D(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  NumberArray a;
  dim_array(a, n);
  for (auto _ : state) {
    for (int i = 0; i < n; ++i) array_element(a, i) += i;
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_ArrayElement1D)->Arg(10)->Arg(1000);

// The same with a 2-D array walked row by row.
void BM_ArrayElement2D(benchmark::State& state) {
  const int side = static_cast<int>(state.range(0));
  NumberArray a;
  dim_array(a, side, side);
  for (auto _ : state) {
    for (int y = 0; y < side; ++y)
      for (int x = 0; x < side; ++x) array_element(a, x, y) += x;
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * side * side);
}
BENCHMARK(BM_ArrayElement2D)->Arg(32);

// Baseline: the same walk over a plain vector, no bounds test.
void BM_VectorElement1D(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  std::vector<double> v(static_cast<size_t>(n));
  for (auto _ : state) {
    for (int i = 0; i < n; ++i) v[static_cast<size_t>(i)] += i;
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_VectorElement1D)->Arg(1000);

void BM_RandomInt(benchmark::State& state) {
  seed_random(12345);
  for (auto _ : state) benchmark::DoNotOptimize(random_int(99));
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_RandomInt);

void BM_SeedRandom(benchmark::State& state) {
  double seed = 0;
  for (auto _ : state) seed_random(seed++);
}
BENCHMARK(BM_SeedRandom);

}  // namespace
