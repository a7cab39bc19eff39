// kvell-browse's window in process on ociemu: query by example typed into
// its grid and applied with its buttons.
#include <gtest/gtest.h>

#include <QPushButton>
#include <QTableView>
#include <QTest>

#include "tests/qt/oracle_qt_fixture.h"
#include "tools/kvell-browse/browse_window.h"

namespace kvell {
namespace {

class BrowseWindowTest : public qt_test::OracleQtTest {
 protected:
  void SetUp() override {
    OracleQtTest::SetUp();
    window = std::make_unique<BrowseWindow>();
    window->SetLogon({"scott", "tiger", database_});
    window->SetSQL("select * from emp order by empno");
    window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(window.get()));
    ASSERT_TRUE(window->LogOn());
    ASSERT_TRUE(window->OpenQuery());
  }
  void TearDown() override {
    window.reset();
    OracleQtTest::TearDown();
  }
  QPushButton* Button(const char* name) const { return window->findChild<QPushButton*>(name); }
  int Column(const char* name) const {
    for (int column = 0; column < window->Model().columnCount(); ++column)
      if (window->Model().Field(column)->FieldName() == name) return column;
    return -1;
  }
  QStringList Names() const {
    QStringList names;
    for (int row = 0; row < window->Model().rowCount(); ++row)
      names << window->Model().index(row, Column("ENAME")).data().toString();
    return names;
  }
  void TypeExample(const char* field, const QString& text) {
    qt_test::TypeInto(window->Grid(), window->Model().index(0, Column(field)), text, Qt::Key_Return);
  }

  std::unique_ptr<BrowseWindow> window;
};

TEST_F(BrowseWindowTest, examples_typed_into_the_grid_and_applied_leave_the_matching_employees) {
  QPushButton* toggle = Button("QBEButton");
  QPushButton* apply = Button("ApplyQBE");
  ASSERT_TRUE(toggle && apply);
  EXPECT_FALSE(apply->isEnabled());
  QTest::mouseClick(toggle, Qt::LeftButton);
  ASSERT_TRUE(window->DataSet().QBEMode());
  EXPECT_TRUE(apply->isEnabled());
  ASSERT_EQ(1, window->Model().rowCount()) << "the grid shows the search record";

  TypeExample("ENAME", "*A*");
  TypeExample("JOB", "SALESMAN");
  EXPECT_TRUE(window->DataSet().QBEMode()) << "typing examples posts nothing";
  QTest::mouseClick(apply, Qt::LeftButton);
  EXPECT_FALSE(window->DataSet().QBEMode());
  EXPECT_FALSE(toggle->isChecked());
  EXPECT_FALSE(apply->isEnabled());
  EXPECT_EQ(QStringList({"ALLEN", "WARD", "MARTIN"}), Names());
  EXPECT_TRUE(reported.empty()) << reported.front();

  // Toggled off without applying, the mode is cancelled and the rows stay those of the last example.
  QTest::mouseClick(toggle, Qt::LeftButton);
  TypeExample("ENAME", "KING");
  QTest::mouseClick(toggle, Qt::LeftButton);
  EXPECT_FALSE(window->DataSet().QBEMode());
  EXPECT_EQ(QStringList({"ALLEN", "WARD", "MARTIN"}), Names());
  EXPECT_TRUE(reported.empty()) << reported.front();
}

}  // namespace
}  // namespace kvell
