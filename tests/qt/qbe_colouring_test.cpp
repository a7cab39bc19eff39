// Query-by-example mode colours the real widgets registered for a dataset on
// ociemu through the Qt hooks' component enumeration, and puts them back.
#include <gtest/gtest.h>

#include <QLineEdit>

#include "db/data_source.h"
#include "oracle/dataset/oracle_dataset.h"
#include "qt/data_controls.h"
#include "tests/qt/oracle_qt_fixture.h"

namespace kvell::qt_test {
namespace {

class QBEColouringTest : public OracleQtTest {
 protected:
  void TearDown() override {
    source.reset();
    emp.reset();
    OracleQtTest::TearDown();
  }
  std::unique_ptr<TOracleDataSet> emp;
  std::unique_ptr<TDataSource> source;
};

TEST_F(QBEColouringTest, a_bound_line_edit_takes_the_colours_and_length_of_the_mode_and_gets_its_own_back) {
  emp = std::make_unique<TOracleDataSet>();
  emp->SetSession(session.get());
  emp->SetSQLText("select rowid, empno, ename from emp order by empno");
  emp->QBEDefinition.QBEFontColor = 0x0000FF;        // red, as 0x00BBGGRR
  emp->QBEDefinition.QBEBackgroundColor = 0x00FFFF;  // yellow
  emp->QBEDefinition.AllowOperators = true;
  emp->Open();
  source = std::make_unique<TDataSource>(nullptr);
  source->SetDataSet(emp.get());
  QLineEdit edit, unbound;
  edit.setMaxLength(10);
  RegisterDataControl(&edit, source.get());
  RegisterDataControl(&unbound, nullptr);
  const QPalette original = edit.palette();

  emp->SetQBEMode(true);
  EXPECT_EQ(edit.palette().color(QPalette::Text), QColor(255, 0, 0));
  EXPECT_EQ(edit.palette().color(QPalette::Base), QColor(255, 255, 0));
  EXPECT_EQ(edit.maxLength(), 32767) << "no limit while operators may be typed";
  EXPECT_EQ(unbound.palette().color(QPalette::Text), original.color(QPalette::Text));

  emp->SetQBEMode(false);
  EXPECT_EQ(edit.palette().color(QPalette::Text), original.color(QPalette::Text));
  EXPECT_EQ(edit.palette().color(QPalette::Base), original.color(QPalette::Base));
  EXPECT_EQ(edit.maxLength(), 10);
}

}  // namespace
}  // namespace kvell::qt_test
