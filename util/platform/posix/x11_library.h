#ifndef UTIL_PLATFORM_POSIX_X11_LIBRARY_H
#define UTIL_PLATFORM_POSIX_X11_LIBRARY_H

// libX11, loaded at run time so that the library has no link-time dependency on X: a machine
// without libX11 runs everything else and simply finds no windows. Only declarations from the
// headers are used at build time.

#include <X11/Xlib.h>

namespace util_platform {
namespace x11 {

// The functions we call, resolved from libX11.so.6. The window-making ones serve the tests.
struct Library {
    decltype(&::XOpenDisplay) OpenDisplay;
    decltype(&::XCloseDisplay) CloseDisplay;
    decltype(&::XDefaultRootWindow) DefaultRoot;  // DefaultRootWindow is a macro
    decltype(&::XInternAtom) InternAtom;
    decltype(&::XGetWindowProperty) GetWindowProperty;
    decltype(&::XChangeProperty) ChangeProperty;
    decltype(&::XDeleteProperty) DeleteProperty;
    decltype(&::XFree) Free;
    decltype(&::XQueryTree) QueryTree;
    decltype(&::XGetWindowAttributes) GetWindowAttributes;
    decltype(&::XSetErrorHandler) SetErrorHandler;
    decltype(&::XSync) Sync;
    decltype(&::XCreateSimpleWindow) CreateSimpleWindow;
    decltype(&::XDestroyWindow) DestroyWindow;
    decltype(&::XMapWindow) MapWindow;
    decltype(&::XUnmapWindow) UnmapWindow;
    decltype(&::XRaiseWindow) RaiseWindow;
    decltype(&::XStoreName) StoreName;
    decltype(&::XDefaultScreen) DefaultScreenNumber;  // DefaultScreen is a macro
    decltype(&::XIconifyWindow) IconifyWindow;
    decltype(&::XSelectInput) SelectInput;
    decltype(&::XNextEvent) NextEvent;
};

// The loaded library (loaded once, never unloaded), or null when it is not installed.
const Library* Load();

}  // namespace x11
}  // namespace util_platform

#endif  // UTIL_PLATFORM_POSIX_X11_LIBRARY_H
