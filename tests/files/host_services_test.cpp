#include "quarvel/host_services.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <thread>

#include "files/host_services.h"
#include "test_support.h"

namespace quarvel {
namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class HostServices : public testing::Test {
 protected:
  void SetUp() override {
    work_ = fs::path(quarvel_test::temp_dir()) / testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::create_directories(work_ / "dir");
    fs::create_directories(work_ / "bin");
    old_cwd_ = fs::current_path();
    fs::current_path(work_ / "dir");
    const char* path = std::getenv("PATH");
    old_path_ = path ? path : "";
  }
  void TearDown() override {
    setenv("PATH", old_path_.c_str(), 1);
    setenv("QUARVEL_NO_DIALOGS", "1", 1);
    fs::current_path(old_cwd_);
  }

  // A dialog program on PATH (and nothing else there) that records its
  // arguments, prints `answer` and ends with `exit_code`.
  void fake_dialog(const std::string& program, const std::string& answer, int exit_code) {
    const fs::path script = work_ / "bin" / program;
    std::ofstream(script) << "#!/bin/sh\n"
                          << "for a in \"$@\"; do printf '%s\\n' \"$a\"; done > '" << (work_ / "args.txt").string()
                          << "'\n"
                          << "cd /\n"
                          << "printf '%s\\n' '" << answer << "'\n"
                          << "exit " << exit_code << "\n";
    fs::permissions(script, fs::perms::owner_all);
  }
  void allow_dialogs() {
    setenv("PATH", (work_ / "bin").c_str(), 1);
    setenv("QUARVEL_NO_DIALOGS", "0", 1);
  }
  std::string dialog_arguments() { return read_file(work_ / "args.txt"); }

  fs::path work_, old_cwd_;
  std::string old_path_;
};

std::set<std::string> elements(const StringArray& a, int from, int to) {
  std::set<std::string> out;
  for (int i = from; i < to; ++i) out.insert(array_element(a, i).c_str());
  return out;
}

TEST_F(HostServices, FileListPutsDirectoriesFirst) {
  std::ofstream("title.bmp") << "x";
  std::ofstream("notes.txt") << "x";
  fs::create_directory("sub");
  StringArray names;
  EXPECT_EQ(get_file_list("*", names), 2 + 3 * 65536);
  ASSERT_EQ(names.size_0, 5);
  EXPECT_EQ(elements(names, 0, 3), (std::set<std::string>{".", "..", "sub"}));
  EXPECT_EQ(elements(names, 3, 5), (std::set<std::string>{"title.bmp", "notes.txt"}));

  EXPECT_EQ(get_file_list("*.BMP", names), 1 + 3 * 65536);
  ASSERT_EQ(names.size_0, 4);
  EXPECT_STREQ(array_element(names, 3).c_str(), "title.bmp");

  EXPECT_EQ(get_file_list("*.wav", names), 3 * 65536);  // directories only
  EXPECT_EQ(names.size_0, 3);
}

TEST_F(HostServices, RunProgramWaitsForTheExitCode) {
  double code = -1;
  EXPECT_EQ(run_program("printf '%s' \"a b\" > out.txt; exit 7", 1, 1, code), 1);
  EXPECT_EQ(code, 7);
  EXPECT_EQ(read_file("out.txt"), "a b");

  code = -1;
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(run_program("sleep 0.3; echo done > late.txt; exit 3", 0, 0, code), 1);
  EXPECT_EQ(code, 0);  // not waited for
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
  EXPECT_FALSE(fs::exists("late.txt"));
  for (int i = 0; i < 100 && read_file("late.txt") != "done\n"; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(read_file("late.txt"), "done\n");

  EXPECT_EQ(run_program("kill -9 $$", 1, 0, code), 1);
  EXPECT_EQ(code, 128 + 9);
}

TEST_F(HostServices, FileDialogThroughTheDialogProgram) {
  fake_dialog("zenity", "C:\\games\\level 1.map", 0);
  allow_dialogs();
  const fs::path before = fs::current_path();
  EXPECT_STREQ(file_dialog(1, "Maps|*.map;*.lvl|All files|*.*").c_str(), "C:/games/level 1.map");
  EXPECT_EQ(fs::current_path(), before);
  EXPECT_EQ(dialog_arguments(), "--file-selection\n--filename=" + before.string() +
                                    "/\n--file-filter=Maps | *.map *.lvl\n--file-filter=All files | *.*\n");

  EXPECT_STREQ(file_dialog(0, "").c_str(), "C:/games/level 1.map");
  EXPECT_NE(dialog_arguments().find("--save\n"), std::string::npos);

  fake_dialog("zenity", "", 1);  // cancelled
  EXPECT_STREQ(file_dialog(1, "").c_str(), "NO_FILE");
}

TEST_F(HostServices, FileDialogFallsBackToKdialogThenGivesUp) {
  allow_dialogs();
  EXPECT_STREQ(file_dialog(1, "Maps|*.map").c_str(), "NO_FILE");  // no dialog program at all
  fake_dialog("kdialog", "/home/p/a.map", 0);
  EXPECT_STREQ(file_dialog(1, "Maps|*.map").c_str(), "/home/p/a.map");
  EXPECT_EQ(dialog_arguments(), "--getopenfilename\n" + fs::current_path().string() + "/\n*.map|Maps\n");
}

TEST_F(HostServices, NoDialogInANonInteractiveRun) {
  fake_dialog("zenity", "/chosen", 0);
  allow_dialogs();
  setenv("QUARVEL_NO_DIALOGS", "1", 1);
  EXPECT_STREQ(file_dialog(1, "").c_str(), "NO_FILE");
  EXPECT_FALSE(fs::exists(work_ / "args.txt"));  // never started
}

#ifdef QUARVEL_TEST_PLUGIN_DIR
TEST_F(HostServices, LibraryLoadedOnceWhateverTheCase) {
  fs::current_path(QUARVEL_TEST_PLUGIN_DIR);
  const size_t loaded = loaded_library_count();
  DynString upper("./LIBQUARVEL_TEST_PLUGIN.SO");
  void* first = nullptr;
  get_library_function(upper, "quarvel_plugin_answer", first);
  EXPECT_STREQ(upper.c_str(), "./libquarvel_test_plugin.so");  // lower-cased in place
  ASSERT_NE(first, nullptr);
  EXPECT_EQ(reinterpret_cast<int (*)()>(first)(), 42);

  DynString lower("./libquarvel_test_plugin.so");
  void* second = nullptr;
  get_library_function(lower, "quarvel_plugin_answer", second);
  EXPECT_EQ(second, first);
  EXPECT_EQ(loaded_library_count(), loaded + 1);

  void* missing = &second;
  get_library_function(lower, "no_such_function", missing);
  EXPECT_EQ(missing, nullptr);
  DynString absent("./libno_such_library.so");
  missing = &second;
  get_library_function(absent, "quarvel_plugin_answer", missing);
  EXPECT_EQ(missing, nullptr);
  EXPECT_EQ(loaded_library_count(), loaded + 1);
}
#endif

}  // namespace
}  // namespace quarvel
