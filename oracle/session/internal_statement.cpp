// One statement through either client interface, rows read as text.
#include "oracle/session/internal_statement.h"

#include "oracle/binding/oci_entries.h"
#include "oracle/session/oci_constants.h"
#include "oracle/session/oracle_session.h"

namespace kvell {

InternalStatement::InternalStatement(TOracleSession& session, std::string name)
    : session_(session), name_(std::move(name)) {}

InternalStatement::~InternalStatement() {
  try {
    Close();
  } catch (...) {
    // A dead connection cannot close its cursor; the client drops it with the logon.
  }
}

void InternalStatement::Execute(const std::string& sql) {
  Close();
  SessionCall call(session_);
  if (session_.OCI8Mode())
    execute_oci8(sql);
  else
    execute_oci7(sql);
}

bool InternalStatement::Fetch() {
  if (!is_select_) return false;
  SessionCall call(session_);
  return session_.OCI8Mode() ? fetch_oci8() : fetch_oci7();
}

std::string InternalStatement::Field(int index) const {
  const Column& column = columns_.at(static_cast<size_t>(index));
  if (column.indicator == -1) return {};
  return std::string(column.buffer.data());
}

void InternalStatement::Close() {
  columns_.clear();
  is_select_ = false;
  if (statement_) {
    OCIStmt* statement = statement_;
    statement_ = nullptr;
    OCIHandleFree(statement, OCI_HTYPE_STMT);
  }
  if (cursor_) {
    std::unique_ptr<Cda_Def> cursor(cursor_);
    cursor_ = nullptr;
    SessionCall call(session_);
    oclose(cursor.get());
  }
}

void InternalStatement::check8(sword status) {
  if (status == OCI_SUCCESS) return;
  session_.Check(status);
}

// Version 7 cursor calls leave their error in the cursor's own area.
void InternalStatement::check7() {
  if (cursor_->rc != 0) RaiseOracleError(&session_, OracleErrorSource{nullptr, cursor_->rc}, &session_);
}

void InternalStatement::execute_oci8(const std::string& sql) {
  void* made = nullptr;
  session_.CheckWithoutErrorHandle(OCIHandleAlloc(session_.EnvironmentHandle(), &made, OCI_HTYPE_STMT, 0, nullptr),
                                   "OCIHandleAlloc");
  statement_ = static_cast<OCIStmt*>(made);
  OCIError* error = session_.ErrorHandle();
  check8(OCIStmtPrepare(statement_, error, reinterpret_cast<const OraText*>(sql.c_str()),
                        static_cast<ub4>(sql.size()), OCI_NTV_SYNTAX, OCI_DEFAULT));
  ub2 type = 0;
  check8(OCIAttrGet(statement_, OCI_HTYPE_STMT, &type, nullptr, OCI_ATTR_STMT_TYPE, error));
  is_select_ = type == OCI_STMT_SELECT;
  check8(OCIStmtExecute(session_.ServiceContext(), statement_, error, is_select_ ? 0 : 1, 0, nullptr, nullptr,
                        OCI_DEFAULT));
  if (!is_select_) return;
  ub4 count = 0;
  check8(OCIAttrGet(statement_, OCI_HTYPE_STMT, &count, nullptr, OCI_ATTR_PARAM_COUNT, error));
  columns_.resize(count);
  for (ub4 position = 1; position <= count; ++position) {
    Column& column = columns_[position - 1];
    column.buffer.assign(kColumnBufferSize, 0);
    OCIDefine* define = nullptr;
    check8(OCIDefineByPos(statement_, &define, error, position, column.buffer.data(), kColumnBufferSize, SQLT_STR,
                          &column.indicator, &column.length, &column.code, OCI_DEFAULT));
  }
}

bool InternalStatement::fetch_oci8() {
  sword status = OCIStmtFetch(statement_, session_.ErrorHandle(), 1, OCI_FETCH_NEXT, OCI_DEFAULT);
  if (status == OCI_NO_DATA) return false;
  check8(status);
  return true;
}

void InternalStatement::execute_oci7(const std::string& sql) {
  cursor_ = new Cda_Def{};
  Lda_Def* lda = session_.LogonDataArea();
  oopen(cursor_, lda, nullptr, -1, -1, nullptr, -1);
  check7();
  oparse(cursor_, reinterpret_cast<OraText*>(const_cast<char*>(sql.c_str())), -1, 0, OCI_V7_SYNTAX);
  check7();
  for (sword position = 1;; ++position) {
    sb4 size = 0;
    sb2 type = 0;
    sb4 display = 0;
    sb2 precision = 0, scale = 0, nullable = 0;
    sb1 name[64];
    sb4 name_length = sizeof name;
    odescr(cursor_, position, &size, &type, name, &name_length, &display, &precision, &scale, &nullable);
    if (cursor_->rc == kVariableNotInList) break;
    check7();
    columns_.emplace_back();
  }
  is_select_ = !columns_.empty();
  for (size_t index = 0; index < columns_.size(); ++index) {
    Column& column = columns_[index];
    column.buffer.assign(kColumnBufferSize, 0);
    odefin(cursor_, static_cast<sword>(index + 1), reinterpret_cast<ub1*>(column.buffer.data()), kColumnBufferSize,
           SQLT_STR, -1, &column.indicator, nullptr, -1, -1, &column.length, &column.code);
    check7();
  }
  oexec(cursor_);
  check7();
}

bool InternalStatement::fetch_oci7() {
  ofen(cursor_, 1);
  if (cursor_->rc == kNoDataFound) return false;
  check7();
  return true;
}

}  // namespace kvell
