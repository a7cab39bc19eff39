// TDataSetQBE: a TOracleDataSet's query-by-example mode - entering it (the
// refusals, the search record, field properties and handlers remembered and
// replaced, controls coloured), cancelling it, storing the example values,
// and adding their conditions to the SQL and taking them out again.
// It is part of the dataset and reads its fields and state directly.
// Thread-safe: no; as its dataset.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "db/data_aware_control.h"
#include "db/field.h"

namespace kvell {

class TOracleDataSet;
class TQBEField;

namespace qbe_messages {
inline constexpr const char* NotForCursors = "QBE mode not supported for cursors";
inline constexpr const char* PendingUpdates = "QBE mode not allowed with pending updates";
inline constexpr const char* NoMasterRecord = "QBE mode not allowed without a master record";
inline constexpr const char* Detached = "QBE mode not allowed for a detached dataset";
}  // namespace qbe_messages

class TDataSetQBE {
 public:
  explicit TDataSetQBE(TOracleDataSet& dataset) : dataset_(dataset) {}
  TDataSetQBE(const TDataSetQBE&) = delete;
  TDataSetQBE& operator=(const TDataSetQBE&) = delete;

  void Enter();
  // OnCancelQBE, then out of the mode; re-executes unless the handler said no.
  void Cancel(bool remove_clause);
  // Leaves the mode without re-executing.
  void Leave(bool remove_clause);
  void StoreValues();
  void BuildWhereClause();
  void RemoveWhereClause();
  // Before the dataset closes: fields and controls as they were, the SQL without conditions.
  void Closing();
  // The search record is in place with its examples: the mode is entered,
  // not being entered or left, and the record not cancelled.
  bool HoldsExamples() const;

 private:
  // A field's properties and handlers from before the mode.
  struct SavedField {
    TField* Field;
    bool ReadOnly;
    bool Required;
    std::string ValidChars;
    int DisplayWidth;
    std::function<void(TField*, std::string&, bool)> OnGetText;
    std::function<void(TField*, const std::string&)> OnSetText;
    std::function<void(TField*)> OnChange;
  };
  struct ColouredControl {
    TDataAwareControl* Control;
    int MaxLength;
  };

  void refuse_to_enter() const;
  void prepare_fields();
  void install_handlers(TField* field, TQBEField* entry);
  void restore_fields();
  void restore_values();
  void colour_controls();
  void restore_controls();
  std::string column_of(const TField* field) const;
  std::string example_text(TField* field, const TQBEField& entry) const;

  TOracleDataSet& dataset_;
  std::vector<SavedField> saved_fields_;
  std::vector<ColouredControl> coloured_;
  std::string saved_sql_;      // the SQL before its conditions were added
  bool setting_text_ = false;  // a field change comes from the set-text handler
  bool entered_ = false;       // entering has finished and leaving not begun
};

}  // namespace kvell
