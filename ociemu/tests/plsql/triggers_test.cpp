// Row triggers: :NEW and :OLD, the event predicates, BEFORE triggers changing
// the stored row, errors failing the statement with the trigger's backtrace,
// and the dictionary and DDL around them.
#include "plsql_test_support.h"

namespace ociemu::testing {
namespace {

class TriggerTest : public PlsqlTest {
 protected:
  void SetUp() override {
    PlsqlTest::SetUp();
    must_run("CREATE TABLE ITEMS (ID NUMBER(6) PRIMARY KEY, NAME VARCHAR2(20), PRICE NUMBER(8,2) DEFAULT 1, "
             "CHANGED DATE)");
    must_run("CREATE TABLE AUDIT_LOG (SEQ NUMBER, WHAT VARCHAR2(200))");
    must_run("CREATE SEQUENCE ITEM_IDS START WITH 100");
    must_run("CREATE SEQUENCE AUDIT_SEQ");
  }

  std::string joined(const std::string& sql) {
    std::string out;
    for (const std::string& row : column_texts(sql)) out += (out.empty() ? "" : "|") + row;
    return out;
  }
};

TEST_F(TriggerTest, a_before_insert_trigger_fills_the_key_from_a_sequence_either_way) {
  ASSERT_EQ(OCI_SUCCESS, run("create trigger items_id before insert on items for each row\n"
                             "begin\n  if :new.id is null then\n    :new.id := item_ids.nextval;\n  end if;\nend;"))
      << last_error();
  must_run("INSERT INTO ITEMS (NAME) VALUES ('pen')");
  must_run("INSERT INTO ITEMS (ID, NAME) VALUES (7, 'ink')");
  EXPECT_EQ("100:pen:1|7:ink:1", joined("SELECT ID || ':' || NAME || ':' || PRICE FROM ITEMS ORDER BY NAME DESC"));
  ASSERT_EQ(OCI_SUCCESS, run("create or replace trigger items_id before insert on items for each row\n"
                             "begin\n  select item_ids.nextval into :new.id from dual;\nend;"))
      << last_error();
  must_run("INSERT INTO ITEMS (ID, NAME) SELECT 1, 'copy ' || NAME FROM ITEMS WHERE ID = 7");
  EXPECT_EQ("101", single_text("SELECT ID FROM ITEMS WHERE NAME = 'copy ink'"));
}

TEST_F(TriggerTest, new_and_old_values_and_the_event_predicates_reach_the_body) {
  ASSERT_EQ(OCI_SUCCESS,
            run("create trigger items_audit after insert or update or delete on items for each row\n"
                "declare\n  what varchar2(200);\nbegin\n"
                "  if inserting then what := 'I ' || :new.name;\n"
                "  elsif updating('PRICE') then what := 'P ' || :old.price || '>' || :new.price;\n"
                "  elsif updating then what := 'U ' || :old.name || '>' || :new.name;\n"
                "  elsif deleting then what := 'D ' || :old.id || nvl(:new.name, '-');\n  end if;\n"
                "  insert into audit_log values (audit_seq.nextval, what);\nend;"))
      << last_error() << single_text("SELECT LINE || ':' || POSITION || ' ' || TEXT FROM USER_ERRORS");
  must_run("INSERT INTO ITEMS (ID, NAME, PRICE) VALUES (1, 'pen', 2.5)");
  must_run("UPDATE ITEMS SET PRICE = PRICE * 2 WHERE ID = 1");
  must_run("UPDATE ITEMS SET NAME = 'quill'");
  must_run("DELETE FROM ITEMS");
  EXPECT_EQ("I pen|P 2.5>5|U pen>quill|D 1-", joined("SELECT WHAT FROM AUDIT_LOG ORDER BY SEQ"));
}

TEST_F(TriggerTest, update_of_columns_and_when_conditions_choose_the_rows) {
  ASSERT_EQ(OCI_SUCCESS, run("create trigger price_watch before update of price on items for each row "
                             "when (new.price > old.price)\nbegin\n  :new.changed := date '2024-01-02';\nend;"))
      << last_error();
  must_run("INSERT INTO ITEMS (ID, NAME, PRICE) VALUES (1, 'pen', 2)");
  must_run("INSERT INTO ITEMS (ID, NAME, PRICE) VALUES (2, 'ink', 3)");
  must_run("UPDATE ITEMS SET NAME = NAME || '!'");  // PRICE not set: no firing
  must_run("UPDATE ITEMS SET PRICE = 2.5");         // rises for 1 only
  EXPECT_EQ("1 2024-01-02|2 -", joined("SELECT ID || ' ' || NVL(TO_CHAR(CHANGED, 'YYYY-MM-DD'), '-') FROM ITEMS "
                                       "ORDER BY ID"));
}

TEST_F(TriggerTest, an_application_error_fails_the_statement_and_undoes_its_earlier_rows) {
  ASSERT_EQ(OCI_SUCCESS, run("create trigger no_free before insert or update on items for each row\n"
                             "begin\n  if :new.price <= 0 then\n"
                             "    raise_application_error(-20042, 'free item ' || :new.name);\n  end if;\nend;"))
      << last_error();
  must_run("INSERT INTO ITEMS (ID, NAME, PRICE) VALUES (1, 'pen', 2)");
  must_run("INSERT INTO ITEMS (ID, NAME, PRICE) VALUES (2, 'ink', 1)");
  EXPECT_EQ(OCI_ERROR, run("UPDATE ITEMS SET PRICE = PRICE - 1"));
  EXPECT_EQ(20042, last_code());
  EXPECT_EQ("ORA-20042: free item ink\nORA-06512: at \"SCOTT.NO_FREE\", line 3\n"
            "ORA-04088: error during execution of trigger 'SCOTT.NO_FREE'\n",
            last_error());
  EXPECT_EQ("2|1", joined("SELECT PRICE FROM ITEMS ORDER BY ID"));  // the pen's row is back too
  // From a block, the block's own line follows.
  std::string error = failure("begin\n  insert into items (id, name, price) values (3, 'cap', 0);\nend;");
  EXPECT_NE(std::string::npos, error.find("ORA-04088: error during execution of trigger 'SCOTT.NO_FREE'\n"
                                          "ORA-06512: at line 2"))
      << error;
  EXPECT_EQ("0", single_text("SELECT COUNT(*) FROM ITEMS WHERE ID = 3"));
}

TEST_F(TriggerTest, returning_sees_the_values_a_before_trigger_set) {
  must_run("create trigger items_id before insert on items for each row begin :new.id := item_ids.nextval; end;");
  std::vector<Var> vars{number(":id")};
  ASSERT_EQ(OCI_SUCCESS, execute("begin insert into items (name) values ('pen') returning id into :id; end;", vars))
      << last_error();
  EXPECT_EQ(100, vars[0].integer);
}

TEST_F(TriggerTest, disable_enable_drop_and_dropping_the_table) {
  must_run("create trigger items_id before insert on items for each row begin :new.id := item_ids.nextval; end;");
  EXPECT_EQ("ITEMS_ID BEFORE EACH ROW INSERT ITEMS ENABLED",
            single_text("SELECT TRIGGER_NAME || ' ' || TRIGGER_TYPE || ' ' || TRIGGERING_EVENT || ' ' || TABLE_NAME || "
                        "' ' || STATUS FROM USER_TRIGGERS"));
  EXPECT_EQ("TRIGGER VALID", single_text("SELECT OBJECT_TYPE || ' ' || STATUS FROM USER_OBJECTS WHERE OBJECT_NAME = "
                                         "'ITEMS_ID'"));
  must_run("ALTER TRIGGER ITEMS_ID DISABLE");
  must_run("INSERT INTO ITEMS (ID, NAME) VALUES (5, 'pen')");
  must_run("ALTER TRIGGER ITEMS_ID ENABLE");
  must_run("INSERT INTO ITEMS (ID, NAME) VALUES (5, 'ink')");
  EXPECT_EQ("5|100", joined("SELECT ID FROM ITEMS ORDER BY ID"));
  must_run("DROP TRIGGER ITEMS_ID");
  must_run("INSERT INTO ITEMS (ID, NAME) VALUES (6, 'cap')");
  EXPECT_EQ(OCI_ERROR, run("DROP TRIGGER ITEMS_ID"));
  EXPECT_EQ(4080, last_code());
  must_run("create trigger items_id before insert on items for each row begin :new.id := item_ids.nextval; end;");
  must_run("DROP TABLE ITEMS");
  EXPECT_EQ("0", single_text("SELECT COUNT(*) FROM USER_OBJECTS WHERE OBJECT_NAME = 'ITEMS_ID'"));
  EXPECT_EQ("0", single_text("SELECT COUNT(*) FROM USER_SOURCE WHERE NAME = 'ITEMS_ID'"));
  must_run("CREATE TABLE ITEMS (ID NUMBER)");
  must_run("INSERT INTO ITEMS VALUES (1)");
  EXPECT_EQ("1", single_text("SELECT ID FROM ITEMS"));
}

TEST_F(TriggerTest, columns_added_and_dropped_later_reach_the_triggers) {
  must_run("create trigger items_log after insert on items for each row begin\n"
           "  insert into audit_log values (audit_seq.nextval, :new.name);\nend;");
  must_run("ALTER TABLE ITEMS ADD (COLOUR VARCHAR2(10))");
  must_run("create or replace trigger items_log after insert on items for each row begin\n"
           "  insert into audit_log values (audit_seq.nextval, :new.name || ' ' || :new.colour);\nend;");
  must_run("INSERT INTO ITEMS (ID, NAME, COLOUR) VALUES (1, 'pen', 'red')");
  must_run("ALTER TABLE ITEMS DROP COLUMN CHANGED");
  must_run("INSERT INTO ITEMS (ID, NAME, COLOUR) VALUES (2, 'ink', 'blue')");
  EXPECT_EQ("pen red|ink blue", joined("SELECT WHAT FROM AUDIT_LOG ORDER BY SEQ"));
}

TEST_F(TriggerTest, a_trigger_that_does_not_compile_is_stored_invalid_and_fails_the_dml) {
  EXPECT_EQ(OCI_SUCCESS_WITH_INFO,
            run("create trigger broken before insert on items for each row\nbegin\n  :new.nothing := 1;\nend;"));
  EXPECT_EQ(24344, last_code());
  EXPECT_EQ("INVALID", single_text("SELECT STATUS FROM USER_OBJECTS WHERE OBJECT_NAME = 'BROKEN'"));
  EXPECT_EQ("2", single_text("SELECT LINE FROM USER_ERRORS WHERE NAME = 'BROKEN'"));  // from the body's start
  EXPECT_EQ(OCI_ERROR, run("INSERT INTO ITEMS (ID) VALUES (1)"));
  EXPECT_EQ("ORA-04098: trigger 'SCOTT.BROKEN' is invalid and failed re-validation\n", last_error());
  // :OLD is never assignable, nor :NEW after the row is written.
  EXPECT_EQ(OCI_SUCCESS_WITH_INFO,
            run("create or replace trigger broken after update on items for each row begin :new.id := 1; end;"));
  EXPECT_EQ(OCI_ERROR, run("create trigger t2 before insert on no_such_table for each row begin null; end;"));
  EXPECT_EQ(942, last_code());
}

}  // namespace
}  // namespace ociemu::testing
