#include "oracle/binding/critical_section.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

namespace kvell {
namespace {

TEST(OracleCriticalSection, is_reentrant_and_counts_nested_entries) {
  TOracleCriticalSection lock;
  lock.Enter();
  lock.Enter();
  EXPECT_EQ(lock.EntryCount(), 2);
  lock.Leave();
  EXPECT_EQ(lock.EntryCount(), 1);
  EXPECT_TRUE(lock.HeldByCurrentThread());
  lock.Leave();
  EXPECT_EQ(lock.EntryCount(), 0);
  EXPECT_FALSE(lock.HeldByCurrentThread());
}

TEST(OracleCriticalSection, leave_without_enter_does_nothing) {
  TOracleCriticalSection lock;
  lock.Leave();
  EXPECT_EQ(lock.EntryCount(), 0);
  lock.Enter();  // still usable
  EXPECT_EQ(lock.EntryCount(), 1);
  lock.Leave();
}

TEST(OracleCriticalSection, leave_from_a_thread_that_does_not_hold_it_does_nothing) {
  TOracleCriticalSection lock;
  lock.Enter();
  std::thread([&] { lock.Leave(); }).join();
  EXPECT_EQ(lock.EntryCount(), 1);
  EXPECT_TRUE(lock.HeldByCurrentThread());
  lock.Leave();
}

TEST(OracleCriticalSection, serialises_threads) {
  TOracleCriticalSection lock;
  int counter = 0;  // plain int: only the lock protects it
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t)
    threads.emplace_back([&] {
      for (int i = 0; i < 10000; ++i) {
        OracleLockGuard guard(lock);
        ++counter;
      }
    });
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(counter, 40000);
}

}  // namespace
}  // namespace kvell
