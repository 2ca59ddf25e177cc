#include "util/common/window_finder.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "util/common/window_finder_internal.h"

namespace {

using util_platform::TopLevelWindow;
using window_finder_internal::FindFirstMatch;

TopLevelWindow Window(util_platform::WindowId id, std::u16string title, bool visible,
                      bool readable = true) {
    TopLevelWindow window;
    window.id = id;
    window.title = std::move(title);
    window.visible = visible;
    window.title_readable = readable;
    return window;
}

TEST(WindowFinderRule, FirstVisibleWindowWhoseTitleStartsWithThePrefix) {
    // In the platform's order, top-most first.
    const std::vector<TopLevelWindow> windows = {
        Window(1, u"", true),
        Window(2, u"Tessmar (unreadable)", true, /*readable=*/false),
        Window(3, u"Tessmar Setup", false),
        Window(4, u"Update - Tessmar", true),
        Window(5, u"tessmar tool", true),
        Window(6, u"\u00dcberpr\u00fcfung l\u00e4uft", true),
        Window(7, u"Tessmar Tool 2", true),
    };
    struct Case {
        std::u16string prefix;
        util_platform::WindowId expected;
    };
    const Case cases[] = {
        {u"TESSMAR", 5},        // letter case ignored; the hidden 3 and unreadable 2 passed over
        {u"Tessmar Setup", 0},  // only a hidden window matches
        {u"Tessmar (", 0},      // only an unreadable title matches
        {u"Tessmar Tool ", 7},  // longer than 5's title: the next one
        {u"- Tessmar", 0},      // inside a title is not at its start
        {u"Update - Tessmar", 4},
        {u"Update - Tessmar!", 0},
        {u"", 4},                    // the first visible window with a title
        {u"\u00fcBERPR\u00dcF", 6},  // beyond ASCII too
        {u"Tessmar Tool 3", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindFirstMatch(windows, CString(c.prefix)), c.expected)
            << CString(c.prefix).ToUtf8();
    EXPECT_EQ(FindFirstMatch({}, CString(u"")), 0u);
}

TEST(WindowFinderRule, OnlyTheFirst1023CharactersOfATitleCount) {
    const std::u16string title(1500, u'a');
    const std::vector<TopLevelWindow> windows = {Window(9, title, true)};
    struct Case {
        size_t prefix_length;
        util_platform::WindowId expected;
    };
    for (const Case& c : {Case{1, 9}, Case{1023, 9}, Case{1024, 0}, Case{1500, 0}})
        EXPECT_EQ(FindFirstMatch(windows, CString(std::u16string(c.prefix_length, u'A'))),
                  c.expected)
            << c.prefix_length;
}

}  // namespace
