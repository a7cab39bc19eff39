#include "runtime/thread.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <memory>
#include <stdexcept>
#include <vector>

#include "runtime/exception.h"
#include "runtime/thread_list.h"

namespace kvell {
namespace {

// Runs a given body as Execute; the body gets the thread to ask Terminated().
class BodyThread : public TThread {
 public:
  explicit BodyThread(std::function<void(BodyThread&)> body, bool create_suspended = true)
      : TThread(create_suspended), body_(std::move(body)) {
    AfterConstruction();
  }
  ~BodyThread() override { BeforeDestruction(); }
  using TThread::ReturnValue;
  using TThread::Suspend;

 protected:
  void Execute() override { body_(*this); }

 private:
  std::function<void(BodyThread&)> body_;
};

void wait_until_suspended(const TThread& thread) {
  while (!thread.Suspended()) std::this_thread::yield();
}

TEST(SynchronizeTest, eight_threads_synchronising_ten_thousand_calls_each_all_run_on_the_main_thread) {
  constexpr int kThreads = 8;
  constexpr int kCalls = 10000;
  long counter = 0;  // touched only on the main thread; ThreadSanitizer checks that
  int off_main = 0;
  std::vector<std::unique_ptr<BodyThread>> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.push_back(std::make_unique<BodyThread>([&](BodyThread& self) {
      for (int i = 0; i < kCalls; ++i)
        self.Synchronize([&] {
          ++counter;
          if (!IsMainThread()) ++off_main;
        });
    }));
  }
  for (auto& thread : threads) thread->Resume();
  for (auto& thread : threads) thread->WaitFor();
  EXPECT_EQ(counter, long{kThreads} * kCalls);
  EXPECT_EQ(off_main, 0);
  EXPECT_FALSE(CheckSynchronize()) << "nothing may be left in the queue";
}

TEST(SynchronizeTest, on_the_main_thread_the_call_runs_at_once) {
  bool ran = false;
  Synchronize([&] { ran = true; });
  EXPECT_TRUE(ran);
  EXPECT_FALSE(CheckSynchronize());
}

TEST(SynchronizeTest, an_exception_in_the_call_is_raised_in_the_waiting_thread) {
  std::string caught;
  BodyThread thread([&](BodyThread& self) {
    try {
      self.Synchronize([] { throw std::runtime_error("refused on main"); });
    } catch (const std::runtime_error& e) {
      caught = e.what();
    }
  });
  thread.Resume();
  thread.WaitFor();
  EXPECT_EQ(caught, "refused on main");
}

TEST(SynchronizeTest, check_synchronize_off_the_main_thread_raises) {
  std::string message;
  BodyThread thread([&](BodyThread&) {
    try {
      CheckSynchronize();
    } catch (const Exception& e) {
      message = e.Message;
    }
  });
  thread.Resume();
  thread.WaitFor();
  EXPECT_EQ(message, thread_messages::NotMainThread);
}

TEST(SynchronizeTest, the_wake_hook_is_called_once_per_queued_call) {
  std::atomic<int> wakes{0};
  SetWakeMainThread([&] { ++wakes; });
  BodyThread thread([](BodyThread& self) {
    for (int i = 0; i < 3; ++i) self.Synchronize([] {});
  });
  thread.Resume();
  thread.WaitFor();
  SetWakeMainThread(nullptr);
  EXPECT_EQ(wakes.load(), 3);
}

TEST(ThreadTest, a_suspended_thread_that_is_terminated_stays_asleep_until_resumed_then_ends) {
  int rounds = 0;  // read after WaitFor only
  BodyThread thread([&](BodyThread& self) {
    while (!self.Terminated()) {
      ++rounds;
      self.Suspend();
    }
    self.ReturnValue = 7;
  });
  thread.Resume();
  wait_until_suspended(thread);
  thread.Terminate();
  EXPECT_TRUE(thread.Suspended()) << "Terminate must not wake the thread";
  EXPECT_FALSE(thread.Finished());
  thread.Resume();
  EXPECT_EQ(thread.WaitFor(), 7);
  EXPECT_EQ(rounds, 1);
  EXPECT_TRUE(thread.Finished());
}

TEST(ThreadTest, resuming_a_self_suspended_thread_runs_another_round) {
  std::atomic<int> rounds{0};
  BodyThread thread([&](BodyThread& self) {
    while (!self.Terminated()) {
      ++rounds;
      self.Suspend();
    }
  });
  thread.Resume();
  wait_until_suspended(thread);
  thread.Resume();
  while (rounds.load() < 2) std::this_thread::yield();
  wait_until_suspended(thread);
  EXPECT_EQ(rounds.load(), 2);
}  // destroying a self-suspended thread terminates, resumes and joins it

TEST(ThreadTest, destruction_while_running_stops_the_thread_before_its_members_go) {
  std::promise<void> started;
  std::atomic<bool> returned{false};
  auto thread = std::make_unique<BodyThread>([&](BodyThread& self) {
    std::vector<int> work;
    started.set_value();
    while (!self.Terminated()) work.push_back(1);
    returned = true;
  });
  thread->Resume();
  started.get_future().wait();
  thread.reset();
  EXPECT_TRUE(returned.load());
}

TEST(ThreadTest, destruction_while_the_thread_synchronises_does_not_deadlock) {
  std::promise<void> started;
    auto thread = std::make_unique<BodyThread>([&](BodyThread& self) {
    started.set_value();
    while (!self.Terminated()) self.Synchronize([] {});
  });
  thread->Resume();
  started.get_future().wait();
  thread.reset();  // WaitFor on the main thread keeps running queued calls
  EXPECT_FALSE(CheckSynchronize()) << "the last call must have been run, not left queued";
}

TEST(ThreadTest, a_thread_created_suspended_and_never_resumed_never_runs) {
  bool ran = false;
  {
    BodyThread thread([&](BodyThread&) { ran = true; });
    EXPECT_TRUE(thread.Suspended());
    EXPECT_EQ(thread.WaitFor(), 0);
  }
  EXPECT_FALSE(ran);
}

TEST(ThreadTest, a_thread_not_created_suspended_starts_after_construction) {
  std::atomic<bool> ran{false};
  BodyThread thread([&](BodyThread&) { ran = true; }, /*create_suspended=*/false);
  thread.WaitFor();
  EXPECT_TRUE(ran.load());
  EXPECT_FALSE(thread.Suspended());
}

TEST(ThreadTest, on_terminate_runs_on_the_main_thread_after_execute) {
  std::vector<std::string> events;  // appended on the worker, then on main after Execute
  bool on_main = false;
  BodyThread thread([&](BodyThread&) { events.push_back("execute"); });
  thread.OnTerminate = [&](TThread* sender) {
    on_main = IsMainThread();
    events.push_back(sender == &thread ? "terminate" : "wrong sender");
  };
  thread.Resume();
  thread.WaitFor();
  EXPECT_TRUE(on_main);
  EXPECT_EQ(events, (std::vector<std::string>{"execute", "terminate"}));
}

TEST(ThreadTest, what_execute_lets_escape_is_kept_as_the_fatal_exception) {
  BodyThread thread([](BodyThread&) { throw Exception("lost connection"); });
  thread.Resume();
  thread.WaitFor();
  ASSERT_TRUE(thread.FatalException());
  try {
    std::rethrow_exception(thread.FatalException());
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message, "lost connection");
  }
}

TEST(ThreadTest, a_free_on_terminate_thread_deletes_itself_and_refuses_wait_for) {
  struct Owned : BodyThread {
    explicit Owned(std::promise<void>* on_gone) : BodyThread([](BodyThread&) {}), gone(on_gone) {}
    ~Owned() override {
      BeforeDestruction();
      gone->set_value();
    }
    std::promise<void>* gone;
  };
  std::promise<void> gone;
  auto* thread = new Owned(&gone);
  thread->FreeOnTerminate = true;
  EXPECT_THROW(thread->WaitFor(), Exception);
  thread->Resume();
  gone.get_future().wait();  // the destructor ran on the thread itself
}

TEST(ThreadTest, only_the_thread_itself_may_suspend_it) {
  BodyThread thread([](BodyThread& self) { self.Suspend(); });
  EXPECT_THROW(thread.Suspend(), Exception);
}

TEST(ThreadListTest, the_lock_nests_and_adding_ignores_duplicates) {
  TThreadList<int> list;
  list.Add(1);
  std::vector<int>& outer = list.LockList();
  std::vector<int>& inner = list.LockList();
  inner.push_back(2);
  list.Add(1);  // nested again, from inside the held lock
  list.UnlockList();
  EXPECT_EQ(outer, (std::vector<int>{1, 2}));
  list.UnlockList();
  list.Remove(1);
  list.Remove(9);
  EXPECT_EQ(list.Count(), 1);
}

TEST(ThreadListTest, eight_threads_adding_and_removing_keep_the_list_whole) {
  TThreadList<int> list;
  std::vector<std::unique_ptr<BodyThread>> threads;
  for (int t = 0; t < 8; ++t)
    threads.push_back(std::make_unique<BodyThread>([&list, t](BodyThread&) {
      for (int i = 0; i < 1000; ++i) {
        list.Add(t * 1000 + i);
        if (i % 2) list.Remove(t * 1000 + i);
      }
      std::vector<int>& items = list.LockList();
      items.push_back(-1 - t);
      list.UnlockList();
    }));
  for (auto& thread : threads) thread->Resume();
  for (auto& thread : threads) thread->WaitFor();
  EXPECT_EQ(list.Count(), 8 * 500 + 8);
}

}  // namespace
}  // namespace kvell
