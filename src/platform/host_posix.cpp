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
#include <csignal>
#include <ctime>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <random>
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

namespace {

// Temporary names: ".<target name>.part-<process id>-<random>", so that a
// later save of the same file can tell a crashed writer's leftover (its
// process is gone) from another program's save in progress.
constexpr const char* kTempMark = ".part-";
constexpr time_t kStaleTempSeconds = 24 * 60 * 60;

std::string temp_prefix(const std::string& base) { return "." + base + kTempMark; }

std::string temp_name(const std::string& dir, const std::string& base) {
  static std::atomic<unsigned> counter{0};
  std::random_device random;
  char suffix[64];
  std::snprintf(suffix, sizeof suffix, "%ld-%08x%04x", static_cast<long>(getpid()), random(),
                counter.fetch_add(1) & 0xFFFFu);
  return dir + temp_prefix(base) + suffix;
}

// Removes the temporaries of earlier saves of `base` whose writer is gone
// (or that nobody touched for a day, in case its process id was reused).
// Another live program's temporary is left alone.
void remove_stale_temporaries(const std::string& dir, const std::string& base) {
  DIR* d = opendir(dir.empty() ? "." : dir.c_str());
  if (d == nullptr) return;
  const std::string prefix = temp_prefix(base);
  const time_t now = time(nullptr);
  while (const dirent* e = readdir(d)) {
    if (std::strncmp(e->d_name, prefix.c_str(), prefix.size()) != 0) continue;
    const char* digits = e->d_name + prefix.size();
    char* after = nullptr;
    errno = 0;
    const long pid = std::strtol(digits, &after, 10);
    if (after == digits || *after != '-' || errno != 0 || pid <= 0 || pid > INT_MAX) continue;
    if (pid == static_cast<long>(getpid())) continue;  // another save of this process
    const bool gone = kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
    struct stat st;
    const bool old = fstatat(dirfd(d), e->d_name, &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(st.st_mode) &&
                     now - st.st_mtime > kStaleTempSeconds;
    if (gone || old) unlinkat(dirfd(d), e->d_name, 0);
  }
  closedir(d);
}

}  // namespace

SaveFile::SaveFile(const std::string& target) {
  if (target.empty()) return;
  target_ = target;
  struct stat st;
  if (lstat(target_.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    char resolved[PATH_MAX];
    if (realpath(target_.c_str(), resolved) != nullptr) target_ = resolved;
  }
  const bool exists = stat(target_.c_str(), &st) == 0;
  if (exists && !S_ISREG(st.st_mode)) return;
  const mode_t mode = exists ? (st.st_mode & 07777) : new_file_mode();

  const size_t slash = target_.rfind('/');
  dir_ = slash == std::string::npos ? std::string() : target_.substr(0, slash + 1);
  base_ = slash == std::string::npos ? target_ : target_.substr(slash + 1);
  if (base_.empty()) return;
  remove_stale_temporaries(dir_, base_);

  // The new file has no name while it is written, so a crash at any moment
  // leaves nothing behind. File systems without unnamed files get a named
  // temporary, which the next save of the same file removes.
  // An unnamed file is named through /proc/self/fd, so it is used only
  // where that can be done.
  if (access("/proc/self/fd", X_OK) == 0) {
    fd_ = open(dir_.empty() ? "." : dir_.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, mode);
  }
  for (int attempt = 0; fd_ < 0 && attempt < 16; ++attempt) {
    temp_ = temp_name(dir_, base_);
    fd_ = open(temp_.c_str(), O_CREAT | O_EXCL | O_WRONLY | O_CLOEXEC, mode);
    if (fd_ < 0 && errno != EEXIST) break;
  }
  if (fd_ < 0) {
    temp_.clear();
    return;
  }
  if (exists && fchmod(fd_, mode) != 0) failed_ = true;
}

void SaveFile::write(const void* bytes, size_t count) {
  if (!ok() || count == 0) return;
  if (!write_all(fd_, static_cast<const char*>(bytes), count)) failed_ = true;
}

bool SaveFile::commit() {
  if (!ok()) {
    discard();
    return false;
  }
  bool good = fsync(fd_) == 0;
  if (good && temp_.empty()) {
    // Give the unnamed file a name just before it replaces the target.
    char fd_path[64];
    std::snprintf(fd_path, sizeof fd_path, "/proc/self/fd/%d", fd_);
    good = false;
    for (int attempt = 0; attempt < 16 && !good; ++attempt) {
      temp_ = temp_name(dir_, base_);
      good = linkat(AT_FDCWD, fd_path, AT_FDCWD, temp_.c_str(), AT_SYMLINK_FOLLOW) == 0 ||
             (errno == ENOENT && linkat(fd_, "", AT_FDCWD, temp_.c_str(), AT_EMPTY_PATH) == 0);
      if (!good && errno != EEXIST) break;
    }
    if (!good) temp_.clear();
  }
  good = close(fd_) == 0 && good;
  fd_ = -1;
  if (good && rename(temp_.c_str(), target_.c_str()) == 0) {
    temp_.clear();
    return true;
  }
  discard();
  return false;
}

void SaveFile::discard() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (!temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
}

bool replace_file(const char* path, const char* bytes, size_t length) {
  if (path == nullptr || *path == '\0') return false;
  SaveFile file(path);
  file.write(bytes, length);
  return file.commit();
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
