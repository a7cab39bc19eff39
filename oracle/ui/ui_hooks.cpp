// The hook entry points over the installed UserInterface.
#include "oracle/ui/ui_hooks.h"

#include <atomic>

#include "oracle/ui/default_user_interface.h"

namespace kvell {
namespace {

struct InstalledUserInterface {
  std::unique_ptr<UserInterface> owned = std::make_unique<DefaultUserInterface>();
  std::atomic<UserInterface*> current{owned.get()};
};

InstalledUserInterface& installed() {
  static InstalledUserInterface instance;
  return instance;
}

struct LetterButton {
  char letter;
  TConfirmButton button;
  TModalResult result;
};

constexpr LetterButton kLetterButtons[] = {
    {'Y', cbYes, mrYes}, {'N', cbNo, mrNo},         {'O', cbOK, mrOk},
    {'C', cbCancel, mrCancel}, {'I', cbIgnore, mrIgnore}, {'A', cbAll, mrAll},
};

}  // namespace

TConfirmButtons ConfirmButtonsFromLetters(const std::string& letters) {
  TConfirmButtons buttons = 0;
  for (const auto& entry : kLetterButtons)
    if (letters.find(entry.letter) != std::string::npos) buttons |= entry.button;
  return buttons;
}

TModalResult ModalResultOf(TConfirmButton button) {
  for (const auto& entry : kLetterButtons)
    if (entry.button == button) return entry.result;
  return mrNone;
}

void InstallUserInterface(std::unique_ptr<UserInterface> user_interface) {
  auto& state = installed();
  if (!user_interface) user_interface = std::make_unique<DefaultUserInterface>();
  state.current.store(user_interface.get());
  state.owned = std::move(user_interface);
}

UserInterface& CurrentUserInterface() { return *installed().current.load(); }

DefaultUserInterface* InstalledDefaultUserInterface() {
  return dynamic_cast<DefaultUserInterface*>(&CurrentUserInterface());
}

int ConfirmDialog(const std::string& message, const std::string& /*caption*/, const std::string& buttons) {
  return CurrentUserInterface().Confirm(message, ConfirmButtonsFromLetters(buttons));
}

TCursor GetScreenCursor() { return CurrentUserInterface().ScreenCursor(); }
void SetScreenCursor(TCursor cursor) { CurrentUserInterface().SetScreenCursor(cursor); }
void HandleApplicationException(const void* sender) { CurrentUserInterface().HandleException(sender); }
int ApplicationComponentCount() { return CurrentUserInterface().ComponentCount(); }
TComponent* ApplicationComponent(int index) { return CurrentUserInterface().Component(index); }

TCollectionColumnChoice SelectMasterCollectionColumn(const std::vector<std::string>& columns) {
  return CurrentUserInterface().SelectCollectionColumn(columns);
}

TCollectionColumnChoice UserInterface::SelectCollectionColumn(const std::vector<std::string>& columns) {
  TCollectionColumnChoice choice;
  choice.Ok = !columns.empty();
  choice.Index = columns.empty() ? -1 : 0;
  return choice;
}

WaitCursor::WaitCursor(TCursor cursor) : cursor_(cursor) {
  if (cursor_ == crDefault) return;
  saved_ = GetScreenCursor();
  SetScreenCursor(cursor_);
}

WaitCursor::~WaitCursor() {
  if (cursor_ != crDefault) SetScreenCursor(saved_);
}

}  // namespace kvell
