#include "files/formats/file_pattern.h"

namespace quarvel {

namespace {
char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }
}  // namespace

bool pattern_matches(const char* pattern, size_t pattern_length, const char* name, size_t name_length) {
  size_t p = 0, n = 0;
  bool have_star = false;
  size_t star_p = 0;  // pattern position after the most recent run of stars
  size_t star_n = 0;  // name position that run was tried from
  while (n < name_length) {
    if (p < pattern_length && pattern[p] == '*') {
      while (p < pattern_length && pattern[p] == '*') ++p;
      have_star = true;
      star_p = p;
      star_n = n;
      continue;
    }
    if (p < pattern_length &&
        (pattern[p] == '?' ? name[n] != '.' : ascii_lower(pattern[p]) == ascii_lower(name[n]))) {
      ++p;
      ++n;
      continue;
    }
    if (!have_star) return false;
    n = ++star_n;
    p = star_p;
  }
  while (p < pattern_length && pattern[p] == '*') ++p;
  return p == pattern_length;
}

}  // namespace quarvel
