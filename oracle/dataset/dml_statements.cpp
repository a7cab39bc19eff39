#include "oracle/dataset/dml_statements.h"

#include "oracle/dataset/query_text_split.h"

namespace kvell {

namespace {

using dml_text::LineBreak;

// Appended in place: every post builds its statement anew.
void append_joined(std::string& text, const std::vector<std::string>& items, const char* separator,
                   const char* prefix = "") {
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) text += separator;
    text += prefix;
    text += items[i];
  }
}

std::string joined(const std::vector<std::string>& items, const char* separator) {
  std::string text;
  append_joined(text, items, separator);
  return text;
}

void append_returning_line(std::string& text, const ReturningPart& returning) {
  if (returning.Empty()) return;
  text += LineBreak;
  text += "returning ";
  append_joined(text, returning.Columns, ", ");
  text += " into ";
  append_joined(text, returning.Variables, ", ", ":");
}

std::string returning_line(const ReturningPart& returning) {
  std::string text;
  append_returning_line(text, returning);
  return text;
}

// The terms of a key condition, each on its own line after the first.
std::string key_terms(const std::vector<KeyTerm>& terms, bool own_names) {
  std::string text;
  int number = 0;
  for (size_t i = 0; i < terms.size(); ++i) {
    if (i > 0) text += std::string(LineBreak) + "and ";
    const KeyTerm& term = terms[i];
    if (term.IsNull) {
      text += term.FieldName + " is null";
    } else {
      text += term.FieldName + " = :" + (own_names ? term.FieldName : KeyVariableName(++number));
    }
  }
  return text;
}

bool is_lob(int type_code) { return type_code == 112 || type_code == 113; }

std::string empty_lob(int type_code) { return type_code == 112 ? "empty_clob()" : "empty_blob()"; }


// The value of a null column: what the server fills in, or "null".
ColumnValue null_value(const ColumnValueInput& input) {
  if (input.Insert && !input.DefaultExpression.empty()) return {input.DefaultExpression, ValueBinding::None, true};
  if (input.Insert && !input.ServerSequence.empty())
    return {input.ServerSequence + ".nextval", ValueBinding::None, true};
  if (input.NullLOBIsEmpty && is_lob(input.TypeCode) && !input.Xml)
    return {empty_lob(input.TypeCode), ValueBinding::None, input.Insert};
  if (input.NullObjectIsEmpty && input.TypeCode == 108)
    return {ObjectConstructor(input.ObjectTypeName, input.AttributeNullValues), ValueBinding::None, input.Insert};
  return {"null", ValueBinding::None, false};
}

}  // namespace

std::string KeyVariableName(int number) { return "kvell__key" + std::to_string(number); }

std::string ValueVariableName(int descriptor_index) { return "v" + std::to_string(descriptor_index); }

std::string KeyWhereClause(const std::vector<KeyTerm>& terms) { return "where " + key_terms(terms, false); }

std::string TableReference(const std::string& table, bool object_alias) {
  return object_alias ? table + " " + dml_text::ObjectAlias : table;
}

std::string ColumnReference(const std::string& column, bool object_alias) {
  return object_alias ? std::string(dml_text::ObjectAlias) + "." + column : column;
}

void ReturningPart::Add(const std::string& column, const std::string& variable) {
  Columns.push_back(column);
  Variables.push_back(variable);
}

std::string UpdateStatement(const std::string& table_reference, const std::vector<Assignment>& assignments,
                            const std::string& where_clause, const ReturningPart& returning) {
  // One allocation for the usual text instead of one per doubling.
  std::string text;
  text.reserve(96 + table_reference.size() + where_clause.size() + 24 * assignments.size());
  text += "update ";
  text += table_reference;
  text += LineBreak;
  text += "set ";
  for (size_t i = 0; i < assignments.size(); ++i) {
    if (i > 0) text += ", ";
    text += assignments[i].Column;
    text += " = ";
    text += assignments[i].Value;
  }
  text += LineBreak;
  text += where_clause;
  append_returning_line(text, returning);
  return text;
}

std::string InsertStatement(const std::string& table_reference, const std::vector<Assignment>& assignments,
                            const ReturningPart& returning) {
  std::vector<std::string> columns, values;
  for (const Assignment& assignment : assignments) {
    columns.push_back(assignment.Column);
    values.push_back(assignment.Value);
  }
  return "insert into " + table_reference + LineBreak + "  (" + joined(columns, ", ") + ")" + LineBreak +
         "values" + LineBreak + "  (" + joined(values, ", ") + ")" + returning_line(returning);
}

std::string DeleteStatement(const std::string& table, const std::string& where_clause) {
  return "delete from " + table + LineBreak + where_clause;
}

std::string SimpleRefreshStatement(const std::string& table, bool lock) {
  std::string text = "select * from " + table + " where rowid = :kvell__rowid";
  if (lock) text += std::string(LineBreak) + "for update nowait";
  return text;
}

std::string AllFieldsRefreshStatement(std::string_view dataset_sql, const std::string& select_table,
                                      const std::string& lock_field) {
  const QueryTextParts parts = SplitQueryText(CutAtEndRefresh(dataset_sql));
  const std::string row_test = select_table + ".rowid = :kvell__rowid";
  std::string text = parts.Select + LineBreak;
  if (!parts.Condition.empty()) {
    text += parts.Keyword + " (" + parts.Condition + ")" + LineBreak + "and" + LineBreak + "(" + row_test + ")";
  } else {
    text += parts.Keyword + " " + row_test;
  }
  if (!lock_field.empty()) text += std::string(LineBreak) + "for update of " + select_table + "." + lock_field + " nowait";
  return text;
}

std::string RowIdLookupStatement(const std::string& table, const std::vector<KeyTerm>& terms) {
  return "select rowid from " + table + " where" + LineBreak + key_terms(terms, true);
}

std::string SequenceStatement(const std::string& sequence) { return "select " + sequence + ".nextval from dual"; }

std::string ObjectConstructor(const std::string& type_name, const std::vector<std::string>& arguments) {
  return type_name + "(" + joined(arguments, ", ") + ")";
}

ColumnValue ColumnValueExpression(const ColumnValueInput& input) {
  if (input.IsNull) return null_value(input);
  const std::string variable = ":" + input.Variable;
  if (BindsValueVariable(input.TypeCode, input.Xml)) return {variable, ValueBinding::Value, false};
  if (input.Xml) return {"sys.xmltype.createxml(" + variable + ")", ValueBinding::Value, false};
  // The attributes bind their own variables.
  if (input.TypeCode == 108) return {ObjectConstructor(input.ObjectTypeName, input.AttributeValues), ValueBinding::None, false};
  // What is left is a LOB.
  if (input.TemporaryLOBs) return {variable, ValueBinding::TemporaryLOB, false};
  return {empty_lob(input.TypeCode), ValueBinding::ReturnedLOB, false};
}

bool BindsValueVariable(int type_code, bool xml) { return !xml && type_code != 108 && !is_lob(type_code); }

}  // namespace kvell
