// The run's random-number generator: ISAAC with a 256-word state, driven as
// the runtime's random commands need it.
//
// Seeding (seed_generator) mixes the 32-bit seed into the eight ISAAC mixing
// variables 32 times, then runs ISAAC's usual initialisation (four more
// mixes, one pass over the result words and one over the state words) and
// one generation round. Every draw runs a complete generation round and
// takes its first result word.
//
// Main thread only: nothing here is synchronised.
#pragma once

#include <cstdint>

namespace quarvel {

struct RandomGenerator {
  static constexpr int kWords = 256;

  uint32_t state[kWords] = {};
  uint32_t results[kWords] = {};
  uint32_t accumulator = 0;
  uint32_t last_result = 0;
  uint32_t counter = 0;
  uint32_t result_count = 0;
};

// The generator of the run, used by seed_random and random_int. Start-up
// seeds it from the clock.
RandomGenerator& run_random_generator();

// Reseeds: the same seed always gives the same sequence of draws, whatever
// was drawn before.
void seed_generator(RandomGenerator& g, uint32_t seed);

// One generation round; returns its first result word.
uint32_t draw_random(RandomGenerator& g);

// 0 .. n for n >= 0 (n truncated toward zero); 0 for negative n; the whole
// 32-bit draw for n of 4294967295 and more.
double random_int(RandomGenerator& g, double n);

// ISAAC's own initialisation with the result words as they are (the
// generator's published reference seeding). For checking the mixing
// function and the generation round against the published test vectors.
void isaac_reference_init(RandomGenerator& g);
// One ISAAC generation round (all 256 result words).
void isaac_round(RandomGenerator& g);

}  // namespace quarvel
