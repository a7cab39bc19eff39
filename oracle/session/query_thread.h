// TQueryThread: runs a Threaded TOracleQuery in the background. Each Execute
// of the query wakes the thread, which executes the statement, walks the rows
// and reports through the query's thread events, on the main thread when
// ThreadSynchronized is set, else on its own.
#pragma once

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>

#include "runtime/thread.h"

namespace kvell {

class TOracleQuery;

// Thread-safe: Start, Running and the destructor from the query's thread;
// ErrorCode and ErrorMessage are read once the thread has finished a round
// (in OnThreadError or after Running turns false).
class TQueryThread : public TThread {
 public:
  explicit TQueryThread(TOracleQuery& query);
  // Terminates the loop and waits for the thread to end.
  ~TQueryThread() override;

  // Runs one more execution. The caller checks Running first.
  void Start();
  // Between Start and the end of the round's work (before OnThreadFinished).
  bool Running() const { return running_.load(); }

  TOracleQuery& Query;  // not owned
  int ErrorCode = 0;
  std::string ErrorMessage;

 protected:
  void Execute() override;

 private:
  bool wait_for_start();
  void run_once();
  void fire(const std::function<void()>& call);

  std::atomic<bool> running_{false};
  std::mutex start_mutex_;            // guards start_pending_
  std::condition_variable start_;     // signalled by Start and at termination
  bool start_pending_ = false;
};

}  // namespace kvell
