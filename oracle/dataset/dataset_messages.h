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
// Automatic master/detail configuration at design time.
inline constexpr const char* AutoMasterDetailNeedsSession =
    "Automatic Master/Detail configuration is only\r\npossible if the Session is connected.";
inline constexpr const char* AutoMasterDetailNeedsMasterSQL =
    "Automatic Master/Detail configuration is only\r\npossible if the Master SQL text is set correctly.";
inline constexpr const char* AutoMasterDetailNeedsDetailSQL =
    "Automatic Master/Detail configuraion is only\r\npossible if the Detail SQL text is set correctly,\r\n"
    "or if the Master dataset contains one or more collection fields.";
inline constexpr const char* AutoMasterDetailNoForeignKey =
    "Automatic Master/Detail configuration is only\r\npossible if a foreign key constraint exists\r\n"
    "between the Master and Detail table.";
inline constexpr const char* AutoMasterDetailSeveralForeignKeys =
    "Automatic Master/Detail configuration is only\r\npossible if just one foreign key constraint\r\n"
    "exists between the Master and Detail table.";
inline constexpr const char* AutoMasterDetailConfirm =
    "Modify query to add variables to WHERE clause?\r\nNOTE: This will remove any existing WHERE clause and variables!";
inline constexpr const char* ConfirmCaption = "Confirm";
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
