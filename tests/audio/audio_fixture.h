// The runtime started with SDL's disk audio driver, so that tests read back
// what the mixer played: signed 16-bit stereo frames at 22050 Hz, written in
// real time to a file in the test's temporary directory.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace quarvel_test {

// Starts the runtime (once per process) with the named audio driver.
// False when it already runs with another one (the test then needs a
// process of its own, as ctest gives it).
bool start_runtime_with_audio(const char* driver);

struct Output {
  std::vector<int16_t> left, right;
  size_t frames() const { return left.size(); }
};

// The output file's length in whole frames now.
size_t output_mark();
// The frames written since the mark, skipping the first skip_ms.
Output output_since(size_t mark, int skip_ms = 0);
void sleep_ms(int ms);
// Waits (up to 10 s) until `ms` milliseconds of output follow the mark and
// returns them: the driver paces itself and may lag behind the clock on a
// busy machine.
Output wait_output(size_t mark, int ms, int skip_ms = 0);

int peak(const std::vector<int16_t>& samples);
// Runs of sound (|sample| > threshold) separated by at least min_gap_ms
// of silence.
int sound_runs(const std::vector<int16_t>& samples, int threshold, int min_gap_ms);
// Frames with |sample| > threshold.
size_t loud_frames(const std::vector<int16_t>& samples, int threshold);

// A wave file in the test's temporary directory; returns its path.
std::string write_wave(const std::string& name, const std::vector<uint8_t>& bytes);
// 16-bit stereo at 22050 Hz holding constant values for `ms` milliseconds.
std::string write_constant_wave(const std::string& name, int ms, int16_t left, int16_t right);

class AudioTest : public ::testing::Test {
 protected:
  void SetUp() override;
  // No music thread outlives a test.
  void TearDown() override;
};

// A path in the test's temporary directory.
std::string temp_dir_file(const std::string& name);

// Path of the ffmpeg tool, empty when there is none.
std::string ffmpeg_tool();
// Runs the tool with the arguments (after "-loglevel error -y"); true on
// success.
bool run_ffmpeg(const std::string& arguments);

}  // namespace quarvel_test
