// Text printed with the built-in font and with loaded font pictures.
#include <string>
#include <vector>

#include <quarvel/quarvel.h>

#include "core/engine_state.h"
#include "runtime_fixture.h"
#include "test_images.h"
#include "test_support.h"

namespace quarvel_test {
namespace {

using namespace quarvel;

constexpr double kWhite = 0xFFFFFF, kOutline = 0x080808;

TEST_F(RuntimeTest, BuiltInFontPrintsEightByEightCells) {
  load_font(DynString(""), 0);
  double w = 0, h = 0;
  get_font_size(w, h);
  EXPECT_EQ(w, 8);
  EXPECT_EQ(h, 8);
  print_text(DynString("Hi"), 10, 20);
  show_screen();
  // 'H': glyph row 0 has columns 1 and 3, one pixel in from the cell corner.
  EXPECT_EQ(get_pixel(12, 21), kWhite);
  EXPECT_EQ(get_pixel(14, 21), kWhite);
  EXPECT_EQ(get_pixel(11, 21), kOutline);
  EXPECT_EQ(get_pixel(13, 21), kOutline);
  // 'i' starts one cell further: its dot is column 2 of glyph row 0.
  EXPECT_EQ(get_pixel(18 + 1 + 2, 21), kWhite);
  // Nothing outside the two cells.
  EXPECT_EQ(get_pixel(9, 21), 0);
  EXPECT_EQ(get_pixel(26, 21), 0);
  EXPECT_EQ(get_pixel(12, 28), 0);
}

TEST_F(RuntimeTest, TextColourTintsTheFontAndWhiteLeavesItAsItIs) {
  load_font(DynString(""), 0);
  EXPECT_EQ(rgb(255, 0, 0), 255);  // red is the low byte
  EXPECT_EQ(rgb(300, -5, 127.6), 255 + (128 << 16));
  EXPECT_EQ(colour_blue(rgb(1, 2, 3)), 3);
  EXPECT_EQ(colour_green(0x402020), 0x20);
  EXPECT_EQ(colour_red(-1), 255);

  set_text_colour(rgb(255, 128, 0));
  print_text(DynString("H"), 10, 20);
  set_text_colour(-1);
  print_text(DynString("H"), 30, 20);
  set_alpha_mode(-0.5);
  set_text_colour(rgb(0, 0, 255));
  print_text(DynString("H"), 50, 20);
  set_text_colour(kWhite);
  show_screen();
  EXPECT_EQ(get_pixel(12, 21), rgb(255, 128, 0));
  EXPECT_EQ(get_pixel(11, 21), rgb(8, 4, 0));  // the dark outline, tinted
  EXPECT_EQ(get_pixel(32, 21), kWhite);
  // In the half-transparent mode the tint is scaled as white text is
  // (colour and alpha both by the alpha value: a quarter over black).
  EXPECT_NEAR(colour_blue(get_pixel(52, 21)), 64, 1);
  EXPECT_EQ(colour_red(get_pixel(52, 21)), 0);
}

TEST_F(RuntimeTest, TextStartsAtTheNextWholePixel) {
  load_font(DynString(""), 0);
  print_text(DynString("H"), 3.4, 20);
  show_screen();
  EXPECT_EQ(get_pixel(4 + 2, 21), kWhite);
}

TEST_F(RuntimeTest, FontNumbersAreClamped) {
  set_font(40);
  EXPECT_EQ(engine().current_font, 31);
  set_font(-3);
  EXPECT_EQ(engine().current_font, 0);
  set_font(2.9);
  EXPECT_EQ(engine().current_font, 2);
  load_font(DynString("no-such-font.bmp"), 5);
  EXPECT_EQ(engine().current_font, 5);
  double w = 0, h = 0;
  get_font_size(w, h);
  EXPECT_EQ(w, 8);  // the built-in font took its place
}

// A font picture whose every cell is filled with a colour of its own.
uint32_t cell_colour(int k) { return 0x010101u * static_cast<uint32_t>(k + 1) | 0x800000u; }

std::vector<uint32_t> cell_picture(int width, int height, int rows) {
  const int cw = width / 16, ch = height / rows;
  std::vector<uint32_t> p(static_cast<size_t>(width * height));
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) p[static_cast<size_t>(y * width + x)] = cell_colour((y / ch) * 16 + x / cw);
  return p;
}

TEST_F(RuntimeTest, WideFontHasEightRowsAndFoldsHighCodes) {
  std::string path = temp_dir() + "/font256x128.bmp";
  write_bmp24(path, 256, 128, cell_picture(256, 128, 8));
  load_font(DynString(path.c_str()), 1);
  double w = 0, h = 0;
  get_font_size(w, h);
  EXPECT_EQ(w, 16);
  EXPECT_EQ(h, 16);
  print_text(DynString("\xC8" "A"), 0, 0);  // code 200, then 65
  show_screen();
  EXPECT_EQ(get_pixel(0, 0), cell_colour(72));
  EXPECT_EQ(get_pixel(15, 15), cell_colour(72));
  EXPECT_EQ(get_pixel(16, 0), cell_colour(65));
}

TEST_F(RuntimeTest, TallFontHasSixteenRows) {
  std::string path = temp_dir() + "/font256x512.bmp";
  write_bmp24(path, 256, 512, cell_picture(256, 512, 16));
  load_font(DynString(path.c_str()), 2);
  double w = 0, h = 0;
  get_font_size(w, h);
  EXPECT_EQ(w, 16);
  EXPECT_EQ(h, 32);
  print_text(DynString("\xC8"), 0, 0);
  print_number(7, 0, 40);
  show_screen();
  EXPECT_EQ(get_pixel(8, 16), cell_colour(200));
  EXPECT_EQ(get_pixel(8, 56), cell_colour('7'));
}

TEST_F(RuntimeTest, EmptyTextDrawsNothing) {
  load_font(DynString(""), 0);
  print_text(DynString(""), 0, 0);
  show_screen();
  EXPECT_EQ(get_pixel(1, 1), 0);
}

}  // namespace
}  // namespace quarvel_test
