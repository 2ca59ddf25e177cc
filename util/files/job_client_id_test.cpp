#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <string>

#include "util/files/file_access.h"
#include "util/platform/file.h"
#include "util/testing/scoped_env_var.h"
#include "util/testing/scratch_dir.h"

namespace {

using util_testing::ReadFileBytes;
using util_testing::ScopedEnvVar;
using util_testing::ScratchDir;

// Bytes that differ from block to block, so a misplaced or repeated block shows.
std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    uint32_t state = 0x12345678;
    for (char& byte : bytes) byte = static_cast<char>((state = state * 1103515245u + 12345u) >> 24);
    return bytes;
}

std::string Stamped(const std::string& source, const std::string& idBytes) {
    return source.substr(0, 9) + "@JCID=" + idBytes + "\r\n" + source.substr(9);
}

TEST(JobClientIdTest, StampedCopyHasTheLineAfterNineBytes) {
    struct Case {
        const char* name;
        std::string source;
        const char16_t* id;
        const char* lang;
        std::string expected;
    };
    const std::string eleven("\x00\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0A", 11);
    const Case cases[] = {
        {"eleven bytes", eleven, u"A1", "C",
         std::string("\x00\x01\x02\x03\x04\x05\x06\x07\x08@JCID=A1\r\n\x09\x0A", 21)},
        {"exactly nine bytes", "012345678", u"A1", "C", "012345678@JCID=A1\r\n"},
        {"empty ID", "0123456789", u"", "C", "012345678@JCID=\r\n9"},
        {"UTF-8 ID", "0123456789", u"J\u00F6b", "C", "012345678@JCID=J\303\266b\r\n9"},
        {"Latin-1 ID", "0123456789", u"J\u00F6b", "de_DE.ISO-8859-1", "012345678@JCID=J\366b\r\n9"},
        {"one whole block after the head", Pattern(512009), u"X", "C",
         Stamped(Pattern(512009), "X")},
        {"one byte over a block", Pattern(512010), u"X", "C", Stamped(Pattern(512010), "X")},
        {"several blocks", Pattern(1300001), u"JOB-42", "C", Stamped(Pattern(1300001), "JOB-42")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScopedEnvVar lang("LANG", c.lang), all("LC_ALL", std::nullopt),
            ctype("LC_CTYPE", std::nullopt);
        ScratchDir dir;
        dir.WriteFile("src.bin", c.source);
        dir.WriteFile("dst.bin", "old content that must go away entirely");
        EXPECT_EQ(
            CFileAccess().FA_FileAddJobClientID(dir.Wide("src.bin"), dir.Wide("dst.bin"), c.id), 1);
        EXPECT_TRUE(ReadFileBytes(dir.path() / "dst.bin") == c.expected);
        EXPECT_TRUE(ReadFileBytes(dir.path() / "src.bin") == c.source);
    }
}

// Every failure answers 0, never changes the source and leaves no handle open behind it.
TEST(JobClientIdTest, FailuresLeaveTheSourceAloneAndCloseEverything) {
    const std::string source = "0123456789abcdefghij";
    auto folder = [](ScratchDir& d) { std::filesystem::create_directory(d.path() / "folder"); };
    auto limit = [](int64_t bytes) {
        return [bytes](ScratchDir&) { util_platform::LimitWritesForTesting(bytes); };
    };
    struct Case {
        const char* name;
        std::string sourceName, destinationName;
        std::function<void(ScratchDir&)> setup;
        const char* destinationAfter;  // nullptr: not a file
    };
    const Case cases[] = {
        {"missing source", "none.bin", "dst.bin", nullptr, nullptr},
        {"source is a folder", "folder", "dst.bin", folder, nullptr},
        {"source shorter than the head", "short.bin", "dst.bin",
         [](ScratchDir& d) {
             d.WriteFile("short.bin", "01234567"), d.WriteFile("dst.bin", "keep");
         },
         "keep"},
        {"destination folder missing", "src.bin", "no/such/dst.bin", nullptr, nullptr},
        {"destination is the source", "src.bin", "src.bin", nullptr, "0123456789abcdefghij"},
        {"destination is a folder", "src.bin", "folder", folder, nullptr},
        {"destination held open for reading", "src.bin", "held.bin", nullptr, "held"},
        {"full file system", "src.bin", "dst.bin", limit(12), "012345678@JC"},
        {"full file system after the line", "src.bin", "dst.bin", limit(19),
         "012345678@JCID=7\r\n9"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ScratchDir dir;
        dir.WriteFile("src.bin", source);
        dir.WriteFile("held.bin", "held");
        CFileAccess files;
        FileHandle held = files.FA_OpenFile(dir.Wide("held.bin"), FM_Read);
        if (c.setup) c.setup(dir);
        int result =
            files.FA_FileAddJobClientID(dir.Wide(c.sourceName), dir.Wide(c.destinationName), u"7");
        util_platform::LimitWritesForTesting(-1);
        files.FA_CloseFile(held);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(ReadFileBytes(dir.path() / "src.bin"), source);
        const auto destination = dir.path() / c.destinationName;
        if (c.destinationAfter) {
            EXPECT_EQ(ReadFileBytes(destination), c.destinationAfter);
        } else {
            EXPECT_FALSE(std::filesystem::is_regular_file(destination));
        }
        // A handle left open would refuse these writers.
        for (const std::string& name : {c.sourceName, c.destinationName}) {
            if (!std::filesystem::is_regular_file(dir.path() / name)) continue;
            FileHandle writer = files.FA_OpenFile(dir.Wide(name), FM_Append);
            EXPECT_NE(writer, nullptr) << name;
            files.FA_CloseFile(writer);
        }
    }
}

TEST(JobClientIdTest, DestinationOnADeviceThatIsAlwaysFull) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    ScratchDir dir;
    dir.WriteFile("src.bin", "0123456789");
    EXPECT_EQ(CFileAccess().FA_FileAddJobClientID(dir.Wide("src.bin"), u"/dev/full", u"ID"), 0);
    EXPECT_EQ(ReadFileBytes(dir.path() / "src.bin"), "0123456789");
}

}  // namespace
