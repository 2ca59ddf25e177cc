// CString at the Windows boundary: wchar_t text in and out without casts (wchar_t is UTF-16
// there; on POSIX it is 32 bits wide and these members do not exist).

#include <gtest/gtest.h>

#include <string>

#include "util/base/cstring.h"

static_assert(UTIL_WCHAR_IS_UTF16, "Windows: wchar_t holds UTF-16 units");

namespace {

// What a Win32 host does with LPCWSTR / LPWSTR.
size_t HostLength(const wchar_t* text) {
    return std::wcslen(text);
}

TEST(CStringWide, TakesAndGivesWcharText) {
    const wchar_t* const host = L"Tessmar \u00E9\U0001F600";  // with a surrogate pair
    CString text(host);
    EXPECT_EQ(text.GetLength(), 11);
    EXPECT_TRUE(text == CString(u"Tessmar \u00E9\U0001F600"));
    EXPECT_TRUE(text == host);
    EXPECT_TRUE(host == text);
    EXPECT_FALSE(text != host);
    EXPECT_EQ(HostLength(text), 11u);  // the implicit LPCWSTR
    EXPECT_EQ(std::wstring(text.GetWideString()), std::wstring(host));

    text = L"a";
    text += L"bc";
    text += static_cast<const wchar_t*>(nullptr);
    EXPECT_EQ(text.ToUtf8(), "abc");
    EXPECT_EQ(text.Compare(L"abd"), CString(u"abc").Compare(u"abd"));
    EXPECT_EQ(text.CompareNoCase(L"ABC"), 0);
    EXPECT_TRUE(CString(static_cast<const wchar_t*>(nullptr)).IsEmpty());
    EXPECT_EQ(CString().GetWideString()[0], L'\0');  // never null, even when empty

    CString formatted;
    formatted.Format(u"[%s]", L"wide");
    EXPECT_EQ(formatted.ToUtf8(), "[wide]");
}

}  // namespace
