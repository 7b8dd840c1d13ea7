// What the game window (and a box's window, see below) needs of X11 beyond
// SDL, where SDL drives it through X11 (nothing elsewhere):
// - its background is black and its contents keep to its middle, so that
//   the server paints the area a grown window uncovers black at once, as
//   the letterbox's bars are, beside the picture, instead of showing what
//   lay there until the next repaint;
// - it may be destroyed by another client (the window manager, xdotool
//   windowclose, a session ending). SDL has no event for that, and Xlib's
//   default handler of the errors that requests on the gone window then
//   raise ends the process (BadWindow, exit 1). The X event of its
//   destruction is noted, and errors about the window are taken as that
//   destruction, so that the game can still end in order. SDL hides a
//   window before destroying it and waits for the server's word that it
//   is unmapped, which never comes for a window that is gone: before SDL
//   destroys it, a gone window's unmapping is handed to Xlib as if the
//   server had sent it, so that the player ends without waiting;
// - the connection to the server may be lost (the server ends, xkill).
//   Xlib then calls its I/O error handler and ends the process itself:
//   ours runs the handler the program set instead, which must not return;
// - its title is also set in a form that window managers reading only the
//   old title property (WM_NAME) show right: compound text where it is not
//   Latin-1 (SDL writes UTF-8 there, typed as Latin-1);
// - a message box or the icon chooser is a dialog of the game window:
//   transient for it (so the window manager keeps it above the game
//   window), modal (so that it keeps the keyboard), of the dialog type,
//   and of a fixed size without minimise and maximise buttons.
// The X headers stay in the source file. Window thread only.
#pragma once

#include <cstdint>
#include <functional>

union SDL_Event;
struct SDL_Window;

namespace orba {

class TX11Window {
 public:
  // Puts the handler of the errors about watched windows in place, once.
  // Called before SDL's video starts: SDL's own handler then passes errors
  // on to it, and SDL puts it back when its video ends, so that it also
  // takes the errors that come back while SDL closes its displays.
  static void CatchErrors();
  // What runs when the connection to the X server is lost: inside Xlib, on
  // the thread whose X request found it (the window thread), with X no
  // longer usable. It should end the process (_exit); when it returns, or
  // none is set, the process ends with exit code 1. In a child process it
  // is not run.
  static void SetConnectionLost(std::function<void()> lost);
  // What the server shows where the window has no picture yet: black for
  // the game window (as the letterbox's bars), white for a box (as its
  // face, so that it does not flash black as it opens).
  enum class TBackground : uint8_t { Black, White };
  // Watches Window when SDL drives it through X11.
  explicit TX11Window(SDL_Window* window, TBackground background = TBackground::Black);
  // Takes the errors of the requests made on a destroyed window so far
  // (SDL's own destroying of it among them): called after SDL destroyed
  // the window and before its video ends.
  ~TX11Window();
  TX11Window(const TX11Window&) = delete;
  TX11Window& operator=(const TX11Window&) = delete;

  // Whether the window is an X11 one (and watched).
  bool Watched() const { return window_ != 0; }
  // Notes an event of SDL's: the X event (SDL_SYSWMEVENT) of a watched
  // window's destruction marks it destroyed, whichever window's watcher
  // sees it (a box's loop takes the game window's events too).
  void Note(const SDL_Event& event);
  // Whether another client destroyed the window.
  bool Destroyed() const;
  // Called before SDL destroys the window: asks the server whether the
  // window is still there (an error about it marks it destroyed) and, when
  // it is gone, queues the event of its unmapping for SDL to find.
  void BeforeDestroy();

  // Sets the old title property (WM_NAME) to Title (UTF-8) as compound text,
  // or as STRING when Latin-1 holds it. Called after SDL set the title.
  void SetOldTitle(const char* title);
  // Makes the window a dialog of Parent (an SDL window): transient for the
  // X window Parent really shows, modal, of the dialog type, at (X, Y) on the
  // screen, Width x Height and no other size, with a title bar that offers
  // moving and closing only. The window must not be shown yet: window
  // managers read these when it maps.
  void MakeDialogOf(SDL_Window* parent, int32_t x, int32_t y, int32_t width, int32_t height);

 private:
  void* display_ = nullptr;  // the X display SDL opened
  uint64_t window_ = 0;      // the X window; 0 when not watched
  // Whether SDL passed its X events on before this watcher asked for them.
  bool had_wm_events_ = false;
};

}  // namespace orba
