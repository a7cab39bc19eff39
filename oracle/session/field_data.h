// Result columns of a select: TFieldData holds one column's describe data,
// its define type and size, and buffers for a whole row array; TLongPiece
// one piece of a LONG or LONG RAW value fetched through a dynamic define.
// Columns whose rows hold client objects (LOBs, timestamps, objects,
// references, cursors) delegate to a TComplexColumn that the LOB and object
// code registers. Thread-safe: no; owned and used by one query.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "oracle/binding/oci_types.h"
#include "oracle/session/complex_value.h"
#include "runtime/variant.h"

namespace kvell {

class TOracleSession;
class TFieldData;

struct TLongPiece {
  std::vector<uint8_t> Buffer;  // allocated size = Buffer.size()
  ub4 Filled = 0;               // bytes the client wrote
};

// The per-row client objects of one complex column.
class TComplexColumn {
 public:
  virtual ~TComplexColumn() = default;
  // Allocates the per-row descriptors and defines them at `position`.
  virtual void Define(OCIStmt* statement, OCIError* error, ub4 position) = 0;
  // Hands the row's descriptor or instance to the column object.
  virtual void LoadRow(int row) = 0;
  // Frees what the previous row array left (instances, temporary LOBs).
  virtual void BeforeFetch() = 0;
  virtual bool IsNull(int row) const = 0;
  virtual Variant Value(int row) const = 0;
  virtual std::string Text(int row) const = 0;
  virtual TComplexValue* ColumnObject() = 0;
};

using ComplexColumnFactory = std::function<std::unique_ptr<TComplexColumn>(TOracleSession&, TFieldData&)>;
// Registers the maker for columns of an internal type (108, 110, 112...); process-wide,
// called at start-up before queries run.
void RegisterComplexColumn(int internal_type, ComplexColumnFactory factory);
const ComplexColumnFactory* FindComplexColumn(int internal_type);

// A text define's row: the bytes before the terminating NUL (all `size`
// bytes when there is none) and whether they hold a CR or LF.
struct TRowText {
  std::string_view Text;
  bool LineBreak = false;
};
// Fetches scan every text field read through here.
TRowText ScanRowText(const uint8_t* bytes, size_t size);

class TFieldData {
 public:
  TFieldData() = default;
  TFieldData(const TFieldData&) = delete;
  TFieldData& operator=(const TFieldData&) = delete;

  // From the describe.
  int DataSize = 0;       // bytes
  int InternalType = 0;   // Oracle internal data type code
  std::string Name;       // at most 30 characters
  int Precision = 0;
  int Scale = 0;          // -127 with precision 0 is stored as 0
  bool Nullable = true;
  int CharsetForm = 1;
  int CharLength = 0;
  std::string TypeName;   // schema.type for object and reference columns
  OCIRef* TypeRef = nullptr;  // not owned; the describe's REF to an object column's type, read while defining

  // The define.
  int DefineType = 0;     // external type
  int DefineSize = 0;     // bytes per row
  int Rows = 0;           // row-array size
  std::vector<uint8_t> Buffer;       // Rows x DefineSize
  std::vector<sb2> Indicators;       // per row; -1 null
  std::vector<ub2> ReturnLengths;    // per row
  std::vector<ub2> ReturnCodes;      // per row; version 7 defines and LONG pieces only
  std::vector<std::unique_ptr<TLongPiece>> Pieces;  // LONG value of the current (single) row
  OCIDefine* Define = nullptr;
  std::unique_ptr<TComplexColumn> Complex;

  bool IsLong() const { return DefineType == 8 || DefineType == 24; }
  const uint8_t* Row(int row) const { return Buffer.data() + static_cast<size_t>(row) * static_cast<size_t>(DefineSize); }
  // Buffers for `rows` rows; return codes only where the define passes them.
  void Allocate(int rows, bool with_return_codes);
  // Total bytes of the collected LONG pieces.
  size_t LongLength() const;
  // The collected pieces joined.
  std::string LongBytes() const;
  // Supplies the next piece for a dynamic define: 4096 bytes first, then
  // double the previous while below 32768.
  TLongPiece& NextPiece();
};

}  // namespace kvell
