#include "platform/sdl/x11_window.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <unistd.h>

#include <utility>

#if defined(ORBA_HAVE_X11) && defined(SDL_VIDEO_DRIVER_X11)
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xproto.h>
#include <X11/Xutil.h>

#include <set>
#define ORBA_X11_WINDOW 1
#endif

namespace orba {

#ifdef ORBA_X11_WINDOW
namespace {

// GLX's errors about a drawable, counted from the extension's first error.
constexpr int kGlxBadDrawable = 2, kGlxBadWindow = 12;

// The player's watched X windows and those found destroyed (a client never
// hands out a window's id again, so they are kept), and the error handler
// that was in place before ours (SDL's, which ends the process); what the
// program does when the connection is lost.
struct TWatchedWindows {
  std::set<unsigned long> Windows, Destroyed;
  XErrorHandler Previous = nullptr;
  int GlxFirstError = -1;
  std::function<void()> Lost;
  pid_t Player = 0;  // the process that set the handlers
  // The request after a failed question for a gone window's parent.
  unsigned long AfterGoneQuery = 0;
};

TWatchedWindows& AllWatched() {
  static TWatchedWindows watched;
  return watched;
}

// Whether the error says its window is not there (any more).
bool SaysGone(const XErrorEvent& e, int glx_first_error) {
  if (e.error_code == BadWindow || e.error_code == BadDrawable) return true;
  if (glx_first_error < 0) return false;
  const int glx = e.error_code - glx_first_error;
  return glx == kGlxBadDrawable || glx == kGlxBadWindow;
}

// An error about a watched window that is gone marks it destroyed and goes
// no further; any other error goes to the handler before ours. SDL asks a
// moved window for its parent and then translates from that parent: for a
// gone window the question fails, the parent it reads is no window at all,
// and the translation right after fails on it; that error goes no further
// either.
int OnXError(Display* display, XErrorEvent* e) {
  TWatchedWindows& w = AllWatched();
  if (w.Windows.count(e->resourceid) != 0 &&
      (w.Destroyed.count(e->resourceid) != 0 || SaysGone(*e, w.GlxFirstError))) {
    w.Destroyed.insert(e->resourceid);
    if (e->request_code == X_QueryTree) w.AfterGoneQuery = e->serial + 1;
    return 0;
  }
  if (e->request_code == X_TranslateCoords && e->error_code == BadWindow && e->serial == w.AfterGoneQuery &&
      w.AfterGoneQuery != 0)
    return 0;
  return w.Previous != nullptr ? w.Previous(display, e) : 0;
}

// The connection is gone: Xlib would print "X connection broken" and call
// exit(), whose handlers and static destructors may reach X again. The
// program's handler ends the process; if it returns, this does. A child
// process (SDL shows its message boxes in one, on a connection of its own)
// just ends: its parent finds the loss on its own connection.
int OnXIOError(Display*) {
  const TWatchedWindows& w = AllWatched();
  if (getpid() == w.Player && w.Lost) w.Lost();
  ::_exit(1);
}

}  // namespace

void TX11Window::CatchErrors() {
  TWatchedWindows& w = AllWatched();
  static bool installed = false;
  if (installed) return;
  installed = true;
  w.Previous = XSetErrorHandler(OnXError);
  w.Player = getpid();
  XSetIOErrorHandler(OnXIOError);
}

void TX11Window::SetConnectionLost(std::function<void()> lost) { AllWatched().Lost = std::move(lost); }

TX11Window::TX11Window(SDL_Window* window, TBackground background) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window == nullptr || SDL_GetWindowWMInfo(window, &info) != SDL_TRUE || info.subsystem != SDL_SYSWM_X11) return;
  Display* display = info.info.x11.display;
  display_ = display;
  window_ = info.info.x11.window;
  TWatchedWindows& w = AllWatched();
  w.Windows.insert(info.info.x11.window);
  int opcode = 0, first_event = 0, first_error = 0;
  w.GlxFirstError = XQueryExtension(display, "GLX", &opcode, &first_event, &first_error) ? first_error : -1;
  // What the window shows keeps its place in the middle, as the letterbox
  // keeps the picture, and what a resize uncovers is the background.
  XSetWindowAttributes attributes{};
  attributes.background_pixel = background == TBackground::White ? WhitePixel(display, DefaultScreen(display))
                                                                 : BlackPixel(display, DefaultScreen(display));
  attributes.bit_gravity = CenterGravity;
  XChangeWindowAttributes(display, info.info.x11.window, CWBackPixel | CWBitGravity, &attributes);
  had_wm_events_ = SDL_EventState(SDL_SYSWMEVENT, SDL_ENABLE) == SDL_ENABLE;
}

TX11Window::~TX11Window() {
  if (window_ == 0) return;
  // Another watched window (the game's, under a box) still needs them.
  if (!had_wm_events_) SDL_EventState(SDL_SYSWMEVENT, SDL_DISABLE);
  XSync(static_cast<Display*>(display_), False);
}

void TX11Window::Note(const SDL_Event& event) {
  if (window_ == 0 || event.type != SDL_SYSWMEVENT || event.syswm.msg == nullptr ||
      event.syswm.msg->subsystem != SDL_SYSWM_X11)
    return;
  const XEvent& x = event.syswm.msg->msg.x11.event;
  TWatchedWindows& w = AllWatched();
  if (x.type == DestroyNotify && w.Windows.count(x.xdestroywindow.window) != 0)
    w.Destroyed.insert(x.xdestroywindow.window);
}

bool TX11Window::Destroyed() const { return window_ != 0 && AllWatched().Destroyed.count(window_) != 0; }

void TX11Window::BeforeDestroy() {
  if (window_ == 0) return;
  Display* display = static_cast<Display*>(display_);
  // The destruction may not have been seen yet (the player ended for
  // another reason): on a gone window the question fails, and the error
  // handler marks it destroyed.
  XWindowAttributes attributes;
  if (!Destroyed() && XGetWindowAttributes(display, window_, &attributes) != 0) return;
  if (!Destroyed()) return;
  // SDL waits for this event while hiding the window; if it asks nothing
  // (the window already counts as hidden) the event stays in the queue
  // until the display closes.
  XEvent unmapped{};
  unmapped.xunmap.type = UnmapNotify;
  unmapped.xunmap.send_event = True;
  unmapped.xunmap.display = display;
  unmapped.xunmap.event = window_;
  unmapped.xunmap.window = window_;
  unmapped.xunmap.from_configure = False;
  XPutBackEvent(display, &unmapped);
}

void TX11Window::SetOldTitle(const char* title) {
  if (window_ == 0 || Destroyed()) return;
  Display* display = static_cast<Display*>(display_);
  // Xlib converts from UTF-8 whatever the process's locale.
  char* list[] = {const_cast<char*>(title)};
  XTextProperty name{};
  if (Xutf8TextListToTextProperty(display, list, 1, XStdICCTextStyle, &name) < Success) return;
  XSetWMName(display, window_, &name);
  XSetWMIconName(display, window_, &name);
  XFree(name.value);
}

void TX11Window::MakeDialogOf(SDL_Window* parent, int32_t x, int32_t y, int32_t width, int32_t height) {
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (window_ == 0 || parent == nullptr || SDL_GetWindowWMInfo(parent, &info) != SDL_TRUE ||
      info.subsystem != SDL_SYSWM_X11)
    return;
  Display* display = static_cast<Display*>(display_);
  XSetTransientForHint(display, window_, info.info.x11.window);
  const Atom type = XInternAtom(display, "_NET_WM_WINDOW_TYPE", False);
  const Atom dialog = XInternAtom(display, "_NET_WM_WINDOW_TYPE_DIALOG", False);
  XChangeProperty(display, window_, type, XA_ATOM, 32, PropModeReplace, reinterpret_cast<const unsigned char*>(&dialog),
                  1);
  // Modal: a window manager that knows the state gives the focus that a
  // click on the game window asks for to the box instead. Added to what SDL
  // set there.
  const Atom state = XInternAtom(display, "_NET_WM_STATE", False);
  const Atom modal = XInternAtom(display, "_NET_WM_STATE_MODAL", False);
  XChangeProperty(display, window_, state, XA_ATOM, 32, PropModeAppend, reinterpret_cast<const unsigned char*>(&modal),
                  1);
  // Where the caller placed it (over the game window): the position is the
  // window's own, not its frame's (static gravity); and one size only: the
  // window manager then offers no resizing or maximising.
  XSizeHints* hints = XAllocSizeHints();
  if (hints != nullptr) {
    hints->flags = USPosition | PPosition | PMinSize | PMaxSize | PWinGravity;
    hints->win_gravity = StaticGravity;
    hints->x = x;
    hints->y = y;
    hints->min_width = hints->max_width = width;
    hints->min_height = hints->max_height = height;
    XSetWMNormalHints(display, window_, hints);
    XFree(hints);
  }
  // The Motif hints, which window managers still read for a title bar's
  // buttons: move and close; a border, a title and the window menu.
  constexpr long kFunctionsAndDecorations = 1 | 2, kMove = 4, kClose = 32, kBorder = 2, kTitle = 8, kMenu = 16;
  const long motif[5] = {kFunctionsAndDecorations, kMove | kClose, kBorder | kTitle | kMenu, 0, 0};
  const Atom motif_hints = XInternAtom(display, "_MOTIF_WM_HINTS", False);
  XChangeProperty(display, window_, motif_hints, motif_hints, 32, PropModeReplace,
                  reinterpret_cast<const unsigned char*>(motif), 5);
}

#else

void TX11Window::CatchErrors() {}
void TX11Window::SetConnectionLost(std::function<void()>) {}
TX11Window::TX11Window(SDL_Window*, TBackground) {}
TX11Window::~TX11Window() = default;
void TX11Window::Note(const SDL_Event&) {}
bool TX11Window::Destroyed() const { return false; }
void TX11Window::BeforeDestroy() {}
void TX11Window::SetOldTitle(const char*) {}
void TX11Window::MakeDialogOf(SDL_Window*, int32_t, int32_t, int32_t, int32_t) {}

#endif

}  // namespace orba
