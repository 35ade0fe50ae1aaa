// Clock, files, processes and debugger hooks over POSIX and Linux.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "platform/platform.h"

extern char** environ;

namespace quarvel::platform {

double now_ms() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<double>(ts.tv_sec) * 1000.0 + static_cast<double>(ts.tv_nsec) / 1.0e6;
}

void sleep_until_ms(double deadline_ms) {
  if (deadline_ms <= now_ms()) return;
  // The kernel lets an ordinary thread's sleep end up to 50 us late so that
  // it can gather wake-ups; a frame wait wants its deadline, and what the
  // sleep misses is spun. Each sleeping thread asks for the least slack once.
  thread_local bool precise = false;
  if (!precise) {
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    precise = true;
  }
  timespec ts;
  double whole = static_cast<double>(static_cast<long long>(deadline_ms / 1000.0));
  ts.tv_sec = static_cast<time_t>(whole);
  ts.tv_nsec = static_cast<long>((deadline_ms - whole * 1000.0) * 1.0e6);
  if (ts.tv_nsec >= 1000000000L) {
    ts.tv_sec += 1;
    ts.tv_nsec -= 1000000000L;
  }
  if (ts.tv_nsec < 0) ts.tv_nsec = 0;
  while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
  }
}

std::string temp_dir() {
  const char* dir = std::getenv("TMPDIR");
  std::string out = (dir && *dir) ? dir : "/tmp";
  if (out.back() != '/') out += '/';
  return out;
}

std::string executable_path() {
  char buf[4096];
  ssize_t n = readlink("/proc/self/exe", buf, sizeof buf - 1);
  if (n <= 0) return std::string();
  buf[n] = 0;
  return std::string(buf, static_cast<size_t>(n));
}

bool change_directory(const char* path) { return path && chdir(path) == 0; }

bool remove_file(const char* path) { return path && unlink(path) == 0; }

bool append_to_file(const char* path, const char* bytes, size_t length) {
  int fd = open(path, O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
  if (fd < 0) return false;
  bool ok = true;
  while (length > 0) {
    ssize_t n = write(fd, bytes, length);
    if (n < 0) {
      if (errno == EINTR) continue;
      ok = false;
      break;
    }
    bytes += n;
    length -= static_cast<size_t>(n);
  }
  if (close(fd) != 0) ok = false;
  return ok;
}

bool debugger_attached() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.compare(0, 10, "TracerPid:") == 0) {
      return std::atoi(line.c_str() + 10) != 0;
    }
  }
  return false;
}

void debugger_message(const char* text) {
  std::fprintf(stderr, "%s\n", text);
  std::fflush(stderr);
}

void debugger_trap() { raise(SIGTRAP); }

uint32_t machine_id(bool& ok) {
  ok = false;
  for (const char* path : {"/etc/machine-id", "/var/lib/dbus/machine-id"}) {
    std::ifstream in(path);
    std::string id;
    if (in >> id && !id.empty()) {
      // Fold the 128-bit hexadecimal id into 32 bits (FNV-1a over the text).
      uint32_t h = 2166136261u;
      for (unsigned char c : id) {
        h ^= c;
        h *= 16777619u;
      }
      ok = true;
      return h;
    }
  }
  return 0;
}

LocalTime local_time() {
  time_t now = time(nullptr);
  tm parts;
  localtime_r(&now, &parts);
  return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                   parts.tm_hour, parts.tm_min, parts.tm_sec};
}

bool start_shell_command(const char* command) {
  if (!command) return false;
  pid_t pid;
  const char* argv[] = {"/bin/sh", "-c", command, nullptr};
  return posix_spawn(&pid, "/bin/sh", nullptr, nullptr, const_cast<char* const*>(argv), environ) == 0;
}

void exit_process(int code) {
  std::fflush(nullptr);
  std::exit(code);
}

}  // namespace quarvel::platform
