#include "files/formats/ini_format.h"

#include <gtest/gtest.h>

#include <string>

namespace quarvel::ini_format {
namespace {

IniDocument parse(const std::string& text) {
  IniDocument doc;
  parse_ini(reinterpret_cast<const uint8_t*>(text.data()), text.size(), doc);
  return doc;
}

std::string get(const IniDocument& doc, const std::string& section, const std::string& key) {
  const std::string* v = find_value(doc, section, key);
  return v ? *v : "NO_DATA";
}

std::string keys_of(const IniSection& s) {
  std::string out;
  for (const auto& p : s.pairs) out += p.first + ";";
  return out;
}

TEST(IniFormat, KeyLines) {
  using namespace std::string_literals;
  const IniDocument doc = parse(
      "[S]\n"
      "Name = Bob\n"
      "Other=Bob\n"
      "Spaced Bob\n"           // no "=" after the key: ignored
      "Tabbed\t= x\n"          // only blanks may come before "="
      "  \tIndented=1\r\n"
      "Inner =  a  b  \t\r\n"  // inner and trailing blanks kept, tab dropped
      "Ctl=v\x01\x1f\n"
      "Empty =\n"              // empty values are not stored
      "Blank = \t \n"
      "=nokey\n"
      "Eq=a=b\n"
      "; Comment=1\n"
      "Nul=ab\0cd\n"
      "Last=no line feed"s);
  ASSERT_EQ(doc.sections.size(), 1u);
  EXPECT_EQ(get(doc, "S", "Name"), "Bob");
  EXPECT_EQ(get(doc, "S", "Other"), "Bob");
  EXPECT_EQ(get(doc, "S", "Spaced"), "NO_DATA");
  EXPECT_EQ(get(doc, "S", "Tabbed"), "NO_DATA");
  EXPECT_EQ(get(doc, "S", "Indented"), "1");
  EXPECT_EQ(get(doc, "S", "Inner"), "a  b  ");
  EXPECT_EQ(get(doc, "S", "Ctl"), "v");
  EXPECT_EQ(get(doc, "S", "Empty"), "NO_DATA");
  EXPECT_EQ(get(doc, "S", "Blank"), "NO_DATA");
  EXPECT_EQ(get(doc, "S", ""), "nokey");
  EXPECT_EQ(get(doc, "S", "Eq"), "a=b");
  EXPECT_EQ(get(doc, "S", "; Comment"), "NO_DATA");
  EXPECT_EQ(get(doc, "S", "Nul"), "ab");
  EXPECT_EQ(get(doc, "S", "Last"), "no line feed");
}

TEST(IniFormat, SectionHeaders) {
  const IniDocument doc = parse(
      "Loose=1\n"          // before any header: the unnamed section
      "[Player 1]\nA=1\n"  // the name ends at the blank
      "[ Spaced]\nB=2\n"
      "[Empty]\n"          // no key: dropped
      "[Odd]x]\nC=3\n"     // only a "]" right before the end goes
      "[player]\nA=other\n");
  ASSERT_EQ(doc.sections.size(), 5u);
  EXPECT_EQ(doc.sections[0].name, "");
  EXPECT_EQ(doc.sections[1].name, "Player");
  EXPECT_EQ(doc.sections[2].name, "Spaced");
  EXPECT_EQ(doc.sections[3].name, "Odd]x");
  EXPECT_EQ(doc.sections[4].name, "player");
  EXPECT_EQ(get(doc, "", "loose"), "1");
  // Case-insensitive, and the first section of a name hides later ones.
  EXPECT_EQ(get(doc, "PLAYER", "a"), "1");
  EXPECT_EQ(get(doc, "Empty", "x"), "NO_DATA");
}

TEST(IniFormat, LongLinesAreReadWhole) {
  const std::string value(5000, 'v');
  const IniDocument doc = parse("[S]\nK=" + value + "\nNext=1\n");
  EXPECT_EQ(get(doc, "S", "K"), value);
  EXPECT_EQ(get(doc, "S", "Next"), "1");
}

TEST(IniFormat, PutAddsReplacesAndDeletes) {
  IniDocument doc = parse("[S]\nFirst=1\nSecond=2\nThird=3\n");
  EXPECT_EQ(put_value(doc, "s", "SECOND", ""), PutResult::changed);
  EXPECT_EQ(keys_of(doc.sections[0]), "First;Third;");
  EXPECT_EQ(put_value(doc, "S", "first", "one"), PutResult::changed);
  EXPECT_EQ(get(doc, "S", "First"), "one");
  EXPECT_EQ(doc.sections[0].pairs[0].first, "First");  // the stored case stays
  // A new key is appended even with an empty value.
  EXPECT_EQ(put_value(doc, "S", "Blank", ""), PutResult::changed);
  EXPECT_EQ(keys_of(doc.sections[0]), "First;Third;Blank;");
  // Deleting the first of three: the last takes its place.
  EXPECT_EQ(put_value(doc, "S", "FIRST", ""), PutResult::changed);
  EXPECT_EQ(keys_of(doc.sections[0]), "Blank;Third;");
  // A missing section is created with the caller's spelling.
  EXPECT_EQ(put_value(doc, "New", "K", "v"), PutResult::changed);
  EXPECT_EQ(doc.sections[1].name, "New");
}

TEST(IniFormat, EmptyKeyDeletesTheSection) {
  IniDocument doc = parse("[A]\nk=1\n[B]\nk=2\n[C]\nk=3\n");
  EXPECT_EQ(put_value(doc, "a", "", "ignored"), PutResult::section_deleted);
  ASSERT_EQ(doc.sections.size(), 2u);
  EXPECT_EQ(doc.sections[0].name, "C");  // the last section moved up
  EXPECT_EQ(doc.sections[1].name, "B");
  EXPECT_EQ(put_value(doc, "missing", "", ""), PutResult::nothing);
  EXPECT_EQ(doc.sections.size(), 2u);
}

TEST(IniFormat, WriteAndReadBack) {
  IniDocument doc = parse("; comment\n[S]\nName = Bob \n[Empty]\n[T]\nx=1\n");
  EXPECT_EQ(write_ini(doc), "[S]\r\nName=Bob \r\n[T]\r\nx=1\r\n");
  // A line break in a text cannot add lines to the file.
  put_value(doc, "S", "Evil", "v\r\n[Other]\r\nkey=1");
  put_value(doc, "Sec\nX", "k", "1");
  const std::string written = write_ini(doc);
  EXPECT_EQ(written, "[S]\r\nName=Bob \r\nEvil=v\r\r\n[T]\r\nx=1\r\n[Sec]\r\nk=1\r\n");
  const IniDocument again = parse(written);
  EXPECT_EQ(get(again, "S", "Evil"), "v");
  EXPECT_EQ(get(again, "Other", "key"), "NO_DATA");
  EXPECT_EQ(again.sections.size(), 3u);
}

}  // namespace
}  // namespace quarvel::ini_format
