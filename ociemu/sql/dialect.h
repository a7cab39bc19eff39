// The SQL side of ociemu: turns Oracle's dialect into SQLite statements, keeps
// the Oracle catalogue (declared types, named constraints, sequences, users,
// views, synonyms, directories) inside each database file, registers the
// Oracle functions, and maps SQLite failures to Oracle errors.
//
// Storage conventions every part of ociemu relies on:
//   DATE       TEXT 'YYYY-MM-DD HH:MM:SS' (sorts and compares as text)
//   TIMESTAMP  TEXT 'YYYY-MM-DD HH:MM:SS.FFFFFFFFF' (+ ' +HH:MM' with time zone)
//   NUMBER     INTEGER when integral and in range, else REAL
//   VARCHAR2, CHAR, LONG, CLOB   TEXT;  RAW, LONG RAW, BLOB   BLOB
//   ''         stored and compared as NULL
//   ROWID      the SQLite rowid, shown as 18 characters (encode_rowid)
// Tables keep their Oracle column declarations (e.g. "NUMBER(7,2)") as the
// SQLite declared type, so sqlite3_column_decltype feeds the describe.
//
// Thread-safe: the functions are; a sqlite3 connection is used by one thread at a time.
#pragma once

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

namespace ociemu::sql {

// An Oracle error: number (1017 for ORA-01017) and full text without the "ORA-nnnnn: " prefix.
struct OracleError {
  int code = 0;
  std::string message;
  int parse_offset = 0;  // character offset of a parse error in the original text
};

// Thrown by every function here that fails the way Oracle would.
struct OracleException {
  OracleError error;
};

// What a session contributes to translation and to the session-aware functions.
struct SessionContext {
  std::string user;                          // logged-on user, upper case (USER)
  int64_t session_id = 0;                    // USERENV('SESSIONID')
  std::string nls_date_format = "DD-MON-RR";  // changed by ALTER SESSION
  std::string nls_timestamp_format = "DD-MON-RR HH.MI.SSXFF AM";
  std::string nls_timestamp_tz_format = "DD-MON-RR HH.MI.SSXFF AM TZH:TZM";
  std::string current_schema;                // ALTER SESSION SET CURRENT_SCHEMA; empty = user
  int time_zone_minutes = 0;                 // session time zone east of UTC; the logon sets the client's zone
  std::map<std::string, int64_t> sequence_values;  // CURRVAL per "OWNER.SEQUENCE"
  // What the application says of itself (session attributes), for SYS_CONTEXT('USERENV', ...).
  std::string module, action, client_info, client_identifier;
};

enum class StatementKind {
  Select, Insert, Update, Delete, Merge,
  Create, Drop, Alter, OtherDdl,          // DDL: commits before and after
  PlsqlBlock,                             // BEGIN/DECLARE ... END; (part two)
  Commit, Rollback, Savepoint, RollbackToSavepoint, SetTransaction,
  AlterSession,                           // applied to SessionContext by translate()
  Lock, Explain, Other,
};

// One placeholder occurrence of the original text, in text order.
struct Placeholder {
  std::string name;     // upper case without the colon; "1" for ":1"
  int sqlite_index = 0; // 1-based parameter index in sqlite_sql; one index per distinct name
};

// Oracle's view of a column: internal type code (1 VARCHAR2, 2 NUMBER, 8 LONG,
// 12 DATE, 23 RAW, 24 LONG RAW, 96 CHAR, 112 CLOB, 113 BLOB, 114 BFILE, 180/181/231 TIMESTAMPs...).
struct OracleType {
  int type_code = 1;
  int data_size = 0;       // bytes (22 for NUMBER, 7 for DATE)
  int precision = 0;       // NUMBER precision, 0 when not given
  int scale = -127;        // -127 when not given
  int char_size = 0;       // declared characters for character types
  int charset_form = 1;    // 1 implicit, 2 national (NCHAR, NVARCHAR2, NCLOB)
  std::string type_name;   // as declared, upper case ("VARCHAR2", "NUMBER", ...)
};

// The rows a CURSOR(select ...) column yields, as the translator describes them:
// per column its heading, its type when the translator can tell it, and the
// shape of a nested CURSOR column.
struct CursorShape {
  struct Column {
    std::string name;
    std::optional<OracleType> type;
    std::shared_ptr<const CursorShape> cursor;  // set for a nested CURSOR column
  };
  std::vector<Column> columns;
};

struct Translation {
  StatementKind kind = StatementKind::Other;
  int sql_function_code = 0;          // OCI_ATTR_SQLFNCODE value
  int statement_type = 0;             // OCI_ATTR_STMT_TYPE value (OCI_STMT_SELECT 1 ...)
  std::vector<std::string> sqlite_sql;  // statements to run in order (most have one; DDL may have several)
  bool last_statement_uncounted = false;  // DML whose last statement's rows are not the call's row count
  bool multitable_insert = false;         // INSERT ALL / FIRST: rows of several tables, no one rowid
  std::vector<Placeholder> placeholders;
  std::vector<std::string> returning_into;  // out placeholders of RETURNING ... INTO, upper case
  bool for_update = false;            // SELECT ... FOR UPDATE
  bool nowait = false;                // ... NOWAIT
  std::string locked_table;           // the table FOR UPDATE locks (upper case, owner-qualified)
  std::string savepoint;              // for Savepoint / RollbackToSavepoint
  int reserved_bind_offset = -1;      // first bind named by a reserved word: clients' SQL refuses it, PL/SQL's not
  // Type hints for select-list expressions whose declared type SQLite cannot
  // tell (SYSDATE, TO_DATE(...), TO_CHAR(...)); empty slot = no hint.
  std::vector<std::optional<OracleType>> select_types;
  // CURSOR(select ...) items of the select list by 0-based column; null for other columns.
  std::vector<std::shared_ptr<const CursorShape>> cursor_columns;
  // For FOR UPDATE: 1-based result column of the last sqlite statement that
  // carries the locked table's SQLite rowid, appended after the select list
  // and hidden from the describe; 0 = not provided (the whole table is locked).
  int lock_rowid_column = 0;
  // Queries over tables with LOB columns also carry each such table's SQLite
  // rowid after the select list (and after the lock's), hidden from the
  // describe, so that a LOB locator can name its row.
  struct LobRowid {
    std::string table;  // SQLite table name
    int column = 0;     // 1-based result column
  };
  std::vector<LobRowid> lob_rowids;
  // Select-list items that are LOB attributes of an object column (t.col.attr):
  // the column and the attribute's JSON path there, so that the LOB names its row.
  struct LobAttribute {
    int select_index = 0;  // 0-based
    std::string table, column, path;  // SQLite table and column names
  };
  std::vector<LobAttribute> lob_attributes;
  // Plain CLOB/BLOB columns of a top-level query come back as typeof(column), so
  // that fetching a locator never loads the value; a reader that needs the value
  // loads it from the row the table's rowid column names.
  struct DeferredLob {
    int column = 0;      // 0-based result column
    std::string table;   // SQLite table name
    std::string name;    // column name
  };
  std::vector<DeferredLob> deferred_lobs;
  // INSERT/UPDATE/DELETE ... RETURNING: the target table, the column each
  // returned item names (empty for expressions), and the 1-based result
  // column after them that carries the row's SQLite rowid.
  std::string dml_table;
  std::vector<std::string> returning_columns;
  int returning_rowid_column = 0;
  // A plain INSERT ... VALUES of binds and literals into a table without triggers, which
  // array DML may run for several rows in one statement (rows_insert): its text up to
  // VALUES, and the row's items. Empty for any other statement.
  std::string repeatable_insert_head, repeatable_insert_row;
};

// The repeatable insert of a translation for `rows` rows at once: row k's parameter n
// becomes parameter k * parameters + n.
std::string rows_insert(const Translation& insert, int parameters, int rows);

// Lets PL/SQL turn its own names inside embedded SQL into bind placeholders.
class NameResolver {
 public:
  virtual ~NameResolver() = default;
  // The placeholder name (upper case, without the colon) standing for a name
  // that is no column of the statement's tables; parts are upper case,
  // qualifier first. nullopt leaves the name to SQL.
  virtual std::optional<std::string> resolve(const std::vector<std::string>& parts) = 0;
  // True for an expression of the unit's own (SELECT expr FROM DUAL): a function
  // it calls is called by PL/SQL, not by a query.
  virtual bool in_plsql_expression() const { return false; }
  // "OWNER.NAME" of a function the catalogue does not hold yet (one being compiled) that parts name.
  virtual std::optional<std::string> function_being_compiled(const std::vector<std::string>&) { return std::nullopt; }
};

// Prepares a fresh or existing database file: the catalogue tables and the
// Oracle functions on this connection. Call once per connection.
void install(sqlite3* db, SessionContext* session);

// Creates the SCOTT account (password tiger) and the DEPT, EMP, BONUS, SALGRADE tables with their classic rows.
void create_demo_schema(sqlite3* db);

// Translates one Oracle statement (without a trailing ';' for SQL; PL/SQL
// blocks keep theirs). Raises OracleException (ORA-00900, 00933, 00942, 00904...
// with parse_offset) for text it cannot accept.
Translation translate(std::string_view oracle_sql, sqlite3* db, SessionContext& session,
                      NameResolver* resolver = nullptr);

// Oracle's error for a failed sqlite3 call on db (constraint names with
// (OWNER.NAME), ORA-01400 for NOT NULL, ORA-00942 for a missing table...).
OracleError map_sqlite_error(sqlite3* db, int sqlite_result_code);
// The same, with parse_offset pointing at the failing name or token in the
// original Oracle text (ORA-00904, ORA-00942, ORA-00933 at prepare time).
OracleError map_sqlite_error(sqlite3* db, int sqlite_result_code, std::string_view oracle_sql);

// The declared type of a column (from sqlite3_column_decltype), or nullopt when unknown.
std::optional<OracleType> parse_declared_type(const char* declared_type);

// Accounts. Status of a logon attempt.
enum class LogonResult { Ok, GracePeriod, Expired, BadPassword };
LogonResult authenticate(sqlite3* db, const std::string& user, const std::string& password);
void change_password(sqlite3* db, const std::string& user, const std::string& new_password);
bool user_exists(sqlite3* db, std::string_view name);
// Days named in ORA-28002 for an account in its grace period.
int grace_days(sqlite3* db, const std::string& user);
// Accounts enter the grace period with "ALTER USER name PASSWORD GRACE [days]"
// (7 days by default) and expire with "ALTER USER name PASSWORD EXPIRE";
// "ALTER USER name IDENTIFIED BY password" or change_password reopens them.

// Value conversions shared with the call interface.
std::string encode_rowid(int64_t table_object_id, int64_t sqlite_rowid);
// The object number encode_rowid uses for a table, given its SQLite name (as
// sqlite3_update_hook reports it); 0 when the table is unknown.
int64_t table_object_id(sqlite3* db, std::string_view sqlite_table);
bool decode_rowid(std::string_view text, int64_t& table_object_id, int64_t& sqlite_rowid);
// The four groups of an 18-character rowid text, as a client lays them out in binary.
struct RowidParts {
  uint32_t object = 0;
  uint16_t file = 0;
  uint32_t block = 0;
  uint16_t row = 0;
};
bool rowid_parts(std::string_view text, RowidParts& parts);
// DATE/TIMESTAMP storage text <-> Oracle format model (TO_CHAR/TO_DATE rules).
// A plain FF writes fraction_digits digits: the precision of the value's type.
std::string format_datetime(std::string_view storage_text, std::string_view format_model, int fraction_digits = 9);
std::string parse_datetime(std::string_view text, std::string_view format_model);  // raises OracleException (ORA-01858, 01843...)
// NUMBER as Oracle writes it as text: 0.5 -> ".5", 1e-130 in scientific form when needed.
std::string format_number(double value);
std::string format_number(int64_t value);

}  // namespace ociemu::sql
