// Saves interrupted by a crash: the target stays whole (old or new) and
// nothing the crashed writer left survives the next save of the file.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <random>
#include <string>
#include <thread>

#include "document_files.h"
#include "platform/host.h"
#include "quarvel/file_channels.h"
#include "quarvel/ini_files.h"

namespace quarvel::document_test {
namespace {

constexpr int kKeys = 3000;

// An INI document whose every key holds the generation's number.
void save_generation(int generation) {
  ini_open("a.ini");
  const std::string value = std::to_string(generation);
  for (int k = 0; k < kKeys; ++k) ini_put("Scores", ("key" + std::to_string(k)).c_str(), value.c_str());
  ini_open(DynString());
}

// True when the file is one generation's document, complete.
bool whole_document(const std::string& text) {
  const std::string head = "[Scores]\r\nkey0=";
  if (text.compare(0, head.size(), head) != 0) return false;
  const std::string value = text.substr(head.size(), text.find('\r', head.size()) - head.size());
  std::string expected = "[Scores]\r\n";
  for (int k = 0; k < kKeys; ++k) expected += "key" + std::to_string(k) + "=" + value + "\r\n";
  return text == expected;
}

std::string whole_copy_source(char fill) { return std::string(1 << 20, fill); }

pid_t start_saver() {
  const pid_t pid = fork();
  if (pid == 0) {
    // Saves without end, alternating an INI document and a copied file.
    for (int generation = 1;; ++generation) {
      save_generation(generation);
      copy_file(generation % 2 ? "one.bin" : "two.bin", "copy.bin");
    }
  }
  return pid;
}

class CrashSave : public DocumentTest {};

TEST_F(CrashSave, KilledWhileSavingLeavesWholeFilesAndNoLitterAfterTheNextSave) {
  save_generation(0);
  write_file("one.bin", whole_copy_source('1'));
  write_file("two.bin", whole_copy_source('2'));
  copy_file("one.bin", "copy.bin");
  std::mt19937 random(15);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  int kills = 0;
  for (; kills < 60 && std::chrono::steady_clock::now() < deadline; ++kills) {
    const pid_t child = start_saver();
    ASSERT_GT(child, 0);
    std::this_thread::sleep_for(std::chrono::microseconds(2000 + random() % 30000));
    kill(child, SIGKILL);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    ASSERT_TRUE(whole_document(read_file("a.ini"))) << "after kill " << kills;
    const std::string copy = read_file("copy.bin");
    ASSERT_TRUE(copy == whole_copy_source('1') || copy == whole_copy_source('2')) << "after kill " << kills;
  }
  EXPECT_GE(kills, 10);
  // One more save of each file clears whatever the crashed writers left.
  save_generation(1000);
  copy_file("two.bin", "copy.bin");
  EXPECT_EQ(files_in(work_), (std::vector<std::string>{"a.ini", "copy.bin", "one.bin", "two.bin"}));
  EXPECT_TRUE(whole_document(read_file("a.ini")));
}

TEST_F(CrashSave, OnlyTemporariesOfGoneWritersAreRemoved) {
  // A process id that is surely gone: a child that ended and was reaped.
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  ASSERT_GT(gone, 0);
  waitpid(gone, nullptr, 0);
  const std::string dead = ".a.ini.part-" + std::to_string(gone) + "-0123abcd";
  const std::string live = ".a.ini.part-" + std::to_string(getppid()) + "-0123abcd";  // a save in progress
  const std::string other_target = ".b.ini.part-" + std::to_string(gone) + "-1";
  for (const std::string& name : {dead, live, other_target, std::string(".a.ini.part-junk"),
                                  std::string(".a.ini.backup"), std::string("a.ini.part-1-2")}) {
    write_file(name, "x");
  }
  ASSERT_TRUE(platform::replace_file("a.ini", "[A]\r\n", 5));
  std::vector<std::string> kept = {".a.ini.backup", ".a.ini.part-junk", live, other_target, "a.ini", "a.ini.part-1-2"};
  std::sort(kept.begin(), kept.end());
  EXPECT_EQ(files_in(work_), kept);
}

TEST_F(CrashSave, TwoProgramsSavingTheSameFileAtOnceBothSucceed) {
  pid_t children[2];
  for (pid_t& child : children) {
    child = fork();
    if (child == 0) {
      int failed = 0;
      const std::string mine(20000, static_cast<char>('a' + (getpid() & 7)));
      for (int i = 0; i < 300; ++i) failed += platform::replace_file("shared.txt", mine.data(), mine.size()) ? 0 : 1;
      _exit(failed > 100 ? 100 : failed);
    }
    ASSERT_GT(child, 0);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "saves failed";
  }
  EXPECT_EQ(read_file("shared.txt").size(), 20000u);
  EXPECT_EQ(files_in(work_), (std::vector<std::string>{"shared.txt"}));
}

}  // namespace
}  // namespace quarvel::document_test
