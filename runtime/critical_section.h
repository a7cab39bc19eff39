// TOracleCriticalSection: the re-entrant lock of the Oracle layer, with a
// count of how often it is held. Thread-safe: yes. Leave by a thread that
// does not hold the lock does nothing (releasing another thread's lock
// would be undefined behaviour).
#pragma once

#include <atomic>
#include <mutex>
#include <thread>

namespace kvell {

class TOracleCriticalSection {
 public:
  TOracleCriticalSection() = default;
  ~TOracleCriticalSection() = default;
  TOracleCriticalSection(const TOracleCriticalSection&) = delete;
  TOracleCriticalSection& operator=(const TOracleCriticalSection&) = delete;

  void Enter();
  void Leave();

  // Nested entries currently held, over all of the owning thread's Enter calls.
  int EntryCount() const { return entry_count_.load(std::memory_order_relaxed); }
  bool HeldByCurrentThread() const {
    return owner_.load(std::memory_order_relaxed) == std::this_thread::get_id();
  }

 private:
  std::recursive_mutex section_;
  std::atomic<int> entry_count_{0};             // changed only while section_ is held
  std::atomic<std::thread::id> owner_{};        // the holding thread, or none
};

// Holds a TOracleCriticalSection for one scope.
class OracleLockGuard {
 public:
  explicit OracleLockGuard(TOracleCriticalSection& lock) : lock_(lock) { lock_.Enter(); }
  ~OracleLockGuard() { lock_.Leave(); }
  OracleLockGuard(const OracleLockGuard&) = delete;
  OracleLockGuard& operator=(const OracleLockGuard&) = delete;

 private:
  TOracleCriticalSection& lock_;
};

}  // namespace kvell
