// The frame grid of show_screen: how exactly frames are handed back on the
// 1000/60 ms grid, what the wait costs in CPU, and how a game slower than
// the grid is paced. The baseline, measured in the same run, is a pure spin
// wait on the same grid (the most exact and the most wasteful wait there
// is); the runtime's figures are given as ratios against it.
//
// Every benchmark is one manual iteration; the figures are counters.
// Nothing here asserts on time.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "platform/platform.h"
#include "quarvel/quarvel.h"

namespace {

constexpr int kIdleFrames = 300;
constexpr int kSlowFrames = 100;
constexpr double kSlowWorkMs = 40.0;
// Intervals of the slow game before this frame are left out of its minimum:
// the first frames still carry the grid point of the previous benchmark.
constexpr int kSlowSettleFrames = 3;

double cpu_ms(clockid_t clock) {
  timespec ts;
  clock_gettime(clock, &ts);
  return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1.0e6;
}

double grid_interval_ms() { return quarvel::engine().gfx->frame_interval_ms; }

// What one paced run of frames gives.
struct PacingFigures {
  double mean_interval_ms = 0;
  double mean_error_pct = 0;  // |mean - grid interval| / grid interval
  double min_interval_ms = 0;
  double max_interval_ms = 0;
  double p50_deviation_ms = 0;
  double p99_deviation_ms = 0;
  double max_deviation_ms = 0;
  double cpu_process_pct = 0;  // of one core, every thread of the process
  double cpu_thread_pct = 0;   // of one core, the calling thread alone
  bool valid = false;
};

// Collects the return times of the frames and their distance from the grid
// point each frame waited for.
class FrameRecorder {
 public:
  explicit FrameRecorder(int frames) {
    returns_.reserve(frames);
    deviations_.reserve(frames);
  }

  void start() {
    wall0_ = quarvel::current_ms();
    process0_ = cpu_ms(CLOCK_PROCESS_CPUTIME_ID);
    thread0_ = cpu_ms(CLOCK_THREAD_CPUTIME_ID);
  }

  void frame(double grid_point_ms, double returned_ms) {
    returns_.push_back(returned_ms);
    deviations_.push_back(std::fabs(returned_ms - grid_point_ms));
  }

  void stop() {
    wall1_ = quarvel::current_ms();
    process1_ = cpu_ms(CLOCK_PROCESS_CPUTIME_ID);
    thread1_ = cpu_ms(CLOCK_THREAD_CPUTIME_ID);
  }

  // Interval figures leave out the intervals before frame `settle`.
  PacingFigures figures(double interval_ms, int settle = 1) const {
    PacingFigures f;
    if (returns_.size() < 2) return f;
    std::vector<double> intervals;
    for (size_t i = std::max<size_t>(1, settle); i < returns_.size(); ++i) {
      intervals.push_back(returns_[i] - returns_[i - 1]);
    }
    if (intervals.empty()) return f;
    double sum = 0;
    for (double d : intervals) sum += d;
    f.mean_interval_ms = sum / static_cast<double>(intervals.size());
    f.mean_error_pct = std::fabs(f.mean_interval_ms - interval_ms) / interval_ms * 100.0;
    f.min_interval_ms = *std::min_element(intervals.begin(), intervals.end());
    f.max_interval_ms = *std::max_element(intervals.begin(), intervals.end());

    std::vector<double> sorted = deviations_;
    std::sort(sorted.begin(), sorted.end());
    f.p50_deviation_ms = percentile(sorted, 0.50);
    f.p99_deviation_ms = percentile(sorted, 0.99);
    f.max_deviation_ms = sorted.back();

    double wall = wall1_ - wall0_;
    if (wall > 0) {
      f.cpu_process_pct = (process1_ - process0_) / wall * 100.0;
      f.cpu_thread_pct = (thread1_ - thread0_) / wall * 100.0;
    }
    f.valid = true;
    return f;
  }

 private:
  // Nearest-rank percentile of sorted values.
  static double percentile(const std::vector<double>& sorted, double q) {
    size_t rank = static_cast<size_t>(std::ceil(q * static_cast<double>(sorted.size())));
    rank = std::min(std::max<size_t>(rank, 1), sorted.size());
    return sorted[rank - 1];
  }

  std::vector<double> returns_;
  std::vector<double> deviations_;
  double wall0_ = 0, wall1_ = 0;
  double process0_ = 0, process1_ = 0;
  double thread0_ = 0, thread1_ = 0;
};

void put_pacing_counters(benchmark::State& state, const PacingFigures& f) {
  state.counters["mean_interval_ms"] = f.mean_interval_ms;
  state.counters["mean_error_pct"] = f.mean_error_pct;
  state.counters["p50_dev_ms"] = f.p50_deviation_ms;
  state.counters["p99_dev_ms"] = f.p99_deviation_ms;
  state.counters["max_dev_ms"] = f.max_deviation_ms;
  state.counters["cpu_process_pct"] = f.cpu_process_pct;
  state.counters["cpu_main_thread_pct"] = f.cpu_thread_pct;
}

// The baseline: a spin on the runtime's clock over the same grid, with the
// same rule for late frames, and nothing else.
PacingFigures run_spin_grid(int frames) {
  const double interval = grid_interval_ms();
  FrameRecorder rec(frames);
  double next = quarvel::current_ms() + interval;
  rec.start();
  for (int i = 0; i < frames; ++i) {
    const double grid_point = next;
    double now;
    while ((now = quarvel::current_ms()) <= next) {
    }
    rec.frame(grid_point, now);
    next += interval;
    while (now > next) next += interval;
  }
  rec.stop();
  return rec.figures(interval);
}

PacingFigures& spin_baseline() {
  static PacingFigures figures;
  if (!figures.valid) figures = run_spin_grid(kIdleFrames);
  return figures;
}

// Brings the runtime's grid point to the frame after now, so that the time
// spent between benchmarks does not count as a late frame.
void settle_on_grid() {
  quarvel::show_screen();
  quarvel::show_screen();
}

void BM_SpinGrid(benchmark::State& state) {
  PacingFigures f;
  for (auto _ : state) {
    f = run_spin_grid(kIdleFrames);
  }
  spin_baseline() = f;
  put_pacing_counters(state, f);
}
BENCHMARK(BM_SpinGrid)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_IdleGame(benchmark::State& state) {
  const PacingFigures& spin = spin_baseline();
  quarvel::OpenGLVurivari* gfx = quarvel::engine().gfx;
  FrameRecorder rec(kIdleFrames);
  for (auto _ : state) {
    settle_on_grid();
    rec.start();
    for (int i = 0; i < kIdleFrames; ++i) {
      const double grid_point = gfx->next_frame_ms;
      quarvel::show_screen();
      rec.frame(grid_point, quarvel::current_ms());
    }
    rec.stop();
  }
  PacingFigures f = rec.figures(gfx->frame_interval_ms);
  put_pacing_counters(state, f);
  state.counters["cpu_vs_spin"] = spin.cpu_process_pct > 0 ? f.cpu_process_pct / spin.cpu_process_pct : 0;
  state.counters["main_cpu_vs_spin"] = spin.cpu_thread_pct > 0 ? f.cpu_thread_pct / spin.cpu_thread_pct : 0;
  state.counters["p99_vs_spin"] = spin.p99_deviation_ms > 0 ? f.p99_deviation_ms / spin.p99_deviation_ms : 0;
}
BENCHMARK(BM_IdleGame)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

void busy_wait_ms(double ms) {
  const double end = quarvel::current_ms() + ms;
  while (quarvel::current_ms() < end) {
  }
}

void BM_SlowGame(benchmark::State& state) {
  FrameRecorder rec(kSlowFrames);
  for (auto _ : state) {
    settle_on_grid();
    rec.start();
    for (int i = 0; i < kSlowFrames; ++i) {
      busy_wait_ms(kSlowWorkMs);
      // Every frame is late, so it is measured from the call instead of
      // its grid point: what show_screen adds to a frame that is due.
      const double called = quarvel::current_ms();
      quarvel::show_screen();
      rec.frame(called, quarvel::current_ms());
    }
    rec.stop();
  }
  PacingFigures f = rec.figures(kSlowWorkMs, kSlowSettleFrames);
  state.counters["mean_interval_ms"] = f.mean_interval_ms;
  state.counters["min_interval_ms"] = f.min_interval_ms;
  state.counters["max_interval_ms"] = f.max_interval_ms;
  // Against the work per frame: 1.0 is a frame shown as soon as it is done.
  state.counters["mean_vs_work"] = f.mean_interval_ms / kSlowWorkMs;
  state.counters["min_vs_work"] = f.min_interval_ms / kSlowWorkMs;
  // How long show_screen took for a frame that was already due.
  state.counters["p50_show_ms"] = f.p50_deviation_ms;
  state.counters["p99_show_ms"] = f.p99_deviation_ms;
}
BENCHMARK(BM_SlowGame)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// How late the runtime's sleep wakes up: what the spin at the end of the
// frame wait has to cover. Sleeps of 1, 2 and 4 ms (the length of the
// wait's last sleep) one after the other, each 200 times.
void BM_SleepOvershoot(benchmark::State& state) {
  const double length = static_cast<double>(state.range(0));
  constexpr int kSleeps = 200;
  std::vector<double> late;
  late.reserve(kSleeps);
  for (auto _ : state) {
    for (int i = 0; i < kSleeps; ++i) {
      const double deadline = quarvel::current_ms() + length;
      quarvel::platform::sleep_until_ms(deadline);
      late.push_back(quarvel::current_ms() - deadline);
    }
  }
  std::sort(late.begin(), late.end());
  state.counters["p50_late_ms"] = late[late.size() / 2];
  state.counters["p99_late_ms"] = late[late.size() * 99 / 100];
  state.counters["max_late_ms"] = late.back();
}
BENCHMARK(BM_SleepOvershoot)->Arg(1)->Arg(2)->Arg(4)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

// start_runtime prints its "Init OK" line on standard output; keep it out
// of the benchmark report (which may be JSON).
void start_runtime_quietly(int argc, char** argv) {
  std::fflush(stdout);
  int saved = dup(STDOUT_FILENO);
  int null_fd = open("/dev/null", O_WRONLY);
  if (saved >= 0 && null_fd >= 0) dup2(null_fd, STDOUT_FILENO);
  quarvel::set_command_line(argc, argv);
  quarvel::ProjectSettings& settings = quarvel::project_settings();
  settings.screen_width = 320;
  settings.screen_height = 240;
  settings.fullscreen = 0;
  settings.frame_rate = 60;
  quarvel::start_runtime(quarvel::kShowNormal, "Frame grid");
  std::fflush(stdout);
  if (saved >= 0 && null_fd >= 0) dup2(saved, STDOUT_FILENO);
  if (null_fd >= 0) close(null_fd);
  if (saved >= 0) close(saved);
  // A focus change must not pause the loop half-way through a measurement.
  quarvel::auto_pause(0);
}

}  // namespace

int main(int argc, char** argv) {
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("QUARVEL_NO_DIALOGS", "1", 0);
  setenv("QUARVEL_SCALE", "1", 0);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  start_runtime_quietly(argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  std::fflush(stdout);
  std::fflush(stderr);
  quarvel::end_program();
}
