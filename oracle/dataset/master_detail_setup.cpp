// Automatic master/detail configuration: the checks, the foreign key read
// from the dictionary, the collection column chosen through the user
// interface, and the SQL written for the detail.
#include "oracle/dataset/master_detail_setup.h"

#include "oracle/dataset/dataset_messages.h"
#include "oracle/dataset/dataset_writer.h"
#include "oracle/dataset/dictionary_text.h"
#include "oracle/dataset/oracle_dataset.h"
#include "oracle/dataset/sql_text_mask.h"
#include "oracle/dataset/statement_queries.h"
#include "oracle/dataset/table_info.h"
#include "oracle/session/oracle_session.h"
#include "oracle/ui/ui_hooks.h"
#include "runtime/ansi_case.h"

namespace kvell {
namespace {

constexpr int kFixedCharType = 96;
constexpr int kZeroTerminatedCharType = 97;

std::string key_terms(const std::vector<std::string>& columns, const std::string& prefix) {
  std::string terms;
  for (const std::string& column : columns) {
    const std::string name = AnsiLowerCase(column);
    if (!terms.empty()) terms += " and ";
    terms += prefix + name + " = :" + name;
  }
  return terms;
}

std::string joined_names(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ";") + name;
  return text;
}

// Fixed character keys compare blank-padded only when bound as such.
int key_variable_type(TOracleTableInfo& table, const std::string& column) {
  table.Columns();
  const TOracleColumnInfo* info = table.FindColumn(column);
  if (!info) return 5;
  return info->TypeCode == kFixedCharType ? kZeroTerminatedCharType : VariableTypeOfColumn(*info);
}

void bind_name(StatementBinds& binds, const char* name, const std::string& value) {
  binds.Declare(name, 5);
  binds.Set(name, value);
}

}  // namespace

std::string WithKeyCondition(const std::string& sql, const std::vector<std::string>& columns) {
  const std::string masked = MaskSqlText(sql);
  const size_t order = FindSqlWord(masked, "ORDER", 0, true);
  const size_t where = FindSqlWord(masked, "WHERE", 0, true);
  const size_t end = order == std::string::npos ? sql.size() : order;
  const size_t start = where == std::string::npos || where > end ? end : where;
  std::string head = sql.substr(0, start);
  // Appended to the last line, the clause would continue it.
  if (!head.empty() && head.back() != '\n' && head.back() != ' ') head += "\r\n";
  return head + "where " + key_terms(columns, "") + "\r\n" + sql.substr(end);
}

std::string CollectionDetailQuery(const std::string& master_table, const std::string& column,
                                  const std::vector<std::string>& key_columns, bool read_only) {
  return std::string(read_only ? "select t.*\r\n" : "select t.*, t.rowid\r\n") +
         "from table(select m." + AnsiLowerCase(column) + " from " + master_table + " m\r\n"
         "           where " + key_terms(key_columns, "m.") + ") t\r\n";
}

// ---- the dataset's side ----

void TOracleDataSet::configure_master_detail() {
  if (!session_ || !session_->Connected()) DatabaseError(dataset_messages::AutoMasterDetailNeedsSession);
  if (master_->GetUpdatingTableName().empty()) DatabaseError(dataset_messages::AutoMasterDetailNeedsMasterSQL);
  const std::vector<std::string> collections = master_->collection_columns();
  if (!collections.empty()) return link_to_collection(collections);
  if (GetUpdatingTableName().empty()) DatabaseError(dataset_messages::AutoMasterDetailNeedsDetailSQL);
  link_by_foreign_key();
}

// Describes a closed master for the purpose.
std::vector<std::string> TOracleDataSet::collection_columns() {
  if (!Active() && session_ && session_->Connected()) InitFieldDefs();
  std::vector<std::string> columns;
  for (int i = 1; i < field_infos_.Count(); ++i)
    if (field_infos_[i].ObjectIsCollection) columns.push_back(field_infos_[i].FieldName);
  return columns;
}

void TOracleDataSet::link_by_foreign_key() {
  MasterFields.clear();
  DetailFields.clear();
  TOracleTableInfo& detail = TableInfo();
  TOracleTableInfo& master = master_->TableInfo();
  StatementBinds binds;
  bind_name(binds, "fk_owner", detail.Owner());
  bind_name(binds, "fk_table_name", detail.TableName());
  bind_name(binds, "pk_owner", master.Owner());
  bind_name(binds, "pk_table_name", master.TableName());
  TOracleQuery& keys = writer().RunDictionary(dictionary_text::MasterDetailForeignKeys, binds);
  if (keys.Eof()) DatabaseError(dataset_messages::AutoMasterDetailNoForeignKey);
  const std::string foreign_key = keys.FieldText(0);
  const std::string primary_key = keys.FieldText(1);
  keys.Next();
  const bool several = !keys.Eof();
  writer().CloseByRule(keys);
  if (several) DatabaseError(dataset_messages::AutoMasterDetailSeveralForeignKeys);

  const bool consent = ConfirmDialog(dataset_messages::AutoMasterDetailConfirm, dataset_messages::ConfirmCaption, "YN") == mrYes;
  const std::vector<std::string> detail_columns = constraint_columns(detail.Owner(), foreign_key);
  DetailFields = joined_names(detail_columns);
  MasterFields = joined_names(constraint_columns(master.Owner(), primary_key));
  if (!consent) return;
  DeleteVariables();
  SetSQLText(WithKeyCondition(SQL().Text(), detail_columns));
  for (const std::string& column : detail_columns)
    DeclareVariable(AnsiLowerCase(column), key_variable_type(detail, column));
}

std::vector<std::string> TOracleDataSet::constraint_columns(const std::string& owner, const std::string& constraint) {
  StatementBinds binds;
  bind_name(binds, "owner", owner);
  bind_name(binds, "constraint_name", constraint);
  std::vector<std::string> columns;
  TOracleQuery& query = writer().RunDictionary(dictionary_text::ConstraintColumnNames, binds);
  for (; !query.Eof(); query.Next()) columns.push_back(query.FieldText(0));
  writer().CloseByRule(query);
  return columns;
}

// The master's key links the detail to the row whose collection it shows.
void TOracleDataSet::link_to_collection(const std::vector<std::string>& collections) {
  const std::vector<std::string> keys = master_->DictionaryKeyColumns(false);
  if (keys.empty()) DatabaseError(dataset_messages::AutoMasterDetailNeedsMasterSQL);
  const TCollectionColumnChoice choice = SelectMasterCollectionColumn(collections);
  if (!choice.Ok || choice.Index < 0 || choice.Index >= static_cast<int>(collections.size())) return;
  MasterFields = joined_names(keys);
  DetailFields = MasterFields;
  DeleteVariables();
  const std::string& column = collections[static_cast<size_t>(choice.Index)];
  SetSQLText(CollectionDetailQuery(master_->GetUpdatingTableName(), column, keys, choice.ReadOnly));
  TOracleTableInfo& master = master_->TableInfo();
  for (const std::string& key : keys) DeclareVariable(AnsiLowerCase(key), key_variable_type(master, key));
  ReadOnly = choice.ReadOnly;
}

}  // namespace kvell
