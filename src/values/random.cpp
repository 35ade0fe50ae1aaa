#include "values/random.h"

#include <algorithm>
#include <initializer_list>

#include "quarvel/maths.h"
#include "values/truncate.h"

namespace quarvel {

namespace {

constexpr uint32_t kGoldenRatio = 0x9e3779b9u;

// The eight ISAAC mixing variables a .. h.
struct Mix {
  uint32_t v[8];

  void mix() {
    uint32_t &a = v[0], &b = v[1], &c = v[2], &d = v[3], &e = v[4], &f = v[5], &g = v[6], &h = v[7];
    a ^= b << 11; d += a; b += c;
    b ^= c >> 2;  e += b; c += d;
    c ^= d << 8;  f += c; d += e;
    d ^= e >> 16; g += d; e += f;
    e ^= f << 10; h += e; f += g;
    f ^= g >> 4;  a += f; g += h;
    g ^= h << 8;  b += g; h += a;
    h ^= a >> 9;  c += h; a += b;
  }
};

Mix golden_mix() {
  Mix m;
  std::fill(m.v, m.v + 8, kGoldenRatio);
  return m;
}

// Four mixes, the pass over the result words and the pass over the state
// words, one generation round.
void finish_init(RandomGenerator& g, Mix m) {
  for (int i = 0; i < 4; ++i) m.mix();
  for (const uint32_t* source : {static_cast<const uint32_t*>(g.results), static_cast<const uint32_t*>(g.state)}) {
    for (int i = 0; i < RandomGenerator::kWords; i += 8) {
      for (int k = 0; k < 8; ++k) m.v[k] += source[i + k];
      m.mix();
      std::copy(m.v, m.v + 8, g.state + i);
    }
  }
  isaac_round(g);
  g.result_count = RandomGenerator::kWords;
}

}  // namespace

void isaac_round(RandomGenerator& g) {
  uint32_t* const mm = g.state;
  uint32_t a = g.accumulator;
  uint32_t b = g.last_result + ++g.counter;
  for (int i = 0; i < RandomGenerator::kWords; ++i) {
    const uint32_t x = mm[i];
    switch (i & 3) {
      case 0: a ^= a << 13; break;
      case 1: a ^= a >> 6; break;
      case 2: a ^= a << 2; break;
      default: a ^= a >> 16; break;
    }
    a += mm[(i + 128) & 255];
    const uint32_t y = mm[(x >> 2) & 255] + a + b;
    mm[i] = y;
    b = mm[(y >> 10) & 255] + x;
    g.results[i] = b;
  }
  g.accumulator = a;
  g.last_result = b;
}

void isaac_reference_init(RandomGenerator& g) {
  g.accumulator = g.last_result = g.counter = 0;
  finish_init(g, golden_mix());
}

void seed_generator(RandomGenerator& g, uint32_t seed) {
  g.accumulator = g.last_result = g.counter = 0;
  // The result words of earlier draws would take part in the pass over the
  // result words; cleared, a seed gives the same sequence every time.
  std::fill(g.results, g.results + RandomGenerator::kWords, 0u);
  Mix m = golden_mix();
  for (int i = 0; i < RandomGenerator::kWords; i += 8) {
    m.v[0] += seed;
    m.mix();
    std::copy(m.v, m.v + 8, g.state + i);
  }
  finish_init(g, m);
}

uint32_t draw_random(RandomGenerator& g) {
  isaac_round(g);
  return g.results[0];
}

double random_int(RandomGenerator& g, double n) {
  const uint32_t r = draw_random(g);
  const int64_t top = truncate_to_int64(n);
  if (top < 0) return 0;
  if (top >= 0xFFFFFFFF) return r;
  return r % static_cast<uint32_t>(top + 1);
}

RandomGenerator& run_random_generator() {
  // Seeded with 0 until start-up seeds it from the clock.
  static RandomGenerator generator = [] {
    RandomGenerator g;
    seed_generator(g, 0);
    return g;
  }();
  return generator;
}

// ------------------------------------------------------------ commands ---

void seed_random(double seed) {
  // The low 32 bits of the whole-number part, so that large clock values
  // still seed differently.
  seed_generator(run_random_generator(), static_cast<uint32_t>(static_cast<uint64_t>(truncate_to_int64(seed))));
}

double random_int(double n) { return random_int(run_random_generator(), n); }

}  // namespace quarvel
