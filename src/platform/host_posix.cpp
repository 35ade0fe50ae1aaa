// Host services over POSIX: directories, file replacement, processes, the
// dialog program and dlopen.
#include <dirent.h>
#include <dlfcn.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/types.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/host.h"

extern char** environ;

namespace quarvel::platform {

namespace {

// Spawn actions that leave the child only descriptors 0, 1 and 2 (after
// the dup2 actions added before this one).
void close_other_descriptors(posix_spawn_file_actions_t& actions) {
#if defined(__GLIBC__) && (__GLIBC__ > 2 || (__GLIBC__ == 2 && __GLIBC_MINOR__ >= 34))
  posix_spawn_file_actions_addclosefrom_np(&actions, 3);
#else
  (void)actions;  // descriptors of the runtime are opened close-on-exec
#endif
}

bool write_all(int fd, const char* bytes, size_t length) {
  while (length > 0) {
    const ssize_t n = write(fd, bytes, length);
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes += n;
    length -= static_cast<size_t>(n);
  }
  return true;
}

mode_t new_file_mode() {
  const mode_t mask = umask(0);
  umask(mask);
  return 0666 & ~mask;
}

int wait_for(pid_t pid) {
  int status = 0;
  pid_t got;
  do {
    got = waitpid(pid, &status, 0);
  } while (got < 0 && errno == EINTR);
  if (got != pid) return -1;
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return -1;
}

// Runs a dialog program with its standard output on a pipe. False when it
// could not be started; otherwise `exit_code` and `output` are set.
bool run_capturing(const std::vector<std::string>& args, int& exit_code, std::string& output) {
  int pipe_fds[2];
  if (pipe2(pipe_fds, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
  close_other_descriptors(actions);
  std::vector<char*> argv;
  for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  pid_t pid;
  const int rc = posix_spawnp(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipe_fds[1]);
  if (rc != 0) {
    close(pipe_fds[0]);
    return false;
  }
  output.clear();
  char block[4096];
  for (;;) {
    const ssize_t n = read(pipe_fds[0], block, sizeof block);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    output.append(block, static_cast<size_t>(n));
  }
  close(pipe_fds[0]);
  exit_code = wait_for(pid);
  return true;
}

std::string zenity_filter(const DialogFilter& f) {
  std::string patterns = f.patterns;
  for (char& c : patterns)
    if (c == ';') c = ' ';
  return "--file-filter=" + f.description + " | " + patterns;
}

std::string kdialog_filters(const std::vector<DialogFilter>& filters) {
  std::string out;
  for (const DialogFilter& f : filters) {
    std::string patterns = f.patterns;
    for (char& c : patterns)
      if (c == ';') c = ' ';
    if (!out.empty()) out += '\n';
    out += patterns + "|" + f.description;
  }
  return out;
}

}  // namespace

bool list_directory(const char* path, std::vector<DirectoryEntry>& entries) {
  entries.clear();
  DIR* dir = opendir(path);
  if (dir == nullptr) return false;
  const int dir_fd = dirfd(dir);
  while (const dirent* e = readdir(dir)) {
    DirectoryEntry entry;
    entry.name = e->d_name;
    if (e->d_type == DT_DIR) {
      entry.is_directory = true;
    } else if (e->d_type == DT_LNK || e->d_type == DT_UNKNOWN) {
      struct stat st;
      entry.is_directory = fstatat(dir_fd, e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode);
    }
    entries.push_back(std::move(entry));
  }
  closedir(dir);
  return true;
}

bool replace_file(const char* path, const char* bytes, size_t length) {
  if (path == nullptr || *path == '\0') return false;
  std::string target = path;
  struct stat st;
  if (lstat(path, &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (realpath(path, resolved) != nullptr) target = resolved;
  }
  const bool exists = stat(target.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) return false;
  const mode_t mode = exists ? (st.st_mode & 07777) : new_file_mode();

  const size_t slash = target.rfind('/');
  const std::string dir = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? target : target.substr(slash + 1);
  std::string temp = dir + "." + base + ".XXXXXX";
  const int fd = mkostemp(temp.data(), O_CLOEXEC);
  if (fd < 0) return false;
  bool ok = fchmod(fd, mode) == 0 || !exists;
  ok = write_all(fd, bytes, length) && ok;
  ok = fsync(fd) == 0 && ok;
  ok = close(fd) == 0 && ok;
  if (ok) ok = rename(temp.c_str(), target.c_str()) == 0;
  if (!ok) unlink(temp.c_str());
  return ok;
}

std::string current_directory() {
  std::vector<char> buf(PATH_MAX);
  for (;;) {
    if (getcwd(buf.data(), buf.size()) != nullptr) return std::string(buf.data());
    if (errno != ERANGE || buf.size() > (1u << 20)) return std::string();
    buf.resize(buf.size() * 2);
  }
}

int start_program(const char* command) {
  if (command == nullptr) return -1;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  close_other_descriptors(actions);
  const char* argv[] = {"/bin/sh", "-c", command, nullptr};
  pid_t pid;
  const int rc = posix_spawn(&pid, "/bin/sh", &actions, nullptr, const_cast<char* const*>(argv), environ);
  posix_spawn_file_actions_destroy(&actions);
  return rc == 0 ? static_cast<int>(pid) : -1;
}

int wait_program(int process_id) { return process_id > 0 ? wait_for(static_cast<pid_t>(process_id)) : -1; }

void collect_ended_programs(std::vector<int>& process_ids) {
  for (size_t i = 0; i < process_ids.size();) {
    int status;
    const pid_t got = waitpid(static_cast<pid_t>(process_ids[i]), &status, WNOHANG);
    if (got == 0) {
      ++i;  // still running
    } else {
      process_ids[i] = process_ids.back();  // ended, or not our child any more
      process_ids.pop_back();
    }
  }
}

DialogOutcome file_dialog(bool open, const std::vector<DialogFilter>& filters, const std::string& start_directory,
                          std::string& chosen) {
  chosen.clear();
  std::string start = start_directory;
  if (start.empty() || start.back() != '/') start += '/';

  std::vector<std::string> zenity = {"zenity", "--file-selection", "--filename=" + start};
  if (!open) {
    zenity.push_back("--save");
    zenity.push_back("--confirm-overwrite");
  }
  for (const DialogFilter& f : filters) zenity.push_back(zenity_filter(f));

  std::vector<std::string> kdialog = {"kdialog", open ? "--getopenfilename" : "--getsavefilename", start};
  if (!filters.empty()) kdialog.push_back(kdialog_filters(filters));

  for (const auto* args : {&zenity, &kdialog}) {
    int exit_code = -1;
    std::string output;
    if (!run_capturing(*args, exit_code, output)) continue;
    while (!output.empty() && (output.back() == '\n' || output.back() == '\r')) output.pop_back();
    if (exit_code != 0 || output.empty()) return DialogOutcome::cancelled;
    chosen = output;
    return DialogOutcome::chosen;
  }
  return DialogOutcome::no_program;
}

void* library_load(const char* name) { return name != nullptr ? dlopen(name, RTLD_NOW | RTLD_LOCAL) : nullptr; }

void* library_symbol(void* library, const char* name) {
  return library != nullptr && name != nullptr ? dlsym(library, name) : nullptr;
}

}  // namespace quarvel::platform
