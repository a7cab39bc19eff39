// Components as the host runtime has them: a Name, an owner that frees the
// components it owns, removal notifications to the owner and to components
// that asked for one, and the streaming/design-time state with Loaded().
// Destruction begins with BeforeDestruction(), called first by the
// most-derived destructor, so that every peer told of the removal sees a
// whole object of its real type.
// Thread-safe: no; components belong to the thread that created them.
#pragma once

#include <string>
#include <vector>

namespace kvell {

enum TComponentStateFlag : unsigned {
  csLoading = 1u << 0,
  csReading = 1u << 1,
  csDesigning = 1u << 2,
  csDestroying = 1u << 3,
};

enum TOperation { opInsert, opRemove };

// The base of sessions, queries, pools and datasets: name, owner and removal notifications.
class TComponent {
 public:
  explicit TComponent(TComponent* owner);
  // Falls back on BeforeDestruction(); by then only the TComponent part is
  // left, so every component class calls it first in its own destructor.
  virtual ~TComponent();
  TComponent(const TComponent&) = delete;
  TComponent& operator=(const TComponent&) = delete;

  const std::string& Name() const { return name_; }
  virtual void SetName(const std::string& name) { name_ = name; }
  TComponent* Owner() const { return owner_; }

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(static_cast<size_t>(index)); }
  // Owned component by name (without case), or nullptr.
  TComponent* FindComponent(const std::string& name) const;
  void InsertComponent(TComponent* component);
  void RemoveComponent(TComponent* component);

  unsigned ComponentState() const { return state_; }
  bool HasState(unsigned flag) const { return (state_ & flag) != 0; }
  void SetDesigning(bool designing);

  // Streaming in: BeginLoading sets loading and reading; EndLoading clears
  // reading and calls Loaded(), which clears loading.
  void BeginLoading();
  void EndLoading();

  // Asks for a removal notification when component is destroyed.
  void FreeNotification(TComponent* component);
  void RemoveFreeNotification(TComponent* component);

  // The destroying step, run while the object is still whole: sets
  // csDestroying here and on every owned component, lets the class release
  // what needs its whole self (Dismantle), tells the free-notification
  // clients, frees the owned components and leaves the owner, which is told.
  // Idempotent: a second call only drops links made after the first.
  void BeforeDestruction();

  int Tag = 0;

 protected:
  virtual void Loaded();
  // Runs once inside BeforeDestruction, after csDestroying is set and before
  // any removal notice: a dataset closes its cursor here, a session logs off.
  virtual void Dismantle() {}
  // Called for an inserted or removed owned component, and for a destroyed
  // component this one asked to be told about.
  virtual void Notification(TComponent* component, TOperation operation);

 private:
  void detach_notifier(TComponent* component);
  void mark_destroying();
  void release_links();

  std::string name_;
  TComponent* owner_ = nullptr;
  std::vector<TComponent*> components_;     // owned; freed by the destructor
  std::vector<TComponent*> free_notifies_;  // linked both ways
  unsigned state_ = 0;
  bool dismantled_ = false;  // Dismantle ran; BeforeDestruction never runs it twice
};

}  // namespace kvell
