// Sound effects, heard through the disk audio driver.
#include <quarvel/quarvel.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "audio/sound_device.h"
#include "audio/sound_levels.h"
#include "audio_fixture.h"
#include "core/engine_state.h"
#include "wave_files.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

constexpr int16_t kLevel = 12000;

using SoundTest = AudioTest;

// Plays, waits for the sound to be written and returns what was heard.
Output heard(double slot, double pan, double volume, int wait_ms = 450) {
  const size_t mark = output_mark();
  EXPECT_GE(play_sound(slot, pan, volume), 0) << "pan " << pan << " volume " << volume;
  return wait_output(mark, wait_ms);
}

TEST_F(SoundTest, SoundPanSendsItToOneSide) {
  ASSERT_EQ(load_sound(DynString(write_constant_wave("pan.wav", 150, kLevel, kLevel).c_str()), 3, 1), 1);
  Output right = heard(3, 1, 1);
  EXPECT_EQ(peak(right.left), 0);
  EXPECT_EQ(peak(right.right), kLevel);
  Output left = heard(3, -1, 1);
  EXPECT_EQ(peak(left.left), kLevel);
  EXPECT_EQ(peak(left.right), 0);
  // Half right: the left side is 50 dB down.
  Output half = heard(3, 0.5, 1);
  EXPECT_NEAR(peak(half.left), kLevel * 0.0031623, 1.0);
  EXPECT_EQ(peak(half.right), kLevel);
}

TEST_F(SoundTest, SoundVolumeIsAnAttenuation) {
  ASSERT_EQ(load_sound(DynString(write_constant_wave("volume.wav", 150, kLevel, -kLevel).c_str()), 4, 1), 1);
  EXPECT_EQ(peak(heard(4, 0, 1).left), kLevel) << "1: full scale";
  EXPECT_EQ(peak(heard(4, 0, 2).right), kLevel) << "above 1: full scale";
  Output silent = heard(4, 0, 0);
  EXPECT_EQ(peak(silent.left) + peak(silent.right), 0) << "0: silence";
  silent = heard(4, 0, -1);
  EXPECT_EQ(peak(silent.left) + peak(silent.right), 0) << "below 0: silence";
  // 0.5 is -50 dB.
  EXPECT_NEAR(peak(heard(4, 0, 0.5).left), kLevel * 0.0031623, 1.0);
}

TEST_F(SoundTest, SoundBuffersRotateWhileTheyPlay) {
  const std::string name = write_constant_wave("long.wav", 2000, 100, 100);
  ASSERT_EQ(load_sound(DynString(name.c_str()), 5, 9), 1);
  EXPECT_EQ(engine().sound_slots[5].buffer_count, 4);
  const double base = 5 * 256;
  EXPECT_EQ(play_sound(5, 0, 1), base + 0);
  EXPECT_EQ(play_sound(5, 0, 1), base + 1);
  EXPECT_EQ(play_sound(5, 0, 1), base + 2);
  EXPECT_EQ(play_sound(5, 0, 1), base + 3);
  for (int b = 0; b < 4; ++b) EXPECT_EQ(sound_playing(base + b), 1) << b;
  // All four busy: the oldest starts again.
  EXPECT_EQ(play_sound(5, 0, 1), base + 0);
  EXPECT_EQ(sound_playing(base + 0), 1);

  stop_all_sounds();
  for (int b = 0; b < 4; ++b) EXPECT_EQ(sound_playing(base + b), 0) << b;
  // Nothing plays: the buffer used last plays again.
  EXPECT_EQ(play_sound(5, 0, 1), base + 0);
}

TEST_F(SoundTest, SoundSingleBufferDoesNotRestartWhilePlaying) {
  ASSERT_EQ(load_sound(DynString(write_constant_wave("short.wav", 100, 100, 100).c_str()), 6, 1), 1);
  EXPECT_EQ(play_sound(6, 0, 1), 6 * 256);
  EXPECT_EQ(play_sound(6, 0, 1), -1);
  for (int i = 0; i < 300 && sound_playing(6 * 256) == 1; ++i) sleep_ms(10);
  EXPECT_EQ(sound_playing(6 * 256), 0);
  EXPECT_EQ(play_sound(6, 0, 1), 6 * 256);
}

TEST_F(SoundTest, SoundBufferCountsAreClamped) {
  const DynString name(write_constant_wave("count.wav", 50, 1, 1).c_str());
  ASSERT_EQ(load_sound(name, 7, 0), 1);
  ASSERT_EQ(load_sound(name, 8, -3), 1);
  ASSERT_EQ(load_sound(name, 9, 9), 1);
  ASSERT_EQ(load_sound(name, 10, 2.9), 1);
  EXPECT_EQ(engine().sound_slots[7].buffer_count, 1);
  EXPECT_EQ(engine().sound_slots[8].buffer_count, 1);
  EXPECT_EQ(engine().sound_slots[9].buffer_count, 4);
  EXPECT_EQ(engine().sound_slots[10].buffer_count, 2);
}

TEST_F(SoundTest, SoundSlotAndChannelNumbersOutsideTheTable) {
  const DynString name(write_constant_wave("slots.wav", 300, 1, 1).c_str());
  // Above 127 means 127, for loading and playing alike.
  ASSERT_EQ(load_sound(name, 500, 4), 1);
  EXPECT_EQ(engine().sound_slots[127].buffer_count, 4);
  EXPECT_EQ(play_sound(3000, 0, 1), 127 * 256);
  EXPECT_EQ(play_sound(127.7, 0, 1), 127 * 256 + 1);
  EXPECT_EQ(sound_playing(127 * 256 + 1), 1);
  // A negative slot is an empty one.
  EXPECT_EQ(load_sound(name, -1, 1), 0);
  EXPECT_EQ(play_sound(-1, 0, 1), -1);
  EXPECT_EQ(play_sound(-1e300, 0, 1), -1);
  // Channels that name no buffer.
  EXPECT_EQ(sound_playing(-1), 0);
  EXPECT_EQ(sound_playing(127 * 256 + 4), 0) << "buffer beyond the count";
  EXPECT_EQ(sound_playing(256.0 * 256), 0) << "slot beyond the table";
  EXPECT_EQ(sound_playing(1e300), 0);
  EXPECT_EQ(play_sound(20, 0, 1), -1) << "empty slot";
}

TEST_F(SoundTest, SoundConvertsEightBitMonoAtAnyRate) {
  WaveLayout layout;
  layout.channels = 1;
  layout.bits = 8;
  layout.rate = 11025;
  // 200 ms of 0xC0: a quarter of full scale above the middle.
  const std::string name = write_wave("mono8.wav", wave_file(layout, std::vector<uint8_t>(2205, 0xC0)));
  ASSERT_EQ(load_sound(DynString(name.c_str()), 11, 1), 1);
  Output out = heard(11, 0, 1, 600);
  // Twice the frames at 22050 Hz, on both sides, at the same level.
  EXPECT_NEAR(static_cast<double>(loud_frames(out.left, 8000)), 4410, 4410 * 0.03);
  EXPECT_NEAR(static_cast<double>(loud_frames(out.right, 8000)), 4410, 4410 * 0.03);
  size_t middle = 0;
  while (middle < out.left.size() && out.left[middle] < 8000) ++middle;
  middle += 2205;
  ASSERT_LT(middle, out.left.size());
  EXPECT_NEAR(out.left[middle], 16384, 200);
  EXPECT_EQ(out.left[middle], out.right[middle]);
}

TEST_F(SoundTest, SoundFilesThatCannotLoadLeaveTheSlotEmpty) {
  const std::string good = write_constant_wave("good.wav", 50, 1, 1);
  ASSERT_EQ(load_sound(DynString(good.c_str()), 12, 1), 1);
  EXPECT_EQ(load_sound(DynString("no-such-sound.wav"), 12, 1), 0);
  EXPECT_EQ(engine().sound_slots[12].buffer_count, 0);
  EXPECT_EQ(play_sound(12, 0, 1), -1);

  // Malformed files fail the same way.
  std::vector<uint8_t> bytes = wave_file(WaveLayout(), constant_frames16(100, 1, 1));
  std::vector<uint8_t> truncated(bytes.begin(), bytes.begin() + 30);
  ASSERT_EQ(load_sound(DynString(good.c_str()), 12, 1), 1);
  EXPECT_EQ(load_sound(DynString(write_wave("short.wav", truncated).c_str()), 12, 1), 0);
  WaveLayout huge;
  huge.data_size = 0xFFFFFFFF;
  EXPECT_EQ(load_sound(DynString(write_wave("huge.wav", wave_file(huge, {1, 2, 3, 4})).c_str()), 12, 1), 0);
  WaveLayout list;  // a list chunk before the data is skipped, not refused
  list.between = chunk("LIST", "INFO");
  EXPECT_EQ(load_sound(DynString(write_wave("list.wav", wave_file(list, {1, 2, 3, 4})).c_str()), 12, 1), 1);
  // Extreme but valid rates convert or fail cleanly.
  for (uint32_t rate : {1u, 400000u, 0x7FFFFFFFu}) {
    WaveLayout odd;
    odd.rate = rate;
    const double ok =
        load_sound(DynString(write_wave("rate.wav", wave_file(odd, constant_frames16(64, 9, 9))).c_str()), 12, 1);
    if (ok == 1) {
      EXPECT_GE(play_sound(12, 0, 1), 0) << rate;
    }
  }
  stop_all_sounds();
}

TEST_F(SoundTest, SoundWaveFilesFromTheFfmpegToolLoadAndPlay) {
  if (ffmpeg_tool().empty()) GTEST_SKIP() << "no ffmpeg tool to make the files";
  // As a developer converts a sound: an MP3 to WAV; the tool writes a
  // "LIST" chunk between the format and the data chunk.
  const std::string mp3 = temp_dir_file("beep.mp3"), wav = temp_dir_file("beep.wav");
  ASSERT_TRUE(run_ffmpeg("-f lavfi -i sine=frequency=440:duration=1:sample_rate=22050 -ac 2 '" + mp3 + "'"));
  ASSERT_TRUE(run_ffmpeg("-i '" + mp3 + "' '" + wav + "'"));
  std::ifstream in(wav, std::ios::binary);
  const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  const size_t list = bytes.find("LIST"), data = bytes.find("data");
  ASSERT_NE(list, std::string::npos) << "the tool wrote no list chunk";
  ASSERT_LT(list, data);
  ASSERT_EQ(load_sound(DynString(wav.c_str()), 13, 1), 1);
  const Output out = heard(13, 0, 1);
  int peak = 0;
  for (int16_t v : out.left) peak = std::max(peak, std::abs(static_cast<int>(v)));
  EXPECT_GT(peak, 1000) << "the sine was not heard";
  stop_all_sounds();
}

// The report file's lines, each without its CR LF.
std::vector<std::string> report_lines() {
  std::ifstream in(temp_dir_file("ErrorLog.txt"), std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> lines;
  for (size_t at = 0, end; (end = text.find("\r\n", at)) != std::string::npos; at = end + 2) {
    lines.push_back(text.substr(at, end - at));
  }
  return lines;
}

TEST_F(SoundTest, SoundAndMusicFilesThatFailToLoadAreReportedWithTheReason) {
  std::ofstream(temp_dir_file("ErrorLog.txt"), std::ios::trunc);
  WaveLayout floats;  // 32-bit float samples, as many editors export
  floats.format_tag = 3;
  floats.bits = 32;
  const std::string float_wav = write_wave("float.wav", wave_file(floats, constant_frames16(8, 1, 1)));
  std::vector<uint8_t> cut = wave_file(WaveLayout(), constant_frames16(100, 1, 1));
  cut.resize(cut.size() - 100);
  const std::string cut_wav = write_wave("cut.wav", cut);
  const std::string text = write_wave("text.wav", std::vector<uint8_t>(40, 'x'));
  const std::string good = write_constant_wave("fine.wav", 20, 1, 1);

  EXPECT_EQ(load_sound(DynString("no-such.wav"), 14, 1), 0);
  EXPECT_EQ(load_sound(DynString(float_wav.c_str()), 14, 1), 0);
  EXPECT_EQ(load_sound(DynString(cut_wav.c_str()), 14, 1), 0);
  EXPECT_EQ(load_sound(DynString(text.c_str()), 14, 1), 0);
  EXPECT_EQ(load_sound(DynString(good.c_str()), 14, 1), 1);
  play_music(DynString("no-such-music.mp3"));
  play_music(DynString(text.c_str()));
  stop_music();

  const std::vector<std::string> lines = report_lines();
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], "load_sound: \"no-such.wav\" not loaded: not found");
  EXPECT_EQ(lines[1], "load_sound: \"" + float_wav + "\" not loaded: unsupported format (samples are not PCM)");
  EXPECT_EQ(lines[2], "load_sound: \"" + cut_wav + "\" not loaded: damaged (data chunk runs past the end)");
  EXPECT_EQ(lines[3], "load_sound: \"" + text + "\" not loaded: not a wave file");
  EXPECT_EQ(lines[4], "play_music: \"no-such-music.mp3\" not loaded: not found");
  EXPECT_EQ(lines[5].rfind("play_music: \"" + text + "\" not loaded: not a music file the mixer can play (", 0), 0u)
      << lines[5];
}

// The levels the mixer gets for the commands' pan and volume.
TEST(SoundLevels, PanAndVolumeBecomeGainsPerSide) {
  EXPECT_EQ(volume_attenuation(1), 0);
  EXPECT_EQ(volume_attenuation(0.5), -5000);
  EXPECT_EQ(volume_attenuation(0), -10000);
  EXPECT_EQ(volume_attenuation(7), 0);
  EXPECT_EQ(volume_attenuation(0.0 / 0.0), -10000);
  EXPECT_EQ(pan_value(-3), -10000);
  EXPECT_EQ(pan_value(0.25), 2500);
  EXPECT_EQ(pan_value(0.0 / 0.0), 0);

  SideGains g = side_gains(0, 0);
  EXPECT_EQ(g.left, 1.0f);
  EXPECT_EQ(g.right, 1.0f);
  g = side_gains(0, 10000);
  EXPECT_EQ(g.left, 0.0f);
  EXPECT_EQ(g.right, 1.0f);
  // -20 dB of volume and -20 dB of pan add up to -40 dB on the far side.
  g = side_gains(-2000, -2000);
  EXPECT_NEAR(g.left, 0.1, 1e-6);
  EXPECT_NEAR(g.right, 0.01, 1e-7);
  g = side_gains(-6000, 6000);
  EXPECT_EQ(g.left, 0.0f) << "beyond -100 dB is silence";
}

// Without a sound device nothing plays and nothing fails.
TEST(SoundWithoutDevice, LoadsYieldZeroAndPlaysMinusOne) {
  if (!start_runtime_with_audio("no-such-driver")) GTEST_SKIP() << "needs a process of its own";
  EXPECT_FALSE(engine().sound->is_open());
  const DynString name(write_constant_wave("quiet.wav", 50, 1, 1).c_str());
  EXPECT_EQ(load_sound(name, 1, 4), 0);
  EXPECT_EQ(play_sound(1, 0, 1), -1);
  EXPECT_EQ(sound_playing(256), 0);
  stop_all_sounds();
  play_music(name);
  set_music_volume(0.5);
  stop_music();
  play_video(DynString("no-such-video.avi"));
  show_screen();
}

}  // namespace
}  // namespace quarvel_test
