#include "ociemu/api/process_state.h"

#include <array>
#include <atomic>
#include <cstdlib>

namespace ociemu {
namespace {

struct RegisteredState {
  void* state;
  StateDeleter deleter;
  ReleaseRank rank;
};

// Plain arrays and an atomic counter: constant-initialised and trivially destructible,
// so registration works from any static initialiser and release from the unload hook.
constexpr size_t kMaxStates = 32;
constinit std::array<RegisteredState, kMaxStates> registered{};
constinit std::atomic<size_t> registered_count{0};
constinit std::atomic<size_t> published_count{0};

void release_rank(ReleaseRank rank) {
  for (size_t i = published_count.load(std::memory_order_acquire); i-- > 0;) {
    RegisteredState& entry = registered[i];
    if (entry.rank != rank || entry.state == nullptr) continue;
    entry.deleter(entry.state);
    entry.state = nullptr;
  }
}

// Runs from the loader's finalisers: after the callers' static destructors at exit, and
// at dlclose of the last reference.
[[gnu::destructor]] void release_process_state() {
  release_rank(ReleaseRank::kNormal);
  release_rank(ReleaseRank::kReleasedLast);
}

}  // namespace

void* register_process_state(void* state, StateDeleter deleter, ReleaseRank rank) {
  size_t slot = registered_count.fetch_add(1, std::memory_order_relaxed);
  if (slot >= kMaxStates) std::abort();  // a new kind of process state: raise kMaxStates
  registered[slot] = RegisteredState{state, deleter, rank};
  // Slots fill concurrently; publish only once every earlier slot is written.
  size_t expected = slot;
  while (!published_count.compare_exchange_weak(expected, slot + 1, std::memory_order_release,
                                                std::memory_order_relaxed)) {
    expected = slot;
  }
  return state;
}

}  // namespace ociemu
