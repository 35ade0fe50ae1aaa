// Sprite commands, the alpha mode and the background commands.
#include <cmath>
#include <string>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "files/media_pack.h"
#include "gfx2d/draw_state.h"
#include "quarvel/graphics.h"
#include "quarvel/runtime.h"
#include "values/truncate.h"

namespace quarvel {

namespace {

OpenGLVurivari* core() { return engine().gfx; }

// The slot for a sprite number, or -1 when the number names no slot.
int slot_of(double n) {
  int32_t slot = truncate_to_int32(n);
  return valid_slot(slot) ? slot : -1;
}

struct SpriteGeometry {
  float w, h;    // picture size
  float sw, th;  // texture coordinates of the picture's right and top edge
};

// Binds the slot for drawing; false when the number names no slot. Natural
// size samples nearest, everything scaled or turned bilinear (font slots
// are nearest always).
bool bind_sprite(OpenGLVurivari& gfx, int slot, SpriteGeometry& g, bool natural_size) {
  if (slot < 0) return false;
  gfx.bind_slot_texture(slot, -1, false, nullptr);
  gfx.use_filter(slot, natural_size || slot >= kFirstFontSlot);
  const int32_t pw = gfx.slots.padded_width[slot], ph = gfx.slots.padded_height[slot];
  g.w = static_cast<float>(gfx.slots.image_width[slot]);
  g.h = static_cast<float>(gfx.slots.image_height[slot]);
  g.sw = pw > 0 ? g.w / static_cast<float>(pw) : 0.0f;
  g.th = ph > 0 ? g.h / static_cast<float>(ph) : 0.0f;
  return true;
}

// Loads into a sprite slot through the media pack; the slot is emptied first.
void load_into_sprite_slot(const char* command, const DynString& file_name, double n, int64_t key, bool normal_map) {
  OpenGLVurivari* gfx = core();
  int slot = slot_of(n);
  if (!gfx || slot < 0) return;
  gfx->delete_slot(slot);
  DynString name = file_name;
  if (!resolve_asset_name(name)) {
    report_failed_load(command, file_name.c_str(), "not found");
    return;
  }
  std::string why;
  if (!gfx->load_image_into_slot(slot, name.c_str(), key, normal_map, &why)) {
    report_failed_load(command, file_name.c_str(), why.c_str());
  }
}

}  // namespace

void load_sprite(const DynString& file_name, double slot) {
  if (core()) load_into_sprite_slot("load_sprite", file_name, slot, core()->sprite_transparent_colour, false);
}

void load_bump_texture(const DynString& file_name, double slot) {
  load_into_sprite_slot("load_bump_texture", file_name, slot, kDefaultSpriteKey, true);
}

void set_transparency(double colour) {
  OpenGLVurivari* gfx = core();
  if (!gfx) return;
  // Taken as a 64-bit integer, then its low 32 bits: -1 means no key.
  int64_t key = static_cast<int32_t>(static_cast<uint32_t>(truncate_to_int64(colour) & 0xFFFFFFFF));
  gfx->sprite_transparent_colour = key;
  gfx->font_transparent_colour = key;
}

void draw_sprite(double n, double x, double y) {
  OpenGLVurivari* gfx = core();
  SpriteGeometry g;
  if (!gfx || !bind_sprite(*gfx, slot_of(n), g, true) || g.w <= 0 || g.h <= 0) return;
  const float X = std::ceil(static_cast<float>(x)), Y = std::ceil(static_cast<float>(y));
  const float quad[16] = {g.sw, g.th, X + g.w, Y,        0, g.th, X, Y,
                          0,    0,    X,       Y + g.h,  g.sw, 0, X + g.w, Y + g.h};
  gfx->queue_quad(quad);
}

void stretch_sprite(double n, double x, double y, double width, double height) {
  OpenGLVurivari* gfx = core();
  SpriteGeometry g;
  // An empty slot draws nothing (it has no picture to stretch).
  if (!gfx || !bind_sprite(*gfx, slot_of(n), g, false) || g.w <= 0 || g.h <= 0) return;
  const float X = std::ceil(static_cast<float>(x)), Y = std::ceil(static_cast<float>(y));
  const float DW = std::ceil(static_cast<float>(width)), DH = std::ceil(static_cast<float>(height));
  const float quad[16] = {0,    0,    X,      Y + DH, g.sw, 0,    X + DW, Y + DH,
                          g.sw, g.th, X + DW, Y,      0,    g.th, X,      Y};
  const bool mirrored = (DW < 0) != (DH < 0);
  if (mirrored) {
    gfx->flush_quads();
    glFrontFace(GL_CW);
  }
  gfx->queue_quad(quad);
  if (mirrored) {
    gfx->flush_quads();
    glFrontFace(GL_CCW);
  }
}

void zoom_sprite(double n, double x, double y, double sx, double sy) {
  OpenGLVurivari* gfx = core();
  int slot = slot_of(n);
  if (!gfx || slot < 0) return;
  const double w = gfx->slots.image_width[slot], h = gfx->slots.image_height[slot];
  stretch_sprite(n, x - (sx * w - w) / 2, y - (sy * h - h) / 2, sx * w, sy * h);
}

void rotate_zoom_sprite(double n, double x, double y, double angle, double zoom) {
  OpenGLVurivari* gfx = core();
  SpriteGeometry g;
  if (!gfx || !bind_sprite(*gfx, slot_of(n), g, false) || g.w <= 0 || g.h <= 0) return;
  const int slot = slot_of(n);
  const float fzoom = static_cast<float>(zoom);
  const float hx = fzoom * g.w * 0.5f, hy = fzoom * g.h * 0.5f;
  const float W = static_cast<float>(gfx->slots.padded_width[slot]);
  const float H = static_cast<float>(gfx->slots.padded_height[slot]);
  const float s0 = 0.5f / W, t0 = 0.5f / H;
  gfx->flush_quads();
  glPushMatrix();
  glTranslatef(static_cast<float>(x) + static_cast<float>(gfx->slots.image_width[slot] / 2),
               static_cast<float>(y) + static_cast<float>(gfx->slots.image_height[slot] / 2), 0.0f);
  glRotatef(static_cast<float>(angle), 0.0f, 0.0f, -1.0f);
  const OpenGLVurivari::WhiteTexture white(*gfx);
  glBegin(GL_QUADS);
  glTexCoord2f(s0, t0);
  glVertex2f(-hx, hy);
  glTexCoord2f(g.sw, t0);
  glVertex2f(hx, hy);
  glTexCoord2f(g.sw, g.th);
  glVertex2f(hx, -hy);
  glTexCoord2f(s0, g.th);
  glVertex2f(-hx, -hy);
  glEnd();
  glPopMatrix();
}

void rotate_sprite(double n, double x, double y, double angle) { rotate_zoom_sprite(n, x, y, angle, 1.0); }

void set_alpha_mode(double value) {
  OpenGLVurivari* gfx = core();
  if (!gfx) return;
  gfx->flush_quads();
  float v = static_cast<float>(value);
  if (v > 0) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_ONE, GL_ONE);
  } else if (v < 0) {
    glEnable(GL_BLEND);
    glBlendFunc(GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA);
    v = -v;
  } else {
    // Zero, and anything that is not a number, is the opaque mode.
    glDisable(GL_BLEND);
    v = 1.0f;
  }
  if (v > 1.0f) v = 1.0f;
  gfx->alpha_value = v;
  glColor4f(v, v, v, v);
}

void reset_alpha_mode() { set_alpha_mode(0); }

void get_sprite_size(double n, double& width, double& height) {
  OpenGLVurivari* gfx = core();
  int slot = slot_of(n);
  width = gfx && slot >= 0 ? gfx->slots.image_width[slot] : 0;
  height = gfx && slot >= 0 ? gfx->slots.image_height[slot] : 0;
}

// ------------------------------------------------------------ backgrounds --

void draw_background_layer(int layer) {
  if (core()) core()->draw_background_layer(layer);
}

void clear_background() {
  OpenGLVurivari* gfx = core();
  if (!gfx) return;
  gfx->clear_background_layer(0);
  glClear(GL_COLOR_BUFFER_BIT);
}

void set_background(const DynString& file_name) {
  OpenGLVurivari* gfx = core();
  if (!gfx) return;
  DynString name = file_name;
  std::string why = "not found";
  if (resolve_asset_name(name) && gfx->load_background_layer(0, name.c_str(), &why)) {
    gfx->draw_background_layer(0);
  } else {
    report_failed_load("set_background", file_name.c_str(), why.c_str());
    clear_background();
  }
}

double load_background(const DynString& file_name) {
  OpenGLVurivari* gfx = core();
  if (!gfx) return 0;
  DynString name = file_name;
  if (!resolve_asset_name(name)) {
    report_failed_load("load_background", file_name.c_str(), "not found");
    return 0;
  }
  // Nothing else is resolved until the fade ends, so a file extracted from
  // the media pack is still there for the second load.
  gfx->grab_background_layer(2);
  std::string why;
  if (!gfx->load_background_layer(1, name.c_str(), &why)) report_failed_load("load_background", file_name.c_str(), why.c_str());
  clear_background();
  const double end = current_ms() + 1500;
  double a = 0.9;
  do {
    set_alpha_mode(a);
    gfx->draw_background_layer(2);
    set_alpha_mode(1 - a);
    gfx->draw_background_layer(1);
    show_screen();
    a = (end - current_ms()) / 1500;
  } while (a > 0 && a < 1);
  gfx->clear_background_layer(1);
  gfx->clear_background_layer(2);
  gfx->load_background_layer(0, name.c_str());
  set_alpha_mode(0);
  gfx->draw_background_layer(0);
  show_screen();
  return 1;
}

}  // namespace quarvel
