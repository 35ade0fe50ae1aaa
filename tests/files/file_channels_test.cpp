#include "files/file_channels.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "core/value_errors.h"
#include "quarvel/arrays.h"
#include "quarvel/runtime.h"
#include "test_support.h"

namespace quarvel {
namespace {

namespace fs = std::filesystem;

std::string read_file(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const fs::path& p, const std::string& bytes) {
  std::ofstream(p, std::ios::binary) << bytes;
}

std::string bytes(std::initializer_list<int> values) {
  std::string s;
  for (int v : values) s += static_cast<char>(v);
  return s;
}

fs::path report_path() { return fs::path(quarvel_test::temp_dir()) / "ErrorLog.txt"; }

// The error code of the end report a debug-mode run leaves behind, or -1.
int recorded_error() {
  const std::string report = read_file(report_path());
  const std::string head = "-End On Line\r\n";
  const size_t at = report.find(head);
  fs::remove(report_path());
  return at == std::string::npos ? -1 : std::stoi(report.substr(at + head.size()));
}

// The statement must end the program through end_program with exit code 0
// and the given error code recorded.
#define EXPECT_ERROR_END(statement, code)          \
  EXPECT_EXIT(                                     \
      {                                            \
        project_settings().debug_mode = 1;         \
        statement;                                 \
      },                                           \
      testing::ExitedWithCode(0), "");             \
  EXPECT_EQ(recorded_error(), code) << #statement

// Each test works in a directory of its own, which is also the current one.
class FileChannels : public testing::Test {
 protected:
  void SetUp() override {
    work_ = fs::path(quarvel_test::temp_dir()) / testing::UnitTest::GetInstance()->current_test_info()->name();
    fs::create_directories(work_);
    old_cwd_ = fs::current_path();
    fs::current_path(work_);
    fs::remove(report_path());
  }
  void TearDown() override {
    close_all_file_channels();
    fs::current_path(old_cwd_);
  }

  fs::path work_, old_cwd_;
};

TEST_F(FileChannels, LongsAreLittleEndianAndReadBackUnsigned) {
  ASSERT_EQ(open_file(0, "n.bin", 0), 1);
  write_long(0, 70000);
  write_long(0, -1);
  close_file(0);
  EXPECT_EQ(read_file("n.bin"), bytes({112, 17, 1, 0, 255, 255, 255, 255}));

  ASSERT_EQ(open_file(0, "n.bin", 1), 1);
  double v = 0;
  read_long(0, v);
  EXPECT_EQ(v, 70000);
  read_long(0, v);
  EXPECT_EQ(v, 4294967295.0);
  EXPECT_EQ(end_of_file(0), 1);
}

TEST_F(FileChannels, BytesWordsAndDoublesKeepTheirLowBits) {
  ASSERT_EQ(open_file(1, "v.bin", 0), 1);
  write_word(1, 65537);
  write_byte(1, 258.9);
  write_byte(1, -1);
  write_ieee(1, -0.1);
  write_string(1, "ab");
  write_string(1, "");
  close_file(1);
  EXPECT_EQ(read_file("v.bin"),
            bytes({1, 0, 2, 255, 0x9a, 0x99, 0x99, 0x99, 0x99, 0x99, 0xb9, 0xbf, 'a', 'b'}));

  ASSERT_EQ(open_file(1, "v.bin", 1), 1);
  EXPECT_EQ(file_size("v.bin"), 14);
  double v = 0;
  read_word(1, v);
  EXPECT_EQ(v, 1);
  read_byte(1, v);
  EXPECT_EQ(v, 2);
  read_byte(1, v);
  EXPECT_EQ(v, 255);
  EXPECT_EQ(end_of_file(1), 0);
  read_ieee(1, v);
  EXPECT_EQ(v, -0.1);
  DynString text;
  read_string(1, text, 2);
  EXPECT_STREQ(text.c_str(), "ab");
  EXPECT_EQ(end_of_file(1), 1);
}

TEST_F(FileChannels, LinesEndAtLfAndLoseTheirCr) {
  write_file("t.txt", "12\r\n34");
  ASSERT_EQ(open_file(2, "t.txt", 1), 1);
  DynString line;
  read_line(2, line);
  EXPECT_STREQ(line.c_str(), "12");
  EXPECT_EQ(end_of_file(2), 0);
  read_line(2, line);
  EXPECT_STREQ(line.c_str(), "34");
  EXPECT_EQ(end_of_file(2), 1);
  EXPECT_ERROR_END(read_line(2, line), 3);

  write_file("u.txt", "a\n\nb\r\r\n");
  ASSERT_EQ(open_file(2, "u.txt", 1), 1);
  for (const char* expected : {"a", "", "b\r"}) {
    read_line(2, line);
    EXPECT_STREQ(line.c_str(), expected);
  }
  EXPECT_EQ(end_of_file(2), 1);
}

TEST_F(FileChannels, LongLinesComeInPiecesOf1024) {
  write_file("long.txt", std::string(1500, 'x') + "\r\nnext\r\n");
  ASSERT_EQ(open_file(3, "long.txt", 1), 1);
  DynString line;
  read_line(3, line);
  EXPECT_EQ(line.length_of(), 1024u);
  read_line(3, line);
  EXPECT_EQ(line.length_of(), 476u);
  read_line(3, line);
  EXPECT_STREQ(line.c_str(), "next");
  EXPECT_EQ(end_of_file(3), 1);
}

TEST_F(FileChannels, LinesAcrossBlockEdgesReadWhole) {
  // A last line without LF that fills whole 64-byte blocks, and a CR that
  // ends one block with its LF opening the next.
  const std::string edge(63, 'c');
  const std::string last(128, 'z');
  write_file("edge.txt", edge + "\r\n" + last);
  ASSERT_EQ(open_file(4, "edge.txt", 1), 1);
  DynString line;
  read_line(4, line);
  EXPECT_EQ(std::string(line.c_str()), edge);
  read_line(4, line);
  EXPECT_EQ(std::string(line.c_str()), last);
  EXPECT_EQ(end_of_file(4), 1);
  EXPECT_ERROR_END(read_line(4, line), 3);
}

TEST_F(FileChannels, NumberLinesWriteTenDigitTextsWithCrLf) {
  ASSERT_EQ(open_file(5, "hc.txt", 0), 1);
  write_number_line(5, 1234);
  write_number_line(5, 1.0 / 3);
  write_line(5, "Player");
  write_line(5, "");
  close_file(5);
  EXPECT_EQ(read_file("hc.txt"), "1234\r\n0.3333333333\r\nPlayer\r\n\r\n");

  ASSERT_EQ(open_file(5, "hc.txt", 1), 1);
  double v = 0;
  read_number_line(5, v);
  EXPECT_EQ(v, 1234);
  read_number_line(5, v);
  EXPECT_EQ(v, 0.3333333333);
  read_number_line(5, v);  // no number in the line
  EXPECT_EQ(v, 0);
}

TEST_F(FileChannels, ReadStringTakesExactlyCountBytesUpToAZeroByte) {
  DynString text("old");
  read_string(99, text, 0);  // the channel is not looked at
  EXPECT_STREQ(text.c_str(), "");
  text = "old";
  read_string(-5, text, -3);
  EXPECT_STREQ(text.c_str(), "");

  write_file("s.bin", std::string("ab\0cdEF", 7));
  ASSERT_EQ(open_file(6, "s.bin", 1), 1);
  read_string(6, text, 5);
  EXPECT_STREQ(text.c_str(), "ab");
  read_string(6, text, 2);
  EXPECT_STREQ(text.c_str(), "EF");
  EXPECT_ERROR_END(read_string(6, text, 1), 3);
}

TEST_F(FileChannels, ChannelNumbersOutside0To7EndWithError7) {
  EXPECT_ERROR_END(open_file(8, "x.txt", 0), 7);
  EXPECT_ERROR_END(open_file(-1, "x.txt", 0), 7);
  EXPECT_ERROR_END(close_file(1e10), 7);
  DynString line;
  EXPECT_ERROR_END(read_line(8, line), 7);
  EXPECT_ERROR_END(end_of_file(-2), 7);
  // 7.9 is channel 7.
  ASSERT_EQ(open_file(7.9, "seven.txt", 0), 1);
  write_line(7, "on seven");
  close_file(7.2);
  EXPECT_EQ(read_file("seven.txt"), "on seven\r\n");
}

TEST_F(FileChannels, FailedTransfersEndWithError3) {
  double v = 0;
  EXPECT_ERROR_END(read_byte(0, v), 3);      // never opened
  EXPECT_ERROR_END(write_byte(0, 1), 3);
  EXPECT_ERROR_END(write_string(0, ""), 3);

  EXPECT_EQ(open_file(0, "missing.txt", 1), 0);
  EXPECT_ERROR_END(read_word(0, v), 3);

  write_file("r.bin", "abc");
  ASSERT_EQ(open_file(0, "r.bin", 1), 1);
  EXPECT_ERROR_END(write_line(0, "no"), 3);  // opened for reading
  EXPECT_ERROR_END(read_long(0, v), 3);      // only three bytes
  EXPECT_EQ(read_file("r.bin"), "abc");
}

TEST_F(FileChannels, WriteModeCreatesAnewAndIsAlwaysAtItsEnd) {
  write_file("w.txt", "old content");
  ASSERT_EQ(open_file(0, "w.txt", 0), 1);
  EXPECT_EQ(file_size("w.txt"), 0);
  EXPECT_EQ(end_of_file(0), 1);
  write_string(0, "new");
  // Reopening the channel closes the file before.
  ASSERT_EQ(open_file(0, "w.txt", 1), 1);
  DynString text;
  read_string(0, text, 3);
  EXPECT_STREQ(text.c_str(), "new");
  EXPECT_EQ(open_file(0, "no/such/dir/f.txt", 0), 0);
  EXPECT_EQ(open_file(0, ".", 1), 0);  // a directory is no file
}

TEST_F(FileChannels, FilesByNameAcceptBothSeparators) {
  fs::create_directories("sub");
  write_file("sub/f.txt", "12345");
  EXPECT_EQ(file_exists("sub\\f.txt"), 1);
  EXPECT_EQ(file_size("sub\\f.txt"), 5);
  EXPECT_EQ(file_exists("sub/none.txt"), 0);
  EXPECT_EQ(file_size("sub/none.txt"), 0);
  EXPECT_EQ(file_exists("sub"), 0);
  ASSERT_EQ(open_file(1, "sub\\f.txt", 1), 1);
  close_file(1);

  EXPECT_EQ(delete_file("sub"), 0);
  EXPECT_EQ(delete_file("sub\\f.txt"), 1);
  EXPECT_EQ(delete_file("sub\\f.txt"), 0);
  EXPECT_FALSE(fs::exists("sub/f.txt"));
}

TEST_F(FileChannels, RenameFileReplacesMovesAndRefuses) {
  // Over an existing file: the target takes the source's bytes (the
  // highscore is saved this way) and the source is gone.
  write_file("new.txt", "new");
  write_file("old.txt", "old");
  EXPECT_EQ(rename_file("new.txt", "old.txt"), 1);
  EXPECT_EQ(read_file("old.txt"), "new");
  EXPECT_FALSE(fs::exists("new.txt"));
  // A missing source changes nothing.
  EXPECT_EQ(rename_file("missing.txt", "old.txt"), 0);
  EXPECT_EQ(read_file("old.txt"), "new");
  // Across directories, either separator.
  fs::create_directories("a/b");
  fs::create_directories("c");
  write_file("a/b/deep.txt", "deep");
  EXPECT_EQ(rename_file("a\\b\\deep.txt", "c/moved.txt"), 1);
  EXPECT_EQ(read_file("c/moved.txt"), "deep");
  EXPECT_FALSE(fs::exists("a/b/deep.txt"));
  // Into a directory that does not exist: 0 and the file stays.
  EXPECT_EQ(rename_file("c/moved.txt", "nowhere/moved.txt"), 0);
  EXPECT_EQ(read_file("c/moved.txt"), "deep");
  // Directories are not files: neither as source nor as target.
  EXPECT_EQ(rename_file("c/moved.txt", "a"), 0);
  EXPECT_EQ(read_file("c/moved.txt"), "deep");
  EXPECT_EQ(rename_file("a", "z"), 0);
  EXPECT_TRUE(fs::is_directory("a/b"));
  EXPECT_EQ(rename_file("", "z"), 0);
}

TEST_F(FileChannels, CopyFileCopiesAllOrNothing) {
  std::string content;
  for (int i = 0; i < 10000; ++i) content += static_cast<char>(i * 7);
  write_file("src.bin", content);
  copy_file("src.bin", "dst.bin");
  EXPECT_EQ(read_file("dst.bin"), content);

  // A missing source copies nothing and leaves the destination alone.
  copy_file("missing.bin", "dst.bin");
  EXPECT_EQ(read_file("dst.bin"), content);
  // Onto itself: the content stays.
  copy_file("src.bin", "src.bin");
  EXPECT_EQ(read_file("src.bin"), content);
  // A destination that cannot take the copy leaves no partial file behind.
  fs::create_directories("dir");
  copy_file("src.bin", "dir");
  copy_file("src.bin", "nodir/x.bin");
  EXPECT_TRUE(fs::is_directory("dir"));
  EXPECT_TRUE(fs::is_empty("dir"));
  int files = 0;
  for (const auto& entry : fs::directory_iterator(".")) files += entry.is_regular_file() ? 1 : 0;
  EXPECT_EQ(files, 2);  // src.bin and dst.bin
}

TEST_F(FileChannels, CurrentDirectoryEndsWithASlash) {
  EXPECT_EQ(std::string(current_dir().c_str()), work_.string() + "/");
  fs::create_directories("a/b");
  EXPECT_EQ(set_current_dir("a\\b"), 1);
  EXPECT_EQ(std::string(current_dir().c_str()), (work_ / "a" / "b").string() + "/");
  EXPECT_EQ(set_current_dir("/"), 1);
  EXPECT_STREQ(current_dir().c_str(), "/");
  EXPECT_EQ(set_current_dir(work_.string().c_str()), 1);
  EXPECT_EQ(set_current_dir("no-such-dir"), 0);
  EXPECT_EQ(set_current_dir(""), 0);
  EXPECT_EQ(fs::current_path(), work_);
}

// The array commands live in the portable values library; the runtime
// routes their errors to the same end as the file channels'.
TEST_F(FileChannels, ArrayErrorsEndThroughEndProgram) {
  route_value_errors_to_end_program();
  NumberArray rocks;
  dim_array(rocks, 10);
  EXPECT_ERROR_END(array_element(rocks, 10), 9);
  EXPECT_ERROR_END(dim_array(rocks, 1e6, 1e6), 7);
}

}  // namespace
}  // namespace quarvel
