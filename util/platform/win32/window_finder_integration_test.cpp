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
struct TestWindow {
    explicit TestWindow(const std::wstring& title) {
        static const ATOM registered = [] {
            WNDCLASSW windowClass = {};
            windowClass.lpfnWndProc = ::DefWindowProcW;
            windowClass.hInstance = ::GetModuleHandleW(nullptr);
            windowClass.lpszClassName = kClassName;
            return ::RegisterClassW(&windowClass);
        }();
        if (registered == 0) return;
        handle = ::CreateWindowExW(0, kClassName, title.c_str(), WS_OVERLAPPEDWINDOW, 10, 10, 200,
                                   100, nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr);
    }
    ~TestWindow() {
        if (handle) ::DestroyWindow(handle);
        Pump();
    }
    void Show(int how) {
        ::ShowWindow(handle, how);
        Pump();
    }

    HWND handle = nullptr;
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

// A shown window is found by the start of its title, also when minimised; of two, the one on
// top (the later shown). A hidden window is not found; a window that is gone is found no more
// and its title cannot be read. (Letter case and the prefix rule are the finder's own, tested
// over made-up window lists.)
TEST(WindowFinderOnDesktopTest, FindsTheTopMostShownWindowAlsoWhenMinimised) {
    const std::wstring prefix = UniquePrefix();
    WindowFinder::WindowHandle gone = nullptr;
    {
        TestWindow main(prefix + L"Main Window"), second(prefix + L"Second");
        ASSERT_TRUE(main.handle && second.handle) << "no window (is there a display?)";
        const auto expected = static_cast<WindowFinder::WindowHandle>(main.handle);
        // Created but not shown: not visible, so not found.
        EXPECT_EQ(Find(prefix), nullptr);
        for (const int how : {SW_SHOW, SW_MINIMIZE, SW_RESTORE}) {
            SCOPED_TRACE(how);
            main.Show(how);
            EXPECT_EQ(::IsIconic(main.handle) != FALSE, how == SW_MINIMIZE);
            EXPECT_EQ(Find(prefix), expected);
        }
        CString title;
        EXPECT_TRUE(WindowFinder::GetWindowTitle(expected, &title));
        EXPECT_EQ(title, Text(prefix + L"Main Window"));
        second.Show(SW_SHOW);
        ::SetWindowPos(second.handle, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        Pump();
        gone = second.handle;
        EXPECT_EQ(Find(prefix), gone);
        EXPECT_EQ(Find(prefix + L"m"), expected);
        main.Show(SW_HIDE);
        EXPECT_EQ(Find(prefix + L"m"), nullptr);
    }
    EXPECT_EQ(Find(prefix), nullptr);
    CString title(u"kept");
    EXPECT_FALSE(WindowFinder::GetWindowTitle(gone, &title));
    EXPECT_EQ(title, CString(u"kept"));
}

}  // namespace
