#include "runtime/component.h"

#include <gtest/gtest.h>

#include <algorithm>


namespace kvell {
namespace {

struct Probe : TComponent {
  Probe(TComponent* owner, std::vector<std::string>* log) : TComponent(owner), log(log) {}
  ~Probe() override { log->push_back("destroy " + Name()); }
  void Notification(TComponent* c, TOperation op) override {
    log->push_back((op == opRemove ? "remove " : "insert ") + c->Name());
  }
  void Loaded() override {
    TComponent::Loaded();
    log->push_back("loaded " + Name());
  }
  std::vector<std::string>* log;
};

TEST(ComponentTest, owner_frees_what_it_owns_and_hears_of_each_removal) {
  std::vector<std::string> log;
  auto owner = std::make_unique<Probe>(nullptr, &log);
  owner->SetName("Form");
  auto* child = new Probe(owner.get(), &log);
  child->SetName("Child");
  EXPECT_EQ(owner->FindComponent("CHILD"), child);
  delete child;
  EXPECT_EQ(owner->ComponentCount(), 0);
  new Probe(owner.get(), &log);
  log.clear();
  owner.reset();
  EXPECT_EQ(log, (std::vector<std::string>{"destroy Form", "destroy "}));
}

TEST(ComponentTest, free_notification_reaches_an_unowned_listener_once) {
  std::vector<std::string> log;
  Probe listener(nullptr, &log);
  auto source = std::make_unique<Probe>(nullptr, &log);
  source->SetName("Source");
  source->FreeNotification(&listener);
  source->FreeNotification(&listener);
  source.reset();
  EXPECT_EQ(std::count(log.begin(), log.end(), "remove Source"), 1);
}

TEST(ComponentTest, loading_marks_state_until_loaded) {
  std::vector<std::string> log;
  Probe c(nullptr, &log);
  c.SetName("C");
  c.BeginLoading();
  EXPECT_TRUE(c.HasState(csLoading | csReading));
  c.EndLoading();
  EXPECT_FALSE(c.HasState(csLoading));
  EXPECT_FALSE(c.HasState(csReading));
  EXPECT_EQ(log.back(), "loaded C");
  c.SetDesigning(true);
  EXPECT_TRUE(c.HasState(csDesigning));
}

// A component with a field of its own, destroyed the way every component
// class is: its destructor starts with the destroying step.
struct Session : TComponent {
  explicit Session(TComponent* owner) : TComponent(owner) {}
  ~Session() override { BeforeDestruction(); }
  std::string server = "ORCL";
};

// Records what it can see of a component it is told about.
struct Watcher : TComponent {
  explicit Watcher(TComponent* owner = nullptr) : TComponent(owner) {}
  ~Watcher() override { BeforeDestruction(); }
  void Notification(TComponent* c, TOperation op) override {
    if (op != opRemove) return;
    auto* session = dynamic_cast<Session*>(c);
    seen.push_back(session ? "Session " + session->server : "not a Session");
    destroying_seen = c->HasState(csDestroying);
  }
  std::vector<std::string> seen;
  bool destroying_seen = false;
};

// Reads a field of its owner's derived class in its own destroying step.
struct Part : TComponent {
  Part(Session* owner, std::string* out) : TComponent(owner), seen(out) {}
  ~Part() override { BeforeDestruction(); }
  void Dismantle() override {
    auto* session = dynamic_cast<Session*>(Owner());
    *seen = session ? session->server + (session->HasState(csDestroying) ? " destroying" : "") : "gone";
  }
  std::string* seen;
};

TEST(ComponentDestructionTest, a_free_notification_client_sees_the_dying_component_whole) {
  Watcher watcher;
  auto session = std::make_unique<Session>(nullptr);
  session->FreeNotification(&watcher);
  session.reset();
  EXPECT_EQ(watcher.seen, std::vector<std::string>{"Session ORCL"});
  EXPECT_TRUE(watcher.destroying_seen);
}

TEST(ComponentDestructionTest, the_owner_is_told_while_the_owned_component_is_whole) {
  Watcher owner;
  delete new Session(&owner);
  EXPECT_EQ(owner.seen, std::vector<std::string>{"Session ORCL"});
  EXPECT_EQ(owner.ComponentCount(), 0);
}

TEST(ComponentDestructionTest, owned_components_are_freed_before_the_owners_own_members) {
  std::string seen;
  auto session = std::make_unique<Session>(nullptr);
  new Part(session.get(), &seen);
  session.reset();
  EXPECT_EQ(seen, "ORCL destroying");
}

TEST(ComponentDestructionTest, owned_components_are_marked_destroying_with_their_owner) {
  Watcher outside;
  auto owner = std::make_unique<Session>(nullptr);
  auto* child = new Session(owner.get());
  child->FreeNotification(&outside);
  owner->BeforeDestruction();
  EXPECT_TRUE(outside.destroying_seen);
  EXPECT_EQ(outside.seen, std::vector<std::string>{"Session ORCL"});
  EXPECT_EQ(owner->ComponentCount(), 0);
}

TEST(ComponentDestructionTest, the_destroying_step_runs_once_and_drops_links_made_after_it) {
  Watcher early, late;
  auto session = std::make_unique<Session>(nullptr);
  session->FreeNotification(&early);
  session->BeforeDestruction();
  session->BeforeDestruction();
  EXPECT_EQ(early.seen.size(), 1u);
  session->FreeNotification(&late);  // a peer linking to a dying component
  session.reset();
  EXPECT_EQ(early.seen.size(), 1u);
  EXPECT_EQ(late.seen, std::vector<std::string>{"Session ORCL"});
}

}  // namespace
}  // namespace kvell
