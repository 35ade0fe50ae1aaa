// Conversions between numbers and text.
//
// Number texts have 10 significant digits: fixed notation while the decimal
// exponent (after rounding) is -1..9, otherwise "d.ddddddddde+XXX" with at
// least three exponent digits. Trailing fraction zeros are dropped, and so is
// a trailing decimal point, but a point before an exponent stays:
//   100 -> "100", 1/3 -> "0.3333333333", 0.05 -> "5.e-002", 1e10 -> "1.e+010".
// Zero of either sign is "0"; infinities and NaN are "inf", "-inf", "nan".
//
// Text becomes a number by its longest numeric prefix, 0 when there is none.
// All of it is independent of the C locale.
#pragma once

#include <cstddef>
#include <cstdint>

#include "quarvel/dyn_string.h"

namespace quarvel {

// Size of the buffer format_double writes into. A number text never needs
// more than 18 bytes including the terminator.
inline constexpr size_t kNumberTextBuffer = 64;

// The number's text: 10 significant digits, no trailing decimal point.
DynString number_to_text(int v);
DynString number_to_text(float v);
DynString number_to_text(double v);

// Writes the text of v, NUL-terminated, into out (which must hold 64 bytes)
// and returns its length.
size_t format_double(double v, char out[kNumberTextBuffer]);

// Parses the longest numeric prefix of bytes[0, length): leading blanks,
// tabs, CR, LF, VT and FF are skipped; then an optional sign, digits with an
// optional decimal point (at least one digit), and an optional exponent
// introduced by e, E, d or D with an optional sign, taken only when digits
// follow. Reading stops at a NUL byte and never goes past length. The result
// is correctly rounded; overflow gives +-inf, underflow +-0; no prefix gives 0.
double text_to_number(const char* bytes, size_t length);
double text_to_number(const char* text);  // NUL-terminated; nullptr gives 0
double text_to_number(const DynString& s);

// printf "%W.Df" of value, W and D truncated toward zero. A negative width
// left-aligns (the "%-W.Df" its text would spell). The width is clamped to
// -200..200 and the decimals to 0..100, which keeps every result, even of
// the largest double, within 512 bytes. Infinities and NaN are written as
// number_to_text writes them, padded the same way.
DynString format_number(double width, double decimals, double value);

// The one character whose byte is the low 8 bits of code truncated toward
// zero to 16 bits; empty when that byte is 0 (or code is not finite).
DynString char_text(double code);
// The first byte of s as a signed value (-128..127); 0 for an empty string.
double char_code(const DynString& s);
// Two upper-case hexadecimal digits per byte, high nibble first.
DynString bytes_to_hex(const uint8_t* bytes, size_t count);

}  // namespace quarvel
