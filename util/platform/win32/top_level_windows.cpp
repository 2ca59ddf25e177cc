#include "util/platform/top_level_windows.h"

#include <windows.h>

#include "util/platform/win32/wide.h"

namespace util_platform {
namespace {

BOOL CALLBACK CollectWindow(HWND window, LPARAM list) {
    reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
    return TRUE;
}

// GetWindowTextW answers 0 both for an empty title and for a failure; the last error tells
// them apart.
bool Title(HWND window, std::u16string* title) {
    ::SetLastError(NO_ERROR);
    const int length = ::GetWindowTextLengthW(window);
    if (length == 0) {
        if (::GetLastError() != NO_ERROR || !::IsWindow(window)) return false;
        title->clear();
        return true;
    }
    std::wstring buffer(static_cast<size_t>(length) + 1, L'\0');
    ::SetLastError(NO_ERROR);
    const int copied = ::GetWindowTextW(window, &buffer[0], length + 1);
    if (copied == 0 && ::GetLastError() != NO_ERROR) return false;
    *title = win32::FromWide(buffer.data(), static_cast<size_t>(copied));
    return true;
}

}  // namespace

// The windows EnumWindows lists, in its order (top of the Z order first). A minimised window
// is still visible: IsWindowVisible looks at the visibility style, not at the window's size.
std::vector<TopLevelWindow> TopLevelWindows() {
    std::vector<HWND> handles;
    ::EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&handles));
    std::vector<TopLevelWindow> result;
    result.reserve(handles.size());
    for (HWND window : handles) {
        TopLevelWindow entry;
        entry.id = reinterpret_cast<WindowId>(window);
        entry.title_readable = Title(window, &entry.title);
        entry.visible = ::IsWindowVisible(window) != FALSE;
        result.push_back(std::move(entry));
    }
    return result;
}

bool ReadWindowTitle(WindowId window, std::u16string* title) {
    return window != 0 && Title(reinterpret_cast<HWND>(window), title);
}

}  // namespace util_platform
