// The viewer's Qt hooks, driven offscreen: a real confirmation box answered
// by clicking its buttons, the override cursor, and exception reports.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>

#include "app/application.h"
#include "app/qt_user_interface.h"
#include "runtime/exception.h"

namespace kestra {
namespace {

class RecordingMessageBox : public MessageBox {
 public:
  void Show(const std::string& text) override { shown.push_back(text); }
  std::vector<std::string> shown;
};

class QtHooksTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static int argc = 1;
    static char name[] = "qt_ui_hooks_tests";
    static char* argv[] = {name, nullptr};
    if (qApp == nullptr) new QApplication(argc, argv);  // lives for the process
  }

  // Clicks the button labelled `text` in the next box shown, and records the box's buttons.
  void ClickWhenShown(const QString& text) {
    QTimer::singleShot(0, [this, text] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      if (box == nullptr) return ClickWhenShown(text);
      title = box->windowTitle();
      labels.clear();
      for (QAbstractButton* button : box->buttons()) {
        labels << button->text().remove('&');
        if (button->text().remove('&') == text) clicked = button;
      }
      if (clicked) clicked->click();
      else box->reject();
    });
  }

  QString title;
  QStringList labels;
  QAbstractButton* clicked = nullptr;
};

TEST_F(QtHooksTest, confirm_dialog_shows_the_lettered_buttons_and_returns_the_pressed_ones_result) {
  kvell::ScopedUserInterface hooks(std::make_unique<QtUserInterface>(nullptr));
  ClickWhenShown("No");
  EXPECT_EQ(kvell::mrNo, kvell::ConfirmDialog("Modify query to add variables to WHERE clause?", "Confirm", "YN"));
  EXPECT_EQ(kConfirmationTitle, title.toStdString());
  EXPECT_EQ(2, labels.size());
  EXPECT_TRUE(labels.contains("Yes") && labels.contains("No")) << labels.join(",").toStdString();

  clicked = nullptr;
  ClickWhenShown("All");
  EXPECT_EQ(kvell::mrAll, kvell::ConfirmDialog("Go?", "ignored", "OCIA"));
  EXPECT_EQ(4, labels.size());
  clicked = nullptr;
  ClickWhenShown("Ignore");
  EXPECT_EQ(kvell::mrIgnore, kvell::ConfirmDialog("Go?", "ignored", "OCIA"));
}

TEST_F(QtHooksTest, the_screen_cursor_becomes_the_override_cursor_and_default_removes_it) {
  kvell::ScopedUserInterface hooks(std::make_unique<QtUserInterface>(nullptr));
  kvell::SetScreenCursor(kvell::crHourGlass);
  EXPECT_EQ(kvell::crHourGlass, kvell::GetScreenCursor());
  ASSERT_NE(nullptr, QApplication::overrideCursor());
  EXPECT_EQ(Qt::WaitCursor, QApplication::overrideCursor()->shape());
  kvell::SetScreenCursor(kvell::crDefault);
  EXPECT_EQ(nullptr, QApplication::overrideCursor());
}

TEST_F(QtHooksTest, exceptions_go_to_the_viewers_error_report) {
  Application application;
  RecordingMessageBox box;
  application.SetMessageBox(&box);
  kvell::ScopedUserInterface hooks(std::make_unique<QtUserInterface>(&application));
  try {
    throw kvell::Exception("ORA-01017: invalid username/password; logon denied");
  } catch (...) {
    kvell::HandleApplicationException(nullptr);
  }
  EXPECT_EQ(std::vector<std::string>{"ORA-01017: invalid username/password; logon denied"}, box.shown);
  application.SetMessageBox(nullptr);
}

}  // namespace
}  // namespace kestra
