#include "quarvel/arrays.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <limits>
#include <utility>

#include "values/arrays.h"

namespace quarvel {
namespace {

// Without the runtime, an array error prints its code and exits with 0.
#define EXPECT_ARRAY_ERROR(statement, code) \
  EXPECT_EXIT(statement, testing::ExitedWithCode(0), "runtime error " #code)

// A value naming its indices, so a misplaced element shows where it came from.
double tag(int a, int b, int c, int d) { return 1 + a + 10 * b + 100 * c + 1000 * d; }

int extent(int32_t size) { return size > 0 ? size : 1; }

void fill_tags(NumberArray& array) {
  for (int d = 0; d < extent(array.size_3); ++d)
    for (int c = 0; c < extent(array.size_2); ++c)
      for (int b = 0; b < extent(array.size_1); ++b)
        for (int a = 0; a < array.size_0; ++a) array(a, b, c, d) = tag(a, b, c, d);
}

// Every element of the array holds its tag when its indices were inside
// the old sizes, else 0.
void expect_kept(const NumberArray& array, const int old_sizes[4]) {
  for (int d = 0; d < extent(array.size_3); ++d)
    for (int c = 0; c < extent(array.size_2); ++c)
      for (int b = 0; b < extent(array.size_1); ++b)
        for (int a = 0; a < array.size_0; ++a) {
          const bool kept = a < old_sizes[0] && b < extent(old_sizes[1]) && c < extent(old_sizes[2]) &&
                            d < extent(old_sizes[3]);
          EXPECT_EQ(array(a, b, c, d), kept ? tag(a, b, c, d) : 0) << a << "," << b << "," << c << "," << d;
        }
}

TEST(Arrays, TenElementsLiveInlineWithCapacity16) {
  NumberArray a;
  EXPECT_EQ(a.elements, nullptr);
  dim_array(a, 10);
  EXPECT_EQ(a.dimensions, 1);
  EXPECT_EQ(a.size_0, 10);
  EXPECT_EQ(a.capacity, 16);
  EXPECT_TRUE(a.uses_inline_storage());
  for (int i = 0; i < 10; ++i) EXPECT_EQ(array_element(a, i), 0.0);
  EXPECT_EQ(array_size(a, 0), 10);
  EXPECT_EQ(array_size(a, 1), 0);
  EXPECT_EQ(array_size(a, 4), 0);
  EXPECT_EQ(array_size(a, -1), 0);
}

TEST(Arrays, StorageIsAWholeNumberOfStepsAboveTheCount) {
  const struct {
    double s0, s1, s2, s3;
    int capacity;
    bool inline_storage;
  } cases[] = {
      {0, 0, 0, 0, 8, true},    {1, 0, 0, 0, 8, true},    {7, 0, 0, 0, 8, true},
      {8, 0, 0, 0, 16, true},   {15, 0, 0, 0, 16, true},  {16, 0, 0, 0, 24, false},
      {3, 4, 0, 0, 16, true},   {2, 2, 2, 2, 24, false},  {5, -3, 0, 0, 8, true},
      {2.5, 2.5, 0, 0, 8, true},  // 6.25 counts as 6
  };
  for (const auto& c : cases) {
    NumberArray a;
    dim_array(a, c.s0, c.s1, c.s2, c.s3);
    EXPECT_EQ(a.capacity, c.capacity) << c.s0 << "," << c.s1 << "," << c.s2 << "," << c.s3;
    EXPECT_EQ(a.uses_inline_storage(), c.inline_storage) << c.s0;
  }
  StringArray s;
  dim_array(s, 64);
  EXPECT_EQ(s.capacity, 128);
  ByteArray b;
  dim_array(b, 10);
  EXPECT_EQ(b.capacity, 64);
}

TEST(Arrays, FirstIndexVariesFastest) {
  NumberArray a;
  dim_array(a, 3, 4);
  EXPECT_EQ(a.dimensions, 2);
  EXPECT_EQ(&array_element(a, 2, 3), a.elements + 11);
  EXPECT_EQ(&array_element(a, 1, 0), a.elements + 1);
  EXPECT_EQ(&array_element(a, 0, 1), a.elements + 3);

  NumberArray b;
  dim_array(b, 2, 3, 4, 5);
  EXPECT_EQ(b.dimensions, 4);
  EXPECT_EQ(&b(1, 2, 3, 4), b.elements + 1 + 2 * 2 + 3 * 6 + 4 * 24);

  // The reference reads and writes.
  array_element(a, 2, 3) = 120;
  a(2, 3) += 5;
  const NumberArray& view = a;
  EXPECT_EQ(array_element(view, 2, 3), 125);
  EXPECT_EQ(a.elements[11], 125);
}

TEST(Arrays, AnUnusedMiddleDimensionStillSeparatesElements) {
  // (5, 0, 3): the third index must not land on the elements of the first.
  NumberArray a;
  dim_array(a, 5, 0, 3);
  EXPECT_EQ(a.dimensions, 3);
  fill_tags(a);
  for (int c = 0; c < 3; ++c)
    for (int i = 0; i < 5; ++i) EXPECT_EQ(a(i, 0, c), tag(i, 0, c, 0));
}

TEST(Arrays, DimAgainClearsAndKeepsStorageThatFits) {
  NumberArray a;
  dim_array(a, 100);
  double* block = a.elements;
  a(99) = 7;
  dim_array(a, 50);
  EXPECT_EQ(a.elements, block);
  EXPECT_EQ(a.capacity, 104);
  EXPECT_EQ(a(49), 0);
  EXPECT_TRUE(std::all_of(a.elements, a.elements + a.capacity, [](double v) { return v == 0; }));
  // An empty array gives its block back.
  dim_array(a, 0);
  EXPECT_TRUE(a.uses_inline_storage());
  EXPECT_EQ(a.dimensions, 0);
}

TEST(Arrays, AccessOutsideTheArrayEndsWithError9) {
  NumberArray a;
  dim_array(a, 10);
  EXPECT_ARRAY_ERROR(array_element(a, 10), 9);
  EXPECT_ARRAY_ERROR(array_element(a, -1), 9);
  // An unused dimension takes only index 0.
  EXPECT_ARRAY_ERROR(array_element(a, 0, 1), 9);
  EXPECT_ARRAY_ERROR(array_element(a, 0, 0, 0, -1), 9);

  NumberArray never_dimensioned;
  EXPECT_ARRAY_ERROR(array_element(never_dimensioned, 0), 9);
  NumberArray empty;
  dim_array(empty, 0, 0, 0, 0);
  EXPECT_EQ(empty.dimensions, 0);
  EXPECT_ARRAY_ERROR(array_element(empty, 0), 9);
  // A negative further size fails every access that uses the dimension.
  NumberArray negative;
  dim_array(negative, 5, -3);
  EXPECT_EQ(negative.size_1, -3);
  EXPECT_ARRAY_ERROR(array_element(negative, 0, 0), 9);

  StringArray s;
  dim_array(s, 2, 2);
  EXPECT_ARRAY_ERROR(array_element(s, 0, 2), 9);
  ByteArray b;
  dim_array(b, 4);
  EXPECT_ARRAY_ERROR(b(4), 9);
}

TEST(Arrays, StorageThatCannotBeHadEndsWithError7) {
  NumberArray a;
  EXPECT_ARRAY_ERROR(dim_array(a, 100000, 100000), 7);
  EXPECT_ARRAY_ERROR(dim_array(a, std::numeric_limits<double>::infinity()), 7);
  StringArray s;
  EXPECT_ARRAY_ERROR(redim_array(s, 65536, 65536), 7);
}

TEST(Arrays, RedimKeepsTheOverlapIn1D) {
  NumberArray a;
  fill_array(a, {1, 2, 3, 4, 5});
  redim_array(a, 8);
  EXPECT_EQ(a.size_0, 8);
  for (int i = 0; i < 5; ++i) EXPECT_EQ(a(i), i + 1);
  for (int i = 5; i < 8; ++i) EXPECT_EQ(a(i), 0);
  redim_array(a, 3);
  EXPECT_EQ(a.size_0, 3);
  EXPECT_EQ(a(0), 1);
  EXPECT_EQ(a(2), 3);
  EXPECT_ARRAY_ERROR(a(3), 9);
}

TEST(Arrays, RedimKeepsTheOverlapInEveryDimension) {
  const struct {
    int from[4], to[4];
  } reshapes[] = {
      {{3, 4, 0, 0}, {5, 2, 0, 0}},     // 2-D, inline to inline
      {{3, 4, 0, 0}, {2, 6, 0, 0}},
      {{2, 3, 4, 0}, {3, 2, 5, 0}},     // 3-D
      {{4, 4, 4, 0}, {2, 5, 3, 0}},     // smaller, in the kept block
      {{2, 2, 2, 2}, {3, 3, 3, 3}},     // 4-D, grows onto the heap
      {{5, 0, 0, 0}, {5, 3, 0, 0}},     // a dimension comes into use
      {{5, 3, 0, 0}, {6, 0, 0, 0}},     // and goes again
      {{20, 30, 0, 0}, {10, 10, 0, 0}}, // heap storage is kept
  };
  for (const auto& r : reshapes) {
    SCOPED_TRACE(testing::Message() << r.from[0] << "," << r.from[1] << "," << r.from[2] << "," << r.from[3]
                                    << " -> " << r.to[0] << "," << r.to[1] << "," << r.to[2] << "," << r.to[3]);
    NumberArray a;
    dim_array(a, r.from[0], r.from[1], r.from[2], r.from[3]);
    fill_tags(a);
    redim_array(a, r.to[0], r.to[1], r.to[2], r.to[3]);
    EXPECT_EQ(a.size_0, r.to[0]);
    EXPECT_EQ(a.size_1, r.to[1]);
    expect_kept(a, r.from);
  }
}

TEST(Arrays, RedimToAnEqualOrSmallerSizeReusesTheStorage) {
  NumberArray a;
  dim_array(a, 40);
  double* block = a.elements;
  redim_array(a, 40);
  EXPECT_EQ(a.elements, block);
  redim_array(a, 20, 2);
  EXPECT_EQ(a.elements, block);
  redim_array(a, 30);
  EXPECT_EQ(a.elements, block);
}

TEST(Arrays, CopyTakesSizesAndElements) {
  NumberArray source;
  dim_array(source, 3, 0, 7);
  fill_tags(source);
  NumberArray target;
  fill_array(target, {9, 9});
  copy_array(target, source);
  EXPECT_EQ(target.size_0, 3);
  EXPECT_EQ(target.size_1, 0);
  EXPECT_EQ(target.size_2, 7);
  EXPECT_EQ(target.dimensions, 3);
  const int sizes[4] = {3, 0, 7, 0};
  expect_kept(target, sizes);

  // Onto itself: nothing changes.
  copy_array(source, source);
  expect_kept(source, sizes);
}

TEST(Arrays, CopiesAndMovesOfTheRecordKeepTheirElements) {
  NumberArray small;
  fill_array(small, {1, 2, 3});
  NumberArray copied = small;
  copied(0) = 10;
  EXPECT_EQ(small(0), 1);
  NumberArray moved = std::move(copied);
  EXPECT_TRUE(moved.uses_inline_storage());
  EXPECT_EQ(moved(0), 10);
  EXPECT_EQ(moved(2), 3);
  EXPECT_EQ(copied.size_0, 0);

  NumberArray big;
  dim_array(big, 100);
  big(99) = 5;
  double* block = big.elements;
  moved = std::move(big);
  EXPECT_EQ(moved.elements, block);
  EXPECT_EQ(moved(99), 5);
  EXPECT_ARRAY_ERROR(big(0), 9);
}

TEST(Arrays, FillDimensionsToTheCount) {
  NumberArray a;
  const double values[] = {4, 5, 6, 7};
  fill_array(a, 3, values);
  EXPECT_EQ(a.dimensions, 1);
  EXPECT_EQ(a.size_0, 3);
  EXPECT_EQ(a(2), 6);
  fill_array(a, {});
  EXPECT_EQ(a.size_0, 0);
  EXPECT_EQ(a.dimensions, 0);
}

TEST(Arrays, StringArraysHoldTextsAndKeepThemOnRedim) {
  StringArray s;
  dim_array(s, 2, 3);
  EXPECT_EQ(s.capacity, 64);
  EXPECT_STREQ(s(1, 2).c_str(), "");
  s(1, 2) = "stone";
  array_element(s, 0, 1) = "swarm";
  redim_array(s, 3, 3);
  EXPECT_STREQ(s(1, 2).c_str(), "stone");
  EXPECT_STREQ(s(0, 1).c_str(), "swarm");
  EXPECT_STREQ(s(2, 2).c_str(), "");
  StringArray copy;
  copy_array(copy, s);
  s(1, 2) = "changed";
  EXPECT_STREQ(copy(1, 2).c_str(), "stone");
  // Dimensioning again empties every text, whether the block is kept or not.
  dim_array(s, 3, 3);
  EXPECT_STREQ(s(1, 2).c_str(), "");
  fill_array(s, {"a", "b"});
  EXPECT_STREQ(s(1).c_str(), "b");
}

TEST(Arrays, ByteArraysHoldTheLowEightBits) {
  ByteArray b;
  fill_array(b, {1, 255, 256, 258.9, -1});
  EXPECT_EQ(b.capacity, 64);
  EXPECT_EQ(b(0), 1);
  EXPECT_EQ(b(1), 255);
  EXPECT_EQ(b(2), 0);
  EXPECT_EQ(b(3), 2);
  EXPECT_EQ(b(4), 255);
  redim_array(b, 100);
  EXPECT_EQ(b.capacity, 128);
  EXPECT_EQ(b(1), 255);
  EXPECT_EQ(b(99), 0);
}

}  // namespace
}  // namespace quarvel
