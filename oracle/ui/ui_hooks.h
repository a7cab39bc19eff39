// The only way the Oracle layer reaches the user interface: a confirmation
// box, the screen cursor, the application's exception report, its
// components, and the form that picks a master's collection column for a
// detail dataset. A UserInterface implementation is installed once at start-up
// (the viewer installs a Qt-backed one); without one, the default set of
// default_user_interface.h answers.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace kvell {

class TComponent;

using TCursor = std::int16_t;
constexpr TCursor crDefault = 0;     // "leave the cursor alone" for the layer's wait cursor
constexpr TCursor crHourGlass = -11;

// Modal results of the buttons ConfirmDialog can show.
enum TModalResult : int {
  mrNone = 0,
  mrOk = 1,
  mrCancel = 2,
  mrIgnore = 5,
  mrYes = 6,
  mrNo = 7,
  mrAll = 8,
};

// Buttons of a confirmation, in the order a box lays them out.
enum TConfirmButton : unsigned {
  cbYes = 1u << 0,
  cbNo = 1u << 1,
  cbOK = 1u << 2,
  cbCancel = 1u << 3,
  cbIgnore = 1u << 4,
  cbAll = 1u << 5,
};
using TConfirmButtons = unsigned;

// The buttons named by upper-case letters anywhere in `letters` (Y, N, O, C,
// I, A); other characters, lower case included, add nothing.
TConfirmButtons ConfirmButtonsFromLetters(const std::string& letters);
TModalResult ModalResultOf(TConfirmButton button);

// The answer of the form that picks the master's collection column a detail
// dataset is generated over.
struct TCollectionColumnChoice {
  bool Ok = false;
  int Index = -1;        // into the columns offered; -1 for none
  bool ReadOnly = true;  // "Create ReadOnly DataSet"
};

// What a host provides. Implementations must allow the cursor hooks to be
// called from any thread (threaded queries show their wait cursor too); the
// rest run on the main thread.
class UserInterface {
 public:
  virtual ~UserInterface() = default;
  // A modal confirmation box with these buttons; the pressed button's modal result.
  virtual int Confirm(const std::string& message, TConfirmButtons buttons) = 0;
  virtual TCursor ScreenCursor() = 0;
  virtual void SetScreenCursor(TCursor cursor) = 0;
  // Reports the exception being handled (std::current_exception()).
  virtual void HandleException(const void* sender) = 0;
  virtual int ComponentCount() = 0;
  virtual TComponent* Component(int index) = 0;
  // Lets the user pick one of `columns` for a detail over a collection; a
  // host without a form of its own takes the first.
  virtual TCollectionColumnChoice SelectCollectionColumn(const std::vector<std::string>& columns);
};

// Replaces the process's hooks; nullptr goes back to the default set.
// Call at start-up or shut-down only, while no other thread uses the hooks.
void InstallUserInterface(std::unique_ptr<UserInterface> user_interface);
UserInterface& CurrentUserInterface();

// Installs a user interface for one scope (a program's main), then goes
// back to the default set before what the interface refers to is gone.
class ScopedUserInterface {
 public:
  explicit ScopedUserInterface(std::unique_ptr<UserInterface> user_interface) {
    InstallUserInterface(std::move(user_interface));
  }
  ~ScopedUserInterface() { InstallUserInterface(nullptr); }
  ScopedUserInterface(const ScopedUserInterface&) = delete;
  ScopedUserInterface& operator=(const ScopedUserInterface&) = delete;
};

// The six hooks. The caption is accepted and not shown: the box carries the
// host's standard title for confirmations.
int ConfirmDialog(const std::string& message, const std::string& caption, const std::string& buttons);
TCursor GetScreenCursor();
void SetScreenCursor(TCursor cursor);
// Must be called inside a catch block; the exception is reported, not rethrown.
void HandleApplicationException(const void* sender);
int ApplicationComponentCount();
TComponent* ApplicationComponent(int index);
// The modal "Select Master Collection Column for Detail Dataset" form.
TCollectionColumnChoice SelectMasterCollectionColumn(const std::vector<std::string>& columns);

// Shows `cursor` for one scope and puts the previous screen cursor back;
// crDefault leaves the screen alone.
class WaitCursor {
 public:
  explicit WaitCursor(TCursor cursor);
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;

 private:
  TCursor cursor_;
  TCursor saved_ = crDefault;  // the screen cursor before this scope
};

}  // namespace kvell
