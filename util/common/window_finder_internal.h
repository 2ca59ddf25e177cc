#ifndef UTIL_COMMON_WINDOW_FINDER_INTERNAL_H
#define UTIL_COMMON_WINDOW_FINDER_INTERNAL_H

// The matching rule of WindowFinder over a list of windows, apart from the query that makes
// the list, so that it can be tested without a display.

#include <vector>

#include "util/base/cstring.h"
#include "util/platform/top_level_windows.h"

namespace window_finder_internal {

// The longest part of a title that is compared (a title buffer of 1024 with its terminator).
constexpr int kTitleLimit = 1023;

// The id of the first window in windows that matches prefix; 0 when none does.
util_platform::WindowId FindFirstMatch(const std::vector<util_platform::TopLevelWindow>& windows,
                                       const CString& prefix);

}  // namespace window_finder_internal

#endif  // UTIL_COMMON_WINDOW_FINDER_INTERNAL_H
