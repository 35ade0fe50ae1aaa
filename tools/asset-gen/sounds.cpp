// The sound effects and the wave file writer.
#include <algorithm>
#include <cmath>
#include <cstdint>

#include "audio.h"
#include "canvas.h"

namespace assetgen {
namespace {

constexpr float kTwoPi = 6.2831853f;

// Scales the sound so that its loudest sample reaches `peak`.
void normalise(Sound& s, float peak) {
  float top = 0.0f;
  for (float v : s.samples) top = std::max(top, std::fabs(v));
  if (top <= 0.0f) return;
  for (float& v : s.samples) v *= peak / top;
}

// A short linear fade at both ends so that no sound starts or stops with a step.
void fade_ends(Sound& s, float in_seconds, float out_seconds) {
  const size_t frames = s.frames();
  const size_t in = static_cast<size_t>(in_seconds * s.rate), out = static_cast<size_t>(out_seconds * s.rate);
  for (size_t f = 0; f < frames; ++f) {
    float g = 1.0f;
    if (f < in) g = static_cast<float>(f) / in;
    if (f + out > frames) g = std::min(g, static_cast<float>(frames - f) / out);
    for (int c = 0; c < s.channels; ++c) s.samples[f * s.channels + c] *= g;
  }
}

float noise(Random& r) { return r.uniform() * 2.0f - 1.0f; }

// One-pole low-pass coefficient for a cut-off frequency.
float lowpass_coefficient(float hz, int rate) { return 1.0f - std::exp(-kTwoPi * hz / static_cast<float>(rate)); }

}  // namespace

Sound make_explosion() {
  Sound s;
  const int n = static_cast<int>(1.1f * s.rate);
  s.samples.assign(n, 0.0f);
  Random random(7);
  float lp1 = 0, lp2 = 0, brown = 0, phase = 0;
  for (int i = 0; i < n; ++i) {
    const float t = static_cast<float>(i) / s.rate;
    const float attack = std::min(1.0f, t / 0.004f);
    // Bright at the blast, darkening as it dies away.
    const float cutoff = 160.0f + 5200.0f * std::exp(-t / 0.09f);
    const float k = lowpass_coefficient(cutoff, s.rate);
    const float white = noise(random);
    lp1 += k * (white - lp1);
    lp2 += k * (lp1 - lp2);
    const float body = lp2 * std::exp(-t / 0.26f);
    // A low rumble: leaky integrated noise and a falling sine.
    brown = brown * 0.995f + white * 0.05f;
    phase += kTwoPi * (62.0f * std::exp(-t / 0.6f) + 30.0f) / s.rate;
    const float rumble = (0.9f * brown + 0.45f * std::sin(phase)) * std::exp(-t / 0.42f);
    // Crackle: sparse sharp clicks early on.
    float crackle = 0.0f;
    if (t < 0.35f && random.uniform() < 0.004f) crackle = noise(random) * (1.0f - t / 0.35f);
    s.samples[i] = attack * (1.2f * body + rumble + 0.6f * crackle);
  }
  normalise(s, 0.85f);
  fade_ends(s, 0.0f, 0.08f);
  return s;
}

Sound make_keyclick() {
  Sound s;
  const int n = static_cast<int>(0.04f * s.rate);
  s.samples.assign(n, 0.0f);
  Random random(3);
  float lp = 0;
  for (int i = 0; i < n; ++i) {
    const float t = static_cast<float>(i) / s.rate;
    const float env = std::min(1.0f, t / 0.0008f) * std::exp(-t / 0.0065f);
    lp += 0.35f * (noise(random) - lp);
    const float tone = std::sin(kTwoPi * 1750.0f * t) + 0.35f * std::sin(kTwoPi * 2900.0f * t);
    s.samples[i] = env * (0.8f * tone + 0.5f * lp);
  }
  normalise(s, 0.5f);
  fade_ends(s, 0.0f, 0.005f);
  return s;
}

Sound make_fanfare() {
  Sound s;
  s.channels = 2;
  const float length = 1.25f;
  const int n = static_cast<int>(length * s.rate);
  s.samples.assign(static_cast<size_t>(n) * 2, 0.0f);
  // G4 C5 E5 G5 C6 E6, then the top note rings on.
  const float notes[] = {392.00f, 523.25f, 659.25f, 783.99f, 1046.50f, 1318.51f};
  const float step = 0.075f;
  for (int k = 0; k < 6; ++k) {
    const float start = k * step;
    const float pan = (k % 2 == 0) ? 0.35f : 0.65f;
    const float hold = (k == 5) ? length - start : 0.55f + 0.08f * k;
    const int first = static_cast<int>(start * s.rate);
    const int count = std::min(n - first, static_cast<int>(hold * s.rate));
    float phase = 0.0f;  // in cycles of the fundamental
    for (int i = 0; i < count; ++i) {
      const float t = static_cast<float>(i) / s.rate;
      const float vibrato = 1.0f + 0.004f * std::sin(kTwoPi * 5.5f * t) * std::min(1.0f, t / 0.3f);
      const float f = notes[k] * vibrato;
      phase += f / s.rate;
      phase -= std::floor(phase);
      // Brass-like: harmonics whose brightness swells with the attack and fades.
      const float bright = 0.35f + 0.65f * std::exp(-t / 0.25f);
      float v = 0.0f;
      for (int h = 1; h <= 8; ++h) {
        if (f * h > 9000.0f) break;
        v += std::sin(kTwoPi * phase * h) * std::pow(bright, static_cast<float>(h - 1)) / h;
      }
      const float env = std::min(1.0f, t / 0.012f) * std::exp(-t / (k == 5 ? 0.5f : 0.35f));
      const float release = std::min(1.0f, (hold - t) / 0.05f);
      const float sample = v * env * release * 0.3f;
      s.samples[(first + i) * 2 + 0] += sample * (1.0f - pan) * 2.0f;
      s.samples[(first + i) * 2 + 1] += sample * pan * 2.0f;
    }
  }
  // A sparkle of bells over the end.
  for (int k = 0; k < 5; ++k) {
    const float start = 0.42f + 0.06f * k;
    const float f = 2093.0f * std::pow(2.0f, (k % 3) * 4.0f / 12.0f);
    const int first = static_cast<int>(start * s.rate);
    for (int i = 0; first + i < n; ++i) {
      const float t = static_cast<float>(i) / s.rate;
      const float v = std::sin(kTwoPi * f * t) * std::exp(-t / 0.18f) * 0.08f;
      s.samples[(first + i) * 2 + (k % 2)] += v;
      s.samples[(first + i) * 2 + 1 - (k % 2)] += v * 0.5f;
    }
  }
  normalise(s, 0.8f);
  fade_ends(s, 0.0f, 0.06f);
  return s;
}

std::vector<uint8_t> encode_wave(const Sound& s) {
  const uint32_t data_bytes = static_cast<uint32_t>(s.samples.size() * 2);
  std::vector<uint8_t> out;
  auto u32 = [&](uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto u16 = [&](uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
  };
  auto tag = [&](const char* t) { out.insert(out.end(), t, t + 4); };
  tag("RIFF");
  u32(36 + data_bytes);
  tag("WAVE");
  tag("fmt ");
  u32(16);
  u16(1);
  u16(static_cast<uint16_t>(s.channels));
  u32(static_cast<uint32_t>(s.rate));
  u32(static_cast<uint32_t>(s.rate * s.channels * 2));
  u16(static_cast<uint16_t>(s.channels * 2));
  u16(16);
  tag("data");
  u32(data_bytes);
  for (float v : s.samples) {
    const long q = std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f);
    u16(static_cast<uint16_t>(static_cast<int16_t>(q)));
  }
  return out;
}

}  // namespace assetgen
