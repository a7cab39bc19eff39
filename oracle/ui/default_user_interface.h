// The hooks as they answer without a GUI: a process-wide cursor value that
// reads back what was set, confirmations answered by a settable policy
// (default: the box's first button), exceptions written to standard error,
// the components of an optional application root, and a collection column
// chosen by a settable policy (default: the first).
#pragma once

#include <atomic>
#include <functional>
#include <mutex>

#include "oracle/ui/ui_hooks.h"

namespace kvell {

// Thread-safe: yes for every member.
class DefaultUserInterface final : public UserInterface {
 public:
  using ConfirmPolicy = std::function<int(const std::string& message, TConfirmButtons buttons)>;
  using CollectionColumnPolicy = std::function<TCollectionColumnChoice(const std::vector<std::string>& columns)>;

  int Confirm(const std::string& message, TConfirmButtons buttons) override;
  TCursor ScreenCursor() override { return cursor_.load(); }
  void SetScreenCursor(TCursor cursor) override { cursor_.store(cursor); }
  void HandleException(const void* sender) override;
  int ComponentCount() override;
  TComponent* Component(int index) override;
  TCollectionColumnChoice SelectCollectionColumn(const std::vector<std::string>& columns) override;

  // Empty policy: answer with the first button shown.
  void SetConfirmPolicy(ConfirmPolicy policy);
  // Empty policy: take the first column.
  void SetCollectionColumnPolicy(CollectionColumnPolicy policy);
  // The component whose owned components the enumeration lists; not owned.
  void SetApplication(TComponent* application);

 private:
  std::atomic<TCursor> cursor_{crDefault};
  std::mutex mutex_;  // guards the three members below
  ConfirmPolicy policy_;
  CollectionColumnPolicy column_policy_;
  TComponent* application_ = nullptr;
};

// The modal result of the first button in layout order, mrNone for none.
int FirstButtonResult(TConfirmButtons buttons);
// The installed default set, or nullptr when a host replaced it.
DefaultUserInterface* InstalledDefaultUserInterface();

}  // namespace kvell
