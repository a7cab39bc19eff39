// The layer's user-interface hooks on Qt: a real QMessageBox with the
// buttons of the letters, the application's override cursor, errors shown
// in a message box (or handed to the program's own report), and the
// application's components followed by the registered data-aware widgets,
// and the form that picks a master's collection column.
// InstallQtUserInterface() sets them up for a Qt program in one call.
#pragma once

#include <atomic>
#include <exception>
#include <functional>
#include <memory>

#include <QString>

#include "oracle/ui/ui_hooks.h"

namespace kvell {

// Thread-safe: the cursor hooks yes (other threads' changes reach the screen
// through the event loop); the rest on the window-system thread only.
class QtUserInterface final : public UserInterface {
 public:
  using ErrorReport = std::function<void(const std::exception& error)>;

  // `report` shows an error to the user (empty: a message box titled with the
  // application's name); `components` lists the application's own components
  // ahead of the data-aware widgets (may be null). Not owned.
  explicit QtUserInterface(ErrorReport report = {}, TComponent* components = nullptr);

  int Confirm(const std::string& message, TConfirmButtons buttons) override;
  TCursor ScreenCursor() override { return cursor_.load(); }
  void SetScreenCursor(TCursor cursor) override;
  void HandleException(const void* sender) override;
  int ComponentCount() override;
  TComponent* Component(int index) override;
  // The modal form of collection_column_form.h.
  TCollectionColumnChoice SelectCollectionColumn(const std::vector<std::string>& columns) override;

 private:
  void show_cursor(TCursor cursor);

  ErrorReport report_;
  TComponent* components_;
  std::atomic<TCursor> cursor_{crDefault};
  bool override_shown_ = false;  // window-system thread only
};

// Installs the Qt hooks for one scope (a QApplication must exist).
[[nodiscard]] std::unique_ptr<ScopedUserInterface> InstallQtUserInterface(
    QtUserInterface::ErrorReport report = {}, TComponent* components = nullptr);

// The text as a message box shows it: a CR, alone or before an LF, breaks the line.
QString MessageBoxText(const std::string& text);

// A modal error box titled with the application's name.
void ShowErrorMessage(const std::string& text);

// The box's title: the framework's standard one for confirmations.
constexpr const char* kConfirmationTitle = "Confirm";

}  // namespace kvell
