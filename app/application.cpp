#include "app/application.h"

#include <QApplication>
#include <QSocketNotifier>
#include <QTimer>
#include <QWidget>
#include <optional>

#include "app/program_files.h"
#include "runtime/thread.h"

namespace kestra {

namespace {

// Each call that another thread queues for the main thread arrives as one
// posted call, which runs the queue; nothing polls.
void post_check_synchronize() {
  if (QCoreApplication* application = QCoreApplication::instance())
    QMetaObject::invokeMethod(application, [] { kvell::CheckSynchronize(); }, Qt::QueuedConnection);
}

}  // namespace

Application::Application() : exe_name_(ExecutablePath()) {
  kvell::SetWakeMainThread(post_check_synchronize);
  connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState state) {
    // Queued, so that the read sequence's nested waits do not run inside
    // the platform's activation handling.
    if (state == Qt::ApplicationActive)
      QMetaObject::invokeMethod(this, &Application::activate, Qt::QueuedConnection);
  });
}

void Application::activate() {
  if (!OnActivate) return;
  try {
    OnActivate(this);
  } catch (const std::exception& error) {
    HandleException(error);
  }
}

void Application::ProcessMessages() { QCoreApplication::processEvents(QEventLoop::AllEvents); }

void Application::WaitForMessages(int descriptor, int timeout_ms) {
  std::optional<QSocketNotifier> notifier;
  if (descriptor >= 0) notifier.emplace(descriptor, QSocketNotifier::Read);
  QTimer timeout;
  timeout.setSingleShot(true);
  timeout.start(timeout_ms);
  QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
}

void Application::Terminate() {
  terminated_ = true;
  // exit() rather than quit(): quit() would first ask every window to close.
  QCoreApplication::exit(0);
}

void Application::Run(QWidget& main_window) {
  main_window.show();
  main_window.activateWindow();
  // A termination requested before the loop started would otherwise be lost.
  if (!terminated_) QApplication::exec();
}

void Application::HandleException(const std::exception& error) { ShowMessage(error.what()); }

void Application::SetMessageBox(MessageBox* box) { message_box_ = box ? box : &qt_message_box_; }

void Application::SetLauncher(ProcessLauncher* launcher) {
  launcher_ = launcher ? launcher : &posix_launcher_;
}

}  // namespace kestra
