// Helpers of the network tests: free ports, bounded waits, child processes.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "platform/sockets.h"

extern char** environ;

namespace quarvel_test {

// A UDP port that was free a moment ago.
inline std::string free_udp_port() {
  using namespace quarvel::nl;
  nlInit();
  NLsocket s = nlOpen(0, NL_UNRELIABLE);
  NLaddress a;
  nlGetLocalAddr(s, &a);
  nlClose(s);
  nlShutdown();
  return std::to_string(a.port);
}

// Polls the condition every 5 ms until it holds or timeout_ms passed.
inline bool wait_for(const std::function<bool()>& condition, int timeout_ms = 5000) {
  auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (std::chrono::steady_clock::now() < end) {
    if (condition()) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  return condition();
}

// A child process with its standard output in a pipe.
class ChildProcess {
 public:
  explicit ChildProcess(const std::vector<std::string>& args) {
    int fds[2];
    if (pipe2(fds, O_CLOEXEC) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, fds[1], 1);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    close(fds[1]);
    out_ = fds[0];
  }
  ~ChildProcess() {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      wait();
    }
    if (out_ >= 0) close(out_);
  }
  bool started() const { return pid_ > 0; }
  // The next line of output ("" at the end).
  std::string read_line() {
    std::string line;
    char c;
    while (out_ >= 0 && ::read(out_, &c, 1) == 1) {
      if (c == '\n') return line;
      line += c;
    }
    return line;
  }
  // Exit status (-1 when it did not exit normally).
  int wait() {
    if (pid_ <= 0) return -1;
    int status = 0;
    waitpid(pid_, &status, 0);
    pid_ = -1;
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

 private:
  pid_t pid_ = -1;
  int out_ = -1;
};

}  // namespace quarvel_test
