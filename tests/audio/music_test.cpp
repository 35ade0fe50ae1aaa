// Music and its watcher thread, heard through the disk audio driver.
#include <quarvel/quarvel.h>

#include <cstdlib>

#include "audio/music_player.h"
#include "audio_fixture.h"
#include "core/engine_state.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

constexpr int16_t kLevel = 8000;

using MusicTest = AudioTest;

DynString music_file(int ms = 400) {
  return DynString(write_constant_wave("music.wav", ms, kLevel, kLevel).c_str());
}

TEST_F(MusicTest, MusicStartsAgainAfterItsEnd) {
  const size_t mark = output_mark();
  play_music(music_file(400));
  EXPECT_EQ(music_watchers_running(), 1);
  Output out = wait_output(mark, 2400);
  EXPECT_EQ(peak(out.left), kLevel);
  // Heard, silent for a while after its end, heard again (within about
  // half a second of each check of the watcher).
  EXPECT_GE(sound_runs(out.left, 100, 50), 2);
  stop_music();
}

TEST_F(MusicTest, MusicVolumeScalesAndZeroSilences) {
  play_music(music_file(3000));
  set_music_volume(0);
  size_t mark = output_mark();
  // The first part may still hold what was mixed before the volume changed.
  EXPECT_EQ(peak(wait_output(mark, 600, 250).left), 0);
  set_music_volume(0.5);
  mark = output_mark();
  EXPECT_EQ(peak(wait_output(mark, 600, 250).left), kLevel / 2);
  set_music_volume(1);
  mark = output_mark();
  EXPECT_EQ(peak(wait_output(mark, 600, 250).left), kLevel);
  stop_music();
}

TEST_F(MusicTest, StopMusicStopsItAndItsThread) {
  play_music(music_file(3000));
  sleep_ms(200);
  stop_music();
  EXPECT_EQ(music_watchers_running(), 0);
  ASSERT_NE(engine().music, nullptr);
  EXPECT_EQ(engine().music->music, nullptr);
  const size_t mark = output_mark();
  // Silent, and not started again by a watcher.
  EXPECT_EQ(peak(wait_output(mark, 1500, 250).left), 0);
  stop_music();  // twice is harmless
}

TEST_F(MusicTest, PlayMusicTwiceLeavesOnePlayerAndOneThread) {
  const DynString file = music_file(3000);
  play_music(file);
  play_music(file);
  EXPECT_EQ(music_watchers_running(), 1);
  const size_t mark = output_mark();
  EXPECT_EQ(peak(wait_output(mark, 600, 250).left), kLevel);
  stop_music();
  EXPECT_EQ(music_watchers_running(), 0);
}

TEST_F(MusicTest, SetMusicVolumeBeforeAnyMusicDoesNothing) {
  auto no_music = [] { return engine().music == nullptr || engine().music->music == nullptr; };
  ASSERT_TRUE(no_music());
  set_music_volume(0);
  EXPECT_TRUE(no_music());
  // play_music starts at normal volume.
  play_music(music_file(3000));
  const size_t mark = output_mark();
  EXPECT_EQ(peak(wait_output(mark, 600, 250).left), kLevel);
  stop_music();
}

TEST_F(MusicTest, MusicThatCannotBeFoundStopsTheOldAndIsIgnored) {
  play_music(music_file(3000));
  play_music(DynString("no-such-music.ogg"));
  EXPECT_EQ(music_watchers_running(), 0);
  const size_t mark = output_mark();
  EXPECT_EQ(peak(wait_output(mark, 600, 250).left), 0);
  // A file the mixer cannot read gives no music either.
  play_music(DynString(write_wave("not-music.mp3", {'n', 'o', 't', 0, 1, 2}).c_str()));
  EXPECT_EQ(music_watchers_running(), 0);
}

TEST_F(MusicTest, MusicPlaysMp3Files) {
  if (ffmpeg_tool().empty()) GTEST_SKIP() << "no ffmpeg tool to make an MP3 file";
  const std::string path = temp_dir_file("tone.mp3");
  ASSERT_TRUE(run_ffmpeg("-f lavfi -i sine=frequency=440:duration=2:sample_rate=22050 -ac 2 '" + path + "'"));
  play_music(DynString(path.c_str()));
  EXPECT_EQ(music_watchers_running(), 1);
  const size_t mark = output_mark();
  EXPECT_GT(peak(wait_output(mark, 700, 250).left), 1000);
  stop_music();
}

using MusicDeathTest = AudioTest;

TEST_F(MusicDeathTest, MusicShutdownStopsTheWatcherUnderTheLock) {
  EXPECT_EXIT(
      {
        play_music(music_file(3000));
        if (music_watchers_running() != 1) std::_Exit(2);
        shutdown_runtime();
        std::_Exit(music_watchers_running() == 0 && engine().music == nullptr && !engine().music_lock ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace quarvel_test
