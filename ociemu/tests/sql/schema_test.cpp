// DDL with Oracle types and named constraints, the errors constraints raise,
// sequences, views, synonyms and accounts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "ociemu/tests/sql/database_fixture.h"

namespace ociemu::sql {
namespace {

using testing::Database;

class Schema : public ::testing::Test {
 protected:
  void SetUp() override {
    database.execute(
        "CREATE TABLE orders (id NUMBER(6) CONSTRAINT pk_orders PRIMARY KEY, "
        "customer VARCHAR2(10) NOT NULL, amount NUMBER(7,2) CONSTRAINT ck_amount CHECK (amount > 0), "
        "placed DATE DEFAULT SYSDATE, note LONG, deptno NUMBER(2) CONSTRAINT fk_orders_dept REFERENCES dept, "
        "code CHAR(3), CONSTRAINT uq_orders UNIQUE (customer, code))");
  }
  Database database;
};

TEST_F(Schema, keeps_oracle_declarations_for_describe) {
  sqlite3_stmt* statement = nullptr;
  Translation t = translate("select * from orders", database.db, database.session);
  ASSERT_EQ(sqlite3_prepare_v2(database.db, t.sqlite_sql[0].c_str(), -1, &statement, nullptr), SQLITE_OK);
  std::vector<int> codes;
  for (int c = 0; c < sqlite3_column_count(statement); ++c)
    codes.push_back(parse_declared_type(sqlite3_column_decltype(statement, c))->type_code);
  sqlite3_finalize(statement);
  EXPECT_EQ(codes, (std::vector<int>{2, 1, 2, 12, 8, 2, 96}));
}

TEST_F(Schema, constraint_violations_name_owner_and_constraint) {
  database.execute("insert into orders (id, customer, amount, deptno, code) values (1, 'ACME', 10, 10, 'A')");
  struct Case {
    const char* sql;
    int code;
    const char* message;
  };
  const Case cases[] = {
      {"insert into orders (id, customer) values (1, 'X')", 1, "unique constraint (SCOTT.PK_ORDERS) violated"},
      {"insert into orders (id, customer, code) values (2, 'ACME', 'A')", 1, "unique constraint (SCOTT.UQ_ORDERS) violated"},
      {"insert into orders (id) values (3)", 1400, "cannot insert NULL into (\"SCOTT\".\"ORDERS\".\"CUSTOMER\")"},
      {"insert into orders (id, customer, amount) values (4, 'X', -5)", 2290, "check constraint (SCOTT.CK_AMOUNT) violated"},
      {"insert into orders (id, customer, deptno) values (5, 'X', 99)", 2291,
       "integrity constraint (SCOTT.FK_ORDERS_DEPT) violated - parent key not found"},
      {"update orders set deptno = 98", 2291, "integrity constraint (SCOTT.FK_ORDERS_DEPT) violated - parent key not found"},
      {"delete from dept where deptno = 40", 0, ""},
      {"insert into orders (id, customer) values ('seven', 'X')", 1722, "invalid number"},
      {"insert into orders (id, customer) values (6, 'ABCDEFGHIJK')", 12899,
       "value too large for column \"SCOTT\".\"ORDERS\".\"CUSTOMER\" (actual: 11, maximum: 10)"},
      {"insert into orders (id, customer, amount) values (7, 'X', 123456)", 1438,
       "value larger than specified precision allowed for this column"},
  };
  for (const Case& c : cases) {
    OracleError error = database.error(c.sql);
    EXPECT_EQ(error.code, c.code) << c.sql;
    EXPECT_EQ(error.message, c.message) << c.sql;
  }
  OracleError child = database.error("delete from dept where deptno = 20");
  EXPECT_EQ(child.code, 2292);
  EXPECT_EQ(child.message, "integrity constraint (SCOTT.FK_DEPTNO) violated - child record found");
}

// The number checks as CREATE TABLE writes them and as earlier files keep them must refuse
// the same values, whether a row comes through Oracle SQL or is stored without conversion.
TEST_F(Schema, number_columns_refuse_text_and_values_beyond_their_precision_in_tables_of_either_form) {
  database.execute("create table nums (n number(5,2), m number)");
  database.execute("create table old_nums (n number(5,2), m number)");
  ASSERT_EQ(SQLITE_OK,
            sqlite3_exec(database.db,
                         "PRAGMA writable_schema = ON; UPDATE sqlite_schema SET sql = 'CREATE TABLE \"SCOTT.OLD_NUMS\" "
                         "(\"N\" NUMBER(5,2) CONSTRAINT \"#01722\" CHECK (typeof(\"N\") <> ''text'' AND (typeof(\"N\") <> "
                         "''blob'' OR OCIEMU_IS_EXACT(\"N\"))) CONSTRAINT \"#01438\" CHECK (CASE WHEN typeof(\"N\") = "
                         "''blob'' THEN OCIEMU_EXACT_FITS(\"N\", 3) ELSE abs(\"N\") < 1e3 - 0.5 * 1e-2 END), \"M\" NUMBER "
                         "CONSTRAINT \"#01722\" CHECK (typeof(\"M\") <> ''text'' AND (typeof(\"M\") <> ''blob'' OR "
                         "OCIEMU_IS_EXACT(\"M\"))))' WHERE name = 'SCOTT.OLD_NUMS'; PRAGMA writable_schema = RESET;",
                         nullptr, nullptr, nullptr));
  EXPECT_EQ("1", database.value("select count(*) from sys.all_tables where table_name = 'OLD_NUMS'"));
  struct Stored {
    const char* values;
    const char* failure;  // the check that refuses it, or ""
  };
  const Stored stored[] = {{"999.99, 1", ""},        {"999.994, 1", ""},       {"-999.994, -1", ""},
                           {"999.996, 1", "#01438"}, {"-999.996, 1", "#01438"}, {"100000, 1", "#01438"},
                           {"'abc', 1", "#01722"},   {"x'00', 1", "#01722"},    {"NULL, NULL", ""},
                           {"1, 'abc'", "#01722"},   {"1, 9e999", ""}};
  const Stored oracle[] = {{"999.995, 1", "1438"}, {"'12.5', 1", ""}, {"'abc', 1", "1722"},
                           {"1, 12345678901234567890123", ""}, {"12345678901234567890123, 1", "1438"}};
  for (const char* table : {"SCOTT.NUMS", "SCOTT.OLD_NUMS"}) {
    for (const Stored& c : stored) {
      const std::string sql = std::string("INSERT INTO \"") + table + "\" VALUES (" + c.values + ")";
      char* message = nullptr;
      sqlite3_exec(database.db, sql.c_str(), nullptr, nullptr, &message);
      const std::string failure = message ? message : "";
      sqlite3_free(message);
      EXPECT_EQ(*c.failure ? "CHECK constraint failed: " + std::string(c.failure) : "", failure) << sql;
    }
    const std::string oracle_name = std::string(table).substr(6);
    for (const Stored& c : oracle) {
      const std::string sql = "insert into " + oracle_name + " values (" + c.values + ")";
      EXPECT_EQ(*c.failure ? std::atoi(c.failure) : 0, database.error(sql).code) << sql;
    }
    EXPECT_EQ(1438, database.error("update " + oracle_name + " set n = n * 1000 where n = 12.5").code);
    EXPECT_EQ("12345678901234567890123", database.value("select m from " + oracle_name + " where m > 1e20"));
  }
}

TEST_F(Schema, stores_long_text_as_written_and_applies_defaults) {
  database.execute("insert into orders (id, customer, note) values (1, 'X', '007')");
  EXPECT_EQ(database.value("select note from orders"), "007");
  EXPECT_EQ(database.value("select count(*) from orders where placed > sysdate - 1"), "1");
}

TEST_F(Schema, converts_values_to_the_column_type_on_the_way_in) {
  database.execute("insert into orders (id, customer, placed, amount) values (1, 'X', '17-NOV-81', 1.005)");
  database.execute("insert into orders values (:1, :2, :3, :4, null, null, null)", {"2", "Y", "2.499", "18-NOV-81"});
  EXPECT_EQ(database.value("select placed from orders where id = 1"), "1981-11-17 00:00:00");
  EXPECT_EQ(database.value("select placed from orders where id = 2"), "1981-11-18 00:00:00");
  EXPECT_EQ(database.value("select amount from orders where id = 1"), "1.01");
  EXPECT_EQ(database.value("select amount from orders where id = 2"), "2.5");
  database.execute("update orders set placed = '01-JAN-99', amount = '3.333' where id = 1");
  EXPECT_EQ(database.value("select placed || ' ' || amount from orders where id = 1"), "1999-01-01 00:00:00 3.33");
  EXPECT_EQ(database.error("insert into orders (id, customer, placed) values (3, 'Z', 'yesterday')").code, 1858);
  database.execute("create table blobs (r raw(4))");
  database.execute("insert into blobs values ('0aFF')");
  EXPECT_EQ(database.value("select length(r) || ':' || rawtohex(r) from blobs"), "2:0AFF");
  EXPECT_EQ(database.error("insert into blobs values ('xyz')").code, 1465);
  EXPECT_EQ(database.error("insert into orders (id, customer) values (3, 'Z', 1)").code, 913);
  EXPECT_EQ(database.error("insert into orders (id, customer) values (3)").code, 947);
}

TEST_F(Schema, compares_dates_with_text_in_the_session_format) {
  EXPECT_EQ(database.value("select count(*) from emp where hiredate > '01-JAN-82'"), "3");
  EXPECT_EQ(database.value("select count(*) from emp where '01-JAN-82' < hiredate"), "3");
  EXPECT_EQ(database.value("select count(*) from emp where hiredate between '01-JAN-81' and '31-DEC-81'"), "10");
  EXPECT_EQ(database.value("select ename from emp where hiredate = :d", {"17-NOV-81"}), "KING");
  EXPECT_EQ(database.value("select ename from emp where hiredate = :d", {"1981-11-17 00:00:00"}), "KING");
  EXPECT_EQ(database.value("select ename from emp where hiredate = timestamp '1981-11-17 00:00:00'"), "KING");
}

TEST_F(Schema, foreign_keys_can_cascade_and_be_dropped) {
  database.execute("create table parent (id number primary key)");
  database.execute("create table child (id number, parent_id number, "
                   "constraint fk_child foreign key (parent_id) references parent (id) on delete cascade)");
  database.execute("insert into parent values (1)");
  database.execute("insert into child values (1, 1)");
  database.execute("delete from parent where id = 1");
  EXPECT_EQ(database.value("select count(*) from child"), "0");
  EXPECT_EQ(database.error("drop table parent").code, 2449);
  database.execute("alter table child drop constraint fk_child");
  database.execute("insert into child values (2, 42)");
  database.execute("drop table parent");
  EXPECT_EQ(database.error("select * from parent").code, 942);
}

TEST_F(Schema, alter_table_adds_columns_and_constraints) {
  database.execute("create table t (a number)");
  database.execute("insert into t values (1)");
  database.execute("alter table t add (b varchar2(5) default 'x', constraint t_uk unique (a))");
  EXPECT_EQ(database.value("select b from t"), "x");
  EXPECT_EQ(database.error("insert into t (a) values (1)").message, "unique constraint (SCOTT.T_UK) violated");
  database.execute("alter table t add constraint t_ck check (a < 100)");
  EXPECT_EQ(database.error("insert into t (a) values (500)").message, "check constraint (SCOTT.T_CK) violated");
  database.execute("alter table t drop constraint t_ck");
  database.execute("insert into t (a) values (500)");
  database.execute("alter table t rename to t2");
  EXPECT_EQ(database.value("select count(*) from t2"), "2");
  EXPECT_EQ(database.error("create table t2 (x number)").code, 955);
}

TEST_F(Schema, create_table_as_select_keeps_types) {
  database.execute("create table rich as select empno, ename, hiredate, sal * 2 doubled from emp where sal > 2900");
  EXPECT_EQ(database.value("select count(*) from rich"), "4");
  sqlite3_stmt* statement = nullptr;
  ASSERT_EQ(sqlite3_prepare_v2(database.db, "select * from \"SCOTT.RICH\"", -1, &statement, nullptr), SQLITE_OK);
  EXPECT_STREQ(sqlite3_column_decltype(statement, 1), "VARCHAR2(10)");
  EXPECT_STREQ(sqlite3_column_decltype(statement, 2), "DATE");
  EXPECT_STREQ(sqlite3_column_decltype(statement, 3), "NUMBER");
  sqlite3_finalize(statement);
}

TEST_F(Schema, sequences_count_per_session_and_respect_their_limits) {
  database.execute("create sequence order_seq start with 10 increment by 5 maxvalue 20");
  EXPECT_EQ(database.error("select order_seq.currval from dual").code, 8002);
  EXPECT_EQ(database.value("select order_seq.nextval from dual"), "10");
  EXPECT_EQ(database.value("select order_seq.nextval from dual"), "15");
  EXPECT_EQ(database.value("select order_seq.currval from dual"), "15");
  database.execute("insert into orders (id, customer) values (order_seq.nextval, 'X')");
  EXPECT_EQ(database.value("select id from orders"), "20");
  EXPECT_EQ(database.error("select order_seq.nextval from dual").code, 8004);
  database.execute("drop sequence order_seq");
  EXPECT_EQ(database.error("select order_seq.nextval from dual").code, 2289);
}

TEST_F(Schema, views_and_synonyms_resolve_like_tables) {
  database.execute("create view rich_emps as select ename, sal from emp where sal >= 3000");
  EXPECT_EQ(database.value("select count(*) from rich_emps"), "3");
  // DML through a view that is not one table's rows must be refused as a statement error, not
  // ORA-00600 (which a client takes for a dead connection), and change nothing.
  database.execute("create view pay_levels as select distinct sal from emp");
  EXPECT_EQ(database.error("update pay_levels set sal = sal + 1").code, 1732);
  EXPECT_EQ(database.error("delete from pay_levels").code, 1732);
  EXPECT_EQ(database.error("insert into pay_levels (sal) values (9000)").code, 1732);
  EXPECT_EQ(database.value("select sum(sal) from emp"), "29025");
  database.execute("create or replace view rich_emps as select ename from emp where sal > 4000");
  EXPECT_EQ(database.value("select ename from scott.rich_emps"), "KING");
  database.execute("create synonym staff for emp");
  database.execute("create public synonym everyone for scott.emp");
  EXPECT_EQ(database.value("select count(*) from staff"), "14");
  database.execute("CREATE USER alice IDENTIFIED BY secret");
  database.session.user = "ALICE";
  EXPECT_EQ(database.value("select count(*) from everyone"), "14");
  EXPECT_EQ(database.error("select count(*) from staff").code, 942);
  EXPECT_EQ(database.value("select count(*) from scott.staff"), "14");
  database.execute("create table emp (x number)");
  EXPECT_EQ(database.value("select count(*) from emp"), "0");
  database.execute("alter session set current_schema = scott");
  EXPECT_EQ(database.value("select count(*) from emp"), "14");
}

TEST_F(Schema, accounts_log_on_expire_and_enter_grace_periods) {
  EXPECT_EQ(authenticate(database.db, "scott", "tiger"), LogonResult::Ok);
  EXPECT_EQ(authenticate(database.db, "SCOTT", "TIGER"), LogonResult::BadPassword) << "passwords are case-sensitive";
  EXPECT_EQ(authenticate(database.db, "SCOTT", "lion"), LogonResult::BadPassword);
  EXPECT_EQ(authenticate(database.db, "NOBODY", "tiger"), LogonResult::BadPassword);
  database.execute("create user bob identified by \"Pa55\"");
  EXPECT_EQ(authenticate(database.db, "BOB", "Pa55"), LogonResult::Ok);
  database.execute("alter user bob password grace 3");
  EXPECT_EQ(authenticate(database.db, "BOB", "Pa55"), LogonResult::GracePeriod);
  EXPECT_EQ(grace_days(database.db, "BOB"), 3);
  database.execute("alter user bob password expire");
  EXPECT_EQ(authenticate(database.db, "BOB", "Pa55"), LogonResult::Expired);
  change_password(database.db, "BOB", "newer");
  EXPECT_EQ(authenticate(database.db, "BOB", "newer"), LogonResult::Ok);
  EXPECT_EQ(database.error("create user bob identified by x").code, 1920);
}

TEST_F(Schema, drop_user_cascade_removes_the_schema) {
  database.execute("create user carol identified by c");
  database.execute("create table carol.items (id number primary key)");
  database.execute("create sequence carol.item_seq");
  EXPECT_EQ(database.error("drop user carol").code, 1922);
  database.execute("drop user carol cascade");
  EXPECT_EQ(database.error("select * from carol.items").code, 942);
  EXPECT_EQ(authenticate(database.db, "CAROL", "c"), LogonResult::BadPassword);
}

TEST_F(Schema, unique_indexes_name_the_violation_and_can_be_dropped) {
  database.execute("create unique index orders_code_ix on orders (code)");
  database.execute("insert into orders (id, customer, code) values (1, 'A', 'X1')");
  EXPECT_EQ(database.error("insert into orders (id, customer, code) values (2, 'B', 'X1')").message,
            "unique constraint (SCOTT.ORDERS_CODE_IX) violated");
  EXPECT_EQ(database.error("create index orders_code_ix on orders (customer)").code, 955);
  database.execute("drop index orders_code_ix");
  database.execute("insert into orders (id, customer, code) values (2, 'B', 'X1')");
  EXPECT_EQ(database.error("drop index orders_code_ix").code, 1418);
}

TEST_F(Schema, self_referencing_keys_cascade_through_every_level) {
  database.execute("create table node (id number primary key, parent number references node on delete cascade)");
  database.execute("insert into node values (1, null)");
  database.execute("insert into node values (2, 1)");
  database.execute("insert into node values (3, 2)");
  EXPECT_EQ(database.error("insert into node values (4, 9)").code, 2291);
  database.execute("delete from node where id = 1");
  EXPECT_EQ(database.value("select count(*) from node"), "0");
}

TEST_F(Schema, an_added_primary_key_refuses_nulls_and_duplicates) {
  database.execute("create table late (a number, b number)");
  database.execute("alter table late add constraint late_pk primary key (a)");
  OracleError null_key = database.error("insert into late (b) values (1)");
  EXPECT_EQ(null_key.code, 1400);
  EXPECT_EQ(null_key.message, "cannot insert NULL into (\"SCOTT\".\"LATE\".\"A\")");
  database.execute("insert into late values (1, 1)");
  EXPECT_EQ(database.error("insert into late values (1, 2)").message, "unique constraint (SCOTT.LATE_PK) violated");
  EXPECT_EQ(database.error("alter table late add constraint late_pk2 primary key (b)").code, 2260);
}

TEST_F(Schema, truncate_rename_and_column_changes) {
  database.execute("insert into bonus values ('A', 'B', 1, 2)");
  database.execute("truncate table bonus");
  EXPECT_EQ(database.value("select count(*) from bonus"), "0");
  EXPECT_EQ(database.error("truncate table dept").code, 2266);
  database.execute("rename bonus to extra");
  database.execute("alter table extra rename column comm to commission");
  database.execute("alter table extra drop column job");
  database.execute("insert into extra (ename, sal, commission) values ('X', 1, 2)");
  EXPECT_EQ(database.value("select commission from extra"), "2");
  EXPECT_EQ(database.error("select * from bonus").code, 942);
}

TEST_F(Schema, purge_takes_only_the_options_oracle_knows) {
  database.execute("purge recyclebin");
  database.execute("purge dba_recyclebin");
  EXPECT_EQ(database.error("purge recyclebinx").code, 38302);
}

TEST_F(Schema, views_and_copies_take_column_lists) {
  database.execute("create view pay (who, amount) as select ename, sal from emp with read only");
  EXPECT_EQ(database.value("select who from pay where amount = 5000"), "KING");
  database.execute("create table pay_copy (who, amount) as select * from pay");
  EXPECT_EQ(database.value("select count(*) from pay_copy where amount > 2900"), "4");
  database.execute("drop view pay");
  EXPECT_EQ(database.error("select * from pay").code, 942);
  EXPECT_EQ(database.error("drop view pay").code, 942);
  // A failed copy leaves no prepared statement behind, so the file can still be closed.
  EXPECT_EQ(database.error("create table short_copy (who) as select ename, sal from emp").code, 1730);
  EXPECT_EQ(database.error("create table bad_copy as select nothing from emp").code, 904);
  EXPECT_EQ(sqlite3_next_stmt(database.db, nullptr), nullptr);
}

TEST_F(Schema, sequences_descend_cycle_and_alter) {
  database.execute("create sequence down start with 3 increment by -1 minvalue 1 maxvalue 3 cycle nocache");
  EXPECT_EQ(database.value("select down.nextval from dual"), "3");
  EXPECT_EQ(database.value("select down.nextval from dual"), "2");
  EXPECT_EQ(database.value("select down.nextval from dual"), "1");
  EXPECT_EQ(database.value("select down.nextval from dual"), "3");
  database.execute("create sequence up");
  database.execute("alter sequence up increment by 10");
  EXPECT_EQ(database.value("select up.nextval from dual"), "1");
  EXPECT_EQ(database.value("select up.nextval from dual"), "11");
  EXPECT_EQ(database.error("create sequence bad minvalue 5 maxvalue 1").code, 4004);
  EXPECT_EQ(database.error("create sequence up").code, 955);
}

TEST_F(Schema, synonyms_are_dropped_by_kind) {
  database.execute("create public synonym everyone for scott.emp");
  EXPECT_EQ(database.error("drop synonym everyone").code, 1434);
  database.execute("drop public synonym everyone");
  EXPECT_EQ(database.error("drop public synonym everyone").code, 1432);
  database.execute("create synonym s1 for s2");
  database.execute("create synonym s2 for s1");
  EXPECT_EQ(database.error("select * from s1").code, 1775);
}

TEST_F(Schema, table_object_ids_match_rowids) {
  int64_t object = table_object_id(database.db, "SCOTT.EMP");
  EXPECT_GT(object, 0);
  EXPECT_EQ(table_object_id(database.db, "SCOTT.NOSUCH"), 0);
  std::string rowid = database.value("select rowid from emp where empno = 7369");
  int64_t decoded_object = 0, row = 0;
  ASSERT_TRUE(decode_rowid(rowid, decoded_object, row));
  EXPECT_EQ(decoded_object, object);
}

}  // namespace
}  // namespace ociemu::sql
