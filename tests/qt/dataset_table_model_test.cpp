// The dataset table model over the in-memory dataset, under Qt's model
// tester: columns and cells, rows counted on demand, editing, inserting and
// deleting through the model, and the dataset's own changes as signals.
#include <gtest/gtest.h>

#include "tests/qt/model_fixture.h"

namespace kvell {
namespace {

using qt_test::ModelFixture;
using qt_test::UncountedDataSet;

// Every dataChanged signal covers one row only, the given one.
void ExpectOnlyRowChanged(const QSignalSpy& changed, int row) {
  ASSERT_FALSE(changed.isEmpty());
  for (const QList<QVariant>& signal : changed) {
    EXPECT_EQ(row, signal[0].toModelIndex().row());
    EXPECT_EQ(row, signal[1].toModelIndex().row());
  }
}

TEST(DataSetTableModelTest, columns_are_the_visible_fields_and_cells_their_display_texts) {
  ModelFixture f(5);
  f.ds->FieldByName("ID")->Visible = false;
  f.ds->FieldByName("SAL")->SetDisplayLabel("Salary");
  f.model->SetDataSource(f.source.get());
  ASSERT_EQ(3, f.model->columnCount());
  EXPECT_EQ("NAME", f.model->headerData(0, Qt::Horizontal).toString());
  EXPECT_EQ("Salary", f.model->headerData(1, Qt::Horizontal).toString());
  EXPECT_EQ(2, f.model->headerData(1, Qt::Vertical).toInt());

  f.ds->SetRecNo(2);
  f.ds->Edit();
  f.ds->FieldByName("SAL")->Clear();
  f.ds->FieldByName("NOTES")->SetAsString("long text");
  f.ds->Post();

  EXPECT_EQ(5, f.model->rowCount());
  EXPECT_EQ("N1", f.Display(0, 0));
  EXPECT_EQ("300", f.Display(2, 1));
  QVariant null_salary = f.model->data(f.model->index(1, 1));
  EXPECT_FALSE(null_salary.isValid()) << "a null is an empty cell, not " << null_salary.toString().toStdString();
  EXPECT_EQ("(MEMO)", f.Display(1, 2));
  EXPECT_FALSE(f.model->data(f.model->index(0, 2)).isValid()) << "an empty memo shows nothing";

  EXPECT_EQ(QMetaType::Double, f.model->data(f.model->index(2, 1), TDataSetTableModel::ValueRole).typeId());
  EXPECT_EQ(300.0, f.model->data(f.model->index(2, 1), TDataSetTableModel::ValueRole).toDouble());
  EXPECT_EQ("300", f.model->data(f.model->index(2, 1), Qt::EditRole).toString()) << "numbers are edited as text";
  EXPECT_EQ("long text", f.model->data(f.model->index(1, 2), Qt::EditRole).toString());
  auto alignment = [&](int column) {
    return f.model->data(f.model->index(0, column), Qt::TextAlignmentRole).value<Qt::Alignment>() & Qt::AlignHorizontal_Mask;
  };
  EXPECT_EQ(Qt::AlignRight, alignment(1));
  EXPECT_EQ(Qt::AlignLeft, alignment(0));
}

TEST(DataSetTableModelTest, reading_rows_neither_moves_the_dataset_nor_fires_its_events) {
  ModelFixture f(2000);
  f.ds->SetRecNo(10);
  int scrolls = 0;
  f.ds->AfterScroll = [&](TDataSet*) { ++scrolls; };
  QSignalSpy reset(f.model.get(), &QAbstractItemModel::modelReset);
  for (int row : {1999, 0, 1500, 700, 1999})
    EXPECT_EQ("N" + std::to_string(row + 1), f.Display(row, f.Column("NAME")).toStdString());
  EXPECT_EQ(10, f.ds->RecNo());
  EXPECT_EQ(0, scrolls);
  EXPECT_EQ(0, reset.count());
  f.ds->Next();  // and the dataset still navigates from where it was
  EXPECT_EQ(11, f.ds->FieldByName("ID")->AsInteger());
}

// The model rewrites its held texts in place as it reads other rows; a text
// a view still holds must keep its value.
TEST(DataSetTableModelTest, texts_handed_out_keep_their_value_while_other_rows_are_read) {
  ModelFixture f(2000);
  const int name = f.Column("NAME");
  const QString accented = QString::fromUtf8("Zo\u00eb \u00dcnal");
  f.ds->SetRecNo(3);
  f.ds->Edit();
  f.ds->FieldByName("NAME")->SetAsString(accented.toStdString());
  f.ds->Post();
  f.ds->SetRecNo(4);
  f.ds->Edit();
  f.ds->FieldByName("NAME")->Clear();
  f.ds->Post();
  const QVariant first = f.model->data(f.model->index(0, name));
  const QString held = f.Display(1, name);
  for (int row : {1999, 700, 1200, 0, 1999}) f.Display(row, name);
  EXPECT_EQ("N1", first.toString());
  EXPECT_EQ("N2", held);
  EXPECT_EQ(accented, f.Display(2, name));
  EXPECT_FALSE(f.model->data(f.model->index(3, name)).isValid()) << "a null is no text";
  EXPECT_EQ("N5", f.Display(4, name));
}

TEST(DataSetTableModelTest, rows_of_an_uncounted_dataset_arrive_through_fetch_more) {
  ModelFixture f(1000, std::make_unique<UncountedDataSet>(nullptr));
  EXPECT_LT(f.model->rowCount(), 1000);
  EXPECT_TRUE(f.model->canFetchMore());
  QSignalSpy inserted(f.model.get(), &QAbstractItemModel::rowsInserted);
  while (f.model->canFetchMore()) f.model->fetchMore();
  EXPECT_EQ(1000, f.model->rowCount());
  EXPECT_FALSE(inserted.isEmpty());
  EXPECT_EQ("N1000", f.Display(999, f.Column("NAME")));
  EXPECT_EQ("N4", f.Display(3, f.Column("NAME")));

  ModelFixture counted(5);  // a dataset that knows its count shows every row at once
  EXPECT_EQ(5, counted.model->rowCount());
  EXPECT_FALSE(counted.model->canFetchMore());
}

TEST(DataSetTableModelTest, set_data_edits_sets_and_posts_and_signals_one_row) {
  ModelFixture f(5);
  QSignalSpy changed(f.model.get(), &QAbstractItemModel::dataChanged);
  QSignalSpy reset(f.model.get(), &QAbstractItemModel::modelReset);
  const int name = f.Column("NAME");
  EXPECT_TRUE(f.model->setData(f.model->index(2, name), QString("Ana")));
  EXPECT_EQ(dsBrowse, f.ds->State());
  EXPECT_EQ(3, f.ds->RecNo());
  EXPECT_EQ("Ana", f.ds->FieldByName("NAME")->AsString());
  EXPECT_EQ("Ana", f.Display(2, name));
  ExpectOnlyRowChanged(changed, 2);
  EXPECT_EQ(0, reset.count());

  f.ds->FieldByName("SAL")->ReadOnly = true;
  EXPECT_FALSE(f.model->flags(f.model->index(0, f.Column("SAL"))) & Qt::ItemIsEditable);
  EXPECT_TRUE(f.model->flags(f.model->index(0, name)) & Qt::ItemIsEditable);
  EXPECT_FALSE(f.model->setData(f.model->index(0, f.Column("SAL")), 1.0));
  EXPECT_EQ(100.0, f.ds->Lookup("ID", 1, "SAL").AsDouble());
}

TEST(DataSetTableModelTest, a_refused_edit_is_reported_and_the_cell_keeps_its_old_value) {
  ModelFixture f(5);
  f.ds->FieldByName("NAME")->OnValidate = [](TField* field) {
    if (field->AsString() == "bad") throw EDatabaseError("ORA-00054: resource busy and acquire with NOWAIT specified");
  };
  const int name = f.Column("NAME");
  EXPECT_FALSE(f.model->setData(f.model->index(1, name), QString("bad")));
  EXPECT_EQ(std::vector<std::string>{"ORA-00054: resource busy and acquire with NOWAIT specified"}, f.reported);
  EXPECT_EQ(dsBrowse, f.ds->State());
  EXPECT_EQ("N2", f.Display(1, name));
  EXPECT_EQ("N2", f.ds->Lookup("ID", 2, "NAME").AsString());

  EXPECT_FALSE(f.model->setData(f.model->index(1, f.Column("ID")), QString("twelve")));
  EXPECT_EQ(2u, f.reported.size()) << "a value the field cannot take is reported too";
  EXPECT_EQ("2", f.Display(1, f.Column("ID")));
}

TEST(DataSetTableModelTest, insert_rows_and_remove_rows_go_through_insert_and_delete) {
  ModelFixture f(5);
  QSignalSpy reset(f.model.get(), &QAbstractItemModel::modelReset);
  const int name = f.Column("NAME");
  ASSERT_TRUE(f.model->insertRows(1, 1));
  EXPECT_EQ(dsInsert, f.ds->State());
  EXPECT_EQ(6, f.model->rowCount());
  EXPECT_TRUE(f.model->setData(f.model->index(1, f.Column("ID")), 99));
  EXPECT_TRUE(f.model->setData(f.model->index(1, name), QString("New")));
  EXPECT_EQ(dsInsert, f.ds->State()) << "the new record stays open until submitted";
  EXPECT_TRUE(f.model->submit());
  EXPECT_EQ(dsBrowse, f.ds->State());
  EXPECT_EQ((std::vector<int>{1, 99, 2, 3, 4, 5}), testing::ids_forward(*f.ds));
  EXPECT_EQ((std::vector<std::string>{"N1", "New", "N2", "N3", "N4", "N5"}), f.Names());

  ASSERT_TRUE(f.model->insertRows(6, 1));  // at the end: an append
  EXPECT_EQ(7, f.model->rowCount());
  f.model->revert();
  EXPECT_EQ(6, f.model->rowCount());

  ASSERT_TRUE(f.model->removeRows(0, 2));
  EXPECT_EQ((std::vector<int>{2, 3, 4, 5}), testing::ids_forward(*f.ds));
  EXPECT_EQ((std::vector<std::string>{"N2", "N3", "N4", "N5"}), f.Names());
  EXPECT_EQ(0, reset.count());
}

// A view submits as its current row changes, also onto a new record; and an
// edit elsewhere drops a blank new record before the rows below it move up.
TEST(DataSetTableModelTest, a_blank_new_record_is_not_submitted_and_gives_way_to_an_edit_below_it) {
  ModelFixture f(5);
  ASSERT_TRUE(f.model->insertRows(1, 1));
  EXPECT_TRUE(f.model->submit());
  EXPECT_EQ(dsInsert, f.ds->State()) << "nothing entered: nothing posted";
  EXPECT_EQ(6, f.model->rowCount());

  EXPECT_TRUE(f.model->setData(f.model->index(3, f.Column("NAME")), QString("Edited")));
  EXPECT_EQ(dsBrowse, f.ds->State());
  EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 5}), testing::ids_forward(*f.ds));
  EXPECT_EQ((std::vector<std::string>{"N1", "N2", "Edited", "N4", "N5"}), f.Names());
  EXPECT_TRUE(f.reported.empty());
}

TEST(DataSetTableModelTest, the_datasets_own_changes_become_the_narrowest_signals) {
  ModelFixture f(5);
  QSignalSpy changed(f.model.get(), &QAbstractItemModel::dataChanged);
  QSignalSpy removed(f.model.get(), &QAbstractItemModel::rowsRemoved);
  QSignalSpy inserted(f.model.get(), &QAbstractItemModel::rowsInserted);
  QSignalSpy reset(f.model.get(), &QAbstractItemModel::modelReset);

  f.ds->SetRecNo(4);
  f.ds->Edit();
  f.ds->FieldByName("NAME")->SetAsString("Edited");
  f.ds->Post();
  ExpectOnlyRowChanged(changed, 3);
  EXPECT_EQ("Edited", f.Display(3, f.Column("NAME")));

  f.ds->SetRecNo(2);
  f.ds->Delete();
  ASSERT_EQ(1, removed.count());
  EXPECT_EQ(1, removed[0][1].toInt());
  f.ds->Insert();
  f.ds->FieldByName("ID")->SetAsInteger(7);
  f.ds->FieldByName("NAME")->SetAsString("Inserted");
  f.ds->Post();
  EXPECT_EQ(1, inserted.count());
  EXPECT_EQ((std::vector<std::string>{"N1", "Inserted", "N3", "Edited", "N5"}), f.Names());
  EXPECT_EQ(0, reset.count());

  f.ds->Refresh();  // the same rows: values re-read, structure kept
  EXPECT_EQ(0, reset.count());
  EXPECT_EQ(5, f.model->rowCount());

  f.ds->OnFilterRecord = [](TDataSet* ds, bool& accept) { accept = ds->FieldByName("ID")->AsInteger() % 2 == 1; };
  f.ds->SetFiltered(true);
  EXPECT_EQ((std::vector<std::string>{"N1", "Inserted", "N3", "N5"}), f.Names());

  f.ds->Close();
  EXPECT_EQ(0, f.model->rowCount());
  EXPECT_EQ(0, f.model->columnCount());
  f.ds->Open();  // empty, as the in-memory dataset opens
  EXPECT_EQ(4, f.model->columnCount());
  f.ds->AppendRecord({1, "Again"});
  EXPECT_EQ((std::vector<std::string>{"Again"}), f.Names());
}

}  // namespace
}  // namespace kvell
