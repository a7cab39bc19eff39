// The collection-column form through the installed Qt hooks, offscreen: it
// lists the master's collection columns, and OK, a double click and Cancel
// give what the user chose.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <functional>

#include "qt/collection_column_form.h"
#include "qt/qt_user_interface.h"
#include "tests/qt/qt_test_support.h"

namespace kvell {
namespace {

class CollectionColumnFormTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { qt_test::EnsureApplication(); }

  // Runs `act` on the form once it is shown modally.
  static void OnNextForm(std::function<void(CollectionColumnForm&)> act) {
    QTimer::singleShot(0, [act] {
      auto* form = dynamic_cast<CollectionColumnForm*>(QApplication::activeModalWidget());
      if (!form) return OnNextForm(act);
      act(*form);
    });
  }
  static QPushButton* Button(QWidget& form, const QString& text) {
    for (QPushButton* button : form.findChildren<QPushButton*>())
      if (button->text() == text) return button;
    return nullptr;
  }
};

TEST_F(CollectionColumnFormTest, lists_the_columns_and_ok_returns_the_chosen_one_and_the_check_box) {
  auto hooks = InstallQtUserInterface();
  QStringList listed;
  QString caption;
  bool checked_at_first = false;
  OnNextForm([&](CollectionColumnForm& form) {
    caption = form.windowTitle();
    auto* list = form.findChild<QListWidget*>("Columns");
    for (int i = 0; i < list->count(); ++i) listed << list->item(i)->text();
    auto* read_only = form.findChild<QCheckBox*>("ReadOnly");
    checked_at_first = read_only->isChecked();
    read_only->setChecked(false);
    list->setCurrentRow(2);
    Button(form, "OK")->click();
  });
  const TCollectionColumnChoice choice = SelectMasterCollectionColumn({"TAGS", "PARTS", "NOTES"});
  EXPECT_EQ(caption, "Select Master Collection Column for Detail Dataset");
  EXPECT_EQ(listed, QStringList({"TAGS", "PARTS", "NOTES"}));
  EXPECT_TRUE(checked_at_first);
  EXPECT_TRUE(choice.Ok);
  EXPECT_EQ(choice.Index, 2);
  EXPECT_FALSE(choice.ReadOnly);
}

TEST_F(CollectionColumnFormTest, a_double_click_counts_as_ok_and_cancel_is_no_choice) {
  auto hooks = InstallQtUserInterface();
  OnNextForm([](CollectionColumnForm& form) {
    auto* list = form.findChild<QListWidget*>("Columns");
    QListWidgetItem* item = list->item(1);
    list->setCurrentItem(item);
    emit list->itemDoubleClicked(item);
  });
  TCollectionColumnChoice choice = SelectMasterCollectionColumn({"TAGS", "PARTS"});
  EXPECT_TRUE(choice.Ok);
  EXPECT_EQ(choice.Index, 1);
  EXPECT_TRUE(choice.ReadOnly);

  OnNextForm([](CollectionColumnForm& form) { Button(form, "Cancel")->click(); });
  choice = SelectMasterCollectionColumn({"TAGS"});
  EXPECT_FALSE(choice.Ok);
}

}  // namespace
}  // namespace kvell
