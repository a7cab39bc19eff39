// A dataset table model over the framework's in-memory dataset of people
// (ID, NAME, SAL, NOTES), watched by Qt's own model tester in fatal mode.
#pragma once

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <memory>
#include <string>
#include <vector>

#include "qt/dataset_table_model.h"
#include "qt/qt_user_interface.h"
#include "tests/db/test_dataset.h"
#include "tests/qt/qt_test_support.h"

namespace kvell::qt_test {

// The in-memory dataset with its record count unknown, as a dataset that
// fetches rows on demand reports it.
class UncountedDataSet : public TMemoryDataSet {
 public:
  using TMemoryDataSet::TMemoryDataSet;
  ~UncountedDataSet() override { BeforeDestruction(); }
  int RecordCount() override { return -1; }
};

struct ModelFixture {
  explicit ModelFixture(int rows = 5, std::unique_ptr<TMemoryDataSet> dataset = nullptr);
  ~ModelFixture();

  QString Display(int row, int column) const;
  std::vector<std::string> Names() const;  // the NAME column as shown
  int Column(const char* field_name) const;

  std::unique_ptr<TMemoryDataSet> ds;
  std::unique_ptr<TDataSource> source = std::make_unique<TDataSource>(nullptr);
  std::unique_ptr<TDataSetTableModel> model;
  std::unique_ptr<QAbstractItemModelTester> tester;
  std::vector<std::string> reported;  // errors shown through the hooks
  std::unique_ptr<ScopedUserInterface> hooks;
};

// The people dataset, unopened records appended to an already built one.
void AddPeople(TMemoryDataSet& dataset, int count);

}  // namespace kvell::qt_test
