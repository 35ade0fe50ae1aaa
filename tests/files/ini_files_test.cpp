#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>

#include "document_files.h"
#include "quarvel/ini_files.h"
#include "quarvel/runtime.h"

namespace quarvel::document_test {
namespace {

class IniFiles : public DocumentTest {
 protected:
  void TearDown() override {
    ini_open(DynString());  // saves a changed document, then holds none
    DocumentTest::TearDown();
  }
  static std::string get(const char* section, const char* key) { return ini_get(section, key).c_str(); }
};

TEST_F(IniFiles, ReadChangeAndWriteBackOnTheNextOpen) {
  write_file("game.ini",
             "; settings\r\n[Player]\r\nName = Bob\r\nLevel=3\r\nGone Bob\r\n[Empty]\r\n[Sound]\r\nVolume=80\r\n");
  ini_open("game.ini");
  EXPECT_EQ(get("player", "NAME"), "Bob");
  EXPECT_EQ(get("Player", "Gone"), "NO_DATA");
  EXPECT_EQ(get("Nowhere", "Name"), "NO_DATA");
  ini_put("PLAYER", "level", "4");
  ini_put("Player", "Name", "");  // deleted: the last key takes its place
  ini_put("Video", "Width", "640");
  EXPECT_EQ(read_file("game.ini").substr(0, 10), "; settings");  // nothing written yet

  ini_open("other.ini");  // missing: an empty document
  EXPECT_EQ(read_file("game.ini"),
            "[Player]\r\nLevel=4\r\n[Sound]\r\nVolume=80\r\n[Video]\r\nWidth=640\r\n");
  EXPECT_EQ(get("Player", "Level"), "NO_DATA");
  EXPECT_FALSE(fs::exists("other.ini"));  // unchanged: never written
  EXPECT_EQ(files_in(work_), (std::vector<std::string>{"game.ini"}));  // no temporary file left
}

TEST_F(IniFiles, DeletingASectionAloneDoesNotWrite) {
  const std::string original = "[A]\r\nk=1\r\n[B]\r\nk=2\r\n[C]\r\nk=3\r\n";
  write_file("del.ini", original);
  ini_open("del.ini");
  ini_put("a", "", "");
  ini_open("del.ini");
  EXPECT_EQ(read_file("del.ini"), original);
  // Saved together with a later change: C took A's place.
  ini_put("A", "", "");
  ini_put("B", "k", "two");
  ini_open("x.ini");
  EXPECT_EQ(read_file("del.ini"), "[C]\r\nk=3\r\n[B]\r\nk=two\r\n");
}

TEST_F(IniFiles, NewFileAndKeptPermissions) {
  ini_open("sub\\fresh.ini");  // either separator
  fs::create_directory("sub");
  ini_put("S", "K", "v");
  ini_open("");
  EXPECT_EQ(read_file("sub/fresh.ini"), "[S]\r\nK=v\r\n");

  write_file("private.ini", "[S]\nK=1\n");
  fs::permissions("private.ini", fs::perms::owner_read | fs::perms::owner_write);
  ini_open("private.ini");
  ini_put("S", "K", "2");
  ini_open("");
  EXPECT_EQ(read_file("private.ini"), "[S]\r\nK=2\r\n");
  EXPECT_EQ(fs::status("private.ini").permissions() & fs::perms::all,
            fs::perms::owner_read | fs::perms::owner_write);
}

TEST_F(IniFiles, WrittenBackWhereItWasOpenedAfterTheDirectoryChanges) {
  ini_open("here.ini");
  fs::create_directory("elsewhere");
  fs::current_path("elsewhere");
  ini_put("S", "K", "v");
  ini_open("");
  fs::current_path(work_);
  EXPECT_EQ(read_file("here.ini"), "[S]\r\nK=v\r\n");
  EXPECT_FALSE(fs::exists("elsewhere/here.ini"));
}

TEST_F(IniFiles, DocumentFromThePackIsWrittenUnderTheProgramsName) {
  serve_from_pack("conf.ini", "[S]\r\nK=packed\r\n");
  ini_open("data/conf.ini");
  EXPECT_EQ(get("S", "K"), "packed");
  fs::create_directory("data");
  ini_put("S", "K", "changed");
  ini_open("");
  EXPECT_EQ(read_file("data/conf.ini"), "[S]\r\nK=changed\r\n");
}

using IniFilesDeathTest = IniFiles;

TEST_F(IniFilesDeathTest, ChangedDocumentIsWrittenAtProgramEnd) {
  write_file("end.ini", "[S]\r\nK=1\r\n");
  EXPECT_EXIT(
      {
        ini_open("end.ini");
        ini_put("S", "K", "2");
        end_program();
      },
      testing::ExitedWithCode(0), "");
  EXPECT_EQ(read_file("end.ini"), "[S]\r\nK=2\r\n");
}

// (A death-test child runs the test body again up to its statement, so
// each exit gets a test of its own.)
TEST_F(IniFilesDeathTest, SectionDeletionAloneIsNotWrittenAtProgramEnd) {
  write_file("end.ini", "[S]\r\nK=1\r\n");
  EXPECT_EXIT(
      {
        ini_open("end.ini");
        ini_put("S", "", "");
        end_program();
      },
      testing::ExitedWithCode(0), "");
  EXPECT_EQ(read_file("end.ini"), "[S]\r\nK=1\r\n");
}

}  // namespace
}  // namespace quarvel::document_test
