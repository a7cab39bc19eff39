// TThreadList: a list shared between threads, reached through LockList and
// UnlockList as the host runtime has it. The lock nests, so code that holds
// the list may call helpers that lock it again.
#pragma once

#include <algorithm>
#include <mutex>
#include <vector>

namespace kvell {

// Thread-safe: yes. The vector returned by LockList may be used only until
// the matching UnlockList, by the thread that locked it.
template <typename T>
class TThreadList {
 public:
  TThreadList() = default;
  TThreadList(const TThreadList&) = delete;
  TThreadList& operator=(const TThreadList&) = delete;

  std::vector<T>& LockList() {
    mutex_.lock();
    return items_;
  }
  void UnlockList() { mutex_.unlock(); }

  // Adds item unless it is already there (the host's default, dupIgnore).
  void Add(const T& item) {
    std::lock_guard lock(mutex_);
    if (std::find(items_.begin(), items_.end(), item) == items_.end()) items_.push_back(item);
  }
  // Removes the first occurrence of item, if any.
  void Remove(const T& item) {
    std::lock_guard lock(mutex_);
    auto it = std::find(items_.begin(), items_.end(), item);
    if (it != items_.end()) items_.erase(it);
  }
  void Clear() {
    std::lock_guard lock(mutex_);
    items_.clear();
  }
  int Count() const {
    std::lock_guard lock(mutex_);
    return static_cast<int>(items_.size());
  }

 private:
  mutable std::recursive_mutex mutex_;
  std::vector<T> items_;  // guarded by mutex_
};

}  // namespace kvell
