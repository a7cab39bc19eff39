#include "runtime/critical_section.h"

namespace kvell {

void TOracleCriticalSection::Enter() {
  section_.lock();
  owner_.store(std::this_thread::get_id(), std::memory_order_relaxed);
  entry_count_.fetch_add(1, std::memory_order_relaxed);
}

void TOracleCriticalSection::Leave() {
  if (!HeldByCurrentThread() || entry_count_.load(std::memory_order_relaxed) <= 0) return;
  if (entry_count_.fetch_sub(1, std::memory_order_relaxed) == 1)
    owner_.store(std::thread::id{}, std::memory_order_relaxed);
  section_.unlock();
}

}  // namespace kvell
