// TOracleDataSet::FilterScope: the filter state on one stored record, for
// the filter itself and for searches; private to the dataset's own files.
// Thread-safe: no; a dataset is used from one thread.
#pragma once

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

}  // namespace kvell
