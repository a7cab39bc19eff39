// The texts of the statements a dataset generates to write a row back and to
// lock, compare or re-read it: insert, update and delete, their where-clauses
// by rowid or by key, the returning part, the lock and refresh selects, the
// rowid lookup after a keyed insert, the sequence fetch and the savepoint.
// Lines are joined by CR LF. The dataset decides what goes in; these
// functions only spell it.
// Thread-safe: yes (pure functions).
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kvell {

namespace dml_text {
inline constexpr const char* LineBreak = "\r\n";
inline constexpr const char* RowIdVariable = "kvell__rowid";
inline constexpr const char* RowIdWhereClause = "where rowid = :kvell__rowid";
inline constexpr const char* Savepoint = "savepoint KVELL__LOCKPOINT";
inline constexpr const char* RollbackToSavepoint = "rollback to savepoint KVELL__LOCKPOINT";
inline constexpr const char* ObjectAlias = "t";
}  // namespace dml_text

// "kvell__key1", "kvell__key2", ...
std::string KeyVariableName(int number);
// "v" and the column descriptor's index.
std::string ValueVariableName(int descriptor_index);

struct KeyTerm {
  std::string FieldName;
  bool IsNull = false;  // null or an empty string: "is null", no variable
};

// "where A = :kvell__key1" and "and B is null" lines; variables are numbered
// from 1 over the terms that compare with a value.
std::string KeyWhereClause(const std::vector<KeyTerm>& terms);

// The table as DML names it: with the alias " t" when the dataset has object
// columns, whose references are then written "t." + name.
std::string TableReference(const std::string& table, bool object_alias);
std::string ColumnReference(const std::string& column, bool object_alias);

struct Assignment {
  std::string Column;  // as referenced, alias included
  std::string Value;   // expression: ":v3", "null", "empty_clob()", ...
};

struct ReturningPart {
  std::vector<std::string> Columns;
  std::vector<std::string> Variables;  // without ':'
  bool Empty() const { return Columns.empty(); }
  void Add(const std::string& column, const std::string& variable);
  void Clear() {
    Columns.clear();
    Variables.clear();
  }
};

std::string UpdateStatement(const std::string& table_reference, const std::vector<Assignment>& assignments,
                            const std::string& where_clause, const ReturningPart& returning);
std::string InsertStatement(const std::string& table_reference, const std::vector<Assignment>& assignments,
                            const ReturningPart& returning);
std::string DeleteStatement(const std::string& table, const std::string& where_clause);

// "select * from T where rowid = :kvell__rowid", and "for update nowait" when locking.
std::string SimpleRefreshStatement(const std::string& table, bool lock);

// The dataset's own select narrowed to one row by its rowid, for re-reading
// computed and joined columns too; `lock_field` non-empty adds
// "for update of <select table>.<lock_field> nowait".
std::string AllFieldsRefreshStatement(std::string_view dataset_sql, const std::string& select_table,
                                      const std::string& lock_field);

// "select rowid from T where" and one line per key field, the field's own
// name as its variable.
std::string RowIdLookupStatement(const std::string& table, const std::vector<KeyTerm>& terms);

std::string SequenceStatement(const std::string& sequence);

// "<type>(<arguments joined by ", ">)": an object written whole.
std::string ObjectConstructor(const std::string& type_name, const std::vector<std::string>& arguments);

// What a column contributes to an insert or update.
struct ColumnValueInput {
  int TypeCode = 0;                 // the descriptor's Oracle type code
  bool Xml = false;                 // SYS.XMLTYPE, written through its text
  bool IsNull = true;               // the new value is null (blank strings count as null)
  bool Insert = false;              // the statement is an insert
  std::string Variable;             // "v" + index
  std::string DefaultExpression;    // the field's, for inserts
  std::string ServerSequence;       // the sequence name when the sequence is applied on the server
  bool NullLOBIsEmpty = false;      // session preferences
  bool NullObjectIsEmpty = false;
  bool TemporaryLOBs = false;       // the session may use temporary LOBs
  std::string ObjectTypeName;       // for object columns (108)
  std::vector<std::string> AttributeValues;      // constructor arguments of the new object
  std::vector<std::string> AttributeNullValues;  // constructor arguments of an empty object
};

enum class ValueBinding {
  None,           // the expression is complete
  Value,          // bind the variable with the field's value
  TemporaryLOB,   // bind a temporary LOB filled before execution
  ReturnedLOB,    // return the column's locator into the variable and write after execution
};

struct ColumnValue {
  std::string Expression;
  ValueBinding Binding = ValueBinding::None;
  // A null value the server fills (default, sequence, empty LOB or object):
  // such a column takes part in an insert although it is null.
  bool ServerSide = false;
};

ColumnValue ColumnValueExpression(const ColumnValueInput& input);
// Whether a non-null value of the type is bound as it is, ":" + Variable,
// which needs none of the other inputs.
bool BindsValueVariable(int type_code, bool xml);

}  // namespace kvell
