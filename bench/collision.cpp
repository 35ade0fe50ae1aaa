// sprite_collision's scan over two cached alpha masks: a typical hit of two
// 32 x 32 rocks, and a full scan of two 64 x 64 sprites that never touch.
// Baseline in the same run: a plain row-major scan of the same overlap.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <vector>

#include "gfx2d/collision_scan.h"

namespace {

using quarvel::MaskView;

// A padded mask (bottom row first) from a predicate over picture pixels.
template <typename Opaque>
std::vector<uint8_t> make_mask(int w, int h, int padded_w, int padded_h, Opaque opaque) {
  std::vector<uint8_t> mask(static_cast<size_t>(padded_w * padded_h), 0);
  for (int py = 0; py < h; ++py)
    for (int px = 0; px < w; ++px) mask[static_cast<size_t>((h - 1 - py) * padded_w + px)] = opaque(px, py) ? 255 : 0;
  return mask;
}

bool rock(int x, int y) {
  const int dx = 2 * x - 31, dy = 2 * y - 31;
  return dx * dx + dy * dy <= 29 * 29;
}

bool row_major_overlap(const MaskView& a, int64_t x1, int64_t y1, const MaskView& b, int64_t x2, int64_t y2) {
  const int64_t left = std::max(x1, x2), right = std::min(x1 + a.width, x2 + b.width);
  const int64_t top = std::max(y1, y2), bottom = std::min(y1 + a.height, y2 + b.height);
  for (int64_t y = top; y < bottom; ++y)
    for (int64_t x = left; x < right; ++x) {
      if (a.mask[(a.height - 1 - (y - y1)) * a.padded_width + (x - x1)] &&
          b.mask[(b.height - 1 - (y - y2)) * b.padded_width + (x - x2)]) {
        return true;
      }
    }
  return false;
}

struct Scenes {
  std::vector<uint8_t> rock = make_mask(32, 32, 32, 32, ::rock);
  std::vector<uint8_t> left = make_mask(64, 64, 64, 64, [](int x, int) { return x < 32; });
  std::vector<uint8_t> right = make_mask(64, 64, 64, 64, [](int x, int) { return x >= 32; });
};

const Scenes& scenes() {
  static const Scenes s;
  return s;
}

template <bool kLattice>
void BM_RockHit(benchmark::State& state) {
  const MaskView a{scenes().rock.data(), 32, 32, 32};
  // The second rock overlaps the first's lower right, edges just touching
  // into each other's opaque discs.
  for (auto _ : state) {
    bool hit = kLattice ? quarvel::masks_overlap(a, 100, 100, a, 122, 118) : row_major_overlap(a, 100, 100, a, 122, 118);
    benchmark::DoNotOptimize(hit);
  }
}

template <bool kLattice>
void BM_FullScanNoHit(benchmark::State& state) {
  const MaskView a{scenes().left.data(), 64, 64, 64};
  const MaskView b{scenes().right.data(), 64, 64, 64};
  for (auto _ : state) {
    bool hit = kLattice ? quarvel::masks_overlap(a, 0, 0, b, 0, 0) : row_major_overlap(a, 0, 0, b, 0, 0);
    benchmark::DoNotOptimize(hit);
  }
}

}  // namespace

BENCHMARK_TEMPLATE(BM_RockHit, true)->Name("RockHit/lattice")->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK_TEMPLATE(BM_RockHit, false)->Name("RockHit/row_major_baseline")->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK_TEMPLATE(BM_FullScanNoHit, true)->Name("FullScan64/lattice")->Repetitions(5)->ReportAggregatesOnly(true);
BENCHMARK_TEMPLATE(BM_FullScanNoHit, false)
    ->Name("FullScan64/row_major_baseline")
    ->Repetitions(5)
    ->ReportAggregatesOnly(true);
BENCHMARK_MAIN();
