// TOracleDataSet: SearchRecord and the framework's Locate and Lookup on top
// of it. Candidates are compared in the filter state, reading native values
// straight from the stored records where the field allows it.
#include <algorithm>
#include <cstring>
#include <optional>

#include "oracle/dataset/dataset_messages.h"
#include "oracle/dataset/filter_scope.h"
#include "oracle/dataset/oracle_dataset.h"
#include "oracle/session/oracle_session.h"
#include "oracle/ui/ui_hooks.h"
#include "runtime/ansi_case.h"

namespace kvell {
namespace {

template <class T>
T read_native(const uint8_t* value) {
  T result;
  std::memcpy(&result, value, sizeof result);
  return result;
}

bool is_calculated(const TField* field) { return field && field->FieldNo() < 0; }

int value_count(const Variant& values) {
  return values.IsArray() ? values.ArrayHighBound() - values.ArrayLowBound() + 1 : 1;
}

const Variant& value_at(const Variant& values, int index) {
  return values.IsArray() ? values[values.ArrayLowBound() + index] : values;
}

// Whether a stored data slot can be read natively for a key of this class.
bool reads_natively(SearchClass search_class, TFieldType type) {
  switch (search_class) {
    case SearchClass::Integer: return type == ftInteger || type == ftSmallint;
    case SearchClass::Float: return type == ftFloat;
    case SearchClass::Date: return type == ftDateTime;
    case SearchClass::Text: return type == ftString || type == ftFixedChar;
  }
  return false;
}

}  // namespace

struct TOracleDataSet::SearchTerm {
  TSearchKey Key;
  TField* Field;  // nullptr: the rowid
  int Slot;       // data offset of a slot read natively, else -1
};

// ---- the public operations ----

bool TOracleDataSet::SearchRecord(const std::string& field_names, const Variant& values,
                                  TSearchRecordOptions options) {
  const int found = find_record(field_names, values, options);
  if (found < 0) return false;
  if (!(options & srDontMove)) go_to_record(found);
  return true;
}

bool TOracleDataSet::Locate(const std::string& key_fields, const Variant& key_values, TLocateOptions options) {
  TSearchRecordOptions search = srFromBeginning;
  if (options & loCaseInsensitive) search |= srIgnoreCase;
  if (options & loPartialKey) search |= srPartialMatch;
  return SearchRecord(key_fields, key_values, search);
}

Variant TOracleDataSet::Lookup(const std::string& key_fields, const Variant& key_values,
                               const std::string& result_fields) {
  const int found = find_record(key_fields, key_values, srFromBeginning | srDontMove);
  if (found < 0) return Null();
  uint8_t* record = VisibleRecord(found);
  const std::vector<TField*> results = GetFieldList(result_fields);
  FilterScope scope(*this, record);
  if (std::any_of(results.begin(), results.end(), is_calculated)) GetCalcFields(record);
  return FieldValues(result_fields);
}

// ---- the search ----

std::vector<TOracleDataSet::SearchTerm> TOracleDataSet::search_terms(const std::string& field_names,
                                                                     const Variant& values,
                                                                     TSearchRecordOptions options) {
  const std::vector<std::string> names = SplitFieldNames(field_names);
  std::vector<TField*> fields;
  for (const std::string& name : names) {
    if (!AnsiSameText(name, "ROWID")) {
      fields.push_back(FieldByName(name));
      continue;
    }
    if (rowid_column_ < 0) throw Exception(dataset_messages::RowIdNotSelected);
    fields.push_back(nullptr);
  }
  if (value_count(values) != static_cast<int>(fields.size()))
    throw Exception(Name() + dataset_messages::SearchValueCountMismatch);
  const bool trim = session_ && session_->Preferences().TrimStringFields;
  std::vector<SearchTerm> terms;
  for (size_t i = 0; i < fields.size(); ++i) {
    TField* field = fields[i];
    const SearchClass search_class = field ? SearchClassOf(field->DataType(), options) : SearchClass::Text;
    SearchTerm term{TSearchKey(search_class, value_at(values, static_cast<int>(i)), options, trim), field, -1};
    if (field && field->FieldNo() > 0 && !field->IsBlob() && reads_natively(search_class, field->DataType()))
      term.Slot = field_infos_[field->FieldNo()].DataOffset;
    terms.push_back(std::move(term));
  }
  return terms;
}

int TOracleDataSet::find_record(const std::string& field_names, const Variant& values,
                                TSearchRecordOptions options) {
  CheckActive();
  CheckBrowseMode();
  if (!SearchOptionsValid(options)) throw Exception(Name() + dataset_messages::SearchOptionsInvalid);
  const std::vector<SearchTerm> terms = search_terms(field_names, values, options);
  const bool calculate =
      std::any_of(terms.begin(), terms.end(), [](const SearchTerm& term) { return is_calculated(term.Field); });
  WaitCursor busy(Cursor());
  int number = search_start(options);
  const int step = SearchesBackward(options) ? -1 : 1;
  const int first = UseFilteredList() ? store_->FilteredOffset() : store_->Offset();
  std::optional<FilterScope> scope;
  for (;;) {
    number += step;
    if (number < first) return -1;
    if (number >= VisibleCount()) {
      if (step < 0) return -1;
      scope.reset();  // AfterFetchRecord reads the fetched record, not the last candidate
      FetchRecord();
      if (number >= VisibleCount()) return -1;
    }
    if (!scope) scope.emplace(*this, nullptr);
    if (search_matches(VisibleRecord(number), terms, calculate)) return number;
  }
}

// The record number the search steps away from.
int TOracleDataSet::search_start(TSearchRecordOptions options) {
  if (options & srFromBeginning) return -1;
  if (options & srFromEnd) {
    fetch_all_under_wait_cursor();
    return VisibleCount();
  }
  if (IsEmpty()) return -1;
  UpdateCursorPos();
  return current_;
}

bool TOracleDataSet::search_matches(uint8_t* record, const std::vector<SearchTerm>& terms, bool calculate) {
  filter_record_ = record;
  if (calculate) GetCalcFields(record);
  return std::all_of(terms.begin(), terms.end(),
                     [this, record](const SearchTerm& term) { return term_matches(record, term); });
}

bool TOracleDataSet::term_matches(const uint8_t* record, const SearchTerm& term) const {
  const TSearchKey& key = term.Key;
  if (!term.Field) {
    const std::string_view rowid = RecordRowId(record);
    return rowid.empty() ? key.MatchesNull() : key.MatchesText(rowid);
  }
  if (term.Slot >= 0) {
    const uint8_t* slot = DataArea(record) + term.Slot;
    if (slot[0] != 0) return key.MatchesNull();
    const uint8_t* value = slot + 1;
    switch (term.Field->DataType()) {
      case ftSmallint: return key.MatchesInteger(read_native<int16_t>(value));
      case ftInteger: return key.MatchesInteger(read_native<int32_t>(value));
      case ftFloat: return key.MatchesFloat(read_native<double>(value));
      case ftDateTime: return key.MatchesNativeDate(read_native<double>(value));
      default: return key.MatchesText(reinterpret_cast<const char*>(value));
    }
  }
  const TField& field = *term.Field;
  if (field.IsNull()) return key.MatchesNull();
  switch (key.Class()) {
    case SearchClass::Integer: return key.MatchesInteger(field.AsLargeInt());
    case SearchClass::Float: return key.MatchesFloat(field.AsFloat());
    case SearchClass::Date: return key.MatchesDate(field.AsDateTime());
    case SearchClass::Text: return key.MatchesText(field.AsString());
  }
  return false;
}

void TOracleDataSet::go_to_record(int number) {
  DoBeforeScroll();
  current_ = number;
  Resync(rmExact | rmCenter);
  DoAfterScroll();
}

}  // namespace kvell
