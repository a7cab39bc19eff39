// Codes the PL/SQL engine raises and the PLS- texts of its compile errors
// (ORA- texts live in the dialect's message table).
//
// Thread-safe: yes (constants).
#pragma once

#include <string_view>

namespace ociemu::plsql {

inline constexpr int kCompileError = 6550;            // ORA-06550: line n, column m: + a PLS- text
inline constexpr int kValueErrorCode = 6502;          // VALUE_ERROR
inline constexpr int kBacktraceCode = 6512;           // ORA-06512: at line n
inline constexpr int kUnhandledUserCode = 6510;
inline constexpr int kNoDataFoundCode = 1403;
inline constexpr int kTooManyRowsCode = 1422;
inline constexpr int kUserExceptionCode = 1;           // SQLCODE of a user exception
inline constexpr int kApplicationErrorRangeCode = 21000;
inline constexpr int kStorageErrorCode = 6500;        // STORAGE_ERROR: calls nested too deep
inline constexpr int kNoReturnCode = 6503;            // a function reached its end
inline constexpr int kProgramNotFound = 6508;
inline constexpr int kSqlCallError = 6553;            // a PLS- error of a function called from SQL
inline constexpr int kOutArgumentsInSql = 6572;
inline constexpr int kUninitializedComposite = 6530;
inline constexpr int kDmlInQueryCode = 14551;
inline constexpr int kCommitInSqlCode = 14552;

// What follows "numeric or value error" in ORA-06502.
inline constexpr std::string_view kBufferTooSmall = ": character string buffer too small";
inline constexpr std::string_view kCharacterToNumber = ": character to number conversion error";
inline constexpr std::string_view kPrecisionTooLarge = ": number precision too large";
inline constexpr std::string_view kNullIndexKey = ": NULL index table key value";

inline constexpr std::string_view kUserDefinedException = "User-Defined Exception";
inline constexpr std::string_view kNormalCompletion = "ORA-0000: normal, successful completion";

// Compile errors: the PLS- text of ORA-06550, and the line Oracle adds after it.
inline constexpr std::string_view kPlsEncountered =
    "PLS-00103: Encountered the symbol \"%s\" when expecting one of the following:\n\n   %s";
inline constexpr std::string_view kPlsNotDeclared = "PLS-00201: identifier '%s' must be declared";
inline constexpr std::string_view kPlsNotAssignable = "PLS-00363: expression '%s' cannot be used as an assignment target";
inline constexpr std::string_view kPlsUnsupported = "PLS-00999: implementation restriction (may be temporary) %s";
inline constexpr std::string_view kPlsDuplicate = "PLS-00371: at most one declaration for '%s' is permitted";
inline constexpr std::string_view kPlsWrongType = "PLS-00382: expression is of wrong type";
inline constexpr std::string_view kPlsExitOutsideLoop =
    "PLS-00376: illegal EXIT/CONTINUE statement; it must appear inside a loop";
inline constexpr std::string_view kPlsNeedsInit =
    "PLS-00218: a variable declared NOT NULL must have an initialization assignment";
inline constexpr std::string_view kPlsIntoExpected = "PLS-00428: an INTO clause is expected in this SELECT statement";
inline constexpr std::string_view kPlsBareRaise =
    "PLS-00367: a RAISE statement with no exception name must be inside an exception handler";
inline constexpr std::string_view kPlsArrayBindType = "PLS-00418: array bind type must match PL/SQL table row type";
inline constexpr std::string_view kPlsWrongArguments = "PLS-00306: wrong number or types of arguments in call to '%s'";
inline constexpr std::string_view kPlsWrongArgumentsShort = "306: wrong number or types of arguments in call to '%s'";
inline constexpr std::string_view kPlsPositionalAfterNamedShort =
    "312: a positional parameter association may not follow a named association";
inline constexpr std::string_view kPlsInvalidObject = "PLS-00905: object %s is invalid";
inline constexpr std::string_view kPlsNotProcedure = "PLS-00221: '%s' is not a procedure or is undefined";
inline constexpr std::string_view kPlsNoBody =
    "PLS-00328: A subprogram body must be defined for the forward declaration of %s.";
inline constexpr std::string_view kPlsReturnInProcedure =
    "PLS-00372: In a procedure, RETURN statement cannot contain an expression";
inline constexpr std::string_view kPlsReturnNeedsValue =
    "PLS-00503: RETURN <value> statement required for this return from function";
inline constexpr std::string_view kPlsNoComponent = "PLS-00302: component '%s' must be declared";
inline constexpr std::string_view kPlsNotFunction = "PLS-00222: no function with name '%s' exists in this scope";
inline constexpr std::string_view kStatementIgnored = "PL/SQL: Statement ignored";
inline constexpr std::string_view kSqlStatementIgnored = "PL/SQL: SQL Statement ignored";

}  // namespace ociemu::plsql
