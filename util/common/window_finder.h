#ifndef UTIL_COMMON_WINDOW_FINDER_H
#define UTIL_COMMON_WINDOW_FINDER_H

// Finding a visible top-level window of the desktop by the start of its title.

#include "util/base/cstring.h"
#include "util/util_export.h"

class UTIL_EXPORT WindowFinder {
  public:
    // The platform's window handle (an X11 window ID on POSIX); null is no window.
    using WindowHandle = void*;

    // The first visible top-level window, in the platform's order (top-most first), whose
    // title begins with prefix, letter case ignored; null when there is none, and always
    // without a display. Windows with an empty or unreadable title are passed over, and only
    // the first 1023 characters of a title take part:
    //   titles "Update - Tessmar", "Tessmar Tool"   prefix "TESSMAR" -> "Tessmar Tool"
    //   hidden "Tessmar Setup", visible "Tessmar"   prefix "tessmar" -> "Tessmar"
    //   prefix ""                                   -> the first visible window with a title
    static WindowHandle FindWindowStartingWith(const CString& prefix);

    // The current title of window into *title (when title is not null); false when it cannot be
    // read (no such window, no display), leaving *title untouched.
    static bool GetWindowTitle(WindowHandle window, CString* title);
};

#endif  // UTIL_COMMON_WINDOW_FINDER_H
