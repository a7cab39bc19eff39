// The six hooks over the default user interface and an installed one.
#include <gtest/gtest.h>

#include "oracle/ui/default_user_interface.h"
#include "runtime/component.h"
#include "runtime/exception.h"

namespace kvell {
namespace {

class UiHooksTest : public ::testing::Test {
 protected:
  void SetUp() override { InstallUserInterface(nullptr); }
  void TearDown() override { InstallUserInterface(nullptr); }
  DefaultUserInterface& ui() { return *InstalledDefaultUserInterface(); }
};

TEST_F(UiHooksTest, letters_name_buttons_anywhere_in_upper_case_only) {
  EXPECT_EQ(cbYes | cbNo, ConfirmButtonsFromLetters("YN"));
  EXPECT_EQ(cbYes | cbNo, ConfirmButtonsFromLetters("NYNY"));
  EXPECT_EQ(cbOK | cbCancel | cbIgnore | cbAll, ConfirmButtonsFromLetters("x-O C?I A"));
  EXPECT_EQ(0u, ConfirmButtonsFromLetters("yonciaRH"));
  EXPECT_EQ(mrYes, ModalResultOf(cbYes));
  EXPECT_EQ(mrNo, ModalResultOf(cbNo));
  EXPECT_EQ(mrOk, ModalResultOf(cbOK));
  EXPECT_EQ(mrCancel, ModalResultOf(cbCancel));
  EXPECT_EQ(mrIgnore, ModalResultOf(cbIgnore));
  EXPECT_EQ(mrAll, ModalResultOf(cbAll));
}

TEST_F(UiHooksTest, the_default_confirmation_answers_with_the_first_button_or_the_policy) {
  EXPECT_EQ(mrYes, ConfirmDialog("Modify?", "Confirm", "NY"));
  EXPECT_EQ(mrOk, ConfirmDialog("Go?", "Confirm", "CO"));
  EXPECT_EQ(mrAll, ConfirmDialog("Go?", "Confirm", "A"));
  EXPECT_EQ(mrNone, ConfirmDialog("Go?", "Confirm", ""));
  std::string asked;
  ui().SetConfirmPolicy([&](const std::string& message, TConfirmButtons buttons) {
    asked = message;
    return buttons & cbNo ? static_cast<int>(mrNo) : static_cast<int>(mrCancel);
  });
  EXPECT_EQ(mrNo, ConfirmDialog("Remove the WHERE clause?", "ignored caption", "YN"));
  EXPECT_EQ("Remove the WHERE clause?", asked);
}

TEST_F(UiHooksTest, the_screen_cursor_reads_back_and_a_wait_cursor_restores_it) {
  SetScreenCursor(-19);
  EXPECT_EQ(-19, GetScreenCursor());
  {
    WaitCursor busy(crHourGlass);
    EXPECT_EQ(crHourGlass, GetScreenCursor());
    {
      WaitCursor inner(-12);
      EXPECT_EQ(-12, GetScreenCursor());
    }
    EXPECT_EQ(crHourGlass, GetScreenCursor());
  }
  EXPECT_EQ(-19, GetScreenCursor());
  {
    WaitCursor untouched(crDefault);
    SetScreenCursor(-5);
  }
  EXPECT_EQ(-5, GetScreenCursor());  // a default cursor never touches the screen
}

TEST_F(UiHooksTest, the_exception_being_handled_is_written_to_standard_error) {
  ::testing::internal::CaptureStderr();
  try {
    throw Exception("Error reactivating dataset Q:\r\nbad");
  } catch (...) {
    HandleApplicationException(nullptr);
  }
  HandleApplicationException(nullptr);  // nothing being handled: nothing written
  EXPECT_EQ("Error reactivating dataset Q:\r\nbad\n", ::testing::internal::GetCapturedStderr());
}

TEST_F(UiHooksTest, the_application_components_are_those_of_the_application_root) {
  EXPECT_EQ(0, ApplicationComponentCount());
  TComponent application(nullptr);
  auto* first = new TComponent(&application);
  auto* second = new TComponent(&application);
  ui().SetApplication(&application);
  ASSERT_EQ(2, ApplicationComponentCount());
  EXPECT_EQ(first, ApplicationComponent(0));
  EXPECT_EQ(second, ApplicationComponent(1));
  ui().SetApplication(nullptr);
}

TEST_F(UiHooksTest, without_a_form_the_first_collection_column_is_taken_read_only) {
  const TCollectionColumnChoice choice = SelectMasterCollectionColumn({"ITEMS", "TAGS"});
  EXPECT_TRUE(choice.Ok);
  EXPECT_EQ(0, choice.Index);
  EXPECT_TRUE(choice.ReadOnly);
  const TCollectionColumnChoice none = SelectMasterCollectionColumn({});
  EXPECT_FALSE(none.Ok);
  EXPECT_EQ(-1, none.Index);
}

}  // namespace
}  // namespace kvell
