// DynString: the runtime's one string type.
//
// A growable, NUL-terminated buffer of 8-bit characters with a cached
// length. Lengths count bytes, comparisons compare bytes as unsigned values,
// and case mapping touches only the ASCII letters.
//
// Storage:
//  - An empty string that never held a character points at one shared,
//    read-only empty text and allocates nothing (capacity 0).
//  - Otherwise the string owns a heap buffer whose capacity grows in whole
//    steps of 512 bytes and never shrinks. While owned, length < capacity and
//    buf[length] == 0. The last byte of an owned buffer is always 0, so the
//    text is terminated inside the buffer whatever set_char wrote.
//  - Copies copy the characters; there is no sharing.
//
// Operations that only produce an empty result (assigning or appending an
// empty text, constructing from "") leave an unallocated string unallocated.
//
// Not synchronised: a value belongs to one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <utility>

namespace quarvel {

namespace detail {
// The shared empty text. Never written, never freed.
extern const char kSharedEmptyText[1];

// Arithmetic types other than the ones with their own overloads. They are
// taken as doubles; this keeps `s + 5L` or `s == 3u` from being ambiguous.
// char and bool are left out: they promote to int like in any expression.
template <class T>
inline constexpr bool kIsOtherNumber =
    std::is_arithmetic_v<T> && !std::is_same_v<T, int> && !std::is_same_v<T, float> &&
    !std::is_same_v<T, double> && !std::is_same_v<T, char> && !std::is_same_v<T, bool>;

template <class T>
using EnableIfOtherNumber = std::enable_if_t<kIsOtherNumber<T>, int>;
}  // namespace detail

class DynString {
 public:
  // Largest length a string may reach; growing beyond it fails like an
  // allocation failure (std::bad_alloc).
  static constexpr uint32_t kMaxLength = 0xFFFFEFFFu;
  static constexpr uint32_t kGrowthStep = 512;

  DynString() noexcept;
  DynString(const char* text);  // NOLINT: implicit on purpose; nullptr is empty
  // Copies n bytes, but a NUL byte among them ends the string there (the
  // same count recount() would give), so a string never holds a NUL before
  // its length.
  DynString(const char* bytes, uint32_t n);
  DynString(const DynString& other);
  DynString(DynString&& other) noexcept;
  explicit DynString(int v);
  explicit DynString(float v);
  explicit DynString(double v);
  template <class T, detail::EnableIfOtherNumber<T> = 0>
  explicit DynString(T v) : DynString(static_cast<double>(v)) {}
  ~DynString();

  DynString& operator=(const DynString& other);
  DynString& operator=(DynString&& other) noexcept;
  DynString& operator=(const char* text);
  DynString& operator=(int v);
  DynString& operator=(float v);
  DynString& operator=(double v);
  template <class T, detail::EnableIfOtherNumber<T> = 0>
  DynString& operator=(T v) {
    return *this = static_cast<double>(v);
  }

  DynString& operator+=(const DynString& other);
  DynString& operator+=(const char* text) {
    if (text != nullptr) append_bytes(text, std::strlen(text));
    return *this;
  }
  DynString& operator+=(int v);
  DynString& operator+=(float v);
  DynString& operator+=(double v);
  template <class T, detail::EnableIfOtherNumber<T> = 0>
  DynString& operator+=(T v) {
    return *this += static_cast<double>(v);
  }

  // Room for n characters plus the terminator: nothing happens when
  // capacity > n, otherwise the capacity becomes the smallest multiple of
  // 512 above n. The text and the length are kept.
  void reserve(uint32_t n);
  // reserve(n) and hand out the buffer for an outside writer, who then
  // calls recount().
  char* writable_buffer(uint32_t n);
  // Length = characters before the first NUL. A buffer written full without
  // a terminator is cut to capacity - 1 characters and terminated.
  void recount();

  const char* c_str() const noexcept { return length_ != 0 ? buf_ : detail::kSharedEmptyText; }
  uint32_t length_of() const noexcept { return length_; }
  uint32_t capacity() const noexcept { return capacity_; }
  const char* data() const noexcept { return buf_; }
  bool is_shared_empty() const noexcept { return buf_ == detail::kSharedEmptyText; }
  double length_number() const noexcept { return static_cast<double>(length_); }

  // The byte at i as a signed value; 0 for an empty string or i >= capacity.
  int char_at(uint32_t i) const noexcept;
  // Writes c at i without touching the length. Ignored for i >= capacity,
  // and for a non-zero byte at capacity - 1 (the guard terminator).
  void set_char(uint32_t i, char c) noexcept;
  // Terminates at i, then recounts. Ignored for i >= capacity.
  void truncate_at(uint32_t i) noexcept;

  DynString to_lower() const;
  DynString to_upper() const;
  // Drops trailing bytes 0..31; bytes of 128 and above stay.
  void trim_trailing_controls() noexcept;

 private:
  void assign_bytes(const char* src, size_t n);
  // Appends after the counted characters. For a string with no NUL before
  // its length that is the same as appending at the first NUL, and it keeps
  // repeated appending linear. The fast path (no growth) is inline.
  void append_bytes(const char* src, size_t n) {
    const size_t total = static_cast<size_t>(length_) + n;
    if (total < capacity_) {  // no growth: src stays valid even if it is ours
      std::memmove(buf_ + length_, src, n);
      length_ = static_cast<uint32_t>(total);
      buf_[total] = '\0';
    } else if (n != 0) {
      append_growing(src, n);
    }
  }
  void append_growing(const char* src, size_t n);
  bool owns_pointer(const char* p) const noexcept;

  char* buf_;
  uint32_t capacity_;
  uint32_t length_;
};

// Concatenation. The left string is taken by value so that chains such as
// a + b + c reuse one buffer.
DynString operator+(DynString a, const DynString& b);
DynString operator+(DynString a, const char* b);
DynString operator+(const char* a, const DynString& b);
DynString operator+(DynString a, int b);
DynString operator+(DynString a, float b);
DynString operator+(DynString a, double b);
DynString operator+(int a, const DynString& b);
DynString operator+(float a, const DynString& b);
DynString operator+(double a, const DynString& b);
template <class T, detail::EnableIfOtherNumber<T> = 0>
DynString operator+(DynString a, T b) {
  return std::move(a) + static_cast<double>(b);
}
template <class T, detail::EnableIfOtherNumber<T> = 0>
DynString operator+(T a, const DynString& b) {
  return static_cast<double>(a) + b;
}

// Text comparisons: strcmp byte order (unsigned bytes, up to the first NUL),
// 1.0 for true and 0.0 for false. Only == of two strings also requires equal
// lengths; != of two strings compares the bytes alone.
double operator==(const DynString& a, const DynString& b);
double operator!=(const DynString& a, const DynString& b);
double operator<(const DynString& a, const DynString& b);
double operator<=(const DynString& a, const DynString& b);
double operator>(const DynString& a, const DynString& b);
double operator>=(const DynString& a, const DynString& b);
double operator==(const char* a, const DynString& b);
double operator!=(const char* a, const DynString& b);
double operator<(const char* a, const DynString& b);
double operator<=(const char* a, const DynString& b);
double operator>(const char* a, const DynString& b);
double operator>=(const char* a, const DynString& b);
double operator==(const DynString& a, const char* b);
double operator!=(const DynString& a, const char* b);
double operator<(const DynString& a, const char* b);
double operator<=(const DynString& a, const char* b);
double operator>(const DynString& a, const char* b);
double operator>=(const DynString& a, const char* b);
// Two plain texts cannot have operators; nullptr counts as empty.
double text_eq(const char* a, const char* b);
double text_ne(const char* a, const char* b);
double text_lt(const char* a, const char* b);
double text_le(const char* a, const char* b);
double text_gt(const char* a, const char* b);
double text_ge(const char* a, const char* b);

// A string compared with a number is compared by value: the string goes
// through text_to_number. != is also true when either side is NaN.
#define QUARVEL_MIXED_COMPARE(op)                       \
  double operator op(const DynString& a, int b);       \
  double operator op(const DynString& a, float b);     \
  double operator op(const DynString& a, double b);    \
  double operator op(int a, const DynString& b);       \
  double operator op(float a, const DynString& b);     \
  double operator op(double a, const DynString& b);    \
  template <class T, detail::EnableIfOtherNumber<T> = 0> \
  double operator op(const DynString& a, T b) {        \
    return a op static_cast<double>(b);                \
  }                                                    \
  template <class T, detail::EnableIfOtherNumber<T> = 0> \
  double operator op(T a, const DynString& b) {        \
    return static_cast<double>(a) op b;                \
  }
QUARVEL_MIXED_COMPARE(==)
QUARVEL_MIXED_COMPARE(!=)
QUARVEL_MIXED_COMPARE(<)
QUARVEL_MIXED_COMPARE(<=)
QUARVEL_MIXED_COMPARE(>)
QUARVEL_MIXED_COMPARE(>=)
#undef QUARVEL_MIXED_COMPARE

// Position of the first needle in hay (up to the first NUL of each), -1.0
// when absent, 0.0 for an empty needle.
double find(const DynString& hay, const DynString& needle);
double find(const DynString& hay, const char* needle);
double find(const char* hay, const DynString& needle);
double find(const char* hay, const char* needle);

}  // namespace quarvel
