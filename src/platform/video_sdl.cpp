// Window, GL context, events and dialogs over SDL2.
#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xutil.h>
#include <dlfcn.h>
#include <malloc.h>

#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <cstring>

#include "platform/platform.h"

namespace quarvel::platform {
namespace {

SDL_Window* g_window = nullptr;
SDL_GLContext g_context = nullptr;
bool g_video_ready = false;
// Fullscreen as the runtime last set it, and until when (SDL ticks) the
// window manager may still be carrying that out.
bool g_fullscreen_set = false;
Uint64 g_fullscreen_settle_ms = 0;

// Events queued by inject_key / inject_window_event; they come before the
// system's own. Tests push them from other threads.
std::mutex g_injected_lock;
std::deque<Event> g_injected;

bool env_is_one(const char* name) {
  const char* v = std::getenv(name);
  return v && std::strcmp(v, "1") == 0;
}

bool env_set(const char* name) {
  const char* v = std::getenv(name);
  return v && *v;
}

// Why no window can be opened when no video driver that shows anything
// could start.
std::string no_display_cause() {
  if (env_set("DISPLAY")) return std::string("cannot open a window: cannot connect to the display ") + std::getenv("DISPLAY");
  if (env_set("WAYLAND_DISPLAY")) {
    return std::string("cannot open a window: cannot connect to the display ") + std::getenv("WAYLAND_DISPLAY");
  }
  return "cannot open a window: no display (DISPLAY is not set)";
}

// Xlib, which SDL has loaded already (null if it cannot be had).
void* xlib_library() {
  static void* xlib = dlopen("libX11.so.6", RTLD_LAZY | RTLD_LOCAL);
  return xlib;
}

// The window's X display and window; false when it is not an X11 window.
bool x11_window(Display*& display, Window& window) {
  if (!g_window || std::strcmp(SDL_GetCurrentVideoDriver(), "x11") != 0) return false;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (!SDL_GetWindowWMInfo(g_window, &info) || info.subsystem != SDL_SYSWM_X11) return false;
  display = info.info.x11.display;
  window = info.info.x11.window;
  return display != nullptr;
}

// The window manager's fullscreen state of the window (_NET_WM_STATE), read
// through Xlib; false when it cannot be told (not X11).
bool wm_fullscreen_state(bool& on) {
  Display* display = nullptr;
  Window window = 0;
  if (!x11_window(display, window)) return false;
  using InternAtom = Atom (*)(Display*, const char*, Bool);
  using GetProperty = int (*)(Display*, Window, Atom, long, long, Bool, Atom, Atom*, int*, unsigned long*,
                              unsigned long*, unsigned char**);
  using Free = int (*)(void*);
  void* xlib = xlib_library();
  static auto intern = xlib ? reinterpret_cast<InternAtom>(dlsym(xlib, "XInternAtom")) : nullptr;
  static auto get = xlib ? reinterpret_cast<GetProperty>(dlsym(xlib, "XGetWindowProperty")) : nullptr;
  static auto release = xlib ? reinterpret_cast<Free>(dlsym(xlib, "XFree")) : nullptr;
  if (!intern || !get || !release) return false;
  const Atom state = intern(display, "_NET_WM_STATE", False);
  const Atom fullscreen = intern(display, "_NET_WM_STATE_FULLSCREEN", False);
  Atom type = 0;
  int format = 0;
  unsigned long count = 0, after = 0;
  unsigned char* data = nullptr;
  if (get(display, window, state, 0, 64, False, XA_ATOM, &type, &format, &count, &after, &data) !=
      Success) {
    return false;
  }
  on = false;
  if (data && type == XA_ATOM && format == 32) {
    const long* atoms = reinterpret_cast<const long*>(data);
    for (unsigned long i = 0; i < count; ++i) on = on || static_cast<Atom>(atoms[i]) == fullscreen;
  }
  if (data) release(data);
  return true;
}

// What the X server shows of the window, through Xlib.
struct XlibImageCalls {
  using GetImage = XImage* (*)(Display*, Drawable, int, int, unsigned, unsigned, unsigned long, int);
  using GetAttributes = Status (*)(Display*, Window, XWindowAttributes*);
  using Sync = int (*)(Display*, Bool);
  using SetHandler = XErrorHandler (*)(XErrorHandler);
  GetImage get_image = nullptr;
  GetAttributes attributes = nullptr;
  Sync sync = nullptr;
  SetHandler set_handler = nullptr;
  bool loaded() const { return get_image && attributes && sync && set_handler; }
};

const XlibImageCalls& xlib_image_calls() {
  static const XlibImageCalls calls = [] {
    XlibImageCalls c;
    void* xlib = xlib_library();
    if (!xlib) return c;
    c.get_image = reinterpret_cast<XlibImageCalls::GetImage>(dlsym(xlib, "XGetImage"));
    c.attributes = reinterpret_cast<XlibImageCalls::GetAttributes>(dlsym(xlib, "XGetWindowAttributes"));
    c.sync = reinterpret_cast<XlibImageCalls::Sync>(dlsym(xlib, "XSync"));
    c.set_handler = reinterpret_cast<XlibImageCalls::SetHandler>(dlsym(xlib, "XSetErrorHandler"));
    return c;
  }();
  return calls;
}

int ignore_x_error(Display*, XErrorEvent*) { return 0; }

// The lowest set bit of a channel mask and whether the channel is 8 bits.
bool channel_shift(unsigned long mask, int& shift) {
  if (mask == 0) return false;
  shift = 0;
  while (!(mask & 1)) {
    mask >>= 1;
    ++shift;
  }
  return mask == 0xFF;
}

// True when the window manager's fullscreen state differs from the one the
// runtime last set (and the runtime's own switch is not still under way).
bool wm_fullscreen_changed(bool& on) {
  if (SDL_GetTicks64() < g_fullscreen_settle_ms) return false;
  if (!wm_fullscreen_state(on)) return false;
  return on != g_fullscreen_set;
}

Event translate(const SDL_Event& e) {
  Event out;
  switch (e.type) {
    case SDL_QUIT:
      out.type = EventType::close;
      break;
    case SDL_WINDOWEVENT:
      switch (e.window.event) {
        case SDL_WINDOWEVENT_CLOSE: out.type = EventType::close; break;
        case SDL_WINDOWEVENT_FOCUS_LOST: out.type = EventType::focus_lost; break;
        // Minimised counts as losing the focus, whatever the window manager
        // does with the focus meanwhile.
        case SDL_WINDOWEVENT_MINIMIZED: out.type = EventType::focus_lost; break;
        case SDL_WINDOWEVENT_FOCUS_GAINED: out.type = EventType::focus_gained; break;
        case SDL_WINDOWEVENT_EXPOSED: out.type = EventType::window_exposed; break;
        case SDL_WINDOWEVENT_MOVED:
        case SDL_WINDOWEVENT_SHOWN:
        case SDL_WINDOWEVENT_SIZE_CHANGED: {
          // A window manager puts a window into fullscreen or out of it on
          // its own (a menu, a key binding, a pager): the window only moves.
          bool on = false;
          if (wm_fullscreen_changed(on)) {
            out.type = EventType::wm_fullscreen;
            out.button = on ? 1 : 0;
          } else {
            out.type = EventType::other;
          }
          break;
        }
        default: out.type = EventType::other; break;
      }
      break;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
      out.type = e.type == SDL_KEYDOWN ? EventType::key_down : EventType::key_up;
      out.scan_code = scan_code_from_sdl(e.key.keysym.scancode);
      out.repeat = e.key.repeat != 0;
      break;
    case SDL_MOUSEMOTION:
      out.type = EventType::mouse_motion;
      out.x = e.motion.x;
      out.y = e.motion.y;
      out.xrel = e.motion.xrel;
      out.yrel = e.motion.yrel;
      break;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
      // Ours: 1 left, 2 right, 3 middle (SDL counts the middle one second).
      switch (e.button.button) {
        case SDL_BUTTON_LEFT: out.button = 1; break;
        case SDL_BUTTON_RIGHT: out.button = 2; break;
        case SDL_BUTTON_MIDDLE: out.button = 3; break;
        default: out.button = 0; break;
      }
      out.type = out.button == 0                   ? EventType::other
                 : e.type == SDL_MOUSEBUTTONDOWN ? EventType::mouse_button_down
                                                 : EventType::mouse_button_up;
      out.x = e.button.x;
      out.y = e.button.y;
      break;
    case SDL_MOUSEWHEEL:
      out.type = EventType::mouse_wheel;
      out.wheel = e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.wheel.y : e.wheel.y;
      break;
    case SDL_JOYBUTTONDOWN:
      // A game controller's buttons come as controller events.
      if (joystick_is_controller(e.jbutton.which)) {
        out.type = EventType::other;
        break;
      }
      out.type = EventType::joystick_button_down;
      out.device = e.jbutton.which;
      out.button = e.jbutton.button < 32 ? e.jbutton.button : -1;
      break;
    case SDL_CONTROLLERBUTTONDOWN:
      out.type = EventType::joystick_button_down;
      out.device = e.cbutton.which;
      out.button = controller_button_byte(e.cbutton.button);
      switch (e.cbutton.button) {
        case SDL_CONTROLLER_BUTTON_DPAD_UP: out.pad = PadControl::up; break;
        case SDL_CONTROLLER_BUTTON_DPAD_DOWN: out.pad = PadControl::down; break;
        case SDL_CONTROLLER_BUTTON_DPAD_LEFT: out.pad = PadControl::left; break;
        case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: out.pad = PadControl::right; break;
        case SDL_CONTROLLER_BUTTON_START: out.pad = PadControl::start; break;
        case SDL_CONTROLLER_BUTTON_BACK: out.pad = PadControl::back; break;
        case SDL_CONTROLLER_BUTTON_GUIDE: out.pad = PadControl::guide; break;
        default: break;
      }
      break;
    case SDL_JOYDEVICEADDED:
      out.type = EventType::joystick_added;
      out.device = e.jdevice.which;
      break;
    case SDL_JOYDEVICEREMOVED:
      out.type = EventType::joystick_removed;
      out.device = e.jdevice.which;
      break;
    default:
      out.type = EventType::other;
      break;
  }
  return out;
}

}  // namespace

bool video_init(std::string& error) {
  if (g_video_ready) return true;
  // The GL driver allocates and frees vertex and scene memory of a few
  // megabytes at every large draw. With the C library's adaptive limits
  // that memory may be handed back to the system after each frame and
  // faulted in anew at the next (a quarter of a frame's time in page faults
  // when drawing 20 000 sprites under a virtual machine); fixed limits
  // keep up to 64 MB of it for the next frame.
  mallopt(M_MMAP_THRESHOLD, 32 * 1024 * 1024);
  mallopt(M_TRIM_THRESHOLD, 64 * 1024 * 1024);
  // The window class the window manager sees.
  setenv("SDL_VIDEO_X11_WMCLASS", "Quarvel", 0);
  // Keys are read by the runtime itself; no text input method is needed
  // for that, and the compositor must not be switched off for a 2D game.
  SDL_SetHint(SDL_HINT_VIDEO_X11_NET_WM_BYPASS_COMPOSITOR, "0");
  SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "0");
  const char* asked = std::getenv("SDL_VIDEODRIVER");
  const bool driver_asked = asked && *asked;
  if (!driver_asked && !env_set("WAYLAND_DISPLAY") && !env_set("XDG_RUNTIME_DIR")) {
    // No Wayland session can be reached; trying would only print the
    // library's own complaint about the runtime directory.
    SDL_SetHint(SDL_HINT_VIDEODRIVER, "x11,kmsdrm,offscreen,dummy");
  }
  if (SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) != 0) {
    error = driver_asked ? std::string("cannot start the video system: ") + SDL_GetError() : no_display_cause();
    return false;
  }
  // Without a display SDL falls back to a driver that shows nothing; that
  // is a failure unless such a driver was asked for by name.
  const char* driver = SDL_GetCurrentVideoDriver();
  if (driver && (std::strcmp(driver, "offscreen") == 0 || std::strcmp(driver, "dummy") == 0) &&
      (!driver_asked || !std::strstr(asked, driver))) {
    error = no_display_cause();
    SDL_QuitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS);
    return false;
  }
  g_video_ready = true;
  return true;
}

bool video_ready() { return g_video_ready; }

void video_quit() {
  window_destroy();
  if (g_video_ready) SDL_Quit();
  g_video_ready = false;
}

const char* video_driver() {
  const char* name = g_video_ready ? SDL_GetCurrentVideoDriver() : nullptr;
  return name ? name : "";
}

bool video_has_display() {
  return std::strcmp(video_driver(), "offscreen") != 0 && std::strcmp(video_driver(), "dummy") != 0;
}

bool non_interactive() { return env_is_one("QUARVEL_NO_DIALOGS") || !video_has_display(); }

bool desktop_size(int& width, int& height) {
  SDL_DisplayMode mode;
  int display = g_window ? SDL_GetWindowDisplayIndex(g_window) : 0;
  if (display < 0) display = 0;
  if (SDL_GetDesktopDisplayMode(display, &mode) != 0) return false;
  width = mode.w;
  height = mode.h;
  return true;
}

bool desktop_usable_size(int& width, int& height) {
  int display = g_window ? SDL_GetWindowDisplayIndex(g_window) : 0;
  if (display < 0) display = 0;
  SDL_Rect r;
  if (SDL_GetDisplayUsableBounds(display, &r) != 0 || r.w <= 0 || r.h <= 0) return desktop_size(width, height);
  width = r.w;
  height = r.h;
  return true;
}

bool window_set_icon(const uint8_t* rgba, int width, int height) {
  if (!g_window || !rgba || width <= 0 || height <= 0) return false;
  SDL_Surface* icon = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint8_t*>(rgba), width, height, 32, width * 4,
                                                         SDL_PIXELFORMAT_RGBA32);
  if (!icon) return false;
  SDL_SetWindowIcon(g_window, icon);
  SDL_FreeSurface(icon);
  return true;
}

bool window_create(const WindowRequest& request, std::string& error) {
  if (!g_video_ready && !video_init(error)) return false;
  SDL_GL_SetAttribute(SDL_GL_CONTEXT_PROFILE_MASK, SDL_GL_CONTEXT_PROFILE_COMPATIBILITY);
  SDL_GL_SetAttribute(SDL_GL_DOUBLEBUFFER, 1);
  SDL_GL_SetAttribute(SDL_GL_RED_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_GREEN_SIZE, 8);
  SDL_GL_SetAttribute(SDL_GL_BLUE_SIZE, 8);
  // A window that shows the surface at its own size is drawn into directly,
  // so it asks for the buffers of the off-screen frame (alpha, depth and
  // stencil); a window system that has no such visual gets a plain one, and
  // every frame is drawn off-screen and copied into it.
  SDL_Window* window = nullptr;
  for (int plain = 0; plain < 2 && !window; ++plain) {
    SDL_GL_SetAttribute(SDL_GL_ALPHA_SIZE, plain ? 0 : 8);
    SDL_GL_SetAttribute(SDL_GL_DEPTH_SIZE, plain ? 0 : 24);
    SDL_GL_SetAttribute(SDL_GL_STENCIL_SIZE, plain ? 0 : 8);
    window = SDL_CreateWindow(request.caption, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, request.width,
                              request.height, SDL_WINDOW_OPENGL | SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI);
  }
  if (!window) {
    error = std::string("cannot create the window: ") + SDL_GetError();
    return false;
  }
  if (g_context) {
    // Keep the context (and with it every texture) across a new window.
    if (SDL_GL_MakeCurrent(window, g_context) != 0) {
      SDL_GL_DeleteContext(g_context);
      g_context = nullptr;
    }
  }
  if (!g_context) {
    g_context = SDL_GL_CreateContext(window);
    if (!g_context) {
      error = std::string("cannot create an OpenGL context: ") + SDL_GetError();
      SDL_DestroyWindow(window);
      return false;
    }
    if (SDL_GL_MakeCurrent(window, g_context) != 0) {
      // One retry with a fresh context.
      SDL_GL_DeleteContext(g_context);
      g_context = SDL_GL_CreateContext(window);
      if (!g_context || SDL_GL_MakeCurrent(window, g_context) != 0) {
        error = std::string("cannot use the OpenGL context: ") + SDL_GetError();
        SDL_DestroyWindow(window);
        return false;
      }
    }
  }
  // Presentation is paced by the runtime, never by the display.
  SDL_GL_SetSwapInterval(0);
  if (g_window) SDL_DestroyWindow(g_window);
  g_window = window;
  return true;
}

void window_destroy() {
  if (g_context) {
    SDL_GL_MakeCurrent(nullptr, nullptr);
    SDL_GL_DeleteContext(g_context);
    g_context = nullptr;
  }
  if (g_window) {
    SDL_DestroyWindow(g_window);
    g_window = nullptr;
  }
}

bool window_exists() { return g_window != nullptr; }

void window_set_caption(const char* caption) {
  if (g_window) SDL_SetWindowTitle(g_window, caption);
}

std::string window_caption() { return g_window ? SDL_GetWindowTitle(g_window) : ""; }

void window_set_client_size(int width, int height) {
  if (g_window) SDL_SetWindowSize(g_window, width, height);
}

void window_center() {
  if (g_window) SDL_SetWindowPosition(g_window, SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED);
}

void window_show() {
  if (g_window) SDL_ShowWindow(g_window);
}

void window_hide() {
  if (g_window) SDL_HideWindow(g_window);
}

void window_raise() {
  if (g_window) SDL_RaiseWindow(g_window);
}

bool window_set_fullscreen(bool on) {
  if (!g_window) return false;
  const bool done = SDL_SetWindowFullscreen(g_window, on ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) == 0;
  if (done) {
    g_fullscreen_set = on;
    g_fullscreen_settle_ms = SDL_GetTicks64() + 750;
  }
  return done;
}

bool window_contents_readable() {
  Display* display = nullptr;
  Window window = 0;
  return x11_window(display, window) && xlib_image_calls().loaded();
}

bool window_shown_whole() {
  if (!g_window || (SDL_GetWindowFlags(g_window) & (SDL_WINDOW_HIDDEN | SDL_WINDOW_MINIMIZED)) != 0) return false;
  const int index = SDL_GetWindowDisplayIndex(g_window);
  SDL_Rect bounds;
  if (index < 0 || SDL_GetDisplayBounds(index, &bounds) != 0) return false;
  int x = 0, y = 0, w = 0, h = 0;
  SDL_GetWindowPosition(g_window, &x, &y);
  SDL_GetWindowSize(g_window, &w, &h);
  return x >= bounds.x && y >= bounds.y && x + w <= bounds.x + bounds.w && y + h <= bounds.y + bounds.h;
}

bool window_read_contents(uint8_t* rgba, int width, int height) {
  Display* display = nullptr;
  Window window = 0;
  const XlibImageCalls& x = xlib_image_calls();
  if (!rgba || width <= 0 || height <= 0 || !x11_window(display, window) || !x.loaded()) return false;
  XWindowAttributes attributes;
  if (!x.attributes(display, window, &attributes) || attributes.map_state != IsViewable ||
      attributes.width < width || attributes.height < height) {
    return false;
  }
  // A window partly outside the screen cannot be read; the error that says
  // so must not end the program.
  x.sync(display, False);
  const XErrorHandler before = x.set_handler(ignore_x_error);
  XImage* image = x.get_image(display, window, 0, 0, static_cast<unsigned>(width), static_cast<unsigned>(height),
                              ~0ul, ZPixmap);
  x.sync(display, False);
  x.set_handler(before);
  if (!image) return false;
  int rs = 0, gs = 0, bs = 0;
  const bool readable = image->bits_per_pixel == 32 && image->byte_order == LSBFirst &&
                        channel_shift(image->red_mask, rs) && channel_shift(image->green_mask, gs) &&
                        channel_shift(image->blue_mask, bs);
  for (int y = 0; readable && y < height; ++y) {
    const char* row = image->data + static_cast<size_t>(y) * static_cast<size_t>(image->bytes_per_line);
    uint8_t* out = rgba + static_cast<size_t>(y) * static_cast<size_t>(width) * 4;
    for (int px = 0; px < width; ++px, out += 4) {
      uint32_t p = 0;
      std::memcpy(&p, row + static_cast<size_t>(px) * 4, 4);
      out[0] = static_cast<uint8_t>(p >> rs);
      out[1] = static_cast<uint8_t>(p >> gs);
      out[2] = static_cast<uint8_t>(p >> bs);
      out[3] = 255;
    }
  }
  XDestroyImage(image);
  return readable;
}

void window_drawable_size(int& width, int& height) {
  width = height = 0;
  if (g_window) SDL_GL_GetDrawableSize(g_window, &width, &height);
}

void* window_handle() { return g_window; }

void gl_swap() {
  if (g_window) SDL_GL_SwapWindow(g_window);
}

void* gl_proc_address(const char* name) { return g_video_ready ? SDL_GL_GetProcAddress(name) : nullptr; }

void window_size(int& width, int& height) {
  width = height = 0;
  if (g_window) SDL_GetWindowSize(g_window, &width, &height);
}

bool mouse_position(int& x, int& y) {
  if (!g_window || SDL_GetMouseFocus() != g_window) return false;
  SDL_GetMouseState(&x, &y);
  return true;
}

bool mouse_relative_mode(bool on) {
  if (!g_video_ready) return false;
  return SDL_SetRelativeMouseMode(on ? SDL_TRUE : SDL_FALSE) == 0;
}

void mouse_warp(int x, int y) {
  if (g_window) SDL_WarpMouseInWindow(g_window, x, y);
}

void cursor_arrow() {
  if (!g_video_ready) return;
  SDL_SetCursor(SDL_GetDefaultCursor());
  SDL_ShowCursor(SDL_ENABLE);
}

void cursor_show(bool on) {
  if (g_video_ready) SDL_ShowCursor(on ? SDL_ENABLE : SDL_DISABLE);
}

void screen_saver_enable(bool on) {
  if (!g_video_ready) return;
  if (on) {
    SDL_EnableScreenSaver();
  } else {
    SDL_DisableScreenSaver();
  }
}

void message_box_warning(const char* caption, const char* text_utf8) {
  if (non_interactive()) return;
  SDL_ShowSimpleMessageBox(SDL_MESSAGEBOX_WARNING, caption, text_utf8, g_window);
}

void beep() {
  // There is no system beep to ask for; the terminal bell is the nearest.
  std::fputs("\a", stderr);
}

bool next_event(Event& event) {
  {
    std::lock_guard<std::mutex> lock(g_injected_lock);
    if (!g_injected.empty()) {
      event = g_injected.front();
      g_injected.pop_front();
      return true;
    }
  }
  if (!g_video_ready) return false;
  SDL_Event e;
  if (!SDL_PollEvent(&e)) return false;
  event = translate(e);
  return true;
}

namespace {
// A look at the window system's events costs system calls (a round trip
// to the X server); a game that asks for keys and the mouse several times a
// frame is given what the last look found while it is under a millisecond
// old. Events pushed into SDL's queue directly are there without a look.
void pump_events_unless_fresh() {
  static double last_pump_ms = -1.0e9;
  const double now = now_ms();
  if (now - last_pump_ms < 1.0) return;
  last_pump_ms = now;
  SDL_PumpEvents();
}
}  // namespace

void drain_keyboard_events(void (*sink)(const Event&, void*), void* context) {
  {
    std::lock_guard<std::mutex> lock(g_injected_lock);
    for (auto it = g_injected.begin(); it != g_injected.end();) {
      if (it->type == EventType::key_down || it->type == EventType::key_up) {
        sink(*it, context);
        it = g_injected.erase(it);
      } else {
        ++it;
      }
    }
  }
  if (!g_video_ready) return;
  pump_events_unless_fresh();
  SDL_Event batch[32];
  for (;;) {
    int n = SDL_PeepEvents(batch, 32, SDL_GETEVENT, SDL_KEYDOWN, SDL_KEYUP);
    if (n <= 0) break;
    for (int i = 0; i < n; ++i) sink(translate(batch[i]), context);
  }
}

void drain_mouse_events(void (*sink)(const Event&, void*), void* context) {
  if (!g_video_ready) return;
  pump_events_unless_fresh();
  SDL_Event batch[32];
  for (;;) {
    int n = SDL_PeepEvents(batch, 32, SDL_GETEVENT, SDL_MOUSEMOTION, SDL_MOUSEWHEEL);
    if (n <= 0) break;
    for (int i = 0; i < n; ++i) sink(translate(batch[i]), context);
  }
}

void keyboard_snapshot(uint8_t state[256]) {
  std::memset(state, 0, 256);
  if (!g_video_ready) return;
  int count = 0;
  const Uint8* keys = SDL_GetKeyboardState(&count);
  for (int sc = 0; sc < count; ++sc) {
    if (!keys[sc]) continue;
    int code = scan_code_from_sdl(sc);
    if (code > 0) state[code] = 0x80;
  }
}

void inject_key(int scan_code, bool down) {
  Event e;
  e.type = down ? EventType::key_down : EventType::key_up;
  e.scan_code = scan_code & 0xFF;
  std::lock_guard<std::mutex> lock(g_injected_lock);
  g_injected.push_back(e);
}

void inject_window_event(EventType type) {
  Event e;
  e.type = type;
  std::lock_guard<std::mutex> lock(g_injected_lock);
  g_injected.push_back(e);
}

}  // namespace quarvel::platform
