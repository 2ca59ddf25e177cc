#include "util/platform/thread.h"

#include <windows.h>
// _beginthreadex
#include <process.h>

#include <atomic>
#include <new>

namespace util_platform {
namespace {

struct StartRecord {
    void (*procedure)(void*);
    void* argument;
};

std::atomic<bool> g_start_fails{false};

unsigned __stdcall ThreadMain(void* raw) {
    StartRecord record = *static_cast<StartRecord*>(raw);
    delete static_cast<StartRecord*>(raw);
    record.procedure(record.argument);
    return 0;
}

}  // namespace

static_assert(sizeof(CRITICAL_SECTION) <= 64, "RecursiveLock's storage holds the section");

RecursiveLock::RecursiveLock(unsigned spin_count) : spin_count_(spin_count) {
    auto* section = reinterpret_cast<CRITICAL_SECTION*>(storage_);
    // Fails only on systems too old to run this library; the plain form cannot fail.
    if (!::InitializeCriticalSectionAndSpinCount(section, spin_count_))
        ::InitializeCriticalSection(section);
}

RecursiveLock::~RecursiveLock() {
    ::DeleteCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_));
}

void RecursiveLock::Lock() {
    ::EnterCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_));
}

void RecursiveLock::Unlock() {
    ::LeaveCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_));
}

bool RecursiveLock::TryLock() {
    return ::TryEnterCriticalSection(reinterpret_cast<CRITICAL_SECTION*>(storage_)) != FALSE;
}

// _beginthreadex rather than CreateThread: the thread uses the C runtime, which must set up
// its per-thread state. The handle it gives is a real thread handle that the system signals
// when the thread ends, so waiting and releasing are WaitForSingleObject and CloseHandle.
ThreadHandle StartThread(void (*procedure)(void*), void* argument) {
    if (g_start_fails.load() || procedure == nullptr) return nullptr;
    auto* record = new (std::nothrow) StartRecord{procedure, argument};
    if (!record) return nullptr;
    const uintptr_t handle = ::_beginthreadex(nullptr, 0, ThreadMain, record, 0, nullptr);
    if (handle == 0) {
        delete record;
        return nullptr;
    }
    return reinterpret_cast<ThreadHandle>(handle);
}

WaitResult WaitForThread(ThreadHandle handle, bool wait_forever) {
    if (!IsValidThreadHandle(handle)) return WaitResult::kFailed;
    switch (::WaitForSingleObject(static_cast<HANDLE>(handle), wait_forever ? INFINITE : 0)) {
        case WAIT_OBJECT_0:
            return WaitResult::kEnded;
        case WAIT_TIMEOUT:
            return WaitResult::kTimedOut;
        default:
            return WaitResult::kFailed;
    }
}

void CloseThreadHandle(ThreadHandle handle) {
    if (IsValidThreadHandle(handle)) ::CloseHandle(static_cast<HANDLE>(handle));
}

void CpuRelax() noexcept {
    YieldProcessor();
}

void SetThreadStartFailsForTesting(bool fails) {
    g_start_fails.store(fails);
}

}  // namespace util_platform
