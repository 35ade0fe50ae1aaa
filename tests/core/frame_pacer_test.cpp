// The frame wait's spin margin: learned from how late sleeps wake, grown
// at once by a late frame, given back slowly.
#include <gtest/gtest.h>

#include <cmath>

#include "core/frame_pacer.h"

namespace {

using quarvel::FramePacer;

// Frames that each slept once, waking `overshoot` late, and came on time.
void quiet_frames(FramePacer& pacer, int frames, double overshoot) {
  for (int k = 0; k < frames; ++k) {
    pacer.sleep_ended(overshoot);
    pacer.frame_done(0.01);
  }
}

TEST(FramePacer, MarginFollowsTheSleepsAndShrinksSlowly) {
  FramePacer pacer;
  EXPECT_DOUBLE_EQ(pacer.margin_ms(), FramePacer::kStartMarginMs);
  quiet_frames(pacer, 10, 0.1);
  // Still well above what the sleeps need: it is given back slowly.
  EXPECT_GT(pacer.margin_ms(), 0.4);
  quiet_frames(pacer, 400, 0.1);
  EXPECT_NEAR(pacer.margin_ms(), 0.1 + FramePacer::kGuardMs, 0.01);

  // Sleeps that start waking later raise the margin at once.
  quiet_frames(pacer, 64, 0.6);
  EXPECT_NEAR(pacer.margin_ms(), 0.6 + FramePacer::kGuardMs, 1e-9);
}

TEST(FramePacer, RareSlowWakeUpsAreIgnoredFrequentOnesCount) {
  for (int slow : {31, 32}) {
    FramePacer pacer;
    quiet_frames(pacer, 400, -0.01);  // early wake-ups count as 0
    // The last 64 sleeps: slow ones among quick ones.
    quiet_frames(pacer, 64 - slow, 0.1);
    quiet_frames(pacer, slow, 1.5);
    // 31 slow sleeps in the last 64 are under half; 32 are not.
    if (slow == 31) {
      EXPECT_LT(pacer.margin_ms(), 0.2) << slow;
    } else {
      EXPECT_GT(pacer.margin_ms(), 0.2) << slow;
    }
  }
}

TEST(FramePacer, LateFramesMoreOftenThanOneInAHundredGrowTheMargin) {
  FramePacer pacer;
  quiet_frames(pacer, 400, 0.05);
  const double before = pacer.margin_ms();
  // A late frame now and then is a stall that no margin would catch.
  for (int k = 0; k < 3; ++k) {
    pacer.frame_done(0.8);
    EXPECT_NEAR(pacer.margin_ms(), before, 1e-3) << k;
    quiet_frames(pacer, FramePacer::kLateSpacing, 0.05);
  }
  // The next one within a hundred frames grows it at once.
  pacer.frame_done(0.8);
  quiet_frames(pacer, FramePacer::kLateSpacing - 2, 0.05);
  pacer.frame_done(0.8);
  EXPECT_GE(pacer.margin_ms(), before + 0.7);
  pacer.frame_done(1.9);
  EXPECT_EQ(pacer.margin_ms(), FramePacer::kLargestMarginMs);

  // Stalls longer than any margin teach nothing, however often.
  FramePacer stalled;
  quiet_frames(stalled, 400, 0.05);
  const double quiet = stalled.margin_ms();
  for (int k = 0; k < 5; ++k) stalled.frame_done(50.0);
  EXPECT_NEAR(stalled.margin_ms(), quiet, 1e-3);
  pacer.sleep_ended(std::nan(""));
  pacer.frame_done(std::nan(""));
  EXPECT_LE(pacer.margin_ms(), FramePacer::kLargestMarginMs);
  EXPECT_GE(pacer.margin_ms(), FramePacer::kSmallestMarginMs);
}

}  // namespace
