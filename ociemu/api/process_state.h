// The library's process-wide state: created on first use and released when the library
// is unloaded (dlclose, or at exit after the callers' static destructors have run), so
// that handles freed during a caller's teardown still find it and nothing is left behind
// once the library is gone.
#pragma once

namespace ociemu {

// Later ranks are released after every earlier one: state that the release of other
// state still touches (the handle registry) takes kReleasedLast.
enum class ReleaseRank { kNormal, kReleasedLast };

using StateDeleter = void (*)(void*);

// Records `state` for release at unload and returns it. Thread-safe.
void* register_process_state(void* state, StateDeleter deleter, ReleaseRank rank);

// The one instance of T, constructed on first use (thread-safe), freed at unload.
template <class T, ReleaseRank Rank = ReleaseRank::kNormal>
T& process_state() {
  static T* const instance = static_cast<T*>(
      register_process_state(new T, [](void* state) { delete static_cast<T*>(state); }, Rank));
  return *instance;
}

}  // namespace ociemu
