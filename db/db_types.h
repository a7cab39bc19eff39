// Shared vocabulary of the dataset framework: dataset states, field types and
// kinds, data events, record-fetch modes and results, bookmark flags, option
// sets, and EDatabaseError with the framework's fixed messages.
// Thread-safe: plain values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "db/filter_options.h"
#include "runtime/exception.h"

namespace kvell {

// Numbered from 0 in this order; descendants rely on the numbering.
enum TDataSetState {
  dsInactive,
  dsBrowse,
  dsEdit,
  dsInsert,
  dsSetKey,
  dsCalcFields,
  dsFilter,
  dsNewValue,
  dsOldValue,
  dsCurValue,
  dsBlockRead,
  dsInternalCalc,
  dsOpening,
};

inline bool IsEditState(TDataSetState state) { return state == dsEdit || state == dsInsert; }

enum TFieldType {
  ftUnknown,
  ftString,
  ftSmallint,
  ftInteger,
  ftWord,
  ftBoolean,
  ftFloat,
  ftCurrency,
  ftBCD,
  ftDate,
  ftTime,
  ftDateTime,
  ftBytes,
  ftVarBytes,
  ftAutoInc,
  ftBlob,
  ftMemo,
  ftGraphic,
  ftFmtMemo,
  ftParadoxOle,
  ftDBaseOle,
  ftTypedBinary,
  ftCursor,
  ftFixedChar,
  ftWideString,
  ftLargeint,
  ftADT,
  ftArray,
  ftReference,
  ftDataSet,
  ftOraBlob,
  ftOraClob,
  ftVariant,
  ftInterface,
  ftIDispatch,
  ftGuid,
};

// Display name of a field type ("String", "Integer", "Memo", ...).
const char* FieldTypeName(TFieldType type);
bool IsBlobType(TFieldType type);

enum TFieldKind { fkData, fkCalculated, fkLookup, fkInternalCalc, fkAggregate };

enum TDataEvent {
  deFieldChange,
  deRecordChange,
  deDataSetChange,
  deDataSetScroll,
  deLayoutChange,
  deUpdateRecord,
  deUpdateState,
  deCheckBrowseMode,
  dePropertyChange,
  deFieldListChange,
  deFocusControl,
  deParentScroll,
  deConnectChange,
  deReconcileError,
  deDisabledStateChange,
};

enum TGetMode { gmCurrent, gmNext, gmPrior };
enum TGetResult { grOK, grBOF, grEOF, grError };
enum TBookmarkFlag { bfCurrent, bfBOF, bfEOF, bfInserted };
enum TDataAction { daFail, daAbort, daRetry };
enum TUpdateStatus { usUnmodified, usModified, usInserted, usDeleted };
enum TBlobStreamMode { bmRead = 0, bmWrite = 1, bmReadWrite = 2 };
enum TUpdateKind { ukModify, ukInsert, ukDelete };

// Option sets are bit masks of these flags.
enum TResyncModeFlag : unsigned { rmExact = 1, rmCenter = 2 };
enum TLocateOption : unsigned { loCaseInsensitive = 1, loPartialKey = 2 };
using TResyncMode = unsigned;
using TLocateOptions = unsigned;

// A bookmark is the descendant's bookmark bytes; empty means none.
using TBookmark = std::vector<uint8_t>;
using TRecordBuffer = uint8_t*;
// A field's value where its dataset stores it, for reading without a copy.
struct TFieldBytes {
  bool kept = false;           // false: the dataset keeps no such bytes; GetFieldData reads the value
  const void* data = nullptr;  // valid while its record stays current; nullptr for a null value
};

class EDatabaseError : public Exception {
  using Exception::Exception;
};

// The silent exception: it unwinds an operation the application chose to
// abandon, and callers that show errors leave it unreported.
class EAbort : public Exception {
 public:
  EAbort();
};

// How a data provider treats a field when it writes changes back.
enum TProviderFlag : unsigned { pfInUpdate = 1, pfInWhere = 2, pfInKey = 4, pfHidden = 8 };
using TProviderFlags = unsigned;

// The framework's fixed messages; %s marks where a name goes.
namespace db_messages {
inline constexpr const char* NotEditing = "Dataset not in edit or insert mode";
inline constexpr const char* FieldNotFound = "Field '%s' not found";
inline constexpr const char* FieldRequired = "Field '%s' must have a value";
inline constexpr const char* DataSetClosed = "Cannot perform this operation on a closed dataset";
inline constexpr const char* DataSetOpen = "Cannot perform this operation on an open dataset";
inline constexpr const char* DataSetReadOnly = "Cannot modify a read-only dataset";
inline constexpr const char* DataSetEmpty = "Cannot perform this operation on an empty dataset";
inline constexpr const char* NotBrowsing = "Dataset not in browse mode";
inline constexpr const char* RecordNotFound = "Record not found";
inline constexpr const char* BookmarkNotFound = "Bookmark not found";
inline constexpr const char* FieldReadOnly = "Field '%s' cannot be modified";
inline constexpr const char* FieldAccessError = "Cannot access field '%s' as type %s";
inline constexpr const char* FieldTypeMismatch = "Type mismatch for field '%s', expecting: %s actual: %s";
inline constexpr const char* FieldRangeError =
    "%s is not a valid value for field '%s'. The allowed range is %s to %s";
inline constexpr const char* InvalidFieldKind = "Invalid value for field kind";
inline constexpr const char* DuplicateFieldName = "Duplicate field name '%s'";
inline constexpr const char* DataSetMissing = "Field '%s' has no dataset";
inline constexpr const char* LookupInfoError = "Lookup information for field '%s' is incomplete";
inline constexpr const char* ParameterNotFound = "Parameter '%s' not found";
inline constexpr const char* InvalidCharacter = "'%s' is not a valid character for field '%s'";
inline constexpr const char* OperationAborted = "Operation aborted";
inline constexpr const char* CircularDataLink = "Circular datalinks are not allowed";
}  // namespace db_messages

// Replaces each %s of pattern by the next argument.
std::string FormatMessage(const char* pattern, std::initializer_list<std::string> arguments);

[[noreturn]] void DatabaseError(const std::string& message);
[[noreturn]] void DatabaseErrorFmt(const char* pattern, std::initializer_list<std::string> arguments);

}  // namespace kvell
