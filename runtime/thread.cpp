#include "runtime/thread.h"

#include <unistd.h>

#include <deque>

#include "runtime/exception.h"

namespace kvell {
namespace {

// One Synchronize call, on the stack of the waiting thread until done.
struct SyncRequest {
  std::function<void()> call;
  std::exception_ptr error;
  bool done = false;  // guarded by SyncQueue::mutex
  std::condition_variable done_signal;
};

struct SyncQueue {
  std::mutex mutex;
  std::condition_variable changed;  // a call was queued or a thread finished
  std::deque<SyncRequest*> pending;
  std::function<void()> wake;
};

// Never destroyed: a thread may still synchronise while static objects die.
SyncQueue& sync_queue() {
  static SyncQueue* queue = new SyncQueue;
  return *queue;
}

}  // namespace

bool IsMainThread() { return gettid() == getpid(); }

void Synchronize(std::function<void()> call) {
  if (IsMainThread()) {
    call();
    return;
  }
  SyncQueue& queue = sync_queue();
  SyncRequest request;
  request.call = std::move(call);
  std::function<void()> wake;
  {
    std::lock_guard lock(queue.mutex);
    queue.pending.push_back(&request);
    wake = queue.wake;
  }
  queue.changed.notify_all();
  if (wake) wake();
  std::unique_lock lock(queue.mutex);
  request.done_signal.wait(lock, [&] { return request.done; });
  if (request.error) std::rethrow_exception(request.error);
}

bool CheckSynchronize() {
  if (!IsMainThread()) throw Exception(thread_messages::NotMainThread);
  SyncQueue& queue = sync_queue();
  std::deque<SyncRequest*> batch;
  {
    std::lock_guard lock(queue.mutex);
    batch.swap(queue.pending);
  }
  for (SyncRequest* request : batch) {
    try {
      request->call();
    } catch (...) {
      request->error = std::current_exception();
    }
    // Signalled under the lock: once released, the waiter may free the request.
    std::lock_guard lock(queue.mutex);
    request->done = true;
    request->done_signal.notify_one();
  }
  return !batch.empty();
}

void SetWakeMainThread(std::function<void()> wake) {
  SyncQueue& queue = sync_queue();
  std::lock_guard lock(queue.mutex);
  queue.wake = std::move(wake);
}

// ---- TThread ----

TThread::TThread(bool CreateSuspended)
    : create_suspended_(CreateSuspended), suspended_(true) {}

TThread::~TThread() { BeforeDestruction(); }

void TThread::AfterConstruction() {
  if (!create_suspended_) Resume();
}

void TThread::BeforeDestruction() {
  {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    if (!started_) return;
  }
  if (!thread_.joinable()) return;  // joined already, or detached below
  if (thread_.get_id() == std::this_thread::get_id()) {
    thread_.detach();  // freeing itself on termination; run() returns next
    return;
  }
  Terminate();
  Resume();
  wait_finished();
  thread_.join();
}

void TThread::Resume() {
  std::lock_guard lock(mutex_);
  if (!started_) {
    if (stopped_) return;
    thread_ = std::thread(&TThread::run, this);
    started_ = true;
    suspended_ = false;
    return;
  }
  if (!suspended_) return;
  suspended_ = false;
  resumed_.notify_all();
}

void TThread::Suspend() {
  std::unique_lock lock(mutex_);
  if (!started_ || thread_.get_id() != std::this_thread::get_id())
    throw Exception(thread_messages::SuspendFromOutside);
  suspended_ = true;
  resumed_.wait(lock, [this] { return !suspended_; });
}

bool TThread::Suspended() const {
  std::lock_guard lock(mutex_);
  return suspended_;
}

bool TThread::Finished() const {
  std::lock_guard lock(sync_queue().mutex);
  return finished_;
}

int TThread::WaitFor() {
  if (FreeOnTerminate) throw Exception(thread_messages::WaitForFreeOnTerminate);
  {
    std::lock_guard lock(mutex_);
    if (!started_) return ReturnValue;
    if (thread_.get_id() == std::this_thread::get_id()) throw Exception(thread_messages::WaitForSelf);
  }
  wait_finished();
  return ReturnValue;
}

// The main thread keeps running queued calls while it waits, or a thread that
// synchronises before it ends would wait for it forever.
void TThread::wait_finished() {
  SyncQueue& queue = sync_queue();
  std::unique_lock lock(queue.mutex);
  if (!IsMainThread()) {
    queue.changed.wait(lock, [this] { return finished_; });
    return;
  }
  for (;;) {
    queue.changed.wait(lock, [&] { return finished_ || !queue.pending.empty(); });
    if (finished_) return;
    lock.unlock();
    CheckSynchronize();
    lock.lock();
  }
}

void TThread::run() {
  try {
    Execute();
  } catch (...) {
    fatal_exception_ = std::current_exception();
  }
  if (OnTerminate) {
    try {
      Synchronize([this] { OnTerminate(this); });
    } catch (...) {
      // an OnTerminate failure has nobody to go to
    }
  }
  const bool free_self = FreeOnTerminate;
  SyncQueue& queue = sync_queue();
  {
    std::lock_guard lock(queue.mutex);
    finished_ = true;
  }
  // From here on another thread may free this object; touch nothing of it.
  queue.changed.notify_all();
  if (free_self) delete this;
}

}  // namespace kvell
