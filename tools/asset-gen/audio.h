// The game's sounds: three effects as 16-bit PCM wave files and the title
// music, a synthesised loop encoded as MP3.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace assetgen {

constexpr int kEffectRate = 22050;
constexpr int kMusicRate = 44100;

// Interleaved samples in -1..1.
struct Sound {
  int channels = 1;
  int rate = kEffectRate;
  std::vector<float> samples;

  size_t frames() const { return samples.size() / static_cast<size_t>(channels); }
  double seconds() const { return static_cast<double>(frames()) / rate; }
};

Sound make_explosion();  // "explosion.wav": a blast with a low rumble, ~1 s
Sound make_keyclick();   // "keyclick.wav": a short soft click, ~40 ms
Sound make_fanfare();    // "fanfare.wav": a bright rising arpeggio, ~1.2 s
// The title music: 32 bars at 120 beats a minute (64 s), stereo, built so
// that its end runs straight into its start.
Sound make_music();

std::vector<uint8_t> encode_wave(const Sound& s);
// MP3 through LAME (VBR, with the gapless-playback header). Empty on failure.
std::vector<uint8_t> encode_mp3(const Sound& s);

}  // namespace assetgen
