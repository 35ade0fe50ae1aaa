// The title music: a calm 32-bar piece in A minor at 120 beats a minute.
// Everything is rendered into a circular buffer, so notes and echoes that
// ring past the last bar land at the start and the loop has no seam.
//
//   bars  0-7   Am F C G | Am F C E      pads, bass, light drums
//   bars  8-15  F G Em Am | Dm G C E     + arpeggio, snare
//   bars 16-23  as 0-7                   + lead melody
//   bars 24-31  as 8-15                  + lead melody, fill into the loop
#include <algorithm>
#include <cmath>

#include <lame/lame.h>

#include "audio.h"
#include "canvas.h"

namespace assetgen {
namespace {

constexpr float kTwoPi = 6.2831853f;
constexpr float kBeat = 0.5f;  // seconds
constexpr int kBars = 32;
constexpr float kBar = 4 * kBeat;
constexpr int kRate = kMusicRate;

float note_hz(float midi) { return 440.0f * std::pow(2.0f, (midi - 69.0f) / 12.0f); }

struct Bus {
  std::vector<float> left, right;
  explicit Bus(size_t frames) : left(frames, 0.0f), right(frames, 0.0f) {}
  size_t frames() const { return left.size(); }
  void add(size_t frame, float v, float pan) {  // pan 0 left .. 1 right
    frame %= frames();
    left[frame] += v * std::sqrt(1.0f - pan);
    right[frame] += v * std::sqrt(pan);
  }
};

size_t frame_at(float seconds) { return static_cast<size_t>(std::lround(seconds * kRate)); }

// Band-limited sawtooth (polyBLEP).
struct Saw {
  float phase = 0.0f;
  float next(float hz) {
    const float dt = hz / kRate;
    phase += dt;
    if (phase >= 1.0f) phase -= 1.0f;
    float v = 2.0f * phase - 1.0f;
    if (phase < dt) {
      const float t = phase / dt;
      v -= t + t - t * t - 1.0f;
    } else if (phase > 1.0f - dt) {
      const float t = (phase - 1.0f) / dt;
      v -= t * t + t + t + 1.0f;
    }
    return v;
  }
};

struct LowPass {
  float a = 0.0f, b = 0.0f;
  float next(float x, float hz) {
    const float k = 1.0f - std::exp(-kTwoPi * hz / kRate);
    a += k * (x - a);
    b += k * (a - b);
    return b;
  }
};

struct Chord {
  int root;      // bass note
  int pad[3];    // pad voicing
  int arp[4];    // arpeggio tones, low to high
};

// A2=45 ... C4=60.
const Chord kAm = {45, {57, 60, 64}, {69, 72, 76, 81}};
const Chord kF = {41, {57, 60, 65}, {65, 69, 72, 77}};
const Chord kC = {48, {55, 60, 64}, {67, 72, 76, 79}};
const Chord kG = {43, {55, 59, 62}, {67, 71, 74, 79}};
const Chord kE = {40, {56, 59, 64}, {64, 68, 71, 76}};
const Chord kEm = {40, {55, 59, 64}, {64, 67, 71, 76}};
const Chord kDm = {38, {57, 62, 65}, {62, 65, 69, 74}};

const Chord* const kVerse[8] = {&kAm, &kF, &kC, &kG, &kAm, &kF, &kC, &kE};
const Chord* const kBridge[8] = {&kF, &kG, &kEm, &kAm, &kDm, &kG, &kC, &kE};

const Chord& chord_of_bar(int bar) {
  const int section = bar / 8;
  return section % 2 == 0 ? *kVerse[bar % 8] : *kBridge[bar % 8];
}

struct MelodyNote {
  int bar;
  float beat, length;
  int note;
};

const MelodyNote kMelody[] = {
    {16, 0, 1, 76},     {16, 1, 1.5f, 81},  {16, 2.5f, 0.5f, 79}, {16, 3, 1, 76},     {17, 0, 1, 72},
    {17, 1, 1, 77},     {17, 2, 2, 76},     {18, 0, 1.5f, 79},    {18, 1.5f, 0.5f, 76}, {18, 2, 1, 72},
    {18, 3, 1, 74},     {19, 0, 2, 74},     {19, 2, 1, 71},       {19, 3, 1, 74},     {20, 0, 1, 76},
    {20, 1, 1, 81},     {20, 2, 1.5f, 84},  {20, 3.5f, 0.5f, 83}, {21, 0, 2, 81},     {21, 2, 1, 77},
    {21, 3, 1, 79},     {22, 0, 1.5f, 76},  {22, 1.5f, 0.5f, 74}, {22, 2, 2, 72},     {23, 0, 2, 71},
    {23, 2, 1, 68},     {23, 3, 1, 71},     {24, 0, 1, 72},       {24, 1, 1, 77},     {24, 2, 2, 81},
    {25, 0, 1, 79},     {25, 1, 1, 74},     {25, 2, 2, 71},       {26, 0, 1.5f, 76},  {26, 1.5f, 0.5f, 79},
    {26, 2, 2, 83},     {27, 0, 3, 81},     {27, 3, 1, 76},       {28, 0, 1, 77},     {28, 1, 1, 81},
    {28, 2, 1.5f, 86},  {28, 3.5f, 0.5f, 84}, {29, 0, 1, 83},     {29, 1, 1, 79},     {29, 2, 2, 74},
    {30, 0, 1, 76},     {30, 1, 1, 79},     {30, 2, 2, 84},       {31, 0, 2, 83},     {31, 2, 2, 80},
};

// Warm pad: two detuned saws through a low-pass, slow attack, long release.
void pad_note(Bus& bus, float start, float length, int midi, float gain) {
  const float release = 0.8f;
  const size_t first = frame_at(start), count = frame_at(length + release);
  Saw a, b;
  b.phase = 0.37f;
  LowPass filter;
  const float hz = note_hz(static_cast<float>(midi));
  const float pan = 0.3f + 0.4f * static_cast<float>(midi % 5) / 4.0f;
  for (size_t i = 0; i < count; ++i) {
    const float t = static_cast<float>(i) / kRate;
    float env = std::min(1.0f, t / 0.35f);
    if (t > length) env *= std::exp(-(t - length) / 0.25f);
    const float wobble = 1.0f + 0.0015f * std::sin(kTwoPi * 0.3f * t);
    const float raw = a.next(hz * 1.004f * wobble) + b.next(hz * 0.996f);
    const float v = filter.next(raw, 900.0f + 500.0f * std::sin(kTwoPi * 0.125f * (start + t))) * env * gain;
    bus.add(first + i, v, pan);
  }
}

// Round bass: a sine with a touch of filtered saw, plucked.
void bass_note(Bus& bus, float start, float length, int midi, float gain) {
  const size_t first = frame_at(start), count = frame_at(length + 0.05f);
  const float hz = note_hz(static_cast<float>(midi));
  Saw saw;
  LowPass filter;
  float phase = 0.0f;
  for (size_t i = 0; i < count; ++i) {
    const float t = static_cast<float>(i) / kRate;
    phase += kTwoPi * hz / kRate;
    float env = std::min(1.0f, t / 0.004f) * (0.55f + 0.45f * std::exp(-t / 0.12f));
    if (t > length) env *= std::max(0.0f, 1.0f - (t - length) / 0.05f);
    const float v = std::sin(phase) + 0.35f * filter.next(saw.next(hz), 500.0f + 1500.0f * std::exp(-t / 0.05f));
    bus.add(first + i, v * env * gain, 0.5f);
  }
}

// Arpeggio pluck: a soft square, quickly decaying.
void pluck_note(Bus& bus, float start, int midi, float gain, float pan) {
  const size_t first = frame_at(start), count = frame_at(0.35f);
  const float hz = note_hz(static_cast<float>(midi));
  Saw a, b;
  b.phase = 0.5f;
  LowPass filter;
  for (size_t i = 0; i < count; ++i) {
    const float t = static_cast<float>(i) / kRate;
    const float env = std::min(1.0f, t / 0.003f) * std::exp(-t / 0.085f);
    const float square = a.next(hz) - b.next(hz);
    bus.add(first + i, filter.next(square, 1800.0f + 2500.0f * std::exp(-t / 0.04f)) * env * gain, pan);
  }
}

// Lead: a mellow mix of triangle and sine with a gentle vibrato.
void lead_note(Bus& bus, float start, float length, int midi, float gain) {
  const size_t first = frame_at(start), count = frame_at(length + 0.25f);
  const float hz = note_hz(static_cast<float>(midi));
  float phase = 0.0f;
  for (size_t i = 0; i < count; ++i) {
    const float t = static_cast<float>(i) / kRate;
    const float vibrato = 1.0f + 0.005f * std::sin(kTwoPi * 5.0f * t) * smoothstep(0.15f, 0.4f, t);
    phase += hz * vibrato / kRate;
    phase -= std::floor(phase);
    const float triangle = 4.0f * std::fabs(phase - 0.5f) - 1.0f;
    const float v = 0.6f * triangle + 0.5f * std::sin(kTwoPi * phase) + 0.12f * std::sin(2 * kTwoPi * phase);
    float env = std::min(1.0f, t / 0.025f) * (0.75f + 0.25f * std::exp(-t / 0.2f));
    if (t > length - 0.04f) env *= std::exp(-(t - (length - 0.04f)) / 0.07f);
    bus.add(first + i, v * env * gain, 0.55f);
  }
}

void kick(Bus& bus, float start, float gain) {
  const size_t first = frame_at(start), count = frame_at(0.3f);
  float phase = 0.0f;
  for (size_t i = 0; i < count; ++i) {
    const float t = static_cast<float>(i) / kRate;
    phase += kTwoPi * (45.0f + 90.0f * std::exp(-t / 0.03f)) / kRate;
    const float env = std::min(1.0f, t / 0.002f) * std::exp(-t / 0.12f);
    bus.add(first + i, std::sin(phase) * env * gain, 0.5f);
  }
}

void snare(Bus& bus, Random& random, float start, float gain) {
  const size_t first = frame_at(start), count = frame_at(0.22f);
  LowPass body;
  float phase = 0.0f, last = 0.0f;
  for (size_t i = 0; i < count; ++i) {
    const float t = static_cast<float>(i) / kRate;
    const float white = random.uniform() * 2.0f - 1.0f;
    const float bright = white - last;  // a first difference lifts the highs
    last = white;
    phase += kTwoPi * 185.0f / kRate;
    const float v = 0.55f * body.next(bright, 5000.0f) * std::exp(-t / 0.07f) + 0.4f * std::sin(phase) * std::exp(-t / 0.04f);
    bus.add(first + i, v * std::min(1.0f, t / 0.001f) * gain, 0.45f);
  }
}

void hat(Bus& bus, Random& random, float start, float gain, float decay) {
  const size_t first = frame_at(start), count = frame_at(decay * 5.0f);
  float last = 0.0f;
  for (size_t i = 0; i < count; ++i) {
    const float t = static_cast<float>(i) / kRate;
    const float white = random.uniform() * 2.0f - 1.0f;
    const float v = (white - last) * 0.5f;
    last = white;
    bus.add(first + i, v * std::exp(-t / decay) * gain, 0.62f);
  }
}

// Ping-pong echo over the circular bus: two laps, the second one written.
void echo(Bus& bus, float delay_seconds, float feedback, float wet) {
  const size_t n = bus.frames(), d = frame_at(delay_seconds);
  std::vector<float> el(n, 0.0f), er(n, 0.0f);
  for (size_t lap = 0; lap < 2; ++lap)
    for (size_t i = 0; i < n; ++i) {
      const size_t j = (i + n - d) % n;
      el[i] = bus.right[j] + feedback * er[j];
      er[i] = bus.left[j] + feedback * el[j];
    }
  for (size_t i = 0; i < n; ++i) {
    bus.left[i] += wet * el[i];
    bus.right[i] += wet * er[i];
  }
}

}  // namespace

Sound make_music() {
  const size_t frames = frame_at(kBars * kBar);
  Bus dry(frames), echoed(frames);
  Random random(2024);

  for (int bar = 0; bar < kBars; ++bar) {
    const float t0 = bar * kBar;
    const Chord& chord = chord_of_bar(bar);
    const int section = bar / 8;

    for (int v = 0; v < 3; ++v) pad_note(dry, t0, kBar - 0.05f, chord.pad[v], 0.075f);

    // Bass: eighths with a lift to the octave on the off-beats of beats 2 and 4.
    for (int e = 0; e < 8; ++e) {
      const int note = chord.root + ((e == 3 || e == 7) ? 12 : 0);
      bass_note(dry, t0 + e * kBeat / 2, kBeat / 2 - 0.03f, note, e % 2 == 0 ? 0.28f : 0.2f);
    }

    // Arpeggio in sixteenths from the second section on, up and down the chord.
    if (section >= 1) {
      static const int pattern[16] = {0, 1, 2, 3, 2, 1, 2, 3, 0, 1, 2, 3, 3, 2, 1, 2};
      for (int s = 0; s < 16; ++s) {
        const float accent = (s % 4 == 0) ? 1.0f : 0.7f;
        pluck_note(echoed, t0 + s * kBeat / 4, chord.arp[pattern[s]], 0.055f * accent, s % 2 ? 0.35f : 0.65f);
      }
    }

    // Drums: kick on 1 and 3, snare on 2 and 4 from bar 8, hats on eighths.
    for (int beat = 0; beat < 4; ++beat) {
      const float tb = t0 + beat * kBeat;
      if (beat % 2 == 0) kick(dry, tb, 0.42f);
      if (beat % 2 == 1 && bar >= 8) snare(dry, random, tb, 0.16f);
      hat(dry, random, tb + kBeat / 2, 0.07f, 0.02f);
      hat(dry, random, tb, 0.035f, 0.012f);
    }
    // A short snare fill closes each half.
    if (bar % 16 == 15)
      for (int s = 0; s < 4; ++s) snare(dry, random, t0 + 3 * kBeat + s * kBeat / 4, 0.07f + 0.03f * s);
  }

  for (const MelodyNote& m : kMelody)
    lead_note(echoed, m.bar * kBar + m.beat * kBeat, m.length * kBeat, m.note, 0.12f);

  echo(echoed, 0.75f * kBeat, 0.38f, 0.45f);

  Sound s;
  s.channels = 2;
  s.rate = kRate;
  s.samples.resize(frames * 2);
  float peak = 0.0f;
  for (size_t i = 0; i < frames; ++i) {
    s.samples[i * 2] = dry.left[i] + echoed.left[i];
    s.samples[i * 2 + 1] = dry.right[i] + echoed.right[i];
    peak = std::max({peak, std::fabs(s.samples[i * 2]), std::fabs(s.samples[i * 2 + 1])});
  }
  // A moderate level: the loudest sample at about -3.5 dBFS.
  if (peak > 0.0f)
    for (float& v : s.samples) v *= 0.67f / peak;
  return s;
}

std::vector<uint8_t> encode_mp3(const Sound& s) {
  lame_global_flags* lame = lame_init();
  if (!lame) return {};
  lame_set_num_channels(lame, s.channels);
  lame_set_in_samplerate(lame, s.rate);
  lame_set_out_samplerate(lame, s.rate);
  lame_set_mode(lame, s.channels == 2 ? JOINT_STEREO : MONO);
  lame_set_VBR(lame, vbr_default);
  lame_set_VBR_quality(lame, 4.0f);
  lame_set_quality(lame, 5);
  lame_set_bWriteVbrTag(lame, 1);
  lame_set_write_id3tag_automatic(lame, 0);
  if (lame_init_params(lame) < 0) {
    lame_close(lame);
    return {};
  }
  const size_t frames = s.frames();
  std::vector<short> pcm(s.samples.size());
  for (size_t i = 0; i < pcm.size(); ++i)
    pcm[i] = static_cast<short>(std::lround(std::clamp(s.samples[i], -1.0f, 1.0f) * 32767.0f));

  std::vector<uint8_t> out;
  const size_t chunk = 8192;
  std::vector<unsigned char> buffer(static_cast<size_t>(1.25 * chunk) + 7200);
  bool ok = true;
  for (size_t f = 0; f < frames && ok; f += chunk) {
    const int count = static_cast<int>(std::min(chunk, frames - f));
    int written;
    if (s.channels == 2) {
      written = lame_encode_buffer_interleaved(lame, pcm.data() + f * 2, count, buffer.data(), static_cast<int>(buffer.size()));
    } else {
      written = lame_encode_buffer(lame, pcm.data() + f, nullptr, count, buffer.data(), static_cast<int>(buffer.size()));
    }
    if (written < 0) ok = false;
    else out.insert(out.end(), buffer.begin(), buffer.begin() + written);
  }
  if (ok) {
    const int written = lame_encode_flush(lame, buffer.data(), static_cast<int>(buffer.size()));
    if (written < 0) ok = false;
    else out.insert(out.end(), buffer.begin(), buffer.begin() + written);
  }
  if (ok) {
    // The header frame at the start carries the encoder delay and padding,
    // which lets players loop the piece without a gap.
    std::vector<unsigned char> tag(8192);
    const size_t size = lame_get_lametag_frame(lame, tag.data(), tag.size());
    if (size > 0 && size <= out.size()) std::copy(tag.begin(), tag.begin() + static_cast<long>(size), out.begin());
  }
  lame_close(lame);
  if (!ok) out.clear();
  return out;
}

}  // namespace assetgen
