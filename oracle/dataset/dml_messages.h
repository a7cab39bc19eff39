// The fixed texts of writing a dataset back: the messages raised when a row
// is gone, changed or locked, when an action has no rowid or no key, and when
// a rowid cannot be found again after an insert.
// Thread-safe: constants.
#pragma once

namespace kvell::dml_messages {

inline constexpr const char* RecordDeleted = "Record has been deleted by another user";
inline constexpr const char* RecordChanged = "Record has been changed by another user";
inline constexpr const char* RecordLocked = "Record is locked by another user";

// An action without a rowid: the action name, then NoRowIdTail.
inline constexpr const char* LockRefreshOrCheckAction = "A lock, refresh or check";
inline constexpr const char* DeleteAction = "A delete";
inline constexpr const char* NoRowIdTail =
    " cannot be performed without a rowid.\r\n"
    "Provide a rowid in the query or handle this action in the OnApplyRecord event";

inline constexpr const char* CursorDataSetNeedsTable = "UpdatingTable property required for cursor dataset";
inline constexpr const char* NoUniqueFields = "No UniqueFields are present in dataset";
inline constexpr const char* NoKeyColumns = "Primary or Unique key columns must be included";
inline constexpr const char* RowIdNotFound = "Error determining ROWID: no record found";
inline constexpr const char* RowIdNotUnique = "Error determining ROWID: more than one record found";
inline constexpr const char* NoDataFields = ": No data fields";  // after the dataset's Name

// Server error of a row locked by another session (resource busy, NOWAIT).
inline constexpr int ResourceBusyError = 54;

}  // namespace kvell::dml_messages
