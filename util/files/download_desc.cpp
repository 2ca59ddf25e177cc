// CFileAccess::makeDownloadDescList: the description block of a firmware file.

#include <cstdint>
#include <string>
#include <vector>

#include "util/files/file_access.h"
#include "util/platform/codepage.h"
#include "util/platform/file.h"

namespace {

constexpr uint32_t kDefaultBlockOffset = 140;

// Owns a handle of the platform layer.
class ScopedHandle {
  public:
    explicit ScopedHandle(FileHandle handle) : handle_(handle) {}
    ~ScopedHandle() {
        if (handle_) util_platform::CloseFileHandle(handle_);
    }
    ScopedHandle(const ScopedHandle&) = delete;
    ScopedHandle& operator=(const ScopedHandle&) = delete;
    FileHandle get() const { return handle_; }

  private:
    FileHandle handle_;
};

// Reads exactly count bytes, across as many reads as it takes; false at an early end.
bool ReadExactly(FileHandle handle, unsigned char* buffer, uint64_t count) {
    while (count > 0) {
        uint32_t want = count > (1u << 30) ? (1u << 30) : static_cast<uint32_t>(count);
        uint32_t got = 0;
        if (!util_platform::ReadFileHandle(handle, buffer, want, &got) || got == 0) return false;
        buffer += got;
        count -= got;
    }
    return true;
}

}  // namespace

MakeDLFileRes CFileAccess::makeDownloadDescList(const CString& path, uint32_t offset,
                                                CString& text) {
    const uint64_t blockOffset = offset == 0 ? kDefaultBlockOffset : offset;

    // A plain reader: it lets others read and write the file meanwhile.
    util_platform::FileOpenOptions options;
    options.access = util_platform::kAccessRead;
    options.share = util_platform::kAccessReadWrite;
    options.creation = util_platform::FileCreation::kOpenExisting;
    options.regularOnly = true;
    ScopedHandle file(util_platform::OpenFileShared(path.View(), options));
    if (!file.get()) return MDL_OpenFailed;

    // All sums in 64 bits: offset + 8 + length never wraps.
    const int64_t size = util_platform::FileSize(file.get());
    if (size < 0 || static_cast<uint64_t>(size) < blockOffset + 8) return MDL_InvalidData;
    if (util_platform::SetFilePosition(file.get(), static_cast<int64_t>(blockOffset),
                                       util_platform::SeekOrigin::kBegin) == UINT32_MAX &&
        util_platform::LastError() != 0)
        return MDL_InvalidData;

    unsigned char header[8];
    if (!ReadExactly(file.get(), header, sizeof header)) return MDL_InvalidData;
    const uint64_t length = (uint64_t{header[0]} << 24) | (uint64_t{header[1]} << 16) |
                            (uint64_t{header[2]} << 8) | uint64_t{header[3]};
    // A length of 0 leaves no room for the terminator: the block is malformed. The length is
    // checked against the file before any buffer of that size exists.
    if (length == 0 || static_cast<uint64_t>(size) < blockOffset + 8 + length)
        return MDL_InvalidData;

    std::vector<unsigned char> bytes(static_cast<size_t>(length), 0);
    if (!ReadExactly(file.get(), bytes.data(), length)) return MDL_InvalidData;
    bytes.back() = 0;  // the last byte is the terminator, whatever it holds
    std::string narrow(reinterpret_cast<const char*>(bytes.data()));
    text = CString(util_platform::WideFromAnsi(narrow));
    return MDL_Success;
}
