// The wave reader of the sound slots: RIFF WAVE files holding PCM samples.
//
// Layout read (all numbers little-endian): "RIFF", a size (ignored), "WAVE",
// then chunks of a 4-byte id, a 4-byte size and the body, followed by a pad
// byte when the size is odd. The chunks are walked by their declared sizes:
//
//   "fmt "  at least 16 bytes (extra bytes skipped):
//           0  2  format tag        1 (PCM), or 0xFFFE (extensible, body of
//                                   at least 40 bytes) whose sub-format at
//                                   body offset 24 is PCM
//           2  2  channels          1 or 2
//           4  4  samples per second, above 0
//           8  4  average bytes per second   ignored (recomputed)
//           12 2  block align       must be channels x bytes per sample
//           14 2  bits per sample   8 (unsigned) or 16 (signed)
//   "data"  after the format chunk; the samples
//   others  (LIST, fact, cue, JUNK, bext, ...) skipped
//
// Anything else fails cleanly: no "RIFF"/"WAVE" identifiers, fewer than 36
// bytes, a chunk that runs past the end of the input (a data chunk larger
// than the bytes left included), two format chunks, data before the format,
// no data chunk, data of no whole sample frame. A data size that is not a
// whole number of frames is cut to whole frames.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace quarvel {

struct WaveSound {
  int channels = 0;              // 1 or 2
  uint32_t sample_rate = 0;      // frames per second, > 0
  int bits_per_sample = 0;       // 8 or 16
  int block_align = 0;           // bytes per frame
  const uint8_t* samples = nullptr;  // points into the parsed bytes
  size_t sample_bytes = 0;       // a whole number of frames, > 0
};

// Parses a wave file held in memory. On success `out` points into `bytes`.
// On failure `out` is reset, false is returned and `why` (when given) is set
// to a short reason ("not a wave file", "unsupported format (...)",
// "damaged (...)").
bool parse_wave(const uint8_t* bytes, size_t length, WaveSound& out, const char** why = nullptr);

// Reads a whole file ('\' and '/' both separate directories). False when it
// cannot be opened or read, or is larger than max_bytes (`why` tells which).
bool read_sound_file(const char* file_name, std::vector<uint8_t>& bytes, size_t max_bytes,
                     const char** why = nullptr);

}  // namespace quarvel
