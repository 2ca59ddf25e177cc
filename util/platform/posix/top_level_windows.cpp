#include "util/platform/top_level_windows.h"

#include <X11/Xatom.h>
#include <X11/Xutil.h>

#include <algorithm>

#include "util/base/utf.h"
#include "util/platform/posix/x11_library.h"

namespace util_platform {

namespace {

// Longest title read, in 32-bit units of the protocol (16 K bytes).
constexpr long kTitleUnits = 4096;
// Longest window list read (in windows).
constexpr long kListUnits = 65536;

int IgnoreXError(Display*, XErrorEvent*) {
    return 0;
}

// One connection to the X server of $DISPLAY, with X errors ignored while it is open.
class Session {
  public:
    Session() : x_(x11::Load()) {
        if (!x_) return;
        display_ = x_->OpenDisplay(nullptr);
        if (!display_) return;
        previous_handler_ = x_->SetErrorHandler(&IgnoreXError);
        client_list_ = x_->InternAtom(display_, "_NET_CLIENT_LIST_STACKING", False);
        net_wm_name_ = x_->InternAtom(display_, "_NET_WM_NAME", False);
        utf8_string_ = x_->InternAtom(display_, "UTF8_STRING", False);
        wm_state_ = x_->InternAtom(display_, "WM_STATE", False);
    }
    ~Session() {
        if (!display_) return;
        x_->Sync(display_, False);  // deliver every pending error while ours is installed
        x_->SetErrorHandler(previous_handler_);
        x_->CloseDisplay(display_);
    }
    Session(const Session&) = delete;
    Session& operator=(const Session&) = delete;

    bool IsOpen() const { return display_ != nullptr; }

    std::vector<Window> TopLevel() const {
        Window root = x_->DefaultRoot(display_);
        std::vector<Window> windows;
        // Both lists run bottom to top.
        if (!ReadWindowList(root, client_list_, &windows)) {
            Window root_back = 0, parent = 0, *children = nullptr;
            unsigned count = 0;
            if (x_->QueryTree(display_, root, &root_back, &parent, &children, &count)) {
                windows.assign(children, children + count);
                if (children) x_->Free(children);
            }
        }
        std::reverse(windows.begin(), windows.end());
        return windows;
    }

    bool Title(Window window, std::u16string* title) const {
        std::string bytes;
        Atom type = None;
        if (!ReadProperty(window, net_wm_name_, &type, &bytes)) return false;
        if (type == utf8_string_) {
            *title = util_base::Utf8ToUtf16(bytes);
            return true;
        }
        if (!ReadProperty(window, XA_WM_NAME, &type, &bytes)) return false;
        if (type == utf8_string_) {
            *title = util_base::Utf8ToUtf16(bytes);
        } else {
            // STRING is Latin-1; COMPOUND_TEXT is read as Latin-1 too, which is exact for its
            // common ASCII and Latin-1 content.
            title->assign(bytes.begin(), bytes.end());
            for (char16_t& unit : *title) unit = static_cast<unsigned char>(unit);
        }
        return true;
    }

    // Viewable, or unmapped by a window manager that still keeps it as a shown window: its
    // WM_STATE is IconicState (minimised) or NormalState (on another desktop).
    bool Visible(Window window) const {
        XWindowAttributes attributes;
        if (!x_->GetWindowAttributes(display_, window, &attributes)) return false;
        if (attributes.map_state == IsViewable) return true;
        const long state = WindowManagerState(window);
        return state == IconicState || state == NormalState;
    }

  private:
    // A property's raw bytes (8-bit format); *type is None when the window has no such property.
    bool ReadProperty(Window window, Atom property, Atom* type, std::string* bytes) const {
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (x_->GetWindowProperty(display_, window, property, 0, kTitleUnits, False,
                                  AnyPropertyType, type, &format, &count, &after, &data) != Success)
            return false;
        bytes->clear();
        if (data && format == 8) bytes->assign(reinterpret_cast<const char*>(data), count);
        if (data) x_->Free(data);
        return true;
    }

    // The first item of the window's WM_STATE property, WithdrawnState when it has none.
    long WindowManagerState(Window window) const {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        long state = WithdrawnState;
        if (x_->GetWindowProperty(display_, window, wm_state_, 0, 2, False, wm_state_, &type,
                                  &format, &count, &after, &data) == Success &&
            type == wm_state_ && format == 32 && count >= 1 && data)
            state = reinterpret_cast<const long*>(data)[0];  // 32-bit items arrive as longs
        if (data) x_->Free(data);
        return state;
    }

    bool ReadWindowList(Window root, Atom property, std::vector<Window>* windows) const {
        Atom type = None;
        int format = 0;
        unsigned long count = 0, after = 0;
        unsigned char* data = nullptr;
        if (x_->GetWindowProperty(display_, root, property, 0, kListUnits, False, XA_WINDOW, &type,
                                  &format, &count, &after, &data) != Success)
            return false;
        bool found = type == XA_WINDOW && format == 32 && data;
        // Xlib hands 32-bit items over as longs.
        if (found) {
            const unsigned long* items = reinterpret_cast<const unsigned long*>(data);
            windows->assign(items, items + count);
        }
        if (data) x_->Free(data);
        return found;
    }

    const x11::Library* x_;
    Display* display_ = nullptr;
    XErrorHandler previous_handler_ = nullptr;
    Atom client_list_ = None;
    Atom net_wm_name_ = None;
    Atom utf8_string_ = None;
    Atom wm_state_ = None;
};

}  // namespace

std::vector<TopLevelWindow> TopLevelWindows() {
    std::vector<TopLevelWindow> result;
    Session session;
    if (!session.IsOpen()) return result;
    for (Window window : session.TopLevel()) {
        TopLevelWindow entry;
        entry.id = static_cast<WindowId>(window);
        entry.title_readable = session.Title(window, &entry.title);
        entry.visible = session.Visible(window);
        result.push_back(std::move(entry));
    }
    return result;
}

bool ReadWindowTitle(WindowId window, std::u16string* title) {
    Session session;
    return window != 0 && session.IsOpen() && session.Title(static_cast<Window>(window), title);
}

}  // namespace util_platform
