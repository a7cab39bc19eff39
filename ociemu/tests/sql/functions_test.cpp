// The Oracle functions as SQL sees them, with Oracle's NULL and type rules.
#include <gtest/gtest.h>

#include "ociemu/tests/sql/database_fixture.h"

namespace ociemu::sql {
namespace {

using testing::Database;

class Functions : public ::testing::Test {
 protected:
  std::string eval(const std::string& expression) { return database.value("select " + expression + " from dual"); }
  Database database;
};

TEST_F(Functions, handle_nulls_and_choices) {
  EXPECT_EQ(eval("nvl(null, 5)"), "5");
  EXPECT_EQ(eval("nvl2(1, 'a', 'b')"), "a");
  EXPECT_EQ(eval("nvl2(null, 'a', 'b')"), "b");
  EXPECT_EQ(eval("decode(2, 1, 'one', 2, 'two', 'many')"), "two");
  EXPECT_EQ(eval("decode(9, 1, 'one', 'many')"), "many");
  EXPECT_EQ(eval("decode(null, null, 'null matches', 'no')"), "null matches");
  EXPECT_EQ(eval("decode(3, 1, 'one')"), "<null>");
  EXPECT_EQ(eval("greatest(3, 10, 2)"), "10");
  EXPECT_EQ(eval("least('b', 'a', 'c')"), "a");
  EXPECT_EQ(eval("greatest(1, null)"), "<null>");
}

TEST_F(Functions, work_on_characters) {
  EXPECT_EQ(eval("substr('Oracle', 2, 3)"), "rac");
  EXPECT_EQ(eval("substr('Oracle', 0, 2)"), "Or");
  EXPECT_EQ(eval("substr('Oracle', -3)"), "cle");
  EXPECT_EQ(eval("substr('Oracle', 10)"), "<null>");
  EXPECT_EQ(eval("substr('Grüße', 3, 2)"), "üß");
  EXPECT_EQ(eval("instr('CORPORATE FLOOR', 'OR', 3, 2)"), "14");
  EXPECT_EQ(eval("instr('CORPORATE FLOOR', 'OR', -3, 2)"), "2");
  EXPECT_EQ(eval("instr('abc', 'z')"), "0");
  EXPECT_EQ(eval("length('Grüße')"), "5");
  EXPECT_EQ(eval("length('')"), "<null>");
  EXPECT_EQ(eval("upper('abc') || lower('DEF') || initcap('hello wORLD')"), "ABCdefHello World");
  EXPECT_EQ(eval("trim('  x  ') || '|'"), "x|");
  EXPECT_EQ(eval("trim(leading '0' from '000120')"), "120");
  EXPECT_EQ(eval("trim(trailing 'x' from 'axxx')"), "a");
  EXPECT_EQ(eval("ltrim('xxyab', 'xy') || rtrim('abyyx', 'xy')"), "abab");
  EXPECT_EQ(eval("lpad('7', 3, '0') || rpad('ab', 5, '*.')"), "007ab*.*");
  EXPECT_EQ(eval("lpad('abcdef', 3)"), "abc");
  EXPECT_EQ(eval("replace('banana', 'an')"), "ba");
  EXPECT_EQ(eval("translate('2KRW229', '0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ', '9999999999XXXXXXXXXXXXXXXXXXXXXXXXXX')"),
            "9XXX999");
  EXPECT_EQ(eval("chr(65) || ascii('a')"), "A97");
  EXPECT_EQ(eval("soundex('Robert') || soundex('Rupert') || soundex('Ashcraft')"), "R163R163A261");
  EXPECT_EQ(eval("concat('a', null)"), "a");
}

TEST_F(Functions, work_on_numbers) {
  EXPECT_EQ(eval("round(2.675, 2)"), "2.68");
  EXPECT_EQ(eval("round(-2.5)"), "-3");
  EXPECT_EQ(eval("round(1234.5678, -2)"), "1200");
  EXPECT_EQ(eval("trunc(2.679, 2)"), "2.67");
  EXPECT_EQ(eval("trunc(-2.7)"), "-2");
  EXPECT_EQ(eval("mod(11, 4) || ',' || mod(-11, 4) || ',' || mod(11, 0)"), "3,-3,11");
  EXPECT_EQ(eval("to_number('  12.50 ')"), "12.5");
  EXPECT_EQ(eval("to_number('1,234.5', '9,999.9')"), "1234.5");
  EXPECT_EQ(database.error("select to_number('12x') from dual").code, 1722);
  EXPECT_EQ(eval("to_char(1234.5, '9,999.99')"), " 1,234.50");
  EXPECT_EQ(eval("to_char(5, '000')"), " 005");
  EXPECT_EQ(eval("to_char(-5, 'FM999')"), "-5");
  EXPECT_EQ(eval("to_char(0.5)"), ".5");
  EXPECT_EQ(eval("to_char(255, 'XX')"), " FF");
  EXPECT_EQ(eval("to_char(12345, '999')"), "####");
  EXPECT_EQ(eval("ceil(1.2) + floor(1.8) + sign(-3) + abs(-4)"), "6");
  EXPECT_EQ(eval("power(2, 10)"), "1024");
  EXPECT_EQ(eval("bitand(12, 10)"), "8");
}

TEST_F(Functions, work_on_dates) {
  EXPECT_EQ(eval("to_char(to_date('2024-02-29 13:45:00', 'YYYY-MM-DD HH24:MI:SS'), 'DD.MM.YYYY HH:MI PM')"),
            "29.02.2024 01:45 PM");
  EXPECT_EQ(eval("add_months(date '2024-01-31', 1)"), "2024-02-29 00:00:00");
  EXPECT_EQ(eval("add_months(date '2024-02-29', 12)"), "2025-02-28 00:00:00");
  EXPECT_EQ(eval("last_day(date '2023-02-10')"), "2023-02-28 00:00:00");
  EXPECT_EQ(eval("next_day(date '2024-05-01', 'MONDAY')"), "2024-05-06 00:00:00");
  EXPECT_EQ(eval("months_between(date '2024-03-31', date '2024-01-31')"), "2");
  EXPECT_EQ(eval("trunc(to_date('2024-05-17 18:30', 'YYYY-MM-DD HH24:MI'))"), "2024-05-17 00:00:00");
  EXPECT_EQ(eval("trunc(date '2024-05-17', 'MM')"), "2024-05-01 00:00:00");
  EXPECT_EQ(eval("trunc(date '2024-05-17', 'YYYY')"), "2024-01-01 00:00:00");
  EXPECT_EQ(eval("round(to_date('2024-05-17 18:30', 'YYYY-MM-DD HH24:MI'))"), "2024-05-18 00:00:00");
  EXPECT_EQ(eval("extract(year from date '2024-05-17')"), "2024");
  EXPECT_EQ(eval("to_char(timestamp '2024-05-17 10:11:12.5', 'HH24:MI:SS.FF2')"), "10:11:12.50");
  EXPECT_EQ(eval("cast('17-MAY-24' as date)"), "2024-05-17 00:00:00");
  EXPECT_EQ(database.error("select to_date('31-FEB-2024') from dual").code, 1847);
  EXPECT_EQ(eval("sysdate - sysdate"), "0");
  EXPECT_EQ(eval("length(to_char(systimestamp, 'YYYY-MM-DD HH24:MI:SS.FF6'))"), "26");
}

TEST_F(Functions, keep_a_timestamp_column_to_its_fraction_digits) {
  database.execute("create table stamps (t timestamp, t5 timestamp(5), t0 timestamp(0))");
  database.execute("insert into stamps values (timestamp '1999-12-01 11:00:00.1234567', "
                   "timestamp '1999-12-01 11:00:00.1234567', timestamp '1999-12-31 23:59:59.5')");
  EXPECT_EQ(database.value("select to_char(t, 'FF') || ' ' || to_char(t5, 'FF') || ' ' || to_char(t5, 'FF9') "
                           "from stamps"),
            "123457 12346 123460000");
  EXPECT_EQ(database.value("select to_char(t0, 'YYYY-MM-DD HH24:MI:SS') from stamps"), "2000-01-01 00:00:00")
      << "rounding carries into the next year";
  database.execute("update stamps set t5 = :1", {"2001-02-03 04:05:06.999999"});
  EXPECT_EQ(database.value("select to_char(t5, 'HH24:MI:SS.FF') from stamps"), "04:05:07.00000");
  EXPECT_EQ(database.value("select to_char(timestamp '2024-05-17 10:11:12.123456789', 'FF') from dual"), "123456789")
      << "a value of no column keeps nine digits";
}

TEST_F(Functions, refuse_date_literals_with_years_out_of_range) {
  for (const char* literal : {"-4713-01-01", "10000-01-01", "0-01-01"}) {
    EXPECT_EQ(database.error(std::string("select date '") + literal + "' from dual").code, 1841) << literal;
  }
  EXPECT_EQ(database.value("select to_char(date '9999-12-31', 'YYYY-MM-DD') from dual"), "9999-12-31");
}

TEST_F(Functions, read_json_text_with_is_json_json_value_and_json_exists) {
  database.execute("create table docs (id number, doc varchar2(200) constraint doc_json check (doc is json))");
  database.execute(R"(insert into docs values (1, '{"location":"Oslo","n":5,"ok":true,"items":[1,2]}'))");
  EXPECT_EQ(database.error("insert into docs values (2, 'not json')").code, 2290);
  EXPECT_EQ(database.value("select json_value(doc, '$.location') || '/' || json_value(doc, '$.n') || '/' || "
                           "json_value(doc, '$.ok') || '/' || nvl(json_value(doc, '$.items'), 'none') from docs"),
            "Oslo/5/true/none");
  EXPECT_EQ(database.value("select count(*) from docs where json_exists(doc, '$.items') "
                           "and not json_exists(doc, '$.missing')"),
            "1");
  EXPECT_EQ(database.value("select count(*) from dual where 'x' is not json and json_value('x', '$.a') is null"), "1");
}

TEST_F(Functions, convert_text_and_numbers_to_intervals) {
  EXPECT_EQ(eval("date '2020-01-15' + to_yminterval('01-01')"), "2021-02-15 00:00:00");
  EXPECT_EQ(eval("date '2020-01-15' + to_yminterval('P1Y1M')"), "2021-02-15 00:00:00");
  EXPECT_EQ(eval("date '2020-01-15' - to_yminterval('-0-2')"), "2020-03-15 00:00:00");
  EXPECT_EQ(eval("date '2020-01-15' + to_dsinterval('1 12:30:00')"), "2020-01-16 12:30:00");
  EXPECT_EQ(eval("date '2020-01-15' + to_dsinterval('-PT90M')"), "2020-01-14 22:30:00");
  EXPECT_EQ(eval("date '2020-01-15' + to_dsinterval('P1DT2H3M4S')"), "2020-01-16 02:03:04");
  EXPECT_EQ(eval("date '2020-01-15' + numtodsinterval(36, 'hour')"), "2020-01-16 12:00:00");
  EXPECT_EQ(eval("date '2020-01-15' - numtoyminterval(1.5, 'YEAR')"), "2018-07-15 00:00:00");
  EXPECT_EQ(eval("to_dsinterval(null)"), "<null>");
  EXPECT_EQ(database.error("select to_dsinterval('P1Y') from dual").code, 1867);
  EXPECT_EQ(database.error("select to_yminterval('abc') from dual").code, 1867);
  EXPECT_EQ(database.error("select numtodsinterval(1, 'WEEK') from dual").code, 1760);
}

TEST_F(Functions, convert_rowids_and_raws_through_the_builtin_packages) {
  const std::string rowid = database.value("select rowid from dept where deptno = 10");
  EXPECT_EQ(database.value("select dname from dept where rowid = chartorowid(:1)", {rowid}), "ACCOUNTING");
  EXPECT_EQ(database.value("select rowidtochar(rowid) from dept where deptno = 10"), rowid);
  EXPECT_EQ(database.error("select chartorowid('nonsense') from dual").code, 1410);
  // Restricted rowids (block.row.file in hex) read back in their full form.
  EXPECT_EQ(database.value("select chartorowid('00000dd5.0000.0001') || ' ' || chartorowid('0') || ' ' || "
                           "chartorowid('1F.2') from dual"),
            "00000DD5.0000.0001 00000000.0000.0000 0000001F.0002.0000");
  for (const char* malformed : {"123456789", "1.2.3.4", "1..2", "1.", "G"}) {
    EXPECT_EQ(database.error(std::string("select chartorowid('") + malformed + "') from dual").code, 1410) << malformed;
  }
  EXPECT_EQ(database.value("select count(*) from dept where dbms_rowid.rowid_object(rowid) = (select object_id from "
                           "user_objects where object_name = 'DEPT')"),
            "4");
  EXPECT_EQ(database.value("select dbms_rowid.rowid_relative_fno(rowid) || '/' || dbms_rowid.rowid_block_number(rowid) "
                           "|| '/' || sys.dbms_rowid.rowid_row_number(rowid) from dept where deptno = 20"),
            "1/0/2");
  EXPECT_EQ(eval("utl_raw.cast_to_varchar2(utl_raw.concat(utl_raw.cast_to_raw('ab'), hextoraw('6364')))"), "abcd");
  EXPECT_EQ(eval("utl_raw.length(utl_raw.cast_to_raw('h\xc3\xa9'))"), "3");
  EXPECT_EQ(eval("rawtohex(utl_raw.substr(hextoraw('0A0B0C0D'), 2, 2))"), "0B0C");
  EXPECT_EQ(eval("rawtohex(utl_raw.substr('0A0B0C0D', -1))"), "0D");
  EXPECT_EQ(eval("utl_raw.cast_to_raw('')"), "<null>");
  EXPECT_EQ(database.error("select utl_raw.substr(hextoraw('0A'), 3) from dual").code, 6502);
  EXPECT_EQ(database.error("select utl_raw.substr(hextoraw('0A0B'), 1, 3) from dual").code, 6502);
}

TEST_F(Functions, report_the_session) {
  EXPECT_EQ(eval("user"), "SCOTT");
  EXPECT_EQ(eval("userenv('SESSIONID')"), "4711");
  EXPECT_EQ(eval("sys_context('USERENV', 'CURRENT_SCHEMA')"), "SCOTT");
  EXPECT_EQ(eval("length(rawtohex(sys_guid()))"), "32");
  EXPECT_EQ(eval("rawtohex(hextoraw('0aFF'))"), "0AFF");
  EXPECT_EQ(eval("nvl2(empty_clob(), 'not null', 'null')"), "not null");
}

}  // namespace
}  // namespace ociemu::sql
