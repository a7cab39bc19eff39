// The viewer's application object: the activation event, processing of
// pending window messages, the termination request and the message loop,
// with the two seams (message box, process launcher) that tests replace.
#pragma once

#include <QObject>
#include <exception>
#include <functional>
#include <string>

#include "app/child_process.h"
#include "app/message_box.h"

class QWidget;

namespace kestra {

// Thread safety: window-system thread only. A QApplication must exist first.
// Constructing one routes other threads' Synchronize calls into the Qt loop.
class Application : public QObject {
  Q_OBJECT

 public:
  Application();
  Application(const Application&) = delete;
  Application& operator=(const Application&) = delete;

  // Runs on every activation, queued behind the event that activated the
  // application. What it throws is reported through HandleException.
  std::function<void(QObject* Sender)> OnActivate;

  // Handles every window event that is already pending, then returns.
  void ProcessMessages();
  // Sleeps until a window event arrives, `descriptor` (when >= 0) turns
  // readable or `timeout_ms` passes, and handles what arrived.
  void WaitForMessages(int descriptor, int timeout_ms);

  // Ends the message loop once control is back there; also leaves the
  // nested loops of waits and message boxes.
  void Terminate();
  bool Terminated() const { return terminated_; }

  // Shows and activates the main window, then runs the message loop until
  // termination is requested.
  void Run(QWidget& main_window);

  // The executable's full path; tests may place the program elsewhere.
  const std::string& ExeName() const { return exe_name_; }
  void SetExeName(std::string path) { exe_name_ = std::move(path); }

  void ShowMessage(const std::string& text) { message_box_->Show(text); }
  // The handler for errors that nothing else caught: shows their text.
  void HandleException(const std::exception& error);
  ProcessLauncher& Launcher() { return *launcher_; }

  // Replace the seams; nullptr restores the real one. Not owned.
  void SetMessageBox(MessageBox* box);
  void SetLauncher(ProcessLauncher* launcher);

 private:
  void activate();

  bool terminated_ = false;
  std::string exe_name_;
  QtMessageBox qt_message_box_;
  PosixProcessLauncher posix_launcher_;
  MessageBox* message_box_ = &qt_message_box_;
  ProcessLauncher* launcher_ = &posix_launcher_;
};

}  // namespace kestra
