// Bitmap fonts: 16 cells across, 8 or 16 rows, fixed pitch.
#include <algorithm>
#include <cmath>
#include <string>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "files/media_pack.h"
#include "gfx2d/draw_state.h"
#include "quarvel/graphics.h"
#include "quarvel/number_text.h"
#include "values/truncate.h"

namespace quarvel {

namespace {

int clamp_font(double n) { return std::clamp<int32_t>(truncate_to_int32(n), 0, kFontCount - 1); }

// The colour text is drawn in (set_text_colour); white draws the font as
// it is.
constexpr uint32_t kWhite = 0xFFFFFF;
uint32_t text_colour = kWhite;

}  // namespace

void set_text_colour(double colour) {
  const int64_t value = std::isfinite(colour) ? truncate_to_int64(colour) : -1;
  text_colour = value < 0 ? kWhite : static_cast<uint32_t>(value & 0xFFFFFF);
}

void OpenGLVurivari::print_string(int font, const char* text, uint32_t length, float x, float y, float z) {
  if (length == 0 || font < 0 || font >= kFontCount) return;
  const int slot = kFirstFontSlot + font;
  bind_slot_texture(slot, -1, false, nullptr);
  const int w = slots.image_width[slot], h = slots.image_height[slot];
  const int W = slots.padded_width[slot], H = slots.padded_height[slot];
  if (w <= 0 || h <= 0 || W <= 0 || H <= 0) return;
  const int rows = w < h ? 16 : 8;
  const float cw = static_cast<float>(w / 16);
  const float ch = static_cast<float>(h / rows);
  const float ds = (static_cast<float>(w) / static_cast<float>(W)) / 16.0f;
  const float dt = (static_cast<float>(h) / static_cast<float>(H)) / static_cast<float>(rows);
  float X = std::ceil(x);
  const float Y = std::ceil(y);

  text_vertices_.resize(static_cast<size_t>(length) * 4 * 5);
  float* v = text_vertices_.data();
  const unsigned cells = 16u * static_cast<unsigned>(rows);
  for (uint32_t i = 0; i < length; ++i) {
    const unsigned k = static_cast<unsigned char>(text[i]) % cells;
    const float s0 = ds * static_cast<float>(k % 16), s1 = s0 + ds;
    const float t0 = dt * static_cast<float>(rows - 1 - static_cast<int>(k / 16)), t1 = t0 + dt;
    const float corners[20] = {X, Y + ch, z, s0, t0, X + cw, Y + ch, z, s1, t0,
                               X + cw, Y, z, s1, t1, X, Y, z, s0, t1};
    std::copy(corners, corners + 20, v);
    v += 20;
    X += cw;
  }
  glEnableClientState(GL_VERTEX_ARRAY);
  glVertexPointer(3, GL_FLOAT, 5 * sizeof(float), text_vertices_.data());
  if (current_slot >= 0) {
    glEnableClientState(GL_TEXTURE_COORD_ARRAY);
    glTexCoordPointer(2, GL_FLOAT, 5 * sizeof(float), text_vertices_.data() + 3);
  }
  const float a = alpha_value;
  if (text_colour != kWhite) {
    glColor4f(a * static_cast<float>(text_colour & 0xFF) / 255.0f,
              a * static_cast<float>((text_colour >> 8) & 0xFF) / 255.0f,
              a * static_cast<float>((text_colour >> 16) & 0xFF) / 255.0f, a);
  }
  {
    const WhiteTexture white(*this);
    glDrawArrays(GL_QUADS, 0, static_cast<GLsizei>(length * 4));
  }
  if (text_colour != kWhite) glColor4f(a, a, a, a);
  glDisableClientState(GL_TEXTURE_COORD_ARRAY);
  glDisableClientState(GL_VERTEX_ARRAY);
}

namespace {

void load_font_slot(const DynString& file_name, double font, bool report) {
  EngineState& e = engine();
  const int n = clamp_font(font);
  e.current_font = n;
  if (!e.gfx) return;
  DynString name = file_name;
  std::string why = "not found";
  if (resolve_asset_name(name) && e.gfx->load_font_image(n, name.c_str(), &why)) return;
  if (report) report_failed_load("load_font", file_name.c_str(), (why + "; the built-in font is used").c_str());
  e.gfx->use_default_font(n);
}

}  // namespace

void load_font(const DynString& file_name, double font) { load_font_slot(file_name, font, true); }

void load_font_quietly(const DynString& file_name, double font) { load_font_slot(file_name, font, false); }

void set_font(double font) { engine().current_font = clamp_font(font); }

void print_text(const DynString& text, double x, double y) {
  EngineState& e = engine();
  if (!e.gfx) return;
  e.gfx->print_string(e.current_font, text.c_str(), text.length_of(), static_cast<float>(x), static_cast<float>(y),
                      0.0f);
}

void print_number(double number, double x, double y) { print_text(number_to_text(number), x, y); }

void get_font_size(double& width, double& height) {
  EngineState& e = engine();
  width = height = 0;
  if (!e.gfx) return;
  const int slot = kFirstFontSlot + e.current_font;
  const int w = e.gfx->slots.image_width[slot], h = e.gfx->slots.image_height[slot];
  width = w / 16;
  height = w < h ? h / 16 : h / 8;
}

}  // namespace quarvel
