// The session's own small statement runner: executes one SQL text through
// either call interface and fetches its rows as text. It serves the
// session's settings, detections and VerifyConnection until the query
// component takes its place behind TOracleSession::InternalQuery.
// Thread-safe: no; used inside the session's EnterCall/LeaveCall.
#pragma once

#include <string>
#include <vector>

#include "oracle/binding/oci_types.h"

namespace kvell {

class TOracleSession;

class InternalStatement {
 public:
  InternalStatement(TOracleSession& session, std::string name);
  ~InternalStatement();
  InternalStatement(const InternalStatement&) = delete;
  InternalStatement& operator=(const InternalStatement&) = delete;

  const std::string& Name() const { return name_; }
  // Closes what it held, then parses and executes `sql`. Raises EOracleError.
  void Execute(const std::string& sql);
  // Reads the next row of a select; false at the end of the data.
  bool Fetch();
  int FieldCount() const { return static_cast<int>(columns_.size()); }
  // The current row's column as text; empty for null.
  std::string Field(int index) const;
  // Releases the statement or cursor.
  void Close();

 private:
  struct Column {
    std::vector<char> buffer;  // zero-terminated text of the current row
    sb2 indicator = 0;         // -1: null
    ub2 length = 0;
    ub2 code = 0;
  };
  static constexpr int kColumnBufferSize = 4001;

  void execute_oci8(const std::string& sql);
  void execute_oci7(const std::string& sql);
  bool fetch_oci8();
  bool fetch_oci7();
  void check8(sword status);
  void check7();

  TOracleSession& session_;
  std::string name_;
  std::vector<Column> columns_;
  bool is_select_ = false;
  OCIStmt* statement_ = nullptr;   // OCI8
  Cda_Def* cursor_ = nullptr;      // OCI7, owned
};

}  // namespace kvell
