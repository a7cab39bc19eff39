// TDataSetDictionary: column defaults for new records and the field settings
// taken from the dictionary (kinds, sizes, ranges, display formats).
#include <cmath>

#include "oracle/dataset/dataset_dictionary.h"
#include "oracle/dataset/dataset_writer.h"
#include "oracle/dataset/dictionary_format.h"
#include "oracle/dataset/oracle_dataset.h"
#include "oracle/session/oracle_session.h"
#include "runtime/text_trim.h"

namespace kvell {

// ---- defaults ----

void TDataSetDictionary::ApplyDefaults() {
  TOracleSession* session = dataset_.Session();
  if (!dataset_.OracleDictionary.DefaultValues || !session || !session->Connected()) return;
  TOracleTableInfo& info = TableInfo();
  if (!info.ReadDefaults()) return;
  if (dataset_.OracleDictionary.DynamicDefaults || !info.DefaultsEvaluated) evaluate_defaults(info);
  for (TField* field : dataset_.Fields()) {
    const TOracleColumnInfo* column = info.FindColumn(field->FieldName());
    if (column && !column->DefaultText.empty()) field->SetAsVariant(column->DefaultValue);
  }
}

void TDataSetDictionary::evaluate_defaults(TOracleTableInfo& info) {
  StatementBinds binds;
  std::string text = "begin\r\n";
  for (const TOracleColumnInfo& column : info.Columns()) {
    if (column.DefaultText.empty()) continue;
    text += "  :" + column.Name + " := " + column.DefaultText + ";\r\n";
    binds.Declare(column.Name, VariableTypeOfColumn(column));
  }
  text += "end;";
  TOracleQuery& query = dataset_.writer().RunDictionary(text, binds, dataset_.Debug());
  for (const TOracleColumnInfo& column : info.Columns()) {
    if (column.DefaultText.empty()) continue;
    info.FindColumn(column.Name)->DefaultValue = query.GetVariable(column.Name);
  }
  dataset_.writer().CloseByRule(query);
  info.DefaultsEvaluated = true;
}

// ---- field settings ----

void TDataSetDictionary::ApplyFieldSettings() {
  TOracleSession* session = dataset_.Session();
  if (!session || !session->Connected()) return;
  const TOracleDictionary& dictionary = dataset_.OracleDictionary;
  TOracleFieldInfoList& infos = dataset_.field_infos_;
  TOracleQuery* fetched = dataset_.FetchQuery();
  for (TField* field : dataset_.Fields()) {
    if (field->FieldNo() <= 0 || field->FieldNo() >= infos.Count()) continue;
    const TOracleFieldInfo& info = infos[field->FieldNo()];
    if (dictionary.CharacterSize() && field->DataType() == ftString && info.Kind == fiColumn && fetched &&
        info.ColumnIndex >= 0 && info.ColumnIndex < fetched->ColumnCount()) {
      const int characters = fetched->Column(info.ColumnIndex).CharLength;
      if (characters > 0) {
        field->SetSize(characters);
        field->SetDisplayWidth(characters);
      }
    }
    if (info.OracleType == 108 || info.OracleType == 110) field->Visible = false;
  }
  if ((dictionary.FieldKinds || dictionary.RangeValues || dictionary.DisplayFormats()) &&
      !IsBlank(dataset_.GetUpdatingTableName()))
    apply_table_settings(TableInfo());
}

void TDataSetDictionary::apply_table_settings(TOracleTableInfo& info) {
  const TOracleDictionary& dictionary = dataset_.OracleDictionary;
  info.Columns();
  for (TField* field : dataset_.Fields()) {
    if (field->FieldKind() != fkData && field->FieldKind() != fkInternalCalc) continue;
    const TOracleColumnInfo* column = info.FindColumn(field->FieldName());
    if (!column) {
      if (dictionary.FieldKinds && field->FieldKind() == fkData) {
        field->SetFieldKind(fkInternalCalc);
        field->ReadOnly = true;
      }
      continue;
    }
    if (dictionary.RangeValues) ApplyRange(*field, column->Precision, column->Scale);
    if (dictionary.DisplayFormats()) ApplyDisplayFormat(*field, column->Precision, column->Scale);
  }
}

}  // namespace kvell
