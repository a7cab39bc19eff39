// Datasets on ociemu: a logged-on session on a fresh database per test
// (through either client interface), datasets over SQL on it, and a dataset
// class that opens the store and the filter list to the tests.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "oracle/dataset/oracle_dataset.h"
#include "tests/session/session_fixture.h"

namespace kvell::testing {

// Reaches the dataset's protected state, as the later dataset parts do.
class InspectableDataSet : public TOracleDataSet {
 public:
  using TOracleDataSet::TOracleDataSet;
  ~InspectableDataSet() override { BeforeDestruction(); }
  using TOracleDataSet::FieldInfos;
  using TOracleDataSet::RecordStore;
  using TOracleDataSet::RowIdColumn;
  using TOracleDataSet::VisibleCount;
  int HeldRecords() const { return RecordStore() ? RecordStore()->Count() : -1; }
  // Removes the stored record of the current row, as the write-back's delete will.
  void DeleteStoredCurrent();
};

class DataSetTest : public SessionInterfaceTest {
 protected:
  void SetUp() override;
  void TearDown() override;

  // A closed dataset over `sql` on the test session.
  std::unique_ptr<InspectableDataSet> MakeDataSet(const std::string& sql);
  // An open one.
  std::unique_ptr<InspectableDataSet> OpenDataSet(const std::string& sql);
  void Exec(const std::string& sql) { Run(*session, sql); }
  // The field's value as text (DisplayText-free, AsString) for every record, forwards.
  static std::vector<std::string> Column(TDataSet& dataset, const std::string& field);
  bool OCI7() const { return GetParam() == Interface::ForceOCI7; }

  std::unique_ptr<TOracleSession> session;
};

// A dataset test with a second session logged on, for what other users see and hold.
class TwoSessionDataSetTest : public DataSetTest {
 protected:
  void SetUp() override;
  void TearDown() override;
  std::string OtherSees(const std::string& sql) { return QueryValue(*other, sql); }

  std::unique_ptr<TOracleSession> other;
};

// The same tests through OCI8 and the version 7 interface.
#define KVELL_DATASET_INTERFACES(suite)                                                        \
  INSTANTIATE_TEST_SUITE_P(Interfaces, suite, ::testing::Values(Interface::OCI8, Interface::ForceOCI7), \
                           InterfaceName)

}  // namespace kvell::testing
