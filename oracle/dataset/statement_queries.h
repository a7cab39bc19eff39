// The statement queries of a dataset's generated statements: one prepared
// TOracleQuery per statement text, so that statements a post alternates
// between (compare at edit, lock, update) are parsed and described once
// instead of at every use. A statement's variables are gathered first
// (StatementBinds) and declared on its query only when they differ from what
// the query holds, so re-declaring does not force a new parse either. Binds
// cleared and declared again alike keep their entries, and a query bound from
// them again skips the comparison of names.
// Thread-safe: no; as its dataset.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "runtime/variant.h"

namespace kvell {

class TComplexValue;
class TOracleQuery;

// The variables of one generated statement, in declaration order.
class StatementBinds {
 public:
  // Declares `name` with `type` unless a variable of that name (any case)
  // exists; the variable's position either way.
  int Declare(std::string_view name, int type);
  void Set(std::string_view name, Variant value);
  void Set(int position, Variant value);
  // Sets a character value without copying it: `text` must stay valid until
  // the binds are set on a query.
  void SetText(std::string_view name, std::string_view text);
  void SetText(int position, std::string_view text);
  void SetObject(std::string_view name, TComplexValue* object);
  bool Has(std::string_view name) const;
  // Forgets every variable and value, keeping the entries for the next
  // statement's declarations.
  void Clear();
  // The variable's index on the query these binds are set on; -1 when not declared.
  int Position(std::string_view name) const;

  // What the declared variables are: binds of equal shapes declare the same
  // names with the same types, in the same order.
  struct Shape {
    uint64_t Id = 0;  // 0: nothing declared yet
    size_t Count = 0;  // variables declared
    bool operator==(const Shape&) const = default;
  };

 private:
  friend class TStatementQueries;
  struct Entry {
    std::string Name;
    int Type = 0;
    Variant Value;
    TComplexValue* Object = nullptr;  // bound instead of Value for LOB and object types
    bool IsObject = false;
    std::string_view Text;  // bound instead of Value when IsText; not owned
    bool IsText = false;
  };
  Entry& entry(std::string_view name);
  Entry& at(int position);
  const Entry* find(std::string_view name) const;
  const Entry* begin() const { return entries_.data(); }
  const Entry* end() const { return entries_.data() + count_; }
  Shape shape() const { return {shape_id_, count_}; }
  static void forget_value(Entry& target);
  static void set_value(Entry& target, Variant value);
  static void set_text(Entry& target, std::string_view text);
  std::vector<Entry> entries_;  // the first count_ are declared; the rest wait to be declared alike again
  size_t count_ = 0;
  uint64_t shape_id_ = 0;  // new whenever an entry is made or replaced
};

class TStatementQueries {
 public:
  // Queries kept prepared at once; the least recently used goes first.
  static constexpr size_t kLimit = 8;

  TStatementQueries() = default;
  ~TStatementQueries();
  TStatementQueries(const TStatementQueries&) = delete;
  TStatementQueries& operator=(const TStatementQueries&) = delete;

  // The query holding `text` with `binds` declared and set, made on first use.
  // `remember` makes it the one Last() answers.
  TOracleQuery& Bind(std::string_view text, const StatementBinds& binds, bool remember);
  // The query of the last remembered statement; null before the first.
  TOracleQuery* Last() const { return last_; }
  // After a failed execution: the query parses its text again at its next use.
  static void Reparse(TOracleQuery& query);
  // Unbinds every LOB and object variable, before the values bound go away.
  void DetachObjects();
  // Frees every query.
  void Clear();

 private:
  struct Entry {
    std::string Text;
    std::vector<std::pair<std::string, int>> Declared;  // names and types of the variables the query holds
    StatementBinds::Shape BoundShape;  // of the binds last declared alike to Declared
    uint64_t LastUse = 0;
    std::unique_ptr<TOracleQuery> Query;
  };
  Entry& entry_for(std::string_view text);
  static bool declared_alike(const Entry& entry, const StatementBinds& binds);

  std::vector<Entry> entries_;
  TOracleQuery* last_ = nullptr;
  uint64_t uses_ = 0;
};

}  // namespace kvell
