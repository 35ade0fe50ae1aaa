#include "quarvel/dyn_string.h"

#include <charconv>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <new>

#include "quarvel/number_text.h"

namespace quarvel {

namespace detail {
const char kSharedEmptyText[1] = {'\0'};
}  // namespace detail

namespace {

char* shared_empty() noexcept { return const_cast<char*>(detail::kSharedEmptyText); }

uint32_t checked_length(size_t n) {
  if (n > DynString::kMaxLength) throw std::bad_alloc();
  return static_cast<uint32_t>(n);
}

size_t text_length(const char* text) noexcept { return text != nullptr ? std::strlen(text) : 0; }

size_t format_int(int v, char* out) {
  std::to_chars_result r = std::to_chars(out, out + kNumberTextBuffer - 1, v);
  *r.ptr = '\0';
  return static_cast<size_t>(r.ptr - out);
}

double truth(bool b) noexcept { return b ? 1.0 : 0.0; }

}  // namespace

// ---------------------------------------------------------------------------
// Construction and storage

DynString::DynString() noexcept : buf_(shared_empty()), capacity_(0), length_(0) {}

DynString::DynString(const char* text) : DynString() { assign_bytes(text, text_length(text)); }

DynString::DynString(const char* bytes, uint32_t n) : DynString() {
  if (bytes == nullptr) return;
  const void* nul = std::memchr(bytes, 0, n);
  assign_bytes(bytes, nul != nullptr ? static_cast<size_t>(static_cast<const char*>(nul) - bytes) : n);
}

DynString::DynString(const DynString& other) : DynString() { assign_bytes(other.buf_, other.length_); }

DynString::DynString(DynString&& other) noexcept
    : buf_(other.buf_), capacity_(other.capacity_), length_(other.length_) {
  other.buf_ = shared_empty();
  other.capacity_ = 0;
  other.length_ = 0;
}

DynString::DynString(int v) : DynString() { *this = v; }
DynString::DynString(float v) : DynString() { *this = v; }
DynString::DynString(double v) : DynString() { *this = v; }

DynString::~DynString() {
  if (capacity_ != 0) std::free(buf_);
  buf_ = nullptr;
  capacity_ = 0;
  length_ = 0;
}

void DynString::reserve(uint32_t n) {
  if (capacity_ > n) return;
  if (n > kMaxLength) throw std::bad_alloc();
  const uint32_t cap = (n / kGrowthStep) * kGrowthStep + kGrowthStep;
  if (capacity_ == 0) {
    // Zeroed, so that every byte of an owned buffer has a defined value and
    // the last one is the guard terminator.
    void* fresh = std::calloc(cap, 1);
    if (fresh == nullptr) throw std::bad_alloc();
    buf_ = static_cast<char*>(fresh);
  } else {
    // realloc keeps the whole old buffer (the text and anything set_char put
    // behind it); large blocks are remapped rather than copied, which keeps
    // linear 512-byte growth cheap for long strings.
    void* grown = std::realloc(buf_, cap);
    if (grown == nullptr) throw std::bad_alloc();
    buf_ = static_cast<char*>(grown);
    std::memset(buf_ + capacity_, 0, cap - capacity_);
  }
  capacity_ = cap;
}

char* DynString::writable_buffer(uint32_t n) {
  reserve(n);
  return buf_;
}

void DynString::recount() {
  if (capacity_ == 0) {
    length_ = 0;
    return;
  }
  const void* nul = std::memchr(buf_, 0, capacity_);
  if (nul != nullptr) {
    length_ = static_cast<uint32_t>(static_cast<const char*>(nul) - buf_);
  } else {
    // Written full without a terminator: keep the invariant length < capacity.
    buf_[capacity_ - 1] = '\0';
    length_ = capacity_ - 1;
  }
}

bool DynString::owns_pointer(const char* p) const noexcept {
  if (capacity_ == 0 || p == nullptr) return false;
  std::less_equal<const char*> le;
  std::less<const char*> lt;
  return le(buf_, p) && lt(p, buf_ + capacity_);
}

void DynString::assign_bytes(const char* src, size_t n) {
  const uint32_t len = checked_length(n);
  if (len == 0) {
    if (capacity_ != 0) buf_[0] = '\0';
    length_ = 0;
    return;
  }
  // The source may lie in this very buffer (s = s.c_str() + 1).
  const bool inside = owns_pointer(src);
  const size_t offset = inside ? static_cast<size_t>(src - buf_) : 0;
  reserve(len);
  if (inside) src = buf_ + offset;
  std::memmove(buf_, src, len);
  length_ = len;
  buf_[len] = '\0';
}

void DynString::append_growing(const char* src, size_t n) {
  const uint32_t len = checked_length(static_cast<size_t>(length_) + n);
  const bool inside = owns_pointer(src);  // s += s, s += s.c_str()
  const size_t offset = inside ? static_cast<size_t>(src - buf_) : 0;
  reserve(len);
  if (inside) src = buf_ + offset;
  std::memmove(buf_ + length_, src, n);
  length_ = len;
  buf_[len] = '\0';
}

// ---------------------------------------------------------------------------
// Assignment and appending

DynString& DynString::operator=(const DynString& other) {
  if (this != &other) assign_bytes(other.buf_, other.length_);
  return *this;
}

DynString& DynString::operator=(DynString&& other) noexcept {
  if (this != &other) {
    if (capacity_ != 0) std::free(buf_);
    buf_ = other.buf_;
    capacity_ = other.capacity_;
    length_ = other.length_;
    other.buf_ = shared_empty();
    other.capacity_ = 0;
    other.length_ = 0;
  }
  return *this;
}

DynString& DynString::operator=(const char* text) {
  assign_bytes(text, text_length(text));
  return *this;
}

// Numbers are formatted straight into the string's own buffer.
DynString& DynString::operator=(int v) {
  reserve(kNumberTextBuffer);
  length_ = static_cast<uint32_t>(format_int(v, buf_));
  return *this;
}

DynString& DynString::operator=(float v) { return *this = static_cast<double>(v); }

DynString& DynString::operator=(double v) {
  reserve(kNumberTextBuffer);
  length_ = static_cast<uint32_t>(format_double(v, buf_));
  return *this;
}

DynString& DynString::operator+=(const DynString& other) {
  append_bytes(other.buf_, other.length_);
  return *this;
}

DynString& DynString::operator+=(int v) {
  char text[kNumberTextBuffer];
  append_bytes(text, format_int(v, text));
  return *this;
}

DynString& DynString::operator+=(float v) { return *this += static_cast<double>(v); }

DynString& DynString::operator+=(double v) {
  char text[kNumberTextBuffer];
  append_bytes(text, format_double(v, text));
  return *this;
}

// ---------------------------------------------------------------------------
// Character level

int DynString::char_at(uint32_t i) const noexcept {
  if (length_ == 0 || i >= capacity_) return 0;
  return static_cast<signed char>(buf_[i]);
}

void DynString::set_char(uint32_t i, char c) noexcept {
  if (i >= capacity_) return;
  if (i == capacity_ - 1 && c != '\0') return;
  buf_[i] = c;
}

void DynString::truncate_at(uint32_t i) noexcept {
  if (i >= capacity_) return;
  buf_[i] = '\0';
  recount();
}

DynString DynString::to_lower() const {
  DynString r(*this);
  for (uint32_t i = 0; i < r.length_; ++i) {
    const char c = r.buf_[i];
    if (c >= 'A' && c <= 'Z') r.buf_[i] = static_cast<char>(c - 'A' + 'a');
  }
  return r;
}

DynString DynString::to_upper() const {
  DynString r(*this);
  for (uint32_t i = 0; i < r.length_; ++i) {
    const char c = r.buf_[i];
    if (c >= 'a' && c <= 'z') r.buf_[i] = static_cast<char>(c - 'a' + 'A');
  }
  return r;
}

void DynString::trim_trailing_controls() noexcept {
  while (length_ > 0 && static_cast<unsigned char>(buf_[length_ - 1]) < 32) --length_;
  if (capacity_ != 0) buf_[length_] = '\0';
}

// ---------------------------------------------------------------------------
// Concatenation

DynString operator+(DynString a, const DynString& b) {
  a += b;
  return a;
}

DynString operator+(DynString a, const char* b) {
  a += b;
  return a;
}

DynString operator+(const char* a, const DynString& b) {
  DynString r(a);
  r += b;
  return r;
}

DynString operator+(DynString a, int b) {
  a += b;
  return a;
}

DynString operator+(DynString a, float b) {
  a += b;
  return a;
}

DynString operator+(DynString a, double b) {
  a += b;
  return a;
}

DynString operator+(int a, const DynString& b) {
  DynString r(a);
  r += b;
  return r;
}

DynString operator+(float a, const DynString& b) {
  DynString r(a);
  r += b;
  return r;
}

DynString operator+(double a, const DynString& b) {
  DynString r(a);
  r += b;
  return r;
}

// ---------------------------------------------------------------------------
// Text comparisons

namespace {
int compare_text(const char* a, const char* b) noexcept {
  return std::strcmp(a != nullptr ? a : "", b != nullptr ? b : "");
}
}  // namespace

double text_eq(const char* a, const char* b) { return truth(compare_text(a, b) == 0); }
double text_ne(const char* a, const char* b) { return truth(compare_text(a, b) != 0); }
double text_lt(const char* a, const char* b) { return truth(compare_text(a, b) < 0); }
double text_le(const char* a, const char* b) { return truth(compare_text(a, b) <= 0); }
double text_gt(const char* a, const char* b) { return truth(compare_text(a, b) > 0); }
double text_ge(const char* a, const char* b) { return truth(compare_text(a, b) >= 0); }

double operator==(const DynString& a, const DynString& b) {
  return truth(a.length_of() == b.length_of() && compare_text(a.c_str(), b.c_str()) == 0);
}
double operator!=(const DynString& a, const DynString& b) { return text_ne(a.c_str(), b.c_str()); }
double operator<(const DynString& a, const DynString& b) { return text_lt(a.c_str(), b.c_str()); }
double operator<=(const DynString& a, const DynString& b) { return text_le(a.c_str(), b.c_str()); }
double operator>(const DynString& a, const DynString& b) { return text_gt(a.c_str(), b.c_str()); }
double operator>=(const DynString& a, const DynString& b) { return text_ge(a.c_str(), b.c_str()); }

double operator==(const char* a, const DynString& b) { return text_eq(a, b.c_str()); }
double operator!=(const char* a, const DynString& b) { return text_ne(a, b.c_str()); }
double operator<(const char* a, const DynString& b) { return text_lt(a, b.c_str()); }
double operator<=(const char* a, const DynString& b) { return text_le(a, b.c_str()); }
double operator>(const char* a, const DynString& b) { return text_gt(a, b.c_str()); }
double operator>=(const char* a, const DynString& b) { return text_ge(a, b.c_str()); }

double operator==(const DynString& a, const char* b) { return text_eq(a.c_str(), b); }
double operator!=(const DynString& a, const char* b) { return text_ne(a.c_str(), b); }
double operator<(const DynString& a, const char* b) { return text_lt(a.c_str(), b); }
double operator<=(const DynString& a, const char* b) { return text_le(a.c_str(), b); }
double operator>(const DynString& a, const char* b) { return text_gt(a.c_str(), b); }
double operator>=(const DynString& a, const char* b) { return text_ge(a.c_str(), b); }

// ---------------------------------------------------------------------------
// String against number: compared by value

#define QUARVEL_MIXED_COMPARE_DEFINE(op, T)                                                 \
  double operator op(const DynString& a, T b) {                                              \
    return truth(text_to_number(a) op static_cast<double>(b));                               \
  }                                                                                          \
  double operator op(T a, const DynString& b) {                                              \
    return truth(static_cast<double>(a) op text_to_number(b));                               \
  }
#define QUARVEL_MIXED_COMPARE_ALL(op)       \
  QUARVEL_MIXED_COMPARE_DEFINE(op, int)     \
  QUARVEL_MIXED_COMPARE_DEFINE(op, float)   \
  QUARVEL_MIXED_COMPARE_DEFINE(op, double)
QUARVEL_MIXED_COMPARE_ALL(==)
QUARVEL_MIXED_COMPARE_ALL(!=)
QUARVEL_MIXED_COMPARE_ALL(<)
QUARVEL_MIXED_COMPARE_ALL(<=)
QUARVEL_MIXED_COMPARE_ALL(>)
QUARVEL_MIXED_COMPARE_ALL(>=)
#undef QUARVEL_MIXED_COMPARE_ALL
#undef QUARVEL_MIXED_COMPARE_DEFINE

// ---------------------------------------------------------------------------
// Search

double find(const char* hay, const char* needle) {
  if (needle == nullptr || *needle == '\0') return 0.0;
  if (hay == nullptr) return -1.0;
  const char* at = std::strstr(hay, needle);
  return at != nullptr ? static_cast<double>(at - hay) : -1.0;
}
double find(const DynString& hay, const DynString& needle) { return find(hay.c_str(), needle.c_str()); }
double find(const DynString& hay, const char* needle) { return find(hay.c_str(), needle); }
double find(const char* hay, const DynString& needle) { return find(hay, needle.c_str()); }

}  // namespace quarvel
