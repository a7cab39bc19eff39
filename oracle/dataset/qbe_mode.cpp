// TDataSetQBE: entering, cancelling and leaving query-by-example mode, the
// field handlers of the mode, the coloured controls, and the where clause.
#include "oracle/dataset/qbe_mode.h"

#include "db/data_source.h"
#include "oracle/dataset/oracle_dataset.h"
#include "oracle/dataset/qbe_condition.h"
#include "oracle/dataset/qbe_where.h"
#include "oracle/ui/ui_hooks.h"
#include "runtime/text_trim.h"

namespace kvell {
namespace {

// Positioning, the search record and the saved values are a convenience of
// the mode; a failure there must not keep the user out of it.
template <typename Action>
void ignoring_errors(Action action) {
  try {
    action();
  } catch (const Exception&) {
  }
}

std::string trimmed(std::string_view text) {
  size_t start = 0;
  while (start < text.size() && IsBlankChar(text[start])) ++start;
  return std::string(TrimRight(text.substr(start)));
}

}  // namespace

// ---- entering ----

void TDataSetQBE::refuse_to_enter() const {
  if (dataset_.FetchesFromCursor()) throw Exception(qbe_messages::NotForCursors);
  if (dataset_.UpdatesPending() || (dataset_.CachedUpdates() && IsEditState(dataset_.State())))
    throw Exception(qbe_messages::PendingUpdates);
  TOracleDataSet* master = dataset_.Master();
  if (master && (!master->Active() || master->IsEmpty() || master->QBEMode()))
    throw Exception(qbe_messages::NoMasterRecord);
  if (dataset_.Detached()) throw Exception(qbe_messages::Detached);
}

void TDataSetQBE::Enter() {
  refuse_to_enter();
  dataset_.CheckBrowseMode();
  dataset_.qbe_mode_ = true;
  dataset_.ReleaseRecords();
  dataset_.fetch_exhausted_ = true;
  ignoring_errors([&] {
    dataset_.First();
    dataset_.Resync(0);
  });
  if (!dataset_.HasState(csDesigning)) prepare_fields();
  ignoring_errors([&] { dataset_.Insert(); });
  if (dataset_.QBEDefinition.SaveQBEValues) restore_values();
  entered_ = true;
  if (dataset_.BeforeQBE) dataset_.BeforeQBE(&dataset_);
  colour_controls();
}

void TDataSetQBE::prepare_fields() {
  saved_fields_.clear();
  TQBEDefinition& definition = dataset_.QBEDefinition;
  for (TField* field : dataset_.Fields()) {
    TQBEField* entry = definition.Find(field->FieldName());
    saved_fields_.push_back({field, field->ReadOnly, field->Required, field->ValidChars, field->DisplayWidth(),
                             field->OnGetText, field->OnSetText, field->OnChange});
    if (!entry || !entry->Enabled()) field->ReadOnly = true;
    field->Required = false;
    install_handlers(field, entry);
    // The typed text is kept beside the field, so it is not held to the field's size.
    if (definition.AllowOperators && field->DataType() == ftString) {
      field->SetDisplayWidth(field->DisplayWidth() > 0 ? field->DisplayWidth() : field->Size());
      field->ValidChars.clear();
    }
  }
}

void TDataSetQBE::install_handlers(TField* field, TQBEField* entry) {
  const bool operators = dataset_.QBEDefinition.AllowOperators;
  field->OnGetText = [entry, operators](TField* sender, std::string& text, bool display_text) {
    text = operators && entry ? entry->EnteredText : sender->OwnText(display_text);
  };
  field->OnSetText = [this, entry, operators](TField* sender, const std::string& text) {
    if (operators && entry) {
      entry->EnteredText = text;
      return;
    }
    setting_text_ = true;
    try {
      sender->SetAsString(text);
    } catch (...) {
      setting_text_ = false;
      throw;
    }
    setting_text_ = false;
  };
  field->OnChange = [this, entry](TField* sender) {
    if (entry && !setting_text_) entry->EnteredText = sender->OwnText(false);
  };
}

void TDataSetQBE::restore_values() {
  const bool operators = dataset_.QBEDefinition.AllowOperators;
  for (TField* field : dataset_.Fields()) {
    TQBEField* entry = dataset_.QBEDefinition.Find(field->FieldName());
    if (!entry || entry->SavedValue.IsEmpty() || field->IsBlob()) continue;
    const std::string text = entry->SavedValue.AsString();
    if (operators) {
      entry->EnteredText = text;
    } else {
      ignoring_errors([&] { field->SetText(text); });
    }
  }
}

void TDataSetQBE::colour_controls() {
  coloured_.clear();
  const TQBEDefinition& definition = dataset_.QBEDefinition;
  const bool font = definition.QBEFontColor != TQBEDefinition::kDefaultColor;
  const bool background = definition.QBEBackgroundColor != TQBEDefinition::kDefaultColor;
  if (dataset_.HasState(csDesigning) || (!font && !background)) return;
  for (int i = 0; i < ApplicationComponentCount(); ++i) {
    auto* control = dynamic_cast<TDataAwareControl*>(ApplicationComponent(i));
    if (!control || !control->DataSource() || control->DataSource()->DataSet() != &dataset_) continue;
    coloured_.push_back({control, control->MaxLength()});
    if (font) control->SetFontColor(definition.QBEFontColor);
    if (background) control->SetBackgroundColor(definition.QBEBackgroundColor);
    if (definition.AllowOperators) control->SetMaxLength(0);
  }
}

bool TDataSetQBE::HoldsExamples() const { return entered_ && dataset_.State() == dsInsert; }

// ---- leaving ----

void TDataSetQBE::Cancel(bool remove_clause) {
  bool requery = true;
  if (dataset_.OnCancelQBE) dataset_.OnCancelQBE(&dataset_, requery);
  Leave(remove_clause);
  if (requery) dataset_.Refresh();
}

void TDataSetQBE::Leave(bool remove_clause) {
  entered_ = false;
  restore_fields();
  ignoring_errors([&] {
    if (dataset_.State() == dsInsert) dataset_.Cancel();
  });
  dataset_.qbe_mode_ = false;
  if (remove_clause) RemoveWhereClause();
  restore_controls();
  dataset_.DataEvent(deDataSetChange, 0);
}

void TDataSetQBE::Closing() {
  entered_ = false;
  restore_fields();
  restore_controls();
  RemoveWhereClause();
}

void TDataSetQBE::restore_fields() {
  for (SavedField& saved : saved_fields_) {
    TField* field = saved.Field;
    field->ReadOnly = saved.ReadOnly;
    field->Required = saved.Required;
    field->ValidChars = saved.ValidChars;
    field->SetDisplayWidth(saved.DisplayWidth);
    field->OnGetText = std::move(saved.OnGetText);
    field->OnSetText = std::move(saved.OnSetText);
    field->OnChange = std::move(saved.OnChange);
  }
  saved_fields_.clear();
}

void TDataSetQBE::restore_controls() {
  for (const ColouredControl& coloured : coloured_) {
    coloured.Control->SetFontColor(clWindowText);
    coloured.Control->SetBackgroundColor(clWindow);
    coloured.Control->SetMaxLength(coloured.MaxLength);
  }
  coloured_.clear();
}

// ---- example values and the where clause ----

std::string TDataSetQBE::example_text(TField* field, const TQBEField& entry) const {
  if (dataset_.QBEDefinition.AllowOperators) return entry.EnteredText;
  return field->OwnText(false);
}

void TDataSetQBE::StoreValues() {
  for (TField* field : dataset_.Fields()) {
    TQBEField* entry = dataset_.QBEDefinition.Find(field->FieldName());
    if (!entry || field->IsBlob()) continue;
    const std::string text = example_text(field, *entry);
    entry->SavedValue = text.empty() ? Variant() : Variant(text);
  }
}

std::string TDataSetQBE::column_of(const TField* field) const {
  if (field->FieldNo() > 0 && field->FieldNo() < dataset_.field_infos_.Count() &&
      dataset_.field_infos_[field->FieldNo()].Kind == fiAttribute)
    return dataset_.GetSelectTableName() + "." + field->FieldName();
  if (!IsBlank(field->Origin)) return std::string(TrimRight(field->Origin));
  return trimmed(field->FieldName());
}

void TDataSetQBE::BuildWhereClause() {
  RemoveWhereClause();
  const std::string sql = dataset_.SQL().Text();
  const TQBEDefinition& definition = dataset_.QBEDefinition;
  std::vector<std::string> conditions;
  for (TField* field : dataset_.Fields()) {
    TQBEField* entry = dataset_.QBEDefinition.Find(field->FieldName());
    if (!entry || !entry->Enabled()) continue;
    const std::string value = definition.AllowOperators ? entry->EnteredText
                              : entry->SavedValue.IsEmpty() ? std::string()
                                                            : entry->SavedValue.AsString();
    if (value.empty()) continue;
    QBEValueOptions options;
    options.AllowOperators = definition.AllowOperators;
    options.AllowFileWildCards = definition.AllowFileWildCards;
    options.PartialMatch = entry->PartialMatch;
    options.MatchAnywhere = entry->MatchAnywhere;
    options.SoundsLike = entry->SoundsLike;
    options.CaseInsensitive = entry->CaseInsensitive;
    options.DateWithoutTime = entry->DateWithoutTime;
    const std::string condition = QBECondition(column_of(field), value, field->DataType(), options);
    if (!condition.empty()) conditions.push_back(condition);
  }
  if (conditions.empty()) return;
  saved_sql_ = sql;
  TStringList lines;
  lines.SetText(AddQBEConditions(sql, conditions));
  dataset_.main_query_->SetSQL(lines);
}

void TDataSetQBE::RemoveWhereClause() {
  TOracleQuery& query = *dataset_.main_query_;
  for (int i = query.VariableCount() - 1; i >= 0; --i) {
    const std::string name = query.VariableName(i);
    std::string_view bare(name);
    if (!bare.empty() && bare[0] == ':') bare.remove_prefix(1);
    if (bare.substr(0, 8) == "KVELL__Q") query.DeleteVariable(name);
  }
  if (!IsModifiedForQBE(query.SQL().Text())) return;
  TStringList lines;
  lines.SetText(saved_sql_);
  query.SetSQL(lines);
}

}  // namespace kvell
