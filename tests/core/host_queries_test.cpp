// Platform information, the key map and the scan-code table.
#include <gmock/gmock.h>

#include <quarvel/quarvel.h>

#include "platform/platform.h"
#include "runtime_fixture.h"

namespace quarvel_test {
namespace {

using namespace quarvel;
using testing::MatchesRegex;

std::string info(const char* key) { return platform_info(DynString(key)).c_str(); }

TEST_F(RuntimeTest, PlatformInfoAnswersEveryKey) {
  EXPECT_EQ(info(""), "LINUX");
  EXPECT_EQ(info("device"), "DESKTOP");
  EXPECT_EQ(info("DeViCe"), "DESKTOP");
  EXPECT_EQ(info("no such key"), "NO_DATA");
  std::string id = info("id");
  EXPECT_THAT(id, MatchesRegex("[0-9A-F]{8}"));
  EXPECT_EQ(info("ID"), id);  // stable
  // Year-month-day with no padding, then hour, minute and second padded
  // with blanks to two characters.
  EXPECT_THAT(info("time"), MatchesRegex("[0-9]{4}-[0-9]{1,2}-[0-9]{1,2} [ 0-9][0-9]:[ 0-9][0-9]:[ 0-9][0-9]"));
}

TEST_F(RuntimeTest, PlatformInfoAsksTheDriverForEntryPoints) {
  EXPECT_EQ(info("GLEXT:glActiveTextureARB"), "1");
  EXPECT_EQ(info("glext:glBindFramebufferEXT"), "1");
  EXPECT_EQ(info("GLEXT:"), "0");
}

TEST(ScanCodes, KeysMapToTheirPcScanCodes) {
  // SDL scancode numbers (USB usage ids) of a few keys.
  constexpr int kEscape = 41, kReturn = 40, kF1 = 58, kF4 = 61, kUp = 82, kDown = 81, kLeft = 80, kRight = 79;
  constexpr int kLeftAlt = 226, kRightShift = 229, kKeypadEnter = 88, kA = 4;
  EXPECT_EQ(platform::scan_code_from_sdl(kEscape), 1);
  EXPECT_EQ(platform::scan_code_from_sdl(kReturn), 28);
  EXPECT_EQ(platform::scan_code_from_sdl(kF1), 59);
  EXPECT_EQ(platform::scan_code_from_sdl(kF4), 62);
  EXPECT_EQ(platform::scan_code_from_sdl(kUp), 200);
  EXPECT_EQ(platform::scan_code_from_sdl(kDown), 208);
  EXPECT_EQ(platform::scan_code_from_sdl(kLeft), 203);
  EXPECT_EQ(platform::scan_code_from_sdl(kRight), 205);
  EXPECT_EQ(platform::scan_code_from_sdl(kLeftAlt), 56);
  EXPECT_EQ(platform::scan_code_from_sdl(kRightShift), 54);
  EXPECT_EQ(platform::scan_code_from_sdl(kKeypadEnter), 156);
  EXPECT_EQ(platform::scan_code_from_sdl(kA), 30);
  EXPECT_EQ(platform::scan_code_from_sdl(0), 0);
  EXPECT_EQ(platform::scan_code_from_sdl(-5), 0);
  EXPECT_EQ(platform::scan_code_from_sdl(100000), 0);
}

TEST(ScanCodes, TableIsOneToOne) {
  int mapped = 0;
  for (int code = 1; code < 256; ++code) {
    int sdl = platform::sdl_from_scan_code(code);
    if (sdl == 0) continue;
    ++mapped;
    EXPECT_EQ(platform::scan_code_from_sdl(sdl), code) << "scan code " << code;
  }
  EXPECT_GE(mapped, 120);
}

}  // namespace
}  // namespace quarvel_test
