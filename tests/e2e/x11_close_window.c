/* X11 stand-in for the window manager in the end-to-end tests.
 *
 *   x11_close_window close <window-id>
 *       Sends the window a WM_DELETE_WINDOW request (a WM_PROTOCOLS client
 *       message), as a window manager does when its close button is clicked.
 *       Fails when the window does not exist or does not take part in
 *       WM_DELETE_WINDOW (a window manager would kill such a client instead).
 *
 *   x11_close_window fullscreen <window-id> <0|1>
 *       Asks the window manager to put the window into (1) or out of (0)
 *       fullscreen, as a window manager's menu or key binding does (a
 *       _NET_WM_STATE client message to the root window).
 *
 *   x11_close_window steal-focus <seconds>
 *       Maps a small window of its own, gives it the input focus, prints
 *       "focused <window-id>" once the server has confirmed the focus, and
 *       keeps the window for <seconds> before it exits.
 *
 * Exit codes: 0 done, 1 the request failed, 2 bad usage or no display.
 */
#define _POSIX_C_SOURCE 200809L

#include <X11/Xlib.h>
#include <X11/Xutil.h>

#include <errno.h>
#include <poll.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>

static const char* g_program = "x11_close_window";
static int g_x_error = 0;

static int note_x_error(Display* display, XErrorEvent* event) {
  char text[256];
  XGetErrorText(display, event->error_code, text, sizeof text);
  fprintf(stderr, "%s: X error: %s (request %d)\n", g_program, text, event->request_code);
  g_x_error = 1;
  return 0;
}

static double now_seconds(void) {
  struct timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return (double)ts.tv_sec + (double)ts.tv_nsec / 1e9;
}

/* Waits up to `seconds` for the next X event; returns 1 with the event in
 * `out`, 0 on time-out. */
static int next_event_within(Display* display, double seconds, XEvent* out) {
  double deadline = now_seconds() + seconds;
  for (;;) {
    if (XPending(display) > 0) {
      XNextEvent(display, out);
      return 1;
    }
    double left = deadline - now_seconds();
    if (left <= 0) return 0;
    struct pollfd pfd;
    pfd.fd = ConnectionNumber(display);
    pfd.events = POLLIN;
    pfd.revents = 0;
    int ms = (int)(left * 1000.0) + 1;
    if (poll(&pfd, 1, ms) < 0 && errno != EINTR) return 0;
  }
}

static int parse_window(const char* text, Window* out) {
  char* end = NULL;
  errno = 0;
  unsigned long value = strtoul(text, &end, 0);
  if (errno != 0 || end == text || *end != 0 || value == 0) return 0;
  *out = (Window)value;
  return 1;
}

static int parse_seconds(const char* text, double* out) {
  char* end = NULL;
  double value = strtod(text, &end);
  if (end == text || *end != 0 || !(value > 0) || value > 3600) return 0;
  *out = value;
  return 1;
}

static int close_window(Display* display, Window window) {
  XWindowAttributes attributes;
  if (!XGetWindowAttributes(display, window, &attributes) || g_x_error) {
    fprintf(stderr, "%s: no window 0x%lx\n", g_program, (unsigned long)window);
    return 1;
  }
  Atom protocols_atom = XInternAtom(display, "WM_PROTOCOLS", False);
  Atom delete_atom = XInternAtom(display, "WM_DELETE_WINDOW", False);

  Atom* protocols = NULL;
  int count = 0;
  int takes_delete = 0;
  if (XGetWMProtocols(display, window, &protocols, &count)) {
    for (int i = 0; i < count; ++i) {
      if (protocols[i] == delete_atom) takes_delete = 1;
    }
    XFree(protocols);
  }
  if (!takes_delete) {
    fprintf(stderr, "%s: window 0x%lx does not list WM_DELETE_WINDOW in WM_PROTOCOLS\n", g_program,
            (unsigned long)window);
    return 1;
  }

  XEvent event;
  memset(&event, 0, sizeof event);
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = protocols_atom;
  event.xclient.format = 32;
  event.xclient.data.l[0] = (long)delete_atom;
  event.xclient.data.l[1] = CurrentTime;
  if (!XSendEvent(display, window, False, NoEventMask, &event)) {
    fprintf(stderr, "%s: sending the close request failed\n", g_program);
    return 1;
  }
  XSync(display, False);
  return g_x_error ? 1 : 0;
}

static int steal_focus(Display* display, double seconds) {
  int screen = DefaultScreen(display);
  Window window = XCreateSimpleWindow(display, RootWindow(display, screen), 0, 0, 120, 90, 0,
                                      BlackPixel(display, screen), WhitePixel(display, screen));
  XStoreName(display, window, "Focus Thief");
  XClassHint class_hint;
  class_hint.res_name = (char*)"focusthief";
  class_hint.res_class = (char*)"FocusThief";
  XSetClassHint(display, window, &class_hint);
  XSelectInput(display, window, StructureNotifyMask | FocusChangeMask);
  XMapRaised(display, window);

  double deadline = now_seconds() + seconds;
  XEvent event;
  int mapped = 0;
  while (!mapped) {
    if (!next_event_within(display, deadline - now_seconds(), &event)) {
      fprintf(stderr, "%s: own window was never mapped\n", g_program);
      return 1;
    }
    if (event.type == MapNotify && event.xmap.window == window) mapped = 1;
  }

  XSetInputFocus(display, window, RevertToPointerRoot, CurrentTime);
  XSync(display, False);
  for (;;) {
    Window holder = None;
    int revert = 0;
    XGetInputFocus(display, &holder, &revert);
    if (holder == window) break;
    if (now_seconds() > deadline) {
      fprintf(stderr, "%s: could not take the input focus\n", g_program);
      return 1;
    }
    next_event_within(display, 0.05, &event);
  }
  printf("focused 0x%lx\n", (unsigned long)window);
  fflush(stdout);

  /* Keep the window (and with it the focus) until the time is up. */
  for (;;) {
    double left = deadline - now_seconds();
    if (left <= 0) break;
    next_event_within(display, left, &event);
  }
  XDestroyWindow(display, window);
  XSync(display, False);
  return 0;
}

static int request_fullscreen(Display* display, Window window, int on) {
  XEvent event;
  memset(&event, 0, sizeof event);
  event.xclient.type = ClientMessage;
  event.xclient.window = window;
  event.xclient.message_type = XInternAtom(display, "_NET_WM_STATE", False);
  event.xclient.format = 32;
  event.xclient.data.l[0] = on ? 1 : 0; /* _NET_WM_STATE_ADD / _REMOVE */
  event.xclient.data.l[1] = (long)XInternAtom(display, "_NET_WM_STATE_FULLSCREEN", False);
  event.xclient.data.l[3] = 1; /* from an application */
  if (!XSendEvent(display, DefaultRootWindow(display), False, SubstructureRedirectMask | SubstructureNotifyMask,
                  &event)) {
    fprintf(stderr, "%s: sending the fullscreen request failed\n", g_program);
    return 1;
  }
  XSync(display, False);
  return g_x_error ? 1 : 0;
}

static int usage(void) {
  fprintf(stderr,
          "usage: %s close <window-id>\n"
          "       %s fullscreen <window-id> <0|1>\n"
          "       %s steal-focus <seconds>\n",
          g_program, g_program, g_program);
  return 2;
}

int main(int argc, char** argv) {
  if (argc == 4 && strcmp(argv[1], "fullscreen") == 0) {
    Window target = None;
    if (!parse_window(argv[2], &target) || (strcmp(argv[3], "0") != 0 && strcmp(argv[3], "1") != 0)) return usage();
    Display* display = XOpenDisplay(NULL);
    if (!display) {
      fprintf(stderr, "%s: cannot open the display\n", g_program);
      return 2;
    }
    XSetErrorHandler(note_x_error);
    int result = request_fullscreen(display, target, argv[3][0] == '1');
    XCloseDisplay(display);
    return result;
  }
  if (argc != 3) return usage();

  Window window = None;
  double seconds = 0;
  int close_mode = strcmp(argv[1], "close") == 0;
  int steal_mode = strcmp(argv[1], "steal-focus") == 0;
  if (close_mode && !parse_window(argv[2], &window)) return usage();
  if (steal_mode && !parse_seconds(argv[2], &seconds)) return usage();
  if (!close_mode && !steal_mode) return usage();

  Display* display = XOpenDisplay(NULL);
  if (!display) {
    fprintf(stderr, "%s: cannot open the display\n", g_program);
    return 2;
  }
  XSetErrorHandler(note_x_error);
  int result = close_mode ? close_window(display, window) : steal_focus(display, seconds);
  XCloseDisplay(display);
  return result;
}
