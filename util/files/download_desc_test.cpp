#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>

#include "util/files/file_access.h"
#include "util/testing/scoped_env_var.h"
#include "util/testing/scratch_dir.h"

namespace {

using util_testing::ScratchDir;

// A file with `offset` filler bytes, the length field, 4 skipped bytes and then `block`.
std::string Firmware(uint32_t offset, uint32_t length, const std::string& block) {
    std::string bytes(offset, '\x5A');
    for (int shift = 24; shift >= 0; shift -= 8) bytes.push_back(char((length >> shift) & 0xFF));
    return bytes + "\xFF\xFE\xFD\xFC" + block;
}

const std::string kAbc0("abc\0", 4);

TEST(DownloadDescTest, ExtractsTheBlockText) {
    struct Case {
        const char* name;
        std::string file;
        uint32_t offset;
        MakeDLFileRes result;
        std::u16string text;  // "keep": left unchanged
    };
    const Case cases[] = {
        {"default offset by 0", Firmware(140, 4, kAbc0), 0, MDL_Success, u"abc"},
        {"default offset by 140", Firmware(140, 4, kAbc0), 140, MDL_Success, u"abc"},
        {"own offset", Firmware(10, 4, kAbc0), 10, MDL_Success, u"abc"},
        {"last byte is always the terminator", Firmware(140, 4, "abcd"), 0, MDL_Success, u"abc"},
        {"text ends at the first zero", Firmware(140, 4, {"a\0c\0", 4}), 0, MDL_Success, u"a"},
        {"length one gives empty text", Firmware(140, 1, "z"), 0, MDL_Success, u""},
        {"length bytes are big-endian", Firmware(140, 256, std::string(255, 'x') + "!"), 0,
         MDL_Success, std::u16string(255, u'x')},
        {"bytes after the block ignored", Firmware(140, 4, kAbc0 + "more"), 0, MDL_Success, u"abc"},
        {"too short for the length field", std::string(147, 'a'), 0, MDL_InvalidData, u"keep"},
        {"length field only", Firmware(140, 0, ""), 0, MDL_InvalidData, u"keep"},
        {"one byte short of the block", Firmware(140, 4, "abc"), 0, MDL_InvalidData, u"keep"},
        {"length 0", Firmware(140, 0, "abcdef"), 0, MDL_InvalidData, u"keep"},
        {"huge length", Firmware(140, 0xFFFFFFFFu, "abc"), 0, MDL_InvalidData, u"keep"},
        {"offset near 4 GiB does not wrap", Firmware(140, 4, kAbc0), 0xFFFFFFFCu, MDL_InvalidData,
         u"keep"},
        {"empty file", "", 0, MDL_InvalidData, u"keep"},
    };
    ScratchDir dir;
    for (const Case& c : cases) {
        dir.WriteFile("fw.bin", c.file);
        CString text = u"keep";
        EXPECT_EQ(CFileAccess::makeDownloadDescList(dir.Wide("fw.bin"), c.offset, text), c.result)
            << c.name;
        EXPECT_EQ(text.View(), c.text) << c.name;
    }
    std::filesystem::create_directory(dir.path() / "folder");
    for (const char* name : {"missing.bin", "folder", ""}) {
        CString text = u"keep";
        EXPECT_EQ(CFileAccess::makeDownloadDescList(dir.Wide(name), 0, text), MDL_OpenFailed)
            << name;
        EXPECT_EQ(text, CString(u"keep"));
    }
}

TEST(DownloadDescTest, TextIsInTheAnsiCodePage) {
    ScratchDir dir;
    dir.WriteFile("fw.bin", Firmware(140, 5, std::string("K\xF6ln", 4) + '\0'));
    util_testing::ScopedEnvVar all("LC_ALL", "de_DE.ISO-8859-1");
    CString text;
    EXPECT_EQ(CFileAccess::makeDownloadDescList(dir.Wide("fw.bin"), 0, text), MDL_Success);
    EXPECT_EQ(text, CString(u"K\u00F6ln"));
}

// Reading denies nothing, so it works on a file that is open for writing.
TEST(DownloadDescTest, ReadsAFileThatIsOpenForWriting) {
    ScratchDir dir;
    const std::string firmware = Firmware(140, 4, kAbc0);
    CFileAccess files;
    FileHandle writer = files.FA_OpenFile(dir.Wide("fw.bin"), FM_Create);
    ASSERT_EQ(files.FA_WriteFile(writer, firmware.data(), uint32_t(firmware.size())), 1);
    CString text;
    EXPECT_EQ(CFileAccess::makeDownloadDescList(dir.Wide("fw.bin"), 0, text), MDL_Success);
    EXPECT_EQ(text, CString(u"abc"));
    EXPECT_EQ(files.FA_CloseFile(writer), 1);
}

}  // namespace
