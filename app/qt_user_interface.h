// The Oracle layer's user-interface hooks on Qt: a real QMessageBox with the
// buttons of the letters, the application's override cursor, and the
// viewer's own report of unhandled errors. Installed by the viewer at start-up.
#pragma once

#include <atomic>

#include "oracle/ui/ui_hooks.h"

namespace kestra {

class Application;

// Thread-safe: the cursor hooks yes (other threads' changes reach the screen
// through the event loop); the rest on the window-system thread only.
class QtUserInterface final : public kvell::UserInterface {
 public:
  // `components` lists the application's components; both may be null. Not owned.
  explicit QtUserInterface(Application* application, kvell::TComponent* components = nullptr);

  int Confirm(const std::string& message, kvell::TConfirmButtons buttons) override;
  kvell::TCursor ScreenCursor() override { return cursor_.load(); }
  void SetScreenCursor(kvell::TCursor cursor) override;
  void HandleException(const void* sender) override;
  int ComponentCount() override;
  kvell::TComponent* Component(int index) override;

 private:
  void show_cursor(kvell::TCursor cursor);

  Application* application_;
  kvell::TComponent* components_;
  std::atomic<kvell::TCursor> cursor_{kvell::crDefault};
  bool override_shown_ = false;  // window-system thread only
};

// The box's title: the framework's standard one for confirmations.
constexpr const char* kConfirmationTitle = "Confirm";

}  // namespace kestra
