// DDL helpers shared by CREATE TABLE and ALTER TABLE: column declarations,
// constraint clauses and the triggers that enforce foreign keys and checks
// with Oracle's error texts.
//
// Thread-safe: yes (pure functions).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "ociemu/sql/catalogue.h"

namespace ociemu::sql {

class Translator;

struct ColumnDefinition {
  std::string name;
  std::string stored_name;     // SQLite's name when it differs (names that differ only by case)
  std::string declared_type;   // normalised Oracle type, the SQLite declared type
  std::string default_sql;     // translated DEFAULT expression, empty if none
  std::string default_text;    // DEFAULT as written, for the dictionary
  bool not_null = false;

  const std::string& stored() const { return stored_name.empty() ? name : stored_name; }
};

// Triggers for a foreign key: child inserts and updates need a parent row,
// parent deletes and key updates must not orphan children.
std::vector<std::string> foreign_key_triggers(const Constraint& key, const std::string& child_table,
                                              const std::string& parent_table,
                                              const std::vector<std::string>& parent_columns);
// Triggers that raise ORA-02290 when a row fails the condition (written with NEW. columns).
std::vector<std::string> check_triggers(const Constraint& check, const std::string& table,
                                        const std::string& new_row_condition);
// Names of the triggers the two functions above create, to drop them.
std::vector<std::string> constraint_trigger_names(const Constraint& constraint);

// Reads an Oracle column type at i (built-in or a named type); returns the normalised declaration.
std::string read_type(const Translator& t, int& i);
// A named type at i ([REF] [owner.]name) as a column declaration; ORA-00902 when unknown.
std::string named_type_declaration(const Translator& t, int& i);
// The type catalogue's rows for a dropped type (its OCIEMU$OBJECTS row aside).
void drop_type_catalogue_sql(const std::string& owner, const std::string& name, std::vector<std::string>& out);

// Checks a column type adds: ORA-01722 for non-numbers, ORA-01438, ORA-12899.
std::string column_checks(const ColumnDefinition& column, const std::string& owner, const std::string& table);

// A CHAR(n) or NCHAR(n) column's padding: n, in characters or in bytes.
struct BlankPadding {
  int size = 0;
  bool in_characters = false;
};
std::optional<BlankPadding> blank_padding(const std::string& declared_type);
// The stored form of value text for a blank-padded column: OCIEMU_BLANK_PAD(text, n, in_characters).
std::string blank_padded(const std::string& value_sql, const BlankPadding& padding);

}  // namespace ociemu::sql
