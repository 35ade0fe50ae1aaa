#include "audio_fixture.h"

#include <quarvel/quarvel.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <thread>
#include <unistd.h>

#include "runtime_fixture.h"
#include "test_support.h"
#include "wave_files.h"

namespace quarvel_test {
namespace {
std::string g_driver;

// Per process: a death test's child writes its own file.
std::string output_path() { return temp_dir() + "/mixed-output-" + std::to_string(getpid()) + ".raw"; }
constexpr int kRate = 22050;
}  // namespace

bool start_runtime_with_audio(const char* driver) {
  if (!g_driver.empty()) return g_driver == driver;
  g_driver = driver;
  setenv("SDL_AUDIODRIVER", driver, 1);
  setenv("SDL_DISKAUDIOFILE", output_path().c_str(), 1);
  ensure_runtime();
  return true;
}

void AudioTest::SetUp() {
  if (!start_runtime_with_audio("disk")) GTEST_SKIP() << "needs a process of its own (run it through ctest)";
  quarvel::stop_all_sounds();
  quarvel::stop_music();
}

void AudioTest::TearDown() {
  if (!IsSkipped()) quarvel::stop_music();
}

size_t output_mark() {
  std::error_code ec;
  const auto size = std::filesystem::file_size(output_path(), ec);
  return ec ? 0 : static_cast<size_t>(size) / 4;
}

Output output_since(size_t mark, int skip_ms) {
  Output out;
  std::ifstream in(output_path(), std::ios::binary);
  const size_t first = mark + static_cast<size_t>(skip_ms) * kRate / 1000;
  in.seekg(static_cast<std::streamoff>(first * 4));
  uint8_t frame[4];
  while (in.read(reinterpret_cast<char*>(frame), 4)) {
    out.left.push_back(static_cast<int16_t>(frame[0] | (frame[1] << 8)));
    out.right.push_back(static_cast<int16_t>(frame[2] | (frame[3] << 8)));
  }
  return out;
}

Output wait_output(size_t mark, int ms, int skip_ms) {
  const size_t wanted = mark + static_cast<size_t>(ms) * kRate / 1000;
  for (int i = 0; i < 1000 && output_mark() < wanted; ++i) sleep_ms(10);
  Output out = output_since(mark, skip_ms);
  const size_t keep = wanted > mark + static_cast<size_t>(skip_ms) * kRate / 1000
                          ? wanted - mark - static_cast<size_t>(skip_ms) * kRate / 1000
                          : 0;
  if (out.left.size() > keep) {
    out.left.resize(keep);
    out.right.resize(keep);
  }
  return out;
}

void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

int peak(const std::vector<int16_t>& samples) {
  int p = 0;
  for (int16_t s : samples) p = std::max(p, std::abs(static_cast<int>(s)));
  return p;
}

int sound_runs(const std::vector<int16_t>& samples, int threshold, int min_gap_ms) {
  const size_t min_gap = static_cast<size_t>(min_gap_ms) * kRate / 1000;
  int runs = 0;
  size_t quiet = min_gap;  // silence before the start counts as a gap
  for (int16_t s : samples) {
    if (std::abs(static_cast<int>(s)) > threshold) {
      if (quiet >= min_gap) ++runs;
      quiet = 0;
    } else {
      ++quiet;
    }
  }
  return runs;
}

size_t loud_frames(const std::vector<int16_t>& samples, int threshold) {
  size_t n = 0;
  for (int16_t s : samples) n += std::abs(static_cast<int>(s)) > threshold ? 1 : 0;
  return n;
}

std::string write_wave(const std::string& name, const std::vector<uint8_t>& bytes) {
  const std::string path = temp_dir() + "/" + name;
  write_bytes(path, bytes);
  return path;
}

std::string write_constant_wave(const std::string& name, int ms, int16_t left, int16_t right) {
  const size_t frames = static_cast<size_t>(ms) * kRate / 1000;
  return write_wave(name, wave_file(WaveLayout(), constant_frames16(frames, left, right)));
}

std::string temp_dir_file(const std::string& name) { return temp_dir() + "/" + name; }

std::string ffmpeg_tool() {
#ifdef QUARVEL_FFMPEG_TOOL
  if (std::filesystem::exists(QUARVEL_FFMPEG_TOOL)) return QUARVEL_FFMPEG_TOOL;
#endif
  return std::string();
}

bool run_ffmpeg(const std::string& arguments) {
  const std::string tool = ffmpeg_tool();
  if (tool.empty()) return false;
  const std::string command = "'" + tool + "' -nostdin -loglevel error -y " + arguments;
  return std::system(command.c_str()) == 0;
}

}  // namespace quarvel_test
