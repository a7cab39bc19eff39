// TDataSetDictionary: what a TOracleDataSet does with the data dictionary -
// its updating table's cached entry, key columns, client-side constraint
// checks per field and per record, column defaults for new records, field
// settings from column sizes, and the translation of error messages through
// the session's message table and OnTranslateMessage.
// It is part of the dataset: it reads the dataset's fields and records
// directly, and the dataset's framework steps call it.
// Thread-safe: no; as its dataset.
#pragma once

#include <string>
#include <vector>

#include "oracle/dataset/table_info.h"

namespace kvell {

class TField;
class TOracleDataSet;
class TOracleQuery;
class StatementBinds;

class TDataSetDictionary {
 public:
  explicit TDataSetDictionary(TOracleDataSet& dataset) : dataset_(dataset) {}
  TDataSetDictionary(const TDataSetDictionary&) = delete;
  TDataSetDictionary& operator=(const TDataSetDictionary&) = delete;

  // The session's entry for the updating table ("Session undefined" without a session).
  TOracleTableInfo& TableInfo();
  // The first primary or unique key's columns; empty when there is none, or
  // when `require_fields` and one of them is not a field.
  std::vector<std::string> KeyColumns(bool require_fields);
  // The single constraint column that is an updatable data field, "*" for
  // several, empty for none.
  std::string FieldOfConstraint(const TOracleConstraintInfo& constraint) const;

  // Checks the constraints of the one field that just received a value.
  void CheckField(TField* field);
  // Checks the multi-field constraints of the record being posted.
  void CheckRecord();
  // Fills the new record's fields named as columns with a default.
  void ApplyDefaults();
  // Field kinds, sizes, ranges and formats from the dictionary.
  void ApplyFieldSettings();
  // The message an error of action `action` is raised with.
  std::string TranslateMessage(char action, int code, const std::string& text);

 private:
  bool enforcing() const;
  bool existing_row() const;
  bool is_link_or_sequence_field(const TField* field) const;
  // The violation code of the record's values, 0 when none.
  int check_constraint(TOracleConstraintInfo& constraint);
  int check_key(const TOracleConstraintInfo& constraint);
  int check_foreign_key(const TOracleConstraintInfo& constraint);
  int check_condition(const TOracleConstraintInfo& constraint);
  void check_and_raise(TOracleConstraintInfo& constraint);
  [[noreturn]] void raise_violation(const TOracleConstraintInfo& constraint, int code);
  bool record_check_applies(const TOracleConstraintInfo& constraint) const;
  void evaluate_defaults(TOracleTableInfo& info);
  void apply_table_settings(TOracleTableInfo& info);
  bool returns_row(const std::string& text, const StatementBinds& binds);
  void bind_rowid(StatementBinds& binds) const;
  std::string lookup_message(char action, int code, const std::string& constraint);

  TOracleDataSet& dataset_;
};

}  // namespace kvell
