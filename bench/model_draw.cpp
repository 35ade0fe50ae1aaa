// Model drawing: a 5000-triangle model drawn 100 times per frame, lit by a
// point light, on the off-screen surface at an unlimited frame rate, in
// triangles per second, against a plain static vertex buffer drawn with
// glDrawArrays (the same triangles, normals and colours, the same
// transforms and light) in the same run.
//
//   KeyFrame       every draw at a whole key frame
//   Blended        every draw at one fractional frame, new each frame
//   BlendedEach    every draw at its own fractional frame (the worst case)
//   PlainBuffer    the baseline
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include <quarvel/quarvel.h>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"
#include "gfx3d/formats/ddd_writer.h"

namespace {

constexpr int kDrawsPerFrame = 100;
constexpr int kRings = 50, kSegments = 50;  // 2 x 50 x 50 = 5000 triangles
constexpr int kTriangles = 2 * kRings * kSegments;

using Vertex = quarvel::DddBinarySource::Vertex;

// A sphere of radius 1 as a triangle list, squashed a little in frame 1.
std::vector<Vertex> sphere(float squash) {
  std::vector<Vertex> out;
  auto point = [&](int ring, int segment) {
    const float theta = 3.14159265f * static_cast<float>(ring) / kRings;
    const float phi = 6.2831853f * static_cast<float>(segment) / kSegments;
    const float n[3] = {std::sin(theta) * std::cos(phi), std::cos(theta), std::sin(theta) * std::sin(phi)};
    return Vertex{{n[0], n[1] * squash, n[2]}, {n[0], n[1], n[2]}, static_cast<uint8_t>((ring + segment) % 2)};
  };
  for (int r = 0; r < kRings; ++r)
    for (int s = 0; s < kSegments; ++s) {
      const Vertex a = point(r, s), b = point(r + 1, s), c = point(r + 1, s + 1), d = point(r, s + 1);
      for (const Vertex& v : {a, c, b, a, d, c}) out.push_back(v);
    }
  return out;
}

struct Placement {
  float x, y, z;
};

const std::vector<Placement>& placements() {
  static const std::vector<Placement> p = [] {
    std::vector<Placement> out;
    uint32_t s = 4242;
    for (int i = 0; i < kDrawsPerFrame; ++i) {
      s = s * 1664525u + 1013904223u;
      const float x = static_cast<float>((s >> 8) % 200) / 10.0f - 10.0f;
      s = s * 1664525u + 1013904223u;
      const float y = static_cast<float>((s >> 8) % 140) / 10.0f - 7.0f;
      out.push_back({x, y, -30.0f});
    }
    return out;
  }();
  return p;
}

void start() {
  static bool started = false;
  if (started) return;
  started = true;
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("QUARVEL_NO_DIALOGS", "1", 0);
  setenv("QUARVEL_SCALE", "1", 0);
  static char name[] = "bench_model_draw";
  char* argv[] = {name, nullptr};
  quarvel::set_command_line(1, argv);
  quarvel::start_runtime(quarvel::kShowNormal, "models");
  quarvel::DddBinarySource source;
  source.colours = {0x4080C0, 0x80C040};
  source.frames = {sphere(1.0f), sphere(0.6f)};
  const std::vector<uint8_t> bytes = quarvel::write_ddd_binary(source);
  const std::string path =
      std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/bench_model_draw.ddd";
  std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                               static_cast<std::streamsize>(bytes.size()));
  quarvel::load_object(quarvel::DynString(path.c_str()), 1);
  quarvel::limit_frame_rate(1e6);  // no frame wait worth the name
}

void begin_frame() {
  quarvel::start_3d_view(1, 100, 60);
  quarvel::set_3d_light(0, 0xFFFFFF, 20, 20, 10, 0, 0, 0, 360);
}

void count(benchmark::State& state) {
  state.counters["triangles_per_s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kDrawsPerFrame * kTriangles, benchmark::Counter::kIsRate);
}

void BM_DrawObject(benchmark::State& state) {
  start();
  const int mode = static_cast<int>(state.range(0));  // 0 key frame, 1 blended, 2 blended each
  double frame = 0.0;
  for (auto _ : state) {
    begin_frame();
    frame += 0.013;
    int k = 0;
    for (const Placement& p : placements()) {
      quarvel::move_object(p.x, p.y, p.z);
      const double f = mode == 0 ? 0.0 : mode == 1 ? 0.5 + std::fmod(frame, 0.4) : 0.1 + 0.008 * k++;
      quarvel::draw_object(1, f);
    }
    quarvel::show_screen();
  }
  count(state);
  state.SetLabel(mode == 0 ? "key frame" : mode == 1 ? "blended" : "blended, each draw its own frame");
}

void BM_PlainStaticBuffer(benchmark::State& state) {
  start();
  const quarvel::GlEntryPoints& gl = quarvel::gl;
  if (!gl.glGenBuffersARB) {
    state.SkipWithError("no buffer objects");
    return;
  }
  // The same triangles: positions and normals interleaved in one buffer,
  // the colours in another (the faster of the layouts tried: one buffer
  // of position, normal and colour, 28 bytes a vertex, drew at about two
  // thirds of this speed on Mesa's llvmpipe).
  std::vector<float> shape;
  std::vector<uint8_t> colours;
  for (const Vertex& v : sphere(1.0f)) {
    shape.insert(shape.end(), {v.position[0], v.position[1], v.position[2], v.normal[0], v.normal[1], v.normal[2]});
    const uint32_t c = v.colour_index ? 0x80C040u : 0x4080C0u;
    colours.insert(colours.end(),
                   {static_cast<uint8_t>(c), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c >> 16), 255});
  }
  const GLsizei vertices = static_cast<GLsizei>(shape.size() / 6);
  GLuint buffers[2] = {0, 0};
  gl.glGenBuffersARB(2, buffers);
  gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, buffers[0]);
  gl.glBufferDataARB(GL_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(shape.size() * sizeof(float)), shape.data(),
                     GL_STATIC_DRAW_ARB);
  gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, buffers[1]);
  gl.glBufferDataARB(GL_ARRAY_BUFFER_ARB, static_cast<GLsizeiptrARB>(colours.size()), colours.data(),
                     GL_STATIC_DRAW_ARB);
  gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
  for (auto _ : state) {
    begin_frame();
    // The state a model draws with: normalised normals, the colour as
    // ambient and diffuse material.
    glEnable(GL_NORMALIZE);
    glColorMaterial(GL_FRONT_AND_BACK, GL_AMBIENT_AND_DIFFUSE);
    glEnable(GL_COLOR_MATERIAL);
    glEnableClientState(GL_VERTEX_ARRAY);
    glEnableClientState(GL_NORMAL_ARRAY);
    glEnableClientState(GL_COLOR_ARRAY);
    gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, buffers[0]);
    glVertexPointer(3, GL_FLOAT, 6 * sizeof(float), reinterpret_cast<const void*>(0));
    glNormalPointer(GL_FLOAT, 6 * sizeof(float), reinterpret_cast<const void*>(3 * sizeof(float)));
    gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, buffers[1]);
    glColorPointer(4, GL_UNSIGNED_BYTE, 0, reinterpret_cast<const void*>(0));
    for (const Placement& p : placements()) {
      glPushMatrix();
      glTranslatef(p.x, p.y, p.z);
      glDrawArrays(GL_TRIANGLES, 0, vertices);
      glPopMatrix();
    }
    glDisableClientState(GL_COLOR_ARRAY);
    glDisableClientState(GL_NORMAL_ARRAY);
    glDisableClientState(GL_VERTEX_ARRAY);
    gl.glBindBufferARB(GL_ARRAY_BUFFER_ARB, 0);
    glDisable(GL_NORMALIZE);
    quarvel::show_screen();
  }
  gl.glDeleteBuffersARB(2, buffers);
  count(state);
}

}  // namespace

BENCHMARK(BM_PlainStaticBuffer)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_DrawObject)->Arg(0)->Arg(1)->Arg(2)->UseRealTime()->MinTime(2.0);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
