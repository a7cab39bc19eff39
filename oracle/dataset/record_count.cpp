// TOracleDataSet: the record count (visible records, or the server's count
// of the query's rows taken once per execution and kept current from the
// inserts and deletes since) and reading and setting the record number.
#include "oracle/dataset/dataset_messages.h"
#include "oracle/dataset/oracle_dataset.h"
#include "oracle/dataset/qbe_mode.h"
#include "oracle/dataset/query_text_split.h"
#include "oracle/dataset/record_count.h"
#include "oracle/session/sql_scan.h"

namespace kvell {

std::string RecordCountQueryText(std::string_view sql) {
  const QueryTextParts parts = SplitQueryText(sql);
  std::string text = "select count(*) from (\r\n" + parts.Select + "\r\n";
  if (parts.Condition.empty()) return text + ")";
  return text + parts.Keyword + " " + parts.Condition + ")";
}

int TOracleDataSet::RecordCount() {
  CheckActive();
  if (QBEMode()) return query_by_example_count();
  if (!CountAllRecords || Filtered()) return VisibleCount();
  if (!server_count_) server_count_ = query_server_count();
  return *server_count_ + cached_change_balance() + posted_inserts_ - posted_deletes_;
}

int TOracleDataSet::query_by_example_count() {
  // Data-aware controls count on every event, also while the mode is entered
  // or left; the empty record then must not replace the stored examples and
  // the clause built from them.
  if (qbe_->HoldsExamples()) {
    qbe_->StoreValues();
    qbe_->BuildWhereClause();
  }
  return query_server_count();
}

void TOracleDataSet::forget_server_count() {
  server_count_.reset();
  posted_inserts_ = 0;
  posted_deletes_ = 0;
}

int TOracleDataSet::cached_change_balance() const { return change_log_.CachedBalance(); }

int TOracleDataSet::query_server_count() {
  if (cursor_query_ && fetch_query_ == cursor_query_.get()) throw Exception(dataset_messages::CannotCountCursor);
  TOracleQuery count;
  count.SetSession(session_);
  const std::string text = RecordCountQueryText(main_query_->SQL().Text());
  count.SQL().SetText(text);
  for (const ScannedVariable& variable : ScanVariables(text, false)) {
    const int index = main_query_->VariableIndex(variable.Name);
    if (index < 0) continue;
    count.DeclareVariable(variable.Name, main_query_->VariableType(index));
    count.SetVariable(variable.Name, main_query_->GetVariable(index));
  }
  count.Execute();
  return count.Eof() ? 0 : count.FieldInteger(0);
}

// ---- record numbers ----

int TOracleDataSet::RecNo() {
  UpdateCursorPos();
  if (current_ == -1 && VisibleCount() > 0) return 1;
  return current_ + 1;
}

void TOracleDataSet::SetRecNo(int value) {
  if (value >= 0 && value <= VisibleCount() && value != RecNo()) {
    CheckBrowseMode();
    DoBeforeScroll();
    current_ = value - 1;
    Resync(rmCenter);
    DoAfterScroll();
  }
  if (!CountAllRecords) return;
  const int current = RecNo();
  // Numbers beyond the records held are reached by fetching.
  if (value != current && value >= 1 && value <= RecordCount()) MoveBy(value - current);
}

}  // namespace kvell
