// CFileAccess::FA_FileAddJobClientID: a copy of a firmware file with the job client ID line
// inserted after its 9-byte head.

#include <cerrno>
#include <cstdint>
#include <memory>
#include <new>
#include <string>

#include "util/files/file_access.h"
#include "util/platform/codepage.h"
#include "util/platform/file.h"

namespace {

constexpr uint32_t kHeadBytes = 9;
constexpr uint32_t kBlockBytes = 512000;
constexpr size_t kBufferBytes = 512002;

// Closes the handles it was given when it goes out of scope.
class HandleCloser {
  public:
    explicit HandleCloser(CFileAccess& files) : files_(files) {}
    ~HandleCloser() {
        for (FileHandle handle : handles_)
            if (handle) files_.FA_CloseFile(handle);
    }
    void Add(FileHandle handle) { handles_[count_++] = handle; }

  private:
    CFileAccess& files_;
    FileHandle handles_[2] = {nullptr, nullptr};
    int count_ = 0;
};

}  // namespace

int CFileAccess::FA_FileAddJobClientID(const char16_t* source, const char16_t* destination,
                                       const char16_t* jobClientId) {
    uint32_t sourceSize = 0;
    if (!FA_GetFileSize(source, &sourceSize)) return 0;
    // A source without a complete head cannot be stamped; refuse before the destination is
    // created or truncated.
    if (sourceSize < kHeadBytes) {
        util_platform::SetLastError(EINVAL);  // the caller can tell this 0 from a success
        return 0;
    }

    HandleCloser closer(*this);
    FileHandle in = FA_OpenFile(source, FM_Read);
    if (!in) return 0;
    closer.Add(in);
    FileHandle out = FA_OpenFile(destination, FM_Create);
    if (!out) return 0;
    closer.Add(out);

    std::string stamp = "@JCID=";
    if (jobClientId) stamp += util_platform::AnsiFromWide(jobClientId);
    stamp += "\r\n";

    std::unique_ptr<unsigned char[]> buffer(new (std::nothrow) unsigned char[kBufferBytes]);
    if (!buffer) return 0;

    uint32_t read = 0;
    if (!FA_ReadFile(in, buffer.get(), kHeadBytes, &read) || read != kHeadBytes) return 0;
    if (!FA_WriteFile(out, buffer.get(), read)) return 0;
    if (!FA_WriteFile(out, stamp.data(), static_cast<uint32_t>(stamp.size()))) return 0;

    // The measured size is the target: a file that grows meanwhile is copied up to it, one that
    // shrinks ends the copy with failure instead of waiting for bytes that never come.
    uint32_t position = kHeadBytes;
    while (position < sourceSize) {
        if (!FA_SeekFile(in, static_cast<int32_t>(position))) return 0;
        uint32_t want = sourceSize - position < kBlockBytes ? sourceSize - position : kBlockBytes;
        if (!FA_ReadFile(in, buffer.get(), want, &read) || read == 0) return 0;
        if (!FA_WriteFile(out, buffer.get(), read)) return 0;
        position += read;
    }
    return 1;
}
