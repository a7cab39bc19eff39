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

}  // namespace
}  // namespace kvell
