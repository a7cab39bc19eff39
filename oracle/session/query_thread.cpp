#include "oracle/session/query_thread.h"

#include "oracle/session/oracle_error.h"
#include "oracle/session/oracle_query.h"
#include "runtime/exception.h"

namespace kvell {

TQueryThread::TQueryThread(TOracleQuery& query) : TThread(true), Query(query) {}

TQueryThread::~TQueryThread() {
  Terminate();
  {
    std::lock_guard lock(start_mutex_);
    start_pending_ = true;
  }
  start_.notify_all();
  BeforeDestruction();
}

void TQueryThread::Start() {
  running_.store(true);
  {
    std::lock_guard lock(start_mutex_);
    start_pending_ = true;
  }
  start_.notify_all();
  Resume();  // the first start launches the thread; later ones find it waiting above
}

bool TQueryThread::wait_for_start() {
  std::unique_lock lock(start_mutex_);
  start_.wait(lock, [this] { return start_pending_; });
  start_pending_ = false;
  return !Terminated();
}

void TQueryThread::Execute() {
  try {
    while (wait_for_start()) {
      run_once();
      if (Terminated()) break;
      // Cleared first, so a handler may execute the query again.
      running_.store(false);
      if (Query.OnThreadFinished) fire([this] { Query.OnThreadFinished(&Query); });
    }
  } catch (...) {
    running_.store(false);
    throw;
  }
  running_.store(false);
}

void TQueryThread::run_once() {
  try {
    Query.run_array(0, 0, true);
    if (Query.OnThreadExecuted) fire([this] { Query.OnThreadExecuted(&Query); });
    while (!Query.Eof() && !Terminated()) {
      if (Query.OnThreadRecord) fire([this] { Query.OnThreadRecord(&Query); });
      Query.Next();
    }
    return;
  } catch (const EOracleError& error) {
    ErrorCode = error.ErrorCode;
    ErrorMessage = error.Message;
  } catch (const Exception& error) {
    ErrorCode = 0;
    ErrorMessage = error.Message;
  }
  if (Query.OnThreadError) fire([this] { Query.OnThreadError(&Query, ErrorCode, ErrorMessage); });
}

void TQueryThread::fire(const std::function<void()>& call) {
  if (Query.ThreadSynchronized)
    Synchronize(call);
  else
    call();
}

}  // namespace kvell
