// Calls that other threads marshal to the main thread run in the viewer's Qt
// loop: each queued call posts one check, nothing polls.
#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

#include "app/application.h"
#include "runtime/thread.h"

namespace kestra {
namespace {

class SynchronisingThread : public kvell::TThread {
 public:
  SynchronisingThread(int calls, int& ran_on_main) : TThread(true), calls_(calls), ran_on_main_(ran_on_main) {}
  ~SynchronisingThread() override { BeforeDestruction(); }

 protected:
  void Execute() override {
    for (int i = 0; i < calls_; ++i)
      Synchronize([this] {
        if (kvell::IsMainThread()) ++ran_on_main_;
      });
  }

 private:
  const int calls_;
  int& ran_on_main_;  // written on the main thread only
};

TEST(ViewerEventLoopTest, calls_queued_by_another_thread_run_in_the_qt_loop_on_the_main_thread) {
  constexpr int kCalls = 100;
  Application application;
  int ran_on_main = 0;
  bool gave_up = false;
  SynchronisingThread thread(kCalls, ran_on_main);
  // Only for a failure: without the loop's checks the calls would never run.
  QTimer guard;
  guard.setSingleShot(true);
  QObject::connect(&guard, &QTimer::timeout, [&] { gave_up = true; });
  guard.start(60000);
  thread.Resume();
  // Sleeps until an event arrives, as the viewer's waits do.
  while (ran_on_main < kCalls && !gave_up)
    QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
  EXPECT_FALSE(gave_up) << "the queued calls never reached the Qt loop";
  EXPECT_EQ(ran_on_main, kCalls);
  thread.WaitFor();
}

}  // namespace
}  // namespace kestra
