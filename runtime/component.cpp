#include "runtime/component.h"

#include <algorithm>
#include <strings.h>

namespace kvell {

TComponent::TComponent(TComponent* owner) {
  if (owner) owner->InsertComponent(this);
}

TComponent::~TComponent() { BeforeDestruction(); }

void TComponent::BeforeDestruction() {
  if (!dismantled_) {
    dismantled_ = true;
    mark_destroying();
    Dismantle();
  }
  release_links();
}

void TComponent::mark_destroying() {
  state_ |= csDestroying;
  for (TComponent* c : components_) c->mark_destroying();
}

// Links made during destruction (a peer asking for a notice late) are dropped
// by the next call, at the latest the one in ~TComponent.
void TComponent::release_links() {
  while (!free_notifies_.empty()) {
    TComponent* other = free_notifies_.back();
    free_notifies_.pop_back();
    other->detach_notifier(this);
    other->Notification(this, opRemove);
  }
  while (!components_.empty()) delete components_.back();  // each removes itself
  if (owner_) owner_->RemoveComponent(this);
}

TComponent* TComponent::FindComponent(const std::string& name) const {
  if (name.empty()) return nullptr;
  for (TComponent* c : components_)
    if (strcasecmp(c->name_.c_str(), name.c_str()) == 0) return c;
  return nullptr;
}

void TComponent::InsertComponent(TComponent* component) {
  if (component->owner_) component->owner_->RemoveComponent(component);
  components_.push_back(component);
  component->owner_ = this;
  Notification(component, opInsert);
}

void TComponent::RemoveComponent(TComponent* component) {
  auto it = std::find(components_.begin(), components_.end(), component);
  if (it == components_.end()) return;
  Notification(component, opRemove);
  components_.erase(it);
  component->owner_ = nullptr;
}

void TComponent::SetDesigning(bool designing) {
  state_ = designing ? (state_ | csDesigning) : (state_ & ~csDesigning);
  for (TComponent* c : components_) c->SetDesigning(designing);
}

void TComponent::BeginLoading() { state_ |= csLoading | csReading; }

void TComponent::EndLoading() {
  state_ &= ~csReading;
  Loaded();
}

void TComponent::Loaded() { state_ &= ~csLoading; }

void TComponent::Notification(TComponent*, TOperation) {}

void TComponent::FreeNotification(TComponent* component) {
  if (!component || component == this) return;
  if (std::find(free_notifies_.begin(), free_notifies_.end(), component) != free_notifies_.end())
    return;
  free_notifies_.push_back(component);
  component->free_notifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* component) {
  detach_notifier(component);
  component->detach_notifier(this);
}

void TComponent::detach_notifier(TComponent* component) {
  auto it = std::find(free_notifies_.begin(), free_notifies_.end(), component);
  if (it != free_notifies_.end()) free_notifies_.erase(it);
}

}  // namespace kvell
