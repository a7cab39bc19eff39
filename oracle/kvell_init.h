// The start-up and shut-down module of the Oracle layer: one place that holds
// the process-wide objects in their start-up order (the binding's
// OCICriticalSection, the logon history, the default session pool, the
// warning codes, the compressor's lock) and releases them in reverse at exit,
// unloading the client library (FreeOCI) with the session layer's objects.
// It sits below every layer, so each object's own layer fills its slot on
// first use; no layer keeps a global of its own.
#pragma once

#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <typeindex>
#include <typeinfo>
#include <vector>

namespace kvell {

namespace kvell_init_messages {
inline constexpr const char* SlotTypeMismatch = "Process-wide object filled with another type: ";
}  // namespace kvell_init_messages

// The slots, in start-up order; exit releases them from the last to the first.
enum class ProcessObject {
  OCICriticalSection,  // the binding's lock
  LogonHistory,        // TLogonHistory, created at start-up
  DefaultSessionPool,  // filled by the pool code
  WarningCodes,        // filled by the session layer; read when under a debugger
  CompressorLock,      // the compressor's lock
};
inline constexpr int kProcessObjectCount = 5;

// One process-wide object, owned here and filled by its layer.
// Thread-safe: yes.
class ProcessSlot {
 public:
  // The object, made by create() on first use. Raises when the slot already
  // holds another type.
  template <typename T, typename Create>
  T& Get(Create create) {
    std::lock_guard lock(mutex_);
    if (!object_) {
      std::unique_ptr<T> made = create();
      object_ = std::shared_ptr<void>(std::move(made));
      type_ = typeid(T);
      ++fills_;
    }
    check_type(typeid(T));
    return *static_cast<T*>(object_.get());
  }
  template <typename T>
  T& Get() {
    return Get<T>([] { return std::make_unique<T>(); });
  }

  bool Filled() const;
  // How many times the slot was filled; more than one means a use after release.
  int Fills() const;
  // Frees the object; the next Get fills the slot again.
  void Release();

 private:
  void check_type(const std::type_info& wanted) const;

  mutable std::mutex mutex_;
  std::shared_ptr<void> object_;        // keeps the deleter of the type it was made as
  std::type_index type_{typeid(void)};  // the type object_ was made as
  int fills_ = 0;
};

// One entry of the logon history: what a user logged on with.
struct TLogonHistoryItem {
  std::string Username;
  std::string Database;
};

// The process-wide logon history. Thread-safe: no; callers hold its lock.
struct TLogonHistory {
  std::mutex Lock;
  std::vector<TLogonHistoryItem> Items;
};

// Starts the module if it is not yet started: creates the logon history and
// arranges the shut-down at exit. Every slot access starts it too; a program
// may call it first thing in main to fix the moment.
void KvellStartUp();
// Releases the slots in reverse order, running the client unload between the
// session layer's objects and the logon history. Runs at exit by itself;
// idempotent.
void KvellShutDown();
bool KvellShutDownDone();

ProcessSlot& KvellSlot(ProcessObject which);
TLogonHistory& LogonHistory();

// What unloads the client library at exit; the binding registers FreeOCI
// when it loads the library.
void SetClientUnload(std::function<void()> unload);

}  // namespace kvell
