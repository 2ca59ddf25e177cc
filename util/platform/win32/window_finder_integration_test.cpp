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

WindowFinder::WindowHandle Find(const std::wstring& prefix) {
    return WindowFinder::FindWindowStartingWith(Text(prefix));
}

TEST(WindowFinderOnDesktopTest, FindsAShownWindowByPrefixAlsoWhenMinimised) {
    const std::wstring prefix = UniquePrefix();
    TestWindow window(prefix + L"Main Window");
    ASSERT_NE(window.handle(), nullptr) << "no window could be made (is there a display?)";
    const auto expected = static_cast<WindowFinder::WindowHandle>(window.handle());

    // Created but not shown: not visible, so not found.
    EXPECT_EQ(Find(prefix), nullptr);

    for (const int how : {SW_SHOW, SW_MINIMIZE, SW_RESTORE}) {
        SCOPED_TRACE(how);
        window.Show(how);
        EXPECT_EQ(::IsIconic(window.handle()) != FALSE, how == SW_MINIMIZE);
        EXPECT_EQ(Find(prefix), expected);
        // Letter case does not matter; a longer prefix than the title does.
        EXPECT_EQ(Find(prefix + L"MAIN"), expected);
        EXPECT_EQ(Find(prefix + L"Main Window and more"), nullptr);
    }

    CString title;
    EXPECT_TRUE(WindowFinder::GetWindowTitle(expected, &title));
    EXPECT_EQ(title, Text(prefix + L"Main Window"));

    window.Show(SW_HIDE);
    EXPECT_EQ(Find(prefix), nullptr);
}

// Of two visible windows with the prefix, the one on top (the later shown) is found; a window
// that is gone is found no more and its title cannot be read.
TEST(WindowFinderOnDesktopTest, TopMostOfSeveralAndGoneWindows) {
    const std::wstring prefix = UniquePrefix();
    WindowFinder::WindowHandle gone = nullptr;
    {
        TestWindow first(prefix + L"First"), second(prefix + L"Second");
        ASSERT_TRUE(first.handle() && second.handle());
        first.Show(SW_SHOW);
        second.Show(SW_SHOW);
        ::SetWindowPos(second.handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        Pump();
        EXPECT_EQ(Find(prefix), static_cast<WindowFinder::WindowHandle>(second.handle()));
        EXPECT_EQ(Find(prefix + L"f"), static_cast<WindowFinder::WindowHandle>(first.handle()));
        gone = second.handle();
    }
    EXPECT_EQ(Find(prefix), nullptr);
    CString title = CString(u"kept");
    EXPECT_FALSE(WindowFinder::GetWindowTitle(gone, &title));
    EXPECT_EQ(title, CString(u"kept"));
}

}  // namespace
