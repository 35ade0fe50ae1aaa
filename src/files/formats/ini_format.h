// INI documents in memory: reading a file's bytes into sections of
// key/value pairs, the lookups and changes of the INI commands, and writing
// a document back out.
//
// Reading, line by line (a line ends at LF; a CR before it is dropped):
// leading blanks, tabs, CR and LF are skipped; a line starting with ";" is
// a comment; a line starting with "[" opens a section whose name runs from
// the first non-blank after the bracket up to a blank, tab, CR, LF, "=" or
// the line's end, with a "]" right before that point dropped ("[Player 1]"
// names the section "Player"); any other line is "key = value": the key
// runs up to a blank, tab, CR, LF or "=", blanks may come before the "=",
// and a line without it is ignored. The value is the rest after the "=",
// its leading blanks and tabs skipped and trailing bytes 0..31 removed; an
// empty value is not stored. Keys before the first header go to a section
// with the empty name. Sections that get no key are dropped; sections of
// the same name stay separate. A NUL byte ends its line's text.
//
// Writing: "[name]" and then "key=value" per pair, every line ended by
// CR LF. Texts are written up to their first line feed, so one pair is
// always one line of the file.
//
// Names and keys are found without regard to the case of ASCII letters;
// the first match counts.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace quarvel::ini_format {

struct IniSection {
  std::string name;
  std::vector<std::pair<std::string, std::string>> pairs;
};

struct IniDocument {
  std::vector<IniSection> sections;
};

// Replaces `document` with the sections read from bytes[0, length).
void parse_ini(const uint8_t* bytes, size_t length, IniDocument& document);

// The file image of a document.
std::string write_ini(const IniDocument& document);

// The value stored under section / key, or null when there is none.
const std::string* find_value(const IniDocument& document, const std::string& section, const std::string& key);

// What put_value did.
enum class PutResult {
  section_deleted,  // empty key: the section went (the last one took its place)
  nothing,          // empty key and no such section
  changed,          // a pair was added, replaced or deleted
};

// The change of one ini_put:
//  - empty key: the first matching section is deleted, the last section
//    of the list taking its place;
//  - otherwise the first matching section is used (a new one of that name
//    is appended when there is none), and in it the first matching key:
//    absent, the pair is appended (even with an empty value); present, the
//    value is replaced, or for an empty value the pair is deleted, the
//    last pair of the section taking its place.
PutResult put_value(IniDocument& document, const std::string& section, const std::string& key,
                    const std::string& value);

// ASCII letters compared without regard to case.
bool equal_ignoring_case(const std::string& a, const std::string& b);

}  // namespace quarvel::ini_format
