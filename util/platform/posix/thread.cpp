#include "util/platform/thread.h"

#include <pthread.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <new>

namespace util_platform {
namespace {

// Shared by the handle and the running thread; whichever lets go last frees it.
struct ThreadRecord {
    void (*procedure)(void*);
    void* argument;
    std::mutex mutex;
    std::condition_variable ended_signal;
    bool ended = false;
    std::atomic<int> references{2};

    void Unref() {
        if (references.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
    }
};

std::atomic<bool> g_start_fails{false};

void* ThreadMain(void* raw) {
    auto* record = static_cast<ThreadRecord*>(raw);
    record->procedure(record->argument);
    {
        std::lock_guard<std::mutex> lock(record->mutex);
        record->ended = true;
    }
    record->ended_signal.notify_all();
    record->Unref();
    return nullptr;
}

}  // namespace

static_assert(sizeof(std::recursive_mutex) <= 64, "RecursiveLock's storage holds the mutex");

RecursiveLock::RecursiveLock(unsigned spin_count) : spin_count_(spin_count) {
    new (storage_) std::recursive_mutex;
}

RecursiveLock::~RecursiveLock() {
    reinterpret_cast<std::recursive_mutex*>(storage_)->~recursive_mutex();
}

void RecursiveLock::Lock() {
    auto* mutex = reinterpret_cast<std::recursive_mutex*>(storage_);
    for (unsigned i = 0; i < spin_count_; ++i) {
        if (mutex->try_lock()) return;
        CpuRelax();
    }
    mutex->lock();
}

void RecursiveLock::Unlock() {
    reinterpret_cast<std::recursive_mutex*>(storage_)->unlock();
}

bool RecursiveLock::TryLock() {
    return reinterpret_cast<std::recursive_mutex*>(storage_)->try_lock();
}

ThreadHandle StartThread(void (*procedure)(void*), void* argument) {
    if (g_start_fails.load()) return nullptr;
    auto* record = new (std::nothrow) ThreadRecord;
    if (!record) return nullptr;
    record->procedure = procedure;
    record->argument = argument;
    pthread_t thread;
    if (pthread_create(&thread, nullptr, ThreadMain, record) != 0) {
        delete record;
        return nullptr;
    }
    pthread_detach(thread);  // waiting goes through the record, so nobody joins
    return record;
}

WaitResult WaitForThread(ThreadHandle handle, bool wait_forever) {
    if (!IsValidThreadHandle(handle)) return WaitResult::kFailed;
    auto* record = static_cast<ThreadRecord*>(handle);
    std::unique_lock<std::mutex> lock(record->mutex);
    if (wait_forever) record->ended_signal.wait(lock, [record] { return record->ended; });
    return record->ended ? WaitResult::kEnded : WaitResult::kTimedOut;
}

void CloseThreadHandle(ThreadHandle handle) {
    if (IsValidThreadHandle(handle)) static_cast<ThreadRecord*>(handle)->Unref();
}

void CpuRelax() noexcept {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__) || defined(__arm__)
    __asm__ __volatile__("yield");
#endif
}

void SetThreadStartFailsForTesting(bool fails) {
    g_start_fails.store(fails);
}

}  // namespace util_platform
