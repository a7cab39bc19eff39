// What the data dictionary says about one updating table, cached per session
// so that many datasets on one table read it once: the owner and object a
// name resolves to, its constraints (with their details loaded on first
// need), its columns and their default texts. Entries are never refreshed;
// a changed table is seen only by a new session.
// Thread-safe: no; the datasets of a session share the cache from one thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "oracle/session/oracle_query.h"
#include "oracle/session/oracle_session.h"
#include "runtime/variant.h"

namespace kvell {

class TOracleTableInfo;

struct TOracleColumnInfo {
  std::string Name;
  int TypeCode = 0;  // external type of the describe
  int Precision = 0;
  int Scale = 0;
  std::string DefaultText;  // the column's default expression, empty when none
  Variant DefaultValue;     // unassigned until evaluated
};

enum TConstraintKind { ckOther = 0, ckPrimaryKey = 1, ckUniqueKey = 2, ckForeignKey = 3, ckCheck = 4 };

struct TOracleConstraintInfo {
  TOracleTableInfo* TableInfo = nullptr;
  std::vector<std::string> Columns;  // in position order
  std::string Name;
  int Kind = ckOther;
  std::string ReferencedOwner;
  std::string ReferencedTable;
  std::vector<std::string> ReferencedColumns;
  std::string Condition;  // check constraints: the search condition with its columns as bind variables
  bool Exists = false;    // found and enabled
  bool Loaded = false;    // details read
};

class TOracleTableInfo {
 public:
  // Binds "TableInfoQuery" to the session and resolves `name`.
  TOracleTableInfo(TOracleSession& session, const std::string& name);
  TOracleTableInfo(const TOracleTableInfo&) = delete;
  TOracleTableInfo& operator=(const TOracleTableInfo&) = delete;

  const std::string& Name() const { return name_; }
  const std::string& Owner() const { return owner_; }
  const std::string& TableName() const { return table_name_; }

  // Loaded once; on an error the list is emptied and the error propagates.
  std::vector<TOracleConstraintInfo>& Constraints();
  // Reads the constraint's kind, condition and references once.
  void LoadDetails(TOracleConstraintInfo& constraint);

  // Loaded once by describing the table; a failure leaves the list empty and
  // is reported through the application's exception handler.
  const std::vector<TOracleColumnInfo>& Columns();
  TOracleColumnInfo* FindColumn(const std::string& name);
  // Reads the columns' default texts once; whether any column has one.
  bool ReadDefaults();
  bool DefaultsEvaluated = false;

  TOracleQuery& Query() { return query_; }
  // Statements this entry sent to the dictionary.
  int64_t StatementsSent() const { return statements_sent_; }

 private:
  void resolve();
  void resolve_on_bridge(const std::string& upper_name);
  bool resolve_by(const char* statement, const std::string& upper_name);
  void load_constraints();
  void load_references(TOracleConstraintInfo& constraint);
  void run(const std::string& text);

  TOracleSession& session_;
  TOracleQuery query_;  // "TableInfoQuery"
  std::string name_;
  std::string owner_;
  std::string table_name_;
  std::vector<TOracleConstraintInfo> constraints_;
  bool constraints_loaded_ = false;
  std::vector<TOracleColumnInfo> columns_;
  bool columns_loaded_ = false;
  bool defaults_read_ = false;
  bool no_defaults_ = false;
  int64_t statements_sent_ = 0;
};

// The session's cache; made on first use and freed with the session.
class TTableInfoCache : public TSessionCache {
 public:
  // The entry whose name equals `name` without regard to case, or a new one.
  TOracleTableInfo& Get(TOracleSession& session, const std::string& name);
  int Count() const { return static_cast<int>(entries_.size()); }
  // Dictionary statements all entries sent.
  int64_t StatementsSent() const;

 private:
  std::vector<std::unique_ptr<TOracleTableInfo>> entries_;
};

TTableInfoCache& TableInfoCache(TOracleSession& session);

// Owner and table a name resolves to without asking the server: a dotted
// name splits at its first dot (both parts upper-cased); an empty name gives
// two empty parts. False when the server must be asked.
bool SplitOwnerAndTable(const std::string& name, std::string& owner, std::string& table);

// A check constraint's condition with each of `columns` (whole words, matched
// upper-case, quoted or not) made a bind variable: SAL > 0 gives :SAL > 0.
std::string BindConstraintColumns(const std::string& condition, const std::vector<std::string>& columns);

// The bind type a value of `column` is declared with: integer, float and date
// as described, timestamps as dates, everything else as a string.
int VariableTypeOfColumn(const TOracleColumnInfo& column);

}  // namespace kvell
