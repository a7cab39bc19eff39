#include "ociemu/sql/messages.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdio>
#include <iterator>

namespace ociemu::sql {
namespace {

struct Message {
  int code;
  std::string_view text;
};

// Sorted by code (checked once below) so lookups can bisect.
constexpr Message kMessages[] = {
    {1, "unique constraint (%s.%s) violated"},
    {36, "maximum number of recursive SQL levels (%s) exceeded"},
    {51, "timeout occurred while waiting for a resource"},
    {54, "resource busy and acquire with NOWAIT specified or timeout expired"},
    {60, "deadlock detected while waiting for resource"},
    {100, "no data found"},
    {600, "internal error code, arguments: [%s], [%s]"},
    {900, "invalid SQL statement"},
    {901, "invalid CREATE command"},
    {902, "invalid datatype"},
    {903, "invalid table name"},
    {904, "%s: invalid identifier"},
    {905, "missing keyword"},
    {906, "missing left parenthesis"},
    {907, "missing right parenthesis"},
    {909, "invalid number of arguments"},
    {910, "specified length too long for its datatype"},
    {911, "invalid character"},
    {913, "too many values"},
    {918, "column ambiguously defined"},
    {921, "unexpected end of SQL command"},
    {922, "missing or invalid option"},
    {923, "FROM keyword not found where expected"},
    {925, "missing INTO keyword"},
    {926, "missing VALUES keyword"},
    {927, "missing equal sign"},
    {928, "missing SELECT keyword"},
    {932, "inconsistent datatypes: expected %s got %s"},
    {933, "SQL command not properly ended"},
    {934, "group function is not allowed here"},
    {936, "missing expression"},
    {938, "not enough arguments for function"},
    {940, "invalid ALTER command"},
    {942, "table or view does not exist"},
    {946, "missing TO keyword"},
    {947, "not enough values"},
    {950, "invalid DROP option"},
    {955, "name is already used by an existing object"},
    {957, "duplicate column name"},
    {969, "missing ON keyword"},
    {971, "missing SET keyword"},
    {988, "missing or invalid password(s)"},
    {1000, "maximum open cursors exceeded"},
    {1001, "invalid cursor"},
    {1002, "fetch out of sequence"},
    {1007, "variable not in select list"},
    {1008, "not all variables bound"},
    {1012, "not logged on"},
    {1013, "user requested cancel of current operation"},
    {1017, "invalid username/password; logon denied"},
    {1031, "insufficient privileges"},
    {1036, "illegal variable name/number"},
    {1086, "savepoint '%s' never established in this session or is invalid"},
    {1400, "cannot insert NULL into (%s)"},
    {1402, "view WITH CHECK OPTION where-clause violation"},
    {1403, "no data found"},
    {1405, "fetched column value is NULL"},
    {1406, "fetched column value was truncated"},
    {1407, "cannot update (%s) to NULL"},
    {1410, "invalid ROWID"},
    {1416, "two tables cannot be outer-joined to each other"},
    {1418, "specified index does not exist"},
    {1422, "exact fetch returns more than requested number of rows"},
    {1425, "escape character must be character string of length 1"},
    {1426, "numeric overflow"},
    {1427, "single-row subquery returns more than one row"},
    {1428, "argument '%s' is out of range"},
    {1430, "column being added already exists in table"},
    {1432, "public synonym to be dropped does not exist"},
    {1434, "private synonym to be dropped does not exist"},
    {1435, "user does not exist"},
    {1436, "CONNECT BY loop in user data"},
    {1438, "value larger than specified precision allowed for this column"},
    {1445, "cannot select ROWID from, or sample, a join view without a key-preserved table"},
    {1455, "converting column overflows integer datatype"},
    {1458, "invalid length inside variable character string"},
    {1465, "invalid hex number"},
    {1468, "a predicate may reference only one outer-joined table"},
    {1476, "divisor is equal to zero"},
    {1481, "invalid number format model"},
    {1489, "result of string concatenation is too long"},
    {1653, "unable to extend table"},
    {1719, "outer join operator (+) not allowed in operand of OR or IN"},
    {1722, "invalid number"},
    {1730, "invalid number of column names specified"},
    {1732, "data manipulation operation not legal on this view"},
    {1733, "virtual column not allowed here"},
    {1740, "missing double quote in identifier"},
    {1741, "illegal zero-length identifier"},
    {1744, "inappropriate INTO"},
    {1745, "invalid host/bind variable name"},
    {1747, "invalid user.table.column, table.column, or column name"},
    {1752, "cannot delete from view without exactly one key-preserved table"},
    {1756, "quoted string not properly terminated"},
    {1760, "illegal argument for function"},
    {1775, "looping chain of synonyms"},
    {1776, "cannot modify more than one base table through a join view"},
    {1779, "cannot modify a column which maps to a non key-preserved table"},
    {1788, "CONNECT BY clause required in this query block"},
    {1789, "query block has incorrect number of result columns"},
    {1792, "maximum number of columns in a table or view is 1000"},
    {1821, "date format not recognized"},
    {1830, "date format picture ends before converting entire input string"},
    {1839, "date not valid for month specified"},
    {1841, "(full) year must be between -4713 and +9999, and not be 0"},
    {1843, "not a valid month"},
    {1846, "not a valid day of the week"},
    {1847, "day of month must be between 1 and last day of month"},
    {1849, "hour must be between 1 and 12"},
    {1850, "hour must be between 0 and 23"},
    {1851, "minutes must be between 0 and 59"},
    {1852, "seconds must be between 0 and 59"},
    {1855, "AM/A.M. or PM/P.M. required"},
    {1857, "not a valid time zone"},
    {1858, "a non-numeric character was found where a numeric was expected"},
    {1861, "literal does not match format string"},
    {1867, "the interval is invalid"},
    {1873, "the leading precision of the interval is too small"},
    {1874, "time zone hour must be between -15 and 15"},
    {1875, "time zone minute must be between -59 and 59"},
    {1877, "string is too long for internal buffer"},
    {1882, "timezone region not found"},
    {1891, "Datetime/Interval internal error"},
    {1898, "too many precision specifiers"},
    {1918, "user '%s' does not exist"},
    {1920, "user name '%s' conflicts with another user or role name"},
    {1922, "CASCADE must be specified to drop '%s'"},
    {1935, "missing user or role name"},
    {2003, "invalid USERENV parameter"},
    {2019, "connection description for remote database not found"},
    {2260, "table can have only one primary key"},
    {2264, "name already used by an existing constraint"},
    {2266, "unique/primary keys in table referenced by enabled foreign keys"},
    {2270, "no matching unique or primary key for this column-list"},
    {2283, "cannot alter starting sequence number"},
    {2289, "sequence does not exist"},
    {2290, "check constraint (%s.%s) violated"},
    {2291, "integrity constraint (%s.%s) violated - parent key not found"},
    {2292, "integrity constraint (%s.%s) violated - child record found"},
    {2303, "cannot drop or replace a type with type or table dependents"},
    {2430, "cannot enable constraint (%s) - no such constraint"},
    {2431, "cannot disable constraint (%s) - no such constraint"},
    {2443, "Cannot drop constraint  - nonexistent constraint"},
    {2449, "unique/primary keys in table referenced by foreign keys"},
    {3001, "unimplemented feature"},
    {3113, "end-of-file on communication channel"},
    {3114, "not connected to ORACLE"},
    {3292, "Must specify a table to truncate"},
    {4002, "INCREMENT must be a non-zero integer"},
    {4004, "MINVALUE must be less than MAXVALUE"},
    {4006, "START WITH cannot be less than MINVALUE"},
    {4008, "START WITH cannot be more than MAXVALUE"},
    {4030, "out of process memory when trying to allocate %s bytes (%s,%s)"},
    {4043, "object %s does not exist"},
    {4061, "existing state of %s has been invalidated"},
    {4063, "%s has errors"},
    {4065, "not executed, altered or dropped %s"},
    {4067, "not executed, %s does not exist"},
    {4068, "existing state of packages has been discarded"},
    {4080, "trigger '%s' does not exist"},
    {4088, "error during execution of trigger '%s'"},
    {4091, "table %s is mutating, trigger/function may not see it"},
    {4092, "cannot %s in a trigger"},
    {4098, "trigger '%s' is invalid and failed re-validation"},
    {6500, "PL/SQL: storage error"},
    {6501, "PL/SQL: program error"},
    {6502, "PL/SQL: numeric or value error%s"},
    {6503, "PL/SQL: Function returned without value"},
    {6504, "PL/SQL: Return types of Result Set variables or query do not match"},
    {6508, "PL/SQL: could not find program unit being called"},
    {6510, "PL/SQL: unhandled user-defined exception"},
    {6511, "PL/SQL: cursor already open"},
    {6512, "at %sline %s"},
    {6513, "PL/SQL: index for PL/SQL table out of range for host language array"},
    {6530, "Reference to uninitialized composite"},
    {6531, "Reference to uninitialized collection"},
    {6532, "Subscript outside of limit"},
    {6533, "Subscript beyond count"},
    {6550, "line %s, column %s:\n%s"},
    {6553, "PLS-%s"},
    {6572, "Function %s has out arguments"},
    {6592, "CASE not found while executing CASE statement"},
    {8002, "sequence %s.CURRVAL is not yet defined in this session"},
    {8004, "sequence %s.NEXTVAL %s and cannot be instantiated"},
    {12154, "TNS:could not resolve the connect identifier specified"},
    {12545, "Connect failed because target host or object does not exist"},
    {12705, "Cannot access NLS data files or invalid environment specified"},
    {12899, "value too large for column %s (actual: %s, maximum: %s)"},
    {14551, "cannot perform a DML operation inside a query"},
    {14552, "cannot perform a DDL, commit or rollback inside a query or DML"},
    {16000, "database or pluggable database open for read-only access"},
    {21000, "error number argument to raise_application_error of %s is out of range"},
    {21560, "argument %s is null, invalid, or out of range"},
    {21700, "object does not exist or is marked for delete"},
    {21710, "argument is expecting a valid memory address of an object"},
    {22065, "number to text translation for the given format causes overflow"},
    {22165, "given index [%s] must be in the range of [%s] to [%s]"},
    {22167, "given trim size [%s] must be less than or equal to [%s]"},
    {22275, "invalid LOB locator specified"},
    {22285, "non-existent directory or file for %s operation"},
    {22286, "insufficient privileges on file or directory to perform %s operation"},
    {22288, "file or LOB operation %s failed\n%s"},
    {22289, "cannot perform %s operation on an unopened file or LOB"},
    {22293, "LOB already opened in the same transaction"},
    {22303, "type \"%s\".\"%s\" not found"},
    {22806, "not an object or REF"},
    {22808, "REF dereferencing not allowed"},
    {22905, "cannot access rows from a non-nested table item"},
    {22908, "reference to NULL table value"},
    {22920, "row containing the LOB value is not locked"},
    {22922, "nonexistent LOB value"},
    {22925, "operation would exceed maximum size allowed for a LOB value"},
    {22926, "specified trim length is greater than current LOB value's length"},
    {24315, "illegal attribute type"},
    {24333, "zero iteration count"},
    {24334, "no descriptor for this position"},
    {24338, "statement handle not executed"},
    {24343, "user defined callback error"},
    {24344, "success with compilation error"},
    {24345, "A Truncation or null fetch error occurred"},
    {24373, "invalid length specified for statement"},
    {24374, "define not done before fetch or execute and fetch"},
    {24381, "error(s) in array DML"},
    {24391, "invalid fetch operation"},
    {24411, "Session pool already exists."},
    {24413, "Invalid number of sessions specified"},
    {24415, "Missing or null username."},
    {24416, "Invalid session Poolname was specified."},
    {24421, "OCISessionRelease cannot be used to release this session."},
    {24422, "error occurred while trying to destroy the Session Pool"},
    {24431, "Statement does not exist in the cache"},
    {24457, "OCISessionGet() could not find a free session in the specified timeout period"},
    {24496, "OCISessionGet() timed out waiting for a free connection."},
    {24801, "illegal parameter value in OCI lob function"},
    {24802, "user defined lob %s callback error"},
    {25015, "cannot perform DML on this nested table view column"},
    {25137, "Data value out of range"},
    {25156, "old style outer join (+) cannot be used with ANSI joins"},
    {28000, "the account is locked"},
    {28001, "the password has expired"},
    {28002, "the password will expire within %s days"},
    {28011, "the account will expire soon; change your password now"},
    {30001, "trim set should have only one character"},
    {30021, "Operation not allowed on undo tablespace"},
    {30076, "invalid extract field for extract source"},
    {30563, "outer join operator (+) is not allowed here"},
    {30926, "unable to get a stable set of rows in the source tables"},
    {38302, "invalid PURGE option"},
    {40441, "JSON syntax error"},
    {40442, "JSON path expression syntax error"},
    {42399, "cannot perform a DML operation on a read-only view"},
};

constexpr bool sorted() {
  for (size_t i = 1; i < std::size(kMessages); ++i)
    if (kMessages[i - 1].code >= kMessages[i].code) return false;
  return true;
}
static_assert(sorted(), "message table must be sorted by code without repeats");

// Application errors carry the caller's text whole.
constexpr int kFirstApplicationError = 20000;
constexpr int kLastApplicationError = 20999;
constexpr std::string_view kApplicationTemplate = "%s";
constexpr std::string_view kMarker = "%s";

}  // namespace

std::optional<std::string_view> message_template(int code) {
  if (code >= kFirstApplicationError && code <= kLastApplicationError) return kApplicationTemplate;
  const Message* end = std::end(kMessages);
  const Message* found = std::lower_bound(std::begin(kMessages), end, code,
                                          [](const Message& m, int wanted) { return m.code < wanted; });
  if (found == end || found->code != code) return std::nullopt;
  return found->text;
}

std::string message_text(int code, MessageArgs args) {
  std::optional<std::string_view> found = message_template(code);
  if (!found) return "Message " + std::to_string(code) + " not found";
  std::string_view rest = *found;
  std::string text;
  const std::string_view* arg = args.begin();
  for (size_t marker = rest.find(kMarker); marker != std::string_view::npos; marker = rest.find(kMarker)) {
    text.append(rest.substr(0, marker));
    if (arg != args.end()) text.append(*arg++);
    rest.remove_prefix(marker + kMarker.size());
  }
  text.append(rest);
  return text;
}

std::string full_message(int code, std::string_view text) {
  // Built by hand: the no-data error at the end of every fetch comes through here.
  char digits[16];
  const auto [end, failed] = std::to_chars(std::begin(digits), std::end(digits), code);
  const size_t length = static_cast<size_t>(end - digits);
  std::string message;
  message.reserve(12 + text.size());
  message.append("ORA-");
  if (code >= 0 && length < 5) message.append(5 - length, '0');
  message.append(digits, length);
  message.append(": ");
  message.append(text);
  return message;
}

}  // namespace ociemu::sql
