#ifndef UTIL_PLATFORM_TOP_LEVEL_WINDOWS_H
#define UTIL_PLATFORM_TOP_LEVEL_WINDOWS_H

// The desktop's top-level windows: their titles and whether they can be seen.
//
// POSIX: the X server named by $DISPLAY. Windows are those of _NET_CLIENT_LIST_STACKING when a
// window manager offers that list (its frames carry no titles), else the root window's
// children; either way in stacking order, top-most first, as a user sees them.
//
// Visible means what IsWindowVisible answers on Windows: the window is shown, even when it is
// minimised or on another virtual desktop. POSIX note: a window is visible when it is viewable
// (mapped, and so are the windows above it) or when a window manager keeps it as a shown
// window that it unmapped: WM_STATE says IconicState (minimised) or NormalState (the window
// of another desktop). A withdrawn window (unmapped, with WM_STATE absent or WithdrawnState)
// is not visible. libX11 is loaded at
// run time, so a machine without it, or without a display, simply has no windows.
//
// While a query runs, X protocol errors (a window that vanished meanwhile) are ignored through
// a temporary error handler; Xlib's error handler is process-wide, so a program that drives X
// from several threads at once should not run these queries concurrently with its own X calls.

#include <cstdint>
#include <string>
#include <vector>

namespace util_platform {

// A window's platform identity (an X11 window ID on POSIX); 0 is no window.
using WindowId = uintptr_t;

struct TopLevelWindow {
    WindowId id = 0;
    bool title_readable = false;  // false when the title could not be queried
    std::u16string title;         // long titles may come back cut after 16 K bytes
    bool visible = false;         // shown, or minimised (see above)
};

// The top-level windows at the moment of the call; empty without a display.
std::vector<TopLevelWindow> TopLevelWindows();

// The title of one window; false when it cannot be read (window gone, no display).
bool ReadWindowTitle(WindowId window, std::u16string* title);

}  // namespace util_platform

#endif  // UTIL_PLATFORM_TOP_LEVEL_WINDOWS_H
