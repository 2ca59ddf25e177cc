#include "util/logging/log_file.h"

#include <limits>
#include <mutex>
#include <string>

#include "util/files/file_access.h"
#include "util/platform/byte_order.h"
#include "util/platform/file.h"

CLogFile::~CLogFile() {
    Close();
}

void CLogFile::Replace(FileHandle opened) {
    if (!IsValid(opened) || opened == handle_) return;
    Close();
    handle_ = opened;
    end_ = util_platform::FileSize(opened);  // new files start empty, appended ones at their end
}

void CLogFile::Close() {
    if (IsValid(handle_)) CFileAccess().FA_CloseFile(handle_);
    handle_ = nullptr;
    end_ = -1;
}

bool CLogFile::WriteLocked(const char16_t* units, size_t count) {
    if (count > std::numeric_limits<uint32_t>::max() / sizeof(char16_t)) return false;
    const auto bytes = static_cast<uint32_t>(count * sizeof(char16_t));
    const void* data = units;
    std::u16string swapped;
    if (!util_platform::kLittleEndianHost) {
        swapped.assign(units, count);
        for (char16_t& unit : swapped)
            unit = static_cast<char16_t>(((unit & 0xFF) << 8) | (unit >> 8));
        data = swapped.data();
    }
    std::lock_guard<common::sdk::CriticalSection> guard(lock_);
    if (!IsValid(handle_)) return false;
    if (CFileAccess().FA_WriteFile(handle_, data, bytes) == 1) {
        if (end_ >= 0) end_ += bytes;
        return true;
    }
    if (end_ >= 0 && !util_platform::TruncateFileHandle(handle_, end_)) end_ = -1;
    return false;
}
