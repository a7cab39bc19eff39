#include "tests/qt/model_fixture.h"

namespace kvell::qt_test {

void AddPeople(TMemoryDataSet& dataset, int count) {
  dataset.SetName("People");
  dataset.FieldDefs().Add("ID", ftInteger);
  dataset.FieldDefs().Add("NAME", ftString, 20);
  dataset.FieldDefs().Add("SAL", ftFloat);
  dataset.FieldDefs().Add("NOTES", ftMemo);
  dataset.Open();
  for (int i = 1; i <= count; ++i) dataset.AppendRecord({i, "N" + std::to_string(i), i * 100.0});
  dataset.First();
}

ModelFixture::ModelFixture(int rows, std::unique_ptr<TMemoryDataSet> dataset) {
  EnsureApplication();
  hooks = InstallQtUserInterface([this](const std::exception& error) { reported.emplace_back(error.what()); });
  if (dataset) {
    ds = std::move(dataset);
    AddPeople(*ds, rows);
  } else {
    ds = testing::make_people(rows);
  }
  source->SetDataSet(ds.get());
  model = std::make_unique<TDataSetTableModel>(source.get());
  tester = std::make_unique<QAbstractItemModelTester>(model.get(), QAbstractItemModelTester::FailureReportingMode::Fatal);
}

ModelFixture::~ModelFixture() {
  tester.reset();
  model.reset();
}

QString ModelFixture::Display(int row, int column) const {
  return model->data(model->index(row, column), Qt::DisplayRole).toString();
}

int ModelFixture::Column(const char* field_name) const {
  for (int column = 0; column < model->columnCount(); ++column)
    if (model->Field(column)->FieldName() == field_name) return column;
  return -1;
}

std::vector<std::string> ModelFixture::Names() const {
  std::vector<std::string> names;
  for (int row = 0; row < model->rowCount(); ++row) names.push_back(Display(row, Column("NAME")).toStdString());
  return names;
}

}  // namespace kvell::qt_test
