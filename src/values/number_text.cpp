#include "quarvel/number_text.h"

#include <charconv>
#include <cmath>
#include <cstring>
#include <limits>
#include <new>
#include <string>
#include <system_error>

namespace quarvel {

namespace {

size_t put_text(char* out, const char* text) {
  const size_t n = std::strlen(text);
  std::memcpy(out, text, n + 1);
  return n;
}

// Three or more exponent digits, as in "1.e+010" or "4.940656458e-324".
char* put_exponent(char* o, int e) {
  *o++ = 'e';
  *o++ = e < 0 ? '-' : '+';
  const int a = e < 0 ? -e : e;
  if (a >= 1000) *o++ = static_cast<char>('0' + a / 1000 % 10);
  *o++ = static_cast<char>('0' + a / 100 % 10);
  *o++ = static_cast<char>('0' + a / 10 % 10);
  *o++ = static_cast<char>('0' + a % 10);
  return o;
}

bool is_blank(unsigned char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
bool is_digit(unsigned char c) { return c >= '0' && c <= '9'; }

// Saturating value of a run of exponent digits; anything beyond this bound
// over- or underflows every double anyway.
long long exponent_value(const char* digits, size_t n) {
  constexpr long long kCap = 1000000000LL;
  long long e = 0;
  for (size_t i = 0; i < n && e < kCap; ++i) e = e * 10 + (digits[i] - '0');
  return e < kCap ? e : kCap;
}

int clamp_truncated(double v, int lo, int hi) {
  if (std::isnan(v)) return 0;
  if (v <= lo) return lo;
  if (v >= hi) return hi;
  return static_cast<int>(v);  // truncates toward zero
}

}  // namespace

// ---------------------------------------------------------------------------
// Number to text

size_t format_double(double v, char out[kNumberTextBuffer]) {
  if (std::isnan(v)) return put_text(out, "nan");
  if (std::isinf(v)) return put_text(out, v < 0 ? "-inf" : "inf");
  if (v == 0.0) return put_text(out, "0");

  // Correctly rounded to 10 significant digits: [-]d.ddddddddde[+-]dd[d].
  char sci[32];
  const std::to_chars_result r =
      std::to_chars(sci, sci + sizeof sci, v, std::chars_format::scientific, 9);
  const char* p = sci;
  char* o = out;
  if (*p == '-') {
    *o++ = '-';
    ++p;
  }
  char digits[10];
  digits[0] = p[0];
  std::memcpy(digits + 1, p + 2, 9);
  p += 12;  // past "d.ddddddddde"
  const bool exp_negative = *p++ == '-';
  int e = 0;
  while (p < r.ptr) e = e * 10 + (*p++ - '0');
  if (exp_negative) e = -e;

  int kept = 10;  // digits left once trailing fraction zeros are gone
  while (kept > 1 && digits[kept - 1] == '0') --kept;

  if (e == -1) {
    *o++ = '0';
    *o++ = '.';
    std::memcpy(o, digits, kept);
    o += kept;
  } else if (e >= 0 && e <= 9) {
    const int whole = e + 1;
    std::memcpy(o, digits, whole);
    o += whole;
    if (kept > whole) {  // otherwise the point would be the last character
      *o++ = '.';
      std::memcpy(o, digits + whole, kept - whole);
      o += kept - whole;
    }
  } else {
    // The point stays even without fraction digits: "5.e-002".
    *o++ = digits[0];
    *o++ = '.';
    std::memcpy(o, digits + 1, kept - 1);
    o += kept - 1;
    o = put_exponent(o, e);
  }
  *o = '\0';
  return static_cast<size_t>(o - out);
}

DynString number_to_text(int v) { return DynString(v); }
DynString number_to_text(float v) { return DynString(v); }
DynString number_to_text(double v) { return DynString(v); }

// ---------------------------------------------------------------------------
// Text to number

double text_to_number(const char* bytes, size_t length) {
  if (bytes == nullptr) return 0.0;
  // Every read goes through at(): past the end it yields 0, which also ends
  // the scan like a NUL byte does.
  auto at = [bytes, length](size_t k) -> unsigned char {
    return k < length ? static_cast<unsigned char>(bytes[k]) : 0;
  };

  size_t i = 0;
  while (is_blank(at(i))) ++i;
  bool negative = false;
  if (at(i) == '+' || at(i) == '-') {
    negative = at(i) == '-';
    ++i;
  }
  const size_t mantissa_begin = i;
  const size_t int_begin = i;
  while (is_digit(at(i))) ++i;
  const size_t int_end = i;
  size_t frac_begin = i;
  size_t frac_end = i;
  if (at(i) == '.') {
    frac_begin = frac_end = i + 1;
    while (is_digit(at(frac_end))) ++frac_end;
  }
  if (int_end == int_begin && frac_end == frac_begin) return 0.0;  // no digit at all
  i = frac_end;

  size_t end = i;
  bool exp_negative = false;
  size_t exp_digits_begin = i;
  size_t exp_digits_end = i;
  const unsigned char marker = at(i);
  if (marker == 'e' || marker == 'E' || marker == 'd' || marker == 'D') {
    size_t k = i + 1;
    if (at(k) == '+' || at(k) == '-') {
      exp_negative = at(k) == '-';
      ++k;
    }
    if (is_digit(at(k))) {
      exp_digits_begin = k;
      while (is_digit(at(k))) ++k;
      exp_digits_end = k;
      end = k;
    }
  }

  // from_chars reads the unsigned part. It knows only 'e' as the exponent
  // letter, so a 'd' exponent is parsed from a copy.
  const char* first = bytes + mantissa_begin;
  const size_t count = end - mantissa_begin;
  std::string copy;
  if (end > frac_end && (marker == 'd' || marker == 'D')) {
    copy.assign(first, count);
    copy[frac_end - mantissa_begin] = 'e';
    first = copy.data();
  }
  double value = 0.0;
  const std::from_chars_result r =
      std::from_chars(first, first + count, value, std::chars_format::general);
  if (r.ec == std::errc::result_out_of_range) {
    // Too large or too small for a double: decide which from the decimal
    // magnitude, value = 0.ddd * 10^(magnitude + exponent).
    long long magnitude = 0;
    size_t k = int_begin;
    while (k < int_end && bytes[k] == '0') ++k;
    if (k < int_end) {
      magnitude = static_cast<long long>(int_end - k);
    } else {
      k = frac_begin;
      while (k < frac_end && bytes[k] == '0') ++k;
      magnitude = -static_cast<long long>(k - frac_begin);
    }
    long long e = exponent_value(bytes + exp_digits_begin, exp_digits_end - exp_digits_begin);
    if (exp_negative) e = -e;
    value = magnitude + e > 0 ? HUGE_VAL : 0.0;
  } else if (r.ec != std::errc()) {
    value = 0.0;  // not reached: the prefix was checked above
  }
  return negative ? -value : value;
}

double text_to_number(const char* text) {
  return text != nullptr ? text_to_number(text, std::strlen(text)) : 0.0;
}

double text_to_number(const DynString& s) { return text_to_number(s.c_str(), s.length_of()); }

// ---------------------------------------------------------------------------
// Small conversions

DynString format_number(double width, double decimals, double value) {
  // Clamped so that no result, not even of the largest double with 100
  // decimals (411 characters), needs more than 512 bytes.
  constexpr int kMaxWidth = 200;
  constexpr int kMaxDecimals = 100;
  const int w = clamp_truncated(width, -kMaxWidth, kMaxWidth);
  const int d = clamp_truncated(decimals, 0, kMaxDecimals);

  char text[512];
  size_t n = 0;
  if (std::isfinite(value)) {
    const std::to_chars_result r =
        std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, d);
    n = r.ec == std::errc() ? static_cast<size_t>(r.ptr - text) : 0;
  } else {
    n = format_double(value, text);
  }

  const size_t field = static_cast<size_t>(w < 0 ? -w : w);
  const size_t pad = field > n ? field - n : 0;
  DynString result;
  if (n + pad == 0) return result;
  char* out = result.writable_buffer(static_cast<uint32_t>(n + pad));
  if (w < 0) {
    std::memcpy(out, text, n);
    std::memset(out + n, ' ', pad);
  } else {
    std::memset(out, ' ', pad);
    std::memcpy(out + pad, text, n);
  }
  out[n + pad] = '\0';
  result.recount();
  return result;
}

DynString char_text(double code) {
  if (!std::isfinite(code)) return DynString();
  // The low 16 bits of the truncated code, taken modulo 2^16 so that huge
  // codes stay defined; only its low byte matters.
  const long long low16 = static_cast<long long>(std::fmod(std::trunc(code), 65536.0));
  const char byte = static_cast<char>(static_cast<unsigned char>(low16 & 0xFF));
  if (byte == '\0') return DynString();
  return DynString(&byte, 1);
}

double char_code(const DynString& s) { return static_cast<signed char>(s.c_str()[0]); }

DynString bytes_to_hex(const uint8_t* bytes, size_t count) {
  static const char kDigits[] = "0123456789ABCDEF";
  DynString result;
  if (bytes == nullptr || count == 0) return result;
  if (count > DynString::kMaxLength / 2) throw std::bad_alloc();
  char* out = result.writable_buffer(static_cast<uint32_t>(count * 2));
  for (size_t i = 0; i < count; ++i) {
    out[2 * i] = kDigits[bytes[i] >> 4];
    out[2 * i + 1] = kDigits[bytes[i] & 0x0F];
  }
  out[count * 2] = '\0';
  result.recount();
  return result;
}

}  // namespace quarvel
