#include "gfx2d/draw_state.h"

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"

namespace quarvel {

namespace {
// Cell size of the built-in font.
constexpr double kBuiltinCellWidth = 8;
constexpr double kBuiltinCellHeight = 8;
}  // namespace

void release_texture_tables() {
  // No texture slots or background layers exist yet.
}

void reset_alpha_mode() {
  OpenGLVurivari* gfx = engine().gfx;
  if (!gfx) return;
  glDisable(GL_BLEND);
  gfx->alpha_value = 1.0f;
  glColor4f(1, 1, 1, 1);
}

void draw_background_layer(int /*layer*/) {
  // No background layers are loaded yet, so there is nothing to draw.
}

void clear_background() {
  if (!engine().gfx) return;
  glClear(GL_COLOR_BUFFER_BIT);
}

void load_font(const DynString& /*file_name*/, int font_slot) { engine().current_font = font_slot; }

void get_font_size(double& cell_width, double& cell_height) {
  cell_width = kBuiltinCellWidth;
  cell_height = kBuiltinCellHeight;
}

void print_text(double /*x*/, double /*y*/, const DynString& /*text*/) {}

}  // namespace quarvel
