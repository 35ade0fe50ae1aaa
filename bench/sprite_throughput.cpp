// Sprite throughput: 32 x 32 sprites from one slot per frame at an
// unlimited frame rate on the off-screen surface, against SDL's own OpenGL
// renderer (batching on) and against a plain glBegin/glEnd loop per quad,
// all in the same run. Counter: sprites per second.
//
// SDL is measured twice. /0 only swaps: on the offscreen driver a swap
// shows nothing and waits for nothing, so frames pile up unfinished and
// rendering overlaps the next frame's calls. /1 reads one pixel back after
// each frame, so that every frame is finished, as it must be before any
// display (or this runtime's presented frame) can show it.
#include <SDL.h>
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>
#include <vector>

#include <quarvel/quarvel.h>

#include "core/engine_state.h"
#include "core/opengl_vurivari.h"

namespace {

constexpr int kSpritesPerFrame = 2000;
constexpr int kSize = 32;

struct Position {
  float x, y;
};

const std::vector<Position>& positions() {
  static const std::vector<Position> p = [] {
    std::vector<Position> out;
    uint32_t s = 12345;
    for (int i = 0; i < kSpritesPerFrame; ++i) {
      s = s * 1664525u + 1013904223u;
      float x = static_cast<float>((s >> 8) % (320 - kSize));
      s = s * 1664525u + 1013904223u;
      float y = static_cast<float>((s >> 8) % (240 - kSize));
      out.push_back({x, y});
    }
    return out;
  }();
  return p;
}

std::vector<uint32_t> sprite_pixels() {
  std::vector<uint32_t> px(kSize * kSize);
  for (int y = 0; y < kSize; ++y)
    for (int x = 0; x < kSize; ++x) {
      int dx = x - 16, dy = y - 16;
      px[y * kSize + x] = dx * dx + dy * dy < 15 * 15 ? 0xFF2080C0u : 0;  // ABGR
    }
  return px;
}

void start_quarvel() {
  static bool started = false;
  if (started) return;
  started = true;
  setenv("SDL_VIDEODRIVER", "offscreen", 0);
  setenv("QUARVEL_NO_DIALOGS", "1", 0);
  setenv("QUARVEL_SCALE", "1", 0);
  static char name[] = "bench_sprite_throughput";
  char* argv[] = {name, nullptr};
  quarvel::set_command_line(1, argv);
  quarvel::start_runtime(quarvel::kShowNormal, "sprites");
  // A 32 x 32 bitmap written with the runtime's own loader path.
  std::string path = std::string(std::getenv("TMPDIR") ? std::getenv("TMPDIR") : "/tmp") + "/bench_sprite.bmp";
  std::vector<uint32_t> px = sprite_pixels();
  std::vector<uint8_t> file(54 + kSize * kSize * 3, 0);
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) file[at + i] = static_cast<uint8_t>(v >> (8 * i));
  };
  file[0] = 'B';
  file[1] = 'M';
  put32(10, 54);
  put32(14, 40);
  put32(18, kSize);
  put32(22, kSize);
  file[26] = 1;
  file[28] = 24;
  for (int row = 0; row < kSize; ++row)
    for (int x = 0; x < kSize; ++x) {
      uint32_t p = px[(kSize - 1 - row) * kSize + x];
      bool on = p != 0;
      uint8_t* o = &file[54 + (row * kSize + x) * 3];
      o[0] = on ? 0xC0 : 0x80;  // transparent key 0x8000FF elsewhere
      o[1] = on ? 0x80 : 0x00;
      o[2] = on ? 0x20 : 0xFF;
    }
  FILE* f = std::fopen(path.c_str(), "wb");
  std::fwrite(file.data(), 1, file.size(), f);
  std::fclose(f);
  quarvel::load_sprite(quarvel::DynString(path.c_str()), 1);
  quarvel::limit_frame_rate(1e6);  // no frame wait worth the name
}

void BM_QuarvelDrawSprite(benchmark::State& state) {
  start_quarvel();
  const auto& pos = positions();
  for (auto _ : state) {
    for (const Position& p : pos) quarvel::draw_sprite(1, p.x, p.y);
    quarvel::show_screen();
  }
  state.counters["sprites_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kSpritesPerFrame, benchmark::Counter::kIsRate);
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
  const auto& pos = positions();
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
  state.counters["sprites_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kSpritesPerFrame, benchmark::Counter::kIsRate);
}

void BM_SdlRendererBatched(benchmark::State& state) {
  start_quarvel();
  SDL_Window* own_window = SDL_GL_GetCurrentWindow();
  SDL_GLContext own_context = SDL_GL_GetCurrentContext();
  SDL_SetHint(SDL_HINT_RENDER_DRIVER, "opengl");
  SDL_SetHint(SDL_HINT_RENDER_BATCHING, "1");
  SDL_Window* window = SDL_CreateWindow("sdl", 0, 0, 320, 240, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN);
  SDL_Renderer* renderer = window ? SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED) : nullptr;
  if (!renderer) {
    state.SkipWithError(SDL_GetError());
    if (window) SDL_DestroyWindow(window);
    SDL_GL_MakeCurrent(own_window, own_context);
    return;
  }
  std::vector<uint32_t> px = sprite_pixels();
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(px.data(), kSize, kSize, 32, kSize * 4,
                                                            SDL_PIXELFORMAT_ABGR8888);
  SDL_Texture* texture = SDL_CreateTextureFromSurface(renderer, surface);
  SDL_FreeSurface(surface);
  SDL_SetTextureBlendMode(texture, SDL_BLENDMODE_BLEND);
  const auto& pos = positions();
  for (auto _ : state) {
    SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
    SDL_RenderClear(renderer);
    for (const Position& p : pos) {
      SDL_FRect dst{p.x, p.y, static_cast<float>(kSize), static_cast<float>(kSize)};
      SDL_RenderCopyF(renderer, texture, nullptr, &dst);
    }
    SDL_RenderPresent(renderer);
    if (state.range(0) == 1) {
      // Wait for the frame like a runtime that keeps the presented frame
      // readable does (the swap of an off-screen window alone does not).
      uint32_t pixel;
      SDL_Rect one{0, 0, 1, 1};
      SDL_RenderReadPixels(renderer, &one, SDL_PIXELFORMAT_ABGR8888, &pixel, 4);
    }
  }
  state.counters["sprites_per_s"] =
      benchmark::Counter(static_cast<double>(state.iterations()) * kSpritesPerFrame, benchmark::Counter::kIsRate);
  state.SetLabel(SDL_GetCurrentVideoDriver());
  SDL_DestroyTexture(texture);
  SDL_DestroyRenderer(renderer);
  SDL_DestroyWindow(window);
  SDL_GL_MakeCurrent(own_window, own_context);
}

}  // namespace

BENCHMARK(BM_QuarvelEmptyFrame)->UseRealTime()->MinTime(1.0);
BENCHMARK(BM_QuarvelDrawSprite)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_SdlRendererBatched)->Arg(0)->Arg(1)->UseRealTime()->MinTime(2.0);
BENCHMARK(BM_PlainGlBeginEndPerQuad)->UseRealTime()->MinTime(2.0);

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
