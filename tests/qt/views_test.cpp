// The model with Qt's own views, unchanged and offscreen: a QTableView edited
// through its delegate, a QSortFilterProxyModel, a QDataWidgetMapper.
#include <gtest/gtest.h>

#include <QDataWidgetMapper>
#include <QLineEdit>
#include <QSortFilterProxyModel>
#include <QTableView>
#include <QTest>

#include "tests/qt/model_fixture.h"

namespace kvell {
namespace {

using qt_test::ModelFixture;

TEST(DataSetViewsTest, a_table_view_edits_a_cell_through_its_delegate_into_the_dataset) {
  ModelFixture f(30);
  QTableView view;
  view.setModel(f.model.get());
  view.resize(400, 300);
  view.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  QModelIndex cell = f.model->index(4, f.Column("NAME"));
  view.setCurrentIndex(cell);
  view.edit(cell);
  auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
  ASSERT_NE(nullptr, editor);
  EXPECT_EQ("N5", editor->text());
  editor->selectAll();
  QTest::keyClicks(editor, "Zed");
  QTest::keyClick(editor, Qt::Key_Return);
  QCoreApplication::processEvents();  // the delegate commits through a queued call
  EXPECT_EQ(dsBrowse, f.ds->State());
  EXPECT_EQ("Zed", f.ds->Lookup("ID", 5, "NAME").AsString());
  EXPECT_EQ("Zed", f.Display(4, f.Column("NAME")));
}

TEST(DataSetViewsTest, a_sort_filter_proxy_sorts_and_filters_the_rows) {
  ModelFixture f(12);
  QSortFilterProxyModel proxy;
  proxy.setSourceModel(f.model.get());
  proxy.sort(f.Column("SAL"), Qt::DescendingOrder);
  proxy.setSortRole(TDataSetTableModel::ValueRole);  // numbers, not texts
  EXPECT_EQ("N12", proxy.index(0, f.Column("NAME")).data().toString());
  EXPECT_EQ("N1", proxy.index(11, f.Column("NAME")).data().toString());
  proxy.setFilterKeyColumn(f.Column("NAME"));
  proxy.setFilterFixedString("N1");
  EXPECT_EQ(4, proxy.rowCount());  // N1, N10, N11, N12

  f.ds->Last();
  f.ds->Edit();
  f.ds->FieldByName("NAME")->SetAsString("M12");
  f.ds->Post();
  EXPECT_EQ(3, proxy.rowCount()) << "the proxy follows a changed record";
}

TEST(DataSetViewsTest, a_data_widget_mapper_shows_and_submits_the_current_row) {
  ModelFixture f(5);
  QDataWidgetMapper mapper;
  mapper.setModel(f.model.get());
  mapper.setSubmitPolicy(QDataWidgetMapper::ManualSubmit);
  QLineEdit name;
  QLineEdit salary;
  mapper.addMapping(&name, f.Column("NAME"));
  mapper.addMapping(&salary, f.Column("SAL"));
  mapper.setCurrentIndex(2);
  EXPECT_EQ("N3", name.text());
  EXPECT_EQ("300", salary.text());
  name.setText("Mapped");
  salary.setText("1234.5");
  EXPECT_TRUE(mapper.submit());
  EXPECT_EQ("Mapped", f.ds->Lookup("ID", 3, "NAME").AsString());
  EXPECT_EQ(1234.5, f.ds->Lookup("ID", 3, "SAL").AsDouble());

  f.ds->SetRecNo(3);  // a change made elsewhere reaches the mapped widgets
  f.ds->Edit();
  f.ds->FieldByName("NAME")->SetAsString("Elsewhere");
  f.ds->Post();
  EXPECT_EQ("Elsewhere", name.text());
}

}  // namespace
}  // namespace kvell
