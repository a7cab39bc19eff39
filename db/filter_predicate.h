// The compiled form of a dataset's filter text. The framework knows no
// expression language; an engine installs a compiler that turns the text
// into a predicate which reads the record being filtered through the
// dataset's fields (the dataset is in the filter state while it runs).
// Thread-safe: no.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "db/db_types.h"

namespace kvell {

class TDataSet;

class TFilterPredicate {
 public:
  virtual ~TFilterPredicate() = default;
  // Whether the record being filtered passes.
  virtual bool Accepts() = 0;
};

// Parses text for dataset; raises the engine's error for an invalid text.
using TFilterCompiler =
    std::function<std::unique_ptr<TFilterPredicate>(TDataSet& dataset, const std::string& text,
                                                    TFilterOptions options)>;

}  // namespace kvell
