// The window finder on a real desktop: the test makes top-level windows of its own
// (CreateWindowExW, ShowWindow) and looks for them by the start of their titles. Windows needs a
// display for this (under Wine an X server, such as Xvfb).

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "util/common/window_finder.h"

namespace {

const wchar_t kClassName[] = L"UtilWindowFinderTest";

// Processes what is waiting for this thread's windows, so that state changes take effect.
void Pump() {
    MSG message;
    while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        ::TranslateMessage(&message);
        ::DispatchMessageW(&message);
    }
}

// A top-level window of this process, destroyed when the object goes away.
class TestWindow {
  public:
    explicit TestWindow(const std::wstring& title) {
        static const ATOM registered = [] {
            WNDCLASSW windowClass = {};
            windowClass.lpfnWndProc = ::DefWindowProcW;
            windowClass.hInstance = ::GetModuleHandleW(nullptr);
            windowClass.lpszClassName = kClassName;
            return ::RegisterClassW(&windowClass);
        }();
        if (registered == 0) return;
        window_ = ::CreateWindowExW(0, kClassName, title.c_str(), WS_OVERLAPPEDWINDOW, 10, 10, 200,
                                    100, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    }
    ~TestWindow() {
        if (window_) ::DestroyWindow(window_);
        Pump();
    }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND handle() const { return window_; }
    void Show(int how) {
        ::ShowWindow(window_, how);
        Pump();
    }

  private:
    HWND window_ = nullptr;
};

// A title prefix no other window on the desktop carries.
std::wstring UniquePrefix() {
    return L"UtilFinderTest-" + std::to_wstring(::GetCurrentProcessId()) + L"-";
}

CString Text(const std::wstring& text) {
    return CString(std::u16string(text.begin(), text.end()).c_str());
}

TEST(WindowFinderOnDesktopTest, FindsAShownWindowByPrefixAlsoWhenMinimised) {
    const std::wstring prefix = UniquePrefix();
    TestWindow window(prefix + L"Main Window");
    ASSERT_NE(window.handle(), nullptr) << "no window could be made (is there a display?)";
    const auto expected = static_cast<WindowFinder::WindowHandle>(window.handle());

    // Created but not shown: not visible, so not found.
    EXPECT_EQ(WindowFinder::FindWindowStartingWith(Text(prefix)), nullptr);

    const struct {
        int how;
        const char* what;
    } states[] = {{SW_SHOW, "shown"}, {SW_MINIMIZE, "minimised"}, {SW_RESTORE, "restored"}};
    for (const auto& state : states) {
        SCOPED_TRACE(state.what);
        window.Show(state.how);
        EXPECT_EQ(::IsIconic(window.handle()) != FALSE, state.how == SW_MINIMIZE);
        EXPECT_EQ(WindowFinder::FindWindowStartingWith(Text(prefix)), expected);
        // Letter case does not matter; a longer prefix than the title does.
        EXPECT_EQ(WindowFinder::FindWindowStartingWith(Text(prefix + L"MAIN")), expected);
        EXPECT_EQ(WindowFinder::FindWindowStartingWith(Text(prefix + L"Main Window and more")),
                  nullptr);
    }

    CString title;
    EXPECT_TRUE(WindowFinder::GetWindowTitle(expected, &title));
    EXPECT_EQ(title, Text(prefix + L"Main Window"));

    window.Show(SW_HIDE);
    EXPECT_EQ(WindowFinder::FindWindowStartingWith(Text(prefix)), nullptr);
}

// Of two visible windows with the prefix, the one on top (the later shown) is found; a window
// that is gone is found no more and its title cannot be read.
TEST(WindowFinderOnDesktopTest, TopMostOfSeveralAndGoneWindows) {
    const std::wstring prefix = UniquePrefix();
    WindowFinder::WindowHandle gone = nullptr;
    {
        TestWindow first(prefix + L"First");
        TestWindow second(prefix + L"Second");
        ASSERT_NE(first.handle(), nullptr);
        ASSERT_NE(second.handle(), nullptr);
        first.Show(SW_SHOW);
        second.Show(SW_SHOW);
        ::SetWindowPos(second.handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        Pump();
        EXPECT_EQ(WindowFinder::FindWindowStartingWith(Text(prefix)),
                  static_cast<WindowFinder::WindowHandle>(second.handle()));
        EXPECT_EQ(WindowFinder::FindWindowStartingWith(Text(prefix + L"f")),
                  static_cast<WindowFinder::WindowHandle>(first.handle()));
        gone = second.handle();
    }
    EXPECT_EQ(WindowFinder::FindWindowStartingWith(Text(prefix)), nullptr);
    CString title = CString(u"kept");
    EXPECT_FALSE(WindowFinder::GetWindowTitle(gone, &title));
    EXPECT_EQ(title, CString(u"kept"));
}

}  // namespace
