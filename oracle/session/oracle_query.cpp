#include "oracle/session/oracle_query.h"

#include <cstdio>

#include "oracle/session/oracle_error.h"
#include "oracle/session/oracle_session.h"
#include "oracle/session/query_thread.h"
#include "runtime/exception.h"

namespace kvell {

namespace {

// Components gain a destroying step with the runtime's lifetime work; until then there is none to run.
template <class Component>
void before_destruction(Component& component) {
  if constexpr (requires { component.BeforeDestruction(); }) component.BeforeDestruction();
}

}  // namespace

TOracleQuery::TOracleQuery(TComponent* owner) : TComponent(owner) {
  sql_.OnChange = [this] { VariablesChanged(); };
}

TOracleQuery::~TOracleQuery() {
  thread_.reset();  // stops and waits for a running execution first
  before_destruction(*this);
  release_quietly();
  if (session_) session_->DetachClient(skQuery, this);
}

void TOracleQuery::SetSQL(const TStringList& lines) { sql_.Assign(lines); }

void TOracleQuery::SetSession(TOracleSession* session) {
  if (session == session_) return;
  release_quietly();
  // Only the session's thread-safe client list links the two: queries of one thread-safe
  // session come and go on many threads, and that list detaches them when the session goes.
  if (session_) session_->DetachClient(skQuery, this);
  session_ = session;
  if (session_) session_->AttachClient(skQuery, this);
}

void TOracleQuery::SetStringFieldsOnly(bool value) {
  if (value == string_fields_only_) return;
  string_fields_only_ = value;
  VariablesChanged();
}

bool TOracleQuery::ConvertCRLF() const { return session_->Preferences().ConvertCRLF; }
bool TOracleQuery::ZeroDateIsNull() const { return session_->Preferences().ZeroDateIsNull; }
bool TOracleQuery::NullValueIsNull() const { return session_->NullValue == nvNull; }
int TOracleQuery::MaxStringChars() const { return session_->MaxStringChars(); }

void TOracleQuery::VariablesChanged() {
  text_built_ = false;
  text_cached_ = false;
  parsed_text_.clear();
  described_ = false;
  if (session_ && session_->ODBCBridge()) release_quietly();
}

Variant TOracleQuery::null_value() const {
  return session_ && session_->NullValue == nvNull ? Null() : Unassigned();
}

TOracleSession& TOracleQuery::require_session() const {
  if (!session_) throw Exception(kSessionUndefined);
  if (!session_->Connected()) throw Exception(kNotLoggedOn);
  return *session_;
}

void TOracleQuery::Execute() {
  if (!Threaded) {
    run_array(0, 0, true);
    return;
  }
  if (!thread_) thread_ = std::make_unique<TQueryThread>(*this);
  refuse_while_thread_runs();
  thread_->Start();
}

void TOracleQuery::refuse_while_thread_runs() const {
  if (thread_ && thread_->Running()) throw Exception(kThreadInProgress);
}

int TOracleQuery::ExecuteArray(int index, int count) {
  if (count == 0) return 0;
  return run_array(index, count, false), rows_processed_total_;
}

void TOracleQuery::Describe() {
  refuse_while_thread_runs();
  RunExecution(true, 0, 0);
}

void TOracleQuery::fire_after_query() {
  if (!before_query_fired_) return;
  before_query_fired_ = false;
  if (AfterQuery) AfterQuery(this);
}

void TOracleQuery::run_array(int index, int count, bool whole_array) {
  rows_processed_total_ = 0;
  before_query_fired_ = true;
  if (BeforeQuery) BeforeQuery(this);
  try {
    run_array_loop(index, count, whole_array);
  } catch (...) {
    fire_after_query();
    throw;
  }
  if (eof_) fire_after_query();
}

void TOracleQuery::run_array_loop(int index, int count, bool whole_array) {
  int offset = index;
  int end = whole_array ? 0 : index + count;
  for (;;) {
    try {
      RunExecution(false, offset, end == 0 ? 0 : end - offset);
      rows_processed_total_ += rows_processed_;
      break;
    } catch (const EOracleError& error) {
      if (last_array_size_ <= 1 || kind_ == skSelect) throw;
      rows_processed_total_ += rows_processed_;
      const int failing = failed_element_ >= 0 ? failed_element_ : offset + rows_processed_;
      offset = failing + 1;
      if (end == 0) end = last_array_size_;
      bool go_on = true;
      if (OnArrayError) {
        OnArrayError(this, failing, error.ErrorCode, error.Message, go_on);
      } else if (whole_array) {
        throw;
      } else {
        go_on = false;
      }
      if (!go_on || offset >= end) break;
    }
  }
}

void TOracleQuery::CloseCursor() { close_cursor(keeps_call_handles()); }

void TOracleQuery::close_cursor(bool keep_call_handles) {
  if (!session_ || !session_->Connected() || !cursor_open_) {
    columns_.clear();
    if (!keep_call_handles) free_call_handles();
    return;
  }
  cursor_open_ = false;
  text_cached_ = false;
  parsed_text_.clear();
  described_ = false;
  eof_ = true;
  release_statement(keep_call_handles);
  columns_.clear();
}

void TOracleQuery::release_quietly() {
  try {
    close_cursor(false);
  } catch (const Exception&) {
  }
}

void TOracleQuery::ClearQuery() {
  variables_.DeleteVariables();
  sql_.Clear();
  text_built_ = false;
  text_cached_ = false;
  parsed_text_.clear();
  described_ = false;
  received_cursor_ = false;
}

void TOracleQuery::apply_release_rule() {
  // Asked after every row: the cheap tests first.
  const bool finished = kind_ != skSelect || (eof_ && !Scrollable);
  if (!finished || received_cursor_) return;
  const bool releasing_mode = !session_ || session_->StatementCacheInUse() || !Optimize;
  if (!releasing_mode) return;
  try {
    close_cursor(keeps_call_handles());
  } catch (const Exception&) {
  }
}

void TOracleQuery::Next() {
  if (eof_) return;
  require_session();
  executing_ = 2;
  ++current_row_;
  if (current_row_ >= rows_in_array_) {
    if (rows_in_array_ < row_array_size_ && !pending_fetch_error_) {
      eof_ = true;
    } else {
      try {
        if (pending_fetch_error_) raise_pending_fetch_error();
        fetch_rows();
      } catch (...) {
        executing_ = 0;
        eof_ = true;
        fire_after_query();
        throw;
      }
      current_row_ = 0;
      eof_ = rows_in_array_ == 0;
    }
  }
  if (!eof_) load_current_row();
  executing_ = 0;
  if (eof_) fire_after_query();
  take_snapshot();
  apply_release_rule();
}

// ---- row ids and positions

std::string RowIdText(uint32_t object, uint32_t file, uint32_t block, uint32_t row) {
  static constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
  if (object == 0) {
    char text[32];
    std::snprintf(text, sizeof text, "%8.8x.%4.4x.%4.4x", block, row, file);
    return text;
  }
  std::string text;
  auto put = [&](uint32_t value, int digits) {
    for (int i = digits - 1; i >= 0; --i) text += kAlphabet[(value >> (6 * i)) & 63];
  };
  put(object, 6);
  put(file, 3);
  put(block, 6);
  put(row, 3);
  return text;
}

std::string RowIdTextFromBytes(const uint8_t* b) {
  auto be = [&](int from, int count) {
    uint32_t value = 0;
    for (int i = 0; i < count; ++i) value = (value << 8) | b[from + i];
    return value;
  };
  return RowIdText(be(1, 4), be(5, 2), be(7, 4), be(11, 2));
}

std::string RowIdTextFromFields(const uint32_t* fields) { return RowIdText(fields[0], fields[1], fields[2], fields[3]); }

void TextPosition(const std::string& text, int offset, int& line, int& column) {
  line = 1;
  column = 1;
  const int end = std::min(offset, static_cast<int>(text.size()));
  for (int i = 0; i < end; ++i) {
    if (text[static_cast<size_t>(i)] == '\n') {
      ++line;
      column = 1;
    } else {
      ++column;
    }
  }
}

}  // namespace kvell
