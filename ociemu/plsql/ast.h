// The tree a PL/SQL unit compiles to: blocks with their declarations,
// statements and handlers, and expressions resolved to variable slots. SQL
// inside the unit stays Oracle text, with PL/SQL names turned into binds, and
// is translated and prepared on first use (SqlUse).
//
// Thread-safe: no; a tree and its prepared statements serve one execution at a time.
#pragma once

#include <sqlite3.h>

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "ociemu/plsql/value.h"

namespace ociemu::plsql {

struct Expr;
struct Stmt;
struct Ref;

// An attribute inside an object value held as stored text: its JSON path there
// ("$[1][0]" for the first attribute of the second), its type and how it is kept.
struct ObjectAttribute {
  enum Encoding : uint8_t { Plain, Hex, Json };  // Hex: RAW bytes; Json: an embedded object
  std::string path, parent;                       // parent: the path of the object holding it
  TypeSpec type;
  Encoding encoding = Plain;
};

// Where a name inside an expression or statement leads.
struct Ref {
  enum Kind : uint8_t {
    Slot,          // a local variable (slot)
    Field,         // field `field` of record slot
    Element,       // element `index` of index-by table slot
    TableMethod,   // COUNT/FIRST/LAST/EXISTS(index)/PRIOR/NEXT of table slot (`name`)
    Bind,          // host variable `name`
    BindElement,   // element `index` of host table `name`
    SqlAttribute,  // SQL%ROWCOUNT/FOUND/NOTFOUND/ISOPEN (`name`)
    CursorAttribute,  // cursor slot's %FOUND/%NOTFOUND/%ROWCOUNT/%ISOPEN (`name`); of cursor bind `bind` when slot < 0
    SqlCode,
    SqlErrm,
    Constant,      // `value`
    TriggerFlag,   // INSERTING/UPDATING/DELETING (`name`)
    LobIsTemporary,  // DBMS_LOB.ISTEMPORARY(`index`)
    PackageVariable,  // variable `slot` of package `name` ("OWNER.PACKAGE"), in the session's instance
    Attribute,     // `attribute` of the object `holder` refers to
  };
  Kind kind = Slot;
  int slot = -1;
  int field = -1;
  std::string name;
  std::string bind;     // CursorAttribute of a cursor the client passed in
  std::string package;  // CursorAttribute of a package's cursor (slot is the package's): "OWNER.PACKAGE"
  std::shared_ptr<Expr> index;
  Value value;
  std::shared_ptr<const Ref> holder;
  std::shared_ptr<const ObjectAttribute> attribute;
};

// A compiled SQL text with PL/SQL names replaced by placeholders OCIEMU$Pn,
// n indexing `refs`; other placeholders are the host's binds.
struct SqlUse {
  struct Prepared;

  std::string text;
  std::vector<Ref> refs;
  int line = 0, column = 0;  // where it starts in the unit

  std::shared_ptr<Prepared> prepared;  // translated and prepared at compile time
};

struct Expr {
  enum Form : uint8_t { Literal, Reference, Sql };
  Form form = Literal;
  Value literal;
  Ref ref;
  SqlUse sql;  // SELECT <expression> FROM DUAL
  bool condition = false;  // the SQL form yields 1/0/NULL standing for TRUE/FALSE/NULL
  int line = 0, column = 0;
  // Calls of functions with OUT or IN OUT parameters inside the SQL form, run
  // before it in order, each leaving its value in the slot the form reads.
  std::vector<std::shared_ptr<const Stmt>> calls;
};
using ExprPtr = std::shared_ptr<Expr>;

// An assignment target: a local, a record field, a table element or a bind.
struct Target {
  Ref ref;
  std::string text;  // as written, for messages
};

struct Block;
struct Signature;
struct Stmt;
struct Unit;
using StmtPtr = std::unique_ptr<Stmt>;
using StmtList = std::vector<StmtPtr>;

struct Branch {
  ExprPtr condition;  // null for ELSE
  StmtList body;
};

// The one DBMS_SQL procedure blocks may call: implicit results for the client.
inline constexpr std::string_view kReturnResult = "DBMS_SQL.RETURN_RESULT";

struct Stmt {
  enum Kind : uint8_t {
    Null, Assign, If, Case, Loop, While, ForRange, ForQuery, Exit, Continue, Return, Nested,
    SelectInto, Dml, Commit, Rollback, Savepoint, RollbackTo, Raise, RaiseApplicationError,
    Open, OpenFor, Fetch, Close, ExecuteImmediate, PutLine, OutputEnable, GetLine, Call,
  };
  Kind kind = Null;
  int line = 0, column = 0;
  std::string label;             // loops: <<label>>; Exit/Continue: the loop named
  std::vector<Target> targets;   // Assign (one), INTO lists, FETCH, GET_LINE (line, status)
  std::vector<ExprPtr> values;   // Assign (one), Return, RAISE_APPLICATION_ERROR, USING, call args
  ExprPtr condition;             // While, Exit/Continue WHEN, Case selector
  std::vector<Branch> branches;  // If/Case
  bool has_else = false;
  StmtList body;                 // loops
  std::unique_ptr<Block> block;  // Nested
  std::optional<SqlUse> sql;     // SelectInto, Dml, ForQuery (inline), OpenFor
  int slot = -1;                 // ForRange/ForQuery loop variable; cursor slot for Open/Fetch/Close (-1: bind `name`)
  int cursor = -1;               // explicit cursor (Unit::cursors) for Open/Fetch/Close/ForQuery
  bool reverse = false;
  bool bulk = false;             // BULK COLLECT INTO
  int exception = 0;             // Raise: exception id (0 = re-raise)
  std::string name;              // Savepoint name; Call: procedure
  std::string package;           // Open/Fetch/Close/ForQuery of a package's cursor: "OWNER.PACKAGE" (slot, cursor its own)
  ExprPtr low, high;             // ForRange bounds
  ExprPtr dynamic;               // ExecuteImmediate text; OpenFor on a string
  // Call of a procedure: `values` (IN, IN OUT) and `targets` (OUT, IN OUT) are
  // indexed by its parameters, a null IN value meaning the default. A stored one
  // is found by `name` ("OWNER.NAME") when it runs; a local one by `local`.
  std::shared_ptr<const Signature> callee;
  int local = -1;  // into Unit::subprograms
  // target := f(...) for a function with OUT or IN OUT parameters: a call whose value goes here.
  std::optional<Target> result;
};

// A declared exception: an Oracle code (predefined or PRAGMA EXCEPTION_INIT),
// else a user exception known by its id.
struct ExceptionInfo {
  std::string name;
  int code = 0;  // 0 = user-defined
};

struct Handler {
  std::vector<int> exceptions;  // ids into Unit::exceptions; empty = OTHERS
  StmtList body;
};

struct VarDecl {
  int slot = -1;
  TypeSpec type;
  ExprPtr initial;
  bool constant = false;
  bool not_null = false;
  int line = 0, column = 0;
};

// An explicit cursor: its query, its parameter slots.
struct CursorDecl {
  int slot = -1;
  SqlUse query;
  std::vector<int> parameters;
  std::vector<ExprPtr> parameter_defaults;
};

struct Block {
  std::string label;
  std::vector<VarDecl> variables;
  StmtList body;
  std::vector<Handler> handlers;
  int end_line = 0;
};

struct Parameter {
  enum Mode : uint8_t { In, Out, InOut };
  std::string name;
  int slot = -1;
  Mode mode = In;
  BaseType type = BaseType::Unknown;  // its declared type's, telling overloads of one name apart
  ExprPtr default_value;  // compiled in the program's own unit
  bool has_default = false;
};

// What a call is checked against: a program's parameters and, for a function, its result.
struct Signature {
  std::string name;  // "OWNER.NAME" of a stored program, the name of a local one
  std::vector<Parameter> parameters;
  bool function = false;
  TypeSpec return_type;
  int overload = 0;  // a package member's: which of the declarations of its name, in their order
};

// A PROCEDURE or FUNCTION declared inside a block: it runs on its unit's frame,
// its own slots [first_slot, end_slot) saved and restored around each call so
// that it may call itself.
struct Subprogram {
  Signature signature;
  std::unique_ptr<Block> block;  // null while only declared ahead
  int first_slot = 0, end_slot = 0;
  int line = 0;  // of its declaration, for backtraces
};

// A compiled unit: an anonymous block, a stored procedure or function, or a trigger body.
struct Unit {
  std::string name;  // "" for anonymous blocks, else "OWNER.NAME" for error backtraces
  std::vector<Parameter> parameters;
  bool function = false;
  TypeSpec return_type;  // functions
  std::vector<Subprogram> subprograms;
  Block block;
  std::vector<TypeSpec> slot_types;
  std::vector<std::string> slot_names;
  std::vector<ExceptionInfo> exceptions;
  std::vector<CursorDecl> cursors;
  // Triggers: the record slots of the row's new and old values (-1 elsewhere).
  int trigger_new_slot = -1, trigger_old_slot = -1;
  // Packages: what the package head declares, by name (the subprograms of that name, in
  // declaration order, or a variable's slot).
  struct PackageMember {
    std::vector<int> subprograms;
    int slot = -1;
    int cursor = -1;  // into cursors
  };
  std::map<std::string, PackageMember> package_members;
  std::map<std::string, TypeSpec> package_types;  // the types its head declares
  std::string package_declaration;  // its text, telling a replaced declaration from a replaced body
};

}  // namespace ociemu::plsql
