// The synthesised sounds, checked on their samples before encoding: the
// music must loop without a seam at a moderate level, the fanfare must rise
// and the explosion must rumble and darken.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <vector>

#include "audio.h"

namespace {

using assetgen::Sound;

// Magnitude of one frequency in a stretch of one channel (Goertzel).
double tone(const Sound& s, int channel, double hz, double from, double to) {
  const size_t first = static_cast<size_t>(from * s.rate), last = std::min(s.frames(), static_cast<size_t>(to * s.rate));
  const double k = 2.0 * std::cos(2.0 * M_PI * hz / s.rate);
  double s1 = 0, s2 = 0;
  for (size_t i = first; i < last; ++i) {
    const double s0 = s.samples[i * s.channels + channel] + k * s1 - s2;
    s2 = s1;
    s1 = s0;
  }
  return std::sqrt(std::max(0.0, s1 * s1 + s2 * s2 - k * s1 * s2)) / static_cast<double>(last - first);
}

TEST(Music, LoopsWithoutASeamAtAModerateLevel) {
  const Sound music = assetgen::make_music();
  ASSERT_EQ(music.channels, 2);
  EXPECT_TRUE(music.rate == 44100 || music.rate == 22050);
  EXPECT_GE(music.seconds(), 60.0);

  double peak = 0, energy = 0;
  for (float v : music.samples) {
    peak = std::max(peak, static_cast<double>(std::fabs(v)));
    energy += static_cast<double>(v) * v;
  }
  const double rms = std::sqrt(energy / static_cast<double>(music.samples.size()));
  EXPECT_LT(peak, 0.8) << "too loud: it would clip after encoding";
  EXPECT_GT(rms, 0.04) << "too quiet";
  EXPECT_LT(rms, 0.3) << "too loud for background music";

  // The step from the last frame to the first is no larger than the steps
  // the music takes anyway.
  for (int c = 0; c < 2; ++c) {
    std::vector<float> steps;
    for (size_t i = 1; i < music.frames(); ++i)
      steps.push_back(std::fabs(music.samples[i * 2 + c] - music.samples[(i - 1) * 2 + c]));
    std::nth_element(steps.begin(), steps.begin() + steps.size() * 99 / 100, steps.end());
    const float typical = steps[steps.size() * 99 / 100];
    const float seam = std::fabs(music.samples[c] - music.samples[(music.frames() - 1) * 2 + c]);
    EXPECT_LE(seam, typical) << "channel " << c;
  }
}

TEST(SoundEffects, FanfareRisesThroughItsNotes) {
  const Sound fanfare = assetgen::make_fanfare();
  const double notes[] = {392.00, 523.25, 659.25, 783.99, 1046.50, 1318.51};
  // The moment each note first sounds strongly: in order, low to high. An
  // octave up is also the second harmonic of a note before it, hence the
  // high threshold.
  double previous = -1.0;
  for (double hz : notes) {
    double onset = -1.0;
    double strongest = 0.0;
    auto level = [&](double t) { return tone(fanfare, 0, hz, t, t + 0.03) + tone(fanfare, 1, hz, t, t + 0.03); };
    for (double t = 0.0; t + 0.03 < fanfare.seconds(); t += 0.01) strongest = std::max(strongest, level(t));
    for (double t = 0.0; t + 0.03 < fanfare.seconds() && onset < 0; t += 0.01)
      if (level(t) > 0.8 * strongest) onset = t;
    EXPECT_GT(onset, previous) << hz << " Hz";
    previous = onset;
  }
  EXPECT_LT(previous, 0.6) << "the arpeggio should arrive quickly";
}

TEST(SoundEffects, ExplosionRumblesLowAndDarkens) {
  const Sound blast = assetgen::make_explosion();
  EXPECT_GE(blast.seconds(), 0.8);
  const double low_late = tone(blast, 0, 45.0, 0.4, 0.8) + tone(blast, 0, 60.0, 0.4, 0.8);
  const double high_late = tone(blast, 0, 3000.0, 0.4, 0.8) + tone(blast, 0, 4000.0, 0.4, 0.8);
  const double high_early = tone(blast, 0, 3000.0, 0.0, 0.1) + tone(blast, 0, 4000.0, 0.0, 0.1);
  EXPECT_GT(low_late, 4.0 * high_late) << "the tail should be a low rumble";
  EXPECT_GT(high_early, 4.0 * high_late) << "the blast should start bright and darken";
}

}  // namespace
