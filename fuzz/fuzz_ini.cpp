// INI reader: any bytes parse; what is written back reads back the same
// and writes the same bytes again; every stored value is found again.
#include <cstddef>
#include <cstdint>
#include <string>

#include "files/formats/ini_format.h"
#include "fuzz_check.h"

namespace ini = quarvel::ini_format;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ini::IniDocument doc;
  ini::parse_ini(data, size, doc);
  for (size_t i = 0; i < doc.sections.size(); ++i) {
    const ini::IniSection& s = doc.sections[i];
    FUZZ_CHECK(!s.pairs.empty());
    // Lookups reach the first section of a name only.
    bool first_of_name = true;
    for (size_t j = 0; j < i; ++j) first_of_name = first_of_name && !ini::equal_ignoring_case(doc.sections[j].name, s.name);
    for (const auto& pair : s.pairs) {
      FUZZ_CHECK(!pair.second.empty());
      FUZZ_CHECK(pair.second.find('\n') == std::string::npos);
      if (first_of_name) FUZZ_CHECK(ini::find_value(doc, s.name, pair.first) != nullptr);
    }
  }
  const std::string written = ini::write_ini(doc);
  ini::IniDocument again;
  ini::parse_ini(reinterpret_cast<const uint8_t*>(written.data()), written.size(), again);
  FUZZ_CHECK(ini::write_ini(again) == written);

  // Changes keep the document well formed.
  if (!doc.sections.empty()) {
    const ini::IniSection first = doc.sections.front();
    ini::put_value(doc, first.name, first.pairs.front().first, "");
    ini::put_value(doc, first.name, "added", "value");
    FUZZ_CHECK(*ini::find_value(doc, first.name, "ADDED") == "value");
    ini::put_value(doc, first.name, "", "");
  }
  return 0;
}
