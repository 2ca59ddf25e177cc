#include "util/common/window_finder.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "util/common/window_finder_internal.h"

namespace {

using window_finder_internal::FindFirstMatch;

TEST(WindowFinderRule, FirstVisibleReadableWindowWhoseTitleStartsWithThePrefix) {
    // In the platform's order, top-most first: id, title readable, title, visible.
    const std::vector<util_platform::TopLevelWindow> windows = {
        {1, true, u"", true},
        {2, false, u"Tessmar (unreadable)", true},
        {3, true, u"Tessmar Setup", false},
        {4, true, u"Update - Tessmar", true},
        {5, true, u"tessmar tool", true},
        {6, true, u"\u00dcberpr\u00fcfung l\u00e4uft", true},
        {7, true, u"Tessmar Tool 2", true},
        {8, true, std::u16string(1500, u'a'), true}};
    // Prefix and the window found. In order: letter case ignored (2 unreadable, 3 hidden and 4
    // passed over); longer than 5's title, so the next one; the first visible window with a
    // title; beyond ASCII too; only the first 1023 characters of a title count.
    const std::pair<std::u16string, util_platform::WindowId> cases[] = {
        {u"TESSMAR", 5},
        {u"Tessmar Tool ", 7},
        {u"", 4},
        {u"\u00fcBERPR\u00dcF", 6},
        {std::u16string(1023, u'A'), 8},
        {std::u16string(1024, u'A'), 0}};
    for (const auto& [prefix, expected] : cases)
        EXPECT_EQ(FindFirstMatch(windows, CString(prefix)), expected) << prefix.size();
    EXPECT_EQ(FindFirstMatch({}, CString(u"")), 0u);
}

}  // namespace
