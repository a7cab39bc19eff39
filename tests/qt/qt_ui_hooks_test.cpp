// The Qt hooks, driven offscreen: a real confirmation box answered by
// clicking its buttons, the override cursor, error reports, and the
// data-aware widgets in the component enumeration.
#include <gtest/gtest.h>

#include <QLineEdit>
#include <memory>

#include "db/data_source.h"
#include "qt/data_controls.h"
#include "qt/qt_user_interface.h"
#include "runtime/exception.h"
#include "tests/qt/qt_test_support.h"

namespace kvell {
namespace {

using qt_test::AnsweredBox;
using qt_test::AnswerNextBox;

class QtHooksTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { qt_test::EnsureApplication(); }
};

TEST_F(QtHooksTest, confirm_dialog_shows_the_lettered_buttons_and_returns_the_pressed_ones_result) {
  auto hooks = InstallQtUserInterface();
  AnsweredBox box;
  AnswerNextBox("No", box);
  EXPECT_EQ(mrNo, ConfirmDialog("Modify query to add variables to WHERE clause?", "Confirm", "YN"));
  EXPECT_EQ(kConfirmationTitle, box.title.toStdString());
  EXPECT_EQ(QStringList({"Yes", "No"}), box.buttons);

  AnswerNextBox("All", box);
  EXPECT_EQ(mrAll, ConfirmDialog("Go?", "ignored", "OCIA"));
  EXPECT_EQ(4, box.buttons.size());
  AnswerNextBox("Ignore", box);
  EXPECT_EQ(mrIgnore, ConfirmDialog("Go?", "ignored", "OCIA"));
}

TEST_F(QtHooksTest, the_screen_cursor_becomes_the_override_cursor_and_default_removes_it) {
  auto hooks = InstallQtUserInterface();
  SetScreenCursor(crHourGlass);
  EXPECT_EQ(crHourGlass, GetScreenCursor());
  ASSERT_NE(nullptr, QApplication::overrideCursor());
  EXPECT_EQ(Qt::WaitCursor, QApplication::overrideCursor()->shape());
  SetScreenCursor(crDefault);
  EXPECT_EQ(nullptr, QApplication::overrideCursor());
}

TEST_F(QtHooksTest, exceptions_go_to_the_programs_report_and_an_abort_stays_silent) {
  std::vector<std::string> reported;
  auto hooks = InstallQtUserInterface([&](const std::exception& error) { reported.emplace_back(error.what()); });
  for (bool abort : {false, true}) {
    try {
      if (abort) throw EAbort();
      throw Exception("ORA-01017: invalid username/password; logon denied");
    } catch (...) {
      HandleApplicationException(nullptr);
    }
  }
  EXPECT_EQ(std::vector<std::string>{"ORA-01017: invalid username/password; logon denied"}, reported);
}

TEST_F(QtHooksTest, without_a_report_an_exception_is_shown_in_an_error_box_with_line_breaks) {
  auto hooks = InstallQtUserInterface();
  AnsweredBox box;
  AnswerNextBox("OK", box);
  try {
    throw Exception("Error reactivating dataset Q:\r\nbad");
  } catch (...) {
    HandleApplicationException(nullptr);
  }
  EXPECT_TRUE(box.answered);
  EXPECT_EQ("Error reactivating dataset Q:\nbad", box.text.toStdString());
}

TEST_F(QtHooksTest, the_components_are_the_applications_then_the_live_data_aware_widgets) {
  TComponent application(nullptr);
  auto* own = new TComponent(&application);
  auto hooks = InstallQtUserInterface({}, &application);
  auto source = std::make_unique<TDataSource>(nullptr);
  auto edit = std::make_unique<QLineEdit>();
  QtDataControl* control = RegisterDataControl(edit.get(), source.get());

  ASSERT_EQ(2, ApplicationComponentCount());
  EXPECT_EQ(own, ApplicationComponent(0));
  auto* listed = dynamic_cast<TDataAwareControl*>(ApplicationComponent(1));
  ASSERT_EQ(control, listed);
  EXPECT_EQ(source.get(), listed->DataSource());

  source.reset();  // the control forgets a data source that is gone
  EXPECT_EQ(nullptr, listed->DataSource());
  edit.reset();  // and leaves the list with its widget
  EXPECT_EQ(1, ApplicationComponentCount());
}

TEST_F(QtHooksTest, query_by_example_colours_reach_the_widget_and_system_colours_restore_it) {
  QLineEdit edit;
  const QPalette original = edit.palette();
  QtDataControl* control = RegisterDataControl(&edit, nullptr);
  control->SetFontColor(0x0000FF);         // red, as 0x00BBGGRR
  control->SetBackgroundColor(0xFFFF00);   // aqua
  EXPECT_EQ(QColor(255, 0, 0), edit.palette().color(QPalette::Text));
  EXPECT_EQ(QColor(0, 255, 255), edit.palette().color(QPalette::Base));
  control->SetFontColor(clDefault);        // the default value changes nothing
  EXPECT_EQ(QColor(255, 0, 0), edit.palette().color(QPalette::Text));

  control->SetFontColor(clWindowText);
  control->SetBackgroundColor(clWindow);
  EXPECT_EQ(original.color(QPalette::Text), edit.palette().color(QPalette::Text));
  EXPECT_EQ(original.color(QPalette::Base), edit.palette().color(QPalette::Base));

  edit.setMaxLength(10);
  control->SetMaxLength(0);  // lifted
  EXPECT_EQ(32767, control->MaxLength());
}

}  // namespace
}  // namespace kvell
