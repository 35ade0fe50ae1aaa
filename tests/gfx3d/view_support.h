// Shared helpers of the 3D tests: a fixture that ends every test with a
// presented frame (so the next one starts in 2D), the presented frame as
// packed colours, and GL state reads.
#pragma once

#include <GL/gl.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <quarvel/quarvel.h>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "gfx3d/vurivari3d.h"
#include "runtime_fixture.h"
#include "test_images.h"
#include "test_support.h"

namespace quarvel_test {

class View3DTest : public RuntimeTest {
 protected:
  void TearDown() override { quarvel::show_screen(); }

  static quarvel::Vurivari3D& renderer() { return *quarvel::engine().renderer3d; }

  static void load_solid_sprite(int slot, int w, int h, uint32_t colour) {
    const std::string path = temp_dir() + "/solid" + std::to_string(slot) + ".bmp";
    write_solid_bmp(path, w, h, colour);
    quarvel::load_sprite(quarvel::DynString(path.c_str()), slot);
  }

  // The presented frame as 0x00BBGGRR values, top row first.
 public:
  struct Frame {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
  };
  static Frame presented() {
    Frame f;
    quarvel::OpenGLVurivari& g = *quarvel::engine().gfx;
    f.width = g.surface_width;
    f.height = g.surface_height;
    std::vector<uint8_t> rgba(static_cast<size_t>(f.width) * f.height * 4);
    g.read_presented(rgba.data(), f.width, f.height);
    f.pixels.resize(static_cast<size_t>(f.width) * f.height);
    for (size_t i = 0; i < f.pixels.size(); ++i)
      f.pixels[i] = rgba[i * 4] | (rgba[i * 4 + 1] << 8) | (rgba[i * 4 + 2] << 16);
    return f;
  }

 protected:

  // Bounding box of the pixels that are not black.
  struct Box {
    int x0 = 1 << 30, y0 = 1 << 30, x1 = -1, y1 = -1, count = 0;
  };
  static Box lit_box(const Frame& f) {
    Box b;
    for (int y = 0; y < f.height; ++y)
      for (int x = 0; x < f.width; ++x)
        if (f.at(x, y) != 0) {
          b.x0 = std::min(b.x0, x);
          b.y0 = std::min(b.y0, y);
          b.x1 = std::max(b.x1, x);
          b.y1 = std::max(b.y1, y);
          ++b.count;
        }
    return b;
  }

  static int red(uint32_t c) { return c & 0xFF; }
  static int green(uint32_t c) { return (c >> 8) & 0xFF; }
  static int blue(uint32_t c) { return (c >> 16) & 0xFF; }

  static void gl_matrix(GLenum which, float m[16]) {
    quarvel::engine().gfx->flush_quads();
    glGetFloatv(which, m);
  }
  static bool enabled(GLenum cap) { return glIsEnabled(cap) == GL_TRUE; }
};

}  // namespace quarvel_test
