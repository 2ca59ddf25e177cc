#ifndef UTIL_PLATFORM_THREAD_H
#define UTIL_PLATFORM_THREAD_H

// Threads that can be polled, waited on and released without waiting, like a Win32 thread
// handle. Releasing the handle of a running thread leaves the thread running (it is detached).

#include <cstddef>
#include <cstdint>

namespace util_platform {

// A recursive lock of the system's own kind: the owning thread may take it again and must
// release it as often. A thread that finds it taken tries again up to spin_count times, with a
// pause hint between tries, before it sleeps: the sections such a lock guards are usually shorter
// than a sleep and a wake-up.
//   Windows: a CRITICAL_SECTION set up with InitializeCriticalSectionAndSpinCount.
//   POSIX: a recursive mutex, tried spin_count times before the blocking lock.
// The lock object lives inside this one (no allocation), so locks can be built as part of
// objects of static lifetime while the library loads.
class RecursiveLock {
  public:
    explicit RecursiveLock(unsigned spin_count);
    ~RecursiveLock();
    RecursiveLock(const RecursiveLock&) = delete;
    RecursiveLock& operator=(const RecursiveLock&) = delete;

    void Lock();
    void Unlock();   // only the owner may call it
    bool TryLock();  // true when taken (or taken once more by the owner) without waiting

  private:
    alignas(std::max_align_t) unsigned char storage_[64];
    unsigned spin_count_;
};

using ThreadHandle = void*;

// The value a platform reports for "no valid handle" besides 0.
inline ThreadHandle InvalidThreadHandle() {
    return reinterpret_cast<ThreadHandle>(~uintptr_t{0});
}
inline bool IsValidThreadHandle(ThreadHandle handle) {
    return handle != nullptr && handle != InvalidThreadHandle();
}

// Starts a thread that runs procedure(argument). Answers its handle, or null when the system
// could not start a thread (procedure is then never called).
ThreadHandle StartThread(void (*procedure)(void*), void* argument);

enum class WaitResult { kEnded, kTimedOut, kFailed };

// Waits for the thread to end: with wait_forever false the answer is immediate. kFailed for a
// handle that is not valid.
WaitResult WaitForThread(ThreadHandle handle, bool wait_forever);

// Releases the handle; the thread, if still running, goes on. The handle must not be used again.
void CloseThreadHandle(ThreadHandle handle);

// Tells the processor that the caller is spinning on a lock (a pause hint); does nothing where
// the processor has no such hint.
void CpuRelax() noexcept;

// Overrides StartThread's system call so that a test can make it fail; false restores it.
void SetThreadStartFailsForTesting(bool fails);

}  // namespace util_platform

#endif  // UTIL_PLATFORM_THREAD_H
