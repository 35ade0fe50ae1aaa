#include <gtest/gtest.h>

#include <string>

#include "document_files.h"
#include "files/documents.h"
#include "quarvel/line_files.h"
#include "quarvel/runtime.h"

namespace quarvel::document_test {
namespace {

class LineFiles : public DocumentTest {
 protected:
  void SetUp() override {
    DocumentTest::SetUp();
    record_runtime_error(0);
  }
  void TearDown() override {
    open_line_file(nullptr);  // saves a changed file, then caches none
    DocumentTest::TearDown();
  }
  static double last_error() { return engine().debug.error_code; }
  static std::string line(const char* name, double n) { return get_file_line(name, n).c_str(); }
};

TEST_F(LineFiles, ReadsLinesAndNumbers) {
  const std::string text = "first\r\n  12.5kg\nends in blanks  \nends in tab\t\n\nlast without line feed";
  write_file("t.txt", text);
  EXPECT_EQ(line("t.txt", 0), "first");
  EXPECT_EQ(line("t.txt", 1.9), "  12.5kg");  // the index is truncated
  EXPECT_EQ(get_file_number("t.txt", 1), 12.5);
  EXPECT_EQ(line("t.txt", 2), "ends in blanks  ");
  EXPECT_EQ(line("t.txt", 3), "ends in tab");
  EXPECT_EQ(line("t.txt", 4), "NO_DATA");
  EXPECT_EQ(line("t.txt", 5), "last without line feed");
  EXPECT_EQ(line("t.txt", 255), "NO_DATA");
  EXPECT_EQ(last_error(), 0);
  open_line_file(nullptr);
  EXPECT_EQ(read_file("t.txt"), text);  // only read: untouched
}

TEST_F(LineFiles, LineOutsideTheCacheRecordsError7) {
  write_file("t.txt", "a\n");
  EXPECT_EQ(line("t.txt", 300), "NO_DATA");
  EXPECT_EQ(last_error(), 7);
  record_runtime_error(0);
  EXPECT_EQ(line("t.txt", -1), "NO_DATA");
  EXPECT_EQ(last_error(), 7);
  record_runtime_error(0);
  put_file_line("t.txt", 256, "x");
  EXPECT_EQ(last_error(), 7);
  open_line_file(nullptr);
  EXPECT_EQ(read_file("t.txt"), "a\n");  // nothing was changed
}

TEST_F(LineFiles, MissingFileRecordsError3AndIsBuiltByWrites) {
  EXPECT_EQ(line("new.txt", 0), "NO_FILE");
  EXPECT_EQ(last_error(), 3);
  EXPECT_EQ(get_file_number("new.txt", 0), 0);  // the name stays cached
  put_file_number("new.txt", 2, 0);
  put_file_number("new.txt", 1, 1.0 / 3);
  put_file_line("new.txt", 0, "text");
  EXPECT_FALSE(fs::exists("new.txt"));  // only the cache changed
  open_line_file(nullptr);
  EXPECT_EQ(read_file("new.txt"), "text\r\n0.3333333333\r\n0\r\n");
}

TEST_F(LineFiles, NamingAnotherFileWritesBackAndReloads) {
  write_file("a.txt", "A0\nA1\n");
  EXPECT_EQ(line("a.txt", 1), "A1");
  put_file_line("a.txt", 1, "changed in cache");
  put_file_line("b.txt", 0, "B0");  // names B: A is written back
  EXPECT_EQ(read_file("a.txt"), "A0\r\nchanged in cache\r\n");
  write_file("a.txt", "A edited outside\n");
  EXPECT_EQ(line("a.txt", 0), "A edited outside");  // reloaded from disk
  EXPECT_EQ(read_file("b.txt"), "B0\r\n");          // B written when A was named
  // Another spelling is another file: B is read afresh.
  put_file_line("b.txt", 1, "B1");
  EXPECT_EQ(line("B.TXT", 0), "NO_FILE");
  EXPECT_EQ(read_file("b.txt"), "B0\r\nB1\r\n");
  EXPECT_EQ(files_in(work_), (std::vector<std::string>{"a.txt", "b.txt"}));  // no temporary files left
}

TEST_F(LineFiles, LongLinesDoNotSpillAndAreKept) {
  const std::string long_line(1500, 'x');
  write_file("long.txt", long_line + "\nsecond\n");
  EXPECT_EQ(line("long.txt", 0), long_line.substr(0, 1023));
  EXPECT_EQ(line("long.txt", 1), "second");
  put_file_line("long.txt", 2, "third");
  open_line_file(nullptr);
  EXPECT_EQ(read_file("long.txt"), long_line + "\r\nsecond\r\nthird\r\n");
}

TEST_F(LineFiles, FileFromThePackIsWrittenUnderTheProgramsName) {
  serve_from_pack("hc.txt", "100\r\n");
  EXPECT_EQ(get_file_number("hc.txt", 0), 100);
  put_file_number("hc.txt", 0, 250);
  open_line_file(nullptr);
  EXPECT_EQ(read_file("hc.txt"), "250\r\n");
}

using LineFilesDeathTest = LineFiles;

TEST_F(LineFilesDeathTest, ChangedFileIsWrittenAtProgramEnd) {
  EXPECT_EXIT(
      {
        put_file_line("end.txt", 5, "five");
        end_program();
      },
      testing::ExitedWithCode(0), "");
  EXPECT_EQ(read_file("end.txt"), "\r\n\r\n\r\n\r\n\r\nfive\r\n");
}

}  // namespace
}  // namespace quarvel::document_test
