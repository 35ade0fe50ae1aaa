// Fuzz target for the wave reader of the sound slots.
//
// Checks, for every input:
//  - a parsed sound is PCM of 1 or 2 channels at 8 or 16 bits, with the
//    block align of that layout and a sample rate above 0;
//  - its samples are a whole, non-empty number of frames lying inside the
//    input;
//  - a failed parse leaves the record empty and gives a reason.
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "audio/formats/wave_reader.h"

#define FUZZ_CHECK(cond)                                                             \
  do {                                                                               \
    if (!(cond)) {                                                                   \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                                  \
    }                                                                                \
  } while (0)

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  quarvel::WaveSound wave;
  wave.channels = 7;  // must be reset on failure
  const char* why = nullptr;
  if (!quarvel::parse_wave(data, size, wave, &why)) {
    FUZZ_CHECK(wave.samples == nullptr && wave.sample_bytes == 0 && wave.channels == 0);
    FUZZ_CHECK(why != nullptr && why[0] != '\0');
    return 0;
  }
  FUZZ_CHECK(wave.channels == 1 || wave.channels == 2);
  FUZZ_CHECK(wave.bits_per_sample == 8 || wave.bits_per_sample == 16);
  FUZZ_CHECK(wave.block_align == wave.channels * wave.bits_per_sample / 8);
  FUZZ_CHECK(wave.sample_rate > 0);
  FUZZ_CHECK(wave.sample_bytes > 0 && wave.sample_bytes % static_cast<size_t>(wave.block_align) == 0);
  FUZZ_CHECK(wave.samples >= data + 44 && wave.samples <= data + size);
  FUZZ_CHECK(wave.sample_bytes <= static_cast<size_t>(data + size - wave.samples));
  // Every sample byte is readable (ASan reports any that is not).
  unsigned sum = 0;
  for (size_t i = 0; i < wave.sample_bytes; ++i) sum += wave.samples[i];
  return static_cast<int>(sum & 0);
}
