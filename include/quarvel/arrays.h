// Arrays of up to four dimensions: NumberArray (doubles), StringArray
// (DynString) and ByteArray (bytes).
//
// The element (a, b, c, d) is stored at a + b * stride_1 + c * stride_2 +
// d * stride_3: the first index varies fastest. A dimension of size 0 is
// unused and only index 0 reaches it. Storage is counted in whole steps
// (8 elements for numbers, 64 for strings and bytes) and is kept by a later
// dim_array that fits into it; a NumberArray that needs at most 16 elements
// keeps them inside the record and touches no heap.
//
// Sizes and indices arrive truncated toward zero. An access outside the
// array ends the program with error 9; storage that cannot be had ends it
// with error 7.
//
//   NumberArray rock_x;
//   dim_array(rock_x, 10);
//   array_element(rock_x, 3) = 120;       // or rock_x(3) = 120;
//   double x = array_element(rock_x, 3);
//
// Main thread only: nothing here is synchronised.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

#include "quarvel/dyn_string.h"

namespace quarvel {

namespace detail {
// Ends the program with error 9. Never returns.
[[noreturn]] void array_index_error();
}  // namespace detail

// Sizes and strides shared by the three kinds of array.
struct ArrayShape {
  // Element distance for a step of the second, third and fourth index.
  // Unused (and negative) sizes count as 1, so no two index combinations
  // that pass the access check share an element.
  int32_t stride_1 = 0;
  int32_t stride_2 = 0;
  int32_t stride_3 = 0;
  // Sizes as given; 0 means the dimension is not used.
  int32_t size_0 = 0;
  int32_t size_1 = 0;
  int32_t size_2 = 0;
  int32_t size_3 = 0;
  // 0-4: the number of the last dimension given with a non-zero size.
  int32_t dimensions = 0;
  // Elements the storage holds.
  int32_t capacity = 0;
  // Per index, the count of values it may take: the size, 1 for an unused
  // dimension, 0 for a negative size. Derived from the sizes.
  uint32_t bound[4] = {0, 0, 0, 0};

  // Storage position of a valid index combination; -1 for any other.
  ptrdiff_t position(int32_t a, int32_t b, int32_t c, int32_t d) const noexcept {
    if (static_cast<uint32_t>(a) >= bound[0] || static_cast<uint32_t>(b) >= bound[1] ||
        static_cast<uint32_t>(c) >= bound[2] || static_cast<uint32_t>(d) >= bound[3])
      return -1;
    return static_cast<ptrdiff_t>(a) + static_cast<ptrdiff_t>(b) * stride_1 +
           static_cast<ptrdiff_t>(c) * stride_2 + static_cast<ptrdiff_t>(d) * stride_3;
  }
};

struct NumberArray : ArrayShape {
  static constexpr int32_t kInlineElements = 16;

  // inline_storage or a heap block; null only before the first dim_array.
  double* elements = nullptr;
  double inline_storage[kInlineElements] = {};

  NumberArray() = default;
  // Copies and assignments go through copy_array.
  NumberArray(const NumberArray& other);
  NumberArray& operator=(const NumberArray& other);
  NumberArray(NumberArray&& other) noexcept;
  NumberArray& operator=(NumberArray&& other) noexcept;
  ~NumberArray();

  bool uses_inline_storage() const noexcept { return elements == inline_storage; }
  double& operator()(int32_t a, int32_t b = 0, int32_t c = 0, int32_t d = 0);
  const double& operator()(int32_t a, int32_t b = 0, int32_t c = 0, int32_t d = 0) const;
};

struct StringArray : ArrayShape {
  DynString* elements = nullptr;

  StringArray() = default;
  StringArray(const StringArray& other);
  StringArray& operator=(const StringArray& other);
  StringArray(StringArray&& other) noexcept;
  StringArray& operator=(StringArray&& other) noexcept;
  ~StringArray();

  DynString& operator()(int32_t a, int32_t b = 0, int32_t c = 0, int32_t d = 0);
  const DynString& operator()(int32_t a, int32_t b = 0, int32_t c = 0, int32_t d = 0) const;
};

struct ByteArray : ArrayShape {
  uint8_t* elements = nullptr;

  ByteArray() = default;
  ByteArray(const ByteArray& other);
  ByteArray& operator=(const ByteArray& other);
  ByteArray(ByteArray&& other) noexcept;
  ByteArray& operator=(ByteArray&& other) noexcept;
  ~ByteArray();

  uint8_t& operator()(int32_t a, int32_t b = 0, int32_t c = 0, int32_t d = 0);
  const uint8_t& operator()(int32_t a, int32_t b = 0, int32_t c = 0, int32_t d = 0) const;
};

// Dimensions the array anew; every element becomes 0 (the empty text).
// A size_0 below 1 makes an empty array; a negative further size makes
// every access that uses that dimension fail.
void dim_array(NumberArray& array, double size_0, double size_1 = 0, double size_2 = 0, double size_3 = 0);
void dim_array(StringArray& array, double size_0, double size_1 = 0, double size_2 = 0, double size_3 = 0);
void dim_array(ByteArray& array, double size_0, double size_1 = 0, double size_2 = 0, double size_3 = 0);

// Dimensions the array anew and keeps every element whose indices exist in
// both the old and the new shape.
void redim_array(NumberArray& array, double size_0, double size_1 = 0, double size_2 = 0, double size_3 = 0);
void redim_array(StringArray& array, double size_0, double size_1 = 0, double size_2 = 0, double size_3 = 0);
void redim_array(ByteArray& array, double size_0, double size_1 = 0, double size_2 = 0, double size_3 = 0);

// The target becomes a copy of the source (sizes and elements). Copying an
// array onto itself changes nothing.
void copy_array(NumberArray& target, const NumberArray& source);
void copy_array(StringArray& target, const StringArray& source);
void copy_array(ByteArray& target, const ByteArray& source);

// Dimensions the array with size_0 = count and stores values[0 .. count-1].
void fill_array(NumberArray& array, double count, const double* values);
void fill_array(NumberArray& array, std::initializer_list<double> values);
void fill_array(StringArray& array, double count, const DynString* values);
void fill_array(StringArray& array, std::initializer_list<DynString> values);
void fill_array(ByteArray& array, double count, const double* values);
void fill_array(ByteArray& array, std::initializer_list<double> values);

// The element's storage, for reading and writing. Ends the program with
// error 9 when the indices are outside the array.
inline double& array_element(NumberArray& array, int32_t a, int32_t b = 0, int32_t c = 0, int32_t d = 0) {
  const ptrdiff_t p = array.position(a, b, c, d);
  if (p < 0) detail::array_index_error();
  return array.elements[p];
}
inline const double& array_element(const NumberArray& array, int32_t a, int32_t b = 0, int32_t c = 0,
                                   int32_t d = 0) {
  const ptrdiff_t p = array.position(a, b, c, d);
  if (p < 0) detail::array_index_error();
  return array.elements[p];
}
inline DynString& array_element(StringArray& array, int32_t a, int32_t b = 0, int32_t c = 0, int32_t d = 0) {
  const ptrdiff_t p = array.position(a, b, c, d);
  if (p < 0) detail::array_index_error();
  return array.elements[p];
}
inline const DynString& array_element(const StringArray& array, int32_t a, int32_t b = 0, int32_t c = 0,
                                      int32_t d = 0) {
  const ptrdiff_t p = array.position(a, b, c, d);
  if (p < 0) detail::array_index_error();
  return array.elements[p];
}
inline uint8_t& array_element(ByteArray& array, int32_t a, int32_t b = 0, int32_t c = 0, int32_t d = 0) {
  const ptrdiff_t p = array.position(a, b, c, d);
  if (p < 0) detail::array_index_error();
  return array.elements[p];
}
inline const uint8_t& array_element(const ByteArray& array, int32_t a, int32_t b = 0, int32_t c = 0,
                                    int32_t d = 0) {
  const ptrdiff_t p = array.position(a, b, c, d);
  if (p < 0) detail::array_index_error();
  return array.elements[p];
}

// Size of dimension 0-3 (truncated); 0 for any other dimension number.
double array_size(const ArrayShape& array, double dimension);

inline double& NumberArray::operator()(int32_t a, int32_t b, int32_t c, int32_t d) {
  return array_element(*this, a, b, c, d);
}
inline const double& NumberArray::operator()(int32_t a, int32_t b, int32_t c, int32_t d) const {
  return array_element(*this, a, b, c, d);
}
inline DynString& StringArray::operator()(int32_t a, int32_t b, int32_t c, int32_t d) {
  return array_element(*this, a, b, c, d);
}
inline const DynString& StringArray::operator()(int32_t a, int32_t b, int32_t c, int32_t d) const {
  return array_element(*this, a, b, c, d);
}
inline uint8_t& ByteArray::operator()(int32_t a, int32_t b, int32_t c, int32_t d) {
  return array_element(*this, a, b, c, d);
}
inline const uint8_t& ByteArray::operator()(int32_t a, int32_t b, int32_t c, int32_t d) const {
  return array_element(*this, a, b, c, d);
}

}  // namespace quarvel
