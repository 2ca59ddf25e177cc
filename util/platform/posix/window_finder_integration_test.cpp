// WindowFinder against a real X server: a private Xvfb, started on a free display number for
// this test program and stopped when it ends. A machine that cannot start Xvfb fails here.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "util/common/window_finder.h"
#include "util/platform/posix/x11_library.h"

#include <X11/Xatom.h>

namespace {

using util_platform::x11::Library;

// Xvfb on the first display number it finds free (it reports the number through a pipe).
class Xvfb {
  public:
    ~Xvfb() { Stop(); }

    // The display name (":N"), or an explanation of why the server did not start.
    bool Start(std::string* display, std::string* why) {
        int fds[2];
        if (::pipe(fds) != 0) return Fail(why, "pipe");
        pid_ = ::fork();
        if (pid_ < 0) return Fail(why, "fork");
        if (pid_ == 0) {
            ::close(fds[0]);
            ::prctl(PR_SET_PDEATHSIG, SIGTERM);  // never outlive a crashed test program
            int null = ::open("/dev/null", O_WRONLY);
            if (null >= 0) ::dup2(null, STDERR_FILENO);
            std::string fd = std::to_string(fds[1]);
            ::execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-nolisten", "tcp", "-screen", "0",
                     "640x480x24", static_cast<char*>(nullptr));
            ::_exit(127);
        }
        ::close(fds[1]);
        std::string number;
        struct pollfd wait_for {
            fds[0], POLLIN, 0
        };
        char ch;
        // Xvfb writes the number and a newline once it accepts connections.
        while (::poll(&wait_for, 1, 30000) == 1 && ::read(fds[0], &ch, 1) == 1 && ch != '\n')
            number += ch;
        ::close(fds[0]);
        if (number.empty()) {
            Stop();
            *why = "Xvfb did not report a display (is the xvfb package installed?)";
            return false;
        }
        *display = ":" + number;
        return true;
    }

    void Stop() {
        if (pid_ <= 0) return;
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        pid_ = -1;
    }

  private:
    static bool Fail(std::string* why, const std::string& what) {
        *why = what + ": " + std::strerror(errno);
        return false;
    }
    pid_t pid_ = -1;
};

class WindowFinderOnX : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        server_ = new Xvfb;
        if (!server_->Start(&display_name_, &failure_)) return;
        if (const char* old = std::getenv("DISPLAY")) old_display_ = old;
        ::setenv("DISPLAY", display_name_.c_str(), 1);
    }
    static void TearDownTestSuite() {
        delete server_;
        server_ = nullptr;
        if (old_display_)
            ::setenv("DISPLAY", old_display_->c_str(), 1);
        else
            ::unsetenv("DISPLAY");
    }

    void SetUp() override {
        ASSERT_TRUE(failure_.empty()) << "cannot start the X server: " << failure_;
        x_ = util_platform::x11::Load();
        ASSERT_NE(x_, nullptr) << "libX11.so.6 cannot be loaded";
        display_ = x_->OpenDisplay(display_name_.c_str());
        ASSERT_NE(display_, nullptr) << "cannot connect to " << display_name_;
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
    Window MakeWindow(const std::string& title, bool mapped, bool utf8 = false) {
        Window window = x_->CreateSimpleWindow(display_, root_, 0, 0, 50, 20, 0, 0, 0);
        windows_.push_back(window);
        if (utf8) {
            x_->ChangeProperty(display_, window, AtomNamed("_NET_WM_NAME"),
                               AtomNamed("UTF8_STRING"), 8, PropModeReplace,
                               reinterpret_cast<const unsigned char*>(title.data()),
                               static_cast<int>(title.size()));
        } else if (!title.empty()) {
            x_->StoreName(display_, window, title.c_str());
        }
        if (mapped) x_->MapWindow(display_, window);
        x_->RaiseWindow(display_, window);
        x_->Sync(display_, False);
        return window;
    }

    // Acts as a window manager would: its client list, bottom to top.
    void SetClientList(const std::vector<Window>& bottom_to_top) {
        std::vector<unsigned long> items(bottom_to_top.begin(), bottom_to_top.end());
        x_->ChangeProperty(display_, root_, AtomNamed("_NET_CLIENT_LIST_STACKING"), XA_WINDOW, 32,
                           PropModeReplace, reinterpret_cast<const unsigned char*>(items.data()),
                           static_cast<int>(items.size()));
        x_->Sync(display_, False);
    }

    static WindowFinder::WindowHandle Handle(Window window) {
        return reinterpret_cast<WindowFinder::WindowHandle>(static_cast<uintptr_t>(window));
    }
    static WindowFinder::WindowHandle Find(const char* prefix) {
        return WindowFinder::FindWindowStartingWith(CString::FromUtf8(prefix));
    }

    ::Atom AtomNamed(const char* name) { return x_->InternAtom(display_, name, False); }

    static Xvfb* server_;
    static std::string display_name_;
    static std::string failure_;
    static std::optional<std::string> old_display_;
    const Library* x_ = nullptr;
    Display* display_ = nullptr;
    Window root_ = 0;
    std::vector<Window> windows_;
};

Xvfb* WindowFinderOnX::server_ = nullptr;
std::string WindowFinderOnX::display_name_;
std::string WindowFinderOnX::failure_;
std::optional<std::string> WindowFinderOnX::old_display_;

TEST_F(WindowFinderOnX, FindsTheFirstVisibleWindowByTitlePrefix) {
    // Made bottom to top, so the finder sees them in the reverse order.
    Window tool = MakeWindow("Tessmar Firmware Tool", true);
    Window check = MakeWindow(
        "\xc3\x9c"
        "berpr\xc3\xbc"
        "fung l\xc3\xa4uft",
        true, true);
    Window update = MakeWindow("Update - Tessmar", true);
    MakeWindow("Tessmar hidden", false);
    MakeWindow("", true);  // untitled, top-most

    struct Case {
        const char* prefix;
        Window expected;
    };
    const Case cases[] = {
        {"TESSMAR", tool},  // the hidden one above it is passed over; "Update - ..." too
        {"tessmar firmware tool", tool},
        {"Tessmar hidden", 0},
        {"Tessmar Firmware Tool!", 0},
        {"Tessmar", tool},
        {"- Tessmar", 0},
        {"", update},  // the untitled and the hidden windows above it are passed over
        {"\xc3\xbc"
         "BERPR\xc3\x9c"
         "F",
         check},
        {"Nothing like it", 0},
    };
    for (const Case& c : cases) EXPECT_EQ(Find(c.prefix), Handle(c.expected)) << c.prefix;

    CString title;
    ASSERT_TRUE(WindowFinder::GetWindowTitle(Handle(check), &title));
    EXPECT_EQ(title.ToUtf8(),
              "\xc3\x9c"
              "berpr\xc3\xbc"
              "fung l\xc3\xa4uft");
    ASSERT_TRUE(WindowFinder::GetWindowTitle(Handle(tool), &title));
    EXPECT_EQ(title.ToUtf8(), "Tessmar Firmware Tool");
}

TEST_F(WindowFinderOnX, OrderAndVisibilityFollowTheServer) {
    Window first = MakeWindow("Tessmar one", true);
    Window second = MakeWindow("Tessmar two", true);
    EXPECT_EQ(Find("tessmar"), Handle(second));
    x_->RaiseWindow(display_, first);
    x_->Sync(display_, False);
    EXPECT_EQ(Find("tessmar"), Handle(first));
    x_->UnmapWindow(display_, first);
    x_->Sync(display_, False);
    EXPECT_EQ(Find("tessmar"), Handle(second));
    x_->DestroyWindow(display_, second);
    windows_.pop_back();
    x_->Sync(display_, False);
    EXPECT_EQ(Find("tessmar"), nullptr);
    CString title(u"untouched");
    EXPECT_FALSE(WindowFinder::GetWindowTitle(Handle(second), &title));
    EXPECT_EQ(title.ToUtf8(), "untouched");
}

TEST_F(WindowFinderOnX, AWindowManagersClientListIsUsedWhenOffered) {
    Window a = MakeWindow("Tessmar A", true);
    Window b = MakeWindow("Tessmar B", true);
    Window unlisted = MakeWindow("Tessmar unlisted", true);  // top-most, but not a client
    EXPECT_EQ(Find("Tessmar"), Handle(unlisted));
    SetClientList({a, b});
    EXPECT_EQ(Find("Tessmar"), Handle(b));
    SetClientList({b, a});
    EXPECT_EQ(Find("Tessmar"), Handle(a));
    EXPECT_EQ(Find("Tessmar unlisted"), nullptr);
}

}  // namespace
