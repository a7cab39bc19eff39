// Activation: Active streamed in, set without a session, DesignActivation;
// the session setter; and the protocol steps a caller cannot reach through
// the framework alone (block reads, a foreign buffer for InternalAddRecord,
// the wait cursor of the move to the last record).
#include <string>
#include <vector>

#include "oracle/dataset/dataset_messages.h"
#include "oracle/ui/ui_hooks.h"
#include "tests/dataset/dataset_fixture.h"

namespace kvell::testing {
namespace {

class ActivationTest : public DataSetTest {};
KVELL_DATASET_INTERFACES(ActivationTest);

TEST_P(ActivationTest, an_Active_value_streamed_in_opens_the_dataset_when_loading_ends) {
  auto dept = std::make_unique<InspectableDataSet>();
  dept->BeginLoading();
  dept->SetSQLText("select deptno from dept");
  dept->SetActive(true);
  dept->SetSession(session.get());
  EXPECT_FALSE(dept->Active()) << "remembered while streaming";
  dept->EndLoading();
  EXPECT_TRUE(dept->Active());
  EXPECT_EQ(dept->VisibleCount(), 4);
}

TEST_P(ActivationTest, DesignActivation_ignores_a_streamed_Active_at_run_time) {
  auto dept = MakeDataSet("select deptno from dept");
  dept->DesignActivation = true;
  dept->BeginLoading();
  dept->SetActive(true);
  dept->EndLoading();
  EXPECT_FALSE(dept->Active());
  dept->Open();
  EXPECT_TRUE(dept->Active()) << "only the streamed value is ignored";
}

TEST_P(ActivationTest, a_streamed_activation_waits_for_a_session_and_then_for_its_logon) {
  auto dept = std::make_unique<InspectableDataSet>();
  dept->SetSQLText("select deptno from dept");
  dept->BeginLoading();
  dept->SetActive(true);
  dept->EndLoading();
  EXPECT_FALSE(dept->Active()) << "no session yet";
  session->LogOff();
  dept->SetSession(session.get());
  EXPECT_FALSE(dept->Active()) << "the session is not connected";
  session->LogOn();
  dept->SetActive(true);
  EXPECT_TRUE(dept->Active());
}

TEST_P(ActivationTest, at_design_time_a_failing_streamed_open_is_reported_not_raised) {
  std::vector<std::string> reports;
  class Reporter : public UserInterface {
   public:
    explicit Reporter(std::vector<std::string>& out) : out_(out) {}
    int Confirm(const std::string&, TConfirmButtons) override { return mrOk; }
    TCursor ScreenCursor() override { return crDefault; }
    void SetScreenCursor(TCursor) override {}
    void HandleException(const void*) override {
      try {
        throw;
      } catch (const Exception& e) {
        out_.push_back(e.Message);
      }
    }
    int ComponentCount() override { return 0; }
    TComponent* Component(int) override { return nullptr; }

   private:
    std::vector<std::string>& out_;
  };
  ScopedUserInterface ui(std::make_unique<Reporter>(reports));
  auto bad = MakeDataSet("select no_such_column from dept");
  bad->SetDesigning(true);
  bad->BeginLoading();
  bad->SetActive(true);
  EXPECT_NO_THROW(bad->EndLoading());
  EXPECT_FALSE(bad->Active());
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("ORA-00904"), std::string::npos) << reports[0];
}

TEST_P(ActivationTest, block_reading_is_never_switched_on) {
  auto dept = OpenDataSet("select deptno from dept");
  dept->SetBlockReadSize(10);
  EXPECT_EQ(dept->BlockReadSize(), 0);
  EXPECT_EQ(Column(*dept, "DEPTNO").size(), 4u);
}

// Reaches InternalAddRecord the way the write-back's Post will.
class AddingDataSet : public InspectableDataSet {
 public:
  using InspectableDataSet::InspectableDataSet;
  ~AddingDataSet() override { BeforeDestruction(); }
  void AddForeign() {
    uint8_t foreign[8] = {};
    InternalAddRecord(foreign, true);
  }
};

TEST_P(ActivationTest, InternalAddRecord_refuses_a_buffer_other_than_the_active_one) {
  AddingDataSet dept;
  dept.SetSession(session.get());
  dept.SetSQLText("select rowid, deptno from dept");
  dept.Open();
  EXPECT_EQ(MessageOf([&] { dept.AddForeign(); }), dataset_messages::ForeignAddBuffer);
}

TEST_P(ActivationTest, moving_to_the_last_record_fetches_under_the_datasets_wait_cursor) {
  std::vector<TCursor> cursors;
  class CursorLog : public UserInterface {
   public:
    explicit CursorLog(std::vector<TCursor>& out) : out_(out) {}
    int Confirm(const std::string&, TConfirmButtons) override { return mrOk; }
    TCursor ScreenCursor() override { return current_; }
    void SetScreenCursor(TCursor cursor) override {
      current_ = cursor;
      out_.push_back(cursor);
    }
    void HandleException(const void*) override {}
    int ComponentCount() override { return 0; }
    TComponent* Component(int) override { return nullptr; }

   private:
    std::vector<TCursor>& out_;
    TCursor current_ = crDefault;
  };
  ScopedUserInterface ui(std::make_unique<CursorLog>(cursors));
  auto emp = MakeDataSet("select empno from emp");
  emp->QueryAllRecords = false;
  emp->SetCursor(crHourGlass);
  emp->Open();
  cursors.clear();
  emp->Last();
  ASSERT_GE(cursors.size(), 2u);
  EXPECT_EQ(cursors.front(), crHourGlass);
  EXPECT_EQ(cursors.back(), crDefault);
  EXPECT_EQ(emp->HeldRecords(), 14);
}

}  // namespace
}  // namespace kvell::testing
