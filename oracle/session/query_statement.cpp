// The query's execution routine: opening the cursor, parsing with the
// Optimize cache, binding the variables through either interface, executing
// and fetching, error positions and the snapshot.
#include <algorithm>
#include <cstring>

#include "oracle/binding/oracle_ci.h"
#include "oracle/session/complex_binds.h"
#include "oracle/session/lob_locator.h"
#include "oracle/session/oracle_error.h"
#include "oracle/session/oracle_query.h"
#include "oracle/session/oracle_session.h"
#include "oracle/session/oci_constants.h"
#include "oracle/session/sql_scan.h"
#include "runtime/exception.h"

namespace kvell {


namespace {

OraText* ora_text(const std::string& text) { return reinterpret_cast<OraText*>(const_cast<char*>(text.c_str())); }

bool cacheable_kind(int kind) {
  switch (kind) {
    case 3: case 4: case 5: case 9: case 33: case 34: case 35: case 54: case 55: case 56:
      return true;
    default:
      return false;
  }
}

int kind_of_statement_type(ub2 type) {
  switch (type) {
    case 1: return skSelect;
    case 2: return skUpdate;
    case 3: return skDelete;
    case 4: return skInsert;
    case 8:
    case 9: return skPLSQL;
    default: return skOther;
  }
}

}  // namespace

// ---- errors

int TOracleQuery::last_error_code8() const {
  sb4 code = 0;
  OCIErrorGet(error_, 1, nullptr, &code, nullptr, 0, OCI_HTYPE_ERROR);
  return code;
}

void TOracleQuery::raise_error() {
  if (session_->OCI8Mode()) RaiseOracleError(session_, OracleErrorSource{error_, 0}, this);
  RaiseOracleError(session_, OracleErrorSource{nullptr, cda_.rc}, this);
}

void TOracleQuery::check8(sword status) {
  if (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO || status == OCI_NEED_DATA) return;
  raise_error();
}

// Fetch and execute statuses: no data and truncation are not failures.
void TOracleQuery::check_fetch8(sword status) {
  error_code_ = status == OCI_NO_DATA ? kNoDataFound : 0;
  if (status == OCI_SUCCESS || status == OCI_SUCCESS_WITH_INFO || status == OCI_NEED_DATA || status == OCI_NO_DATA) return;
  if (status == OCI_ERROR) {
    error_code_ = last_error_code8();
    if (error_code_ == kNoDataFound || error_code_ == kColumnTruncated) return;
  }
  raise_error();
}

void TOracleQuery::check7(bool fetching) {
  const int code = cda_.rc;
  if (code == 0 || (fetching && (code == kNoDataFound || code == kColumnTruncated))) return;
  raise_error();
}

void TOracleQuery::locate_parse_error() {
  int offset = 0;
  if (session_->OCI8Mode()) {
    ub2 value = 0;
    OCIAttrGet(statement_, OCI_HTYPE_STMT, &value, nullptr,
               OCI81Available ? OCI_ATTR_PARSE_ERROR_OFFSET : kParseErrorOffsetBefore81, error2_);
    offset = value;
  } else {
    offset = cda_.peo;
  }
  TextPosition(parsed_text_, offset, error_line_, error_position_);
  text_cached_ = false;
  parsed_text_.clear();
}

// ---- cursor

void TOracleQuery::open_cursor() {
  if (cursor_open_) return;
  SessionCall call(*session_);
  if (session_->OCI8Mode()) {
    OCIEnv* env = session_->EnvironmentHandle();
    for (OCIError** handle : {&error_, &error2_}) {
      if (*handle) continue;  // kept from the last release
      session_->CheckWithoutErrorHandle(
          OCIHandleAlloc(env, reinterpret_cast<void**>(handle), OCI_HTYPE_ERROR, 0, nullptr), "OCIHandleAlloc");
    }
    if (!rowid_) {
      session_->CheckWithoutErrorHandle(
          OCIDescriptorAlloc(env, reinterpret_cast<void**>(&rowid_), OCI_DTYPE_ROWID, 0, nullptr),
          "OCIDescriptorAlloc");
    }
  } else if (!received_cursor_) {
    std::memset(&cda_, 0, sizeof cda_);
    oopen(&cda_, session_->LogonDataArea(), nullptr, -1, -1, nullptr, -1);
    check7(false);
  }
  cursor_open_ = true;
}

void TOracleQuery::free_statement_handle() {
  if (!statement_) return;
  for (int i = 0; i < variables_.Count(); ++i) variables_[i].BindHandle = nullptr;
  if (session_->StatementCacheInUse()) {
    OCIStmtRelease(statement_, error_, nullptr, 0, OCI_DEFAULT);
  } else {
    OCIHandleFree(statement_, OCI_HTYPE_STMT);
  }
  statement_ = nullptr;
}

void TOracleQuery::release_statement(bool keep_call_handles) {
  SessionCall call(*session_);
  if (session_->OCI8Mode()) {
    free_statement_handle();
    if (!keep_call_handles) free_call_handles();
  } else {
    if (!received_cursor_) oclose(&cda_);
    std::memset(&cda_, 0, sizeof cda_);
  }
}

bool TOracleQuery::keeps_call_handles() const { return session_ && session_->StatementCacheInUse(); }

// The handles belong to the session's environment: a session that is not
// connected has had them freed when it logged off.
void TOracleQuery::free_call_handles() {
  if (!error_ && !error2_ && !rowid_) return;
  if (session_ && session_->Connected()) {
    SessionCall call(*session_);
    if (rowid_) OCIDescriptorFree(rowid_, OCI_DTYPE_ROWID);
    if (error2_) OCIHandleFree(error2_, OCI_HTYPE_ERROR);
    if (error_) OCIHandleFree(error_, OCI_HTYPE_ERROR);
  }
  rowid_ = nullptr;
  error_ = error2_ = nullptr;
}

// ---- parse

// Substitution values change unannounced: a text holding them is built every time.
const std::string& TOracleQuery::statement_text() {
  if (text_built_ && !variables_.HasSubstitutions()) return built_text_;
  built_text_ = RemoveCarriageReturns(variables_.SubstituteVariables(sql_.Text()));
  // The joined lines end with a line break that is no part of the statement.
  while (!built_text_.empty() && built_text_.back() == '\n') built_text_.pop_back();
  if (built_text_.empty()) built_text_ = " ";
  text_built_ = true;
  return built_text_;
}

bool TOracleQuery::forces_parse() const {
  if (last_array_size_ > 1) return true;
  for (int i = 0; i < variables_.Count(); ++i) {
    const TVariableData& v = variables_[i];
    if (v.Type() == vartype::Long || v.Type() == vartype::LongRaw || v.IsPLSQLTable() || v.ElementCount() > 1) {
      return true;
    }
  }
  return false;
}

void TOracleQuery::parse() {
  open_cursor();
  if (received_cursor_) {
    kind_ = skSelect;
    return;
  }
  if (session_->OCI8Mode() && forces_parse()) text_cached_ = false;
  const bool reusable = Optimize && text_cached_ && cacheable_kind(kind_);
  // The SQL and the declarations forget the parsed text when they change; only
  // substitution values change it unannounced, so only then is it built to compare.
  if (reusable && !variables_.HasSubstitutions()) return;
  const std::string& text = statement_text();
  if (reusable && text == parsed_text_) return;
  columns_.clear();
  described_ = false;
  parsed_text_ = text;
  text_cached_ = true;
  try {
    SessionCall call(*session_);
    if (session_->OCI8Mode()) {
      prepare8(text);
    } else {
      oparse(&cda_, ora_text(text), -1, 0, static_cast<ub4>(kOci7LanguageNative));
      check7(false);
      kind_ = cda_.ft;
    }
  } catch (const EOracleError&) {
    locate_parse_error();
    throw;
  }
}

void TOracleQuery::prepare8(const std::string& text) {
  free_statement_handle();
  if (session_->StatementCacheInUse()) {
    check8(OCIStmtPrepare2(session_->ServiceContext(), &statement_, error_, ora_text(text),
                           static_cast<ub4>(text.size()), nullptr, 0, OCI_NTV_SYNTAX, OCI_DEFAULT));
  } else {
    session_->CheckWithoutErrorHandle(
        OCIHandleAlloc(session_->EnvironmentHandle(), reinterpret_cast<void**>(&statement_), OCI_HTYPE_STMT, 0,
                       nullptr),
        "OCIHandleAlloc");
    check8(OCIStmtPrepare(statement_, error_, ora_text(text), static_cast<ub4>(text.size()), OCI_NTV_SYNTAX,
                          OCI_DEFAULT));
  }
  set_zero_prefetch(statement_, error_);
  ub2 type = 0;
  check8(OCIAttrGet(statement_, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, error_));
  kind_ = kind_of_statement_type(type);
}

void TOracleQuery::set_zero_prefetch(OCIStmt* statement, OCIError* error) {
  ub4 zero = 0;
  check8(OCIAttrSet(statement, OCI_HTYPE_STMT, &zero, sizeof zero, OCI_ATTR_PREFETCH_ROWS, error));
  check8(OCIAttrSet(statement, OCI_HTYPE_STMT, &zero, sizeof zero, OCI_ATTR_PREFETCH_MEMORY, error));
}

// ---- bind

int TOracleQuery::bind_variables() {
  int array_size = -1;
  if (received_cursor_) return 1;
  for (int i = 0; i < variables_.Count(); ++i) {
    TVariableData& v = variables_[i];
    if (v.Type() == vartype::Substitution) continue;
    if (v.IsPLSQLTable()) {
      if (array_size < 0) array_size = 1;
    } else if (array_size < 0) {
      array_size = v.ElementCount();
    } else if (v.ElementCount() != array_size) {
      throw Exception(kUnequalArrays);
    }
    SessionCall call(*session_);
    bind_one(v);
  }
  return std::max(array_size, 1);
}

TOracleQuery* TOracleQuery::cursor_target(TVariableData& v) {
  auto* target = dynamic_cast<TOracleQuery*>(v.Object());
  if (!target) throw Exception("Cursor variable " + v.Name() + " cannot be nil");
  if (target->received_cursor_ && target->cursor_open_ && v.BindHandle && v.BoundAddress == &target->statement_) {
    // The block opens a new cursor into the same statement: its select list
    // may differ, and the old defines do not carry over to it.
    target->described_ = false;
    return target;
  }
  target->release_quietly();
  target->ClearQuery();
  if (!target->session_) target->SetSession(session_);
  target->received_cursor_ = true;
  target->open_cursor();
  if (session_->OCI8Mode()) {
    session_->CheckWithoutErrorHandle(
        OCIHandleAlloc(session_->EnvironmentHandle(), reinterpret_cast<void**>(&target->statement_),
                       OCI_HTYPE_STMT, 0, nullptr),
        "OCIHandleAlloc");
    set_zero_prefetch(target->statement_, target->error_);
  }
  v.BoundAddress = nullptr;
  return target;
}

void TOracleQuery::bind_one(TVariableData& v) {
  void* value = v.Buffer();
  sb4 size = v.ElementSize();
  int type = v.Type() == vartype::LongString ? vartype::String : v.Type();
  ub2* length = nullptr;
  ComplexBind complex;
  if (v.Type() == vartype::Cursor) {
    TOracleQuery* target = cursor_target(v);
    value = session_->OCI8Mode() ? static_cast<void*>(&target->statement_) : static_cast<void*>(&target->cda_);
    size = session_->OCI8Mode() ? static_cast<sb4>(sizeof(OCIStmt*)) : static_cast<sb4>(sizeof(Cda_Def));
    if (!session_->OCI8Mode()) type = 102;
    v.SetIndicator(0, 0);
  } else if (v.IsComplex()) {
    complex = PrepareComplexBind(*session_, v);
    value = complex.Value;
    size = complex.Size;
  } else if (v.Type() == vartype::Long || v.Type() == vartype::LongRaw) {
    size = static_cast<sb4>(v.DataLength());
    if (v.ElementSize() <= 65535) {
      v.BindLength = static_cast<uint16_t>(v.DataLength());
      length = &v.BindLength;
    }
  } else if (type == vartype::String || type == vartype::CharZ) {
    if (v.Type() != vartype::LongString) size = std::min(size, MaxStringChars() + 1);
  }
  ub4 table_size = v.IsPLSQLTable() ? static_cast<ub4>(v.TableSize()) : 0;
  ub4* used = v.IsPLSQLTable() ? &v.UsedCount() : nullptr;
  const std::string& name = v.Name();
  if (!session_->OCI8Mode()) {
    obndra(&cda_, ora_text(name), -1, static_cast<ub1*>(value), size, type, -1, v.Indicators(), length, nullptr,
           table_size, used, nullptr, -1, -1);
    check7(false);
    return;
  }
  if (v.BindHandle && v.BoundAddress == value && value != nullptr) return;
  OCIBind* bind = nullptr;
  check8(OCIBindByName(statement_, &bind, error_, ora_text(name), static_cast<sb4>(name.size()), value, size,
                       static_cast<ub2>(type), v.Indicators(), length, nullptr, table_size, used, OCI_DEFAULT));
  if (complex.CharsetForm == SQLCS_NCHAR) {
    check8(OCIAttrSet(bind, OCI_HTYPE_BIND, &complex.CharsetForm, 0, OCI_ATTR_CHARSET_FORM, error_));
  }
  if (complex.BindObject) {
    check8(OCIBindObject(bind, error_, complex.ObjectType, complex.Instance, nullptr, complex.NullStruct, nullptr));
  }
  v.BindHandle = bind;
  v.BoundAddress = value;
}

// ---- execution

void TOracleQuery::RunExecution(bool describe_only, int row_offset, int iterations) {
  if (!session_) throw Exception(kSessionUndefined);
  eof_ = true;
  pending_fetch_error_ = nullptr;
  if (!OCILoaded()) InitOCI();
  require_session();
  if (Debug && !describe_only && !received_cursor_) show_debug();
  WaitCursor busy(Cursor);
  executing_ = 1;
  try {
    parse();
    if (kind_ == skSelect) {
      execute_select(describe_only);
    } else {
      execute_other(describe_only, row_offset, iterations);
    }
  } catch (...) {
    executing_ = 0;
    throw;
  }
  executing_ = 0;
  take_snapshot();
  apply_release_rule();
}

void TOracleQuery::execute_select(bool describe_only) {
  bind_variables();
  last_array_size_ = 1;
  bool fetched_by_execute = false;
  if (session_->OCI8Mode() && !received_cursor_ && !(describe_only && described_)) {
    const ub4 iterations = described_ && !describe_only ? static_cast<ub4>(row_array_size_) : 0;
    ub4 mode = describe_only ? OCI_DESCRIBE_ONLY : OCI_DEFAULT;
    if (Scrollable && OCI9Available) mode |= OCI_STMT_SCROLLABLE_READONLY;
    if (iterations > 0) clear_long_pieces();
    SessionCall call(*session_);
    const sword status =
        OCIStmtExecute(session_->ServiceContext(), statement_, error_, iterations, 0, nullptr, nullptr, mode);
    try {
      if (iterations > 0) {
        fetch_keeping_rows([&] { check_fetch8(status); }, [&] { return static_cast<int>(row_count8()); });
        fetched_by_execute = true;
        total_fetched_ = rows_in_array_;
      } else {
        check_fetch8(status);
      }
    } catch (const EOracleError&) {
      locate_parse_error();
      throw;
    }
  }
  if (!described_) describe_and_define();
  if (describe_only) {
    rows_in_array_ = 0;
    rows_processed_ = 0;
    eof_ = true;
    return;
  }
  if (!fetched_by_execute) first_fetch();
  current_row_ = 0;
  eof_ = rows_in_array_ == 0;
  if (!eof_) load_current_row();
}

void TOracleQuery::first_fetch() {
  total_fetched_ = 0;
  if (session_->OCI8Mode()) {
    fetch_rows();
    return;
  }
  SessionCall call(*session_);
  // A received cursor counts on from the rows its opener fetched; oexfet starts afresh.
  const ub4 before = received_cursor_ ? cda_.rpc : 0;
  fetch_keeping_rows(
      [&] {
        if (received_cursor_) {
          ofen(&cda_, row_array_size_);
        } else {
          oexfet(&cda_, static_cast<ub4>(row_array_size_), 0, 0);
        }
        check7(true);
      },
      [&] { return static_cast<int>(cda_.rpc - before); });
  total_fetched_ = static_cast<int>(cda_.rpc);
}

void TOracleQuery::fetch_keeping_rows(const std::function<void()>& call, const std::function<int()>& rows_came) {
  pending_fetch_error_ = nullptr;
  try {
    call();
  } catch (const EOracleError&) {
    rows_in_array_ = rows_came();
    if (rows_in_array_ <= 0) throw;
    pending_fetch_error_ = std::current_exception();
    return;
  }
  rows_in_array_ = rows_came();
}

void TOracleQuery::raise_pending_fetch_error() {
  std::exception_ptr error = pending_fetch_error_;
  pending_fetch_error_ = nullptr;
  std::rethrow_exception(error);
}

ub4 TOracleQuery::row_count8() {
  ub4 rows = 0;
  check8(OCIAttrGet(statement_, OCI_HTYPE_STMT, &rows, nullptr, OCI_ATTR_ROW_COUNT, error2_));
  return rows;
}

void TOracleQuery::fetch_rows() {
  SessionCall call(*session_);
  if (session_->OCI8Mode()) {
    prepare_next_array();
    const ub4 rows = static_cast<ub4>(row_array_size_);
    fetch_keeping_rows(
        [&] {
          check_fetch8(OCI9Available ? OCIStmtFetch2(statement_, error_, rows, OCI_FETCH_NEXT, 0, OCI_DEFAULT)
                                     : OCIStmtFetch(statement_, error_, rows, OCI_FETCH_NEXT, OCI_DEFAULT));
        },
        [&] { return static_cast<int>(row_count8()) - total_fetched_; });
  } else {
    const ub4 before = cda_.rpc;
    fetch_keeping_rows(
        [&] {
          ofen(&cda_, row_array_size_);
          check7(true);
        },
        [&] { return static_cast<int>(cda_.rpc - before); });
  }
  total_fetched_ += rows_in_array_;
}

void TOracleQuery::execute_other(bool describe_only, int row_offset, int iterations) {
  const int array_size = bind_variables();
  last_array_size_ = array_size;
  ub4 iters = 1;
  ub4 offset = 0;
  if (array_size > 1) {
    iters = static_cast<ub4>(iterations < 1 ? array_size - row_offset : iterations);
    offset = static_cast<ub4>(row_offset);
  }
  rows_processed_ = 0;
  failed_element_ = -1;
  if (describe_only) return;
  SessionCall call(*session_);
  try {
    if (session_->OCI8Mode()) {
      const ub4 mode = session_->AutoCommitMode() ? OCI_COMMIT_ON_SUCCESS : OCI_DEFAULT;
      const sword status =
          OCIStmtExecute(session_->ServiceContext(), statement_, error_, iters, offset, nullptr, nullptr, mode);
      if (status != OCI_SUCCESS && status != OCI_SUCCESS_WITH_INFO && status != OCI_NEED_DATA) {
        rows_processed_ = static_cast<int>(row_count8());
        failed_element_ = failed_element8(static_cast<int>(offset), static_cast<int>(offset + iters));
        raise_error();
      }
      ReconcileComplexBinds(variables_);
      ub2 code = 0;
      OCIAttrGet(statement_, OCI_HTYPE_STMT, &code, nullptr, OCI_ATTR_SQLFNCODE, error2_);
      kind_ = code;
    } else {
      oexn(&cda_, static_cast<sword>(iters), static_cast<sword>(offset));
      if (cda_.rc != 0) {
        rows_processed_ = static_cast<int>(cda_.rpc);
        // Version 7 names no failing element; the rows before it are all an insert tells.
        failed_element_ = static_cast<int>(offset) + rows_processed_;
      }
      check7(false);
    }
  } catch (const EOracleError&) {
    locate_parse_error();
    throw;
  }
}

int TOracleQuery::failed_element8(int first, int end) {
  ub4 row = 0;
  if (OCIAttrGet(error_, OCI_HTYPE_ERROR, &row, nullptr, OCI_ATTR_DML_ROW_OFFSET, error2_) == OCI_SUCCESS &&
      static_cast<int>(row) >= first && static_cast<int>(row) < end) {
    return static_cast<int>(row);
  }
  return first + rows_processed_;
}

void TOracleQuery::take_snapshot() {
  if (kind_ == skSelect) {
    // The fetches already counted the rows; no client call per row.
    rows_processed_ = total_fetched_;
    if (!session_->OCI8Mode()) warning_flags_ = cda_.wrn;
    return;
  }
  if (session_->OCI8Mode()) {
    if (statement_ && error2_) {
      ub4 rows = 0;
      if (OCIAttrGet(statement_, OCI_HTYPE_STMT, &rows, nullptr, OCI_ATTR_ROW_COUNT, error2_) == OCI_SUCCESS) {
        rows_processed_ = static_cast<int>(rows);
      }
      row_id_.clear();
      // The descriptor itself is the attribute's target; its size says whether a row was touched.
      ub4 size = 0;
      if (rowid_ && OCIAttrGet(statement_, OCI_HTYPE_STMT, rowid_, &size, OCI_ATTR_ROWID, error2_) == OCI_SUCCESS &&
          size != 0) {
        row_id_ = OCI81Available ? RowIdTextFromBytes(reinterpret_cast<const uint8_t*>(rowid_))
                                 : RowIdTextFromFields(reinterpret_cast<const ub4*>(rowid_));
      }
    }
  } else {
    rows_processed_ = static_cast<int>(cda_.rpc);
    error_code_ = cda_.rc;
    warning_flags_ = cda_.wrn;
    row_id_ = cda_.rid.rd.rcs4 == 0 && cda_.rid.rcs7 == 0 && cda_.rid.rcs8 == 0
                  ? std::string()
                  : RowIdText(cda_.rid.rd.rcs4, cda_.rid.rd.rcs5, cda_.rid.rcs7, cda_.rid.rcs8);
  }
}

void TOracleQuery::show_debug() {
  std::string text = sql_.Text();
  for (int i = 0; i < variables_.Count(); ++i) {
    text += "\r" + variables_[i].Name() + " = " + variables_.VariableDisplayText(i);
  }
  ConfirmDialog(text, "Debug", "O");
}

}  // namespace kvell
