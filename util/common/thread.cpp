#include "util/common/thread.h"

#include <new>

#include "util/platform/thread.h"

namespace common {
namespace sdk {

// A waiter first spins for a while before it sleeps: the sections this lock guards (one log
// write) are short, and going to sleep and being woken costs more than they take.
constexpr unsigned kSpinCount = 2000;

namespace {

static_assert(sizeof(util_platform::RecursiveLock) <= 96 &&
                  alignof(util_platform::RecursiveLock) <= alignof(std::max_align_t),
              "CriticalSection's storage holds the platform's lock");

util_platform::RecursiveLock& LockIn(unsigned char* storage) {
    return *reinterpret_cast<util_platform::RecursiveLock*>(storage);
}

}  // namespace

CriticalSection::CriticalSection() {
    new (lock_) util_platform::RecursiveLock(kSpinCount);
}
CriticalSection::~CriticalSection() {
    LockIn(lock_).~RecursiveLock();
}

void CriticalSection::lock() {
    LockIn(lock_).Lock();
}
void CriticalSection::unlock() {
    LockIn(lock_).Unlock();
}
bool CriticalSection::try_lock() {
    return LockIn(lock_).TryLock();
}

namespace {

// The heap-held copy of the callback pointer that travels to the new thread.
struct Holder {
    Thread::CallbackPtr callback;
};

void ThreadProcedure(void* argument) {
    auto* holder = static_cast<Holder*>(argument);
    Thread::CallbackPtr callback = holder->callback;
    delete holder;
    callback->Run();
    // `callback` goes out of scope here: the last reference destroys the object on this thread.
}

}  // namespace

Thread::~Thread() {
    if (util_platform::IsValidThreadHandle(handle_)) util_platform::CloseThreadHandle(handle_);
}

bool Thread::Start(CallbackPtr callback) {
    if (!callback) return false;  // a thread with nothing to run would crash on its first step
    auto* holder = new (std::nothrow) Holder{callback};
    if (!holder) return false;
    void* started = util_platform::StartThread(ThreadProcedure, holder);
    if (!started) {
        delete holder;
        return false;
    }
    if (started != handle_ && util_platform::IsValidThreadHandle(started)) {
        if (util_platform::IsValidThreadHandle(handle_)) util_platform::CloseThreadHandle(handle_);
        handle_ = started;
    }
    return true;
}

bool Thread::IsRunning() const {
    return util_platform::WaitForThread(handle_, false) == util_platform::WaitResult::kTimedOut;
}

void Thread::Join() {
    util_platform::WaitForThread(handle_, true);
}

}  // namespace sdk
}  // namespace common
