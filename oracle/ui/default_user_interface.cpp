// Hooks for programs without a GUI: tests, tools and services.
#include "oracle/ui/default_user_interface.h"

#include <cstdio>
#include <exception>

#include "runtime/component.h"

namespace kvell {

int FirstButtonResult(TConfirmButtons buttons) {
  for (TConfirmButton button : {cbYes, cbNo, cbOK, cbCancel, cbIgnore, cbAll})
    if (buttons & button) return ModalResultOf(button);
  return mrNone;
}

int DefaultUserInterface::Confirm(const std::string& message, TConfirmButtons buttons) {
  ConfirmPolicy policy;
  {
    std::lock_guard lock(mutex_);
    policy = policy_;
  }
  return policy ? policy(message, buttons) : FirstButtonResult(buttons);
}

void DefaultUserInterface::HandleException(const void* /*sender*/) {
  std::exception_ptr current = std::current_exception();
  if (!current) return;
  try {
    std::rethrow_exception(current);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "%s\n", error.what());
  } catch (...) {
    std::fprintf(stderr, "Unknown exception\n");
  }
}

int DefaultUserInterface::ComponentCount() {
  std::lock_guard lock(mutex_);
  return application_ ? application_->ComponentCount() : 0;
}

TComponent* DefaultUserInterface::Component(int index) {
  std::lock_guard lock(mutex_);
  return application_ ? application_->Components(index) : nullptr;
}

void DefaultUserInterface::SetConfirmPolicy(ConfirmPolicy policy) {
  std::lock_guard lock(mutex_);
  policy_ = std::move(policy);
}

TCollectionColumnChoice DefaultUserInterface::SelectCollectionColumn(const std::vector<std::string>& columns) {
  CollectionColumnPolicy policy;
  {
    std::lock_guard lock(mutex_);
    policy = column_policy_;
  }
  return policy ? policy(columns) : UserInterface::SelectCollectionColumn(columns);
}

void DefaultUserInterface::SetCollectionColumnPolicy(CollectionColumnPolicy policy) {
  std::lock_guard lock(mutex_);
  column_policy_ = std::move(policy);
}

void DefaultUserInterface::SetApplication(TComponent* application) {
  std::lock_guard lock(mutex_);
  application_ = application;
}

}  // namespace kvell
