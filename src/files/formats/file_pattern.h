// Wildcard patterns of the directory listing.
//
// "*" matches any run of characters, none included (several stars in a row
// act as one); "?" matches any one character except "."; every other
// character matches itself, ASCII letters without regard to case. After a
// mismatch the match resumes from the most recent star, one character
// further in the name; with no star before it the name does not match.
// Stars left at the end of the pattern match the empty rest of a name.
#pragma once

#include <cstddef>

namespace quarvel {

bool pattern_matches(const char* pattern, size_t pattern_length, const char* name, size_t name_length);

}  // namespace quarvel
