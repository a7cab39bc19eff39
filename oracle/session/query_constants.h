// Client constants the query and its columns pass, with the values of
// Oracle's published headers (the session's own set is in oci_constants.h).
#pragma once

#include "oracle/binding/oci_types.h"

namespace kvell::query_oci {

constexpr sword kSuccess = 0;
constexpr sword kSuccessWithInfo = 1;
constexpr sword kNeedData = 99;
constexpr sword kNoData = 100;
constexpr sword kError = -1;
constexpr sword kInvalidHandle = -2;
constexpr sb4 kContinue = -24200;

constexpr ub4 kHandleStatement = 4;
constexpr ub4 kHandleError = 2;
constexpr ub4 kDescriptorParam = 53;
constexpr ub4 kDescriptorRowid = 54;

constexpr ub4 kAttrDataSize = 1;
constexpr ub4 kAttrDataType = 2;
constexpr ub4 kAttrName = 4;
constexpr ub4 kAttrPrecision = 5;
constexpr ub4 kAttrScale = 6;
constexpr ub4 kAttrIsNull = 7;
constexpr ub4 kAttrTypeName = 8;
constexpr ub4 kAttrSchemaName = 9;
constexpr ub4 kAttrRowCount = 9;
constexpr ub4 kAttrSqlFunctionCode = 10;
constexpr ub4 kAttrPrefetchRows = 11;
constexpr ub4 kAttrPrefetchMemory = 13;
constexpr ub4 kAttrParamCount = 18;
constexpr ub4 kAttrRowid = 19;
constexpr ub4 kAttrStatementType = 24;
constexpr ub4 kAttrCharsetForm = 32;
constexpr ub4 kAttrParseErrorOffset = 129;
constexpr ub4 kAttrParseErrorOffsetBefore81 = 128;
constexpr ub4 kAttrCharSize = 286;

constexpr ub4 kModeDefault = 0;
constexpr ub4 kModeDescribeOnly = 16;
constexpr ub4 kModeCommitOnSuccess = 32;
constexpr ub4 kModeScrollableReadOnly = 8;
constexpr ub4 kModeDynamicFetch = 2;
constexpr ub4 kNativeSyntax = 1;
constexpr ub2 kFetchNext = 2;

constexpr int kErrorNoData = 1403;
constexpr int kErrorTruncated = 1406;
constexpr int kErrorNotInSelectList = 1007;
constexpr sword kOci7LanguageNative = 2;

}  // namespace kvell::query_oci
