#include "util/logging/log_file.h"

#include <limits>
#include <mutex>
#include <new>
#include <string>
#include <thread>

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

// How long a caller whose text waits keeps checking before it blocks on the lock: a few tries
// with a pause hint, in case the holder is about to finish, then yielding its processor, which
// the holder, or a thread about to add its text to the next write, may need when threads
// outnumber cores. Measured on two cores: longer spinning only took processor time from them.
constexpr unsigned kSpinTries = 16;
constexpr unsigned kYieldTries = 64;

// One caller's text, on its caller's stack until a holder of the lock has written it.
struct CLogFile::Request {
    const void* data;
    uint32_t bytes;
    Request* next = nullptr;
    bool ok = false;                // written whole; set by the writer before done
    std::atomic<bool> done{false};  // the writer is finished with it and will not touch it again
};

bool CLogFile::WriteLocked(const char16_t* units, size_t count) {
    if (count > std::numeric_limits<uint32_t>::max() / sizeof(char16_t)) return false;
    if constexpr (!util_platform::kLittleEndianHost) {
        std::u16string swapped(units, count);
        for (char16_t& unit : swapped)
            unit = static_cast<char16_t>(((unit & 0xFF) << 8) | (unit >> 8));
        return WriteLittleEndian(swapped.data(), count);
    }
    return WriteLittleEndian(units, count);
}

bool CLogFile::WriteLittleEndian(const char16_t* units, size_t count) {
    Request mine{units, static_cast<uint32_t>(count * sizeof(char16_t))};

    // Alone: nothing waits and nobody writes, so the text goes to the file at once. A text that
    // arrives meanwhile comes after this one and finds its own way below.
    mine.next = waiting_.load(std::memory_order_acquire);
    if (!mine.next && lock_.try_lock()) {
        const bool written = IsValid(handle_) && WriteOne(mine.data, mine.bytes);
        lock_.unlock();
        return written;
    }
    while (!waiting_.compare_exchange_weak(mine.next, &mine, std::memory_order_acq_rel,
                                           std::memory_order_relaxed)) {
    }
    // Until some holder of the lock has written the text: take the lock when it is free and write
    // everything waiting, this text among it; otherwise wait a little for the holder to finish.
    // Blocking on the lock at last cannot miss the text: whoever holds it next writes it.
    for (unsigned tries = 0; !mine.done.load(std::memory_order_acquire); ++tries) {
        if (tries >= kSpinTries + kYieldTries) {
            std::lock_guard<common::sdk::CriticalSection> guard(lock_);
            WriteWaiting();
        } else if (lock_.try_lock()) {
            WriteWaiting();
            lock_.unlock();
        } else if (tries < kSpinTries) {
            util_platform::CpuRelax();
        } else {
            std::this_thread::yield();
        }
    }
    return mine.ok;
}

void CLogFile::WriteWaiting() {
    // The list is the holder's now, newest first: turned around in place to the order the texts
    // came. Links are read before any text is marked done: a caller whose text is done returns,
    // and its request goes with its stack.
    Request* oldest = nullptr;
    for (Request* request = waiting_.exchange(nullptr, std::memory_order_acq_rel); request;) {
        Request* newer = request->next;
        request->next = oldest;
        oldest = request;
        request = newer;
    }
    if (!oldest) return;
    if (IsValid(handle_)) WriteBatch(oldest);
    for (Request* request = oldest; request;) {
        Request* next = request->next;
        request->done.store(true, std::memory_order_release);
        request = next;
    }
}

void CLogFile::WriteBatch(Request* oldest) {
    if (oldest->next && JoinBatch(oldest)) {
        if (WriteOne(joined_.data(), static_cast<uint32_t>(joined_.size()))) {
            for (Request* request = oldest; request; request = request->next) request->ok = true;
            return;
        }
        // Taken back when the end was known; otherwise part of it may stand, and writing the
        // texts again could repeat them.
        if (end_ < 0) return;
    }
    for (Request* request = oldest; request; request = request->next)
        request->ok = WriteOne(request->data, request->bytes);
}

bool CLogFile::JoinBatch(const Request* oldest) {
    uint64_t total = 0;
    for (const Request* request = oldest; request; request = request->next) total += request->bytes;
    if (total > std::numeric_limits<uint32_t>::max()) return false;  // more than one write takes
    try {
        joined_.clear();
        joined_.reserve(total);
    } catch (const std::bad_alloc&) {
        return false;  // the texts then go one write each
    }
    for (const Request* request = oldest; request; request = request->next)
        joined_.append(static_cast<const char*>(request->data), request->bytes);
    return true;
}

bool CLogFile::WriteOne(const void* data, uint32_t bytes) {
    if (CFileAccess().FA_WriteFile(handle_, data, bytes) == 1) {
        if (end_ >= 0) end_ += bytes;
        return true;
    }
    if (end_ >= 0 && !util_platform::TruncateFileHandle(handle_, end_)) end_ = -1;
    return false;
}
