#ifndef UTIL_COMMON_THREAD_H
#define UTIL_COMMON_THREAD_H

// A recursive lock, and a worker thread that runs one callback object.

#include <boost/shared_ptr.hpp>
#include <cstddef>
#include <mutex>

#include "util/util_export.h"

namespace common {
namespace sdk {

// A recursive lock: the owning thread may lock it again and must unlock it as often. Usable
// with std::lock_guard / std::unique_lock. Not copyable.
class UTIL_EXPORT CriticalSection {
  public:
    CriticalSection();
    ~CriticalSection();
    CriticalSection(const CriticalSection&) = delete;
    CriticalSection& operator=(const CriticalSection&) = delete;

    // Blocks until the calling thread owns the lock. A waiter spins (up to 2000 tries) before it
    // sleeps, since the sections such a lock guards are usually shorter than a sleep and wake.
    void lock();
    // Releases one level of ownership; only the owner may call it.
    void unlock();
    // True when the lock was taken without waiting (always for the owner, which then holds one
    // more level); false at once when another thread owns it.
    bool try_lock();

  private:
    // The platform's recursive lock (a CRITICAL_SECTION on Windows), built in place so that
    // this header needs none of the platform's declarations.
    alignas(std::max_align_t) unsigned char lock_[96];
};

// Runs a callback object on a thread of its own and lets the owner poll for it, wait for it and
// read its handle. One thread of the host is expected to own a Thread object; the object itself
// is not guarded.
//
// The thread keeps the callback object alive until Run has returned, so a caller may drop its
// own reference right after Start; the object is then destroyed on the worker thread. Ending of
// the thread does not clear the handle; destroying a Thread (or starting it again) releases the
// handle but never waits: the earlier thread runs on.
class UTIL_EXPORT Thread {
  public:
    class UTIL_EXPORT CallbackInterface {
      public:
        virtual ~CallbackInterface() = default;
        // The work of the thread. Exceptions are not caught (as with any thread's function).
        virtual void Run() = 0;
    };
    using CallbackPtr = boost::shared_ptr<CallbackInterface>;

    Thread() = default;
    ~Thread();
    Thread(const Thread&) = delete;
    Thread& operator=(const Thread&) = delete;

    // Starts a thread that calls callback->Run(). True when the thread was started; false leaves
    // the object as it was. An empty callback starts nothing and answers false. Allowed while
    // an earlier thread still runs (see above).
    bool Start(CallbackPtr callback);

    // True while the last started thread has not ended; false when none was started.
    bool IsRunning() const;

    // Waits without time limit until the last started thread has ended; returns at once when
    // none was started.
    void Join();

    // The platform handle of the last started thread; null while none was started.
    void* Handle() const { return handle_; }

  private:
    void* handle_ = nullptr;
};

}  // namespace sdk
}  // namespace common

#endif  // UTIL_COMMON_THREAD_H
