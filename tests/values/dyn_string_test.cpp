#include "quarvel/dyn_string.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>
#include <utility>

namespace quarvel {
namespace {

TEST(DynString, EmptyStringsAllocateNothing) {
  DynString fresh;
  DynString from_empty("");
  DynString from_null(static_cast<const char*>(nullptr));
  for (const DynString* s : {&fresh, &from_empty, &from_null}) {
    EXPECT_TRUE(s->is_shared_empty());
    EXPECT_EQ(s->capacity(), 0u);
    EXPECT_EQ(s->length_of(), 0u);
    EXPECT_STREQ(s->c_str(), "");
  }
  fresh = "";
  fresh += "";
  fresh += DynString();
  EXPECT_TRUE(fresh.is_shared_empty());
  // Nothing can be written into the shared text.
  fresh.set_char(0, 'x');
  fresh.truncate_at(0);
  EXPECT_EQ(fresh.char_at(0), 0);
  EXPECT_STREQ(DynString().data(), "");
}

TEST(DynString, ReserveGrowsInSteps) {
  DynString s;
  s.reserve(0);
  EXPECT_EQ(s.capacity(), 512u);
  EXPECT_FALSE(s.is_shared_empty());
  EXPECT_STREQ(s.c_str(), "");
  s.reserve(511);
  EXPECT_EQ(s.capacity(), 512u);
  s = "keep";
  s.reserve(512);
  EXPECT_EQ(s.capacity(), 1024u);
  EXPECT_STREQ(s.c_str(), "keep");
  EXPECT_EQ(s.length_of(), 4u);
  s.reserve(1500);
  EXPECT_EQ(s.capacity(), 1536u);
  // Buffers never shrink; assigning empty text keeps the buffer.
  const char* before = s.data();
  s = "";
  EXPECT_EQ(s.capacity(), 1536u);
  EXPECT_EQ(s.data(), before);
  EXPECT_EQ(s.length_of(), 0u);
  EXPECT_STREQ(s.c_str(), "");
}

TEST(DynString, CopyMoveAndSelfAssignment) {
  DynString a("hello");
  DynString b(a);
  b.set_char(0, 'j');
  EXPECT_STREQ(a.c_str(), "hello");
  EXPECT_STREQ(b.c_str(), "jello");
  EXPECT_NE(a.data(), b.data());

  DynString c(std::move(a));
  EXPECT_STREQ(c.c_str(), "hello");
  EXPECT_TRUE(a.is_shared_empty());  // NOLINT(bugprone-use-after-move)
  b = std::move(c);
  EXPECT_STREQ(b.c_str(), "hello");
  EXPECT_TRUE(c.is_shared_empty());  // NOLINT(bugprone-use-after-move)

  DynString& same = b;
  b = same;
  EXPECT_STREQ(b.c_str(), "hello");
  b = b.c_str() + 2;  // overlapping source
  EXPECT_STREQ(b.c_str(), "llo");
  EXPECT_EQ(b.length_of(), 3u);
}

TEST(DynString, ByteCountConstructorStopsAtNul) {
  EXPECT_STREQ(DynString("abcdef", 3).c_str(), "abc");
  DynString cut("ab\0cd", 5);
  EXPECT_EQ(cut.length_of(), 2u);
  EXPECT_STREQ(cut.c_str(), "ab");
  EXPECT_TRUE(DynString(nullptr, 4).is_shared_empty());
}

TEST(DynString, AppendingAndSelfAppend) {
  DynString s("ab");
  s += s;
  EXPECT_STREQ(s.c_str(), "abab");
  s += s.c_str() + 1;
  EXPECT_STREQ(s.c_str(), "ababbab");

  // Self-append that has to move the buffer.
  DynString big(std::string(300, 'x').c_str());
  big += big;
  EXPECT_EQ(big.length_of(), 600u);
  EXPECT_EQ(big.capacity(), 1024u);
  EXPECT_EQ(std::string(big.c_str()), std::string(600, 'x'));

  std::string expected;
  DynString grown;
  for (int i = 0; i < 2000; ++i) {
    grown += "0123456789";
    expected += "0123456789";
  }
  EXPECT_EQ(grown.length_of(), expected.size());
  EXPECT_EQ(grown.capacity(), 20480u);
  EXPECT_EQ(expected, grown.c_str());
}

TEST(DynString, NumbersAsText) {
  DynString s;
  s = 100.0;
  EXPECT_STREQ(s.c_str(), "100");
  EXPECT_EQ(s.capacity(), 512u);
  s = -7;
  EXPECT_STREQ(s.c_str(), "-7");
  s += 2.5;
  EXPECT_STREQ(s.c_str(), "-72.5");
  s = 0.1f;  // the float's exact value, to 10 digits
  EXPECT_STREQ(s.c_str(), "0.1000000015");
  EXPECT_STREQ(DynString(-2147483647 - 1).c_str(), "-2147483648");
  EXPECT_STREQ(DynString(3000000000u).c_str(), "3000000000");
  s = 12345678901LL;
  EXPECT_STREQ(s.c_str(), "1.23456789e+010");
}

TEST(DynString, Concatenation) {
  EXPECT_STREQ((DynString("abc") + "def").c_str(), "abcdef");
  EXPECT_STREQ(("abc" + DynString("def")).c_str(), "abcdef");
  EXPECT_STREQ((DynString("abc") + DynString("def")).c_str(), "abcdef");
  EXPECT_STREQ((5 + DynString("x")).c_str(), "5x");
  EXPECT_STREQ((DynString("x") + 1.5).c_str(), "x1.5");
  EXPECT_STREQ((DynString("n=") + 100.0).c_str(), "n=100");
  EXPECT_STREQ((DynString("f") + 0.5f).c_str(), "f0.5");
  EXPECT_STREQ((2.25 + DynString("")).c_str(), "2.25");
  EXPECT_STREQ((DynString("L") + 7L + 8u + 'A').c_str(), "L7865");

  const DynString name("Stone");
  const DynString joined = name + " " + 3 + ":" + name;
  EXPECT_STREQ(joined.c_str(), "Stone 3:Stone");
  EXPECT_STREQ(name.c_str(), "Stone");
}

TEST(DynString, TextComparisonsUseUnsignedByteOrder) {
  const DynString abc("abc");
  EXPECT_EQ(abc == DynString("abc"), 1.0);
  EXPECT_EQ(abc == "abc", 1.0);
  EXPECT_EQ("abc" == abc, 1.0);
  EXPECT_EQ(abc < DynString("abd"), 1.0);
  EXPECT_EQ(DynString() < "a", 1.0);
  EXPECT_EQ(DynString("ab") < abc, 1.0);
  EXPECT_EQ(DynString("a") < DynString("B"), 0.0);
  EXPECT_EQ(DynString("Z") < DynString("\xE9"), 1.0);
  EXPECT_EQ(abc >= "abc", 1.0);
  EXPECT_EQ(abc > "abc", 0.0);
  EXPECT_EQ("abd" <= abc, 0.0);
  EXPECT_EQ(abc != "abd", 1.0);

  EXPECT_EQ(text_eq("abc", "abc"), 1.0);
  EXPECT_EQ(text_lt("Z", "\xE9"), 1.0);
  EXPECT_EQ(text_gt("a", "B"), 1.0);
  EXPECT_EQ(text_le(nullptr, ""), 1.0);
  EXPECT_EQ(text_ge("", "a"), 0.0);
  EXPECT_EQ(text_ne("a", "a"), 0.0);
}

TEST(DynString, OnlyStringEqualityChecksLengths) {
  DynString cut("abc");
  cut.set_char(1, '\0');  // text "a", length still 3
  const DynString a("a");
  EXPECT_EQ(cut.length_of(), 3u);
  EXPECT_EQ(cut == a, 0.0);
  EXPECT_EQ(cut != a, 0.0);
  EXPECT_EQ(cut == "a", 1.0);
}

TEST(DynString, StringAgainstNumberComparesValues) {
  const DynString ten("10");
  EXPECT_EQ(ten > 9, 1.0);
  EXPECT_EQ(ten < DynString("9"), 1.0);  // text order
  EXPECT_EQ(9 < ten, 1.0);
  EXPECT_EQ(ten == 10.0, 1.0);
  EXPECT_EQ(ten == 10.0f, 1.0);
  EXPECT_EQ(ten >= 10u, 1.0);
  EXPECT_EQ(DynString(" 2.5x") <= 2.5, 1.0);
  EXPECT_EQ(DynString("abc") == 0, 1.0);
  const double nan = std::nan("");
  EXPECT_EQ(ten == nan, 0.0);
  EXPECT_EQ(ten != nan, 1.0);
  EXPECT_EQ(nan != ten, 1.0);
  EXPECT_EQ(ten < nan, 0.0);
}

TEST(DynString, CharacterAccess) {
  DynString s("h\xE9llo");
  EXPECT_EQ(s.char_at(0), 'h');
  EXPECT_EQ(s.char_at(1), -23);
  EXPECT_EQ(s.char_at(5), 0);
  EXPECT_EQ(s.char_at(512), 0);
  EXPECT_EQ(s.char_at(0xFFFFFFFFu), 0);

  s.set_char(0, 'j');
  s.set_char(9, 'z');  // behind the terminator: length unchanged
  EXPECT_STREQ(s.c_str(), "j\xE9llo");
  EXPECT_EQ(s.length_of(), 5u);
  EXPECT_EQ(s.char_at(9), 'z');
  s.set_char(5000, 'q');
  s.set_char(511, 'q');  // the last byte stays a terminator
  EXPECT_EQ(s.char_at(511), 0);

  s.truncate_at(2);
  EXPECT_STREQ(s.c_str(), "j\xE9");
  EXPECT_EQ(s.length_of(), 2u);
  s.truncate_at(0);
  EXPECT_EQ(s.length_of(), 0u);
  EXPECT_EQ(s.char_at(0), 0);
  s.truncate_at(512);
  EXPECT_EQ(s.capacity(), 512u);
}

TEST(DynString, WritableBufferAndRecount) {
  DynString s;
  char* out = s.writable_buffer(10);
  EXPECT_EQ(s.capacity(), 512u);
  std::memcpy(out, "written", 8);
  EXPECT_EQ(s.length_of(), 0u);
  EXPECT_STREQ(s.c_str(), "");  // not counted yet
  s.recount();
  EXPECT_STREQ(s.c_str(), "written");
  EXPECT_EQ(s.length_of(), 7u);

  // Written full, terminator included: cut to capacity - 1.
  std::memset(s.writable_buffer(511), 'a', 512);
  s.recount();
  EXPECT_EQ(s.length_of(), 511u);
  EXPECT_EQ(std::strlen(s.c_str()), 511u);

  DynString empty;
  empty.recount();
  EXPECT_TRUE(empty.is_shared_empty());
  EXPECT_EQ(empty.length_of(), 0u);
}

TEST(DynString, CaseMappingAndTrimming) {
  const DynString mixed("abc\xE4\xF6\xFCXyZ");
  EXPECT_STREQ(mixed.to_upper().c_str(), "ABC\xE4\xF6\xFCXYZ");
  EXPECT_STREQ(mixed.to_lower().c_str(), "abc\xE4\xF6\xFCxyz");
  EXPECT_STREQ(DynString("@[`{").to_upper().c_str(), "@[`{");
  EXPECT_TRUE(DynString().to_lower().is_shared_empty());

  DynString line("name\xA0\r\n\t\x1F");
  line.trim_trailing_controls();
  EXPECT_STREQ(line.c_str(), "name\xA0");
  EXPECT_EQ(line.length_of(), 5u);
  DynString blank("\r\n");
  blank.trim_trailing_controls();
  EXPECT_EQ(blank.length_of(), 0u);
  DynString spaces("x  ");
  spaces.trim_trailing_controls();
  EXPECT_STREQ(spaces.c_str(), "x  ");
}

TEST(DynString, Find) {
  const DynString hello("hello");
  EXPECT_EQ(find(hello, DynString("lo")), 3.0);
  EXPECT_EQ(find(hello, "x"), -1.0);
  EXPECT_EQ(find(hello, ""), 0.0);
  EXPECT_EQ(find("hello", DynString("l")), 2.0);
  EXPECT_EQ(find("", "a"), -1.0);
  EXPECT_EQ(find(DynString(), DynString()), 0.0);
  EXPECT_EQ(find(hello, "hello!"), -1.0);
  EXPECT_EQ(hello.length_number(), 5.0);
}

}  // namespace
}  // namespace quarvel
