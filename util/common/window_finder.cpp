#include "util/common/window_finder.h"

#include <string>

#include "util/common/window_finder_internal.h"

namespace window_finder_internal {

util_platform::WindowId FindFirstMatch(const std::vector<util_platform::TopLevelWindow>& windows,
                                       const CString& prefix) {
    CString wanted(prefix);
    wanted.MakeUpper();
    for (const util_platform::TopLevelWindow& window : windows) {
        if (!window.title_readable || window.title.empty()) continue;
        CString title(std::u16string_view(window.title).substr(0, kTitleLimit));
        title.MakeUpper();
        if (title.Find(wanted.GetString()) == 0 && window.visible) return window.id;
    }
    return 0;
}

}  // namespace window_finder_internal

WindowFinder::WindowHandle WindowFinder::FindWindowStartingWith(const CString& prefix) {
    util_platform::WindowId found =
        window_finder_internal::FindFirstMatch(util_platform::TopLevelWindows(), prefix);
    return reinterpret_cast<WindowHandle>(found);
}

bool WindowFinder::GetWindowTitle(WindowHandle window, CString* title) {
    std::u16string text;
    if (!util_platform::ReadWindowTitle(reinterpret_cast<util_platform::WindowId>(window), &text))
        return false;
    if (title) *title = CString(text);
    return true;
}
