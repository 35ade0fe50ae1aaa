#pragma once
#include <string>

namespace quarvel_test {
// The temporary directory of this test process (also its TMPDIR).
const std::string& temp_dir();
}  // namespace quarvel_test
