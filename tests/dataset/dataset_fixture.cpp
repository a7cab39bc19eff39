#include "tests/dataset/dataset_fixture.h"

#include <cstring>

namespace kvell::testing {

void InspectableDataSet::DeleteStoredCurrent() {
  TBookmark bookmark = GetBookmark();
  int32_t id;
  std::memcpy(&id, bookmark.data(), sizeof id);
  RecordStore()->Delete(RecordStore()->NumberOfId(id));
}

void DataSetTest::SetUp() {
  SessionInterfaceTest::SetUp();
  session = MakeSession();
  session->LogOn();
}

void DataSetTest::TearDown() {
  session.reset();
  SessionInterfaceTest::TearDown();
}

void TwoSessionDataSetTest::SetUp() {
  DataSetTest::SetUp();
  other = MakeSession();
  other->LogOn();
}

void TwoSessionDataSetTest::TearDown() {
  other.reset();
  DataSetTest::TearDown();
}

std::unique_ptr<InspectableDataSet> DataSetTest::MakeDataSet(const std::string& sql) {
  auto dataset = std::make_unique<InspectableDataSet>();
  dataset->SetName("TestData");
  dataset->SetSession(session.get());
  dataset->SetSQLText(sql);
  return dataset;
}

std::unique_ptr<InspectableDataSet> DataSetTest::OpenDataSet(const std::string& sql) {
  auto dataset = MakeDataSet(sql);
  dataset->Open();
  return dataset;
}

std::vector<std::string> DataSetTest::Column(TDataSet& dataset, const std::string& field) {
  std::vector<std::string> values;
  for (dataset.First(); !dataset.Eof(); dataset.Next()) values.push_back(dataset.FieldByName(field)->AsString());
  return values;
}

}  // namespace kvell::testing
