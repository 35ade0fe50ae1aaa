// Start-up time of the game: from exec to its "Init OK" line, next to two
// baselines measured in the same run: exec to exit of /bin/true (the cost
// of making a process at all) and of a program that only starts SDL video
// and makes a GL context (the least any game on this stack pays).
//
//   bench_startup [benchmark flags] [GAME [GL_BASELINE]]
//
// Each benchmark is one manual iteration of kRuns timed runs after one
// untimed warm-up run; the figures are counters. Nothing here asserts on
// time.
#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#ifndef QUARVEL_BENCH_GAME
#define QUARVEL_BENCH_GAME "stoneswarm"
#endif
#ifndef QUARVEL_BENCH_GL_BASELINE
#define QUARVEL_BENCH_GL_BASELINE "bench_startup_gl_baseline"
#endif

extern char** environ;

namespace {

constexpr int kRuns = 11;
constexpr double kReadyTimeoutMs = 20000.0;
constexpr double kExitTimeoutMs = 5000.0;

std::string g_game = QUARVEL_BENCH_GAME;
std::string g_gl_baseline = QUARVEL_BENCH_GL_BASELINE;

double wall_ms() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1.0e6;
}

struct RunResult {
  bool ok = false;
  double ms = 0;
  std::string error;
};

// Starts `path` with standard output on a pipe (read end returned in
// *out_fd, or standard output on /dev/null when out_fd is null) and
// standard error on /dev/null.
pid_t spawn(const std::string& path, int* out_fd, std::string& error) {
  int pipe_fds[2] = {-1, -1};
  if (out_fd && pipe2(pipe_fds, O_CLOEXEC) != 0) {
    error = "pipe failed";
    return -1;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (out_fd) {
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], STDOUT_FILENO);
  } else {
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  }
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  char* argv[] = {const_cast<char*>(path.c_str()), nullptr};
  pid_t pid = -1;
  int rc = posix_spawn(&pid, path.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (out_fd) close(pipe_fds[1]);
  if (rc != 0) {
    error = "cannot start " + path;
    if (out_fd) close(pipe_fds[0]);
    return -1;
  }
  if (out_fd) *out_fd = pipe_fds[0];
  return pid;
}

// Waits for the child to end; kills it when it takes longer than the limit.
bool reap(pid_t pid, double limit_ms, int& status) {
  const double end = wall_ms() + limit_ms;
  for (;;) {
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid) return true;
    if (r < 0) return false;
    if (wall_ms() > end) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return false;
    }
    usleep(200);
  }
}

// exec to exit of a program that ends by itself.
RunResult time_to_exit(const std::string& path) {
  RunResult r;
  const double t0 = wall_ms();
  pid_t pid = spawn(path, nullptr, r.error);
  if (pid < 0) return r;
  int status = 0;
  bool done = reap(pid, kReadyTimeoutMs, status);
  r.ms = wall_ms() - t0;
  if (!done) {
    r.error = path + " did not end";
  } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    r.error = path + " failed";
  } else {
    r.ok = true;
  }
  return r;
}

// exec to the "Init OK" line of the game; then SIGTERM, which the game
// answers by ending with exit code 0.
RunResult time_to_ready(const std::string& path) {
  RunResult r;
  int fd = -1;
  const double t0 = wall_ms();
  pid_t pid = spawn(path, &fd, r.error);
  if (pid < 0) return r;
  std::string out;
  bool ready = false;
  char buffer[4096];
  while (!ready) {
    int left = static_cast<int>(t0 + kReadyTimeoutMs - wall_ms());
    if (left <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, left) <= 0) continue;
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;  // the game ended before it was ready
    out.append(buffer, static_cast<size_t>(n));
    ready = out.find("Init OK\n") != std::string::npos;
  }
  r.ms = wall_ms() - t0;
  int status = 0;
  if (!ready) {
    kill(pid, SIGKILL);
    waitpid(pid, &status, 0);
    close(fd);
    r.error = path + " never printed Init OK";
    return r;
  }
  kill(pid, SIGTERM);
  // The read end stays open until the game is gone, so that a late line
  // cannot end it through SIGPIPE.
  bool done = reap(pid, kExitTimeoutMs, status);
  close(fd);
  if (!done) {
    r.error = path + " did not end on SIGTERM";
  } else if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    r.error = path + " did not exit with code 0 on SIGTERM";
  } else {
    r.ok = true;
  }
  return r;
}

struct Summary {
  double median_ms = 0, min_ms = 0, max_ms = 0;
  bool valid = false;
  std::string error;
};

template <typename Run>
Summary measure(Run run) {
  Summary s;
  RunResult warm = run();  // untimed: brings the files into the page cache
  if (!warm.ok) {
    s.error = warm.error;
    return s;
  }
  std::vector<double> times;
  for (int i = 0; i < kRuns; ++i) {
    RunResult r = run();
    if (!r.ok) {
      s.error = r.error;
      return s;
    }
    times.push_back(r.ms);
  }
  std::sort(times.begin(), times.end());
  s.median_ms = times[times.size() / 2];
  s.min_ms = times.front();
  s.max_ms = times.back();
  s.valid = true;
  return s;
}

Summary& true_baseline() {
  static Summary s;
  return s;
}

Summary& gl_baseline() {
  static Summary s;
  return s;
}

Summary measure_true() {
  return measure([] { return time_to_exit("/bin/true"); });
}

Summary measure_gl() {
  return measure([] { return time_to_exit(g_gl_baseline); });
}

void put_summary(benchmark::State& state, const Summary& s) {
  state.counters["median_ms"] = s.median_ms;
  state.counters["min_ms"] = s.min_ms;
  state.counters["max_ms"] = s.max_ms;
  state.counters["runs"] = kRuns;
}

void BM_ExecTrue(benchmark::State& state) {
  Summary s;
  for (auto _ : state) s = measure_true();
  if (!s.valid) {
    state.SkipWithError(s.error.c_str());
    return;
  }
  true_baseline() = s;
  put_summary(state, s);
}
BENCHMARK(BM_ExecTrue)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_ExecSdlGl(benchmark::State& state) {
  Summary s;
  for (auto _ : state) s = measure_gl();
  if (!s.valid) {
    state.SkipWithError(s.error.c_str());
    return;
  }
  gl_baseline() = s;
  put_summary(state, s);
  if (true_baseline().valid) state.counters["median_vs_true"] = s.median_ms / true_baseline().median_ms;
}
BENCHMARK(BM_ExecSdlGl)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

void BM_GameReady(benchmark::State& state) {
  Summary s;
  for (auto _ : state) s = measure([] { return time_to_ready(g_game); });
  if (!s.valid) {
    state.SkipWithError(s.error.c_str());
    return;
  }
  put_summary(state, s);
  // The baselines, when a filter left them out, are measured here.
  if (!gl_baseline().valid) gl_baseline() = measure_gl();
  if (!true_baseline().valid) true_baseline() = measure_true();
  if (gl_baseline().valid) state.counters["median_vs_sdl_gl"] = s.median_ms / gl_baseline().median_ms;
  if (true_baseline().valid) state.counters["median_vs_true"] = s.median_ms / true_baseline().median_ms;
}
BENCHMARK(BM_GameReady)->Iterations(1)->UseRealTime()->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // Both the game and the baseline run headless.
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("QUARVEL_NO_DIALOGS", "1", 0);
  benchmark::Initialize(&argc, argv);
  if (argc > 3) {
    std::fprintf(stderr, "usage: %s [benchmark flags] [GAME [GL_BASELINE]]\n", argv[0]);
    return 1;
  }
  if (argc > 1) g_game = argv[1];
  if (argc > 2) g_gl_baseline = argv[2];
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
