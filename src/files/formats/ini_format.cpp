#include "files/formats/ini_format.h"

#include <cstring>

namespace quarvel::ini_format {

namespace {

bool is_blank_or_break(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
bool ends_name(char c) { return is_blank_or_break(c) || c == '='; }

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// One line of the file without its line end; NUL-free.
// `current` starts as the unnamed section that keys before any header go to.
void parse_line(const char* p, const char* end, IniDocument& document, IniSection& current) {
  while (p < end && is_blank_or_break(*p)) ++p;
  if (p == end || *p == ';') return;

  if (*p == '[') {
    ++p;
    while (p < end && *p == ' ') ++p;
    const char* name = p;
    while (p < end && !ends_name(*p)) ++p;
    const char* name_end = p;
    if (name_end > name && name_end[-1] == ']') --name_end;
    if (!current.pairs.empty()) document.sections.push_back(std::move(current));
    current = IniSection();
    current.name.assign(name, name_end);
    return;
  }

  const char* key = p;
  while (p < end && !ends_name(*p)) ++p;
  const char* key_end = p;
  while (p < end && *p == ' ') ++p;
  if (p == end || *p != '=') return;
  ++p;
  while (p < end && (*p == ' ' || *p == '\t')) ++p;
  const char* value = p;
  const char* value_end = end;
  while (value_end > value && static_cast<unsigned char>(value_end[-1]) < 32) --value_end;
  if (value_end == value) return;
  current.pairs.emplace_back(std::string(key, key_end), std::string(value, value_end));
}

// The text up to its first line feed.
void append_one_line(std::string& out, const std::string& text) {
  const size_t cut = text.find('\n');
  out.append(text, 0, cut);
}

IniSection* find_section(IniDocument& document, const std::string& name) {
  for (IniSection& s : document.sections)
    if (equal_ignoring_case(s.name, name)) return &s;
  return nullptr;
}

}  // namespace

bool equal_ignoring_case(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (ascii_lower(a[i]) != ascii_lower(b[i])) return false;
  return true;
}

void parse_ini(const uint8_t* bytes, size_t length, IniDocument& document) {
  document.sections.clear();
  IniSection current;
  const char* p = reinterpret_cast<const char*>(bytes);
  const char* const end = p == nullptr ? p : p + length;
  while (p < end) {
    const size_t rest = static_cast<size_t>(end - p);
    const char* lf = static_cast<const char*>(std::memchr(p, '\n', rest));
    size_t line_length = lf != nullptr ? static_cast<size_t>(lf - p) : rest;
    if (lf != nullptr && line_length > 0 && p[line_length - 1] == '\r') --line_length;
    const void* nul = std::memchr(p, '\0', line_length);
    if (nul != nullptr) line_length = static_cast<size_t>(static_cast<const char*>(nul) - p);
    parse_line(p, p + line_length, document, current);
    p = lf != nullptr ? lf + 1 : end;
  }
  if (!current.pairs.empty()) document.sections.push_back(std::move(current));
}

std::string write_ini(const IniDocument& document) {
  std::string out;
  for (const IniSection& s : document.sections) {
    out += '[';
    append_one_line(out, s.name);
    out += "]\r\n";
    for (const auto& pair : s.pairs) {
      append_one_line(out, pair.first);
      out += '=';
      append_one_line(out, pair.second);
      out += "\r\n";
    }
  }
  return out;
}

const std::string* find_value(const IniDocument& document, const std::string& section, const std::string& key) {
  for (const IniSection& s : document.sections) {
    if (!equal_ignoring_case(s.name, section)) continue;
    for (const auto& pair : s.pairs)
      if (equal_ignoring_case(pair.first, key)) return &pair.second;
    return nullptr;  // later sections of the same name are not consulted
  }
  return nullptr;
}

PutResult put_value(IniDocument& document, const std::string& section, const std::string& key,
                    const std::string& value) {
  std::vector<IniSection>& sections = document.sections;
  if (key.empty()) {
    IniSection* s = find_section(document, section);
    if (s == nullptr) return PutResult::nothing;
    if (s != &sections.back()) *s = std::move(sections.back());
    sections.pop_back();
    return PutResult::section_deleted;
  }
  IniSection* s = find_section(document, section);
  if (s == nullptr) {
    sections.push_back(IniSection{section, {}});
    s = &sections.back();
  }
  auto& pairs = s->pairs;
  for (auto& pair : pairs) {
    if (!equal_ignoring_case(pair.first, key)) continue;
    if (!value.empty()) {
      pair.second = value;
    } else {
      if (&pair != &pairs.back()) pair = std::move(pairs.back());
      pairs.pop_back();
    }
    return PutResult::changed;
  }
  pairs.emplace_back(key, value);
  return PutResult::changed;
}

}  // namespace quarvel::ini_format
