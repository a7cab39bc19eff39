// Shared set-up for the framework tests: a memory dataset with an integer
// key, a name, a salary and a memo, and a recorder of event names.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "db/data_source.h"
#include "db/memory_dataset.h"

namespace kvell::testing {

// Open, with ID 1..count, NAME "N<id>", SAL id * 100.
inline std::unique_ptr<TMemoryDataSet> make_people(int count) {
  auto ds = std::make_unique<TMemoryDataSet>(nullptr);
  ds->SetName("People");
  ds->FieldDefs().Add("ID", ftInteger);
  ds->FieldDefs().Add("NAME", ftString, 20);
  ds->FieldDefs().Add("SAL", ftFloat);
  ds->FieldDefs().Add("NOTES", ftMemo);
  ds->Open();
  for (int i = 1; i <= count; ++i)
    ds->AppendRecord({i, "N" + std::to_string(i), i * 100.0});
  ds->First();
  return ds;
}

inline std::vector<int> ids_forward(TDataSet& ds) {
  std::vector<int> ids;
  for (ds.First(); !ds.Eof(); ds.Next()) ids.push_back(ds.FieldByName("ID")->AsInteger());
  return ids;
}

// A link that records what it is told, with a window of buffer_count rows.
class RecordingLink : public TDataLink {
 public:
  explicit RecordingLink(int buffer_count = 1) { SetBufferCount(buffer_count); }
  std::vector<std::string> log;

 protected:
  void ActiveChanged() override { log.push_back(Active() ? "active" : "inactive"); }
  void DataSetChanged() override { log.push_back("changed"); }
  void DataSetScrolled(int distance) override { log.push_back("scrolled " + std::to_string(distance)); }
  void EditingChanged() override { log.push_back(Editing() ? "editing" : "not editing"); }
  void RecordChanged(TField* field) override {
    log.push_back("record " + (field ? field->FieldName() : std::string("-")));
  }
  void UpdateData() override { log.push_back("update data"); }
  void CheckBrowseMode() override { log.push_back("check browse"); }
};

}  // namespace kvell::testing
