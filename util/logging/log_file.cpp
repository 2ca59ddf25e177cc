#include "util/logging/log_file.h"

#include <limits>
#include <mutex>
#include <string>

#include "util/files/file_access.h"
#include "util/platform/byte_order.h"
#include "util/platform/file.h"
#include "util/platform/thread.h"

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

// How often a waiting writer checks for the end of the current write before it sleeps.
constexpr int kSpinCount = 1000;

// One caller's text, waiting on its caller's stack until a writer has written it.
struct CLogFile::Request {
    const void* data;
    uint32_t bytes;
    bool ok = false;    // written whole; set by the writer before done
    bool done = false;  // the writer is finished with it; guarded by queueMutex_
};

bool CLogFile::WriteLocked(const char16_t* units, size_t count) {
    if (count > std::numeric_limits<uint32_t>::max() / sizeof(char16_t)) return false;
    Request mine{units, static_cast<uint32_t>(count * sizeof(char16_t))};
    std::u16string swapped;
    if (!util_platform::kLittleEndianHost) {
        swapped.assign(units, count);
        for (char16_t& unit : swapped)
            unit = static_cast<char16_t>(((unit & 0xFF) << 8) | (unit >> 8));
        mine.data = swapped.data();
    }

    std::unique_lock<std::mutex> queue(queueMutex_);
    waiting_.push_back(&mine);
    while (!mine.done) {
        if (writing_) {
            // The writer may take this text along, or leave it to us. A write lasts about as
            // long as one system call, so the wait spins first: sleeping and being woken would
            // cost as much again.
            const uint64_t seen = finished_;
            queue.unlock();
            for (int i = 0;
                 i < kSpinCount && finishedSignal_.load(std::memory_order_acquire) == seen; ++i)
                util_platform::CpuRelax();
            queue.lock();
            written_.wait(queue, [&] { return finished_ != seen; });
            continue;
        }
        // Nobody writes: this thread writes every text that waits, its own among them.
        writing_ = true;
        batch_.swap(waiting_);
        queue.unlock();
        WriteBatch(batch_);
        queue.lock();
        for (Request* request : batch_) request->done = true;
        batch_.clear();
        writing_ = false;
        ++finished_;
        finishedSignal_.store(finished_, std::memory_order_release);
        written_.notify_all();
    }
    return mine.ok;
}

void CLogFile::WriteBatch(const std::vector<Request*>& batch) {
    std::lock_guard<common::sdk::CriticalSection> guard(lock_);
    if (!IsValid(handle_)) return;
    if (batch.size() > 1) {
        // All texts in one write, when together they fit the byte count of one file write.
        uint64_t total = 0;
        for (const Request* request : batch) total += request->bytes;
        if (total <= std::numeric_limits<uint32_t>::max()) {
            joined_.clear();
            for (const Request* request : batch)
                joined_.append(static_cast<const char*>(request->data), request->bytes);
            if (WriteOne(joined_.data(), static_cast<uint32_t>(total))) {
                for (Request* request : batch) request->ok = true;
                return;
            }
            // Taken back when the end was known; otherwise part of it may stand, and writing
            // the texts again could repeat them.
            if (end_ < 0) return;
        }
    }
    for (Request* request : batch) request->ok = WriteOne(request->data, request->bytes);
}

bool CLogFile::WriteOne(const void* data, uint32_t bytes) {
    if (CFileAccess().FA_WriteFile(handle_, data, bytes) == 1) {
        if (end_ >= 0) end_ += bytes;
        return true;
    }
    if (end_ >= 0 && !util_platform::TruncateFileHandle(handle_, end_)) end_ = -1;
    return false;
}
