// The interface as a Win32 host uses it: every function that takes constant wide text also
// takes wchar_t text (LPCWSTR, L"..." literals) without a cast, and the printf-style ones take
// "%s" with a wchar_t* argument. This file compiling is half the test; the rest checks that the
// wchar_t calls give what the char16_t ones give. (wchar_t is UTF-16 only on Windows.)

#include <gtest/gtest.h>

#include <cstdio>

#include <string>

#include "util/base/cstring.h"
#include "util/base/path.h"
#include "util/common/cstring_util.h"
#include "util/files/file_access.h"
#include "util/files/file_util.h"
#include "util/logging/logging.h"
#include "util/testing/scratch_dir.h"

static_assert(UTIL_WCHAR_IS_UTF16, "Windows: wchar_t holds UTF-16 units");

namespace {

using util_testing::ScratchDir;
using util_testing::Utf16Bytes;

// The folder or a name in it as the host holds it: a std::wstring.
std::wstring HostPath(const ScratchDir& dir, const std::string& name = "") {
    return (name.empty() ? dir.path() : dir.path() / name).wstring();
}

bool Contains(const std::string& bytes, const char16_t* text) {
    return bytes.find(Utf16Bytes(text)) != std::string::npos;
}

TEST(WideInterface, LoggingTakesWcharTextAndFormats) {
    ScratchDir dir;
    Logging::Init(HostPath(dir).c_str(), false);
    ASSERT_TRUE(Logging::IsInitialized());
    const wchar_t* port = L"COM3";
    Logging::Write(L"plain", false);
    Logging::Write(nullptr, true);  // still the char16_t function: writes nothing
    Logging::WriteV(L"%s on %d", port, 7);
    Logging::DebugLogEnabled(true);
    Logging::Debug(L"debug %s", L"\u00E9t\u00E9");
    Logging::DebugLogEnabled(false);
    Logging::Debug(L"hidden %s", port);
    Logging::StartDownload(L"dev", nullptr, L"free", port);
    Logging::StartDownload(nullptr, nullptr, nullptr, nullptr);
    Logging::Term();

    const std::string log = util_testing::ReadFileBytes(dir.path() / "Tessmar.log");
    EXPECT_TRUE(Contains(log, u"\r\nplain\r\n"));
    EXPECT_TRUE(Contains(log, u"] COM3 on 7\r\n"));
    EXPECT_TRUE(Contains(log, u"] debug \u00E9t\u00E9\r\n"));
    EXPECT_FALSE(Contains(log, u"hidden"));
    EXPECT_TRUE(Contains(log, u"[Device Type]:dev\r\n----\r\nfree\r\nsysName = 'COM3'\r\n"));
    EXPECT_FALSE(Contains(log, u"[Port Name]"));
}

TEST(WideInterface, FileAccessAndTextFilesTakeWcharPaths) {
    ScratchDir dir;
    const std::wstring source = HostPath(dir, "fw.bin");
    const std::wstring stamped = HostPath(dir, "fw.tmp.bin");
    CFileAccess files;
    FileHandle handle = files.FA_OpenFile(source.c_str(), FM_Create);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(files.FA_WriteFile(handle, "0123456789", 10), 1);
    EXPECT_EQ(files.FA_CloseFile(handle), 1);

    uint32_t size = 0;
    EXPECT_EQ(files.FA_GetFileSize(source.c_str(), &size), 1);
    EXPECT_EQ(size, 10u);
    EXPECT_EQ(files.FA_GetFileSize(L"Z:\\no\\such\\file", &size), 0);
    FileHandle device = files.FA_OpenDevice(source.c_str(), 1);
    EXPECT_NE(device, nullptr);
    files.FA_CloseDevice(device);
    EXPECT_EQ(files.FA_FileAddJobClientID(source.c_str(), stamped.c_str(), L"A1"), 1);
    EXPECT_EQ(util_testing::ReadFileBytes(dir.path() / "fw.tmp.bin"), "012345678@JCID=A1\r\n9");

    CString text;
    EXPECT_TRUE(common::sdk::file_util::ReadFileToString(source.c_str(), &text));
    EXPECT_EQ(text, L"0123456789");
    std::FILE* stream =
        common::sdk::file_util::OpenTextFile(source.c_str(), L"r", common::sdk::file_util::kAnsi);
    ASSERT_NE(stream, nullptr);
    wchar_t line[16] = {};
    EXPECT_EQ(std::fgetws(line, 16, stream), line);
    EXPECT_EQ(std::wstring(line), L"0123456789");
    std::fclose(stream);
    auto refused =
        common::sdk::file_util::OpenTextFile(source.c_str(), L"x", common::sdk::file_util::kAnsi);
    EXPECT_EQ(refused, nullptr);
}

TEST(WideInterface, PathsStringsAndListsTakeWcharText) {
    CPath path(L"C:\\Tool");
    EXPECT_TRUE(path.Append(L"x.ini"));
    EXPECT_EQ(path, L"C:\\Tool\\x.ini");

    CString s(L"a,b;c", 3);
    EXPECT_EQ(s, L"a,b");
    EXPECT_EQ(s.Find(L","), 1);
    EXPECT_EQ(s.FindOneOf(L";b"), 2);
    EXPECT_EQ(s.SpanIncluding(L"a,"), L"a,");
    EXPECT_EQ(s.SpanExcluding(L","), L"a");
    EXPECT_EQ(s.Replace(L",", L"--"), 1);
    EXPECT_EQ(s.Insert(0, L">"), 5);
    s.Append(L"xyz", 2);
    EXPECT_EQ(s, L">a--bxy");
    EXPECT_EQ(CString(L"..a..").Trim(L".").TrimLeft(L"x").TrimRight(L"y"), L"a");

    CString formatted;
    formatted.Format(L"%s=%d", L"n", 4);
    formatted.AppendFormat(L"|%s", L"w");
    EXPECT_EQ(formatted, L"n=4|w");

    StringList list;
    common::sdk::cstring_util::Split(CString(L"a b"), L' ', &list);
    EXPECT_EQ(common::sdk::cstring_util::Join(list, L", "), L"a, b");
    CString joined;
    common::sdk::cstring_util::Join(list, L"+", &joined);
    EXPECT_EQ(joined, L"a+b");
}

}  // namespace
