// The wave reader of the sound slots: RIFF WAVE files holding PCM samples.
//
// Layout read (all numbers little-endian):
//
//   0   4  "RIFF"            not examined
//   4   4  RIFF size         ignored
//   8   4  "WAVE"            not examined
//   12  4  format chunk id   not examined
//   16  4  format chunk size at least 16; a larger chunk's extra bytes
//                            (and its pad byte when odd) are skipped
//   20  2  format tag        1 (PCM), or 0xFFFE (extensible) whose sub-format
//                            is PCM
//   22  2  channels          1 or 2
//   24  4  samples per second
//   28  4  average bytes per second   ignored (recomputed)
//   32  2  block align       must be channels x bytes per sample
//   34  2  bits per sample   8 (unsigned) or 16 (signed)
//   then   chunk header      a "fact" chunk is skipped (only one, only here)
//   then   "data" + size     required; the samples follow
//
// Anything else fails cleanly: fewer than 36 bytes, a chunk that runs past
// the end of the input, a data chunk larger than the bytes left, a data
// chunk of no whole sample frame, a chunk other than "fact" between the
// format and the data chunk. A data size that is not a whole number of
// frames is cut to whole frames.
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
// On failure `out` is reset and false is returned.
bool parse_wave(const uint8_t* bytes, size_t length, WaveSound& out);

// Reads a whole file ('\' and '/' both separate directories). False when it
// cannot be opened or read, or is larger than max_bytes.
bool read_sound_file(const char* file_name, std::vector<uint8_t>& bytes, size_t max_bytes);

}  // namespace quarvel
