// TOracleDataSet: the new-record notification. A detail's new record needs
// its master's key and takes it; a sequence applied at amOnNewRecord and the
// dictionary's column defaults fill their fields; then OnNewRecord.
#include "oracle/dataset/dataset_dictionary.h"
#include "oracle/dataset/dataset_messages.h"
#include "oracle/dataset/dataset_writer.h"
#include "oracle/dataset/oracle_dataset.h"
#include "runtime/text_trim.h"

namespace kvell {
namespace {

bool holds_text(TFieldType type) {
  return type == ftString || type == ftFixedChar || type == ftWideString || type == ftMemo || type == ftFmtMemo;
}

}  // namespace

void TOracleDataSet::DoOnNewRecord() {
  // In query-by-example mode the one new record is the search form.
  if (QBEMode()) {
    if (store_ && store_->Count() > 0) DatabaseError(dataset_messages::NotInQBEMode);
    return;
  }
  check_master_fields();
  {
    const bool was_filling = filling_new_record_;
    filling_new_record_ = true;
    try {
      copy_master_values();
      if (SequenceField.ApplyMoment == amOnNewRecord) writer_->ApplySequence();
      dictionary_->ApplyDefaults();
    } catch (...) {
      filling_new_record_ = was_filling;
      throw;
    }
    filling_new_record_ = was_filling;
  }
  TDataSet::DoOnNewRecord();
}

void TOracleDataSet::check_master_fields() {
  if (!master_) return;
  for (const std::string& name : SplitFieldNames(MasterFields)) {
    TField* field = master_->FieldByName(name);
    if (!field->IsNull() && !(holds_text(field->DataType()) && IsBlank(field->AsString()))) continue;
    field->FocusControl();
    DatabaseErrorFmt(db_messages::FieldRequired, {field->DisplayName()});
  }
}

// The detail's own fields named as its variables (or as the master's fields)
// receive the master's values.
void TOracleDataSet::copy_master_values() {
  if (!master_) return;
  const std::vector<std::string> master_names = SplitFieldNames(MasterFields);
  const std::vector<std::string> detail_names = SplitFieldNames(DetailFields);
  for (size_t i = 0; i < master_names.size(); ++i) {
    const std::string& name = i < detail_names.size() ? detail_names[i] : master_names[i];
    if (TField* target = FindField(name)) target->SetAsVariant(master_->FieldByName(master_names[i])->AsVariant());
  }
}

}  // namespace kvell
