// TOracleDataSet: client-side filtering with OnFilterRecord and filter texts
// parsed into expression trees whose column nodes read this dataset.
#include "oracle/dataset/oracle_dataset.h"

namespace kvell {

// Puts the dataset in the filter state on one stored record for as long as
// it lives, so that fields (and the filter's column nodes) read that record.
class TOracleDataSet::FilterScope {
 public:
  FilterScope(TOracleDataSet& dataset, uint8_t* record)
      : dataset_(dataset), saved_state_(dataset.SetTempState(dsFilter)), saved_record_(dataset.filter_record_) {
    dataset_.filter_record_ = record;
  }
  ~FilterScope() {
    dataset_.filter_record_ = saved_record_;
    dataset_.RestoreState(saved_state_);
  }
  FilterScope(const FilterScope&) = delete;
  FilterScope& operator=(const FilterScope&) = delete;

 private:
  TOracleDataSet& dataset_;
  TDataSetState saved_state_;
  uint8_t* saved_record_;
};

bool TOracleDataSet::RecordPassesFilter(uint8_t* record) {
  FilterScope scope(*this, record);
  return EvaluateFilter();
}

bool TOracleDataSet::EvaluateFilter() {
  bool accept = true;
  if (OnFilterRecord) OnFilterRecord(this, accept);
  if (!accept) return false;
  return !filter_expression_ || filter_expression_->AsBoolean();
}

void TOracleDataSet::RebuildFilteredList() {
  if (!store_) return;
  store_->ClearFiltered();
  if (Filtered()) {
    for (int number = store_->Offset(); number < store_->RecordLimit(); ++number) {
      uint8_t* record = store_->Record(number);
      if (RecordPassesFilter(record)) store_->AddFiltered(record);
    }
  }
  First();
}

void TOracleDataSet::SetFilterText(const std::string& text) {
  TDataSet::SetFilterText(text);
  filter_expression_.reset();
  if (!Active()) return;
  parse_filter();
  if (Filtered()) RebuildFilteredList();
}

void TOracleDataSet::SetFilterOptions(TFilterOptions options) {
  TDataSet::SetFilterOptions(options);
  SetFilterText(Filter());
}

void TOracleDataSet::SetFiltered(bool value) {
  if (Active()) CheckBrowseMode();
  TDataSet::SetFiltered(value);
  if (Active()) RebuildFilteredList();
}

}  // namespace kvell
