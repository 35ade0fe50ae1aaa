// Fuzz target for the number/text conversions.
//
// Checks, for every input:
//  - text_to_number over the bytes (and over a shorter length, and through a
//    DynString) equals strtod of the numeric prefix found by an independent
//    scanner;
//  - format_double stays inside its 64-byte buffer, and its text has the
//    same sign, significant digits and exponent as "%.9e" and the layout
//    rules (fixed for exponents -1..9, point kept only before an exponent);
//  - parsing a number text gives back the value within 10-digit rounding;
//  - format_number stays under 512 bytes and matches snprintf("%*.*f").
#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "quarvel/dyn_string.h"
#include "quarvel/number_text.h"

using quarvel::DynString;

namespace {

#define FUZZ_CHECK(cond)                                                              \
  do {                                                                                \
    if (!(cond)) {                                                                    \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond);  \
      std::abort();                                                                   \
    }                                                                                 \
  } while (0)

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// The numeric prefix as a small state machine, handed to strtod in the
// spelling strtod knows ("d" exponents become "e").
double reference_parse(const uint8_t* data, size_t size) {
  const size_t len = data != nullptr ? ::strnlen(reinterpret_cast<const char*>(data), size) : 0;
  enum State { kBlank, kSign, kInt, kPoint, kFrac, kExpMark, kExpSign, kExpDigits, kDone };
  State state = kBlank;
  std::string number;
  std::string pending;  // exponent text not yet known to be complete
  for (size_t i = 0; i < len && state != kDone; ++i) {
    const char c = static_cast<char>(data[i]);
    const bool digit = c >= '0' && c <= '9';
    const bool exp_mark = c == 'e' || c == 'E' || c == 'd' || c == 'D';
    switch (state) {
      case kBlank:
        if (std::strchr(" \t\n\v\f\r", c) != nullptr && c != '\0') break;
        if (c == '+' || c == '-') {
          number += c;
          state = kSign;
        } else if (digit) {
          number += c;
          state = kInt;
        } else if (c == '.') {
          number += c;
          state = kPoint;
        } else {
          state = kDone;
        }
        break;
      case kSign:
        if (digit) {
          number += c;
          state = kInt;
        } else if (c == '.') {
          number += c;
          state = kPoint;
        } else {
          state = kDone;
        }
        break;
      case kInt:
        if (digit) {
          number += c;
        } else if (c == '.') {
          number += c;
          state = kFrac;
        } else if (exp_mark) {
          pending = "e";
          state = kExpMark;
        } else {
          state = kDone;
        }
        break;
      case kPoint:  // a point with no digit before it yet
        if (digit) {
          number += c;
          state = kFrac;
        } else {
          state = kDone;
        }
        break;
      case kFrac:
        if (digit) {
          number += c;
        } else if (exp_mark) {
          pending = "e";
          state = kExpMark;
        } else {
          state = kDone;
        }
        break;
      case kExpMark:
        if (c == '+' || c == '-') {
          pending += c;
          state = kExpSign;
        } else if (digit) {
          pending += c;
          state = kExpDigits;
        } else {
          state = kDone;
        }
        break;
      case kExpSign:
        if (digit) {
          pending += c;
          state = kExpDigits;
        } else {
          state = kDone;
        }
        break;
      case kExpDigits:
        if (digit) {
          pending += c;
        } else {
          state = kDone;
        }
        break;
      case kDone:
        break;
    }
  }
  if (state == kExpDigits || (state == kDone && !pending.empty() && pending.back() >= '0' &&
                              pending.back() <= '9')) {
    number += pending;
  }
  // At least one mantissa digit is needed.
  bool has_digit = false;
  for (char c : number) {
    if (c == 'e') break;
    has_digit = has_digit || (c >= '0' && c <= '9');
  }
  if (!has_digit) return 0.0;
  return std::strtod(number.c_str(), nullptr);
}

struct Decimal {
  bool negative = false;
  std::string digits;  // significant digits, no trailing zeros
  int exponent = 0;    // value = d.ddd * 10^exponent
};

Decimal decimal_from_printf(double x) {
  char ref[64];
  std::snprintf(ref, sizeof ref, "%.9e", x);
  Decimal d;
  const char* p = ref;
  if (*p == '-') {
    d.negative = true;
    ++p;
  }
  d.digits += p[0];
  d.digits.append(p + 2, 9);
  while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
  d.exponent = std::atoi(p + 12);
  return d;
}

// Reads a number text back into sign, digits and exponent, checking its layout.
Decimal decimal_from_text(const std::string& text) {
  Decimal d;
  std::string s = text;
  if (!s.empty() && s[0] == '-') {
    d.negative = true;
    s.erase(0, 1);
  }
  FUZZ_CHECK(!s.empty());
  const size_t e_at = s.find('e');
  if (e_at != std::string::npos) {
    const std::string mantissa = s.substr(0, e_at);
    const std::string exp = s.substr(e_at + 1);
    FUZZ_CHECK(mantissa.size() >= 2 && mantissa[1] == '.');
    FUZZ_CHECK(mantissa[0] >= '1' && mantissa[0] <= '9');
    FUZZ_CHECK(mantissa.size() <= 11);
    FUZZ_CHECK(mantissa.size() == 2 || mantissa.back() != '0');
    FUZZ_CHECK(exp.size() >= 4 && (exp[0] == '+' || exp[0] == '-'));
    d.digits = mantissa.substr(0, 1) + mantissa.substr(2);
    d.exponent = std::atoi(exp.c_str());
    FUZZ_CHECK(d.exponent < -1 || d.exponent > 9);
  } else {
    FUZZ_CHECK(s.back() != '.');
    const size_t point = s.find('.');
    if (point != std::string::npos) FUZZ_CHECK(s.back() != '0');
    if (s.compare(0, 2, "0.") == 0) {
      d.digits = s.substr(2);
      d.exponent = -1;
      FUZZ_CHECK(!d.digits.empty() && d.digits[0] != '0');
    } else {
      FUZZ_CHECK(s[0] >= '1' && s[0] <= '9');
      d.exponent = static_cast<int>(point == std::string::npos ? s.size() : point) - 1;
      d.digits = s;
      if (point != std::string::npos) d.digits.erase(point, 1);
    }
    FUZZ_CHECK(d.digits.size() <= 10);
    FUZZ_CHECK(d.exponent >= -1 && d.exponent <= 9);
    while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
  }
  return d;
}

void check_number_text(double x) {
  // An exactly sized heap block, so that the sanitizer sees any overrun.
  char* out = new char[quarvel::kNumberTextBuffer];
  const size_t n = quarvel::format_double(x, out);
  FUZZ_CHECK(n < quarvel::kNumberTextBuffer);
  FUZZ_CHECK(out[n] == '\0' && std::strlen(out) == n);
  const std::string text(out, n);
  delete[] out;
  FUZZ_CHECK(text == quarvel::number_to_text(x).c_str());

  if (std::isnan(x)) {
    FUZZ_CHECK(text == "nan");
    return;
  }
  if (std::isinf(x)) {
    FUZZ_CHECK(text == (x < 0 ? "-inf" : "inf"));
    return;
  }
  if (x == 0) {
    FUZZ_CHECK(text == "0");
    return;
  }
  const Decimal want = decimal_from_printf(x);
  const Decimal got = decimal_from_text(text);
  FUZZ_CHECK(got.negative == want.negative);
  FUZZ_CHECK(got.digits == want.digits);
  FUZZ_CHECK(got.exponent == want.exponent);

  const double back = quarvel::text_to_number(text.c_str());
  if (std::isinf(back)) {
    // Only values whose 10-digit rounding passes the largest double.
    FUZZ_CHECK(std::fabs(x) >= 1.7976931345e308);
  } else {
    FUZZ_CHECK(std::fabs(back - x) <= std::fabs(x) * (5e-10 + 1e-15) + 5e-324);
    if (std::fabs(back) >= DBL_MIN) FUZZ_CHECK(text == quarvel::number_to_text(back).c_str());
  }
}

int clamp_reference(double v, int lo, int hi) {
  if (std::isnan(v)) return 0;
  const double t = std::trunc(v);
  return t < lo ? lo : t > hi ? hi : static_cast<int>(t);
}

void check_format_number(double width, double decimals, double value) {
  const DynString r = quarvel::format_number(width, decimals, value);
  FUZZ_CHECK(r.length_of() < 512);
  FUZZ_CHECK(std::strlen(r.c_str()) == r.length_of());
  const int w = clamp_reference(width, -200, 200);
  const int d = clamp_reference(decimals, 0, 100);
  FUZZ_CHECK(r.length_of() >= static_cast<uint32_t>(std::abs(w)));
  if (std::isfinite(value)) {
    char ref[1024];
    std::snprintf(ref, sizeof ref, "%*.*f", w, d, value);
    FUZZ_CHECK(std::strcmp(ref, r.c_str()) == 0);
  }
}

double double_at(const uint8_t* data, size_t size, size_t offset) {
  unsigned char raw[sizeof(double)] = {};
  if (offset < size) std::memcpy(raw, data + offset, std::min(sizeof raw, size - offset));
  double v;
  std::memcpy(&v, raw, sizeof v);
  return v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  const double parsed = quarvel::text_to_number(text, size);
  FUZZ_CHECK(same_bits(parsed, reference_parse(data, size)));
  const size_t half = size / 2;
  FUZZ_CHECK(same_bits(quarvel::text_to_number(text, half), reference_parse(data, half)));
  if (size <= DynString::kMaxLength) {
    const DynString s(text, static_cast<uint32_t>(size));
    FUZZ_CHECK(same_bits(quarvel::text_to_number(s), parsed));
  }

  check_number_text(parsed);
  if (!(std::fabs(parsed) > FLT_MAX)) check_number_text(static_cast<double>(static_cast<float>(parsed)));
  const double raw = double_at(data, size, 0);
  check_number_text(raw);

  const int small_width = size > 0 ? static_cast<int>(data[0] % 41) - 20 : 0;
  const int small_decimals = size > 1 ? data[1] % 24 : 2;
  check_format_number(small_width, small_decimals, parsed);
  check_format_number(double_at(data, size, 0), double_at(data, size, 8), double_at(data, size, 16));
  check_format_number(parsed, parsed, raw);

  const DynString ch = quarvel::char_text(parsed);
  FUZZ_CHECK(ch.length_of() <= 1);
  if (ch.length_of() == 1) FUZZ_CHECK(quarvel::char_code(ch) == static_cast<signed char>(ch.c_str()[0]));
  return 0;
}
