#include "util/platform/posix/x11_library.h"

#include <dlfcn.h>

namespace util_platform {
namespace x11 {

namespace {

template <typename T>
bool Resolve(void* handle, const char* name, T* function) {
    *function = reinterpret_cast<T>(::dlsym(handle, name));
    return *function != nullptr;
}

// Null when the library or any function is missing. The handle is kept for the life of the
// process: Xlib keeps global state that must not disappear under a live connection.
const Library* LoadOnce() {
    void* handle = ::dlopen("libX11.so.6", RTLD_NOW | RTLD_LOCAL);
    if (!handle) return nullptr;
    static Library library;
    Library& l = library;
    bool ok = Resolve(handle, "XOpenDisplay", &l.OpenDisplay) &&
              Resolve(handle, "XCloseDisplay", &l.CloseDisplay) &&
              Resolve(handle, "XDefaultRootWindow", &l.DefaultRoot) &&
              Resolve(handle, "XInternAtom", &l.InternAtom) &&
              Resolve(handle, "XGetWindowProperty", &l.GetWindowProperty) &&
              Resolve(handle, "XChangeProperty", &l.ChangeProperty) &&
              Resolve(handle, "XDeleteProperty", &l.DeleteProperty) &&
              Resolve(handle, "XFree", &l.Free) && Resolve(handle, "XQueryTree", &l.QueryTree) &&
              Resolve(handle, "XGetWindowAttributes", &l.GetWindowAttributes) &&
              Resolve(handle, "XSetErrorHandler", &l.SetErrorHandler) &&
              Resolve(handle, "XSync", &l.Sync) &&
              Resolve(handle, "XCreateSimpleWindow", &l.CreateSimpleWindow) &&
              Resolve(handle, "XDestroyWindow", &l.DestroyWindow) &&
              Resolve(handle, "XMapWindow", &l.MapWindow) &&
              Resolve(handle, "XUnmapWindow", &l.UnmapWindow) &&
              Resolve(handle, "XRaiseWindow", &l.RaiseWindow) &&
              Resolve(handle, "XStoreName", &l.StoreName) &&
              Resolve(handle, "XDefaultScreen", &l.DefaultScreenNumber) &&
              Resolve(handle, "XIconifyWindow", &l.IconifyWindow) &&
              Resolve(handle, "XSelectInput", &l.SelectInput) &&
              Resolve(handle, "XNextEvent", &l.NextEvent);
    return ok ? &library : nullptr;
}

}  // namespace

const Library* Load() {
    static const Library* const library = LoadOnce();
    return library;
}

}  // namespace x11
}  // namespace util_platform
