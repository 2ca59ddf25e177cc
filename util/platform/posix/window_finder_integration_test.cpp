// WindowFinder against a real X server: a private Xvfb, started on a free display number for
// this test program and stopped when it ends. A machine that cannot start Xvfb fails here.
// Without a server (no variable, or a display no server serves) the query lists nothing.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "util/common/window_finder.h"
#include "util/platform/posix/x11_library.h"
#include "util/platform/top_level_windows.h"
#include "util/testing/scoped_env_var.h"

#include <X11/Xutil.h>

namespace {

TEST(TopLevelWindowsWithoutADisplay, NothingIsListedAndNoTitleRead) {
    for (const char* display : {static_cast<const char*>(nullptr), ":7913"}) {
        util_testing::ScopedEnvVar variable(
            "DISPLAY", display ? std::optional<std::string>(display) : std::nullopt);
        EXPECT_TRUE(util_platform::TopLevelWindows().empty()) << (display ? display : "(unset)");
        std::u16string title = u"untouched";
        EXPECT_FALSE(util_platform::ReadWindowTitle(0x400001, &title));
        EXPECT_TRUE(title == u"untouched");
    }
}

// Xvfb on the first display number it finds free; it reports the number through a pipe once it
// accepts connections. An empty display() means it did not start. Stopped when destroyed, so
// also when a test fails; PR_SET_PDEATHSIG stops it should the test program crash.
struct Xvfb {
    Xvfb() {
        int fds[2];
        if (::pipe(fds) != 0) return;
        if ((pid_ = ::fork()) == 0) {
            ::close(fds[0]);
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);
            ::dup2(::open("/dev/null", O_WRONLY), STDERR_FILENO);
            // -noreset: by default the server resets when its last client leaves, and refuses
            // connections while it does, which the next test's connection could meet.
            ::execlp("Xvfb", "Xvfb", "-displayfd", std::to_string(fds[1]).c_str(), "-nolisten",
                     "tcp", "-noreset", "-screen", "0", "640x480x24", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        struct pollfd ready = {fds[0], POLLIN, 0};
        char ch;
        while (pid_ > 0 && ::poll(&ready, 1, 30000) == 1 && ::read(fds[0], &ch, 1) == 1 &&
               ch != '\n')
            number_ += ch;
        ::close(fds[0]);
    }
    ~Xvfb() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
    }
    std::string display() const { return number_.empty() ? "" : ":" + number_; }

    pid_t pid_ = -1;
    std::string number_;
};

struct WindowFinderOnX : ::testing::Test {
    void SetUp() override {
        static Xvfb server;  // one for the whole program, stopped when it ends
        ASSERT_NE(server.display(), "") << "cannot start Xvfb (is the xvfb package installed?)";
        ASSERT_NE(x_, nullptr) << "libX11.so.6 cannot be loaded";
        display_ = x_->OpenDisplay(server.display().c_str());
        ASSERT_NE(display_, nullptr) << "cannot connect to " << server.display();
        displayVariable_.emplace("DISPLAY", server.display());
        root_ = x_->DefaultRoot(display_);
    }
    void TearDown() override {
        if (!display_) return;
        for (Window window : windows_) x_->DestroyWindow(display_, window);
        x_->DeleteProperty(display_, root_, AtomNamed("_NET_CLIENT_LIST_STACKING"));
        x_->CloseDisplay(display_);
    }

    // A top-level window with a title (a Latin-1 WM_NAME, or a UTF-8 _NET_WM_NAME), raised
    // above every window made before it.
    Window Make(const std::string& title, bool mapped, bool utf8 = false) {
        Window window = x_->CreateSimpleWindow(display_, root_, 0, 0, 50, 20, 0, 0, 0);
        windows_.push_back(window);
        if (utf8)
            Set(window, "_NET_WM_NAME", "UTF8_STRING", 8, title.data(), title.size());
        else if (!title.empty())
            x_->StoreName(display_, window, title.c_str());
        if (mapped) x_->MapWindow(display_, window);
        x_->RaiseWindow(display_, window);
        x_->Sync(display_, False);
        return window;
    }
    // Sets a property of the type named `type` (e.g. "WINDOW" is XA_WINDOW).
    void Set(Window w, const char* name, const char* type, int bits, const void* data, size_t n) {
        x_->ChangeProperty(display_, w, AtomNamed(name), AtomNamed(type), bits, PropModeReplace,
                           static_cast<const unsigned char*>(data), int(n));
        x_->Sync(display_, False);
    }
    ::Atom AtomNamed(const char* name) { return x_->InternAtom(display_, name, False); }

    static auto Handle(Window w) { return reinterpret_cast<WindowFinder::WindowHandle>(w); }
    static auto Find(const char* s) {
        return WindowFinder::FindWindowStartingWith(CString::FromUtf8(s));
    }

    std::optional<util_testing::ScopedEnvVar> displayVariable_;
    const util_platform::x11::Library* x_ = util_platform::x11::Load();
    Display* display_ = nullptr;
    Window root_ = 0;
    std::vector<Window> windows_;
};

TEST_F(WindowFinderOnX, FindsTheFirstVisibleWindowByTitlePrefix) {
    // Made bottom to top, so the finder sees them in the reverse order. What the finder does with
    // the titles (letter case, a prefix only at the start) is the rule's business, tested over
    // made-up window lists; here the server's answers count: titles of both kinds, what is
    // mapped, the order.
    const std::string check = "\u00dcberpr\u00fcfung l\u00e4uft";  // UTF-8
    const Window tool = Make("Tessmar Firmware Tool", true), utf8 = Make(check, true, true);
    const Window update = Make("Update - Tessmar", true);
    Make("Tessmar hidden", false);
    Make("", true);  // untitled, top-most
    const std::pair<const char*, Window> cases[] = {
        {"TESSMAR", tool},  // the hidden one above it is passed over
        {"", update},       // the untitled and the hidden windows above it are passed over
        {"\u00fcBERPR\u00dcF", utf8},
    };
    for (const auto& [prefix, expected] : cases)
        EXPECT_EQ(Find(prefix), Handle(expected)) << prefix;
    CString title;
    ASSERT_TRUE(WindowFinder::GetWindowTitle(Handle(utf8), &title));
    EXPECT_EQ(title.ToUtf8(), check);
}

// Stacking order and mapping as the server has them now, or a window manager's client list
// (bottom to top) when it offers one.
TEST_F(WindowFinderOnX, OrderVisibilityAndClientListFollowTheServer) {
    const Window first = Make("Tessmar one", true), second = Make("Tessmar two", true);
    EXPECT_EQ(Find("tessmar"), Handle(second));
    x_->RaiseWindow(display_, first);
    x_->Sync(display_, False);
    EXPECT_EQ(Find("tessmar"), Handle(first));
    const Window unlisted = Make("Tessmar unlisted", true);  // top-most, but not a client
    const unsigned long clients[] = {first, second};
    Set(root_, "_NET_CLIENT_LIST_STACKING", "WINDOW", 32, clients, 2);
    EXPECT_EQ(Find("Tessmar"), Handle(second));  // `unlisted`, above it, is passed over
    // Without the list, the server's order again.
    x_->DeleteProperty(display_, root_, AtomNamed("_NET_CLIENT_LIST_STACKING"));
    x_->UnmapWindow(display_, unlisted);
    x_->DestroyWindow(display_, second);
    windows_.erase(windows_.begin() + 1);
    x_->Sync(display_, False);
    EXPECT_EQ(Find("tessmar"), Handle(first));
    CString title(u"untouched");
    EXPECT_FALSE(WindowFinder::GetWindowTitle(Handle(second), &title));
    EXPECT_EQ(title.ToUtf8(), "untouched");
}

// A minimised window is still shown (IsWindowVisible on Windows), although window managers
// unmap it and set its WM_STATE to IconicState; so is a window a manager keeps unmapped in
// NormalState (one of another desktop). A window the manager withdrew is not shown. The test
// plays the window manager: a second connection takes the root's redirect and, on the
// WM_CHANGE_STATE message that XIconifyWindow sends, unmaps the window as an ICCCM manager does.
TEST_F(WindowFinderOnX, MinimisedWindowsAreStillVisible) {
    const Window minimised = Make("Tessmar minimised", true);
    Make("Tessmar withdrawn", false);  // above it, never shown: passed over
    Display* manager = x_->OpenDisplay(std::getenv("DISPLAY"));
    ASSERT_NE(manager, nullptr);
    x_->SelectInput(manager, root_, SubstructureRedirectMask | SubstructureNotifyMask);
    x_->Sync(manager, False);
    ASSERT_NE(x_->IconifyWindow(display_, minimised, x_->DefaultScreenNumber(display_)), 0);
    x_->Sync(display_, False);
    const ::Atom changeState = x_->InternAtom(manager, "WM_CHANGE_STATE", False);
    XEvent event;
    do x_->NextEvent(manager, &event);
    while (event.type != ClientMessage || event.xclient.message_type != changeState);
    ASSERT_EQ(event.xclient.window, minimised);
    ASSERT_EQ(event.xclient.data.l[0], IconicState);
    x_->UnmapWindow(manager, minimised);
    x_->Sync(manager, False);
    x_->CloseDisplay(manager);  // releases the redirect
    XWindowAttributes attributes;
    ASSERT_TRUE(x_->GetWindowAttributes(display_, minimised, &attributes));
    ASSERT_EQ(attributes.map_state, IsUnmapped);  // what the finder must see through
    const std::pair<long, Window> states[] = {
        {IconicState, minimised}, {NormalState, minimised}, {WithdrawnState, 0}};
    for (const auto& [state, expected] : states) {
        const long wmState[2] = {state, None};
        Set(minimised, "WM_STATE", "WM_STATE", 32, wmState, 2);
        // The withdrawn window above it is passed over in every state.
        EXPECT_EQ(Find("Tessmar"), Handle(expected)) << "WM_STATE " << state;
    }
}

}  // namespace
