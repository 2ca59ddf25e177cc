#include "util/common/thread.h"

#include <gtest/gtest.h>

#include <boost/make_shared.hpp>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

#include "util/platform/thread.h"

namespace {

using common::sdk::CriticalSection;
using common::sdk::Thread;

// A door the test opens for a callback that waits behind it.
class Gate {
  public:
    void Open() {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            open_ = true;
        }
        opened_.notify_all();
    }
    void Wait() {
        std::unique_lock<std::mutex> lock(mutex_);
        opened_.wait(lock, [this] { return open_; });
    }

  private:
    std::mutex mutex_;
    std::condition_variable opened_;
    bool open_ = false;
};

// Reports the thread its Run and its destructor ran on; Run waits at the gate, if any.
class Probe : public Thread::CallbackInterface {
  public:
    explicit Probe(Gate* gate = nullptr) : gate_(gate) {}
    ~Probe() override { destroyed_on_.set_value(std::this_thread::get_id()); }
    void Run() override {
        ran_on_.set_value(std::this_thread::get_id());
        if (gate_) gate_->Wait();
    }
    std::future<std::thread::id> RanOn() { return ran_on_.get_future(); }
    std::future<std::thread::id> DestroyedOn() { return destroyed_on_.get_future(); }

  private:
    Gate* gate_;
    std::promise<std::thread::id> ran_on_;
    std::promise<std::thread::id> destroyed_on_;
};

bool IsReady(const std::future<std::thread::id>& future) {
    return future.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
}

TEST(Thread, FreshObjectIsIdle) {
    Thread thread;
    EXPECT_FALSE(thread.IsRunning());
    thread.Join();  // returns at once
    EXPECT_EQ(thread.Handle(), nullptr);
}

TEST(Thread, RunningUntilTheCallbackReturns) {
    Gate gate;
    auto probe = boost::make_shared<Probe>(&gate);
    auto ran_on = probe->RanOn();
    Thread thread;
    ASSERT_TRUE(thread.Start(probe));
    void* handle = thread.Handle();
    EXPECT_NE(handle, nullptr);
    EXPECT_NE(ran_on.get(), std::this_thread::get_id());
    EXPECT_TRUE(thread.IsRunning());  // Run is blocked at the gate
    gate.Open();
    thread.Join();
    EXPECT_FALSE(thread.IsRunning());
    EXPECT_EQ(thread.Handle(), handle);  // ending does not clear the handle
    thread.Join();                       // joining an ended thread returns at once
}

TEST(Thread, CallbackLivesUntilRunHasReturned) {
    for (bool caller_keeps_reference : {false, true}) {
        Gate gate;  // keeps Run going until the caller has let go of its reference
        auto probe = boost::make_shared<Probe>(&gate);
        auto ran_on = probe->RanOn();
        auto destroyed_on = probe->DestroyedOn();
        Thread thread;
        ASSERT_TRUE(thread.Start(probe));
        Thread::CallbackPtr kept = caller_keeps_reference ? probe : nullptr;
        probe.reset();
        gate.Open();
        thread.Join();
        const std::thread::id worker = ran_on.get();
        if (caller_keeps_reference) {
            EXPECT_FALSE(IsReady(destroyed_on));  // the worker dropped only its own reference
            EXPECT_EQ(kept.use_count(), 1);
            kept.reset();
            EXPECT_EQ(destroyed_on.get(), std::this_thread::get_id());
        } else {
            EXPECT_EQ(destroyed_on.get(), worker);  // destroyed on the worker thread
        }
    }
}

TEST(Thread, SecondStartWhileTheFirstRuns) {
    Gate first_gate, second_gate;
    auto first = boost::make_shared<Probe>(&first_gate);
    auto second = boost::make_shared<Probe>(&second_gate);
    auto first_ran = first->RanOn(), second_ran = second->RanOn();
    auto first_destroyed = first->DestroyedOn(), second_destroyed = second->DestroyedOn();
    Thread thread;
    ASSERT_TRUE(thread.Start(first));
    first.reset();
    void* first_handle = thread.Handle();
    const std::thread::id first_worker = first_ran.get();
    ASSERT_TRUE(thread.Start(second));
    second.reset();
    EXPECT_NE(thread.Handle(), first_handle);
    EXPECT_NE(second_ran.get(), first_worker);

    // The object now follows the second thread only.
    second_gate.Open();
    thread.Join();
    EXPECT_FALSE(thread.IsRunning());
    second_destroyed.wait();
    EXPECT_FALSE(IsReady(first_destroyed));  // the first thread still waits at its gate

    first_gate.Open();
    EXPECT_EQ(first_destroyed.get(), first_worker);  // and finishes on its own
}

TEST(Thread, DestructorDoesNotWait) {
    Gate gate;
    auto probe = boost::make_shared<Probe>(&gate);
    auto destroyed_on = probe->DestroyedOn();
    auto ran_on = probe->RanOn();
    {
        Thread thread;
        ASSERT_TRUE(thread.Start(probe));
        probe.reset();
        ran_on.wait();
    }  // a destructor that waited would never return: the gate is still closed
    EXPECT_FALSE(IsReady(destroyed_on));
    gate.Open();
    EXPECT_EQ(destroyed_on.get(), ran_on.get());
}

TEST(Thread, FailedStartLeavesTheObjectAsItWas) {
    struct StartFailsGuard {
        StartFailsGuard() { util_platform::SetThreadStartFailsForTesting(true); }
        ~StartFailsGuard() { util_platform::SetThreadStartFailsForTesting(false); }
    };
    for (bool started_before : {false, true}) {
        Thread thread;
        if (started_before) {
            ASSERT_TRUE(thread.Start(boost::make_shared<Probe>()));
            thread.Join();
        }
        void* handle = thread.Handle();
        auto probe = boost::make_shared<Probe>();
        auto ran_on = probe->RanOn();
        {
            StartFailsGuard guard;
            EXPECT_FALSE(thread.Start(probe));
        }
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
    return std::async(std::launch::async,
                      [&lock] {
                          bool got = lock.try_lock();
                          if (got) lock.unlock();
                          return got;
                      })
        .get();
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
                std::lock_guard<CriticalSection> hold(lock);
                std::lock_guard<CriticalSection> again(lock);
                ++counter;
            }
        });
    for (auto& thread : threads) thread.join();
    EXPECT_EQ(counter, 40000);
}

}  // namespace
