// Sprite throughput: sprites from one slot per frame at an unlimited frame
// rate, against SDL's own OpenGL renderer (batching on, SDL_RenderCopyF)
// and against a plain glBegin/glEnd loop per quad, all in the same run.
// Counter: sprites per second. Two loads: 2000 sprites of 32 x 32 and
// 20 000 of 4 x 4 a frame, at the same positions for every contender.
//
// SDL is measured with nearest and with bilinear sampling (the runtime
// draws natural-size sprites with nearest sampling, which gives the same
// pixels as bilinear there), and twice more on the offscreen driver: /0
// only swaps (on the offscreen driver a swap shows nothing and waits for
// nothing, so frames pile up unfinished), /1 reads one pixel back after
// each frame, so that every frame is finished, as it must be before any
// display (or this runtime's presented frame) can show it.
//
// In a real window (scripts/bench-window.sh runs this under Xvfb with
// QUARVEL_BENCH_WINDOW=1) both draw into shown windows at scale 1 and the
// read-back is left out: that is what a game in a window does.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <quarvel/quarvel.h>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"

namespace {

// The two loads: sprite size and sprites per frame; sprite slot size.
struct Load {
  int size;
  int count;
};
constexpr Load kLoads[2] = {{32, 2000}, {4, 20000}};

bool in_window() {
  const char* v = std::getenv("QUARVEL_BENCH_WINDOW");
  return v && v[0] == '1';
}

struct Position {
  float x, y;
};

const std::vector<Position>& positions(int load) {
  static std::vector<Position> p[2];
  if (p[load].empty()) {
    const Load l = kLoads[load];
    uint32_t s = 12345;
    for (int i = 0; i < l.count; ++i) {
      s = s * 1664525u + 1013904223u;
      float x = static_cast<float>((s >> 8) % (320 - l.size));
      s = s * 1664525u + 1013904223u;
      float y = static_cast<float>((s >> 8) % (240 - l.size));
      p[load].push_back({x, y});
    }
  }
  return p[load];
}

// A filled circle (a square at 4 x 4), ABGR.
std::vector<uint32_t> sprite_pixels(int size) {
  std::vector<uint32_t> px(static_cast<size_t>(size * size));
  const float c = (size - 1) / 2.0f, r = size / 2.0f - 0.5f;
  for (int y = 0; y < size; ++y)
    for (int x = 0; x < size; ++x) {
      const float dx = x - c, dy = y - c;
      px[static_cast<size_t>(y * size + x)] = size <= 4 || dx * dx + dy * dy < r * r ? 0xFF2080C0u : 0;
    }
  return px;
}

// A bitmap written with the runtime's own loader path: the sprite in slot
// 1 + load.
void load_sprite_bitmap(int load) {
  const int size = kLoads[load].size;
  std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/bench_sprite" +
                     std::to_string(size) + ".bmp";
  std::vector<uint32_t> px = sprite_pixels(size);
  const int stride = (size * 3 + 3) & ~3;
  std::vector<uint8_t> file(54 + static_cast<size_t>(stride * size), 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(10, 54);
  put32(14, 40);
  put32(18, static_cast<uint32_t>(size));
  put32(22, static_cast<uint32_t>(size));
  file[26] = 1;
  file[28] = 24;
  for (int row = 0; row < size; ++row)
    for (int x = 0; x < size; ++x) {
      uint32_t p = px[static_cast<size_t>((size - 1 - row) * size + x)];
      bool on = p != 0;
      uint8_t* o = &file[54 + static_cast<size_t>(row * stride + x * 3)];
      o[0] = on ? 0xC0 : 0x80;  // transparent key 0x8000FF elsewhere
      o[1] = on ? 0x80 : 0x00;
      o[2] = on ? 0x20 : 0xFF;
    }
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(file.data(), 1, file.size(), f);
  std::fclose(f);
  quarvel::load_sprite(quarvel::DynString(path.c_str()), 1 + load);
}

void start_quarvel() {
  static bool started = false;
  if (started) return;
  started = true;
  if (!in_window()) setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("QUARVEL_NO_DIALOGS", "1", 0);
  setenv("QUARVEL_SCALE", "1", 0);
  static char name[] = "bench_sprite_throughput";
  char* argv[] = {name, nullptr};
  quarvel::set_command_line(1, argv);
  quarvel::start_runtime(quarvel::kShowNormal, "sprites");
  // SDL's windows take the focus in a window run; the runtime's must not
  // pause for that.
  quarvel::auto_pause(0);
  load_sprite_bitmap(0);
  load_sprite_bitmap(1);
  quarvel::limit_frame_rate(1e6);  // no frame wait worth the name
}

void count(benchmark::State& state, int load) {
  state.counters["sprites_per_s"] = benchmark::Counter(
      static_cast<double>(state.iterations()) * kLoads[load].count, benchmark::Counter::kIsRate);
  state.SetLabel(std::to_string(kLoads[load].count) + " x " + std::to_string(kLoads[load].size) + "px");
}

void BM_QuarvelDrawSprite(benchmark::State& state) {
  start_quarvel();
  const int load = static_cast<int>(state.range(0));
  const auto& pos = positions(load);
  for (auto _ : state) {
    for (const Position& p : pos) quarvel::draw_sprite(1 + load, p.x, p.y);
    quarvel::show_screen();
  }
  count(state, load);
}

// The fixed cost of a frame: show_screen with nothing drawn (presenting,
// clearing, the background and the next frame's 2D state).
void BM_QuarvelEmptyFrame(benchmark::State& state) {
  start_quarvel();
  for (auto _ : state) quarvel::show_screen();
  state.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_PlainGlBeginEndPerQuad(benchmark::State& state) {
  start_quarvel();
  const int load = 0;
  const int kSize = kLoads[load].size;
  const auto& pos = positions(load);
  quarvel::OpenGLVurivari& gfx = *quarvel::engine().gfx;
  const float sw = 1.0f, th = 1.0f;
  for (auto _ : state) {
    gfx.bind_slot_texture(1, -1, false, nullptr);
    for (const Position& p : pos) {
      glBegin(GL_QUADS);
      glTexCoord2f(sw, th);
      glVertex2f(p.x + kSize, p.y);
      glTexCoord2f(0, th);
      glVertex2f(p.x, p.y);
      glTexCoord2f(0, 0);
      glVertex2f(p.x, p.y + kSize);
      glTexCoord2f(sw, 0);
      glVertex2f(p.x + kSize, p.y + kSize);
      glEnd();
    }
    quarvel::show_screen();
  }
  count(state, load);
}

// SDL's OpenGL renderer in a window of the surface size, made current; the
// runtime's own context is made current again by ~SdlRenderer.
struct SdlRenderer {
  SDL_Window* own_window = SDL_GL_GetCurrentWindow();
  SDL_GLContext own_context = SDL_GL_GetCurrentContext();
  SDL_Window* window = nullptr;
  SDL_Renderer* renderer = nullptr;

  explicit SdlRenderer(benchmark::State& state) {
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "opengl");
    SDL_SetHint(SDL_HINT_RENDER_BATCHING, "1");
    // SDL's own defaults for the window's buffers, not the runtime's.
    SDL_GL_ResetAttributes();
    window = SDL_CreateWindow("sdl", 0, 0, 320, 240,
                              SDL_WINDOW_OPENGL | (in_window() ? SDL_WINDOW_SHOWN : SDL_WINDOW_HIDDEN));
    renderer = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED) : nullptr;
    if (!renderer) state.SkipWithError(SDL_GetError());
  }
  ~SdlRenderer() {
    if (renderer) SDL_DestroyRenderer(renderer);
    if (window) SDL_DestroyWindow(window);
    SDL_GL_MakeCurrent(own_window, own_context);
  }
  SdlRenderer(const SdlRenderer&) = delete;
  SdlRenderer& operator=(const SdlRenderer&) = delete;

  void clear() {
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
  }
  void present(bool read_back) {
    SDL_RenderPresent(renderer);
    if (read_back) {
      // Wait for the frame like a runtime that keeps the presented frame
      // readable does (the swap of an off-screen window alone does not).
      uint32_t pixel;
      SDL_Rect one{0, 0, 1, 1};
      SDL_RenderReadPixels(renderer, &one, SDL_PIXELFORMAT_ABGR8888, &pixel, 4);
    }
  }
};

void BM_SdlRendererBatched(benchmark::State& state) {
  start_quarvel();
  SdlRenderer sdl(state);
  if (!sdl.renderer) return;
  const int load = static_cast<int>(state.range(0));
  const bool linear = state.range(1) == 1;
  const bool read_back = state.range(2) == 1;
  const int kSize = kLoads[load].size;
  std::vector<uint32_t> px = sprite_pixels(kSize);
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(px.data(), kSize, kSize, 32, kSize * 4,
                                                            SDL_PIXELFORMAT_ABGR8888);
  SDL_Texture* texture = SDL_CreateTextureFromSurface(sdl.renderer, surface);
  SDL_FreeSurface(surface);
  SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
  SDL_SetTextureScaleMode(texture, linear ? SDL_ScaleModeLinear : SDL_ScaleModeNearest);
  const auto& pos = positions(load);
  for (auto _ : state) {
    sdl.clear();
    for (const Position& p : pos) {
      SDL_FRect dst{p.x, p.y, static_cast<float>(kSize), static_cast<float>(kSize)};
      SDL_RenderCopyF(sdl.renderer, texture, nullptr, &dst);
    }
    sdl.present(read_back);
  }
  count(state, load);
  state.SetLabel(std::string(SDL_GetCurrentVideoDriver()) + ", " + std::to_string(kLoads[load].count) + " x " +
                 std::to_string(kSize) + "px" + (linear ? ", bilinear" : ", nearest") + (read_back ? ", read back" : ""));
  SDL_DestroyTexture(texture);
}

// SDL's fixed cost of a frame beside BM_QuarvelEmptyFrame: a clear and a
// present.
void BM_SdlRendererEmptyFrame(benchmark::State& state) {
  start_quarvel();
  SdlRenderer sdl(state);
  if (!sdl.renderer) return;
  for (auto _ : state) {
    sdl.clear();
    sdl.present(false);
  }
  state.counters["frames_per_s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

}  // namespace

// Arguments: load (0: 2000 x 32 px, 1: 20 000 x 4 px); for SDL also
// sampling (0 nearest, 1 bilinear) and read-back (1: one pixel a frame).
BENCHMARK(BM_QuarvelEmptyFrame)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_SdlRendererEmptyFrame)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_QuarvelDrawSprite)->Arg(0)->Arg(1)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_SdlRendererBatched)
    ->Args({0, 0, 0})->Args({0, 1, 0})->Args({1, 0, 0})->Args({1, 1, 0})
    ->Args({0, 0, 1})->Args({1, 0, 1})
    ->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_PlainGlBeginEndPerQuad)->UseRealTime()->MinTime(2.0);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
