// The provider-support interface: what a data provider asks of a dataset to
// run commands and transactions and to describe its table, keys and order.
// A dataset that supports providers implements every operation.
// Thread-safe: as the implementing dataset.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "db/db_types.h"

namespace kvell {

class TDataSet;
class TParams;

enum TIndexOption : unsigned { ixPrimary = 1, ixUnique = 2, ixDescending = 4, ixCaseInsensitive = 8 };
using TIndexOptions = unsigned;

struct TIndexDef {
  std::string Name;
  std::string Fields;          // ';'-separated
  std::string DescFields;      // the fields of Fields sorted descending
  std::string CaseInsFields;   // the fields of Fields compared without case
  TIndexOptions Options = 0;
};

using TIndexDefs = std::vector<TIndexDef>;

class IProviderSupport {
 public:
  virtual ~IProviderSupport() = default;

  virtual void PSStartTransaction() = 0;
  virtual void PSEndTransaction(bool commit) = 0;
  virtual bool PSInTransaction() = 0;
  virtual void PSReset() = 0;
  virtual void PSSetCommandText(const std::string& command_text) = 0;
  virtual void PSExecute() = 0;
  virtual TParams* PSGetParams() = 0;
  virtual void PSSetParams(const TParams& params) = 0;
  virtual std::string PSGetQuoteChar() = 0;
  virtual std::string PSGetTableName() = 0;
  virtual std::string PSGetKeyFields() = 0;
  virtual TIndexDefs PSGetIndexDefs(TIndexOptions options) = 0;
  virtual std::optional<TIndexDef> PSGetDefaultOrder() = 0;
  virtual bool PSIsSQLBased() = 0;
  virtual bool PSIsSQLSupported() = 0;
  // Runs sql with params; returns rows affected. When result_set is given, a
  // dataset holding the statement's rows may be handed back (owned by the caller).
  virtual int PSExecuteStatement(const std::string& sql, TParams* params,
                                 TDataSet** result_set) = 0;
};

}  // namespace kvell
