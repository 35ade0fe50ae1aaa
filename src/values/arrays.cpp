#include "values/arrays.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>
#include <utility>

#include "values/truncate.h"

namespace quarvel {

// ------------------------------------------------------------ error end ---

namespace {
ValueErrorHandler g_error_handler = nullptr;
}  // namespace

ValueErrorHandler set_value_error_handler(ValueErrorHandler handler) {
  return std::exchange(g_error_handler, handler);
}

void value_error(int code) {
  if (g_error_handler) g_error_handler(code);
  std::fprintf(stderr, "runtime error %d\n", code);
  std::fflush(nullptr);
  std::exit(0);
}

void detail::array_index_error() { value_error(kErrorIndexOutOfRange); }

// ----------------------------------------------------------- the shapes ---

namespace {

// Largest storage an array may have: its capacity is a 32-bit count.
constexpr double kMaxElements = 2147483647.0 - 64.0;

// What a dimensioning with four sizes asks for.
struct Plan {
  ArrayShape shape;  // everything but capacity
  int32_t need = 0;  // storage, a whole number of steps above the count
  int32_t used = 0;  // elements reachable: size_0 x each further extent
};

// Counted extent of a further dimension: unused and negative sizes take
// one element's room.
int32_t extent(int32_t size) { return size > 0 ? size : 1; }

uint32_t further_bound(int32_t size) {
  if (size > 0) return static_cast<uint32_t>(size);
  return size == 0 ? 1u : 0u;
}

// Ends the program with error 7 when the storage could never be had.
Plan plan_dimensions(double s0, double s1, double s2, double s3, int32_t step) {
  // For counting, s0 below 1 counts as 0 and the others below 1 as 1 (NaN
  // included, by the form of the tests).
  const double c0 = s0 >= 1 ? s0 : 0;
  const double c1 = s1 >= 1 ? s1 : 1;
  const double c2 = s2 >= 1 ? s2 : 1;
  const double c3 = s3 >= 1 ? s3 : 1;
  const double n = c0 == 0 ? 0 : c0 * c1 * c2 * c3;
  if (!(n < kMaxElements)) value_error(kErrorNoMemory);
  const int64_t count = static_cast<int64_t>(n);

  Plan p;
  ArrayShape& s = p.shape;
  s.size_0 = static_cast<int32_t>(c0);
  s.size_1 = truncate_to_int32(s1);
  s.size_2 = truncate_to_int32(s2);
  s.size_3 = truncate_to_int32(s3);
  s.dimensions = s.size_3 != 0 ? 4 : s.size_2 != 0 ? 3 : s.size_1 != 0 ? 2 : s.size_0 != 0 ? 1 : 0;
  // Every factor is at most its counted value, so none of these products
  // exceeds the count.
  const int64_t e1 = extent(s.size_1), e2 = extent(s.size_2), e3 = extent(s.size_3);
  s.stride_1 = s.size_0;
  s.stride_2 = static_cast<int32_t>(s.size_0 * e1);
  s.stride_3 = static_cast<int32_t>(s.size_0 * e1 * e2);
  s.bound[0] = static_cast<uint32_t>(s.size_0);
  s.bound[1] = further_bound(s.size_1);
  s.bound[2] = further_bound(s.size_2);
  s.bound[3] = further_bound(s.size_3);
  p.used = static_cast<int32_t>(s.size_0 * e1 * e2 * e3);
  p.need = static_cast<int32_t>(count / step * step + step);
  return p;
}

Plan plan_like(const ArrayShape& s, int32_t step) {
  return plan_dimensions(s.size_0, s.size_1, s.size_2, s.size_3, step);
}

template <class A>
constexpr int32_t storage_step() {
  return std::is_same_v<A, NumberArray> ? 8 : 64;
}

template <class A>
bool in_inline_storage(const A& a) {
  if constexpr (std::is_same_v<A, NumberArray>) {
    return a.elements == a.inline_storage;
  } else {
    (void)a;
    return false;
  }
}

template <class A>
void release_storage(A& a) {
  if (a.elements != nullptr && !in_inline_storage(a)) delete[] a.elements;
  a.elements = nullptr;
}

template <class A>
void clear_elements(A& a) {
  if constexpr (std::is_same_v<A, StringArray>) {
    for (int32_t i = 0; i < a.capacity; ++i) a.elements[i] = DynString();
  } else {
    std::fill(a.elements, a.elements + a.capacity, 0);
  }
}

// The array takes the plan's sizes; the capacity is left alone.
void take_shape(ArrayShape& a, const ArrayShape& s) {
  const int32_t capacity = a.capacity;
  a = s;
  a.capacity = capacity;
}

template <class A>
bool keeps_storage(const A& a, const Plan& p) {
  return a.elements != nullptr && p.need <= a.capacity && p.shape.size_0 >= 1;
}

template <class A>
void dim_planned(A& a, const Plan& p) {
  if (!keeps_storage(a, p)) {
    using Element = std::remove_pointer_t<decltype(a.elements)>;
    Element* fresh = nullptr;
    if constexpr (std::is_same_v<A, NumberArray>) {
      if (p.need <= NumberArray::kInlineElements) fresh = a.inline_storage;
    }
    // The new storage is had before the old one goes, so a failure leaves
    // the array as it was.
    if (fresh == nullptr) fresh = new (std::nothrow) Element[static_cast<size_t>(p.need)];
    if (fresh == nullptr) value_error(kErrorNoMemory);
    if (fresh != a.elements) release_storage(a);
    a.elements = fresh;
    a.capacity = p.need;
  }
  clear_elements(a);
  take_shape(a, p.shape);
}

// Calls f(from, to) with the storage positions of every index combination
// that exists in both shapes. A further dimension unused in either shape
// contributes only index 0.
template <class F>
void for_each_common(const ArrayShape& from, const ArrayShape& to, F&& f) {
  const int32_t m0 = std::min(from.size_0, to.size_0);
  int32_t m[4] = {m0, 0, 0, 0};
  const int32_t from_sizes[4] = {from.size_0, from.size_1, from.size_2, from.size_3};
  const int32_t to_sizes[4] = {to.size_0, to.size_1, to.size_2, to.size_3};
  if (m0 < 1) return;
  for (int k = 1; k < 4; ++k) {
    // A negative size leaves no element reachable in that array.
    if (from_sizes[k] < 0 || to_sizes[k] < 0) return;
    m[k] = std::max(1, std::min(from_sizes[k], to_sizes[k]));
  }
  for (int32_t d = 0; d < m[3]; ++d)
    for (int32_t c = 0; c < m[2]; ++c)
      for (int32_t b = 0; b < m[1]; ++b) {
        const ptrdiff_t from_row = static_cast<ptrdiff_t>(b) * from.stride_1 +
                                   static_cast<ptrdiff_t>(c) * from.stride_2 +
                                   static_cast<ptrdiff_t>(d) * from.stride_3;
        const ptrdiff_t to_row = static_cast<ptrdiff_t>(b) * to.stride_1 + static_cast<ptrdiff_t>(c) * to.stride_2 +
                                 static_cast<ptrdiff_t>(d) * to.stride_3;
        for (int32_t a = 0; a < m0; ++a) f(from_row + a, to_row + a);
      }
}

template <class A>
void redim_planned(A& a, const Plan& p) {
  A fresh;
  dim_planned(fresh, p);
  if (a.dimensions >= 1 && a.elements != nullptr) {
    for_each_common(a, fresh, [&](ptrdiff_t from, ptrdiff_t to) { fresh.elements[to] = std::move(a.elements[from]); });
  }
  if (keeps_storage(a, p) || in_inline_storage(fresh)) {
    dim_planned(a, p);
    std::move(fresh.elements, fresh.elements + p.used, a.elements);
  } else {
    // Take over the new block.
    release_storage(a);
    a.elements = std::exchange(fresh.elements, nullptr);
    a.capacity = std::exchange(fresh.capacity, 0);
    take_shape(a, p.shape);
  }
}

template <class A>
void copy_planned(A& target, const A& source) {
  if (&target == &source) return;
  const Plan p = plan_like(source, storage_step<A>());
  dim_planned(target, p);
  if (source.elements != nullptr) std::copy(source.elements, source.elements + p.used, target.elements);
}

template <class A, class V>
void fill_planned(A& a, double count, const V* values) {
  const Plan p = plan_dimensions(count, 0, 0, 0, storage_step<A>());
  dim_planned(a, p);
  if (values == nullptr) return;
  for (int32_t i = 0; i < p.shape.size_0; ++i) {
    if constexpr (std::is_same_v<A, ByteArray>) {
      a.elements[i] = static_cast<uint8_t>(truncate_to_int64(values[i]) & 0xFF);
    } else {
      a.elements[i] = values[i];
    }
  }
}

template <class A>
void move_from(A& self, A& other) noexcept {
  static_cast<ArrayShape&>(self) = other;
  if constexpr (std::is_same_v<A, NumberArray>) {
    if (other.elements == other.inline_storage) {
      std::memcpy(self.inline_storage, other.inline_storage, sizeof self.inline_storage);
      self.elements = self.inline_storage;
    } else {
      self.elements = other.elements;
    }
  } else {
    self.elements = other.elements;
  }
  other.elements = nullptr;
  static_cast<ArrayShape&>(other) = ArrayShape();
}

}  // namespace

// --------------------------------------------------------- the commands ---

void dim_array(NumberArray& array, double s0, double s1, double s2, double s3) {
  dim_planned(array, plan_dimensions(s0, s1, s2, s3, 8));
}
void dim_array(StringArray& array, double s0, double s1, double s2, double s3) {
  dim_planned(array, plan_dimensions(s0, s1, s2, s3, 64));
}
void dim_array(ByteArray& array, double s0, double s1, double s2, double s3) {
  dim_planned(array, plan_dimensions(s0, s1, s2, s3, 64));
}

void redim_array(NumberArray& array, double s0, double s1, double s2, double s3) {
  redim_planned(array, plan_dimensions(s0, s1, s2, s3, 8));
}
void redim_array(StringArray& array, double s0, double s1, double s2, double s3) {
  redim_planned(array, plan_dimensions(s0, s1, s2, s3, 64));
}
void redim_array(ByteArray& array, double s0, double s1, double s2, double s3) {
  redim_planned(array, plan_dimensions(s0, s1, s2, s3, 64));
}

void copy_array(NumberArray& target, const NumberArray& source) { copy_planned(target, source); }
void copy_array(StringArray& target, const StringArray& source) { copy_planned(target, source); }
void copy_array(ByteArray& target, const ByteArray& source) { copy_planned(target, source); }

void fill_array(NumberArray& array, double count, const double* values) { fill_planned(array, count, values); }
void fill_array(NumberArray& array, std::initializer_list<double> values) {
  fill_planned(array, static_cast<double>(values.size()), values.begin());
}
void fill_array(StringArray& array, double count, const DynString* values) { fill_planned(array, count, values); }
void fill_array(StringArray& array, std::initializer_list<DynString> values) {
  fill_planned(array, static_cast<double>(values.size()), values.begin());
}
void fill_array(ByteArray& array, double count, const double* values) { fill_planned(array, count, values); }
void fill_array(ByteArray& array, std::initializer_list<double> values) {
  fill_planned(array, static_cast<double>(values.size()), values.begin());
}

double array_size(const ArrayShape& array, double dimension) {
  switch (truncate_to_int32(dimension)) {
    case 0: return array.size_0;
    case 1: return array.size_1;
    case 2: return array.size_2;
    case 3: return array.size_3;
    default: return 0;
  }
}

// ------------------------------------------------- copies and lifetimes ---

NumberArray::NumberArray(const NumberArray& other) : ArrayShape() { copy_array(*this, other); }
NumberArray& NumberArray::operator=(const NumberArray& other) {
  copy_array(*this, other);
  return *this;
}
NumberArray::NumberArray(NumberArray&& other) noexcept : ArrayShape() { move_from(*this, other); }
NumberArray& NumberArray::operator=(NumberArray&& other) noexcept {
  if (this != &other) {
    release_storage(*this);
    move_from(*this, other);
  }
  return *this;
}
NumberArray::~NumberArray() { release_storage(*this); }

StringArray::StringArray(const StringArray& other) : ArrayShape() { copy_array(*this, other); }
StringArray& StringArray::operator=(const StringArray& other) {
  copy_array(*this, other);
  return *this;
}
StringArray::StringArray(StringArray&& other) noexcept : ArrayShape() { move_from(*this, other); }
StringArray& StringArray::operator=(StringArray&& other) noexcept {
  if (this != &other) {
    release_storage(*this);
    move_from(*this, other);
  }
  return *this;
}
StringArray::~StringArray() { release_storage(*this); }

ByteArray::ByteArray(const ByteArray& other) : ArrayShape() { copy_array(*this, other); }
ByteArray& ByteArray::operator=(const ByteArray& other) {
  copy_array(*this, other);
  return *this;
}
ByteArray::ByteArray(ByteArray&& other) noexcept : ArrayShape() { move_from(*this, other); }
ByteArray& ByteArray::operator=(ByteArray&& other) noexcept {
  if (this != &other) {
    release_storage(*this);
    move_from(*this, other);
  }
  return *this;
}
ByteArray::~ByteArray() { release_storage(*this); }

}  // namespace quarvel
