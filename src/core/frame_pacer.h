// How long before a frame's grid point the frame wait stops sleeping and
// spins. Sleeps end late by a little (the scheduler's wake-up latency); the
// wait sleeps to an absolute deadline that much before the grid point and
// spins the rest, so the margin is learned from how late recent sleeps
// woke: their median plus a small guard (a sleep that ends a few hundredths
// of a millisecond past the grid point costs nothing anyone sees; a spin
// costs every frame). Frames that still come more than a quarter of a
// millisecond late, more often than one in a hundred, grow the margin at
// once; a single late frame, or one later than any margin would have
// caught, is a stall of the machine, and spinning against it would cost
// every frame. Otherwise the margin shrinks slowly towards what the sleeps
// show. Plain arithmetic, no clock of its own.
#pragma once

#include <array>
#include <cstddef>

namespace quarvel {

class FramePacer {
 public:
  static constexpr double kGuardMs = 0.05;
  static constexpr double kSmallestMarginMs = 0.05;
  static constexpr double kLargestMarginMs = 2.0;
  static constexpr double kStartMarginMs = 0.5;
  // A frame handed back later than this after its grid point was late.
  static constexpr double kLateMs = 0.25;
  // A late frame within this many frames of the last one grows the margin.
  static constexpr int kLateSpacing = 100;

  // The spin margin to use now, in milliseconds.
  double margin_ms() const { return margin_ms_; }
  // A sleep meant to end at some deadline ended `overshoot_ms` after it
  // (negative: before it).
  void sleep_ended(double overshoot_ms);
  // A frame was handed back `late_ms` after its grid point.
  void frame_done(double late_ms);

 private:
  double learned_ms() const;

  static constexpr size_t kWindow = 64;
  std::array<double, kWindow> overshoots_{};
  size_t count_ = 0;
  size_t next_ = 0;
  double margin_ms_ = kStartMarginMs;
  int frames_since_late_ = kLateSpacing;
};

}  // namespace quarvel
