// The table model over TOracleDataSet on ociemu, under Qt's model tester:
// EMP browsed, its rows fetched on demand, filtered, and refreshed after
// another session changed them; edited through QTableView and
// QDataWidgetMapper into the database, seen from a second session, and a
// cell edit of a row another session has locked.
#include <gtest/gtest.h>

#include <QAbstractItemModelTester>
#include <QDataWidgetMapper>
#include <QLineEdit>
#include <QTableView>
#include <QTest>
#include <map>

#include "oracle/dataset/dml_messages.h"
#include "oracle/dataset/oracle_dataset.h"
#include "qt/dataset_table_model.h"
#include "qt/qt_user_interface.h"
#include "tests/qt/oracle_qt_fixture.h"

namespace kvell {
namespace {

class OracleModelTest : public qt_test::OracleQtTest {
 protected:
  void SetUp() override {
    OracleQtTest::SetUp();
    emp.SetSession(session.get());
    emp.SetSQLText("select empno, ename, job, sal, comm from emp order by empno");
    source.SetDataSet(&emp);
  }
  void TearDown() override {
    tester.reset();
    model.reset();
    emp.Close();
    other.reset();
    OracleQtTest::TearDown();
  }

  void Watch() {
    model = std::make_unique<TDataSetTableModel>(&source);
    tester = std::make_unique<QAbstractItemModelTester>(model.get(), QAbstractItemModelTester::FailureReportingMode::Fatal);
  }
  void Exec(const std::string& sql) { Run(*session, sql); }
  // EMP with its rowids, so that the dataset writes back.
  void OpenEditable() {
    emp.SetSQLText("select rowid, empno, ename, job, sal, comm from emp order by empno");
    emp.Open();
    Watch();
    other = MakeSession();
    other->LogOn();
  }
  std::string OtherSees(const std::string& sql) { return QueryValue(*other, sql); }
  int RowOf(int empno) const {
    for (int row = 0; row < model->rowCount(); ++row)
      if (model->index(row, Column("EMPNO")).data(Qt::EditRole).toInt() == empno) return row;
    return -1;
  }
  int Column(const char* name) const {
    for (int column = 0; column < model->columnCount(); ++column)
      if (model->Field(column)->FieldName() == name) return column;
    return -1;
  }
  QString Cell(int row, const char* field) const { return model->index(row, Column(field)).data().toString(); }
  QStringList Names() const {
    QStringList names;
    for (int row = 0; row < model->rowCount(); ++row) names << Cell(row, "ENAME");
    return names;
  }

  std::unique_ptr<TOracleSession> other;
  TOracleDataSet emp;
  TDataSource source{nullptr};
  std::unique_ptr<TDataSetTableModel> model;
  std::unique_ptr<QAbstractItemModelTester> tester;
};

TEST_F(OracleModelTest, emp_is_browsed_with_its_columns_and_null_commissions_as_empty_cells) {
  emp.Open();
  Watch();
  ASSERT_EQ(14, model->rowCount());
  EXPECT_EQ("EMPNO", model->headerData(0, Qt::Horizontal).toString());
  EXPECT_EQ("SMITH", Cell(0, "ENAME"));
  EXPECT_EQ("MILLER", Cell(13, "ENAME"));
  EXPECT_EQ("800", Cell(0, "SAL"));
  EXPECT_FALSE(model->index(0, Column("COMM")).data().isValid()) << "SMITH has no commission";
  EXPECT_EQ("300", Cell(1, "COMM"));
  EXPECT_EQ(Qt::AlignRight, model->index(0, Column("SAL")).data(Qt::TextAlignmentRole).value<Qt::Alignment>() &
                                Qt::AlignHorizontal_Mask);
  EXPECT_EQ(7369, model->index(0, 0).data(Qt::EditRole).toInt());
  EXPECT_EQ(7369, emp.FieldByName("EMPNO")->AsInteger()) << "reading rows leaves the dataset where it was";
}

TEST_F(OracleModelTest, rows_are_fetched_on_demand_when_not_all_records_are_queried) {
  Exec("create table many (n number(10), label varchar2(20))");
  Exec("insert into many select rownum, 'row ' || rownum from emp a, emp b, emp c");  // 14^3 rows
  emp.QueryAllRecords = false;
  emp.SetReadBuffer(25);
  emp.SetSQLText("select n, label from many order by n");
  emp.Open();
  Watch();
  EXPECT_LT(model->rowCount(), 2744);
  QTableView view;
  view.setModel(model.get());
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  view.scrollToBottom();  // the view asks for more as it reaches the end
  while (model->canFetchMore()) model->fetchMore();
  EXPECT_EQ(2744, model->rowCount());
  EXPECT_EQ("row 2744", model->index(2743, 1).data().toString());
  EXPECT_EQ("row 7", model->index(6, 1).data().toString());
}

TEST_F(OracleModelTest, a_filter_narrows_the_rows_and_a_refresh_shows_another_sessions_change) {
  emp.Open();
  Watch();
  emp.SetFilterText("JOB = 'SALES*'");
  emp.SetFiltered(true);
  EXPECT_EQ(QStringList({"ALLEN", "WARD", "MARTIN", "TURNER"}), Names());

  auto other = MakeSession();
  other->LogOn();
  Run(*other, "update emp set sal = 1999 where ename = 'WARD'");
  other->Commit();
  EXPECT_EQ("1250", Cell(1, "SAL"));
  emp.Refresh();
  EXPECT_EQ(QStringList({"ALLEN", "WARD", "MARTIN", "TURNER"}), Names());
  EXPECT_EQ("1999", Cell(1, "SAL"));
  EXPECT_TRUE(reported.empty());
}

class OracleEditingTest : public OracleModelTest {
 protected:
  void SetUp() override {
    OracleModelTest::SetUp();
    OpenRows();
    view_ = std::make_unique<QTableView>();
    view_->setModel(model.get());
    view_->resize(600, 400);
    view_->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(view_.get()));
  }
  void TearDown() override {
    view_.reset();
    OracleModelTest::TearDown();
  }
  QTableView& view() { return *view_; }
  virtual void OpenRows() { OpenEditable(); }

 private:
  std::unique_ptr<QTableView> view_;
};

TEST_F(OracleEditingTest, a_table_view_edits_and_inserts_rows_that_another_session_then_reads) {
  const int scott = RowOf(7788);
  qt_test::TypeInto(view(), model->index(scott, Column("SAL")), "3456", Qt::Key_Return);
  EXPECT_EQ(dsBrowse, emp.State());
  EXPECT_EQ("3456", OtherSees("select sal from emp where empno = 7788"));
  EXPECT_EQ("3456", Cell(scott, "SAL"));

  // A new row at the end: one cell after another, Return posts the record.
  ASSERT_TRUE(model->insertRows(model->rowCount(), 1));
  const int added = model->rowCount() - 1;
  qt_test::TypeInto(view(), model->index(added, Column("EMPNO")), "8000", Qt::Key_Tab);
  EXPECT_EQ(dsInsert, emp.State()) << "moving to the next cell keeps the record open";
  qt_test::TypeIntoFocus("NEWMAN", Qt::Key_Return);
  EXPECT_EQ(dsBrowse, emp.State());
  EXPECT_EQ("NEWMAN", OtherSees("select ename from emp where empno = 8000"));
  EXPECT_EQ("15", OtherSees("select count(*) from emp"));
  EXPECT_EQ("NEWMAN", Cell(added, "ENAME"));
  EXPECT_TRUE(reported.empty()) << reported.front();
}

TEST_F(OracleEditingTest, a_data_widget_mapper_submits_its_widgets_into_the_row) {
  QDataWidgetMapper mapper;
  mapper.setModel(model.get());
  mapper.setSubmitPolicy(QDataWidgetMapper::ManualSubmit);
  QLineEdit name;
  QLineEdit commission;
  mapper.addMapping(&name, Column("ENAME"));
  mapper.addMapping(&commission, Column("COMM"));
  mapper.setCurrentIndex(RowOf(7499));
  EXPECT_EQ("ALLEN", name.text());
  EXPECT_EQ("300", commission.text());
  name.setText("ALLAN");
  commission.setText("");  // an emptied widget stores null
  ASSERT_TRUE(mapper.submit());
  EXPECT_EQ("ALLAN|null", OtherSees("select ename || '|' || nvl(to_char(comm), 'null') from emp where empno = 7499"));
  EXPECT_EQ("ALLAN", Cell(RowOf(7499), "ENAME"));
  EXPECT_TRUE(reported.empty()) << reported.front();
}

TEST_F(OracleEditingTest, a_cell_edit_of_a_row_locked_elsewhere_shows_the_message_and_keeps_the_old_value) {
  Run(*other, "select * from emp where empno = 7566 for update nowait");
  hooks.reset();
  hooks = InstallQtUserInterface();  // errors in a real message box
  qt_test::AnsweredBox box;
  qt_test::AnswerNextBox("OK", box);
  const int jones = RowOf(7566);
  qt_test::TypeInto(view(), model->index(jones, Column("SAL")), "9999", Qt::Key_Return);
  EXPECT_TRUE(box.answered);
  EXPECT_EQ(dml_messages::RecordLocked, box.text.toStdString());
  EXPECT_EQ(dsBrowse, emp.State()) << "the failed edit is cancelled";
  EXPECT_EQ("2975", Cell(jones, "SAL"));
  EXPECT_EQ(2975, model->index(jones, Column("SAL")).data(Qt::EditRole).toInt());
  other->Rollback();
  EXPECT_EQ("2975", OtherSees("select sal from emp where empno = 7566"));

  // Once the lock is gone the same edit goes through.
  qt_test::TypeInto(view(), model->index(jones, Column("SAL")), "3000", Qt::Key_Return);
  EXPECT_EQ("3000", OtherSees("select sal from emp where empno = 7566"));
}

// Values that hold more than Qt's default editors for doubles and dates do.
class EditorPrecisionTest : public OracleEditingTest {
 protected:
  void OpenRows() override {
    Exec("create table measures (id number(4) primary key, amount number(12,4), big number(38), "
         "stamp timestamp(3), old date)");
    Exec("insert into measures values (1, 1234.5678, 12345678901234568, "
         "timestamp '2026-12-10 14:37:52.123', to_date('1650-02-03 04:05:06', 'YYYY-MM-DD HH24:MI:SS'))");
    session->Commit();
    emp.SetSQLText("select rowid, id, amount, big, stamp, old from measures");
    emp.Open();
    Watch();
    other = MakeSession();
    other->LogOn();
  }
  static constexpr const char* kRowAsText =
      "select to_char(amount) || '|' || to_char(big) || '|' || to_char(stamp, 'YYYY-MM-DD HH24:MI:SS.FF3') || '|' "
      "|| to_char(old, 'YYYY-MM-DD HH24:MI:SS') from measures";
  // Opens the view's editor on the cell and returns it (focused).
  QWidget* OpenEditor(const char* field) {
    view().activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowActive(&view()));
    QModelIndex cell = model->index(0, Column(field));
    view().setCurrentIndex(cell);
    view().edit(cell);
    return QApplication::focusWidget();
  }
  static void Press(QWidget* editor, Qt::Key key) {
    QTest::keyClick(editor, key);
    QCoreApplication::processEvents();
  }
};

TEST_F(EditorPrecisionTest, editors_opened_and_closed_unchanged_keep_every_digit_and_the_time) {
  const std::string stored = "1234.5678|12345678901234568|2026-12-10 14:37:52.123|1650-02-03 04:05:06";
  ASSERT_EQ(stored, OtherSees(kRowAsText));
  const std::map<std::string, QString> editor_texts = {{"AMOUNT", "1234.5678"}, {"BIG", "12345678901234568"}};
  for (const char* field : {"AMOUNT", "BIG", "STAMP", "OLD"}) {
    SCOPED_TRACE(field);
    QWidget* editor = OpenEditor(field);
    ASSERT_NE(nullptr, editor);
    if (auto text = editor_texts.find(field); text != editor_texts.end()) {
      auto* line = qobject_cast<QLineEdit*>(editor);
      EXPECT_NE(nullptr, line) << "numbers are edited as text";
      if (line) {
        EXPECT_EQ(text->second.toStdString(), line->text().toStdString());
      }
    }
    Press(editor, Qt::Key_Return);
    EXPECT_EQ(dsBrowse, emp.State());
  }
  EXPECT_EQ(stored, OtherSees(kRowAsText));
  EXPECT_TRUE(reported.empty()) << reported.front();
}

TEST_F(EditorPrecisionTest, changed_values_reach_the_database_with_every_digit) {
  qt_test::TypeInto(view(), model->index(0, Column("AMOUNT")), "98765432.1234", Qt::Key_Return);
  qt_test::TypeInto(view(), model->index(0, Column("BIG")), "12345678901234566", Qt::Key_Return);
  qt_test::TypeInto(view(), model->index(0, Column("OLD")), "4.2.1650 23:59:58", Qt::Key_Return);
  // The date-time editor steps its first section and keeps seconds and milliseconds.
  Press(OpenEditor("STAMP"), Qt::Key_Up);
  Press(QApplication::focusWidget(), Qt::Key_Return);

  const QStringList row = QString::fromStdString(OtherSees(kRowAsText)).split('|');
  ASSERT_EQ(4, row.size());
  EXPECT_EQ("98765432.1234", row[0].toStdString());
  EXPECT_EQ("12345678901234566", row[1].toStdString());
  EXPECT_NE("2026-12-10 14:37:52.123", row[2].toStdString());
  EXPECT_TRUE(row[2].endsWith("14:37:52.123")) << row[2].toStdString();
  EXPECT_EQ("1650-02-04 23:59:58", row[3].toStdString());
  EXPECT_EQ("98765432.1234", model->index(0, Column("AMOUNT")).data(Qt::EditRole).toString().toStdString());
  EXPECT_TRUE(reported.empty()) << reported.front();
}

}  // namespace
}  // namespace kvell
