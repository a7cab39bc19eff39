// Threads as the host runtime has them: TThread runs a virtual Execute on its
// own thread, can be created suspended, suspends itself and is resumed,
// terminated and waited for; Synchronize marshals a call to the main thread,
// which runs queued calls in CheckSynchronize (the viewer's event loop, or a
// test, calls it). The main thread is the process's initial thread.
#pragma once

#include <atomic>
#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace kvell {

namespace thread_messages {
inline constexpr const char* NotMainThread =
    "CheckSynchronize called from a thread that is not the main thread";
inline constexpr const char* SuspendFromOutside = "A thread can only suspend itself";
inline constexpr const char* WaitForFreeOnTerminate = "Cannot call WaitFor on a FreeOnTerminate thread";
inline constexpr const char* WaitForSelf = "A thread cannot wait for itself";
}  // namespace thread_messages

// Whether the caller runs on the process's initial thread.
bool IsMainThread();

// Runs call on the main thread and waits for it; on the main thread it runs
// at once. An exception thrown by call is raised again in the caller.
// Blocks until the main thread calls CheckSynchronize (or waits in WaitFor).
void Synchronize(std::function<void()> call);

// Runs every queued Synchronize call; true when it ran any. Main thread only
// (raises otherwise).
bool CheckSynchronize();

// Called on the queuing thread each time a Synchronize call is queued, so an
// event loop can schedule CheckSynchronize without polling. Empty by default.
void SetWakeMainThread(std::function<void()> wake);

// A thread object. Execute runs on the new thread. Because C++ has no step
// after construction and derived members die before ~TThread runs, a thread
// not created suspended starts in AfterConstruction(), which the most-derived
// constructor calls last, and the most-derived destructor of a class whose
// Execute uses its own members calls BeforeDestruction() first.
// Thread-safe: Resume, Terminate, Terminated, Suspended, Finished and WaitFor
// from any thread; Suspend only from the thread itself.
class TThread {
 public:
  explicit TThread(bool CreateSuspended);
  // Terminates, resumes and waits for a running thread (BeforeDestruction).
  virtual ~TThread();
  TThread(const TThread&) = delete;
  TThread& operator=(const TThread&) = delete;

  // Starts a thread that was not created suspended; idempotent.
  void AfterConstruction();
  // Stops the thread while the derived object is whole: Terminate, Resume,
  // WaitFor. Idempotent; a thread never started is not started.
  void BeforeDestruction();

  // Starts a thread created suspended, or wakes one that suspended itself.
  // Does nothing on a running thread.
  void Resume();
  // Sleeps until Resume; raises when called from another thread.
  void Suspend();
  // Asks Execute to stop; Execute checks Terminated(). Does not resume.
  void Terminate() { terminated_.store(true); }
  bool Terminated() const { return terminated_.load(); }
  bool Suspended() const;
  bool Finished() const;
  // Waits until Execute and OnTerminate are done and gives ReturnValue. On the
  // main thread it runs queued Synchronize calls meanwhile. A thread that was
  // never started is not waited for.
  int WaitFor();

  // Runs call on the main thread while this thread waits (as the free function).
  void Synchronize(std::function<void()> call) { kvell::Synchronize(std::move(call)); }

  // The thread object deletes itself after Execute and OnTerminate.
  bool FreeOnTerminate = false;
  // Runs on the main thread after Execute ends.
  std::function<void(TThread*)> OnTerminate;
  // What Execute let escape, or null.
  std::exception_ptr FatalException() const { return fatal_exception_; }

 protected:
  virtual void Execute() = 0;
  int ReturnValue = 0;  // given by WaitFor

 private:
  void run();
  void wait_finished();

  const bool create_suspended_;
  mutable std::mutex mutex_;         // guards the four fields below
  std::condition_variable resumed_;  // signalled by Resume
  bool suspended_;                   // asleep in Suspend, or not yet started
  bool started_ = false;             // thread_ was launched
  bool stopped_ = false;             // BeforeDestruction ran; nothing starts any more
  std::thread thread_;
  std::atomic<bool> terminated_{false};
  bool finished_ = false;               // guarded by the Synchronize queue's lock
  std::exception_ptr fatal_exception_;  // written by the thread before finished_
};

}  // namespace kvell
