// makeDownloadDescList on arbitrary file contents, offsets and code pages. Each result is
// checked against a direct reading of the block layout (length at the offset, big-endian; text
// after 4 skipped bytes; last byte a terminator; text up to the first zero), the output must be
// untouched on failure, and no allocation during the call may exceed the sizes the file
// justifies: the text buffer at most the file's size, the wide text at most twice that.
//
// Input: byte 0 picks the code page and how the offset is formed, bytes 1-4 give the offset,
// the rest is the file.

#include <sanitizer/allocator_interface.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "util/files/file_access.h"
#include "util/platform/codepage.h"

namespace {

bool g_tracking = false;
size_t g_largest = 0;

// Called by the sanitizer allocator for every allocation.
void OnAllocation(const volatile void*, size_t size) {
    if (g_tracking && size > g_largest) g_largest = size;
}

void OnFree(const volatile void*) {}

// A scratch folder for the one file under test, removed when the fuzzer exits.
struct ScratchFolder {
    ScratchFolder()
        : dir(std::filesystem::temp_directory_path() /
              ("download-desc-fuzz-" + std::to_string(std::rand()))) {
        std::filesystem::create_directories(dir);
    }
    ~ScratchFolder() {
        std::error_code ec;
        std::filesystem::remove_all(dir, ec);
    }
    std::filesystem::path dir;
};

const std::filesystem::path& FirmwarePath() {
    static ScratchFolder folder;
    static const std::filesystem::path path = folder.dir / "fw.bin";
    return path;
}

uint32_t ReadBigEndian(const uint8_t* p) {
    return (uint32_t{p[0]} << 24) | (uint32_t{p[1]} << 16) | (uint32_t{p[2]} << 8) | p[3];
}

void Check(bool condition, const char* what) {
    if (!condition) {
        std::fprintf(stderr, "invariant broken: %s\n", what);
        std::abort();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool hooked = __sanitizer_install_malloc_and_free_hooks(OnAllocation, OnFree);
    (void)hooked;
    if (size < 5) return 0;
    static const char* const kLocales[] = {"C", "de_DE.ISO-8859-1", "ja_JP.SHIFT_JIS"};
    ::setenv("LC_ALL", kLocales[(data[0] & 3) % 3], 1);
    const uint8_t* file = data + 5;
    const size_t fileSize = size - 5;
    uint32_t offset = ReadBigEndian(data + 1);
    switch ((data[0] >> 2) & 3) {
        case 0:
            offset = 0;
            break;  // the default block
        case 1:
            offset = offset % static_cast<uint32_t>(fileSize + 16);
            break;  // near the data
        default:
            break;  // anything at all
    }
    {
        std::ofstream out(FirmwarePath(), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(file), static_cast<std::streamsize>(fileSize));
    }

    // What the layout says the answer is.
    const uint64_t block = offset ? offset : 140;
    MakeDLFileRes expected = MDL_InvalidData;
    std::u16string expectedText;
    if (fileSize >= block + 8) {
        const uint64_t length = ReadBigEndian(file + block);
        if (length != 0 && fileSize >= block + 8 + length) {
            const char* text = reinterpret_cast<const char*>(file + block + 8);
            size_t n = 0;
            while (n < length - 1 && text[n] != '\0') ++n;
            expected = MDL_Success;
            expectedText = util_platform::WideFromAnsi(std::string(text, n));
        }
    }

    const CString path = CString::FromUtf8(FirmwarePath().string());
    CString output = u"untouched";
    g_largest = 0;
    g_tracking = true;
    MakeDLFileRes result = CFileAccess::makeDownloadDescList(path, offset, output);
    g_tracking = false;

    Check(result == expected, "result code");
    if (result == MDL_Success)
        Check(output.View() == expectedText, "extracted text");
    else
        Check(output == CString(u"untouched"), "output unchanged on failure");
    // Allocations: paths and the text buffer (at most the file) and its wide form (at most
    // twice the file), plus a small constant for the path and the converter.
    Check(g_largest <= 2 * fileSize + 4096, "no allocation beyond what the file justifies");
    return 0;
}
