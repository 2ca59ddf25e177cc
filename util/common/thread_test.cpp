#include "util/common/thread.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <tuple>
#include <vector>

#include "util/platform/thread.h"

namespace {

using common::sdk::CriticalSection;
using common::sdk::Thread;
using ThreadId = std::shared_future<std::thread::id>;

// A callback that reports the thread its Run and its destructor ran on; Run waits until the
// gate is opened by setting the job's promise.
struct Probe : Thread::CallbackInterface {
    explicit Probe(std::shared_future<void> gate) : gate(std::move(gate)) {}
    ~Probe() override { destroyed.set_value(std::this_thread::get_id()); }
    void Run() override {
        ran.set_value(std::this_thread::get_id());
        gate.wait();
    }
    std::shared_future<void> gate;
    std::promise<std::thread::id> ran, destroyed;
};

struct Job {
    std::promise<void> gate;
    boost::shared_ptr<Probe> probe = boost::make_shared<Probe>(gate.get_future().share());
    ThreadId ran_on = probe->ran.get_future().share();
    ThreadId destroyed_on = probe->destroyed.get_future().share();
};

bool IsReady(const ThreadId& future) {
    return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

// A failed or empty Start leaves the object as it was; the worker drops only its own reference,
// so a callback the caller still holds lives on and is destroyed where the last reference goes.
TEST(Thread, StartRunJoinAndFailedStart) {
    Thread thread;
    auto expect_failed_starts = [&thread](void* handle) {
        Job job;
        util_platform::SetThreadStartFailsForTesting(true);
        EXPECT_FALSE(thread.Start(job.probe));
        util_platform::SetThreadStartFailsForTesting(false);
        EXPECT_FALSE(thread.Start(Thread::CallbackPtr()));  // nothing to run
        // The handle kept, not running, the thread's reference dropped again, nothing ran.
        EXPECT_EQ(std::make_tuple(thread.Handle(), thread.IsRunning(), job.probe.use_count(),
                                  IsReady(job.ran_on)),
                  std::make_tuple(handle, false, 1L, false));
        thread.Join();  // returns at once: no thread, or an ended one
    };
    expect_failed_starts(nullptr);  // on a fresh object, which is idle

    Job job;
    ASSERT_TRUE(thread.Start(job.probe));
    void* handle = thread.Handle();
    EXPECT_NE(job.ran_on.get(), std::this_thread::get_id());
    EXPECT_TRUE(thread.IsRunning());  // Run is blocked at the gate
    job.gate.set_value();
    thread.Join();
    expect_failed_starts(handle);  // ending does not clear the handle
    EXPECT_FALSE(IsReady(job.destroyed_on));
    ASSERT_EQ(job.probe.use_count(), 1);  // else the wait below would never end
    job.probe.reset();
    EXPECT_EQ(job.destroyed_on.get(), std::this_thread::get_id());
}

// A second Start while the first thread runs: the object follows the second thread only; the
// first runs on and finishes on its own, and a callback the caller dropped is destroyed on its
// worker thread. The destructor does not wait for a thread that still runs.
TEST(Thread, SecondStartAndDestructionDoNotWait) {
    Job first, second, third;
    {
        Thread thread;
        ASSERT_TRUE(thread.Start(first.probe));
        void* first_handle = thread.Handle();
        ASSERT_TRUE(thread.Start(second.probe));
        first.probe.reset();
        second.probe.reset();
        EXPECT_NE(thread.Handle(), first_handle);
        EXPECT_NE(second.ran_on.get(), first.ran_on.get());
        second.gate.set_value();
        thread.Join();
        EXPECT_FALSE(thread.IsRunning());
        ASSERT_TRUE(thread.Start(third.probe));
        third.probe.reset();
    }  // a destructor that waited would never return: the gates of 1 and 3 are still closed
    EXPECT_FALSE(IsReady(first.destroyed_on) || IsReady(third.destroyed_on));
    first.gate.set_value();
    third.gate.set_value();
    EXPECT_EQ(first.destroyed_on.get(), first.ran_on.get());
    EXPECT_EQ(third.destroyed_on.get(), third.ran_on.get());
}

// Answers whether another thread can take the lock at this moment (and gives it back).
bool OtherThreadGetsLock(CriticalSection& lock) {
    auto attempt = [&lock] { return lock.try_lock() ? (lock.unlock(), true) : false; };
    return std::async(std::launch::async, attempt).get();
}

TEST(CriticalSection, RecursiveTryLockAndSerialisedWriters) {
    CriticalSection lock;
    lock.lock();
    EXPECT_TRUE(lock.try_lock());  // the owner takes it again
    lock.unlock();
    EXPECT_FALSE(OtherThreadGetsLock(lock));  // still held once
    lock.unlock();
    EXPECT_TRUE(OtherThreadGetsLock(lock));

    long counter = 0;
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
        threads.emplace_back([&] {
            for (int i = 0; i < 10000; ++i) {
                std::lock_guard<CriticalSection> hold(lock), again(lock);
                ++counter;
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(counter, 40000);
}

}  // namespace
