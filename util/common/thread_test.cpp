#include "util/common/thread.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <chrono>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "util/platform/thread.h"

namespace {

using common::sdk::CriticalSection;
using common::sdk::Thread;
using ThreadId = std::future<std::thread::id>;

// Reports the thread its Run and its destructor ran on; Run waits until the gate (if given) is
// opened by setting its promise.
class Probe : public Thread::CallbackInterface {
  public:
    explicit Probe(std::promise<void>* gate = nullptr) {
        if (gate) gate_ = gate->get_future();
    }
    ~Probe() override { destroyed_on_.set_value(std::this_thread::get_id()); }
    void Run() override {
        ran_on_.set_value(std::this_thread::get_id());
        if (gate_.valid()) gate_.wait();
    }
    ThreadId RanOn() { return ran_on_.get_future(); }
    ThreadId DestroyedOn() { return destroyed_on_.get_future(); }

  private:
    std::future<void> gate_;
    std::promise<std::thread::id> ran_on_, destroyed_on_;
};

bool IsReady(const ThreadId& future) {
    return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

// The worker drops only its own reference: a callback the caller still holds lives on (a dropped
// one is destroyed on the worker thread, see below).
TEST(Thread, RunningUntilTheCallbackReturns) {
    Thread thread;
    EXPECT_FALSE(thread.IsRunning());  // a fresh object is idle
    thread.Join();                     // and joining it returns at once
    EXPECT_EQ(thread.Handle(), nullptr);

    std::promise<void> gate;
    auto probe = boost::make_shared<Probe>(&gate);
    ThreadId ran_on = probe->RanOn(), destroyed_on = probe->DestroyedOn();
    ASSERT_TRUE(thread.Start(probe));
    void* handle = thread.Handle();
    EXPECT_NE(handle, nullptr);
    EXPECT_NE(ran_on.get(), std::this_thread::get_id());
    EXPECT_TRUE(thread.IsRunning());  // Run is blocked at the gate
    gate.set_value();
    thread.Join();
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(thread.Handle(), handle);  // ending does not clear the handle
    thread.Join();                       // joining an ended thread returns at once
    EXPECT_FALSE(IsReady(destroyed_on));
    ASSERT_EQ(probe.use_count(), 1);  // else the wait below would never end
    probe.reset();
    EXPECT_EQ(destroyed_on.get(), std::this_thread::get_id());
}

// A second Start while the first thread runs: the object follows the second thread only; the
// first runs on and finishes on its own.
TEST(Thread, SecondStartWhileTheFirstRuns) {
    std::promise<void> first_gate, second_gate;
    auto first = boost::make_shared<Probe>(&first_gate);
    auto second = boost::make_shared<Probe>(&second_gate);
    ThreadId first_ran = first->RanOn(), second_ran = second->RanOn();
    ThreadId first_destroyed = first->DestroyedOn(), second_destroyed = second->DestroyedOn();
    Thread thread;
    ASSERT_TRUE(thread.Start(first));
    void* first_handle = thread.Handle();
    const std::thread::id first_worker = first_ran.get();
    ASSERT_TRUE(thread.Start(second));
    first.reset(), second.reset();
    EXPECT_NE(thread.Handle(), first_handle);
    EXPECT_NE(second_ran.get(), first_worker);
    second_gate.set_value();
    thread.Join();
    EXPECT_FALSE(thread.IsRunning());
    second_destroyed.wait();
    EXPECT_FALSE(IsReady(first_destroyed));  // the first thread still waits at its gate
    first_gate.set_value();
    EXPECT_EQ(first_destroyed.get(), first_worker);
}

TEST(Thread, DestructorDoesNotWait) {
    std::promise<void> gate;
    auto probe = boost::make_shared<Probe>(&gate);
    ThreadId destroyed_on = probe->DestroyedOn(), ran_on = probe->RanOn();
    {
        Thread thread;
        ASSERT_TRUE(thread.Start(probe));
        probe.reset();
        ran_on.wait();
    }  // a destructor that waited would never return: the gate is still closed
    EXPECT_FALSE(IsReady(destroyed_on));
    gate.set_value();
    EXPECT_EQ(destroyed_on.get(), ran_on.get());  // destroyed on the worker thread
}

TEST(Thread, FailedStartLeavesTheObjectAsItWas) {
    for (bool started_before : {false, true}) {
        Thread thread;
        if (started_before) {
            ASSERT_TRUE(thread.Start(boost::make_shared<Probe>()));
            thread.Join();
        }
        void* handle = thread.Handle();
        auto probe = boost::make_shared<Probe>();
        ThreadId ran_on = probe->RanOn();
        util_platform::SetThreadStartFailsForTesting(true);
        const bool started = thread.Start(probe);
        util_platform::SetThreadStartFailsForTesting(false);
        EXPECT_FALSE(started);
        EXPECT_EQ(thread.Handle(), handle);
        EXPECT_FALSE(thread.IsRunning());
        EXPECT_EQ(probe.use_count(), 1);  // the thread's reference was dropped again
        EXPECT_FALSE(IsReady(ran_on));

        EXPECT_FALSE(thread.Start(Thread::CallbackPtr()));  // nothing to run
        EXPECT_EQ(thread.Handle(), handle);
    }
}

// Answers whether another thread can take the lock at this moment (and gives it back).
bool OtherThreadGetsLock(CriticalSection& lock) {
    auto attempt = [&lock] { return lock.try_lock() ? (lock.unlock(), true) : false; };
    return std::async(std::launch::async, attempt).get();
}

TEST(CriticalSection, RecursiveAndTryLockFromAnotherThread) {
    CriticalSection lock;
    EXPECT_TRUE(OtherThreadGetsLock(lock));
    lock.lock();
    EXPECT_TRUE(lock.try_lock());  // the owner takes it again
    EXPECT_FALSE(OtherThreadGetsLock(lock));
    lock.unlock();
    EXPECT_FALSE(OtherThreadGetsLock(lock));  // still held once
    lock.unlock();
    EXPECT_TRUE(OtherThreadGetsLock(lock));
}

TEST(CriticalSection, SerialisesWriters) {
    CriticalSection lock;
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
