// The fixed texts the Oracle dataset raises or shows, in one place so that
// tests compare them and later parts reuse them.
#pragma once

#include <cstdint>
#include <string>

namespace kvell::dataset_messages {

inline constexpr const char* NoRecords = "No Records";
inline constexpr const char* UnexpectedDatatype = "Unexpected datatype: ";
inline constexpr const char* ForeignAddBuffer = "InternalAddRecord: b <> buffer";
inline constexpr const char* CachedUpdatesRequireRowId = "CachedUpdates requires a rowid!";
inline constexpr const char* CachedUpdatesPending =
    "CachedUpdates cannot be turned off while updates are pending: apply or cancel them first";
inline constexpr const char* RefreshWithCachedDetails =
    "Refresh not allowed: detail records have cached updates.\r\nYou have to apply the updates first";
inline constexpr const char* NotInQBEMode = "Operation not allowed in QBE mode";
inline constexpr const char* NoVariableForParameter = "No variable for parameter ";
inline constexpr const char* SessionUndefined = "Session undefined";
inline constexpr const char* RowIdNotSelected = "You cannot search a rowid if it is not included in the select list";
// Follow the dataset's Name.
inline constexpr const char* SearchOptionsInvalid = ".SearchRecord options invalid";
inline constexpr const char* SearchValueCountMismatch = ".SearchRecord: number of fields and values do not match";
inline constexpr const char* CannotCountCursor = "Cannot count query hits for cursor dataset";
inline constexpr const char* CircularMasterDetail = "Circular master/detail dependency not allowed";
inline constexpr const char* RowIdAllocationsAssertion = "Assertion failed: RowIdAllocations = 0";

// "Bookmark not found (<id>)"
std::string BookmarkNotFound(int32_t id);
// "<dataset name>: Record <number> not accessible in Unidirectional mode"
std::string NotInUnidirectionalMode(const std::string& dataset_name, int number);
// "BUG: Duplicate record in filtered list (<position>)"
std::string DuplicateInFilteredList(int position);
// Steps whose behaviour comes with the dataset's write-back, searching and
// master/detail parts; until they exist the dataset refuses them with
// "<operation> is not available for TOracleDataSet yet" rather than doing
// half of it.
std::string NotAvailableYet(const std::string& operation);

}  // namespace kvell::dataset_messages
